// A session with the simulated device of a job benchmark, as the program
// opens one for a job: connection, then an FTP account; both undone when
// the session goes.
#pragma once

#include <cstring>
#include <string>

#include "boxlink.h"
#include "boxlink/client/session_hooks.h"

namespace bench {

inline constexpr char kAdminPassword[] = "admin00";

// The device's ports are known: no probing.
inline void FixedWebProbe(ZBSESSION* s, const void*) {
  s->WebPort = 8080;
  s->WebSecure = 0;
  s->Port = 8080;
}
inline void FixedFtpProbe(ZBSESSION* s, const void*) {
  s->FtpPort = 21;
  s->FtpSecure = 0;
}

class JobSession {
 public:
  explicit JobSession(const std::string& address)
      : probes_({&FixedWebProbe, &FixedFtpProbe}) {
    std::strncpy(session_.Host, address.c_str(), sizeof session_.Host - 1);
    session_.Port = 8080;
    if ((rc_ = zbBoxOpenConnection(&session_, nullptr)) != 0) return;
    connected_ = true;
    if ((rc_ = zbBoxCreateFTPAccount(&session_, kAdminPassword, login_)) == 0) account_ = true;
  }
  ~JobSession() {
    if (account_) zbBoxDeleteFTPAccount(&session_, kAdminPassword);
    if (connected_) zbBoxCloseConnection(&session_);
  }
  JobSession(const JobSession&) = delete;
  JobSession& operator=(const JobSession&) = delete;

  // 0 once connected and the account made, else the failing call's code.
  uint32_t rc() const { return rc_; }
  ZBSESSION* session() { return &session_; }
  const char* login() const { return login_; }

 private:
  boxlink::ScopedPortProbes probes_;
  ZBSESSION session_{};
  char login_[256] = {};
  uint32_t rc_ = 0;
  bool connected_ = false, account_ = false;
};

}  // namespace bench
