#include "boxlink/client/reply.h"

#include <iconv.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "boxlink/base/box_error.h"
#include "platform/env.h"
#include "platform/last_error.h"
#include "platform/text.h"

namespace boxlink {
namespace {

constexpr uint32_t kBadFormat = 11;

// The encoding named by an XML declaration at the start of an
// ASCII-compatible document, or "" when there is none.
std::string DeclaredEncoding(std::string_view bytes) {
  if (!bytes.starts_with("<?xml")) return {};
  size_t end = bytes.find("?>");
  std::string_view decl = bytes.substr(0, end);
  size_t pos = decl.find("encoding");
  if (pos == std::string_view::npos) return {};
  pos = decl.find_first_of("\"'", pos);
  if (pos == std::string_view::npos) return {};
  size_t close = decl.find(decl[pos], pos + 1);
  if (close == std::string_view::npos) return {};
  return std::string(decl.substr(pos + 1, close - pos - 1));
}

bool IsUtf8Name(std::string_view e) {
  return e.empty() || platform::EqualsIgnoreCase(e, "UTF-8") ||
         platform::EqualsIgnoreCase(e, "UTF8") ||
         platform::EqualsIgnoreCase(e, "US-ASCII") ||
         platform::EqualsIgnoreCase(e, "ASCII");
}

// Strict conversion between character sets; false when iconv does not know
// one of them or the bytes are not valid.
bool Recode(std::string_view bytes, const char* from, const char* to,
            std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->clear();
  char buf[8192];
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  bool ok = true;
  while (in_left > 0) {
    char* o = buf;
    size_t o_left = sizeof buf;
    size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    out->append(buf, o - buf);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
  }
  iconv_close(cd);
  return ok;
}

// A well-formed document has exactly one root element and no text outside
// it. pugixml accepts fragments, so this is checked here.
bool IsSingleRootDocument(const pugi::xml_document& doc) {
  int elements = 0;
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    switch (n.type()) {
      case pugi::node_element:
        ++elements;
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata: {
        std::string_view v = n.value();
        if (v.find_first_not_of(" \t\r\n") != std::string_view::npos)
          return false;
        break;
      }
      default:
        break;
    }
  }
  return elements == 1;
}

bool IsSimpleName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) || c == '_' || c == '-' || c == '.' || u >= 0x80))
      return false;
  }
  return true;
}

void AppendText(const pugi::xml_node& node, std::string& out) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
      out += c.value();
    else if (c.type() == pugi::node_element)
      AppendText(c, out);
  }
}

void CopyCodePage(std::string_view utf8, char* out, size_t capacity) {
  platform::CopyBounded(out, capacity, platform::Utf8ToCodePage(utf8));
}

std::string ChildPath(std::string_view parent, std::string_view child) {
  std::string p(parent);
  p += '/';
  p += child;
  return p;
}

// Fragment mode keeps text outside the root element, so that the single
// root check below can refuse it.
const unsigned kParseFlags =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_fragment;

}  // namespace

std::unique_ptr<ReplyDocument> ReplyDocument::Parse(std::string_view bytes,
                                                    unsigned flags) {
  std::unique_ptr<ReplyDocument> doc(new ReplyDocument);
  auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  std::string converted;
  std::string_view input = bytes;
  pugi::xml_encoding encoding = pugi::encoding_auto;
  if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    doc->source_bom_ = true, doc->source_encoding_ = "UTF-16LE";
  } else if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    doc->source_bom_ = true, doc->source_encoding_ = "UTF-16BE";
  } else {
    doc->source_bom_ = bytes.starts_with("\xEF\xBB\xBF");
    // pugixml reads UTF-8 and UTF-16 itself; any other declared character
    // set is converted first, so that the declaration decides as it should.
    std::string declared = DeclaredEncoding(bytes);
    if (!IsUtf8Name(declared) && !platform::EqualsIgnoreCase(
                                     declared.substr(0, 6), "UTF-16")) {
      if (!Recode(bytes, declared.c_str(), "UTF-8", &converted)) {
        platform::SetLastError(kBadFormat);
        return nullptr;
      }
      input = converted;
      encoding = pugi::encoding_utf8;
      doc->source_encoding_ = declared;
    }
  }
  pugi::xml_parse_result r =
      doc->doc_.load_buffer(input.data(), input.size(), flags, encoding);
  if (!r || !IsSingleRootDocument(doc->doc_)) {
    platform::SetLastError(kBadFormat);
    return nullptr;
  }
  return doc;
}

std::unique_ptr<ReplyDocument> ReplyDocument::Load(std::string_view bytes) {
  return Parse(bytes, kParseFlags);
}

std::unique_ptr<ReplyDocument> ReplyDocument::LoadFile(
    const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    platform::SetLastError(kBadFormat);
    return nullptr;
  }
  std::stringstream ss;
  ss << f.rdbuf();
  // Files keep their layout when saved back: white space stays as it is.
  // Line ends stay as they are too.
  return Parse(ss.str(),
               (kParseFlags | pugi::parse_ws_pcdata) & ~pugi::parse_eol);
}

bool ReplyDocument::SaveToFile(const std::string& path) const {
  std::ostringstream ss;
  unsigned flags = pugi::format_raw | pugi::format_no_declaration;
  pugi::xml_encoding enc = pugi::encoding_utf8;
  bool recode = false;
  if (source_encoding_ == "UTF-16LE") {
    enc = pugi::encoding_utf16_le;
  } else if (source_encoding_ == "UTF-16BE") {
    enc = pugi::encoding_utf16_be;
  } else if (!IsUtf8Name(source_encoding_)) {
    recode = true;
  }
  if (source_bom_) flags |= pugi::format_write_bom;
  // The declaration node parsed from the file is written back as it was.
  doc_.save(ss, "", flags, enc);
  std::string bytes = ss.str();
  if (recode) {
    std::string out;
    if (!Recode(bytes, "UTF-8", source_encoding_.c_str(), &out)) return false;
    bytes = std::move(out);
  }
  std::string tmp = path + ".~zb";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    f.close();
    if (!f) {
      std::remove(tmp.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

pugi::xpath_node ReplyDocument::Select(std::string_view path) const {
  if (path.empty()) return {};
  try {
    return doc_.select_node(std::string(path).c_str());
  } catch (const pugi::xpath_exception&) {
    return {};
  }
}

const std::vector<pugi::xml_node>& ReplyDocument::SelectList(
    std::string_view path) {
  auto it = lists_.find(path);
  if (it != lists_.end()) return it->second;
  std::vector<pugi::xml_node> nodes;
  try {
    for (const pugi::xpath_node& n :
         doc_.select_nodes(std::string(path).c_str()))
      if (n.node()) nodes.push_back(n.node());
  } catch (const pugi::xpath_exception&) {
    nodes.clear();
  }
  return lists_.emplace(std::string(path), std::move(nodes)).first->second;
}

std::optional<std::string> ReplyDocument::Text(std::string_view path) const {
  pugi::xpath_node n = Select(path);
  if (!n) return std::nullopt;
  return NodeText(n);
}

std::optional<std::string> ReplyDocument::Attribute(
    std::string_view path, std::string_view name) const {
  pugi::xml_node n = Select(path).node();
  if (!n) return std::nullopt;
  pugi::xml_attribute a = n.attribute(std::string(name).c_str());
  if (!a) return std::nullopt;
  return std::string(a.value());
}

pugi::xml_node ReplyDocument::ItemChild(std::string_view item_path,
                                        size_t index,
                                        std::string_view child) {
  const auto& items = SelectList(item_path);
  if (index >= items.size()) return {};
  const pugi::xml_node& item = items[index];
  if (IsSimpleName(child)) return item.child(std::string(child).c_str());
  try {
    return item.select_node(std::string(child).c_str()).node();
  } catch (const pugi::xpath_exception&) {
    return {};
  }
}

pugi::xml_attribute ReplyDocument::ItemAttribute(std::string_view item_path,
                                                 size_t index,
                                                 std::string_view name) {
  const auto& items = SelectList(item_path);
  if (index >= items.size()) return {};
  return items[index].attribute(std::string(name).c_str());
}

std::string NodeText(const pugi::xml_node& node) {
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
    return node.value();
  std::string out;
  AppendText(node, out);
  return out;
}

std::string NodeText(const pugi::xpath_node& node) {
  if (node.attribute()) return node.attribute().value();
  return NodeText(node.node());
}

int32_t ParseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() &&
         (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  int64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<int64_t>(INT32_MAX) + 1) break;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

uint32_t GetNodeText(const ReplyDocument& doc, std::string_view path,
                     char* out, size_t capacity) {
  auto text = doc.Text(path);
  if (!text) return kBadFormat;
  CopyCodePage(*text, out, capacity);
  return 0;
}

uint32_t GetChildText(const ReplyDocument& doc, std::string_view parent,
                      std::string_view child, char* out, size_t capacity) {
  return GetNodeText(doc, ChildPath(parent, child), out, capacity);
}

uint32_t GetNodeAttribute(const ReplyDocument& doc, std::string_view path,
                          std::string_view name, char* out, size_t capacity) {
  auto value = doc.Attribute(path, name);
  if (!value) return kBadFormat;
  CopyCodePage(*value, out, capacity);
  return 0;
}

int32_t GetChildNumber(const ReplyDocument& doc, std::string_view parent,
                       std::string_view child) {
  auto text = doc.Text(ChildPath(parent, child));
  if (!text) Raise(kBadFormat);
  return ParseDecimal(*text);
}

void GetChildTime(const ReplyDocument& doc, std::string_view parent,
                  std::string_view child, platform::SystemTime* out,
                  bool local) {
  *out = ReplySecondsToTime(GetChildNumber(doc, parent, child), local);
}

int32_t GetNodeAttributeNumber(const ReplyDocument& doc, std::string_view path,
                               std::string_view name) {
  auto value = doc.Attribute(path, name);
  if (!value) Raise(kBadFormat);
  return ParseDecimal(*value);
}

void GetItemChildText(ReplyDocument& doc, std::string_view item_path,
                      size_t index, std::string_view child, char* out,
                      size_t capacity) {
  pugi::xml_node n = doc.ItemChild(item_path, index, child);
  if (!n) Raise(kBadFormat);
  platform::CopyBounded(out, capacity, NodeText(n));
}

int32_t GetItemChildNumber(ReplyDocument& doc, std::string_view item_path,
                           size_t index, std::string_view child) {
  pugi::xml_node n = doc.ItemChild(item_path, index, child);
  if (!n) Raise(kBadFormat);
  return ParseDecimal(NodeText(n));
}

void GetItemChildWideText(ReplyDocument& doc, std::string_view item_path,
                          size_t index, std::string_view child, char16_t* out,
                          size_t capacity) {
  pugi::xml_node n = doc.ItemChild(item_path, index, child);
  if (!n) Raise(kBadFormat);
  platform::CopyBounded(out, capacity, platform::Utf8ToUtf16(NodeText(n)));
}

void GetItemChildTime(ReplyDocument& doc, std::string_view item_path,
                      size_t index, std::string_view child,
                      platform::SystemTime* out, bool local) {
  *out = ReplySecondsToTime(GetItemChildNumber(doc, item_path, index, child),
                            local);
}

void GetItemAttribute(ReplyDocument& doc, std::string_view item_path,
                      size_t index, std::string_view name, char* out,
                      size_t capacity) {
  pugi::xml_attribute a = doc.ItemAttribute(item_path, index, name);
  if (!a) Raise(kBadFormat);
  CopyCodePage(a.value(), out, capacity);
}

int32_t GetItemAttributeNumber(ReplyDocument& doc, std::string_view item_path,
                               size_t index, std::string_view name) {
  pugi::xml_attribute a = doc.ItemAttribute(item_path, index, name);
  if (!a) Raise(kBadFormat);
  return ParseDecimal(a.value());
}

namespace {

// Replaces an element's content with one text node, or an attribute's
// value; false when the node cannot take it.
bool PutText(const pugi::xpath_node& n, const std::string& utf8) {
  if (pugi::xml_attribute a = n.attribute()) return a.set_value(utf8.c_str());
  pugi::xml_node node = n.node();
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
    return node.set_value(utf8.c_str());
  if (node.type() != pugi::node_element) return false;
  while (node.first_child()) node.remove_child(node.first_child());
  if (utf8.empty()) return true;
  return node.append_child(pugi::node_pcdata).set_value(utf8.c_str());
}

}  // namespace

uint32_t FileNodeText(const std::string& file, std::string_view path,
                      std::u16string_view new_text, int mode, char16_t* out,
                      size_t capacity) {
  auto doc = ReplyDocument::LoadFile(file);
  if (!doc) {
    platform::SetLastError(kBadFormat);
    return kBadFormat;
  }
  pugi::xpath_node n = doc->Select(path);
  if (!n) {
    platform::SetLastError(kBadFormat);
    return kBadFormat;
  }
  if (mode == 1) {
    platform::CopyBounded(out, capacity, platform::Utf8ToUtf16(NodeText(n)));
    return 0;
  }
  if (!PutText(n, platform::Utf16ToUtf8(new_text)) ||
      !doc->SaveToFile(file)) {
    platform::SetLastError(kBadFormat);
    return kBadFormat;
  }
  return 0;
}

uint32_t SetNodeText(ReplyDocument& doc, std::string_view path,
                     std::string_view value) {
  pugi::xpath_node n = doc.Select(path);
  if (!n) return kBadFormat;
  std::string utf8 = platform::CodePageToUtf8(value);
  if (!PutText(n, utf8)) return kBadFormat;
  return NodeText(doc.Select(path)) == utf8 ? 0 : kBadFormat;
}

platform::SystemTime ReplySecondsToTime(int32_t seconds, bool local) {
  platform::SystemTime t = platform::SystemTimeFromUnix(seconds);
  if (local && seconds != 0) UtcToLocalTime(&t, true);
  return t;
}

void UtcToLocalTime(platform::SystemTime* time, bool daylight) {
  platform::Env* env = platform::Env::Current();
  platform::TimeZoneInfo tz;
  bool have_zone = env->GetTimeZoneInfo(&tz);
  platform::SystemTime local{};
  if (!platform::UtcToLocal(*time, &local)) return;
  if (have_zone && !daylight) {
    int64_t secs = 0;
    if (!platform::SystemTimeToUnix(local, &secs)) return;
    local = platform::SystemTimeFromUnix(
        secs + static_cast<int64_t>(tz.daylight_bias_minutes) * 60,
        local.milliseconds);
  }
  *time = local;
}

}  // namespace boxlink
