// setup's fuzz targets in every build: their seeds and a fixed number of
// mutations of them (a libFuzzer build runs them without limits).
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace setup::fuzz {
int StringsFileInput(const uint8_t* data, size_t size);
int CommandLineInput(const uint8_t* data, size_t size);
}  // namespace setup::fuzz

namespace {

constexpr int kMutations = 50000;

std::string Mutate(std::string s, std::mt19937& rng) {
  auto at = [&](size_t n) {
    return std::uniform_int_distribution<size_t>(0, n)(rng);
  };
  static const char* kTokens[] = {"/w", "/S", "/v\"", "\\\"", "\"", " ",
                                  "DELETEMESS", "[", "]", "=", "\n",
                                  "\xFF\xFE", "\xC3", "1031", "1033"};
  switch (at(4)) {
    case 0:
      if (!s.empty()) s[at(s.size() - 1)] ^= static_cast<char>(1u << at(7));
      break;
    case 1:
      s.resize(at(s.size()));
      break;
    case 2:
      s.insert(at(s.size()), kTokens[at(std::size(kTokens) - 1)]);
      break;
    case 3:
      s.insert(at(s.size()), std::string(at(40), static_cast<char>(rng())));
      break;
    default:
      if (!s.empty()) s.erase(at(s.size() - 1), at(8));
  }
  return s;
}

void RunTarget(int (*target)(const uint8_t*, size_t),
         const std::vector<std::string>& seeds) {
  std::mt19937 rng(25);
  for (const std::string& s : seeds)
    target(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  for (int i = 0; i < kMutations; ++i) {
    std::string s = seeds[i % seeds.size()];
    for (int n = 1 + i % 4; n > 0; --n) s = Mutate(std::move(s), rng);
    target(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  }
}

std::string Shipped(const char* folder) {
  std::ifstream in(std::string(ZELT_SOURCE_DIR) + "/setup/STRINGS/" + folder +
                       "/COMM_BR.ini",
                   std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(SetupFuzzTest, StringsFiles) {
  std::vector<std::string> seeds = {Shipped("ENG"), Shipped("GER"), "",
                                    "[Strings]\n1130=\"" + std::string(300, 'x')};
  ASSERT_FALSE(seeds[0].empty());
  RunTarget(setup::fuzz::StringsFileInput, seeds);
}

TEST(SetupFuzzTest, CommandLines) {
  RunTarget(setup::fuzz::CommandLineInput,
      {"/w /L1031", "/w /L1033", "/w /L1041 /S /v\"/qn A=\\\"x y\\\"\"",
       "/w /L1033 DELETEMESS /S /v\"\"", "/w /L1031 /S /v\" A=\\\"x\""});
}

}  // namespace
