// The on-disk form of the model information file "ZELT_ModelInfo.bin".
//
// The file is an object stream of the application framework the first
// client was written with, without any header; all integers little-endian:
//
//   u32 record count N
//   N times:  string category name, u32 model count M, M strings
//
// A string is a length prefix and the characters. The prefix is one byte
// when the length is below 255; otherwise 0xFF and a u16 length when that
// is below 0xFFFE; otherwise 0xFF, 0xFFFF and a u32 length. The pair
// 0xFF 0xFFFE in front of a prefix marks the characters as UTF-16 (the
// length then counts 16-bit units); without it they are 8-bit text of the
// system code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace boxlink {

inline constexpr char kModelInfoFileName[] = "ZELT_ModelInfo.bin";

// Reads the framework's primitives from a byte buffer. Every read returns
// false, and leaves the cursor where it was, when the buffer ends first.
class FrameworkReader {
 public:
  explicit FrameworkReader(std::string_view bytes) : bytes_(bytes) {}

  bool ReadU8(uint8_t* v);
  bool ReadU16(uint16_t* v);
  bool ReadU32(uint32_t* v);
  // A string in the system code page (UTF-16 strings are converted).
  bool ReadString(std::string* out);

  size_t remaining() const { return bytes_.size() - pos_; }
  bool at_end() const { return pos_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

// The writing side, for tools and tests that make model files.
void AppendU32(std::string* out, uint32_t v);
// The string form above; `utf16` writes the UTF-16 marker and characters.
// `text` is UTF-8 when utf16 is set, else written as it is.
void AppendFrameworkString(std::string* out, std::string_view text,
                           bool utf16 = false);

struct ModelFileRecord {
  std::string category;
  std::vector<std::string> models;
};
// The whole file content for these records.
std::string EncodeModelFile(const std::vector<ModelFileRecord>& records,
                            bool utf16 = false);
// Writes it; false when the file cannot be written.
bool WriteModelFile(const std::string& path,
                    const std::vector<ModelFileRecord>& records,
                    bool utf16 = false);

}  // namespace boxlink
