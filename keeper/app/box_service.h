// The calls of the box service library that the main window makes, behind
// an interface: the program uses the library's exports (BoxlinkService),
// the tests of the window logic a scripted service
// (keeper/app/testing/fake_box_service.h).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "boxlink.h"
#include "keeper/app/device_link.h"

namespace keeper {

// Job modes of the user-interface lock.
inline constexpr uint32_t kLockForBackup = 0;
inline constexpr uint32_t kLockForRestore = 1;  // also for deleting all boxes

class BoxService {
 public:
  virtual ~BoxService() = default;

  virtual uint32_t OpenConnection(ZBSESSION* session,
                                  ZBSNMPSETTINGS* snmp) = 0;
  virtual uint32_t CloseConnection(ZBSESSION* session) = 0;
  virtual uint32_t GetSecuritySettings(ZBSESSION* session,
                                       ZBSECURITY* security) = 0;
  virtual uint32_t Authenticate(ZBSESSION* session, ZBSECURITY* security) = 0;
  virtual uint32_t GetServiceStatus(ZBSESSION* session) = 0;
  virtual uint32_t GetEngineInfo(ZBSESSION* session, const char* password,
                                 ZBENGINEINFO* info) = 0;
  // 0 and the boxes, or the error code (the list is then empty).
  virtual uint32_t GetBoxList(ZBSESSION* session,
                              std::vector<BoxEntry>* boxes) = 0;
  virtual uint32_t LockUiJob(ZBSESSION* session, const char* password,
                             uint32_t mode) = 0;
  virtual uint32_t RetryUnlockUiJob(ZBSESSION* session, const char* password,
                                    uint32_t mode) = 0;
  virtual uint32_t DeleteAllBox(ZBSESSION* session, const char* password) = 0;
};

// The exports of the linked box service library.
std::unique_ptr<BoxService> MakeBoxlinkService();

}  // namespace keeper
