#include "standins/ftplibpp/ftp_reply.h"

#include <netinet/in.h>

#include <cctype>
#include <cstdio>

namespace ftpc {
namespace {

int LineCode(std::string_view line, char* sep) {
  if (line.size() < 3) return 0;
  for (int i = 0; i < 3; ++i)
    if (!std::isdigit(static_cast<unsigned char>(line[i]))) return 0;
  *sep = line.size() > 3 ? line[3] : ' ';
  return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

}  // namespace

std::optional<Reply> ReplyAssembler::Next() {
  for (;;) {
    size_t nl = buffer_.find('\n', scan_);
    if (nl == std::string::npos) return std::nullopt;
    std::string_view line(buffer_.data() + scan_, nl - scan_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    scan_ = nl + 1;
    char sep = ' ';
    int code = LineCode(line, &sep);
    bool last;
    if (open_code_ == 0) {
      if (code == 0) {
        // Not a reply line and not inside one: keep it in the next reply's
        // text rather than losing it, but it cannot end a reply.
        continue;
      }
      if (sep == '-') {
        open_code_ = code;
        continue;
      }
      last = true;
    } else {
      last = code == open_code_ && sep == ' ';
    }
    if (!last) continue;
    Reply r;
    r.code = code;
    // Normalise every line ending to CR LF in the kept text.
    std::string_view raw(buffer_.data(), scan_);
    size_t start = 0;
    while (start < raw.size()) {
      size_t e = raw.find('\n', start);
      std::string_view l = raw.substr(start, e - start);
      if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
      r.text.append(l).append("\r\n");
      start = e + 1;
    }
    buffer_.erase(0, scan_);
    scan_ = 0;
    open_code_ = 0;
    return r;
  }
}

bool ParsePasvReply(std::string_view text, std::string* host, uint16_t* port) {
  // Some servers omit the parentheses: take the first run of six numbers.
  for (size_t i = 0; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) continue;
    if (i < 4) continue;  // the reply code itself
    unsigned v[6];
    int used = 0;
    std::string tail(text.substr(i, 40));
    if (std::sscanf(tail.c_str(), "%u,%u,%u,%u,%u,%u%n", &v[0], &v[1], &v[2],
                    &v[3], &v[4], &v[5], &used) == 6) {
      for (unsigned x : v)
        if (x > 255) return false;
      char buf[32];
      std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
      *host = buf;
      *port = static_cast<uint16_t>(v[4] * 256 + v[5]);
      return true;
    }
  }
  return false;
}

bool ParseEpsvReply(std::string_view text, uint16_t* port) {
  size_t open = text.find('(');
  if (open == std::string_view::npos || open + 4 >= text.size()) return false;
  char d = text[open + 1];
  if (text[open + 2] != d || text[open + 3] != d) return false;
  size_t p = open + 4;
  unsigned long value = 0;
  size_t digits = 0;
  while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) {
    value = value * 10 + (text[p] - '0');
    if (value > 65535) return false;
    ++p;
    ++digits;
  }
  if (digits == 0 || p >= text.size() || text[p] != d) return false;
  *port = static_cast<uint16_t>(value);
  return value != 0;
}

std::string PortArgument(const SockAddr& local) {
  const auto* in = reinterpret_cast<const sockaddr_in*>(&local.storage);
  const auto* a = reinterpret_cast<const unsigned char*>(&in->sin_addr);
  uint16_t port = local.port();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%u,%u,%u,%u,%u,%u", a[0], a[1], a[2], a[3],
                port >> 8, port & 0xFF);
  return buf;
}

std::string EprtArgument(const SockAddr& local) {
  return "|" + std::string(local.family() == AF_INET6 ? "2" : "1") + "|" +
         local.host() + "|" + std::to_string(local.port()) + "|";
}

}  // namespace ftpc
