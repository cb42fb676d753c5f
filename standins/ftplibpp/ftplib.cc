#include "standins/ftplibpp/ftplib.h"

#include <netinet/in.h>
#include <openssl/err.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/last_error.h"
#include "standins/ftplibpp/ftp_errors.h"

using ftpc::FtpSocket;
using ftpc::SockAddr;

struct ftphandle {
  FtpSocket data;
  bool upload = false;
  bool ascii = false;
  bool pending_cr = false;  // ASCII read: a CR held back at a buffer end
  bool failed = false;
};

namespace {

constexpr size_t kChunk = 256 * 1024;

// CR LF -> LF for ASCII downloads; a CR at the end of one buffer is held
// until the next shows whether an LF follows.
size_t AsciiToLocal(char* buf, size_t n, bool* pending_cr, std::string* out) {
  out->clear();
  if (*pending_cr) {
    if (n == 0 || buf[0] != '\n') out->push_back('\r');
    *pending_cr = false;
  }
  for (size_t i = 0; i < n; ++i) {
    if (buf[i] == '\r') {
      if (i + 1 == n) {
        *pending_cr = true;
        break;
      }
      if (buf[i + 1] == '\n') continue;
    }
    out->push_back(buf[i]);
  }
  return out->size();
}

}  // namespace

ftplib::ftplib(int family_flag, int ipv6)
    : family_flag_(family_flag), ipv6_(ipv6 != 0) {}

ftplib::~ftplib() = default;

int ftplib::Fail(uint32_t error) {
  last_error_ = error;
  platform::SetLastError(error);
  return 0;
}

int ftplib::ReadReply() {
  char buf[4096];
  for (;;) {
    if (auto r = replies_.Next()) {
      last_code_ = r->code;
      last_response_ = std::move(r->text);
      return last_code_;
    }
    if (replies_.pending() > 1 << 20) {  // a "reply" that never ends
      control_.Close(0);
      Fail(ftpc::kErrConnectionAborted);
      return 0;
    }
    uint32_t error = 0;
    long n = control_.Read(buf, sizeof buf, timeout_ms_, &error);
    if (n <= 0) {
      // The server went away (or stopped answering): the session is over.
      control_.Close(0);
      Fail(n == 0 ? ftpc::kErrConnectionReset : error);
      return 0;
    }
    replies_.Feed(std::string_view(buf, n));
  }
}

int ftplib::Command(const std::string& line) {
  if (!control_.valid()) {
    Fail(ftpc::kErrIncorrectHandleState);
    return 0;
  }
  if (line.find_first_of("\r\n") != std::string::npos) {
    // A line break would let a name smuggle a second command.
    Fail(ftpc::kErrInvalidParameter);
    return 0;
  }
  std::string wire = line + "\r\n";
  uint32_t error = 0;
  if (!control_.WriteAll(wire.data(), wire.size(), timeout_ms_, &error)) {
    control_.Close(0);
    Fail(error);
    return 0;
  }
  return ReadReply();
}

bool ftplib::Expect(const std::string& line, int reply_class) {
  int code = Command(line);
  if (code == 0) return false;
  if (code / 100 != reply_class) {
    Fail(ftpc::kErrServerRefused);
    return false;
  }
  return true;
}

int ftplib::Connect(const char* host, int port, uint32_t scope_id) {
  if (!host || port <= 0 || port > 65535) return Fail(ftpc::kErrInvalidParameter);
  control_ = FtpSocket();
  replies_ = ftpc::ReplyAssembler();
  type_ = 0;
  data_secure_ = false;
  std::string h(host);
  int family = (ipv6_ || h.find(':') != std::string::npos) ? AF_INET6 : AF_INET;
  SockAddr to;
  uint32_t error = 0;
  if (!ftpc::ResolveHost(h, static_cast<uint16_t>(port), family, scope_id, &to,
                         &error))
    return Fail(error);
  control_ = FtpSocket::Connect(to, timeout_ms_, &error);
  if (!control_.valid()) return Fail(error);
  int code = ReadReply();
  if (code == 0) return 0;
  if (code != 220) {
    control_.Close(0);
    return Fail(ftpc::kErrCannotConnect);
  }
  return 1;
}

int ftplib::NegotiateEncryption() {
  if (!tls_) {
    tls_.reset(SSL_CTX_new(TLS_client_method()));
    if (!tls_) return Fail(ftpc::kErrSecureChannel);
    // Devices carry self-made certificates that no authority signed; the
    // system has always accepted them, as its web client does.
    SSL_CTX_set_verify(tls_.get(), SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_session_cache_mode(tls_.get(), SSL_SESS_CACHE_CLIENT);
    // Data connections resume the control connection's session. TLS 1.3
    // tickets are single-use on many servers, so the second transfer of a
    // session would be refused; TLS 1.2 session ids serve any number.
    SSL_CTX_set_max_proto_version(tls_.get(), TLS1_2_VERSION);
  }
  if (!Expect("AUTH TLS", 2)) return 0;
  uint32_t error = 0;
  if (!control_.StartTls(tls_.get(), nullptr, timeout_ms_, &error)) {
    control_.Close(0);
    return Fail(error);
  }
  if (!Expect("PBSZ 0", 2)) return 0;
  return 1;
}

int ftplib::Login(const char* user, const char* pass) {
  if (!user || !pass) return Fail(ftpc::kErrInvalidParameter);
  int code = Command(std::string("USER ") + user);
  if (code == 0) return 0;
  if (code == 230) return 1;
  if (code != 331 && code != 332) return Fail(ftpc::kErrIncorrectUser);
  code = Command(std::string("PASS ") + pass);
  if (code == 0) return 0;
  if (code / 100 != 2) return Fail(ftpc::kErrIncorrectPassword);
  return 1;
}

int ftplib::SetDataEncryption(dataencryption enc) {
  if (!Secure()) return Fail(ftpc::kErrIncorrectHandleState);
  if (!Expect(enc == secure ? "PROT P" : "PROT C", 2)) return 0;
  data_secure_ = enc == secure;
  return 1;
}

void ftplib::SetConnmode(connmode mode) { mode_ = mode; }

int ftplib::Chdir(const char* path) {
  return path && Expect(std::string("CWD ") + path, 2) ? 1 : 0;
}
int ftplib::Mkdir(const char* path) {
  return path && Expect(std::string("MKD ") + path, 2) ? 1 : 0;
}
int ftplib::Rmdir(const char* path) {
  return path && Expect(std::string("RMD ") + path, 2) ? 1 : 0;
}
int ftplib::Delete(const char* path) {
  return path && Expect(std::string("DELE ") + path, 2) ? 1 : 0;
}
int ftplib::Rename(const char* src, const char* dst) {
  if (!src || !dst) return Fail(ftpc::kErrInvalidParameter);
  if (!Expect(std::string("RNFR ") + src, 3)) return 0;
  return Expect(std::string("RNTO ") + dst, 2) ? 1 : 0;
}

int ftplib::Raw(const char* command) {
  if (!command) return Fail(ftpc::kErrInvalidParameter);
  int code = Command(command);
  if (code == 0) return 0;
  if (code / 100 != 2 && code / 100 != 3) return Fail(ftpc::kErrServerRefused);
  return 1;
}

int ftplib::Quit() {
  if (!control_.valid()) return Fail(ftpc::kErrIncorrectHandleState);
  int code = Command("QUIT");
  control_.Close(timeout_ms_);
  if (code / 100 != 2) return code == 0 ? 0 : Fail(ftpc::kErrServerRefused);
  return 1;
}

bool ftplib::SetType(transfermode mode) {
  char want = mode == ascii ? 'A' : 'I';
  if (type_ == want) return true;
  if (!Expect(std::string("TYPE ") + want, 2)) return false;
  type_ = want;
  return true;
}

ftphandle* ftplib::OpenData(const std::string& command, bool upload,
                            transfermode mode, int64_t offset) {
  if (!control_.valid()) {
    Fail(ftpc::kErrIncorrectHandleState);
    return nullptr;
  }
  if (!SetType(mode)) return nullptr;
  if (offset > 0 && !Expect("REST " + std::to_string(offset), 3))
    return nullptr;

  SockAddr control_local, control_peer;
  if (!control_.LocalAddress(&control_local) ||
      !control_.PeerAddress(&control_peer)) {
    Fail(ftpc::kErrConnectionAborted);
    return nullptr;
  }
  const bool v6 = control_peer.family() == AF_INET6;
  uint32_t error = 0;
  auto h = std::make_unique<ftphandle>();
  h->upload = upload;
  h->ascii = mode == ascii;
  FtpSocket listener;
  if (mode_ == pasv) {
    uint16_t data_port = 0;
    if (v6) {
      if (!Expect("EPSV", 2) ||
          !ftpc::ParseEpsvReply(last_response_, &data_port)) {
        Fail(ftpc::kErrServerRefused);
        return nullptr;
      }
    } else {
      std::string announced;
      if (!Expect("PASV", 2) ||
          !ftpc::ParsePasvReply(last_response_, &announced, &data_port)) {
        Fail(ftpc::kErrServerRefused);
        return nullptr;
      }
    }
    // The data connection goes to the server we already talk to, whatever
    // address the reply names: a reply must not send us elsewhere.
    SockAddr to = control_peer;
    to.set_port(data_port);
    h->data = FtpSocket::Connect(to, timeout_ms_, &error);
    if (!h->data.valid()) {
      Fail(error);
      return nullptr;
    }
  } else {
    SockAddr local = control_local;
    local.set_port(0);
    listener = FtpSocket::Listen(local, &error);
    SockAddr bound;
    if (!listener.valid() || !listener.LocalAddress(&bound)) {
      Fail(error ? error : ftpc::kErrCannotConnect);
      return nullptr;
    }
    bool ok = v6 ? Expect("EPRT " + ftpc::EprtArgument(bound), 2)
                 : Expect("PORT " + ftpc::PortArgument(bound), 2);
    if (!ok) return nullptr;
  }

  int code = Command(command);
  if (code == 0) return nullptr;
  if (code / 100 != 1) {
    Fail(ftpc::kErrServerRefused);
    return nullptr;
  }
  if (mode_ != pasv) {
    h->data = listener.Accept(timeout_ms_, &error, &control_peer);
    if (!h->data.valid()) {
      Fail(error);
      ReadReply();  // the server gives up on the connection too (425)
      return nullptr;
    }
  }
  if (data_secure_ &&
      !h->data.StartTls(tls_.get(), SSL_get_session(control_.ssl()),
                        timeout_ms_, &error)) {
    Fail(error);
    h->data.Close(0);
    ReadReply();
    return nullptr;
  }
  return h.release();
}

ftphandle* ftplib::RawOpenCommand(const char* command, bool upload,
                                  transfermode mode, int64_t offset) {
  if (!command) {
    Fail(ftpc::kErrInvalidParameter);
    return nullptr;
  }
  return OpenData(command, upload, mode, offset);
}

ftphandle* ftplib::RawOpen(const char* path, accesstype type,
                           transfermode mode) {
  if (!path) path = "";
  std::string arg = *path ? std::string(" ") + path : std::string();
  switch (type) {
    case dir:
      return OpenData("NLST" + arg, false, ascii, 0);
    case dirverbose:
      return OpenData("LIST" + arg, false, ascii, 0);
    case fileread:
    case filereadappend:
      return OpenData("RETR" + arg, false, mode, 0);
    case filewriteappend:
      return OpenData("APPE" + arg, true, mode, 0);
    case filewrite:
    default:
      return OpenData("STOR" + arg, true, mode, 0);
  }
}

int ftplib::RawRead(void* buf, int max, ftphandle* h) {
  if (!h || !buf || max <= 0 || h->upload) {
    Fail(ftpc::kErrInvalidParameter);
    return -1;
  }
  uint32_t error = 0;
  long n = h->data.Read(buf, static_cast<size_t>(max), timeout_ms_, &error);
  if (n < 0) {
    h->failed = true;
    Fail(error);
    return -1;
  }
  return static_cast<int>(n);
}

int ftplib::RawWrite(const void* buf, int len, ftphandle* h) {
  if (!h || !buf || len < 0 || !h->upload) {
    Fail(ftpc::kErrInvalidParameter);
    return -1;
  }
  uint32_t error = 0;
  if (!h->data.WriteAll(buf, static_cast<size_t>(len), timeout_ms_, &error)) {
    h->failed = true;
    Fail(error);
    return -1;
  }
  return len;
}

int ftplib::RawClose(ftphandle* h) {
  if (!h) return Fail(ftpc::kErrInvalidParameter);
  std::unique_ptr<ftphandle> owned(h);
  const bool failed = h->failed;
  const uint32_t first_error = last_error_;
  if (failed && first_error == ftpc::kErrTimeout) {
    // The server stopped sending; it will not answer in time either, and a
    // late answer would be taken for the reply to the next command.
    h->data.Abort();
    control_.Close(0);
    return Fail(ftpc::kErrTimeout);
  }
  h->data.Close(std::min<uint32_t>(timeout_ms_, 2000));
  if (!control_.valid()) return Fail(ftpc::kErrConnectionReset);
  int code = ReadReply();
  if (code == 0) return 0;
  if (failed) return Fail(first_error ? first_error : ftpc::kErrConnectionReset);
  if (code / 100 != 2) return Fail(ftpc::kErrServerRefused);
  return 1;
}

int ftplib::Transfer(const char* file, const std::string& command, bool upload,
                     transfermode mode, int64_t offset) {
  if (!file) return Fail(ftpc::kErrInvalidParameter);
  FILE* local = nullptr;
  if (upload) {
    local = std::fopen(file, "rb");
    if (!local) return Fail(ftpc::kErrLocalFile);
    if (offset > 0 && fseeko(local, offset, SEEK_SET) != 0) {
      std::fclose(local);
      return Fail(ftpc::kErrLocalFile);
    }
  } else {
    local = std::fopen(file, offset > 0 ? "r+b" : "wb");
    if (!local) return Fail(ftpc::kErrLocalWrite);
    if (offset > 0 && fseeko(local, offset, SEEK_SET) != 0) {
      std::fclose(local);
      return Fail(ftpc::kErrLocalWrite);
    }
  }
  std::unique_ptr<FILE, int (*)(FILE*)> closer(local, std::fclose);
  auto discard_partial = [&] {
    // A download that did not complete must not look like a good file.
    if (!upload && offset == 0) {
      closer.reset();
      std::remove(file);
    }
  };

  ftphandle* h = OpenData(command, upload, mode, offset);
  if (!h) {
    discard_partial();
    return 0;
  }
  std::vector<char> buf(kChunk);
  std::string converted;
  bool ok = true;
  uint32_t local_error = 0;
  if (upload) {
    for (;;) {
      size_t n = std::fread(buf.data(), 1, buf.size(), local);
      if (n == 0) {
        if (std::ferror(local)) {
          ok = false;
          local_error = ftpc::kErrLocalFile;
        }
        break;
      }
      const char* p = buf.data();
      size_t len = n;
      if (h->ascii) {
        converted.clear();
        for (size_t i = 0; i < n; ++i) {
          if (buf[i] == '\n' && (i == 0 || buf[i - 1] != '\r'))
            converted.push_back('\r');
          converted.push_back(buf[i]);
        }
        p = converted.data();
        len = converted.size();
      }
      if (RawWrite(p, static_cast<int>(len), h) < 0) {
        ok = false;
        break;
      }
    }
  } else {
    for (;;) {
      int n = RawRead(buf.data(), static_cast<int>(buf.size()), h);
      if (n < 0) {
        ok = false;
        break;
      }
      const char* p = buf.data();
      size_t len = static_cast<size_t>(n);
      if (h->ascii) {
        len = AsciiToLocal(buf.data(), len, &h->pending_cr, &converted);
        p = converted.data();
      }
      if (len > 0 && std::fwrite(p, 1, len, local) != len) {
        ok = false;
        local_error = ftpc::kErrLocalWrite;
        break;
      }
      if (n == 0) break;
    }
    if (ok && std::fflush(local) != 0) {
      ok = false;
      local_error = ftpc::kErrLocalWrite;
    }
  }
  if (!ok) h->failed = true;
  int closed = RawClose(h);
  if (local_error) Fail(local_error);
  if (!ok || !closed) {
    discard_partial();
    return 0;
  }
  return 1;
}

int ftplib::Get(const char* outputfile, const char* path, transfermode mode,
                int64_t offset) {
  if (!path) return Fail(ftpc::kErrInvalidParameter);
  return Transfer(outputfile, std::string("RETR ") + path, false, mode, offset);
}

int ftplib::Put(const char* inputfile, const char* path, transfermode mode,
                int64_t offset) {
  if (!path) return Fail(ftpc::kErrInvalidParameter);
  return Transfer(inputfile,
                  std::string("STOR ") + path, true,
                  mode, offset);
}

int ftplib::ListTo(const char* outputfile, const char* verb, const char* path) {
  std::string cmd = verb;
  if (path && *path) cmd += std::string(" ") + path;
  return Transfer(outputfile, cmd, false, ascii, 0);
}

int ftplib::Nlst(const char* outputfile, const char* path) {
  return ListTo(outputfile, "NLST", path);
}

int ftplib::Dir(const char* outputfile, const char* path) {
  return ListTo(outputfile, "LIST", path);
}
