// libFuzzer target for the control connection's reply assembler and the
// passive-mode address readers: the bytes arrive in pieces whose sizes the
// input's first byte sets, every whole reply is taken out, and each reply
// text is read as a PASV and an EPSV answer.
#include <cstdint>
#include <string>
#include <string_view>

#include "standins/ftplibpp/ftp_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 64;
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  ftpc::ReplyAssembler replies;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    replies.Feed(bytes.substr(at, piece));
    while (auto r = replies.Next()) {
      if (r->code < 0 || r->code > 999) __builtin_trap();
      std::string host;
      uint16_t port = 0;
      (void)ftpc::ParsePasvReply(r->text, &host, &port);
      (void)ftpc::ParseEpsvReply(r->text, &port);
    }
  }
  return 0;
}
