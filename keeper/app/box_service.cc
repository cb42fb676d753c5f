#include "keeper/app/box_service.h"

#include <cstring>

namespace keeper {
namespace {

class BoxlinkService final : public BoxService {
 public:
  uint32_t OpenConnection(ZBSESSION* session, ZBSNMPSETTINGS* snmp) override {
    return zbBoxOpenConnection(session, snmp);
  }
  uint32_t CloseConnection(ZBSESSION* session) override {
    return zbBoxCloseConnection(session);
  }
  uint32_t GetSecuritySettings(ZBSESSION* session,
                               ZBSECURITY* security) override {
    return zbBoxGetSecuritySettings(session, security);
  }
  uint32_t Authenticate(ZBSESSION* session, ZBSECURITY* security) override {
    return zbBoxAuthenticate(session, security);
  }
  uint32_t GetServiceStatus(ZBSESSION* session) override {
    return zbBoxGetServiceStatus(session);
  }
  uint32_t GetEngineInfo(ZBSESSION* session, const char* password,
                         ZBENGINEINFO* info) override {
    return zbBoxGetEngineInfo(session, password, info);
  }
  uint32_t GetBoxList(ZBSESSION* session,
                      std::vector<BoxEntry>* boxes) override {
    boxes->clear();
    uint32_t count = 0;
    ZBBOX* list = nullptr;
    ZBBLOCK block = zbBoxGetBoxList(session, &count, &list);
    if (!block) {
      uint32_t code = zbBoxGetLastError();
      return code ? code : 1359;  // a failure must never read as success
    }
    boxes->reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      BoxEntry e;
      e.number = list[i].BoxNo;
      e.name.assign(list[i].BoxName,
                    strnlen(list[i].BoxName, sizeof list[i].BoxName));
      e.is_protected = list[i].Protected != 0;
      e.last_backup = list[i].LastBackupDate;
      boxes->push_back(std::move(e));
    }
    zbBoxFreeBlock(block);
    return 0;
  }
  uint32_t LockUiJob(ZBSESSION* session, const char* password,
                     uint32_t mode) override {
    uint32_t device_time = 0;
    return zbBoxLockUiJob(session, password, mode, &device_time);
  }
  uint32_t RetryUnlockUiJob(ZBSESSION* session, const char* password,
                            uint32_t mode) override {
    return zbBoxRetryUnlockUiJob(session, password, mode);
  }
  uint32_t DeleteAllBox(ZBSESSION* session, const char* password) override {
    return zbBoxDeleteAllBox(session, password);
  }
};

}  // namespace

std::unique_ptr<BoxService> MakeBoxlinkService() {
  return std::make_unique<BoxlinkService>();
}

}  // namespace keeper
