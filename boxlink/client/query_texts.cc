#include "boxlink/client/query_texts.h"

#include <type_traits>

#include "platform/text.h"

namespace boxlink {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool Unreserved(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '.' || c == '_' || c == '~';
}

template <typename Char>
std::basic_string<Char> Encoded(std::basic_string_view<Char> text) {
  std::basic_string<Char> out;
  out.reserve(text.size());
  for (Char ch : text) {
    auto c = static_cast<std::make_unsigned_t<Char>>(ch);
    if (c > 0x7F || Unreserved(c)) {
      out += ch;
      continue;
    }
    out += Char('%');
    out += Char(kHex[c >> 4]);
    out += Char(kHex[c & 15]);
  }
  return out;
}

std::string Sid(uint32_t sid) { return "SID=" + Padded(sid, 8); }

std::string Bno(uint32_t box) { return "&BNO=" + Padded(box, 3); }

std::string Fid(uint32_t folder) {
  return folder ? "&FID=F" + Padded(folder, 7) : std::string("&FID=");
}

std::string Did(uint32_t doc) {
  return doc ? "&DID=D" + Padded(doc, 7) : std::string("&DID=");
}

std::string Pwd(std::string_view password) {
  return "&PWD=" + QueryValue(password);
}

}  // namespace

std::string QueryValue(std::string_view text) { return Encoded(text); }

std::u16string QueryValue(std::u16string_view text) { return Encoded(text); }

std::string Padded(uint32_t value, int width) {
  std::string digits = std::to_string(value);
  if (digits.size() < static_cast<size_t>(width))
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return digits;
}

std::string EngineInfoQuery(uint32_t sid, const char* password,
                            bool restricted) {
  if (restricted) return Sid(sid);
  return Sid(sid) + Pwd(password ? password : "");
}

std::string BoxListQuery(uint32_t sid) { return Sid(sid); }

std::string BoxPropertyQuery(uint32_t sid, uint32_t box,
                             std::string_view password) {
  return Sid(sid) + Bno(box) + Pwd(password);
}

std::string FolderDocListQuery(uint32_t sid, uint32_t box,
                               std::string_view password, uint32_t folder,
                               bool restricted, std::string_view folder_id) {
  std::string q = Sid(sid) + Bno(box) + Pwd(password);
  if (restricted) return q + "&FID=" + QueryValue(folder_id);
  return q + Fid(folder);
}

std::string DiskSpaceQuery(uint32_t sid, std::string_view password,
                           bool restricted) {
  return restricted ? Sid(sid) : Sid(sid) + Pwd(password);
}

std::string UiJobQuery(uint32_t sid, std::string_view password, uint32_t mode,
                       bool restricted) {
  std::string q = restricted ? Sid(sid) : Sid(sid) + Pwd(password);
  return q + "&MOD=" + std::to_string(mode);
}

std::string SessionQuery(uint32_t sid, std::string_view password,
                         bool restricted) {
  return restricted ? Sid(sid) : Sid(sid) + Pwd(password);
}

std::string DeleteDocQuery(uint32_t sid, uint32_t box,
                           std::string_view password, uint32_t folder,
                           uint32_t doc) {
  return Sid(sid) + Bno(box) + Pwd(password) + Fid(folder) + Did(doc);
}

std::u16string DeleteDocQueryWide(uint32_t sid, uint32_t box,
                                  std::u16string_view password,
                                  std::u16string_view folder_id,
                                  std::u16string_view doc_id) {
  std::u16string q = platform::Utf8ToUtf16(Sid(sid) + Bno(box) + "&PWD=");
  q += QueryValue(password);
  q += u"&FID=";
  q += QueryValue(folder_id);
  q += u"&DID=";
  q += QueryValue(doc_id);
  return q;
}

std::string ClusterChangeQuery(uint32_t sid, uint32_t box,
                               std::string_view password, uint32_t folder,
                               uint32_t doc, uint32_t noc, uint32_t mod) {
  return Sid(sid) + Bno(box) + Pwd(password) + Fid(folder) + Did(doc) +
         "&NOC=" + std::to_string(noc) + "&MOD=" + std::to_string(mod);
}

std::string LastBackupDatesBody(uint32_t sid, std::string_view password,
                                bool restricted, uint32_t last_backup_date,
                                std::span<const uint32_t> boxes) {
  std::string body = restricted ? Sid(sid) : Sid(sid) + Pwd(password);
  body += "&LBD=" + std::to_string(last_backup_date);
  body += "&TNB=" + std::to_string(boxes.size());
  body += "&BNO=";
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (i) body += ',';
    body += Padded(boxes[i], 3);
  }
  return body;
}

std::string AuthenticateQuery(std::string_view password, bool encoded) {
  return "UID=Admin&PWD=" + QueryValue(password) + "&APL=ZELT&ENC=" +
         (encoded ? "1" : "0");
}

std::string ServiceStatusQuery() { return "APL=ZELT"; }

}  // namespace boxlink
