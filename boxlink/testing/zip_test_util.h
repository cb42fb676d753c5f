// Helpers shared by the zip tests.
#pragma once

#include <cstdlib>
#include <random>
#include <string>

namespace boxlink::ziptest {

inline int Sh(const std::string& cmd) {
  int rc = std::system((cmd + " >/dev/null 2>&1").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

inline std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = char(gen());
  return s;
}

// Text-like content that deflate can shrink.
inline std::string TextBytes(size_t n, uint32_t seed) {
  static const char* words[] = {"box ", "folder ", "document ", "page ",
                                "scan\r\n", "0001 ", "property "};
  std::mt19937 gen(seed);
  std::string s;
  while (s.size() < n) s += words[gen() % 7];
  s.resize(n);
  return s;
}

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace boxlink::ziptest
