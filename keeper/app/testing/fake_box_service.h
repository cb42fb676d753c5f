// A box service for tests of the main window's logic: devices by address,
// each answering as configured, sessions that open and close like the
// library's, and every call recorded in order.
//
//   FakeBoxService service;
//   auto& dev = service.devices["192.0.2.10"];
//   dev.open_result = 1;          // a session that must authenticate
//   dev.password = "admin00";
//   ... logic.Open() ...
//   EXPECT_THAT(service.calls, Contains("Authenticate 192.0.2.10 ok"));
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "keeper/app/box_service.h"

namespace keeper {

class FakeBoxService final : public BoxService {
 public:
  struct Device {
    uint32_t open_result = 0;
    uint32_t security_result = 0;
    std::string password = "admin00";  // what Authenticate accepts
    uint32_t authenticate_result = 0;  // a failure other than a refusal
    uint32_t service_status = 0;       // the result of GetServiceStatus
    uint32_t engine_result = 0;
    std::string engine_version = "Varda 910 Series V1.0";
    uint32_t list_result = 0;
    std::vector<BoxEntry> boxes;
    uint32_t lock_result = 0;
    uint32_t delete_result = 0;
    uint32_t unlock_result = 0;
    bool locked = false;
  };

  // Devices by address; an address without one answers 12029 to opening.
  std::map<std::string, Device> devices;
  // "Open ADDR", "Close ADDR", "Security ADDR", "Authenticate ADDR ok|refused
  // enc=N", "Status ADDR", "Engine ADDR pwd=P", "List ADDR", "Lock ADDR
  // mode=M pwd=P", "Delete ADDR pwd=P", "Unlock ADDR mode=M pwd=P".
  std::vector<std::string> calls;
  // The SNMP settings of the last open.
  ZBSNMPSETTINGS last_snmp{};

  uint32_t OpenConnection(ZBSESSION* session, ZBSNMPSETTINGS* snmp) override;
  uint32_t CloseConnection(ZBSESSION* session) override;
  uint32_t GetSecuritySettings(ZBSESSION* session,
                               ZBSECURITY* security) override;
  uint32_t Authenticate(ZBSESSION* session, ZBSECURITY* security) override;
  uint32_t GetServiceStatus(ZBSESSION* session) override;
  uint32_t GetEngineInfo(ZBSESSION* session, const char* password,
                         ZBENGINEINFO* info) override;
  uint32_t GetBoxList(ZBSESSION* session,
                      std::vector<BoxEntry>* boxes) override;
  uint32_t LockUiJob(ZBSESSION* session, const char* password,
                     uint32_t mode) override;
  uint32_t RetryUnlockUiJob(ZBSESSION* session, const char* password,
                            uint32_t mode) override;
  uint32_t DeleteAllBox(ZBSESSION* session, const char* password) override;

  // Calls that start with `prefix`.
  int Count(const std::string& prefix) const;
  void ClearCalls() { calls.clear(); }

 private:
  Device* Find(const ZBSESSION* session);
  static bool Open(const ZBSESSION* session);
};

}  // namespace keeper
