// The simulated FTP server's session: one control connection, its state,
// its command table and its data connections. Internal to the server.
#ifndef DEVSIM_FTP_FTP_SESSION_H_
#define DEVSIM_FTP_FTP_SESSION_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "devsim/ftp/ftp_paths.h"
#include "devsim/ftp/ftp_server.h"

namespace devsim {

namespace ftp_session {

inline constexpr uint32_t kDataTimeoutMs = 30000;
inline constexpr size_t kChunk = 256 * 1024;
inline constexpr size_t kSlowChunk = 16 * 1024;
inline constexpr char kCreateSts[] = "CREATE.STS";

std::string Upper(std::string_view s);
// Seconds since the epoch of a file's last change; 0 when unknown.
int64_t MTime(const std::filesystem::path& p);
// The usual text of a reply code the server sends on a fault.
std::string DefaultText(int code);

}  // namespace ftp_session

class FtpServer::Session {
 public:
  Session(FtpServer* server, ftpc::FtpSocket control)
      : server_(server), control_(std::move(control)) {
    control_.set_real_time(true);
  }

  void Run();

 private:
  bool Reply(int code, std::string_view text);
  bool ReplyRaw(const std::string& text);
  bool ReadLine(std::string* line);
  // Applies a command fault; false when the command must not run (the
  // reply, if any, was sent). *end tells that the session is over.
  bool CommandFault(const std::string& verb, const std::string& path,
                    bool* end);
  void Dispatch(const std::string& verb, const std::string& arg, bool* end);

  // One command as the table hands it to its handler: the verb (handlers
  // serve a verb and its variant), the argument, the argument resolved as
  // a path (for commands that take one), and the flag that ends the session.
  struct Request {
    std::string_view verb;
    const std::string& arg;
    const std::string& vpath;
    bool* end;
  };
  using Handler = void (Session::*)(const Request&);
  struct Command {
    std::string_view verb;
    bool needs_login;  // refused with 530 before PASS
    bool takes_path;     // the argument names a path inside the root
    bool path_required;  // ... and must: 501 without one, 550 outside
    Handler run;
  };
  // The commands the device's server answers; others get 502.
  static const Command* FindCommand(std::string_view verb);

  // Control connection and login (ftp_commands.cc).
  void Quit(const Request& r);
  void Auth(const Request& r);
  void Pbsz(const Request& r);
  void Prot(const Request& r);
  void User(const Request& r);
  void Pass(const Request& r);
  void Feat(const Request& r);
  void Syst(const Request& r);
  void Noop(const Request& r);
  void Opts(const Request& r);
  // Folders, files and settings (ftp_commands.cc).
  void Pwd(const Request& r);
  void Cwd(const Request& r);
  void Type(const Request& r);
  void Mode(const Request& r);
  void Mkd(const Request& r);
  void Rmd(const Request& r);
  void Dele(const Request& r);
  void Rnfr(const Request& r);
  void Rnto(const Request& r);
  void Size(const Request& r);
  void Mdtm(const Request& r);
  void Rest(const Request& r);
  // Data connections (ftp_session.cc).
  void Pasv(const Request& r) { PassiveListen(r.verb == "EPSV"); }
  void Port(const Request& r) { ActiveTarget(r.arg, r.verb == "EPRT"); }
  void Retr(const Request& r) { Retrieve(r.vpath); }
  void Stor(const Request& r) { Store(r.vpath, r.verb == "APPE"); }
  void ListFolder(const Request& r) { List(r.arg, r.verb == "NLST"); }
  std::optional<std::string> Resolve(const std::string& arg) const;
  std::filesystem::path Local(const std::string& vpath) const {
    return ToLocalPath(server_->options_.root, vpath);
  }

  // Data connections.
  bool OpenData(ftpc::FtpSocket* data, std::string_view what);
  // The fault armed for the data connection of `vpath` ("ftp.data:<path>"
  // first, then "ftp.data").
  FtpFault DataFault(const std::string& vpath);
  void SendData(std::string_view what, const std::string& vpath,
                const std::function<bool(std::string*)>& next);
  void Retrieve(const std::string& vpath);
  void Store(const std::string& vpath, bool append);
  void List(const std::string& arg, bool names_only);
  void PassiveListen(bool extended);
  void ActiveTarget(const std::string& arg, bool extended);

  FtpServer* server_;
  ftpc::FtpSocket control_;
  std::string inbuf_;
  bool logged_in_ = false;
  bool tls_ = false;
  bool prot_p_ = false;
  bool pbsz_ = false;
  char type_ = 'A';
  std::string user_;
  std::string cwd_ = "/";
  std::string rename_from_;
  int64_t rest_ = 0;
  ftpc::FtpSocket pasv_;
  std::optional<ftpc::SockAddr> port_target_;
};

}  // namespace devsim

#endif  // DEVSIM_FTP_FTP_SESSION_H_
