// The commands of the simulated FTP server: one table says which need a
// login and which take a path, and one handler serves each command and its
// variant (CWD and CDUP, STOR and APPE...). The data connections' commands
// live with the transfers in ftp_session.cc.
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "devsim/ftp/ftp_session.h"

namespace devsim {
namespace fs = std::filesystem;
using namespace ftp_session;

const FtpServer::Session::Command* FtpServer::Session::FindCommand(std::string_view verb) {
  // verb, needs login, takes a path, path required, handler
  static const Command kCommands[] = {
      {"QUIT", false, false, false, &Session::Quit},
      {"AUTH", false, false, false, &Session::Auth},
      {"PBSZ", false, false, false, &Session::Pbsz},
      {"PROT", false, false, false, &Session::Prot},
      {"USER", false, false, false, &Session::User},
      {"PASS", false, false, false, &Session::Pass},
      {"FEAT", false, false, false, &Session::Feat},
      {"SYST", false, false, false, &Session::Syst},
      {"NOOP", false, false, false, &Session::Noop},
      {"OPTS", false, false, false, &Session::Opts},
      {"PWD", true, false, false, &Session::Pwd},
      {"XPWD", true, false, false, &Session::Pwd},
      {"CWD", true, true, true, &Session::Cwd},
      {"CDUP", true, false, false, &Session::Cwd},
      {"TYPE", true, false, false, &Session::Type},
      {"MODE", true, false, false, &Session::Mode},
      {"STRU", true, false, false, &Session::Mode},
      {"MKD", true, true, true, &Session::Mkd},
      {"RMD", true, true, true, &Session::Rmd},
      {"DELE", true, true, true, &Session::Dele},
      {"RNFR", true, true, true, &Session::Rnfr},
      {"RNTO", true, true, true, &Session::Rnto},
      {"SIZE", true, true, true, &Session::Size},
      {"MDTM", true, true, true, &Session::Mdtm},
      {"REST", true, false, false, &Session::Rest},
      {"PASV", true, false, false, &Session::Pasv},
      {"EPSV", true, false, false, &Session::Pasv},
      {"PORT", true, false, false, &Session::Port},
      {"EPRT", true, false, false, &Session::Port},
      {"RETR", true, true, true, &Session::Retr},
      {"STOR", true, true, true, &Session::Stor},
      {"APPE", true, true, true, &Session::Stor},
      // Listings name a path for the faults, but go without one.
      {"LIST", true, true, false, &Session::ListFolder},
      {"NLST", true, true, false, &Session::ListFolder},
  };
  for (const Command& c : kCommands)
    if (c.verb == verb) return &c;
  return nullptr;
}

void FtpServer::Session::Quit(const Request& r) {
  Reply(221, "Goodbye.");
  // Nothing more is expected from the client; its close may come late.
  control_.Close(1000, /*wait_for_peer=*/false);
  *r.end = true;
}

void FtpServer::Session::Auth(const Request& r) {
  if (!server_->tls_ || (Upper(r.arg) != "TLS" && Upper(r.arg) != "SSL")) {
    Reply(504, "AUTH type not supported.");
    return;
  }
  if (tls_) {
    Reply(503, "Already using TLS.");
    return;
  }
  Reply(234, "Proceed with negotiation.");
  uint32_t error = 0;
  if (!control_.AcceptTls(server_->tls_.get(), kDataTimeoutMs, &error)) {
    *r.end = true;
    return;
  }
  tls_ = true;
}

void FtpServer::Session::Pbsz(const Request&) {
  if (!tls_) {
    Reply(503, "PBSZ needs a secure control connection.");
    return;
  }
  pbsz_ = true;
  Reply(200, "PBSZ=0");
}

void FtpServer::Session::Prot(const Request& r) {
  if (!tls_ || !pbsz_) {
    Reply(503, "PROT needs PBSZ first.");
    return;
  }
  std::string level = Upper(r.arg);
  if (level == "P" || level == "C") {
    prot_p_ = level == "P";
    Reply(200, prot_p_ ? "PROT now Private." : "PROT now Clear.");
  } else {
    Reply(536, "PROT level not supported.");
  }
}

void FtpServer::Session::User(const Request& r) {
  if (server_->options_.tls && !tls_) {
    Reply(530, "Non-anonymous sessions must use encryption.");
    return;
  }
  user_ = r.arg;
  logged_in_ = false;
  Reply(331, "Please specify the password.");
}

void FtpServer::Session::Pass(const Request& r) {
  std::optional<std::string> home;
  if (!user_.empty() && server_->options_.login)
    home = server_->options_.login(user_, r.arg);
  if (!home) {
    Reply(530, "Login incorrect.");
    return;
  }
  auto start = ResolveFtpPath("/", *home);
  cwd_ = start ? *start : "/";
  logged_in_ = true;
  ++server_->logins_;
  Reply(230, "Login successful.");
}

void FtpServer::Session::Feat(const Request&) {
  std::string feat = "211-Features:\r\n EPRT\r\n EPSV\r\n MDTM\r\n PASV\r\n"
                     " REST STREAM\r\n SIZE\r\n UTF8\r\n";
  if (server_->tls_) feat += " AUTH TLS\r\n PBSZ\r\n PROT\r\n";
  ReplyRaw(feat + "211 End\r\n");
}

void FtpServer::Session::Syst(const Request&) { Reply(215, "UNIX Type: L8"); }

void FtpServer::Session::Noop(const Request&) { Reply(200, "NOOP ok."); }

void FtpServer::Session::Opts(const Request&) { Reply(200, "Always in UTF8 mode."); }

void FtpServer::Session::Pwd(const Request&) {
  Reply(257, "\"" + cwd_ + "\" is the current directory");
}

void FtpServer::Session::Cwd(const Request& r) {
  std::string target = r.vpath;
  if (r.verb == "CDUP") target = ResolveFtpPath(cwd_, "..").value_or("/");
  std::error_code ec;
  if (fs::is_directory(Local(target), ec)) {
    cwd_ = target;
    Reply(250, "Directory successfully changed.");
  } else {
    Reply(550, "Failed to change directory.");
  }
}

void FtpServer::Session::Type(const Request& r) {
  std::string t = Upper(r.arg);
  if (t.starts_with("A") || t.starts_with("I") || t == "L 8") {
    type_ = t[0] == 'A' ? 'A' : 'I';
    Reply(200, type_ == 'A' ? "Switching to ASCII mode." : "Switching to Binary mode.");
  } else {
    Reply(504, "Bad TYPE command.");
  }
}

void FtpServer::Session::Mode(const Request& r) {
  std::string m = Upper(r.arg);
  if (m == "S" || m == "F")
    Reply(200, "Mode set.");
  else
    Reply(504, "Bad mode.");
}

void FtpServer::Session::Mkd(const Request& r) {
  std::error_code ec;
  if (fs::exists(Local(r.vpath), ec) || !fs::create_directory(Local(r.vpath), ec))
    Reply(550, "Create directory operation failed.");
  else
    Reply(257, "\"" + r.vpath + "\" created");
}

void FtpServer::Session::Rmd(const Request& r) {
  std::error_code ec;
  if (!fs::is_directory(Local(r.vpath), ec) || !fs::remove(Local(r.vpath), ec))
    Reply(550, "Remove directory operation failed.");
  else
    Reply(250, "Remove directory operation successful.");
}

void FtpServer::Session::Dele(const Request& r) {
  std::error_code ec;
  if (!fs::is_regular_file(Local(r.vpath), ec) || !fs::remove(Local(r.vpath), ec))
    Reply(550, "Delete operation failed.");
  else
    Reply(250, "Delete operation successful.");
}

void FtpServer::Session::Rnfr(const Request& r) {
  std::error_code ec;
  if (fs::exists(Local(r.vpath), ec)) {
    rename_from_ = r.vpath;
    Reply(350, "Ready for RNTO.");
  } else {
    rename_from_.clear();
    Reply(550, "RNFR command failed.");
  }
}

void FtpServer::Session::Rnto(const Request& r) {
  if (rename_from_.empty()) {
    Reply(503, "RNFR required first.");
    return;
  }
  std::error_code ec;
  fs::rename(Local(rename_from_), Local(r.vpath), ec);
  rename_from_.clear();
  if (ec)
    Reply(550, "Rename failed.");
  else
    Reply(250, "Rename successful.");
}

void FtpServer::Session::Size(const Request& r) {
  std::error_code ec;
  if (fs::is_regular_file(Local(r.vpath), ec))
    Reply(213, std::to_string(fs::file_size(Local(r.vpath), ec)));
  else
    Reply(550, "Could not get file size.");
}

void FtpServer::Session::Mdtm(const Request& r) {
  std::error_code ec;
  if (!fs::is_regular_file(Local(r.vpath), ec)) {
    Reply(550, "Could not get file modification time.");
    return;
  }
  time_t t = static_cast<time_t>(MTime(Local(r.vpath)));
  tm parts{};
  gmtime_r(&t, &parts);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &parts);
  Reply(213, buf);
}

void FtpServer::Session::Rest(const Request& r) {
  char* endp = nullptr;
  long long v = std::strtoll(r.arg.c_str(), &endp, 10);
  if (r.arg.empty() || *endp || v < 0) {
    Reply(501, "Bad REST value.");
  } else {
    rest_ = v;
    Reply(350, "Restart position accepted (" + r.arg + ").");
  }
}

}  // namespace devsim
