#include "platform/registry_format.h"

#include <cstdio>

#include "platform/text.h"

namespace platform {
namespace {

std::string Escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// Reads a quoted string starting at s[i] == '"'; i ends after the closing
// quote. False when the string is not closed.
bool ReadQuoted(std::string_view s, size_t& i, std::string* out) {
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  out->clear();
  while (i < s.size()) {
    char c = s[i++];
    if (c == '"') return true;
    if (c == '\\' && i < s.size()) {
      char e = s[i++];
      *out += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    } else {
      *out += c;
    }
  }
  return false;
}

bool ParseValue(std::string_view text, RegValue* v) {
  if (text.starts_with("\"")) {
    size_t i = 0;
    std::string s;
    if (!ReadQuoted(text, i, &s)) return false;
    *v = RegValue::String(s);
    return true;
  }
  if (text.starts_with("dword:")) {
    std::string hex(text.substr(6));
    if (hex.empty() || hex.size() > 8) return false;
    char* end = nullptr;
    unsigned long d = std::strtoul(hex.c_str(), &end, 16);
    if (*end) return false;
    *v = RegValue::Dword(static_cast<uint32_t>(d));
    return true;
  }
  if (text.starts_with("hex:")) {
    std::vector<uint8_t> bytes;
    std::string_view rest = text.substr(4);
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      std::string byte(rest.substr(0, comma));
      char* end = nullptr;
      unsigned long b = std::strtoul(byte.c_str(), &end, 16);
      if (byte.empty() || *end || b > 0xFF) return false;
      bytes.push_back(static_cast<uint8_t>(b));
      if (comma == std::string_view::npos) break;
      rest = rest.substr(comma + 1);
    }
    *v = RegValue::Binary(std::move(bytes));
    return true;
  }
  return false;
}

void FormatNode(const RegNode& node, const std::string& path,
                std::string& out) {
  if (!path.empty()) {
    out += "[" + path + "]\n";
    for (const auto& [lower, named] : node.values) {
      const auto& [name, v] = named;
      out += name.empty() ? "@" : "\"" + Escape(name) + "\"";
      out += "=";
      switch (v.type) {
        case RegType::kString:
          out += "\"" + Escape(v.text) + "\"";
          break;
        case RegType::kDword: {
          char buf[16];
          std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
          out += buf;
          break;
        }
        case RegType::kBinary: {
          out += "hex:";
          for (size_t i = 0; i < v.bytes.size(); ++i) {
            char buf[4];
            std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", v.bytes[i]);
            out += buf;
          }
          break;
        }
      }
      out += "\n";
    }
    out += "\n";
  }
  for (const auto& [lower, child] : node.children)
    FormatNode(child, path.empty() ? child.name : path + "\\" + child.name,
               out);
}

}  // namespace

const RegNode* FindNode(const RegNode& root,
                        const std::vector<std::string>& path) {
  const RegNode* n = &root;
  for (const auto& part : path) {
    auto it = n->children.find(ToLowerAscii(part));
    if (it == n->children.end()) return nullptr;
    n = &it->second;
  }
  return n;
}

RegNode* FindNode(RegNode& root, const std::vector<std::string>& path) {
  return const_cast<RegNode*>(
      FindNode(static_cast<const RegNode&>(root), path));
}

RegNode& MakeNode(RegNode& root, const std::vector<std::string>& path) {
  RegNode* n = &root;
  for (const auto& part : path) {
    RegNode& child = n->children[ToLowerAscii(part)];
    if (child.name.empty()) child.name = part;
    n = &child;
  }
  return *n;
}

void ParseRegistryText(std::string_view text, std::string_view root_name,
                       RegNode* root) {
  RegNode* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.back() != ']') continue;
      std::string_view path = line.substr(1, line.size() - 2);
      auto parts = SplitKeyPath(path);
      if (parts.empty() || !EqualsIgnoreCase(parts[0], root_name)) continue;
      parts.erase(parts.begin());
      current = &MakeNode(*root, parts);
      continue;
    }
    if (!current) continue;
    std::string name;
    size_t i = 0;
    if (line[0] == '@') {
      i = 1;
    } else if (!ReadQuoted(line, i, &name)) {
      continue;
    }
    if (i >= line.size() || line[i] != '=') continue;
    RegValue v;
    if (!ParseValue(line.substr(i + 1), &v)) continue;
    current->values[ToLowerAscii(name)] = {name, v};
  }
}

std::string FormatRegistryText(const RegNode& root,
                               std::string_view root_name) {
  std::string out;
  if (!root_name.empty()) {
    out += "; registry root " + std::string(root_name) +
           ", rewritten whole by every change\n\n";
  }
  FormatNode(root, std::string(root_name), out);
  return out;
}

}  // namespace platform
