#include "boxlink/convert/legacy_layout.h"

#include <cstdio>
#include <cstring>

namespace boxlink::legacy {

namespace {

// Reads with zeros past the end, so short files decode to zero fields.
class Bytes {
 public:
  explicit Bytes(std::string_view b) : b_(b) {}
  uint8_t U8(size_t at) const {
    return at < b_.size() ? static_cast<uint8_t>(b_[at]) : 0;
  }
  uint16_t U16(size_t at) const { return uint16_t(U8(at) << 8 | U8(at + 1)); }
  uint16_t U16Low(size_t at) const { return uint16_t(U8(at) | U8(at + 1) << 8); }
  uint32_t U32(size_t at) const {
    return uint32_t(U8(at)) << 24 | uint32_t(U8(at + 1)) << 16 |
           uint32_t(U8(at + 2)) << 8 | U8(at + 3);
  }
  std::string Text(size_t at, size_t max) const {
    std::string out;
    for (size_t i = 0; i < max; ++i) {
      uint8_t c = U8(at + i);
      if (!c) break;
      out += char(c);
    }
    return out;
  }
  std::u16string Utf16(size_t at, size_t max_bytes) const {
    std::u16string out;
    for (size_t i = 0; i + 1 < max_bytes; i += 2) {
      char16_t c = char16_t(U8(at + i) | U8(at + i + 1) << 8);
      if (!c) break;
      out += c;
    }
    return out;
  }

 private:
  std::string_view b_;
};

class Writer {
 public:
  explicit Writer(size_t size) : b_(size, '\0') {}
  void U8(size_t at, uint8_t v) { b_[at] = char(v); }
  void U16(size_t at, uint16_t v) {
    U8(at, uint8_t(v >> 8));
    U8(at + 1, uint8_t(v));
  }
  void U16Low(size_t at, uint16_t v) {
    U8(at, uint8_t(v));
    U8(at + 1, uint8_t(v >> 8));
  }
  void U32(size_t at, uint32_t v) {
    U16(at, uint16_t(v >> 16));
    U16(at + 2, uint16_t(v));
  }
  // Keeps room for the terminator.
  void Text(size_t at, size_t field, std::string_view s) {
    size_t n = std::min(s.size(), field - 1);
    std::memcpy(b_.data() + at, s.data(), n);
  }
  void Utf16(size_t at, size_t field_bytes, std::u16string_view s) {
    size_t units = std::min(s.size(), field_bytes / 2 - 1);
    // A cut never leaves half of a surrogate pair.
    if (units && units < s.size() && s[units - 1] >= 0xD800 && s[units - 1] < 0xDC00)
      --units;
    for (size_t i = 0; i < units; ++i) U16Low(at + 2 * i, s[i]);
  }
  std::string take() { return std::move(b_); }

 private:
  std::string b_;
};

uint32_t LeadingDecimal(std::string_view s) {
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    v = v * 10 + unsigned(c - '0');
    if (v > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  return uint32_t(v);
}

}  // namespace

uint16_t Descriptor::JobType() const {
  for (unsigned bit = 1; bit <= 4; ++bit)
    if (job_source & (1u << bit)) return uint16_t(1u << (bit - 1));
  return 0;
}

Descriptor DecodeDescriptor(std::string_view bytes) {
  Bytes b(bytes);
  Descriptor d;
  d.number = LeadingDecimal(b.Text(1, 7));
  d.name = b.Utf16(kNameOffset, kNameBytes);
  d.created = b.U32(140);
  d.modified = b.U32(144);
  d.accessed = b.U32(148);
  d.archived = b.U32(152);
  d.paper_source = b.U8(156);
  d.job_source = b.U8(157);
  d.resolution = b.U16(158);
  d.paper_flags = b.U32(160);
  d.paper_type = b.U16(164);
  d.colour_flags = b.U16Low(166);
  d.finishing = b.U8(168);
  d.pages = b.U16Low(169);
  d.sort = b.U8(171);
  d.data_size = b.U32(172);
  d.reception_number = b.U32(176);
  return d;
}

std::string EncodeDescriptor(const Descriptor& d, bool folder) {
  Writer w(kDescriptorBytes);
  char own[16];
  std::snprintf(own, sizeof own, "%c0000%03u", folder ? 'F' : 'D', d.number);
  w.Text(0, 9, own);
  w.Utf16(kNameOffset, kNameBytes, d.name);
  w.U32(140, d.created);
  w.U32(144, d.modified);
  w.U32(148, d.accessed);
  w.U32(152, d.archived);
  w.U8(156, d.paper_source);
  w.U8(157, d.job_source);
  w.U16(158, d.resolution);
  w.U32(160, d.paper_flags);
  w.U16(164, d.paper_type);
  w.U16Low(166, d.colour_flags);
  w.U8(168, d.finishing);
  w.U16Low(169, d.pages);
  w.U8(171, d.sort);
  w.U32(172, d.data_size);
  w.U32(176, d.reception_number);
  return w.take();
}

PageDescriptor DecodePageDescriptor(std::string_view bytes) {
  Bytes b(bytes);
  PageDescriptor p;
  std::string own = b.Text(0, 8);
  if (own.size() > 4) p.number = LeadingDecimal(std::string_view(own).substr(4));
  p.file_size = b.U32(12);
  p.job_type = b.U16(16);
  p.paper_size = b.U32(20);
  p.resolution = b.U16(24);
  p.colour_mode = b.U16(26);
  p.width = int16_t(b.U16(42));
  p.height = int16_t(b.U16(44));
  p.adjusted_width = int16_t(b.U16(54));
  p.adjusted_height = int16_t(b.U16(56));
  p.angle = b.U16(78);
  p.orientation = int16_t(b.U16(80));
  return p;
}

std::string EncodePageDescriptor(const PageDescriptor& p) {
  Writer w(kPageDescriptorBytes);
  char own[16];
  std::snprintf(own, sizeof own, "PAGE%03u", p.number);
  w.Text(0, 8, own);
  w.U32(12, p.file_size);
  w.U16(16, p.job_type);
  w.U32(20, p.paper_size);
  w.U16(24, p.resolution);
  w.U16(26, p.colour_mode);
  w.U16(42, uint16_t(p.width));
  w.U16(44, uint16_t(p.height));
  w.U16(54, uint16_t(p.adjusted_width));
  w.U16(56, uint16_t(p.adjusted_height));
  w.U16(78, p.angle);
  w.U16(80, uint16_t(p.orientation));
  return w.take();
}

JobFile DecodeJobFile(std::string_view bytes) {
  Bytes b(bytes);
  JobFile j;
  j.job_type = b.U16(0);
  j.paper_size = b.U32(2);
  j.colour_mode = b.U16(6);
  j.resolution = b.U16(8);
  j.copies = b.U16(10);
  j.duplex = b.U8(12);
  j.staple = b.U8(13);
  j.hole_punch = b.U8(14);
  j.sort = b.U8(15);
  j.output_tray = b.U8(16);
  j.paper_source = b.U8(17);
  j.paper_type = b.U16(18);
  j.orientation = b.U16(20);
  return j;
}

std::string EncodeJobFile(const JobFile& j) {
  Writer w(kJobFileBytes);
  w.U16(0, j.job_type);
  w.U32(2, j.paper_size);
  w.U16(6, j.colour_mode);
  w.U16(8, j.resolution);
  w.U16(10, j.copies);
  w.U8(12, j.duplex);
  w.U8(13, j.staple);
  w.U8(14, j.hole_punch);
  w.U8(15, j.sort);
  w.U8(16, j.output_tray);
  w.U8(17, j.paper_source);
  w.U16(18, j.paper_type);
  w.U16(20, j.orientation);
  return w.take();
}

BoxDescriptor DecodeBoxDescriptor(std::string_view bytes) {
  Bytes b(bytes);
  BoxDescriptor d;
  d.number_text = b.Text(0, 9);
  d.name = b.Utf16(9, kBoxNameBytes);
  d.user = b.Text(73, 64);
  d.password = b.Text(585, 63);
  d.created = b.U32(716);
  d.modified = b.U32(720);
  d.accessed = b.U32(724);
  d.last_backup = b.U32(728);
  d.preservation = b.U16(732);
  d.preserve_days = int16_t(b.U16(734));
  d.notify = b.U16(736);
  d.email = b.Text(738, 261);
  return d;
}

std::string EncodeBoxDescriptor(const BoxDescriptor& d) {
  Writer w(kBoxDescriptorBytes);
  w.Text(0, 9, d.number_text);
  w.Utf16(9, kBoxNameBytes, d.name);
  w.Text(73, 64, d.user);
  w.Text(585, 64, d.password);
  w.U32(716, d.created);
  w.U32(720, d.modified);
  w.U32(724, d.accessed);
  w.U32(728, d.last_backup);
  w.U16(732, d.preservation);
  w.U16(734, uint16_t(d.preserve_days));
  w.U16(736, d.notify);
  w.Text(738, 262, d.email);
  return w.take();
}

namespace {

bool EndsWithXml(std::string_view name) {
  if (name.size() < 4) return false;
  std::string_view ext = name.substr(name.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 'x' && (ext[2] | 0x20) == 'm' &&
         (ext[3] | 0x20) == 'l';
}

}  // namespace

std::optional<uint32_t> DescriptorNumber(std::string_view name, char kind) {
  if (!EndsWithXml(name)) return std::nullopt;
  name.remove_suffix(4);
  if (name.size() < 8 || name[0] != kind || name.substr(1, 4) != "0000") return std::nullopt;
  std::string_view digits = name.substr(5);
  if (digits.size() > 9) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  return LeadingDecimal(digits);
}

std::optional<uint32_t> PageNumber(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < 3) return std::nullopt;
  std::string_view digits = name.substr(dot - 3, 3);
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  return LeadingDecimal(digits);
}

}  // namespace boxlink::legacy
