#include "devsim/web/cgi_table.h"

#include <mutex>

#include "devsim/core/device.h"
#include "devsim/web/web_service.h"

namespace devsim::web {
namespace {

struct Table {
  std::mutex mu;
  std::map<std::string, CgiEntry, std::less<>> by_path;
};

Table& GetTable() {
  static Table table;
  return table;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Decode(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    int hi, lo;
    if (s[i] == '%' && i + 2 < s.size() &&
        (hi = HexValue(s[i + 1])) >= 0 && (lo = HexValue(s[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (s[i] == '+') {
      out += ' ';  // form encoding, as every web server's CGI decodes it
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

void RegisterCgi(CgiEntry entry) {
  Table& t = GetTable();
  std::lock_guard<std::mutex> g(t.mu);
  std::string path = entry.path;
  t.by_path[path] = std::move(entry);
}

const CgiEntry* FindCgi(std::string_view path) {
  Table& t = GetTable();
  std::lock_guard<std::mutex> g(t.mu);
  auto it = t.by_path.find(path);
  return it == t.by_path.end() ? nullptr : &it->second;
}

std::vector<std::string> RegisteredCgiPaths() {
  Table& t = GetTable();
  std::lock_guard<std::mutex> g(t.mu);
  std::vector<std::string> out;
  for (const auto& [path, entry] : t.by_path) out.push_back(path);
  return out;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::multimap<std::string, std::string> ParseParams(std::string_view text) {
  std::multimap<std::string, std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view pair = text.substr(start, end - start);
    if (!pair.empty()) {
      size_t eq = pair.find('=');
      out.emplace(Decode(pair.substr(0, eq)),
                  eq == std::string_view::npos ? "" : Decode(pair.substr(eq + 1)));
    }
    start = end + 1;
  }
  return out;
}

std::string CgiContext::Param(std::string_view key, bool* found) const {
  auto it = params.find(std::string(key));
  if (found) *found = it != params.end();
  return it == params.end() ? "" : it->second;
}

bool CgiContext::Has(std::string_view key) const { return params.count(std::string(key)) > 0; }

uint32_t CgiContext::Sid() const {
  return static_cast<uint32_t>(std::strtoul(Param("SID").c_str(), nullptr, 10));
}

bool CgiContext::SessionValid() const { return Has("SID") && web.SessionOpen(Sid()); }

CgiAnswer CgiContext::Reply(int result, std::string_view message_xml) const {
  CgiAnswer a;
  a.body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BoxNwLib><Header><Version>" +
           XmlEscape(device.profile().engine_version) + "</Version></Header><Message><Result>" +
           std::to_string(result) + "</Result>" + std::string(message_xml) +
           "</Message></BoxNwLib>\n";
  return a;
}

}  // namespace devsim::web
