// The box service calls of the main window, made on a helper thread while
// the window thread keeps drawing: a device that takes its time to answer
// leaves a window that repaints, a connection notice whose bar moves, and
// a program the desktop does not take for hung. Input stays blocked while
// a call runs, as it would be while the window waited itself; everything
// the logic decides still happens in order on the window thread.
#pragma once

#include "keeper/app/box_service.h"

namespace keeper {

class ResponsiveBoxService final : public BoxService {
 public:
  explicit ResponsiveBoxService(BoxService& inner) : inner_(inner) {}

  // A call is under way.
  bool busy() const { return depth_ > 0; }

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

 private:
  template <typename Fn>
  uint32_t Run(Fn&& fn);

  BoxService& inner_;
  int depth_ = 0;
};

}  // namespace keeper
