// libFuzzer target for device replies: the XML loader and every reader of
// a CGI reply (engine information, box list, box property, collection,
// disk space, security settings, authentication, service status). The
// first byte chooses local or device times; the rest is the reply. A
// BoxError is a clean refusal; anything else is a finding.
#include <cstdint>
#include <string_view>

#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/client/box_replies.h"
#include "boxlink/client/reply.h"
#include "boxlink/client/security_replies.h"

namespace {

template <typename F>
void Refusable(F&& read) {
  try {
    read();
  } catch (const boxlink::BoxError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool local = data[0] & 1;
  std::string_view raw(reinterpret_cast<const char*>(data) + 1, size - 1);
  auto doc = boxlink::ReplyDocument::Load(raw);
  if (!doc) return 0;
  using namespace boxlink;
  Refusable([&] {
    ZBENGINEINFO info{};
    ParseEngineInfo(*doc, &info);
  });
  Refusable([&] {
    uint32_t count = 0;
    platform::UniqueBlock b = ParseBoxList(*doc, local, &count);
  });
  Refusable([&] {
    ZBBOXPROPERTY p{};
    ParseBoxProperty(raw, *doc, local, &p);
  });
  Refusable([&] {
    uint32_t count = 0;
    const uint32_t since = 1'600'000'000;
    platform::UniqueBlock all = ParseCollection(*doc, local, nullptr, &count);
    platform::UniqueBlock newer = ParseCollection(*doc, local, &since, &count);
  });
  Refusable([&] {
    uint32_t capacity = 0, available = 0;
    ParseDiskSpace(*doc, &capacity, &available);
  });
  Refusable([&] {
    ZBSECURITY s{};
    ParseSecuritySettings(*doc, &s);
  });
  Refusable([&] {
    uint32_t sid = 0;
    ParseAuthorization(*doc, &sid);
  });
  Refusable([&] { ParseServiceStatus(*doc); });
  Refusable([&] {
    char text[256];
    GetNodeText(*doc, "BoxNwLib/Message/Result", text, sizeof text);
    GetNodeText(*doc, "BoxNwLib/Header/Version", text, sizeof text);
  });
  return 0;
}
