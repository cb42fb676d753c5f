// Hand-made zip archives for tests of what the readers refuse.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace boxlink::ziptest {

namespace crafted {
inline void Put16(std::string& s, uint32_t v) {
  s += char(v & 0xFF);
  s += char((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
}  // namespace crafted

// A well-formed archive whose entries declare at least `declared_total`
// bytes in all: each entry claims the largest size the format allows
// (4 GiB - 1) for two bytes of deflate data. Its directory and local
// headers agree; only extracting it would show that the data is short.
inline std::string DeclaredSizeBomb(uint64_t declared_total) {
  using crafted::Put16;
  using crafted::Put32;
  constexpr uint32_t kClaim = 0xFFFFFFFFu;
  const uint64_t count = (declared_total + kClaim - 1) / kClaim;
  std::string data, directory;
  for (uint64_t i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "B/f%05u", unsigned(i));
    const uint32_t offset = uint32_t(data.size());
    Put32(data, 0x04034B50);
    Put16(data, 20);  // version needed
    Put16(data, 0);   // flags
    Put16(data, 8);   // deflate
    Put16(data, 0);   // time
    Put16(data, 0x21);  // date: 1980-01-01
    Put32(data, 0);     // CRC
    Put32(data, 2);     // compressed size
    Put32(data, kClaim);
    Put16(data, uint32_t(std::string(name).size()));
    Put16(data, 0);
    data += name;
    data += std::string("\x03\x00", 2);  // an empty final block

    Put32(directory, 0x02014B50);
    Put16(directory, 20);
    Put16(directory, 20);
    Put16(directory, 0);
    Put16(directory, 8);
    Put16(directory, 0);
    Put16(directory, 0x21);
    Put32(directory, 0);
    Put32(directory, 2);
    Put32(directory, kClaim);
    Put16(directory, uint32_t(std::string(name).size()));
    Put16(directory, 0);     // extra
    Put16(directory, 0);     // comment
    Put16(directory, 0);     // disk
    Put16(directory, 0);     // internal attributes
    Put32(directory, 0x20);  // archive attribute
    Put32(directory, offset);
    directory += name;
  }
  std::string out = data + directory;
  Put32(out, 0x06054B50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, uint32_t(count));
  Put16(out, uint32_t(count));
  Put32(out, uint32_t(directory.size()));
  Put32(out, uint32_t(data.size()));
  Put16(out, 0);
  return out;
}

}  // namespace boxlink::ziptest
