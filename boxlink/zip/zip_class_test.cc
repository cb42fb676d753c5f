#include "boxlink/zip/zip_class.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/testing/zip_test_util.h"
#include "boxlink/zip/zip_utls.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink {
namespace {

using namespace ziptest;
namespace fs = std::filesystem;

class ZipClassTest : public ::testing::Test {
 protected:
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
  platform::ScopedTempDir dir_;

  std::string Path(const std::string& n) { return dir_.Sub(n); }

  // One archive holding the given (name, content) files.
  std::string Write(const std::vector<std::pair<std::string, std::string>>& files,
                    const std::string& name = "a.zip") {
    std::string zip = Path(name);
    CZipClass z;
    z.Open(zip, CZipClass::kCreate);
    int i = 0;
    for (const auto& [entry, content] : files) {
      std::string src = Path("src" + std::to_string(i++));
      platform::WriteTestFile(src, content);
      EXPECT_TRUE(z.AddNewFile(src, entry));
    }
    z.Close();
    return zip;
  }

  std::string ReadAll(CZipClass& z, size_t index, uint32_t chunk = 4096) {
    EXPECT_TRUE(z.OpenEntry(index));
    std::string out, buf(chunk, '\0');
    for (uint32_t n; (n = z.ReadEntry(buf.data(), chunk)) > 0;)
      out.append(buf.data(), n);
    z.CloseEntry();
    return out;
  }
};

TEST_F(ZipClassTest, EmptyFileIsATwoByteDeflatedEntryWithCrcZero) {
  std::string zip = Write({{"BOX\\empty.txt", ""}});
  CZipClass z;
  z.Open(zip, CZipClass::kOpenReadOnly);
  ASSERT_EQ(z.GetCount(), 1u);
  const CZipHeaderInfo& h = z.directory().entries[0];
  EXPECT_EQ(h.name, "BOX/empty.txt");
  EXPECT_EQ(h.method, 8);
  EXPECT_EQ(h.compressed_size, 2u);
  EXPECT_EQ(h.uncompressed_size, 0u);
  EXPECT_EQ(h.crc32, 0u);
  EXPECT_EQ(h.flags, 2);  // level 9
  EXPECT_EQ(h.version, 0);
  EXPECT_EQ(h.external_attributes, kAttrArchive);
  EXPECT_EQ(ReadAll(z, 0), "");
  z.Close();

  // The whole file, to the byte: local header, 2 data bytes, central
  // header, end record; sizes patched into the local header.
  std::string bytes = platform::ReadTestFile(zip);
  ASSERT_EQ(bytes.size(), 30u + 13 + 2 + 46 + 13 + 22);
  const uint8_t* b = reinterpret_cast<const uint8_t*>(bytes.data());
  EXPECT_EQ(Get32(b), kLocalSignature);
  EXPECT_EQ(Get16(b + 6), 2);        // flags
  EXPECT_EQ(Get32(b + 14), 0u);      // CRC
  EXPECT_EQ(Get32(b + 18), 2u);      // compressed size, patched
  EXPECT_EQ(bytes.substr(43, 2), std::string("\x03\x00", 2));
  EXPECT_EQ(Get32(b + 45), kCentralSignature);
  EXPECT_EQ(Sh("unzip -t " + zip), 0);
}

TEST_F(ZipClassTest, RoundTripsAndStandardToolsAgree) {
  std::vector<std::pair<std::string, std::string>> files = {
      {"BOX/one", "x"},
      {"BOX/text.XML", TextBytes(300000, 1)},
      {"BOX/random.bin", RandomBytes(65535, 2)},
      {"BOX/random2.bin", RandomBytes(65536 * 3 + 7, 3)},
      {"BOX/sub/deeper/file", TextBytes(70000, 4)},
  };
  std::string zip = Write(files);
  CZipClass z;
  z.Open(zip, CZipClass::kOpenReadOnly);
  ASSERT_EQ(z.GetCount(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    for (uint32_t chunk : {1u, 1000u, 65535u}) {
      if (chunk == 1 && files[i].second.size() > 70000) continue;
      EXPECT_EQ(ReadAll(z, i, chunk), files[i].second) << files[i].first;
    }
  }
  EXPECT_LT(z.directory().entries[1].compressed_size, 300000u / 10);
  z.Close();
  EXPECT_EQ(z.tracked_allocations(), 0u);
  EXPECT_EQ(Sh("unzip -t " + zip), 0);
  EXPECT_EQ(Sh("/usr/bin/python3 -c \"import zipfile,sys; z=zipfile.ZipFile('" + zip +
                "'); sys.exit(z.testzip() is not None or len(z.namelist())!=5)\""),
            0);
  std::string out = Path("unzipped");
  ASSERT_EQ(Sh("unzip -q " + zip + " -d " + out), 0);
  for (const auto& [name, content] : files)
    EXPECT_EQ(platform::ReadTestFile(out + "/" + name), content) << name;
}

TEST_F(ZipClassTest, ReadsWhatInfoZipWrites) {
  std::string tree = Path("tree");
  platform::WriteTestFile(tree + "/BOX/Backup.XML", TextBytes(5000, 5));
  platform::WriteTestFile(tree + "/BOX/Grüße/名前.txt", "non-ascii");
  platform::WriteTestFile(tree + "/BOX/big.bin", RandomBytes(1 << 20, 6));
  platform::WriteTestFile(tree + "/BOX/.hidden", "kept");
  fs::create_directories(tree + "/BOX/empty");
  for (const char* level : {"-9", "-0"}) {
    SCOPED_TRACE(level);
    std::string zip = Path(std::string("info") + level + ".zip");
    ASSERT_EQ(Sh("cd " + tree + " && zip -q -r " + level + " " + zip + " BOX"),
              0);
    CZipUtls u;
    ASSERT_EQ(u.OpenFile(zip, 1), 1);
    std::string out = Path(std::string("out") + level);
    u.ExtractZipFile(out);
    u.Close();
    EXPECT_EQ(platform::ReadTestFile(out + "/BOX/Grüße/名前.txt"), "non-ascii");
    EXPECT_EQ(platform::ReadTestFile(out + "/BOX/big.bin"),
              platform::ReadTestFile(tree + "/BOX/big.bin"));
    EXPECT_EQ(platform::ReadTestFile(out + "/BOX/.hidden"), "kept");
    EXPECT_TRUE(fs::is_directory(out + "/BOX/empty"));
  }
}

TEST_F(ZipClassTest, BytesInFrontOfTheZipDataAreSkipped) {
  std::string zip = Write({{"a", "hello"}, {"b", TextBytes(10000, 8)}});
  std::string with_stub = Path("stub.zip");
  platform::WriteTestFile(with_stub,
                          std::string(1000, 'S') + platform::ReadTestFile(zip));
  CZipClass z;
  z.Open(with_stub, CZipClass::kOpenReadOnly);
  EXPECT_EQ(z.directory().bytes_before_zip, 1000u);
  EXPECT_EQ(ReadAll(z, 0), "hello");
  EXPECT_EQ(ReadAll(z, 1), TextBytes(10000, 8));
}

TEST_F(ZipClassTest, AnEntryPastTheSizeLimitFailsAndTheArchiveStaysSound) {
  std::string zip = Path("limit.zip");
  platform::WriteTestFile(Path("small"), "small");
  platform::WriteTestFile(Path("large"), RandomBytes(200000, 9));
  CZipClass z;
  z.SetSizeLimitForTest(100000);
  z.Open(zip, CZipClass::kCreate);
  ASSERT_TRUE(z.AddNewFile(Path("small"), "small"));
  try {
    z.AddNewFile(Path("large"), "large");
    ADD_FAILURE() << "no error for an oversized entry";
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 223u);
  }
  z.Close();
  EXPECT_EQ(Sh("unzip -t " + zip), 0);
  CZipClass r;
  r.Open(zip, CZipClass::kOpenReadOnly);
  ASSERT_EQ(r.GetCount(), 1u);
  EXPECT_EQ(ReadAll(r, 0), "small");
}

TEST_F(ZipClassTest, DamagedArchivesAreRefusedAndLeaveNoFile) {
  std::string content = TextBytes(200000, 10);
  std::string good = platform::ReadTestFile(Write({{"BOX/doc", content}}));
  const size_t data = 30 + 7;
  const size_t central = good.size() - 22 - 46 - 7;
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"empty", [](std::string& s) { s.clear(); }},
      {"cut in the end record", [](std::string& s) { s.resize(s.size() - 5); }},
      {"cut in the data", [](std::string& s) { s.resize(s.size() / 2); }},
      {"end signature", [](std::string& s) { s[s.size() - 22] ^= 1; }},
      {"central signature", [&](std::string& s) { s[central] ^= 1; }},
      {"local signature", [](std::string& s) { s[0] ^= 1; }},
      {"local size", [](std::string& s) { s[19] ^= 1; }},
      {"data byte", [&](std::string& s) { s[data + 500] ^= 0x55; }},
      {"entry count", [](std::string& s) { s[s.size() - 12] = 2; }},
      {"zero directory size",
       [](std::string& s) { std::fill_n(s.end() - 10, 4, '\0'); }},
      {"directory offset past the end",
       [](std::string& s) { s[s.size() - 4] = '\x7f'; }},
      {"huge central name length",
       [&](std::string& s) { s[central + 28] = s[central + 29] = '\xff'; }},
      {"local header offset past the data",
       [&](std::string& s) { s[central + 45] = '\x10'; }},
      {"zip64 marker", [](std::string& s) {
         std::fill_n(s.end() - 6, 4, '\xff');
       }},
      {"encrypted flag", [&](std::string& s) { s[central + 8] |= 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bad = good;
    c.damage(bad);
    std::string zip = Path("bad.zip"), out = Path("out");
    platform::WriteTestFile(zip, bad);
    fs::remove_all(out);
    bool refused = false;
    try {
      CZipClass z;
      z.Open(zip, CZipClass::kOpenReadOnly);
      if (!z.ExtractFile(0, out)) refused = true;
    } catch (const BoxError& e) {
      refused = true;
      EXPECT_NE(e.code(), 0u);
    }
    EXPECT_TRUE(refused);
    EXPECT_FALSE(fs::exists(out + "/BOX/doc"));
  }
}

TEST_F(ZipClassTest, ExtractionKeepsTimeAndReadOnlyAttribute) {
  std::string src = Path("ro.txt");
  platform::WriteTestFile(src, "read only");
  struct timespec times[2] = {{1600000000, 0}, {1600000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, src.c_str(), times, 0), 0);
  chmod(src.c_str(), 0444);
  std::string zip = Path("attr.zip");
  {
    CZipClass z;
    z.Open(zip, CZipClass::kCreate);
    ASSERT_TRUE(z.AddNewFile(src, "ro.txt"));
    z.Close();
  }
  CZipClass z;
  z.Open(zip, CZipClass::kOpenReadOnly);
  EXPECT_EQ(z.directory().entries[0].external_attributes,
            kAttrArchive | kAttrReadOnly);
  ASSERT_TRUE(z.ExtractFile(0, Path("x")));
  struct stat st;
  ASSERT_EQ(stat(Path("x/ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1600000000);  // even seconds survive DOS time
  EXPECT_EQ(st.st_mode & 0222, 0u);
}

TEST_F(ZipClassTest, RefusesEntriesWhileAnotherIsOpen) {
  std::string zip = Path("state.zip");
  CZipClass z;
  CZipHeaderInfo h;
  EXPECT_FALSE(z.OpenNewFile(h, 9));  // no archive
  z.Open(zip, CZipClass::kCreate);
  h.name = "a";
  EXPECT_TRUE(z.OpenNewFile(h, 9));
  CZipHeaderInfo h2;
  h2.name = "b";
  EXPECT_FALSE(z.OpenNewFile(h2, 9));
  z.WriteNewFile("abc", 3);
  z.Close();  // completes the open entry
  CZipClass r;
  r.Open(zip, CZipClass::kOpenReadOnly);
  ASSERT_EQ(r.GetCount(), 1u);
  EXPECT_EQ(ReadAll(r, 0), "abc");
  CZipHeaderInfo h3;
  EXPECT_FALSE(r.OpenNewFile(h3, 9));  // read-only
}


TEST_F(ZipClassTest, EndRecordIsSearchedOnlyWhereItCanBe) {
  std::string zip = Path("c.zip");
  // The longest comment still leaves the record within reach.
  ASSERT_EQ(Sh("/usr/bin/python3 -c \"import zipfile; z=zipfile.ZipFile('" + zip +
               "','w'); z.writestr('a','x'); z.comment=b'PK\\x05\\x06' + "
               "b'c'*65531; z.close()\""),
            0);
  {
    CZipClass z;
    z.Open(zip, CZipClass::kOpenReadOnly);
    ASSERT_EQ(z.GetCount(), 1u);
    EXPECT_EQ(z.directory().comment.size(), 65535u);
    EXPECT_EQ(ReadAll(z, 0), "x");
  }
  // Junk behind the record pushes it out of the searched range.
  std::string plain = Write({{"a", "x"}}, "p.zip");
  std::string bytes = platform::ReadTestFile(plain);
  for (size_t junk : {size_t(100), size_t(65535), size_t(65536)}) {
    SCOPED_TRACE(junk);
    platform::WriteTestFile(Path("j.zip"), bytes + std::string(junk, 'j'));
    CZipClass z;
    if (junk <= 65535) {
      z.Open(Path("j.zip"), CZipClass::kOpenReadOnly);
      EXPECT_EQ(ReadAll(z, 0), "x");
    } else {
      EXPECT_THROW(z.Open(Path("j.zip"), CZipClass::kOpenReadOnly), BoxError);
    }
  }
}

TEST_F(ZipClassTest, AddingToAnExistingArchiveRewritesItsDirectory) {
  std::string zip = Write({{"first", "1"}});
  {
    CZipClass z;
    z.Open(zip, CZipClass::kOpenExisting);
    platform::WriteTestFile(Path("second"), TextBytes(5000, 2));
    ASSERT_TRUE(z.AddNewFile(Path("second"), "second"));
    z.Close();
  }
  EXPECT_EQ(Sh("unzip -t " + zip), 0);
  CZipClass z;
  z.Open(zip, CZipClass::kOpenReadOnly);
  ASSERT_EQ(z.GetCount(), 2u);
  EXPECT_EQ(ReadAll(z, 0), "1");
  EXPECT_EQ(ReadAll(z, 1), TextBytes(5000, 2));
  // Opening for reading and closing leaves the file as it was.
  std::string before = platform::ReadTestFile(zip);
  {
    CZipClass r;
    r.Open(zip, CZipClass::kOpenExisting);
    ReadAll(r, 1);
    r.Close();
  }
  EXPECT_EQ(platform::ReadTestFile(zip), before);
}


TEST_F(ZipClassTest, AnUnreadableSourceAddsNoEntry) {
  std::string zip = Path("u.zip");
  CZipClass z;
  z.Open(zip, CZipClass::kCreate);
  platform::WriteTestFile(Path("ok"), "ok");
  ASSERT_TRUE(z.AddNewFile(Path("ok"), "ok"));
  EXPECT_FALSE(z.AddNewFile(Path("missing"), "missing"));
  EXPECT_EQ(z.GetCount(), 1u);
  z.Close();
  EXPECT_EQ(Sh("unzip -t " + zip), 0);
  CZipClass r;
  r.Open(zip, CZipClass::kOpenReadOnly);
  EXPECT_EQ(r.GetCount(), 1u);
}

// Random bytes with a run of zeros where AddNewFile takes its sample (the
// end of the first chunk): the sample says deflate helps, the file as a
// whole does not shrink.
std::string MisleadingSample(size_t n) {
  std::string s = RandomBytes(n, 21);
  const size_t chunk = CZipClass::kDefaultBufferSize;
  s.replace(chunk - 256, 256, std::string(256, '\0'));
  return s;
}

TEST_F(ZipClassTest, StoresWhatDeflateCannotShrinkAndReadersAgree) {
  const size_t probe = CZipClass::kStoreProbeBytes;
  struct Case {
    const char* name;
    std::string content;
    uint16_t method;
  } cases[] = {
      {"BOX/page.img", RandomBytes(100000, 11), 0},
      {"BOX/text.XML", TextBytes(100000, 12), 8},
      // Random bytes after a text head: the sample is past the head.
      {"BOX/head.img", TextBytes(2000, 13) + RandomBytes(200000, 13), 0},
      {"BOX/tail.txt", RandomBytes(3000, 14) + TextBytes(200000, 14), 8},
      // Below the sample size everything is deflated, as it always was.
      {"BOX/small.bin", RandomBytes(probe - 1, 15), 8},
      {"BOX/exact.bin", RandomBytes(probe, 16), 0},
      {"BOX/empty", "", 8},
      // The sample misleads: written again, stored.
      {"BOX/mislead.bin", MisleadingSample(2 << 20), 0},
      // Deflate must still work after stored entries: one stream serves
      // every entry of the archive.
      {"BOX/after.XML", TextBytes(70000, 17), 8},
  };
  std::vector<std::pair<std::string, std::string>> files;
  for (const Case& c : cases) files.push_back({c.name, c.content});
  std::string zip = Write(files);
  CZipClass z;
  z.Open(zip, CZipClass::kOpenReadOnly);
  ASSERT_EQ(z.GetCount(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    const CZipHeaderInfo& h = z.directory().entries[i];
    EXPECT_EQ(h.method, c.method);
    EXPECT_EQ(h.flags, c.method == 8 ? 2 : 0);
    EXPECT_EQ(h.uncompressed_size, c.content.size());
    if (c.method == 0) {
      EXPECT_EQ(h.compressed_size, c.content.size());
    }
    if (c.content.size() >= probe) {
      EXPECT_LE(h.compressed_size, c.content.size());
    }
    EXPECT_EQ(ReadAll(z, i, 65535), c.content);
  }
  z.Close();
  EXPECT_EQ(z.tracked_allocations(), 0u);
  EXPECT_EQ(Sh("unzip -t " + zip), 0);
  EXPECT_EQ(Sh("/usr/bin/python3 -c \"import zipfile,sys; z=zipfile.ZipFile('" + zip +
                "'); sys.exit(z.testzip() is not None or len(z.namelist())!=" +
                std::to_string(std::size(cases)) + ")\""),
            0);
  std::string out = Path("unzipped");
  ASSERT_EQ(Sh("unzip -q " + zip + " -d " + out), 0);
  for (const Case& c : cases)
    EXPECT_EQ(platform::ReadTestFile(out + "/" + c.name), c.content) << c.name;
}

TEST_F(ZipClassTest, AnInterruptedEntryIsCutOffAndTheArchiveStaysSound) {
  std::string zip = Path("i.zip");
  platform::WriteTestFile(Path("first"), TextBytes(5000, 18));
  platform::WriteTestFile(Path("big"), TextBytes(1 << 20, 19));
  platform::WriteTestFile(Path("big.img"), RandomBytes(1 << 20, 20));
  // Asked before each chunk: a long entry can be given up while it is
  // written, deflated or stored alike.
  for (const char* big : {"big", "big.img"}) {
    SCOPED_TRACE(big);
    int calls = 0;
    CZipClass z;
    z.Open(zip, CZipClass::kCreate);
    z.SetInterruptCheck([&] { ++calls; });
    ASSERT_TRUE(z.AddNewFile(Path("first"), "first"));
    ASSERT_TRUE(z.AddNewFile(Path(big), big));
    EXPECT_GE(calls, 2 + (1 << 20) / 65535);
    const int stop_at = calls - 3;
    calls = 0;
    z.SetInterruptCheck([&] {
      if (++calls == stop_at) Raise(ZB_ERR_CANCELLED);
    });
    ASSERT_TRUE(z.AddNewFile(Path("first"), "again"));
    try {
      z.AddNewFile(Path(big), "cut");
      ADD_FAILURE() << "the interrupt did not end the entry";
    } catch (const BoxError& e) {
      EXPECT_EQ(e.code(), uint32_t(ZB_ERR_CANCELLED));
    }
    EXPECT_EQ(z.state(), CZipClass::kNone);
    z.Close();
    EXPECT_EQ(z.tracked_allocations(), 0u);
    EXPECT_EQ(Sh("unzip -t " + zip), 0);
    CZipClass r;
    r.Open(zip, CZipClass::kOpenReadOnly);
    ASSERT_EQ(r.GetCount(), 3u);
    EXPECT_EQ(ReadAll(r, 2), TextBytes(5000, 18));
  }
}

}  // namespace
}  // namespace boxlink
