#include "devsim/ftp/ftp_session.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "platform/clock.h"
#include "standins/ftplibpp/ftp_reply.h"

namespace devsim {
namespace fs = std::filesystem;
using ftpc::FtpSocket;
using ftpc::SockAddr;
using namespace ftp_session;

namespace ftp_session {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

int64_t MTime(const fs::path& p) {
  std::error_code ec;
  auto t = fs::last_write_time(p, ec);
  if (ec) return 0;
  auto sys = std::chrono::file_clock::to_sys(t);
  return std::chrono::duration_cast<std::chrono::seconds>(
             sys.time_since_epoch())
      .count();
}

std::string DefaultText(int code) {
  switch (code) {
    case 421: return "Service not available, closing control connection.";
    case 425: return "Can't open data connection.";
    case 426: return "Connection closed; transfer aborted.";
    case 450: return "Requested file action not taken.";
    case 451: return "Requested action aborted: local error in processing.";
    case 452: return "Requested action not taken. Insufficient storage space.";
    case 530: return "Not logged in.";
    case 550: return "Requested action not taken.";
    case 552: return "Requested file action aborted. Exceeded storage allocation.";
    case 553: return "Requested action not taken. File name not allowed.";
    default: return "Requested action not taken.";
  }
}

}  // namespace ftp_session

bool FtpServer::Session::ReplyRaw(const std::string& text) {
  uint32_t error = 0;
  return control_.WriteAll(text.data(), text.size(), kDataTimeoutMs, &error);
}

bool FtpServer::Session::Reply(int code, std::string_view text) {
  return ReplyRaw(std::to_string(code) + " " + std::string(text) + "\r\n");
}

bool FtpServer::Session::ReadLine(std::string* line) {
  for (;;) {
    size_t nl = inbuf_.find('\n');
    if (nl != std::string::npos) {
      *line = inbuf_.substr(0, nl);
      inbuf_.erase(0, nl + 1);
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return true;
    }
    if (inbuf_.size() > 8192) return false;  // no sane command is that long
    char buf[4096];
    uint32_t error = 0;
    long n = control_.Read(buf, sizeof buf, platform::Clock::kInfinite, &error);
    if (n <= 0) return false;
    inbuf_.append(buf, n);
  }
}

std::optional<std::string> FtpServer::Session::Resolve(
    const std::string& arg) const {
  return ResolveFtpPath(cwd_, arg);
}

bool FtpServer::Session::CommandFault(const std::string& verb,
                                      const std::string& path, bool* end) {
  const auto& fault = server_->options_.fault;
  if (!fault) return true;
  FtpFault f;
  if (!path.empty()) f = fault("ftp." + verb + ":" + path);
  if (f.kind == FtpFault::Kind::kNone) f = fault("ftp." + verb);
  switch (f.kind) {
    case FtpFault::Kind::kNone:
      return true;
    case FtpFault::Kind::kDelay:
      server_->WaitStop(f.delay);
      return !server_->stopping_;
    case FtpFault::Kind::kFailWith: {
      int code = f.code ? f.code : 550;
      Reply(code, f.body.empty() ? DefaultText(code) : f.body);
      return false;
    }
    case FtpFault::Kind::kDropConnection:
      control_.Abort();
      *end = true;
      return false;
    case FtpFault::Kind::kHang:
      server_->WaitStop(f.delay);
      *end = true;
      return false;
  }
  return true;
}

void FtpServer::Session::Run() {
  if (!ReplyRaw(server_->options_.banner + "\r\n")) return;
  std::string line;
  bool end = false;
  while (!end && !server_->stopping_ && ReadLine(&line)) {
    size_t sp = line.find(' ');
    std::string verb = Upper(line.substr(0, sp));
    std::string arg = sp == std::string::npos ? "" : line.substr(sp + 1);
    Dispatch(verb, arg, &end);
  }
}

void FtpServer::Session::Dispatch(const std::string& verb,
                                  const std::string& arg, bool* end) {
  const Command* command = FindCommand(verb);
  std::string vpath;
  if (command && command->takes_path) {
    if (auto r = Resolve(arg)) vpath = *r;
  }
  if (!CommandFault(verb, vpath, end)) return;
  if ((!command || command->needs_login) && !logged_in_) {
    Reply(530, "Please login with USER and PASS.");
    return;
  }
  if (!command) {
    Reply(502, "Command not implemented.");
    return;
  }
  if (command->path_required) {
    if (arg.empty()) {
      Reply(501, "Syntax error in parameters or arguments.");
      return;
    }
    if (vpath.empty()) {
      Reply(550, "Permission denied.");
      return;
    }
  }
  (this->*command->run)(Request{verb, arg, vpath, end});
}

void FtpServer::Session::PassiveListen(bool extended) {
  SockAddr local;
  control_.LocalAddress(&local);
  if (!extended && local.family() != AF_INET) {
    Reply(522, "Use EPSV for IPv6.");
    return;
  }
  local.set_port(0);
  uint32_t error = 0;
  port_target_.reset();
  pasv_ = FtpSocket::Listen(local, &error);
  SockAddr bound;
  if (!pasv_.valid() || !pasv_.LocalAddress(&bound)) {
    Reply(425, "Can't open passive connection.");
    return;
  }
  pasv_.set_real_time(true);
  if (extended) {
    Reply(229, "Entering Extended Passive Mode (|||" +
                   std::to_string(bound.port()) + "|)");
  } else {
    std::string a = ftpc::PortArgument(bound);
    Reply(227, "Entering Passive Mode (" + a + ").");
  }
}

void FtpServer::Session::ActiveTarget(const std::string& arg, bool extended) {
  SockAddr peer;
  control_.PeerAddress(&peer);
  SockAddr target = peer;
  uint16_t port = 0;
  std::string host;
  if (extended) {
    // |proto|address|port|
    if (arg.size() < 7) {
      Reply(501, "Bad EPRT command.");
      return;
    }
    char d = arg[0];
    std::vector<std::string> parts;
    size_t start = 1;
    for (size_t i = 1; i < arg.size(); ++i)
      if (arg[i] == d) {
        parts.push_back(arg.substr(start, i - start));
        start = i + 1;
      }
    if (parts.size() != 3) {
      Reply(501, "Bad EPRT command.");
      return;
    }
    host = parts[1];
    port = static_cast<uint16_t>(std::atoi(parts[2].c_str()));
  } else {
    unsigned v[6];
    if (std::sscanf(arg.c_str(), "%u,%u,%u,%u,%u,%u", &v[0], &v[1], &v[2],
                    &v[3], &v[4], &v[5]) != 6 ||
        v[4] > 255 || v[5] > 255) {
      Reply(501, "Bad PORT command.");
      return;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
    host = buf;
    port = static_cast<uint16_t>(v[4] * 256 + v[5]);
  }
  // The device connects back only to the client it talks to (no bounces).
  if (host != peer.host() || port == 0) {
    Reply(500, "Illegal PORT command.");
    return;
  }
  target.set_port(port);
  pasv_ = FtpSocket();
  port_target_ = target;
  Reply(200, "PORT command successful. Consider using PASV.");
}

bool FtpServer::Session::OpenData(FtpSocket* data, std::string_view what) {
  if (!pasv_.valid() && !port_target_) {
    Reply(425, "Use PORT or PASV first.");
    return false;
  }
  Reply(150, std::string(type_ == 'A' ? "Opening ASCII mode" : "Opening BINARY mode") +
                 " data connection for " + std::string(what) + ".");
  uint32_t error = 0;
  if (pasv_.valid()) {
    *data = pasv_.Accept(kDataTimeoutMs, &error);
    pasv_ = FtpSocket();
  } else {
    // From the device's own address, as the client only takes data
    // connections from the host it talks to.
    ftpc::SockAddr local;
    *data = control_.LocalAddress(&local)
                ? FtpSocket::Connect(*port_target_, kDataTimeoutMs, &error, &local)
                : FtpSocket::Connect(*port_target_, kDataTimeoutMs, &error);
    port_target_.reset();
  }
  if (!data->valid()) {
    Reply(425, "Failed to establish connection.");
    return false;
  }
  data->set_real_time(true);
  if (prot_p_) {
    if (!data->AcceptTls(server_->tls_.get(), kDataTimeoutMs, &error)) {
      data->Abort();
      Reply(522, "SSL connection failed.");
      return false;
    }
    if (server_->options_.require_session_reuse && !data->TlsResumed()) {
      data->Abort();
      Reply(522, "SSL connection failed: session reuse required");
      return false;
    }
  }
  return true;
}

FtpFault FtpServer::Session::DataFault(const std::string& vpath) {
  FtpFault f;
  if (!server_->options_.fault) return f;
  if (!vpath.empty()) f = server_->options_.fault("ftp.data:" + vpath);
  if (f.kind == FtpFault::Kind::kNone) f = server_->options_.fault("ftp.data");
  return f;
}

void FtpServer::Session::SendData(
    std::string_view what, const std::string& vpath,
    const std::function<bool(std::string*)>& next) {
  FtpFault f = DataFault(vpath);
  if (f.kind == FtpFault::Kind::kFailWith) {
    int code = f.code ? f.code : 425;
    Reply(code, f.body.empty() ? DefaultText(code) : f.body);
    return;
  }
  FtpSocket data;
  if (!OpenData(&data, what)) return;
  if (f.kind == FtpFault::Kind::kHang) {
    server_->WaitStop(f.delay);
    data.Abort();
    return;
  }
  const bool slow = f.kind == FtpFault::Kind::kDelay;
  const bool cut = f.kind == FtpFault::Kind::kDropConnection;
  uint64_t budget = cut ? static_cast<uint64_t>(std::max(f.code, 0)) : 0;
  std::string chunk;
  uint32_t error = 0;
  while (next(&chunk)) {
    std::string_view piece = chunk;
    while (!piece.empty()) {
      std::string_view part = piece.substr(0, slow ? kSlowChunk : piece.size());
      if (cut && part.size() >= budget) {
        data.WriteAll(part.data(), budget, kDataTimeoutMs, &error);
        data.Abort();
        Reply(426, DefaultText(426));
        return;
      }
      if (!data.WriteAll(part.data(), part.size(), kDataTimeoutMs, &error)) {
        data.Abort();
        Reply(426, DefaultText(426));
        return;
      }
      budget -= cut ? part.size() : 0;
      piece.remove_prefix(part.size());
      if (slow) {
        server_->WaitStop(f.delay);
        if (server_->stopping_) return;
      }
    }
  }
  if (cut) {  // fewer bytes than the cut point: cut at the end
    data.Abort();
    Reply(426, DefaultText(426));
    return;
  }
  // Clients may wait for the reply before they close their end.
  data.Close(kDataTimeoutMs, /*wait_for_peer=*/false);
  Reply(226, "Transfer complete.");
}

void FtpServer::Session::Retrieve(const std::string& vpath) {
  std::error_code ec;
  fs::path p = Local(vpath);
  int64_t offset = rest_;
  rest_ = 0;
  if (!fs::is_regular_file(p, ec)) {
    Reply(550, "Failed to open file.");
    return;
  }
  auto in = std::make_shared<std::ifstream>(p, std::ios::binary);
  if (!*in) {
    Reply(550, "Failed to open file.");
    return;
  }
  if (offset > 0) in->seekg(offset);
  auto size = fs::file_size(p, ec);
  bool ascii = type_ == 'A';
  SendData(p.filename().string() + " (" + std::to_string(size) + " bytes)",
           vpath, [in, ascii, prev = '\0'](std::string* chunk) mutable {
             chunk->resize(kChunk);
             in->read(chunk->data(), static_cast<std::streamsize>(kChunk));
             chunk->resize(static_cast<size_t>(in->gcount()));
             if (ascii) {
               // Line ends go out as CR LF; one that is CR LF already stays.
               std::string conv;
               for (char c : *chunk) {
                 if (c == '\n' && prev != '\r') conv.push_back('\r');
                 conv.push_back(c);
                 prev = c;
               }
               *chunk = std::move(conv);
             }
             return !chunk->empty();
           });
}

void FtpServer::Session::List(const std::string& arg_in, bool names_only) {
  (void)names_only;  // the device answers NLST with long lines too
  // Options such as "-la" are accepted and ignored.
  std::string arg = arg_in;
  while (arg.starts_with("-")) {
    size_t sp = arg.find(' ');
    arg = sp == std::string::npos ? "" : arg.substr(sp + 1);
  }
  auto vpath = ResolveFtpPath(cwd_, arg);
  std::error_code ec;
  if (!vpath || !fs::exists(Local(*vpath), ec)) {
    Reply(550, "No such file or directory.");
    return;
  }
  fs::path p = Local(*vpath);
  std::vector<FtpListEntry> entries;
  const FtpDialect dialect = server_->options_.dialect;
  if (fs::is_directory(p, ec)) {
    if (dialect == FtpDialect::kUnixLong) {
      entries.push_back({".", true, 4096, MTime(p)});
      entries.push_back({"..", true, 4096, MTime(p)});
    }
    std::vector<FtpListEntry> found;
    for (const auto& de : fs::directory_iterator(p, ec)) {
      FtpListEntry e;
      e.name = de.path().filename().string();
      e.folder = de.is_directory(ec);
      e.size = e.folder ? 4096 : de.file_size(ec);
      e.mtime = MTime(de.path());
      found.push_back(std::move(e));
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    entries.insert(entries.end(), found.begin(), found.end());
  } else {
    entries.push_back({p.filename().string(), false, fs::file_size(p, ec),
                       MTime(p)});
  }
  auto text = std::make_shared<std::string>(FormatListing(dialect, entries));
  SendData("directory listing", *vpath, [text](std::string* chunk) {
    if (text->empty()) return false;
    *chunk = std::move(*text);
    text->clear();
    return true;
  });
}

void FtpServer::Session::Store(const std::string& vpath, bool append) {
  std::error_code ec;
  fs::path p = Local(vpath);
  int64_t offset = rest_;
  rest_ = 0;
  if (fs::is_directory(p, ec) || !fs::is_directory(p.parent_path(), ec)) {
    Reply(553, DefaultText(553));
    return;
  }
  FtpFault f = DataFault(vpath);
  if (f.kind == FtpFault::Kind::kFailWith) {
    int code = f.code ? f.code : 425;
    Reply(code, f.body.empty() ? DefaultText(code) : f.body);
    return;
  }
  std::ios::openmode mode = std::ios::binary | std::ios::out;
  if (append) mode |= std::ios::app;
  else if (offset > 0) mode |= std::ios::in;
  else mode |= std::ios::trunc;
  std::ofstream out(p, mode);
  if (!out) {
    Reply(553, DefaultText(553));
    return;
  }
  if (offset > 0 && !append) out.seekp(offset);
  FtpSocket data;
  if (!OpenData(&data, p.filename().string())) {
    out.close();
    if (!append && offset == 0) fs::remove(p, ec);
    return;
  }
  const uint64_t quota = server_->options_.quota_bytes;
  uint64_t used = quota ? server_->UsedBytes() : 0;
  uint64_t budget = f.kind == FtpFault::Kind::kDropConnection
                        ? static_cast<uint64_t>(std::max(f.code, 0))
                        : UINT64_MAX;
  std::vector<char> buf(kChunk);
  bool over_quota = false, failed = false;
  uint64_t received = 0;
  uint32_t error = 0;
  if (f.kind == FtpFault::Kind::kHang) {
    server_->WaitStop(f.delay);
    data.Abort();
    return;
  }
  for (;;) {
    long n = data.Read(buf.data(), buf.size(), kDataTimeoutMs, &error);
    if (n == 0) break;
    if (n < 0) {
      failed = true;
      break;
    }
    received += static_cast<uint64_t>(n);
    if (received > budget) {
      data.Abort();
      failed = true;
      break;
    }
    if (quota && used + received > quota) over_quota = true;
    // Beyond the quota the rest is read and dropped, so that the client
    // finishes sending and reads the refusal.
    if (!over_quota) {
      std::string_view chunk(buf.data(), static_cast<size_t>(n));
      if (type_ == 'A') {
        std::string conv;
        for (char c : chunk)
          if (c != '\r') conv.push_back(c);
        out.write(conv.data(), static_cast<std::streamsize>(conv.size()));
      } else {
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      }
    }
    if (f.kind == FtpFault::Kind::kDelay) server_->WaitStop(f.delay);
  }
  out.close();
  data.Close(kDataTimeoutMs);
  if (over_quota || failed || !out) {
    if (!append && offset == 0) fs::remove(p, ec);
    if (over_quota)
      Reply(451, DefaultText(451));
    else
      Reply(426, DefaultText(426));
    return;
  }
  Reply(226, "Transfer complete.");
}

}  // namespace devsim
