// The three libraries as callers see them: loaded by path, entry points
// looked up by name, contracts exercised through those pointers only.
#include "boxlink/engine/crypto_module.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(gen());
  return v;
}

// The 17-byte key of the archive code: 16 bytes and a zero.
constexpr uint8_t kKey[17] = "0123456789abcdef";

class CipherLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    lib_ = CryptoModule::Load(CIPHERLIB_SO, &error);
    ASSERT_TRUE(lib_) << error;
    enc_ = lib_->Find<AESEncryptWithPwdFn>(kAesEncryptEntry);
    dec_ = lib_->Find<AESDecryptWithPwdFn>(kAesDecryptEntry);
    ASSERT_TRUE(enc_ && dec_);
  }
  std::unique_ptr<CryptoModule> lib_;
  AESEncryptWithPwdFn enc_ = nullptr;
  AESDecryptWithPwdFn dec_ = nullptr;
};

TEST_F(CipherLibTest, ChunkSizesAsTheArchiveBuffersNeedThem) {
  // Output buffers sized as the archive code sizes them: plain + 17 when
  // encrypting, the cipher length when decrypting.
  struct Case {
    uint32_t plain, cipher;
  } cases[] = {{0, 16}, {1, 16}, {16, 32}, {1048575, 1048576}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plain);
    auto plain = Random(c.plain, c.plain);
    std::vector<uint8_t> out(c.plain + 17);
    uint32_t len = c.plain;
    ASSERT_NE(enc_(plain.data(), out.data(), &len, kKey), 0);
    ASSERT_EQ(len, c.cipher);
    std::vector<uint8_t> back(c.cipher);
    ASSERT_NE(dec_(out.data(), back.data(), &len, kKey), 0);
    ASSERT_EQ(len, c.plain);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), back.begin()));
  }
}

TEST_F(CipherLibTest, ChunksOfAFileDecryptOneByOne) {
  // A 1048576-byte file: a full chunk and a one-byte chunk, each sealed on
  // its own, read back one chunk at a time in 1048576-byte steps.
  auto plain = Random(1048576, 11);
  std::vector<uint8_t> file;
  for (size_t off = 0; off < plain.size(); off += 1048575) {
    uint32_t len = static_cast<uint32_t>(
        std::min<size_t>(1048575, plain.size() - off));
    std::vector<uint8_t> out(len + 17);
    ASSERT_NE(enc_(plain.data() + off, out.data(), &len, kKey), 0);
    file.insert(file.end(), out.begin(), out.begin() + len);
  }
  ASSERT_EQ(file.size(), 1048576u + 16u);
  std::vector<uint8_t> back;
  for (size_t off = 0; off < file.size(); off += 1048576) {
    uint32_t len = static_cast<uint32_t>(
        std::min<size_t>(1048576, file.size() - off));
    std::vector<uint8_t> out(len);
    ASSERT_NE(dec_(file.data() + off, out.data(), &len, kKey), 0);
    back.insert(back.end(), out.begin(), out.begin() + len);
  }
  EXPECT_EQ(back, plain);
}

TEST_F(CipherLibTest, WrongKeyAndBadInputAreRefusedOrGarbled) {
  auto plain = Random(4000, 5);
  std::vector<uint8_t> out(4017);
  uint32_t len = 4000;
  ASSERT_NE(enc_(plain.data(), out.data(), &len, kKey), 0);
  std::vector<uint8_t> back(len);
  uint32_t n = len;
  constexpr uint8_t kOther[17] = "fedcba9876543210";
  if (dec_(out.data(), back.data(), &n, kOther) != 0) {
    back.resize(n);
    EXPECT_NE(back, plain);
  }
  n = 15;
  EXPECT_EQ(dec_(out.data(), back.data(), &n, kKey), 0);
  n = 0;
  EXPECT_EQ(dec_(out.data(), back.data(), &n, kKey), 0);
  EXPECT_EQ(enc_(plain.data(), out.data(), nullptr, kKey), 0);
  len = 1;
  EXPECT_EQ(enc_(plain.data(), out.data(), &len, nullptr), 0);
}

TEST_F(CipherLibTest, CredentialEncryptionHonoursTheRoomGiven) {
  auto fn = lib_->Find<Entry_AES_EncryptFn>(kCredentialEncryptEntry);
  ASSERT_TRUE(fn);
  uint8_t out[64];
  uint32_t len = sizeof out;
  ASSERT_NE(fn("password", out, &len), 0);
  EXPECT_EQ(len, 16u);
  len = 15;
  EXPECT_EQ(fn("password", out, &len), 0);
  len = 16;
  EXPECT_EQ(fn("0123456789abcdef", out, &len), 0);  // needs 32
}

TEST(DigestLibTest, EntryPoints) {
  auto lib = CryptoModule::Load(DIGESTLIB_SO);
  ASSERT_TRUE(lib);
  auto md5 = lib->Find<MD5_entryFn>(kMd5Entry);
  auto sha = lib->Find<SHA256_entryFn>(kSha256Entry);
  auto b64 = lib->Find<Encode_BASE64Fn>(kBase64Entry);
  auto deco = lib->Find<Add_Prefix_SuffixFn>(kPrefixSuffixEntry);
  ASSERT_TRUE(md5 && sha && b64 && deco);

  uint8_t d[32];
  md5("abc", 3, d);
  EXPECT_STREQ(b64(d, 16), "kAFQmDzST7DWlj99KOF/cg==");
  sha("abc", 3, d);
  EXPECT_STREQ(b64(d, 32), "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
  EXPECT_STREQ(b64(d, 0), "");
  EXPECT_EQ(b64(nullptr, 3), nullptr);

  char out[512];
  uint32_t len = 0;
  ASSERT_NE(deco("abc", out, &len, 2), 0);
  EXPECT_STREQ(out, "<ZCPW2>abc</ZCPW2>");
  EXPECT_EQ(len, std::strlen(out));
  EXPECT_EQ(deco("abc", out, &len, 0), 0);
  std::string longest(511 - 15, 'x'), too_long(512 - 15, 'x');
  EXPECT_NE(deco(longest.c_str(), out, &len, 1), 0);
  EXPECT_EQ(len, 511u);
  EXPECT_EQ(deco(too_long.c_str(), out, &len, 1), 0);
}

TEST(IdFileLibTest, WrittenByOneLibraryReadByBoth) {
  platform::ScopedTempDir dir;
  std::string path = dir.Sub("v3.id");
  auto idlib = CryptoModule::Load(IDFILE_SO);
  auto cipher = CryptoModule::Load(CIPHERLIB_SO);
  ASSERT_TRUE(idlib && cipher);
  auto write = idlib->Find<EncryptIDFileFn>(kEncryptIdFileEntry);
  ASSERT_TRUE(write);
  int auth = 2, priv = 4, reserved = 0;
  ASSERT_NE(write(path.c_str(), "MFP", "admin", "authpw", "privpw", &auth,
                  &priv, &reserved),
            0);
  for (auto* lib : {idlib.get(), cipher.get()}) {
    auto read = lib->Find<DecryptIDFileFn>(kDecryptIdFileEntry);
    ASSERT_TRUE(read);
    char c[256], u[256], a[256], p[256];
    int ap = 0, pp = 0;
    ASSERT_NE(read(path.c_str(), c, u, a, p, &ap, &pp), 0) << lib->path();
    EXPECT_STREQ(c, "MFP");
    EXPECT_STREQ(u, "admin");
    EXPECT_STREQ(a, "authpw");
    EXPECT_STREQ(p, "privpw");
    EXPECT_EQ(ap, 2);
    EXPECT_EQ(pp, 4);
  }
  reserved = 1;
  EXPECT_EQ(write(path.c_str(), "MFP", "u", "a", "p", &auth, &priv, &reserved),
            0);
  // Damage one byte in the middle: refused, and the outputs stay as given.
  std::string image = platform::ReadTestFile(path);
  image[image.size() / 2] ^= 0x40;
  platform::WriteTestFile(path, image);
  auto read = idlib->Find<DecryptIDFileFn>(kDecryptIdFileEntry);
  char c[256] = "keep", u[256], a[256], p[256];
  int ap = 7, pp = 7;
  EXPECT_EQ(read(path.c_str(), c, u, a, p, &ap, &pp), 0);
  EXPECT_STREQ(c, "keep");
  EXPECT_EQ(ap, 7);
}

TEST(CryptoModuleTest, MissingLibraryOrEntryIsNullNotAThrow) {
  std::string error;
  EXPECT_FALSE(CryptoModule::Load("", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(CryptoModule::Load("/nonexistent/libcipher.so", &error));
  auto lib = CryptoModule::Load(DIGESTLIB_SO);
  ASSERT_TRUE(lib);
  EXPECT_EQ(lib->Find<AESEncryptWithPwdFn>(kAesEncryptEntry), nullptr);
}

}  // namespace
}  // namespace boxlink
