// The conversion's fuzz targets, run in every build for a short while: the
// seeds (valid descriptors from the fixture generator's encoders, the
// shipped rule files) and a fixed number of mutations of them. A libFuzzer
// build (scripts/fuzz) runs the same targets without limits.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "boxlink/convert/legacy_layout.h"
#include "platform/testing/temp_dir.h"
#include "standins/boxendian/image_index.h"

namespace boxlink::fuzz {
int LegacyDescriptorInput(const uint8_t* data, size_t size);
int RuleFileInput(const uint8_t* data, size_t size);
}  // namespace boxlink::fuzz

namespace boxlink {
namespace {

constexpr int kMutations = 100000;

std::string Mutate(std::string s, std::mt19937& rng) {
  std::uniform_int_distribution<int> kind(0, 5);
  auto at = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n)(rng); };
  switch (kind(rng)) {
    case 0:
      if (!s.empty()) s[at(s.size() - 1)] ^= char(1u << at(7));
      break;
    case 1:
      s.resize(at(s.size()));
      break;
    case 2:
      s.insert(at(s.size()), std::string(at(16), char(rng())));
      break;
    case 3:
      if (!s.empty()) s[at(s.size() - 1)] = char(rng());
      break;
    case 4: {
      static const char* kTokens[] = {"[", "]", "=", "\n", "\r\n", ";", "0x", "-", "|", ",",
                                      "\xFF\xFE", "\0"};
      s.insert(at(s.size()), kTokens[at(11)]);
      break;
    }
    default:
      if (s.size() > 2) {
        size_t a = at(s.size() - 1), b = at(s.size() - 1);
        std::swap(s[a], s[b]);
      }
  }
  return s;
}

void RunTarget(int (*target)(const uint8_t*, size_t), const std::vector<std::string>& seeds) {
  std::mt19937 rng(20261211);
  for (const std::string& s : seeds)
    target(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  for (int i = 0; i < kMutations; ++i) {
    std::string input = seeds[size_t(i) % seeds.size()];
    for (int k = 1 + int(rng() % 4); k > 0; --k) input = Mutate(input, rng);
    target(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
}

TEST(ConvertFuzzReplayTest, LegacyDescriptorReaderSurvivesMutations) {
  legacy::Descriptor d;
  d.number = 5;
  d.name = u"Invoice \u00e9";
  d.job_source = legacy::kSourceCopy | legacy::kSourceScan;
  d.paper_flags = legacy::kPaperA3Wide | 4;
  d.colour_flags = legacy::kColourFull | 4;
  d.pages = 3;
  d.data_size = 9000;
  legacy::PageDescriptor p;
  p.number = 1;
  p.paper_size = 0x800000;
  legacy::BoxDescriptor b;
  b.number_text = "7";
  b.name = u"Box";
  b.password = "secret";
  b.email = "a@b.test";
  legacy::JobFile j;
  j.job_type = 2;
  RunTarget(fuzz::LegacyDescriptorInput,
      {legacy::EncodeDescriptor(d, false), legacy::EncodeDescriptor(d, true),
       legacy::EncodePageDescriptor(p), legacy::EncodeBoxDescriptor(b), legacy::EncodeJobFile(j),
       zelt::endian::EncodeImageIndex({zelt::endian::ByteOrder::kLittle, {{1, 2}, {2, 3}}}),
       "D0000123.XML", "PAGE001.TJP", ""});
}

TEST(ConvertFuzzReplayTest, RuleFileReaderSurvivesMutations) {
  std::vector<std::string> seeds;
  for (const auto& e : std::filesystem::directory_iterator(CONFIG_DIR))
    seeds.push_back(platform::ReadTestFile(e.path().string()));
  ASSERT_GE(seeds.size(), 4u);
  seeds.push_back("[A]\nx=0x7fffffff\ny=-99999999999\n[B\nz\n");
  RunTarget(fuzz::RuleFileInput, seeds);
}

}  // namespace
}  // namespace boxlink
