#include "desktop/format.h"

#include <cstdio>

namespace desktop {
namespace {

constexpr std::string_view kFlags = "-0 +#";
constexpr std::string_view kConversions = "diuxXsc";

// Length of the directive that starts at format[i] == '%', or 0 when it is
// not a complete one.
size_t DirectiveLength(std::string_view format, size_t i) {
  size_t j = i + 1;
  while (j < format.size() && kFlags.find(format[j]) != std::string_view::npos)
    ++j;
  while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
  if (j < format.size() && format[j] == '.') {
    ++j;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
  }
  // Length modifiers that C code writes ("%ld", "%lu") take the same kind.
  while (j < format.size() && (format[j] == 'l' || format[j] == 'h')) ++j;
  if (j >= format.size() ||
      kConversions.find(format[j]) == std::string_view::npos)
    return 0;
  return j - i + 1;
}

std::string Apply(std::string_view directive, const FormatArg& arg) {
  // Rebuild the directive without length modifiers, for snprintf.
  std::string spec;
  for (char c : directive)
    if (c != 'l' && c != 'h') spec += c;
  char conv = spec.back();
  char buf[512];
  if (conv == 's') {
    std::string text = std::holds_alternative<std::string>(arg)
                           ? std::get<std::string>(arg)
                           : std::to_string(std::get<int64_t>(arg));
    int n = std::snprintf(nullptr, 0, spec.c_str(), text.c_str());
    if (n < 0) return text;
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), spec.c_str(), text.c_str());
    out.resize(static_cast<size_t>(n));
    return out;
  }
  long long value = 0;
  if (std::holds_alternative<int64_t>(arg)) {
    value = std::get<int64_t>(arg);
  } else {
    value = std::strtoll(std::get<std::string>(arg).c_str(), nullptr, 10);
  }
  if (conv == 'c') return std::string(1, static_cast<char>(value));
  spec.insert(spec.size() - 1, "ll");
  if (conv == 'u' || conv == 'x' || conv == 'X')
    std::snprintf(buf, sizeof buf, spec.c_str(),
                  static_cast<unsigned long long>(value));
  else
    std::snprintf(buf, sizeof buf, spec.c_str(), value);
  return buf;
}

}  // namespace

std::vector<std::string> Placeholders(std::string_view format) {
  std::vector<std::string> out;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (i + 1 < format.size() && format[i + 1] == '%') {
      ++i;
      continue;
    }
    if (size_t n = DirectiveLength(format, i)) {
      out.emplace_back(format.substr(i, n));
      i += n - 1;
    }
  }
  return out;
}

std::string FormatText(std::string_view format,
                       const std::vector<FormatArg>& args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t n = DirectiveLength(format, i);
    if (n == 0 || next >= args.size()) {
      out += '%';
      continue;
    }
    out += Apply(format.substr(i, n), args[next++]);
    i += n - 1;
  }
  return out;
}

}  // namespace desktop
