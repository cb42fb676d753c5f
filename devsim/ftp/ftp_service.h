// The device's "ftp" service: its FTP server on the profile's address and
// port, serving the box store as "/", with the logins the web CGIs created.
//
// Profile keys it reads beyond the standard ones (Profile::extra):
//   ftp_dialect            unix | fixed   (default: by transfer family)
//   ftp_quota_bytes        uploads fail with 451 beyond this store size
//   ftp_session_password   storage layout: a password every account takes
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "devsim/core/device.h"
#include "devsim/ftp/ftp_server.h"

namespace devsim {

// The listing dialect of a device: the first controller family (the twelve
// "Series" engines and the storage layout) writes long-listing lines, the
// second fixed columns.
FtpDialect DialectForProfile(const Profile& profile);

class FtpService final : public Service {
 public:
  std::string_view name() const override { return "ftp"; }
  bool Start(Device& device, std::string* error) override;
  void Stop() override;

  // Null before Start.
  FtpServer* server() { return server_.get(); }

 private:
  std::unique_ptr<FtpServer> server_;
};

}  // namespace devsim
