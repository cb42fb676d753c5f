#include "boxlink/engine/encrypt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"
#include "standins/cryptocore/crypto_core.h"

namespace boxlink {
namespace {

namespace fs = std::filesystem;

std::string Random(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = char(gen());
  return s;
}

class EncryptTest : public ::testing::Test {
 protected:
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  platform::ScopedTempDir dir_;
  std::string in_ = dir_.Sub("plain"), enc_ = dir_.Sub("sealed"),
              out_ = dir_.Sub("back");

  static void Configure(CEncrypt& e, bool with_hash = true) {
    e.SetEncryptDllName(CIPHERLIB_SO);
    if (with_hash) e.SetHashDllName(DIGESTLIB_SO);
  }

  // Decrypts one chunk with a given key, as a reader of the format would.
  std::optional<std::string> OpenChunk(const std::string& chunk,
                                       const uint8_t key[16]) {
    std::string out(chunk.size(), '\0');
    auto n = zelt::crypto::CbcDecrypt(
        {reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size()},
        reinterpret_cast<uint8_t*>(out.data()), key);
    if (!n) return std::nullopt;
    out.resize(*n);
    return out;
  }
};

TEST_F(EncryptTest, ChunkBoundariesAndRoundTrips) {
  constexpr size_t kChunk = ENC_AES128_NORMAL_BUFF_SIZE;
  struct Case {
    size_t plain, sealed;
  } cases[] = {{0, 0},
               {1, 16},
               {16, 32},
               {kChunk - 1, kChunk + 1},
               {kChunk, 1048576},
               {kChunk + 1, 1048576 + 16},
               {2 * kChunk, 2 * 1048576},
               {2 * kChunk + 100, 2 * 1048576 + 112}};
  CEncrypt e;
  Configure(e);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plain);
    std::string plain = Random(c.plain, uint32_t(c.plain));
    platform::WriteTestFile(in_, plain);
    ASSERT_EQ(e.fnEncryptFile(in_.c_str(), enc_.c_str(), kArchivePassword), 0u);
    EXPECT_EQ(fs::file_size(enc_), c.sealed);
    ASSERT_EQ(e.fnDecryptFile(enc_.c_str(), out_.c_str(), kArchivePassword), 0u);
    EXPECT_TRUE(platform::ReadTestFile(out_) == plain);
  }
}

TEST_F(EncryptTest, KeyIsMd5OfThePasswordAndChunksStandAlone) {
  std::string plain = Random(ENC_AES128_NORMAL_BUFF_SIZE + 5000, 1);
  platform::WriteTestFile(in_, plain);
  CEncrypt e;
  Configure(e);
  ASSERT_EQ(e.fnEncryptFile(in_.c_str(), enc_.c_str(), kArchivePassword), 0u);
  std::string sealed = platform::ReadTestFile(enc_);
  std::string pw = kArchivePassword;
  auto key = zelt::crypto::Md5(
      {reinterpret_cast<const uint8_t*>(pw.data()), pw.size()});
  // The second chunk opens without the first.
  auto second = OpenChunk(sealed.substr(1048576), key.data());
  ASSERT_TRUE(second);
  EXPECT_TRUE(*second == plain.substr(ENC_AES128_NORMAL_BUFF_SIZE));
  auto first = OpenChunk(sealed.substr(0, 1048576), key.data());
  ASSERT_TRUE(first);
  EXPECT_TRUE(*first == plain.substr(0, ENC_AES128_NORMAL_BUFF_SIZE));
}

// Sealing needs the digest library: a key made without it could not be
// opened wherever the library works, so nothing is sealed then.
TEST_F(EncryptTest, SealingWithoutTheDigestLibraryFails) {
  platform::WriteTestFile(in_, "secret index");
  struct Case {
    const char* what;
    const char* hash_library;
    uint32_t rc;
  };
  const Case cases[] = {
      {"not configured", nullptr, 126},
      {"cannot be loaded", "/nonexistent/libdigest.so", 126},
      {"lacks the entry point", CIPHERLIB_SO, 127},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CEncrypt e;
    Configure(e, false);
    if (c.hash_library) e.SetHashDllName(c.hash_library);
    fs::remove(enc_);
    EXPECT_EQ(e.fnEncryptFile(in_.c_str(), enc_.c_str(), kArchivePassword), c.rc);
    EXPECT_FALSE(fs::exists(enc_));
  }
  CEncrypt e;
  Configure(e, false);
  uint8_t key17[17];
  EXPECT_EQ(e.HashBuff("x", key17), 87u);
  e.SetHashDllName("/nonexistent/libdigest.so");
  EXPECT_EQ(e.HashBuff("x", key17), 126u);
}

// Files sealed with the password itself as the key (padded with zero
// bytes to 16) still open where the digest library is missing.
TEST_F(EncryptTest, WithoutHashLibraryOpeningUsesThePasswordPadded) {
  for (std::string pw : {std::string(kArchivePassword), std::string("abc")}) {
    SCOPED_TRACE(pw);
    uint8_t key[16] = {};
    std::memcpy(key, pw.data(), std::min<size_t>(16, pw.size()));
    const std::string plain = "secret index";
    std::string sealed(plain.size() + 16, '\0');
    auto n = zelt::crypto::CbcEncrypt(
        {reinterpret_cast<const uint8_t*>(plain.data()), plain.size()},
        reinterpret_cast<uint8_t*>(sealed.data()), key);
    ASSERT_TRUE(n);
    sealed.resize(*n);
    platform::WriteTestFile(enc_, sealed);
    CEncrypt e;
    Configure(e, false);
    ASSERT_EQ(e.fnDecryptFile(enc_.c_str(), out_.c_str(), pw.c_str()), 0u);
    EXPECT_EQ(platform::ReadTestFile(out_), plain);
  }
}

TEST_F(EncryptTest, FailuresReturnTheirCodeAndLeaveNoOutput) {
  platform::WriteTestFile(in_, Random(5000, 3));
  CEncrypt e;
  Configure(e);
  ASSERT_EQ(e.fnEncryptFile(in_.c_str(), enc_.c_str(), kArchivePassword), 0u);
  std::string sealed = platform::ReadTestFile(enc_);

  CEncrypt bare;
  EXPECT_EQ(bare.fnEncryptFile(in_.c_str(), out_.c_str(), "pw"), 87u);
  EXPECT_EQ(e.fnEncryptFile(nullptr, out_.c_str(), "pw"), 87u);
  EXPECT_EQ(e.fnEncryptFile(in_.c_str(), out_.c_str(), nullptr), 87u);
  EXPECT_EQ(e.fnDecryptFile(dir_.Sub("missing").c_str(), out_.c_str(), "pw"),
            2u);

  CEncrypt no_lib;
  no_lib.SetEncryptDllName("/nonexistent/libcipher.so");
  EXPECT_EQ(no_lib.fnEncryptFile(in_.c_str(), out_.c_str(), "pw"), 126u);
  CEncrypt wrong_lib;
  wrong_lib.SetEncryptDllName(DIGESTLIB_SO);
  EXPECT_EQ(wrong_lib.fnDecryptFile(enc_.c_str(), out_.c_str(), "pw"), 127u);
  EXPECT_FALSE(fs::exists(out_));

  // Damaged or foreign cipher text: refused as a whole, nothing written.
  platform::WriteTestFile(enc_, sealed.substr(0, sealed.size() - 1));
  EXPECT_EQ(e.fnDecryptFile(enc_.c_str(), out_.c_str(), kArchivePassword),
            1359u);
  EXPECT_FALSE(fs::exists(out_));
  platform::WriteTestFile(enc_, sealed);
  EXPECT_EQ(e.fnDecryptFile(enc_.c_str(), out_.c_str(), "another password"),
            1359u);
  EXPECT_FALSE(fs::exists(out_));
  EXPECT_EQ(e.fnDecryptFile(enc_.c_str(), dir_.Sub("no/dir/x").c_str(),
                            kArchivePassword),
            2u);
}

TEST(HashedPasswordTest, MarksAroundBase64OfSha256) {
  std::string out = "prefix:";
  ASSERT_EQ(AppendHashedPassword(DIGESTLIB_SO, "abc", &out), 0u);
  EXPECT_EQ(out, "prefix:%3%ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=%3%");
  EXPECT_EQ(AppendHashedPassword(nullptr, "abc", &out), 1359u);
  EXPECT_EQ(AppendHashedPassword(DIGESTLIB_SO, nullptr, &out), 1359u);
  EXPECT_EQ(AppendHashedPassword("/nonexistent.so", "abc", &out), 1359u);
  EXPECT_EQ(AppendHashedPassword(CIPHERLIB_SO, "abc", &out), 1359u);
}

}  // namespace
}  // namespace boxlink
