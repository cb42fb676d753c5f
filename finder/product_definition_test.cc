#include "finder/product_definition.h"

#include <gtest/gtest.h>

#include "platform/testing/temp_dir.h"

namespace finder {
namespace {

constexpr char kNewXml[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<mdiscovery>
  <module Key="ZELT">
    <GENERICRESIDS>
      <x ID="SNMPCOMMNAME" Val="1"/>
      <y ID="BLOWFISH" Val=" 224abc"/>
    </GENERICRESIDS>
    <TYPEx32bit><LangDLLPath32>finderlang</LangDLLPath32></TYPEx32bit>
    <Products>
      <p Key="B" ID="1.3.6.1.4.1.58231.2.3.43" ModelType="22" DriverTypes="a:b:c"
         SupportedDriversResIDs="7" Enabled="true" DefChecked="TRUE"
         Checked="True" Found="no" Priority="1" Family="2">
        <SpecificResIDs>
          <r ID="FIND" Val="Varda Ünï" FindPrefix="1" SeriesSuffix="0"/>
        </SpecificResIDs>
      </p>
      <p Key="A" ID="1.3.6.1.4.1.58231.2.3.14.1" Enabled="TRUE" Checked="TRUE"
         Priority="0" DriverTypes=""/>
    </Products>
    <Checks><c ID="SNMP" Val="v1:v2:v3"/><c ID="IPX" Val="NO"/></Checks>
  </module>
</mdiscovery>)";

constexpr char kOldXml[] = R"(<DISCOVERY><Module Key="PD">
  <Products><P Key="K" ID="1.2" Enabled="TRUE" Checked="FALSE">
    <SpecificResIDs><r ID="HELP" Val="172" FindPrefix="1"/></SpecificResIDs>
  </P></Products></Module></DISCOVERY>)";

class ProductDefinitionTest : public ::testing::Test {
 protected:
  std::string Write(std::string_view name, std::string_view content) {
    std::string path = dir_.Sub(name);
    platform::WriteTestFile(path, content);
    return path;
  }
  platform::ScopedTempDir dir_;
};

TEST_F(ProductDefinitionTest, XmlNewFormatFillsTheModel) {
  CDiscoveryModule m;
  std::string message;
  ASSERT_TRUE(m.LoadXml(Write("d.xml", kNewXml), &message)) << message;
  EXPECT_TRUE(m.new_format());
  EXPECT_EQ(m.module_type(), "ZELT");
  EXPECT_EQ(m.language_library(), "finderlang");
  EXPECT_EQ(m.generic().ResourceId("SNMPCOMMNAME"), 1);
  EXPECT_EQ(m.generic().ResourceId("BLOWFISH"), 224);  // leading number only
  EXPECT_EQ(m.generic().ResourceId("snmpcommname"), -1);  // case-sensitive
  EXPECT_EQ(m.generic().ResourceId("DISCOVERY_REG_BASE"), -1);
  EXPECT_TRUE(m.DeclaresSnmpV3());
  EXPECT_TRUE(m.DeclaresCommunityName());
  EXPECT_EQ(m.checks().Value("IPX"), "NO");
  EXPECT_EQ(m.checks().Value("OSVERSION"), "");
  ASSERT_EQ(m.products().count(), 2u);
  const COID* b = m.products().ById("1.3.6.1.4.1.58231.2.3.43");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->key, "B");
  EXPECT_EQ(b->model_type, 22);
  EXPECT_EQ(b->driver_types, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(b->supported_drivers_res_ids, (std::vector<std::string>{"7"}));
  EXPECT_TRUE(b->enabled && b->def_checked && b->checked);
  EXPECT_FALSE(b->found);
  EXPECT_EQ(b->priority, 1);
  EXPECT_EQ(b->family, 2);
  const FindEntry* find = b->specific.Find("FIND");
  ASSERT_NE(find, nullptr);
  EXPECT_EQ(*find, (FindEntry{"1", "0", "Varda Ünï"}));
  EXPECT_TRUE(b->specific.ids().empty());
  // Key order: A before B.
  auto list = m.products().List();
  EXPECT_EQ(list[0]->key, "A");
  EXPECT_TRUE(list[0]->driver_types.empty());
}

TEST_F(ProductDefinitionTest, XmlOldFormatKeepsIntegerResources) {
  CDiscoveryModule m;
  std::string message;
  ASSERT_TRUE(m.LoadXml(Write("d.xml", kOldXml), &message));
  EXPECT_FALSE(m.new_format());
  EXPECT_EQ(m.module_type(), "PD");
  const COID* p = m.products().ById("1.2");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->specific.ResourceId("HELP"), 172);
  EXPECT_EQ(p->specific.Find("HELP"), nullptr);
  EXPECT_FALSE(m.DeclaresSnmpV3());  // no "SNMP" check
  EXPECT_FALSE(m.DeclaresCommunityName());
}

TEST_F(ProductDefinitionTest, XmlFailuresNameTheirStep) {
  struct Case {
    const char* content;
    const char* message;
  } cases[] = {
      {"<MDISCOVERY><Module>", kXmlLoadFailed},           // not well formed
      {"<OTHER><Module Key='Z'/></OTHER>", kXmlDataFailed},  // wrong root
      {"<DISCOVERY><Modul Key='Z'/></DISCOVERY>", kXmlDataFailed},
  };
  for (const Case& c : cases) {
    CDiscoveryModule m;
    std::string message;
    EXPECT_FALSE(m.LoadXml(Write("bad.xml", c.content), &message)) << c.content;
    EXPECT_EQ(message, c.message) << c.content;
  }
  CDiscoveryModule m;
  std::string message;
  EXPECT_FALSE(m.LoadXml(dir_.Sub("missing.xml"), &message));
  EXPECT_EQ(message, kXmlLoadFailed);
}

TEST_F(ProductDefinitionTest, XmlToArchiveToModelRoundTrips) {
  for (const char* xml : {kNewXml, kOldXml}) {
    CDiscoveryModule from_xml;
    std::string message;
    ASSERT_TRUE(from_xml.LoadXml(Write("d.xml", xml), &message));
    from_xml.set_second_text("kept, unused");
    std::string bin = dir_.Sub("d.bin");
    ASSERT_TRUE(from_xml.SaveArchive(bin));
    CDiscoveryModule from_archive;
    ASSERT_TRUE(from_archive.LoadArchive(bin));
    EXPECT_EQ(from_archive, from_xml);
    EXPECT_EQ(from_archive.StoreArchive(), from_xml.StoreArchive());
  }
}

TEST_F(ProductDefinitionTest, ArchiveEncodingIsTheDocumentedOne) {
  CDiscoveryModule m;
  m.set_module_type("Z");
  m.mutable_generic().Set("A", 0x01020304);
  m.mutable_checks().Set("S", "v");
  const std::string expected(
      "\x01\x00Z\x00"            // plain text: count 1, "Z"
      "\x00\x00"                 // language library
      "\x00\x00"                 // second text
      "\x01\x00"                 // one generic id
      "\xFF\xFE\xFF\x01" "A\x00" // map text "A"
      "\x04\x03\x02\x01"         // its value
      "\x00\x00\x00\x00"         // no products
      "\x01\x00"                 // one check
      "\xFF\xFE\xFF\x01S\x00\xFF\xFE\xFF\x01v\x00",
      38);
  EXPECT_EQ(m.StoreArchive(), expected);

  // Long map texts take the wider lengths; non-BMP characters survive.
  CDiscoveryModule wide;
  wide.set_new_format(true);
  wide.set_module_type("ZELT");
  wide.mutable_checks().Set(std::string(300, 'n'), "\xF0\x9F\x93\xA0");
  wide.mutable_checks().Set("x", std::string(70000, 'v'));
  CDiscoveryModule back;
  ASSERT_TRUE(back.ReadArchive(wide.StoreArchive()));
  EXPECT_EQ(back, wide);
}

TEST_F(ProductDefinitionTest, DamagedArchivesAreRefused) {
  CDiscoveryModule good;
  std::string message;
  ASSERT_TRUE(good.LoadXml(Write("d.xml", kNewXml), &message));
  const std::string bytes = good.StoreArchive();
  // Every truncation fails; so do a lone surrogate and a huge count.
  for (size_t n = 0; n < bytes.size(); ++n) {
    CDiscoveryModule m;
    EXPECT_FALSE(m.ReadArchive(std::string_view(bytes).substr(0, n))) << n;
  }
  CDiscoveryModule m;
  EXPECT_FALSE(m.ReadArchive(std::string("\x01\x00\x00\xD8", 4)));
  EXPECT_FALSE(m.ReadArchive(std::string("\xFF\xFF\xFF\xFF\xFF\x7F", 6)));
  EXPECT_FALSE(m.LoadArchive(dir_.Sub("missing.bin")));
}

TEST(ProductsTest, LookUpBySysObjectId) {
  CProducts products;
  auto add = [&](std::string key, std::string id, bool enabled, bool checked,
                 int priority) {
    COID p;
    p.key = std::move(key);
    p.id = std::move(id);
    p.enabled = enabled;
    p.checked = checked;
    p.priority = priority;
    p.found = true;
    products.Add(std::move(p));
  };
  add("A", "1.3.6.1.4.1.58231.2.3.99", true, true, 3);
  add("B", "1.3.6.1.4.1.58231.2.3.43", true, false, 0);  // not checked
  add("C", "1.3.6.1.4.1.58231.2.3.43", true, true, 1);
  add("D", "1.3.6.1.4.1.58231.2.3.14", true, true, 2);

  COID* hit = products.ForSysObjectId("1.3.6.1.4.1.58231.2.3.43.1");
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->key, "C");  // B matches but is not checked
  EXPECT_FALSE(products.ByKey("A")->found);  // considered, no match
  EXPECT_TRUE(products.ByKey("B")->found);   // not considered
  EXPECT_TRUE(products.ByKey("D")->found);   // after the hit
  EXPECT_EQ(products.ForSysObjectId("1.3.6.1.4.1.8072.3.2.10"), nullptr);
  EXPECT_FALSE(products.ByKey("D")->found);

  // Primary: the first enabled entry of priority 0 (B, though unchecked).
  ASSERT_NE(products.Primary(), nullptr);
  EXPECT_EQ(products.Primary()->key, "B");
  products.ByKey("B")->enabled = false;
  EXPECT_EQ(products.Primary()->key, "D");  // none: the last entry
  EXPECT_EQ(CProducts().Primary(), nullptr);

  EXPECT_TRUE(products.AnyEnabledAndChecked());
  products.ClearFound();
  EXPECT_FALSE(products.AnyEnabledCheckedAndFound());
  products.ByKey("C")->found = true;
  EXPECT_TRUE(products.AnyEnabledCheckedAndFound());
}

}  // namespace
}  // namespace finder
