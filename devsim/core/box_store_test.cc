#include "devsim/core/box_store.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "platform/testing/temp_dir.h"
#include "platform/text.h"

namespace devsim {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(std::string_view b) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : b) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// ---- fixed byte places ---------------------------------------------------

TEST(ItemFile, BytePlacesMatchAHandBuiltFile) {
  ItemFile item;
  item.own_name = "D0000005";
  item.display_name = u"A\u00e9\U0001D11E";  // A, e-acute, a surrogate pair
  item.last_access = 0x5F5E1234;
  item.create_date = 0x01020304;
  std::string b = EncodeItemFile(item);
  ASSERT_EQ(b.size(), kItemFileSize);
  EXPECT_EQ(b.substr(0, 8), "D0000005");
  EXPECT_EQ(b[8], '\0');
  // UTF-16LE from byte 9: 41 00, e9 00, 34 d8 1e dd, then zeros.
  EXPECT_EQ(Hex(b.substr(9, 10)), "4100e90034d81edd0000");
  EXPECT_EQ(b.substr(19, 148 - 19), std::string(148 - 19, '\0'));
  EXPECT_EQ(Hex(b.substr(148, 4)), "5f5e1234");  // big-endian
  EXPECT_EQ(Hex(b.substr(152, 4)), "01020304");

  auto back = DecodeItemFile(b);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->own_name, "D0000005");
  EXPECT_EQ(back->display_name, item.display_name);
  EXPECT_EQ(back->last_access, 0x5F5E1234u);
  EXPECT_EQ(back->create_date, 0x01020304u);
}

TEST(ItemFile, NameFillsAtMost128BytesWithoutSplittingAPair) {
  ItemFile item;
  item.own_name = "F0000001";
  item.display_name = std::u16string(63, u'x') + u"\U0001D11E";  // pair at units 63-64
  std::string b = EncodeItemFile(item);
  auto back = DecodeItemFile(b);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->display_name, std::u16string(63, u'x'));
  item.display_name = std::u16string(64, u'y');  // exactly 128 bytes, no terminator
  back = DecodeItemFile(EncodeItemFile(item));
  EXPECT_EQ(back->display_name, std::u16string(64, u'y'));
  EXPECT_EQ(Hex(EncodeItemFile(item).substr(137, 11)), std::string(22, '0'));
}

TEST(ItemFile, ShortFilesAreRefusedAndClientWrittenOnesRead) {
  EXPECT_FALSE(DecodeItemFile(std::string(151, '\0')));
  // What a restoring client writes: 146 bytes of name and zeros, then the
  // big-endian time; nothing after it.
  std::string b(152, '\0');
  b.replace(0, 8, "D0000002");
  b[9] = 'Q';
  b[148] = 0x00; b[149] = 0x00; b[150] = 0x01; b[151] = 0x00;
  auto item = DecodeItemFile(b);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->display_name, u"Q");
  EXPECT_EQ(item->last_access, 256u);
  EXPECT_EQ(item->pages, 0u);
}

TEST(BoxDescriptor, BytePlaces) {
  BoxInfo box;
  box.number = 7;
  box.name = "Büro";
  box.owner = "alice";
  box.password = "1234";
  box.create_date = 0x11223344;
  box.last_backup_date = 0xA0B0C0D0;
  box.preservation = true;
  box.preserve_days = -1;
  std::string b = EncodeBoxDescriptor(box);
  ASSERT_EQ(b.size(), kBoxDescriptorSize);
  EXPECT_EQ(b.substr(0, 4), std::string("007\0", 4));
  EXPECT_EQ(Hex(b.substr(9, 10)), "4200fc0072006f000000");  // B u-uml r o, then 0
  EXPECT_EQ(b.substr(73, 6), std::string("alice\0", 6));
  EXPECT_EQ(b.substr(585, 5), std::string("1234\0", 5));
  EXPECT_EQ(Hex(b.substr(716, 4)), "11223344");
  EXPECT_EQ(Hex(b.substr(728, 4)), "a0b0c0d0");
  EXPECT_EQ(Hex(b.substr(732, 4)), "0001ffff");
  auto back = DecodeBoxDescriptor(b);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->number, 7u);
  EXPECT_EQ(back->name, "Büro");
  EXPECT_EQ(back->password, "1234");
  EXPECT_EQ(back->last_backup_date, 0xA0B0C0D0u);
  EXPECT_EQ(back->preserve_days, -1);
  EXPECT_TRUE(back->preservation);
}

// ---- paths ---------------------------------------------------------------

TEST(BoxStorePaths, EachLayoutPutsBoxesWhereClientsLook) {
  struct Case {
    Layout layout;
    uint32_t box;
    const char* box_dir;
    const char* property_file;
    const char* database;
  };
  const Case cases[] = {
      {Layout::kShared, 7, "/SHR/BOX/DATA/B0000007", "/SHR/BOX/DATABASE/B0000007.XML",
       "/SHR/BOX/DATABASE"},
      {Layout::kClassic, 123, "/BOX/DATA/B0000123", "/BOX/DATABASE/B0000123.XML",
       "/BOX/DATABASE"},
      {Layout::kStorage, 7, "/storage/box/TarnBoxes/007",
       "/storage/box/TarnBoxes/007/boxproperties.xml", ""},
      {Layout::kStorage, 0, "/storage/box/TarnBoxes/000",
       "/storage/box/TarnBoxes/000/boxproperties.xml", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(LayoutName(c.layout)) + " " + std::to_string(c.box));
    BoxStore store("/srv/dev", c.layout);
    EXPECT_EQ(store.DevicePath(store.BoxDir(c.box)), c.box_dir);
    EXPECT_EQ(store.DevicePath(store.BoxPropertyFile(c.box)), c.property_file);
    EXPECT_EQ(store.DatabaseDir().empty() ? "" : store.DevicePath(store.DatabaseDir()),
              std::string(c.database));
  }
  EXPECT_EQ(BoxStore::ItemFolderName(ItemKind::kDocument, 5), "D0000005");
  EXPECT_EQ(BoxStore::ItemFolderName(ItemKind::kFolder, 12), "F0000012");
}

// ---- boxes, items, pages, per layout ---------------------------------------

class BoxStoreTest : public ::testing::TestWithParam<Layout> {
 protected:
  BoxStoreTest() : store_(fs::path(dir_.path()) / "store", GetParam()) {
    std::string error;
    EXPECT_TRUE(store_.Init(&error)) << error;
  }
  BoxInfo MakeBox(uint32_t n) {
    BoxInfo b;
    b.number = n;
    b.name = "日本語 Box";
    b.owner = "bob";
    b.password = n % 2 ? "0042" : "";
    b.create_date = 1700000000;
    b.last_backup_date = 1700000500;
    return b;
  }
  platform::ScopedTempDir dir_;
  BoxStore store_;
  std::string error_;
};

TEST_P(BoxStoreTest, BoxesRoundTripAndList) {
  ASSERT_TRUE(store_.CreateBox(MakeBox(3), &error_)) << error_;
  ASSERT_TRUE(store_.CreateBox(MakeBox(1), &error_)) << error_;
  EXPECT_FALSE(store_.CreateBox(MakeBox(1), &error_));  // exists
  auto boxes = store_.ListBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].number, 1u);
  EXPECT_EQ(boxes[1].number, 3u);
  EXPECT_EQ(boxes[0].name, "日本語 Box");
  EXPECT_EQ(boxes[0].owner, "bob");
  EXPECT_EQ(boxes[0].password, "0042");
  EXPECT_EQ(boxes[0].last_backup_date, 1700000500u);
  EXPECT_EQ(boxes[0].num_documents, 0u);

  BoxInfo changed = *store_.GetBox(3);
  changed.last_backup_date = 1800000000;
  ASSERT_TRUE(store_.UpdateBox(changed, &error_)) << error_;
  EXPECT_EQ(store_.GetBox(3)->last_backup_date, 1800000000u);
  EXPECT_FALSE(store_.UpdateBox(MakeBox(9), &error_));

  ASSERT_TRUE(store_.DeleteBox(1, &error_)) << error_;
  EXPECT_FALSE(store_.GetBox(1));
  EXPECT_FALSE(store_.DeleteBox(1, &error_));
  EXPECT_EQ(store_.ListBoxes().size(), 1u);
}

TEST_P(BoxStoreTest, ItemsPagesAndDates) {
  ASSERT_TRUE(store_.CreateBox(MakeBox(5), &error_)) << error_;
  auto top = store_.CreateDocument(5, 0, "Résumé", {"page one", "page two!"}, 1700001000,
                                   &error_);
  ASSERT_TRUE(top) << error_;
  EXPECT_EQ(top->pages, 2u);
  EXPECT_EQ(top->size, 17u);
  auto folder = store_.CreateFolder(5, "Ελληνικά", 1700002000, &error_);
  ASSERT_TRUE(folder) << error_;
  auto inner = store_.CreateDocument(5, folder->number, "𝄞 Musik", {"x"}, 1700003000, &error_);
  ASSERT_TRUE(inner) << error_;
  EXPECT_EQ(inner->folder, folder->number);

  auto items = store_.ListItems(5);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].kind, ItemKind::kFolder);  // folders first
  EXPECT_EQ(items[0].name, "Ελληνικά");
  EXPECT_EQ(items[0].num_documents, 1u);
  EXPECT_EQ(items[1].name, "Résumé");
  EXPECT_EQ(items[1].create_date, 1700001000u);
  auto in_folder = store_.ListItems(5, folder->number);
  ASSERT_EQ(in_folder.size(), 1u);
  EXPECT_EQ(in_folder[0].name, "𝄞 Musik");
  EXPECT_TRUE(store_.ListItems(5, 99).empty());
  EXPECT_EQ(store_.GetBox(5)->num_documents, 2u);
  EXPECT_EQ(store_.GetBox(5)->num_folders, 1u);

  EXPECT_EQ(store_.ReadPage(*top, 2), "page two!");
  EXPECT_FALSE(store_.ReadPage(*top, 3));
  EXPECT_FALSE(store_.ReadPage(*top, 0));
  ASSERT_TRUE(store_.WritePage(*top, 3, "three", 1700009000, &error_)) << error_;
  ASSERT_TRUE(store_.WritePage(*top, 1, "1", 1700009000, &error_)) << error_;
  EXPECT_FALSE(store_.WritePage(*top, 5, "gap", 1700009000, &error_));
  auto again = store_.GetItem(5, 0, ItemKind::kDocument, top->number);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->pages, 3u);
  EXPECT_EQ(again->size, 1u + 9u + 5u);
  EXPECT_EQ(again->last_update_date, 1700009000u);
  EXPECT_EQ(store_.ReadPage(*again, 1), "1");

  ASSERT_TRUE(store_.SetLastAccess(*again, 0x61626364, &error_)) << error_;
  EXPECT_EQ(store_.GetItem(5, 0, ItemKind::kDocument, top->number)->last_access_date,
            0x61626364u);
  if (GetParam() == Layout::kStorage) {
    EXPECT_EQ(ReadPropertyElement(again->property_file, "lastAccessDate"), "1633837924");
    EXPECT_EQ(ReadPropertyElement(again->property_file, "documentName"), "Résumé");
    EXPECT_EQ(ReadPropertyElement(folder->property_file, "folderName"), "Ελληνικά");
    EXPECT_EQ(again->dir.filename().string(), "Résumé");  // named by its name
  } else {
    std::string file = Slurp(again->property_file);
    EXPECT_EQ(file.substr(148, 4), "abcd");
    EXPECT_EQ(file.substr(0, 8), again->dir.filename().string());
    EXPECT_EQ(platform::Utf16ToUtf8(DecodeItemFile(file)->display_name), "Résumé");
  }

  ASSERT_TRUE(store_.DeleteItem(5, 0, ItemKind::kFolder, folder->number, &error_)) << error_;
  EXPECT_FALSE(fs::exists(folder->dir));
  EXPECT_EQ(store_.ListItems(5).size(), 1u);
  EXPECT_FALSE(store_.DeleteItem(5, 0, ItemKind::kFolder, folder->number, &error_));
  EXPECT_GT(store_.UsedBytes(), 0u);
}

TEST_P(BoxStoreTest, BadNamesAndMissingContainersAreRefused) {
  ASSERT_TRUE(store_.CreateBox(MakeBox(2), &error_)) << error_;
  EXPECT_FALSE(store_.CreateDocument(4, 0, "doc", {}, 1, &error_));   // no box
  EXPECT_FALSE(store_.CreateDocument(2, 7, "doc", {}, 1, &error_));   // no folder
  EXPECT_FALSE(store_.CreateDocument(2, 0, "", {}, 1, &error_));
  EXPECT_FALSE(store_.CreateFolder(9, "f", 1, &error_));
  if (GetParam() == Layout::kStorage) {
    EXPECT_FALSE(store_.CreateDocument(2, 0, "a/b", {}, 1, &error_));
    EXPECT_FALSE(store_.CreateDocument(2, 0, "..", {}, 1, &error_));
    ASSERT_TRUE(store_.CreateDocument(2, 0, "same", {}, 1, &error_));
    EXPECT_FALSE(store_.CreateFolder(2, "same", 1, &error_));  // one folder per name
  } else {
    EXPECT_FALSE(store_.CreateDocument(2, 0, std::string(65, 'n'), {}, 1, &error_));
    EXPECT_TRUE(store_.CreateDocument(2, 0, std::string(64, 'n'), {}, 1, &error_));
    BoxInfo longname = MakeBox(8);
    longname.name = std::string(32, 'b');
    EXPECT_FALSE(store_.CreateBox(longname, &error_));
  }
}

TEST_P(BoxStoreTest, NumbersFollowTheLayoutsRule) {
  ASSERT_TRUE(store_.CreateBox(MakeBox(1), &error_)) << error_;
  ASSERT_TRUE(store_.CreateDocument(1, 0, "b", {}, 1, &error_));
  ASSERT_TRUE(store_.CreateDocument(1, 0, "a", {}, 1, &error_));
  auto items = store_.ListItems(1);
  ASSERT_EQ(items.size(), 2u);
  if (GetParam() == Layout::kStorage) {
    // By name: "a" is 1 although it came second.
    EXPECT_EQ(items[0].name, "a");
    EXPECT_EQ(items[0].number, 1u);
  } else {
    // By creation: D0000001 is "b", D0000002 is "a".
    EXPECT_EQ(items[0].name, "b");
    EXPECT_EQ(items[1].dir.filename(), "D0000002");
    ASSERT_TRUE(store_.DeleteItem(1, 0, ItemKind::kDocument, 1, &error_));
    auto c = store_.CreateDocument(1, 0, "c", {}, 1, &error_);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->number, 3u);  // numbers are not reused while a higher one lives
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, BoxStoreTest,
                         ::testing::Values(Layout::kShared, Layout::kClassic, Layout::kStorage),
                         [](const auto& info) { return std::string(LayoutName(info.param)); });

// ---- property files ------------------------------------------------------

TEST(PropertyFile, ElementsAreReadAndWrittenInPlace) {
  platform::ScopedTempDir dir;
  std::string file = dir.Sub("documentproperties.xml");
  platform::WriteTestFile(file,
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<BoxDocument><documentName>Straße</documentName>"
                          "<totalPages>3</totalPages></BoxDocument>");
  EXPECT_EQ(ReadPropertyElement(file, "documentName"), "Straße");
  EXPECT_FALSE(ReadPropertyElement(file, "lastAccessDate"));
  std::string error;
  ASSERT_TRUE(WritePropertyElement(file, "lastAccessDate", "1700000000", &error)) << error;
  ASSERT_TRUE(WritePropertyElement(file, "documentName", "Neu-001", &error)) << error;
  EXPECT_EQ(ReadPropertyElement(file, "lastAccessDate"), "1700000000");
  EXPECT_EQ(ReadPropertyElement(file, "documentName"), "Neu-001");
  EXPECT_EQ(ReadPropertyElement(file, "totalPages"), "3");
  platform::WriteTestFile(file, "not xml");
  EXPECT_FALSE(WritePropertyElement(file, "documentName", "x", &error));
  EXPECT_FALSE(ReadPropertyElement(dir.Sub("missing.xml"), "documentName"));
}

// ---- populate --------------------------------------------------------------

std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = e.path().lexically_relative(root).generic_string();
    files[rel] = e.is_regular_file() ? Slurp(e.path()) : "<dir>";
  }
  return files;
}

class PopulateTest : public ::testing::TestWithParam<Layout> {
 protected:
  platform::ScopedTempDir dir_;
};

TEST_P(PopulateTest, SameSeedSameTreeOtherSeedOtherTree) {
  PopulateOptions o;
  o.seed = 42;
  o.page_bytes = 300;
  BoxStore a(dir_.Sub("a"), GetParam()), b(dir_.Sub("b"), GetParam()), c(dir_.Sub("c"), GetParam());
  std::string error;
  ASSERT_TRUE(Populate(a, o, &error)) << error;
  ASSERT_TRUE(Populate(b, o, &error)) << error;
  o.seed = 43;
  ASSERT_TRUE(Populate(c, o, &error)) << error;
  auto ta = Tree(a.root());
  EXPECT_EQ(ta, Tree(b.root()));
  EXPECT_NE(ta, Tree(c.root()));
  // Populating again replaces rather than adds.
  o.seed = 42;
  ASSERT_TRUE(Populate(a, o, &error)) << error;
  EXPECT_EQ(Tree(a.root()), ta);
}

TEST_P(PopulateTest, CountsNamesAndPages) {
  PopulateOptions o;
  o.boxes = 2;
  o.folders = 2;
  o.documents = 3;
  o.pages = 2;
  o.page_bytes = 100;
  o.first_box = 0;
  BoxStore store(dir_.Sub("s"), GetParam());
  std::string error;
  ASSERT_TRUE(Populate(store, o, &error)) << error;
  auto boxes = store.ListBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].number, 0u);
  EXPECT_EQ(boxes[1].number, 1u);
  EXPECT_TRUE(boxes[0].password.empty());
  EXPECT_FALSE(boxes[1].password.empty());
  EXPECT_EQ(boxes[0].last_backup_date, 0u);
  EXPECT_NE(boxes[1].last_backup_date, 0u);
  bool non_ascii = false;
  auto note = [&](const std::string& s) {
    for (unsigned char ch : s) non_ascii |= ch >= 0x80;
  };
  for (const BoxInfo& box : boxes) {
    note(box.name);
    EXPECT_EQ(box.num_folders, 2u);
    EXPECT_EQ(box.num_documents, 3u + 2u * 3u);
    for (const ItemInfo& item : store.ListItems(box.number)) {
      note(item.name);
      if (item.kind == ItemKind::kFolder) {
        ASSERT_EQ(store.ListItems(box.number, item.number).size(), 3u);
        continue;
      }
      EXPECT_EQ(item.pages, 2u);
      EXPECT_EQ(item.size, 200u);
      EXPECT_GT(item.last_access_date, item.create_date);
      auto page = store.ReadPage(item, 1);
      ASSERT_TRUE(page);
      EXPECT_EQ(page->rfind("PAGE box=", 0), 0u);
    }
  }
  EXPECT_TRUE(non_ascii);

  o.non_ascii = false;
  BoxStore ascii(dir_.Sub("ascii"), GetParam());
  ASSERT_TRUE(Populate(ascii, o, &error)) << error;
  for (const BoxInfo& box : ascii.ListBoxes())
    for (const ItemInfo& item : ascii.ListItems(box.number))
      for (unsigned char ch : item.name + box.name) EXPECT_LT(ch, 0x80) << item.name;
}

INSTANTIATE_TEST_SUITE_P(Layouts, PopulateTest,
                         ::testing::Values(Layout::kShared, Layout::kClassic, Layout::kStorage),
                         [](const auto& info) { return std::string(LayoutName(info.param)); });

TEST(PopulateLayout, SharedTreeOnDisk) {
  platform::ScopedTempDir dir;
  BoxStore store(dir.path(), Layout::kShared);
  PopulateOptions o;
  o.boxes = 1;
  o.folders = 1;
  o.documents = 1;
  o.pages = 1;
  Populate(store, o);
  fs::path box = fs::path(dir.path()) / "SHR/BOX/DATA/B0000001/P0000001";
  EXPECT_TRUE(fs::is_directory(box / "D0000001"));
  EXPECT_EQ(fs::file_size(box / "D0000001.XML"), kItemFileSize);
  EXPECT_TRUE(fs::is_regular_file(box / "D0000001/PAGE001.IMG"));
  EXPECT_TRUE(fs::is_regular_file(box / "F0000001.XML"));
  EXPECT_TRUE(fs::is_regular_file(box / "F0000001/D0000001.XML"));
  EXPECT_EQ(fs::file_size(fs::path(dir.path()) / "SHR/BOX/DATABASE/B0000001.XML"),
            kBoxDescriptorSize);
}

TEST(PopulateLayout, StorageTreeOnDisk) {
  platform::ScopedTempDir dir;
  BoxStore store(dir.path(), Layout::kStorage);
  PopulateOptions o;
  o.boxes = 1;
  o.folders = 1;
  o.documents = 1;
  o.pages = 1;
  o.non_ascii = false;
  Populate(store, o);
  fs::path box = fs::path(dir.path()) / "storage/box/TarnBoxes/001";
  EXPECT_TRUE(fs::is_regular_file(box / "boxproperties.xml"));
  EXPECT_EQ(ReadPropertyElement(box / "boxproperties.xml", "documentType"), "TarnBox");
  auto items = store.ListItems(1);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(fs::is_regular_file(items[0].dir / "folderproperties.xml"));
  EXPECT_TRUE(fs::is_regular_file(items[0].dir / "ready.sts"));
  EXPECT_TRUE(fs::is_regular_file(items[1].dir / "documentproperties.xml"));
  EXPECT_TRUE(fs::is_regular_file(items[1].dir / "Image/page_001.bin"));
  EXPECT_EQ(ReadPropertyElement(items[1].dir / "documentproperties.xml", "totalPages"), "1");
}

}  // namespace
}  // namespace devsim
