#include "devsim/ftp/ftp_service.h"

#include <array>
#include <cstdlib>

namespace devsim {
namespace {

constexpr std::array<std::string_view, 12> kFirstFamilyEngines = {
    "Varda 910 Series V1.0",   "Varda 520c Series V1.0",
    "Varda 530 Series V1.0",   "Varda 330 Series V1.0",
    "Varda 4720c Series V2.0", "Varda 930 Series V1.0",
    "Varda 340 Series V1.0",   "Varda 540 Series V1.0",
    "Varda 5730C Series V3.0", "Varda 7730C Series V3.0",
    "Varda 560 Series V4.0.0.0", "Varda 960 Series V4.0.0.0"};

FtpFault ToFtpFault(const Fault& f) {
  FtpFault out;
  out.code = f.code;
  out.delay = f.delay;
  out.body = f.body;
  switch (f.kind) {
    case Fault::Kind::kNone: out.kind = FtpFault::Kind::kNone; break;
    case Fault::Kind::kFailWith: out.kind = FtpFault::Kind::kFailWith; break;
    case Fault::Kind::kDelay: out.kind = FtpFault::Kind::kDelay; break;
    case Fault::Kind::kDropConnection:
      out.kind = FtpFault::Kind::kDropConnection;
      break;
    case Fault::Kind::kHang: out.kind = FtpFault::Kind::kHang; break;
  }
  return out;
}

std::string Extra(const Profile& p, const std::string& key) {
  auto it = p.extra.find(key);
  return it == p.extra.end() ? std::string() : it->second;
}

}  // namespace

FtpDialect DialectForProfile(const Profile& profile) {
  std::string forced = Extra(profile, "ftp_dialect");
  if (forced == "unix") return FtpDialect::kUnixLong;
  if (forced == "fixed") return FtpDialect::kFixedColumns;
  if (profile.layout == Layout::kStorage) return FtpDialect::kUnixLong;
  for (auto e : kFirstFamilyEngines)
    if (profile.engine_version.find(e) != std::string::npos)
      return FtpDialect::kUnixLong;
  return FtpDialect::kFixedColumns;
}

bool FtpService::Start(Device& device, std::string* error) {
  const Profile& p = device.profile();
  FtpServerOptions o;
  o.address = device.address();
  o.port = p.ftp_port;
  o.tls = p.ftp_tls;
  o.dialect = DialectForProfile(p);
  o.root = device.store().root();
  if (std::string q = Extra(p, "ftp_quota_bytes"); !q.empty())
    o.quota_bytes = std::strtoull(q.c_str(), nullptr, 10);
  Device* dev = &device;
  o.login = [dev](const std::string& user,
                  const std::string& password) -> std::optional<std::string> {
    const Profile& prof = dev->profile();
    const std::string session_password = Extra(prof, "ftp_session_password");
    for (const auto& a : prof.ftp_accounts) {
      if (a.user != user) continue;
      bool ok = a.password == password ||
                (prof.layout == Layout::kStorage && !session_password.empty() &&
                 password == session_password);
      if (!ok) return std::nullopt;
      if (!a.root.empty()) return "/" + a.root;
      // The storage layout's logins start in the box folder, whose boxes
      // the client then names by number alone.
      if (prof.layout == Layout::kStorage)
        return dev->store().DevicePath(dev->store().DataDir());
      return std::string("/");
    }
    return std::nullopt;
  };
  o.fault = [dev](std::string_view point) {
    return ToFtpFault(dev->faults().Take(point));
  };
  server_ = std::make_unique<FtpServer>(std::move(o));
  if (!server_->Start(error)) {
    server_.reset();
    return false;
  }
  return true;
}

void FtpService::Stop() {
  if (server_) server_->Stop();
}

DEVSIM_REGISTER_SERVICE(ftp, FtpService);

}  // namespace devsim
