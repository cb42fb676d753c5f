#include "standins/cryptocore/crypto_core.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "platform/testing/temp_dir.h"

namespace zelt::crypto {
namespace {

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(gen());
  return v;
}

constexpr uint8_t kKey[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,
                              15, 16};

TEST(CbcTest, SizesAndRoundTripsAtTheChunkBoundaries) {
  struct Case {
    size_t plain, cipher;
  } cases[] = {{0, 16},        {1, 16},          {15, 16},
               {16, 32},       {17, 32},         {1048560, 1048576},
               {1048574, 1048576}, {1048575, 1048576}, {1048576, 1048592}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plain);
    auto plain = Random(c.plain, static_cast<uint32_t>(c.plain));
    std::vector<uint8_t> cipher(c.plain + 16);
    auto n = CbcEncrypt(plain, cipher.data(), kKey);
    ASSERT_TRUE(n);
    EXPECT_EQ(*n, c.cipher);
    cipher.resize(*n);
    // The decryption output is exactly as large as the plain text plus a
    // guard: a write past the plain bytes would show in the guard.
    std::vector<uint8_t> back(c.plain + 16, 0xA5);
    auto m = CbcDecrypt(cipher, back.data(), kKey);
    ASSERT_TRUE(m);
    ASSERT_EQ(*m, c.plain);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), back.begin()));
    for (size_t i = c.plain; i < back.size(); ++i) ASSERT_EQ(back[i], 0xA5);
  }
}

TEST(CbcTest, MatchesOpensslCommandLine) {
  // Pins the format: AES-128-CBC, zero IV, PKCS#7, as `openssl enc` does it.
  platform::ScopedTempDir dir;
  std::string in = dir.Sub("in"), out = dir.Sub("out");
  auto plain = Random(1000, 7);
  platform::WriteTestFile(in, std::string(plain.begin(), plain.end()));
  std::string cmd =
      "openssl enc -aes-128-cbc -K 0102030405060708090a0b0c0d0e0f10 -iv "
      "00000000000000000000000000000000 -in " + in + " -out " + out;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::string expected = platform::ReadTestFile(out);
  std::vector<uint8_t> cipher(plain.size() + 16);
  auto n = CbcEncrypt(plain, cipher.data(), kKey);
  ASSERT_TRUE(n);
  EXPECT_EQ(std::string(cipher.begin(), cipher.begin() + *n), expected);
}

TEST(CbcTest, RefusesWhatIsNotOurCipherText) {
  auto plain = Random(100, 3);
  std::vector<uint8_t> cipher(116);
  auto n = CbcEncrypt(plain, cipher.data(), kKey);
  ASSERT_TRUE(n);
  cipher.resize(*n);
  std::vector<uint8_t> out(200);
  EXPECT_FALSE(CbcDecrypt({}, out.data(), kKey));
  EXPECT_FALSE(CbcDecrypt({cipher.data(), 15}, out.data(), kKey));
  EXPECT_FALSE(CbcDecrypt({cipher.data(), 113}, out.data(), kKey));
  // A wrong key never gives the plain text back.
  uint8_t other[16] = {};
  auto m = CbcDecrypt(cipher, out.data(), other);
  if (m) {
    EXPECT_FALSE(*m == plain.size() &&
                 std::equal(plain.begin(), plain.end(), out.begin()));
  }
  // Bad padding: a plain block ending in 0 or in 17.
  for (uint8_t last : {0, 17}) {
    uint8_t block[16] = {};
    block[15] = last;
    std::vector<uint8_t> raw(32);
    // Encrypt two blocks and keep the first: its plain text is `block`.
    auto k = CbcEncrypt({block, 16}, raw.data(), kKey);
    ASSERT_EQ(*k, 32u);
    EXPECT_FALSE(CbcDecrypt({raw.data(), 16}, out.data(), kKey));
  }
}

TEST(CbcTest, ChunksAreIndependent) {
  // Equal chunks give equal cipher text, and each chunk decrypts alone.
  auto a = Random(1048575, 1), b = Random(5000, 2);
  std::vector<uint8_t> ca(1048576 + 16), cb(5016), ca2(1048576 + 16);
  size_t na = *CbcEncrypt(a, ca.data(), kKey);
  size_t nb = *CbcEncrypt(b, cb.data(), kKey);
  size_t na2 = *CbcEncrypt(a, ca2.data(), kKey);
  EXPECT_EQ(na, na2);
  EXPECT_TRUE(std::equal(ca.begin(), ca.begin() + na, ca2.begin()));
  std::vector<uint8_t> out(1048576);
  ASSERT_EQ(*CbcDecrypt({cb.data(), nb}, out.data(), kKey), b.size());
  EXPECT_TRUE(std::equal(b.begin(), b.end(), out.begin()));
}

TEST(DigestTest, KnownVectors) {
  std::string abc = "abc";
  std::span<const uint8_t> s{reinterpret_cast<const uint8_t*>(abc.data()), 3};
  auto hex = [](auto d) {
    std::string h;
    char buf[3];
    for (uint8_t b : d) {
      std::snprintf(buf, sizeof buf, "%02x", b);
      h += buf;
    }
    return h;
  };
  EXPECT_EQ(hex(Md5(s)), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(hex(Sha256(s)),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Base64Test, Rfc4648VectorsBothWays) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"f", "Zg=="},       {"fo", "Zm8="},
      {"foo", "Zm9v"},  {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"}, {"\xff\xfe\xfd", "//79"}};
  for (const auto& [plain, text] : cases) {
    std::span<const uint8_t> p{reinterpret_cast<const uint8_t*>(plain.data()),
                               plain.size()};
    EXPECT_EQ(Base64Encode(p), text);
    auto back = Base64Decode(text);
    ASSERT_TRUE(back) << text;
    EXPECT_EQ(std::string(back->begin(), back->end()), plain);
  }
  for (const char* bad : {"Zg=", "Zh==", "Z===", "Zm9v\n", "Zm-v", "=Zm9",
                          "Zg==Zg=="})
    EXPECT_FALSE(Base64Decode(bad)) << bad;
}

TEST(CredentialTest, FormsAndDecoration) {
  EXPECT_EQ(*Decorate("x", 1), "<ZCPW1>x</ZCPW1>");
  EXPECT_EQ(*Decorate("x", 2), "<ZCPW2>x</ZCPW2>");
  EXPECT_FALSE(Decorate("x", 3));
  EXPECT_TRUE(Decorate(std::string(511 - 15, 'a'), 1));
  EXPECT_FALSE(Decorate(std::string(512 - 15, 'a'), 1));
  EXPECT_FALSE(Undecorate("<ZCPW1>x</ZCPW2>", 1));

  for (const std::string& cred : std::vector<std::string>{
           "", "secret", "pässwörd", std::string(511, 'q')}) {
    auto back = DecodeCredentialMode1(EncodeCredentialMode1(cred));
    if (cred.size() > 300) {
      // Too long to decorate within 512 bytes: no form at all.
      EXPECT_EQ(EncodeCredentialMode1(cred), "");
      continue;
    }
    ASSERT_TRUE(back) << cred;
    EXPECT_EQ(*back, cred);
  }
  // Mode 2: SHA-256 of the credential, Base64, decorated, Base64 again.
  auto form = EncodeCredentialMode2("secret");
  auto outer = Base64Decode(form);
  ASSERT_TRUE(outer);
  auto inner = Undecorate(std::string(outer->begin(), outer->end()), 2);
  ASSERT_TRUE(inner);
  std::string secret = "secret";
  EXPECT_EQ(*inner,
            Base64Encode(Sha256({reinterpret_cast<const uint8_t*>(
                                     secret.data()),
                                 secret.size()})));
}

IdFileContent Sample() {
  return {"MFP", "admin", "auth pass wörd", "priv", 2, 4};
}

bool Same(const IdFileContent& a, const IdFileContent& b) {
  return a.context == b.context && a.user_name == b.user_name &&
         a.auth_password == b.auth_password &&
         a.priv_password == b.priv_password &&
         a.auth_protocol == b.auth_protocol &&
         a.priv_protocol == b.priv_protocol;
}

TEST(IdFileTest, RoundTripsEveryValidShape) {
  IdFileContent longest{std::string(255, 'c'), std::string(255, 'u'),
                        std::string(255, 'a'), std::string(255, 'p'), 1, 2};
  IdFileContent empty{"", "", "", "", 1, 1};
  for (const auto& c : {Sample(), longest, empty}) {
    auto image = SealIdFile(c);
    ASSERT_TRUE(image);
    auto back = OpenIdFile(*image);
    ASSERT_TRUE(back);
    EXPECT_TRUE(Same(*back, c));
  }
  // A fresh salt and nonce each time: equal content, different files.
  EXPECT_NE(*SealIdFile(Sample()), *SealIdFile(Sample()));
}

TEST(IdFileTest, RefusesContentItCannotKeep) {
  auto c = Sample();
  c.user_name = std::string(256, 'u');
  EXPECT_FALSE(SealIdFile(c));
  for (auto [auth, priv] : {std::pair{0, 1}, {3, 1}, {1, 0}, {1, 3}, {2, 8}}) {
    c = Sample();
    c.auth_protocol = auth;
    c.priv_protocol = priv;
    EXPECT_FALSE(SealIdFile(c)) << auth << "/" << priv;
  }
}

TEST(IdFileTest, RefusesEveryDamagedByteAndEveryTruncation) {
  auto image = *SealIdFile(Sample());
  for (size_t i = 0; i < image.size(); ++i) {
    auto bad = image;
    bad[i] ^= 0x01;
    EXPECT_FALSE(OpenIdFile(bad)) << "byte " << i;
  }
  for (size_t n = 0; n < image.size(); ++n)
    EXPECT_FALSE(OpenIdFile({image.data(), n})) << "length " << n;
  auto longer = image;
  longer.push_back(0);
  EXPECT_FALSE(OpenIdFile(longer));
}

TEST(IdFileTest, RefusesForeignFilesAndKeepsTheOldFileOnFailure) {
  platform::ScopedTempDir dir;
  std::string path = dir.Sub("snmp.id");
  EXPECT_FALSE(ReadIdFile(path));  // missing
  platform::WriteTestFile(path, "");
  EXPECT_FALSE(ReadIdFile(path));
  platform::WriteTestFile(path, "PK\x03\x04 not an id file at all");
  EXPECT_FALSE(ReadIdFile(path));
  auto noise = Random(300, 9);
  platform::WriteTestFile(path, std::string(noise.begin(), noise.end()));
  EXPECT_FALSE(ReadIdFile(path));
  platform::WriteTestFile(path, std::string(1 << 20, 'x'));
  EXPECT_FALSE(ReadIdFile(path));

  ASSERT_TRUE(WriteIdFile(path, Sample()));
  auto back = ReadIdFile(path);
  ASSERT_TRUE(back);
  EXPECT_TRUE(Same(*back, Sample()));
  auto bad = Sample();
  bad.priv_protocol = 3;
  EXPECT_FALSE(WriteIdFile(path, bad));
  back = ReadIdFile(path);
  ASSERT_TRUE(back);
  EXPECT_TRUE(Same(*back, Sample()));
  EXPECT_FALSE(WriteIdFile(dir.Sub("no/such/folder/x.id"), Sample()));
}

}  // namespace
}  // namespace zelt::crypto
