#include "boxlink/base/model_file.h"

#include <fstream>

#include "platform/text.h"

namespace boxlink {

bool FrameworkReader::ReadU8(uint8_t* v) {
  if (remaining() < 1) return false;
  *v = static_cast<uint8_t>(bytes_[pos_]);
  pos_ += 1;
  return true;
}

bool FrameworkReader::ReadU16(uint16_t* v) {
  if (remaining() < 2) return false;
  auto b = [&](size_t i) { return static_cast<uint8_t>(bytes_[pos_ + i]); };
  *v = static_cast<uint16_t>(b(0) | (b(1) << 8));
  pos_ += 2;
  return true;
}

bool FrameworkReader::ReadU32(uint32_t* v) {
  if (remaining() < 4) return false;
  auto b = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes_[pos_ + i]));
  };
  *v = b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
  pos_ += 4;
  return true;
}

bool FrameworkReader::ReadString(std::string* out) {
  const size_t start = pos_;
  auto fail = [&] {
    pos_ = start;
    return false;
  };
  bool utf16 = false;
  uint32_t length = 0;
  // The UTF-16 marker may stand in front of the real prefix; it is accepted
  // once, so that a run of markers in a damaged file cannot loop for long.
  for (int round = 0;; ++round) {
    uint8_t b;
    if (!ReadU8(&b)) return fail();
    if (b < 0xFF) {
      length = b;
      break;
    }
    uint16_t w;
    if (!ReadU16(&w)) return fail();
    if (w == 0xFFFE) {
      if (round > 0) return fail();
      utf16 = true;
      continue;
    }
    if (w < 0xFFFE) {
      length = w;
      break;
    }
    if (!ReadU32(&length)) return fail();
    break;
  }
  // A length beyond the end of the data is a truncated (or damaged) file;
  // checking before allocating keeps a bad prefix from asking for 4 GiB.
  const uint64_t bytes = utf16 ? uint64_t{length} * 2 : length;
  if (bytes > remaining()) return fail();
  std::string_view chars = bytes_.substr(pos_, static_cast<size_t>(bytes));
  pos_ += static_cast<size_t>(bytes);
  if (!utf16) {
    out->assign(chars);
    return true;
  }
  std::u16string wide(length, u'\0');
  for (uint32_t i = 0; i < length; ++i) {
    wide[i] = static_cast<char16_t>(static_cast<uint8_t>(chars[2 * i]) |
                                    (static_cast<uint8_t>(chars[2 * i + 1]) << 8));
  }
  *out = platform::Utf16ToCodePage(wide);
  return true;
}

void AppendU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}

namespace {
void AppendU16(std::string* out, uint16_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>(v >> 8));
}

void AppendLength(std::string* out, uint32_t n) {
  if (n < 0xFF) {
    out->push_back(static_cast<char>(n));
  } else if (n < 0xFFFE) {
    out->push_back(static_cast<char>(0xFF));
    AppendU16(out, static_cast<uint16_t>(n));
  } else {
    out->push_back(static_cast<char>(0xFF));
    AppendU16(out, 0xFFFF);
    AppendU32(out, n);
  }
}
}  // namespace

void AppendFrameworkString(std::string* out, std::string_view text,
                           bool utf16) {
  if (!utf16) {
    AppendLength(out, static_cast<uint32_t>(text.size()));
    out->append(text);
    return;
  }
  std::u16string wide = platform::Utf8ToUtf16(text);
  out->push_back(static_cast<char>(0xFF));
  AppendU16(out, 0xFFFE);
  AppendLength(out, static_cast<uint32_t>(wide.size()));
  for (char16_t c : wide) AppendU16(out, static_cast<uint16_t>(c));
}

std::string EncodeModelFile(const std::vector<ModelFileRecord>& records,
                            bool utf16) {
  std::string out;
  AppendU32(&out, static_cast<uint32_t>(records.size()));
  for (const ModelFileRecord& r : records) {
    AppendFrameworkString(&out, r.category, utf16);
    AppendU32(&out, static_cast<uint32_t>(r.models.size()));
    for (const std::string& m : r.models) AppendFrameworkString(&out, m, utf16);
  }
  return out;
}

bool WriteModelFile(const std::string& path,
                    const std::vector<ModelFileRecord>& records, bool utf16) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  std::string bytes = EncodeModelFile(records, utf16);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f.flush());
}

}  // namespace boxlink
