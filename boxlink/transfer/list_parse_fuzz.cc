// libFuzzer target for the FTP listing parsers of both transfer families:
// the second family's raw LIST answer, the name-list lines of both
// families (the first with either name rule) and the long-listing lines
// that the plain layer's search reads. The first byte picks nothing; the
// whole input is the device's answer.
#include <cstdint>
#include <string>
#include <string_view>

#include "boxlink/transfer/list_parse.h"
#include "standins/inet/ftp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  boxlink::FindDataList folders, files;
  boxlink::transfer::ParseBriskListAnswer(text, &folders, &files);
  boxlink::transfer::ParseBriskListAnswer(text, nullptr, &files);
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    std::string_view line =
        text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    int kind = 0;
    std::string name;
    (void)boxlink::transfer::ParseOrielNameListLine(line, false, &kind, &name);
    (void)boxlink::transfer::ParseOrielNameListLine(line, true, &kind, &name);
    bool folder = false;
    (void)boxlink::transfer::ParseBriskNameListLine(line, &folder, &name);
    inet::FtpFindData entry;
    (void)inet::ParseLongListLine(line, 1'700'000'000, &entry);
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return 0;
}
