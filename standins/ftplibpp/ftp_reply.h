// The text side of the FTP control connection: assembling (multi-line)
// replies from received bytes and reading the data-connection addresses
// that PASV and EPSV answers carry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "standins/ftplibpp/ftp_socket.h"

namespace ftpc {

struct Reply {
  int code = 0;       // three digits, 0 when the line was not a reply
  std::string text;   // every line of the reply, each ended by "\r\n"
};

// Collects bytes of the control connection and hands out whole replies.
// A multi-line reply starts with "ddd-" and ends with a line starting with
// the same code and a space; lines in between may say anything.
class ReplyAssembler {
 public:
  void Feed(std::string_view bytes) { buffer_.append(bytes); }
  // The next complete reply, if the bytes received hold one.
  std::optional<Reply> Next();
  // Bytes received that are not yet part of a reply (bounded by callers).
  size_t pending() const { return buffer_.size(); }

 private:
  std::string buffer_;
  size_t scan_ = 0;  // start of the first line not yet looked at
  int open_code_ = 0;
};

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)" -> host and port.
bool ParsePasvReply(std::string_view text, std::string* host, uint16_t* port);
// "229 Entering Extended Passive Mode (|||port|)" -> port.
bool ParseEpsvReply(std::string_view text, uint16_t* port);
// The argument of PORT (IPv4) or EPRT (either family) for a local address.
std::string PortArgument(const SockAddr& local);
std::string EprtArgument(const SockAddr& local);

}  // namespace ftpc
