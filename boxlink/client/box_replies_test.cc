#include "boxlink/client/box_replies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "boxlink/base/box_error.h"
#include "boxlink/testing/raised_code_testing.h"
#include "boxlink/base/model_addition_check.h"
#include "boxlink/base/model_file.h"
#include "platform/testing/fake_env.h"
#include "platform/text.h"

namespace {

using boxlink::RaisedCode;
using boxlink::ReplyDocument;

constexpr char kSeries[] = "Varda 930 Series V1.0";
constexpr char kClassic[] = "Varda7120/7140 V1.3";

std::string Reply(std::string_view version, std::string_view message) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><BoxNwLib>";
  if (!version.empty())
    s += "<Header><Version>" + std::string(version) + "</Version></Header>";
  s += "<Message><Result>0</Result>" + std::string(message) +
       "</Message></BoxNwLib>";
  return s;
}

std::string BoxItem(int no, std::string_view name, int updated, int backup) {
  return "<BoxProp BoxNo=\"" + std::to_string(no) + "\"><BoxName>" +
         std::string(name) + "</BoxName><LastUpdateDate>" +
         std::to_string(updated) + "</LastUpdateDate><Protected>1</Protected>" +
         "<LastBackupDate>" + std::to_string(backup) +
         "</LastBackupDate></BoxProp>";
}


class BoxRepliesTest : public ::testing::Test {
 protected:
  BoxRepliesTest() : use_(&env_) {
    env_.SetProgramDir(env_.root() + "/program");
    boxlink::ModelAdditionCheck::ResetForTesting();
  }
  ~BoxRepliesTest() override { boxlink::ModelAdditionCheck::ResetForTesting(); }

  std::unique_ptr<ReplyDocument> Load(const std::string& xml) {
    auto doc = ReplyDocument::Load(xml);
    EXPECT_NE(doc, nullptr) << xml;
    return doc;
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_;
};

TEST_F(BoxRepliesTest, EngineInfo) {
  auto doc = Load(Reply(kSeries,
                        "<VersionInfo><EngineVersion>Varda 930 Series V1.0"
                        "</EngineVersion></VersionInfo><MACAddress>00:11:22:"
                        "33:44:55</MACAddress><CurrentTime>1767225600"
                        "</CurrentTime>"));
  ZBENGINEINFO info{};
  boxlink::ParseEngineInfo(*doc, &info);
  EXPECT_STREQ(info.EngineVersion, "Varda 930 Series V1.0");
  EXPECT_STREQ(info.MACAddress, "00:11:22:33:44:55");
  EXPECT_EQ(info.CurrentTime, 1767225600u);

  for (const char* missing : {"<MACAddress>x</MACAddress><CurrentTime>1"
                              "</CurrentTime>",
                              "<VersionInfo><EngineVersion>v</EngineVersion>"
                              "</VersionInfo><CurrentTime>1</CurrentTime>",
                              "<VersionInfo><EngineVersion>v</EngineVersion>"
                              "</VersionInfo><MACAddress>x</MACAddress>"}) {
    auto bad = Load(Reply(kSeries, missing));
    EXPECT_EQ(RaisedCode([&] { boxlink::ParseEngineInfo(*bad, &info); }), 11u);
  }
}

TEST_F(BoxRepliesTest, BoxListReadsDatesOnlyForEnginesThatReportThem) {
  const std::string boxes = "<Boxes NumOfBoxes=\"2\">" +
                            BoxItem(1, "Scan &amp; Fax", 86400, 172800) +
                            BoxItem(12, "\xE7\xAE\xB1", 0, 0) + "</Boxes>";
  struct Case {
    std::string version;
    bool dates;
  } cases[] = {{kSeries, true}, {kClassic, false}, {"Varda 8000 V1", false}};
  for (const Case& c : cases) {
    auto doc = Load(Reply(c.version, boxes));
    uint32_t count = 99;
    platform::UniqueBlock block = boxlink::ParseBoxList(*doc, false, &count);
    ASSERT_EQ(count, 2u);
    ASSERT_EQ(platform::BlockSize(block.get()), 2 * sizeof(ZBBOX));
    auto* b = static_cast<ZBBOX*>(platform::BlockLock(block.get()));
    EXPECT_EQ(b[0].BoxNo, 1u);
    EXPECT_STREQ(b[0].BoxName, "Scan & Fax");
    EXPECT_EQ(b[0].LastUpdateDate.wYear, 1970);
    EXPECT_EQ(b[0].LastUpdateDate.wDay, 2);
    EXPECT_EQ(b[0].Protected, 1u);
    EXPECT_EQ(b[0].LastBackupDate.wDay, c.dates ? 3 : 0) << c.version;
    EXPECT_EQ(b[1].BoxNo, 12u);
    EXPECT_STREQ(b[1].BoxName, "\xE7\xAE\xB1");
  }
}

TEST_F(BoxRepliesTest, ModelFileAddsEnginesThatReportDates) {
  std::filesystem::create_directories(env_.root() + "/program");
  ASSERT_TRUE(boxlink::WriteModelFile(
      env_.root() + "/program/ZELT_ModelInfo.bin",
      {{"KVX_Supported_Models", {"Varda 8000"}}}));
  EXPECT_TRUE(boxlink::ReportsLastBackupDate("Varda 8000 Series V1.0 build 12"));
  EXPECT_FALSE(boxlink::ReportsLastBackupDate("Varda 8100 Series V1.0"));
  EXPECT_TRUE(boxlink::ReportsLastBackupDate("x Varda 560 Series V4.0.0.0"));
}

TEST_F(BoxRepliesTest, BoxListEdgeCases) {
  uint32_t count = 7;
  auto empty = Load(Reply(kSeries, "<Boxes NumOfBoxes=\"0\"/>"));
  platform::UniqueBlock block = boxlink::ParseBoxList(*empty, false, &count);
  EXPECT_TRUE(block);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(platform::BlockSize(block.get()), 0u);

  const std::string bad[] = {
      Reply("", "<Boxes NumOfBoxes=\"0\"/>"),               // no version
      Reply(kSeries, "<Boxes/>"),                            // no count
      Reply(kSeries, "<Boxes NumOfBoxes=\"3\">" + BoxItem(1, "a", 0, 0) +
                         BoxItem(2, "b", 0, 0) + "</Boxes>"),  // two of three
      Reply(kSeries, "<Boxes NumOfBoxes=\"-1\"/>"),          // absurd count
      Reply(kSeries, "<Boxes NumOfBoxes=\"1\"><BoxProp BoxNo=\"1\">"
                     "<BoxName>a</BoxName><LastUpdateDate>0</LastUpdateDate>"
                     "<Protected>0</Protected></BoxProp></Boxes>"),  // no date
  };
  for (const std::string& xml : bad) {
    auto doc = Load(xml);
    EXPECT_EQ(RaisedCode([&] { boxlink::ParseBoxList(*doc, false, &count); }),
              11u)
        << xml;
  }
}

TEST_F(BoxRepliesTest, RestrictedSessionGetsLocalTimes) {
  env_.SetFixedTimeZone(120);
  auto doc = Load(Reply(kSeries, "<Boxes NumOfBoxes=\"1\">" +
                                     BoxItem(1, "a", 3600, 0) + "</Boxes>"));
  uint32_t count = 0;
  platform::UniqueBlock utc = boxlink::ParseBoxList(*doc, false, &count);
  platform::UniqueBlock local = boxlink::ParseBoxList(*doc, true, &count);
  auto* u = static_cast<ZBBOX*>(platform::BlockLock(utc.get()));
  auto* l = static_cast<ZBBOX*>(platform::BlockLock(local.get()));
  EXPECT_EQ(u[0].LastUpdateDate.wHour, 1);
  EXPECT_EQ(l[0].LastUpdateDate.wHour, 3);
  // Zero stays the epoch even in local time.
  EXPECT_EQ(l[0].LastBackupDate.wYear, 1970);
  EXPECT_EQ(l[0].LastBackupDate.wHour, 0);
}

std::string BoxProp(std::string_view name, std::string_view extra = "") {
  return "<BoxProp BoxNo=\"7\"><BoxName>" + std::string(name) +
         "</BoxName><BoxOwner>admin</BoxOwner><CreateDate>86400</CreateDate>"
         "<Protected>1</Protected><NumOfDocs>4</NumOfDocs><NumOfFolders>2"
         "</NumOfFolders><LastUpdateDate>172800</LastUpdateDate><BoxUsedDisk>"
         "321</BoxUsedDisk><PreservationPeriodFlag>1</PreservationPeriodFlag>"
         "<PreservationPeriod>30</PreservationPeriod><WarningNotice>full"
         "</WarningNotice><LastBackupDate>1767225600</LastBackupDate>" +
         std::string(extra) + "</BoxProp>";
}

TEST_F(BoxRepliesTest, BoxPropertyKeepsTheRawNameUndecoded) {
  std::string xml = Reply(kSeries, BoxProp("A&amp;B"));
  auto doc = Load(xml);
  ZBBOXPROPERTY p{};
  boxlink::ParseBoxProperty(xml, *doc, false, &p);
  EXPECT_EQ(p.BoxNo, 7u);
  EXPECT_STREQ(p.BoxName, "A&B");
  EXPECT_STREQ(p.RawBoxName, "A&amp;B");
  EXPECT_STREQ(p.BoxOwner, "admin");
  EXPECT_EQ(p.CreateDate.wDay, 2);
  EXPECT_EQ(p.LastUpdateDate.wDay, 3);
  EXPECT_EQ(p.Protected, 1u);
  EXPECT_EQ(p.NumOfDocs, 4u);
  EXPECT_EQ(p.NumOfFolders, 2u);
  EXPECT_EQ(p.BoxUsedDisk, 321u);
  EXPECT_EQ(p.PreservationPeriod, 30u);
  EXPECT_STREQ(p.WarningNotice, "full");
  EXPECT_EQ(p.LastBackupDate, 1767225600u);
}

TEST_F(BoxRepliesTest, BoxPropertyVariants) {
  {  // No period without its flag; no backup date for a classic engine.
    std::string xml = Reply(kClassic, BoxProp("x"));
    size_t flag = xml.find("<PreservationPeriodFlag>1");
    xml.replace(flag, 25, "<PreservationPeriodFlag>0");
    auto doc = Load(xml);
    ZBBOXPROPERTY p{};
    p.LastBackupDate = 5;
    boxlink::ParseBoxProperty(xml, *doc, false, &p);
    EXPECT_EQ(p.PreservationPeriod, 0u);
    EXPECT_EQ(p.LastBackupDate, 5u) << "left as the caller had it";
  }
  {  // RawBoxName stays when the raw markers are not there.
    std::string xml = Reply(kSeries, BoxProp("x"));
    auto doc = Load(xml);
    ZBBOXPROPERTY p{};
    std::strcpy(p.RawBoxName, "before");
    boxlink::ParseBoxProperty("<BoxName>never closed", *doc, false, &p);
    EXPECT_STREQ(p.RawBoxName, "before");
    boxlink::ParseBoxProperty(std::string(600, 'z') + "<BoxName>" +
                                  std::string(600, 'n') + "</BoxName>",
                              *doc, false, &p);
    EXPECT_EQ(std::strlen(p.RawBoxName), 511u);
  }
  // Each required child missing gives 11.
  for (const char* child :
       {"BoxOwner", "CreateDate", "Protected", "NumOfDocs", "NumOfFolders",
        "LastUpdateDate", "BoxUsedDisk", "PreservationPeriodFlag",
        "PreservationPeriod", "WarningNotice", "LastBackupDate"}) {
    std::string xml = Reply(kSeries, BoxProp("x"));
    std::string open = std::string("<") + child + ">";
    size_t a = xml.find(open);
    size_t b = xml.find(std::string("</") + child + ">", a);
    xml.erase(a, b - a + std::strlen(child) + 3);
    auto doc = Load(xml);
    ZBBOXPROPERTY p{};
    EXPECT_EQ(RaisedCode([&] { boxlink::ParseBoxProperty(xml, *doc, false, &p); }),
              11u)
        << child;
  }
}

std::string Folder(int id, std::string_view name) {
  return "<FolderProp FolderID=\"" + std::to_string(id) + "\"><FolderName>" +
         std::string(name) + "</FolderName><CreateDate>86400</CreateDate>"
         "<LastUpdateDate>86400</LastUpdateDate><NumOfDocs>3</NumOfDocs>"
         "</FolderProp>";
}

struct DocFields {
  int id = 1;
  int updated = 1000;
  int status = 0;
  int size = 1;
  int source = 1;
  int color = 1;
  int rotation = 0;
  int duplex = 1;
};

std::string Doc(const DocFields& f) {
  auto tag = [](std::string_view n, auto v) {
    std::string s = std::to_string(v);
    return "<" + std::string(n) + ">" + s + "</" + std::string(n) + ">";
  };
  return "<DocProp DocID=\"" + std::to_string(f.id) + "\"><DocName>doc" +
         std::to_string(f.id) + "</DocName>" + tag("CreateDate", 86400) +
         tag("LastUpdateDate", f.updated) + tag("DocStatus", f.status) +
         tag("LastAccessDate", 172800) + tag("NumOfPages", 2) +
         tag("DocSize", f.size) + tag("SourceType", f.source) +
         tag("ColorMonoMix", f.color) +
         "<ThumbnailPath>/thumb/\xC3\xA9.jpg</ThumbnailPath>" +
         tag("ThumbnailRotation", f.rotation) + tag("SResolution", 200) +
         tag("MResolution", 600) + tag("ScanDuplex", f.duplex) + "</DocProp>";
}

std::string Collection(const std::vector<std::string>& folders,
                       const std::vector<std::string>& docs) {
  std::string m = "<Folders NumOfFolders=\"" + std::to_string(folders.size()) +
                  "\">";
  for (const auto& f : folders) m += f;
  m += "</Folders><Documents NumOfDocs=\"" + std::to_string(docs.size()) +
       "\">";
  for (const auto& d : docs) m += d;
  return Reply(kSeries, m + "</Documents>");
}

TEST_F(BoxRepliesTest, CollectionPutsFoldersFirstAndMapsDocumentFields) {
  auto doc = Load(Collection({Folder(5, "F\xC3\xBC")}, {Doc({.id = 9})}));
  uint32_t count = 0;
  platform::UniqueBlock block =
      boxlink::ParseCollection(*doc, false, nullptr, &count);
  ASSERT_EQ(count, 2u);
  auto* it = static_cast<ZBCOLLECTIONITEM*>(platform::BlockLock(block.get()));
  EXPECT_EQ(it[0].ItemKind, 0u);
  EXPECT_EQ(it[0].ItemId, 5u);
  EXPECT_EQ(std::u16string(it[0].ItemName), u"F\u00FC");
  EXPECT_EQ(it[0].NumOfDocs, 3u);
  EXPECT_EQ(it[0].Ready, 0u);
  EXPECT_EQ(it[0].LastAccessDate.wYear, 0) << "folders have no access date";
  EXPECT_EQ(it[1].ItemKind, 1u);
  EXPECT_EQ(it[1].ItemId, 9u);
  EXPECT_EQ(std::u16string(it[1].ItemName), u"doc9");
  EXPECT_EQ(it[1].Ready, 1u);
  EXPECT_EQ(it[1].NumOfPages, 2u);
  EXPECT_EQ(it[1].DocSize, 1024u);
  EXPECT_EQ(it[1].LastAccessDate.wDay, 3);
  EXPECT_STREQ(it[1].ThumbnailPath, "/thumb/\xC3\xA9.jpg");
  EXPECT_EQ(it[1].HorizontalResolution, 600u);
  EXPECT_EQ(it[1].VerticalResolution, 200u);
}

TEST_F(BoxRepliesTest, DocumentValueMappings) {
  struct Case {
    DocFields f;
    uint32_t ready, size, source, color, h, v, duplex;
  } cases[] = {
      {{.status = 2}, 0, 1024, 0, 2, 600, 200, 0},
      {{.size = 4194304}, 1, 0, 0, 2, 600, 200, 0},  // wraps at 2^32
      {{.source = 2, .color = 2}, 1, 1024, 2, 1, 600, 200, 0},
      {{.source = 4, .color = 8}, 1, 1024, 3, 1, 600, 200, 0},
      {{.source = 8, .color = 4}, 1, 1024, 1, 0, 600, 200, 0},
      {{.source = 16, .color = 3}, 1, 1024, 10, 10, 600, 200, 0},
      {{.rotation = 1, .duplex = 2}, 1, 1024, 0, 2, 200, 600, 1},
      {{.rotation = 3, .duplex = 3}, 1, 1024, 0, 2, 200, 600, 2},
      {{.rotation = 2, .duplex = 7}, 1, 1024, 0, 2, 600, 200, 0},
  };
  for (const Case& c : cases) {
    auto doc = Load(Collection({}, {Doc(c.f)}));
    uint32_t count = 0;
    platform::UniqueBlock block =
        boxlink::ParseCollection(*doc, false, nullptr, &count);
    auto* d = static_cast<ZBCOLLECTIONITEM*>(platform::BlockLock(block.get()));
    SCOPED_TRACE(Doc(c.f));
    EXPECT_EQ(d->Ready, c.ready);
    EXPECT_EQ(d->DocSize, c.size);
    EXPECT_EQ(d->SourceType, c.source);
    EXPECT_EQ(d->ColorMonoMix, c.color);
    EXPECT_EQ(d->HorizontalResolution, c.h);
    EXPECT_EQ(d->VerticalResolution, c.v);
    EXPECT_EQ(d->ScanDuplex, c.duplex);
  }
}

TEST_F(BoxRepliesTest, TimeFilterDropsUnchangedDocumentsButKeepsTheRoom) {
  auto doc = Load(Collection(
      {Folder(1, "a"), Folder(2, "b")},
      {Doc({.id = 1, .updated = 500}), Doc({.id = 2, .updated = 2000}),
       Doc({.id = 3, .updated = 1000})}));
  const uint32_t since = 1000;
  uint32_t count = 0;
  platform::UniqueBlock block =
      boxlink::ParseCollection(*doc, false, &since, &count);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(platform::BlockSize(block.get()), 5 * sizeof(ZBCOLLECTIONITEM));
  auto* it = static_cast<ZBCOLLECTIONITEM*>(platform::BlockLock(block.get()));
  EXPECT_EQ(it[0].ItemKind, 0u);
  EXPECT_EQ(it[1].ItemKind, 0u);
  EXPECT_EQ(it[2].ItemKind, 1u);
  EXPECT_EQ(it[2].ItemId, 2u);
  EXPECT_EQ(it[3].ItemKind, 0u) << "unused room stays zero";

  // The comparison is unsigned: a negative date is later than any since.
  auto neg = Load(Collection({}, {Doc({.updated = -5})}));
  const uint32_t late = 0x7FFFFFFF;
  boxlink::ParseCollection(*neg, false, &late, &count);
  EXPECT_EQ(count, 1u);
}

TEST_F(BoxRepliesTest, EmptyCollectionIsAFourByteBlock) {
  auto doc = Load(Collection({}, {}));
  uint32_t count = 9;
  platform::UniqueBlock block =
      boxlink::ParseCollection(*doc, false, nullptr, &count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(platform::BlockSize(block.get()), 4u);
}

TEST_F(BoxRepliesTest, CollectionMissingPartsGive11) {
  std::string noDocs = Reply(kSeries, "<Folders NumOfFolders=\"0\"/>");
  std::string noFolders = Reply(kSeries, "<Documents NumOfDocs=\"0\"/>");
  std::string docWithoutName = Collection({}, {Doc({})});
  docWithoutName.erase(docWithoutName.find("<DocName>"),
                       std::string("<DocName>doc1</DocName>").size());
  std::string tooFew = Collection({Folder(1, "a")}, {});
  tooFew.replace(tooFew.find("NumOfFolders=\"1\""), 16, "NumOfFolders=\"2\"");
  for (const std::string& xml : {noDocs, noFolders, docWithoutName, tooFew}) {
    auto doc = Load(xml);
    uint32_t count = 0;
    EXPECT_EQ(RaisedCode([&] {
                boxlink::ParseCollection(*doc, false, nullptr, &count);
              }),
              11u)
        << xml;
  }
}

TEST_F(BoxRepliesTest, DiskSpace) {
  auto doc = Load(Reply(kSeries, "<DiskCapacity>4000</DiskCapacity>"
                                 "<DiskAvailability>1500</DiskAvailability>"));
  uint32_t cap = 0, avail = 0;
  boxlink::ParseDiskSpace(*doc, &cap, &avail);
  EXPECT_EQ(cap, 4000u);
  EXPECT_EQ(avail, 1500u);
  auto bad = Load(Reply(kSeries, "<DiskCapacity>4000</DiskCapacity>"));
  EXPECT_EQ(RaisedCode([&] { boxlink::ParseDiskSpace(*bad, &cap, &avail); }), 11u);
}

}  // namespace
