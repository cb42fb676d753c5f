#include "keeper/cli/discover.h"

#include <gtest/gtest.h>

#include "desktop/testing/map_texts.h"

namespace keeper::cli {
namespace {

TEST(DiscoverArgsTest, Accepted) {
  std::string error;
  auto o = ParseDiscoverArgs({}, &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->mode, 1u);
  EXPECT_FALSE(o->snmp_given);  // the stored SNMP settings apply
  EXPECT_FALSE(o->range);
  EXPECT_EQ(o->timeout_seconds, 15);

  o = ParseDiscoverArgs({"--snmpv3-id", "a.id"}, &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->mode, 13u);  // an ID file alone asks for both versions
  EXPECT_TRUE(o->snmp_given);

  o = ParseDiscoverArgs({"--mode", "3", "--snmpv3-id", "a.id", "--range",
                         "10.0.0.1-10.0.0.9", "--timeout", "3", "--json",
                         "--community", "lab"},
                        &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->mode, 3u);
  EXPECT_EQ(o->range->from, 0x0A000001u);
  EXPECT_EQ(o->range->to, 0x0A000009u);
  EXPECT_EQ(o->timeout_seconds, 3);
  EXPECT_TRUE(o->json);
  EXPECT_EQ(o->community, "lab");
}

TEST(DiscoverArgsTest, Refused) {
  const std::vector<std::vector<std::string>> cases = {
      {"--mode", "2"},
      {"--mode", "3"},  // no ID file
      {"--range", "10.0.0.9-10.0.0.1"},
      {"--range", "10.0.0.1"},
      {"--timeout", "2"},
      {"--timeout", "31"},
      {"--timeout", "5s"},
      {"--community", ""},
      {"--community"},
      {"--frobnicate"},
  };
  for (const auto& args : cases) {
    std::string error;
    EXPECT_FALSE(ParseDiscoverArgs(args, &error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

TEST(DiscoverOutputTest, LinesAndJson) {
  // The SNMPv3 label is finderlang's text 193.
  const desktop::MapTexts texts({{193, "V3"}});
  finder::DeviceRow r{"Front\tdesk", "10.0.0.5", 3, "Floor \"2\"\n", "VARDA"};
  EXPECT_EQ(RowLine(r, texts), "Front desk\t10.0.0.5\tV3\tFloor \"2\" \tVARDA");
  r.version = 1;
  EXPECT_EQ(RowLine(r, texts), "Front desk\t10.0.0.5\tV1/V2\tFloor \"2\" \tVARDA");
  EXPECT_EQ(RowsJson({}, texts), "[]\n");
  EXPECT_EQ(RowsJson({r}, texts),
            "[\n {\"name\": \"Front\\tdesk\", \"address\": \"10.0.0.5\", "
            "\"snmp_version\": \"V1/V2\", \"location\": \"Floor \\\"2\\\"\\n\", "
            "\"model\": \"VARDA\"}\n]\n");
}

}  // namespace
}  // namespace keeper::cli
