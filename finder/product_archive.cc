// The archive form of the product definition, little-endian throughout:
//
//   count      u16; 0xFFFF is followed by the real count as u32
//   plain text count of UTF-16 units, then the units (no terminator)
//   map text   0xFF, u16 0xFFFE, length (u8 below 0xFF; else 0xFF and u16;
//              0xFFFF there is followed by u32), then the UTF-16 units
//
//   plain "NEWDISC" (new form only), plain module type, plain language
//   library, plain second text,
//   generic ids: count, {map name, i32},
//   products: i32 n, {plain ID, i32 ModelType, i32 reserved, u8 Enabled,
//     u8 DefChecked, u8 Checked, u8 Found, i32 Priority, i32 Family,
//     plain Key, count + map texts DriverTypes, count + map texts
//     SupportedDriversResIDs, count {map name, i32} specific ids, and in the
//     new form count {map name, plain prefix, plain suffix, plain value}
//     find entries},
//   checks: count, {map name, map value}.
//
// Every length is checked against what is left before anything is taken,
// so a damaged file is refused without reading past its end or allocating
// more than its own size.
#include <fstream>
#include <iterator>

#include "finder/product_definition.h"
#include "platform/text.h"

namespace finder {
namespace {

constexpr char16_t kNewFormatMarker[] = u"NEWDISC";
constexpr uint16_t kWideCount = 0xFFFF;
constexpr uint8_t kMapTextLead = 0xFF;
constexpr uint16_t kUnicodeMarker = 0xFFFE;

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool U8(uint8_t* v) {
    if (left() < 1) return false;
    *v = static_cast<uint8_t>(bytes_[pos_++]);
    return true;
  }
  bool U16(uint16_t* v) {
    uint8_t lo, hi;
    if (!U8(&lo) || !U8(&hi)) return false;
    *v = static_cast<uint16_t>(lo | hi << 8);
    return true;
  }
  bool U32(uint32_t* v) {
    uint16_t lo, hi;
    if (!U16(&lo) || !U16(&hi)) return false;
    *v = lo | static_cast<uint32_t>(hi) << 16;
    return true;
  }
  bool I32(int32_t* v) {
    uint32_t u;
    if (!U32(&u)) return false;
    *v = static_cast<int32_t>(u);
    return true;
  }
  bool Flag(bool* v) {
    uint8_t b;
    if (!U8(&b)) return false;
    *v = b != 0;
    return true;
  }
  // A count of items that take at least min_item_bytes each.
  bool Count(uint32_t* n, size_t min_item_bytes) {
    uint16_t small;
    if (!U16(&small)) return false;
    *n = small;
    if (small == kWideCount && !U32(n)) return false;
    return Fits(*n, min_item_bytes);
  }
  bool Plain(std::string* out) {
    uint32_t units;
    return Count(&units, 2) && Units(units, out);
  }
  bool Map(std::string* out) {
    uint8_t lead;
    uint16_t marker;
    if (!U8(&lead) || lead != kMapTextLead || !U16(&marker) ||
        marker != kUnicodeMarker)
      return false;
    uint8_t small;
    if (!U8(&small)) return false;
    uint32_t units = small;
    if (small == 0xFF) {
      uint16_t mid;
      if (!U16(&mid)) return false;
      units = mid;
      if (mid == 0xFFFF && !U32(&units)) return false;
    }
    return Fits(units, 2) && Units(units, out);
  }
  bool Fits(uint64_t n, size_t item_bytes) const {
    return n * item_bytes <= left();
  }
  bool at_end() const { return left() == 0; }

 private:
  size_t left() const { return bytes_.size() - pos_; }
  // UTF-16 units to UTF-8; lone surrogates mark a damaged file.
  bool Units(uint32_t n, std::string* out) {
    std::u16string text(n, u'\0');
    for (uint32_t i = 0; i < n; ++i) {
      uint16_t u;
      if (!U16(&u)) return false;
      text[i] = static_cast<char16_t>(u);
    }
    for (size_t i = 0; i < text.size(); ++i) {
      char16_t c = text[i];
      if (c >= 0xD800 && c <= 0xDBFF) {
        if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
          return false;
        ++i;
      } else if (c >= 0xDC00 && c <= 0xDFFF) {
        return false;
      }
    }
    *out = platform::Utf16ToUtf8(text);
    return true;
  }

  std::string_view bytes_;
  size_t pos_ = 0;
};

class Writer {
 public:
  void U8(uint8_t v) { out_ += static_cast<char>(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Flag(bool v) { U8(v ? 1 : 0); }
  void Count(size_t n) {
    if (n < kWideCount) {
      U16(static_cast<uint16_t>(n));
    } else {
      U16(kWideCount);
      U32(static_cast<uint32_t>(n));
    }
  }
  void Plain(std::string_view utf8) {
    std::u16string text = platform::Utf8ToUtf16(utf8);
    Count(text.size());
    Units(text);
  }
  void Map(std::string_view utf8) {
    std::u16string text = platform::Utf8ToUtf16(utf8);
    U8(kMapTextLead);
    U16(kUnicodeMarker);
    if (text.size() < 0xFF) {
      U8(static_cast<uint8_t>(text.size()));
    } else {
      U8(0xFF);
      if (text.size() < 0xFFFF) {
        U16(static_cast<uint16_t>(text.size()));
      } else {
        U16(0xFFFF);
        U32(static_cast<uint32_t>(text.size()));
      }
    }
    Units(text);
  }
  std::string take() { return std::move(out_); }

 private:
  void Units(std::u16string_view text) {
    for (char16_t c : text) U16(static_cast<uint16_t>(c));
  }
  std::string out_;
};

// Smallest encodings, for the plausibility of counts: a map text takes 4
// bytes, an integer entry 8, a product 30.
constexpr size_t kMinMapText = 4;
constexpr size_t kMinIdEntry = kMinMapText + 4;
constexpr size_t kMinFindEntry = kMinMapText + 3 * 2;
constexpr size_t kMinProduct = 2 + 4 + 4 + 4 + 4 + 4 + 2 + 2 + 2 + 2;

bool ReadIds(Reader& r, CResIDs* ids) {
  uint32_t n;
  if (!r.Count(&n, kMinIdEntry)) return false;
  for (uint32_t i = 0; i < n; ++i) {
    std::string name;
    int32_t value;
    if (!r.Map(&name) || !r.I32(&value)) return false;
    ids->Set(std::move(name), value);
  }
  return true;
}

bool ReadTexts(Reader& r, std::vector<std::string>* texts) {
  uint32_t n;
  if (!r.Count(&n, kMinMapText)) return false;
  texts->reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    std::string t;
    if (!r.Map(&t)) return false;
    texts->push_back(std::move(t));
  }
  return true;
}

bool ReadProduct(Reader& r, bool new_format, COID* p) {
  if (!r.Plain(&p->id) || !r.I32(&p->model_type) || !r.I32(&p->reserved) ||
      !r.Flag(&p->enabled) || !r.Flag(&p->def_checked) ||
      !r.Flag(&p->checked) || !r.Flag(&p->found) || !r.I32(&p->priority) ||
      !r.I32(&p->family) || !r.Plain(&p->key) ||
      !ReadTexts(r, &p->driver_types) ||
      !ReadTexts(r, &p->supported_drivers_res_ids) ||
      !ReadIds(r, &p->specific))
    return false;
  if (!new_format) return true;
  uint32_t n;
  if (!r.Count(&n, kMinFindEntry)) return false;
  for (uint32_t i = 0; i < n; ++i) {
    std::string name;
    FindEntry f;
    if (!r.Map(&name) || !r.Plain(&f.prefix) || !r.Plain(&f.suffix) ||
        !r.Plain(&f.value))
      return false;
    p->specific.SetFind(std::move(name), std::move(f));
  }
  return true;
}

}  // namespace

bool CDiscoveryModule::ReadArchive(std::string_view bytes) {
  Clear();
  Reader r(bytes);
  std::string first;
  if (!r.Plain(&first)) return false;
  if (first == platform::Utf16ToUtf8(kNewFormatMarker)) {
    new_format_ = true;
    if (!r.Plain(&module_type_)) return false;
  } else {
    module_type_ = std::move(first);
  }
  if (!r.Plain(&language_library_) || !r.Plain(&second_text_) ||
      !ReadIds(r, &generic_))
    return false;
  int32_t count;
  if (!r.I32(&count) || count < 0 || !r.Fits(static_cast<uint32_t>(count), kMinProduct))
    return false;
  for (int32_t i = 0; i < count; ++i) {
    COID p;
    if (!ReadProduct(r, new_format_, &p)) return false;
    products_.Add(std::move(p));
  }
  uint32_t n;
  if (!r.Count(&n, 2 * kMinMapText)) return false;
  for (uint32_t i = 0; i < n; ++i) {
    std::string name, value;
    if (!r.Map(&name) || !r.Map(&value)) return false;
    checks_.Set(std::move(name), std::move(value));
  }
  return true;
}

std::string CDiscoveryModule::StoreArchive() const {
  Writer w;
  if (new_format_) w.Plain(platform::Utf16ToUtf8(kNewFormatMarker));
  w.Plain(module_type_);
  w.Plain(language_library_);
  w.Plain(second_text_);
  auto ids = [&w](const CResIDs& r) {
    w.Count(r.ids().size());
    for (const auto& [name, value] : r.ids()) {
      w.Map(name);
      w.I32(value);
    }
  };
  ids(generic_);
  w.I32(static_cast<int32_t>(products_.count()));
  for (const auto& [key, p] : products_) {
    w.Plain(p.id);
    w.I32(p.model_type);
    w.I32(p.reserved);
    w.Flag(p.enabled);
    w.Flag(p.def_checked);
    w.Flag(p.checked);
    w.Flag(p.found);
    w.I32(p.priority);
    w.I32(p.family);
    w.Plain(p.key);
    for (const auto* list : {&p.driver_types, &p.supported_drivers_res_ids}) {
      w.Count(list->size());
      for (const std::string& t : *list) w.Map(t);
    }
    ids(p.specific);
    if (new_format_) {
      w.Count(p.specific.finds().size());
      for (const auto& [name, f] : p.specific.finds()) {
        w.Map(name);
        w.Plain(f.prefix);
        w.Plain(f.suffix);
        w.Plain(f.value);
      }
    }
  }
  w.Count(checks_.values().size());
  for (const auto& [name, value] : checks_.values()) {
    w.Map(name);
    w.Map(value);
  }
  return w.take();
}

bool CDiscoveryModule::LoadArchive(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Clear();
    return false;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)),
                    std::istreambuf_iterator<char>());
  if (in.bad()) {
    Clear();
    return false;
  }
  return ReadArchive(bytes);
}

bool CDiscoveryModule::SaveArchive(const std::string& path) const {
  std::string bytes = StoreArchive();
  std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
      return false;
    out.close();
    if (!out) return false;
  }
  return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace finder
