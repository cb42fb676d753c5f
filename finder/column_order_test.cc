#include "finder/column_order.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace finder {
namespace {

constexpr char kBase[] = "Software\\TALLIS\\Corvane TALLIS Client";

class ColumnOrderTest : public ::testing::Test {
 protected:
  ColumnOrderTest() : use_(&env_) {}
  ColumnOrderStore Store() { return ColumnOrderStore(kBase, env_.root()); }
  void StoreValue(const char* text) {
    env_.registry().SetValue(platform::RegRoot::kCurrentUser, Store().key(),
                             "ColumnOrder", platform::RegValue::String(text));
  }
  void StoreFile(const std::string& text) {
    platform::WriteTestFile(Store().file(), text);
  }
  platform::FakeEnv env_;
  platform::ScopedEnv use_;
};

TEST_F(ColumnOrderTest, StoredValue) {
  struct Case {
    const char* text;
    ColumnOrder order;
  } cases[] = {
      {"01234", {0, 1, 2, 3, 4}},  // the leading zero is column 0
      {"10234", {1, 0, 2, 3, 4}},
      {"30124", {3, 0, 1, 2, 4}},  // the location first
      // Broken values give the default order.
      {"1234", {0, 1, 2, 3, 4}},
      {"11234", {0, 1, 2, 3, 4}},
      {"01235", {0, 1, 2, 3, 4}},
      {"0123x", {0, 1, 2, 3, 4}},
      {"", {0, 1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    StoreValue(c.text);
    EXPECT_EQ(Store().Read(), c.order) << c.text;
  }
}

TEST_F(ColumnOrderTest, FallbackFile) {
  EXPECT_EQ(Store().Read(), kDefaultColumnOrder);  // neither value nor file
  struct Case {
    const char* file;
    ColumnOrder order;
  } cases[] = {
      {"[LDTabOrder]\nTAB1=MODEL\nTAB2=MFPNAME\nTAB3=IPADDRESS\nTAB4=SNMPVERSION\n"
       "TAB5=LOCATION\n",
       {4, 0, 1, 2, 3}},
      // A key that names no column spoils the whole file.
      {"[LDTabOrder]\nTAB1=MODEL\nTAB2=MFPNAME\nTAB3=PRINTER\nTAB4=SNMPVERSION\n"
       "TAB5=LOCATION\n",
       {0, 1, 2, 3, 4}},
      // Keys left out: the other columns follow in their order.
      {"[LDTabOrder]\nTAB1=LOCATION\n", {3, 0, 1, 2, 4}},
      // A column named twice.
      {"[LDTabOrder]\nTAB1=MODEL\nTAB2=MODEL\n", {0, 1, 2, 3, 4}},
      {"[Other]\nTAB1=MODEL\n", {0, 1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    StoreFile(c.file);
    EXPECT_EQ(Store().Read(), c.order) << c.file;
  }
  // The registry value wins over the file.
  StoreFile("[LDTabOrder]\nTAB1=MODEL\n");
  StoreValue("10234");
  EXPECT_EQ(Store().Read(), (ColumnOrder{1, 0, 2, 3, 4}));
}

TEST_F(ColumnOrderTest, WriteCreatesTheKey) {
  ASSERT_TRUE(Store().Write({2, 1, 0, 3, 4}));
  EXPECT_EQ(env_.registry().GetValue(platform::RegRoot::kCurrentUser,
                                     std::string(kBase) + "\\LDTabOrder", "ColumnOrder"),
            platform::RegValue::String("21034"));
  EXPECT_EQ(Store().Read(), (ColumnOrder{2, 1, 0, 3, 4}));
  EXPECT_FALSE(Store().Write({0, 0, 1, 2, 3}));
  EXPECT_EQ(ColumnOfKey("LOCATION", false), 2);
  EXPECT_EQ(ColumnOfKey("MODEL", false), 3);
  EXPECT_FALSE(ColumnOfKey("SNMPVERSION", false));
}

}  // namespace
}  // namespace finder
