#include "finder/controller_model.h"

#include <map>

#include <gtest/gtest.h>

namespace finder {
namespace {

TEST(ControllerModelTest, TypesBySysObjectId) {
  struct Case {
    const char* id;  // null: no answer
    int code;
    int type;
  } cases[] = {
      {nullptr, 14, 1},
      {"1.3.6.1.4.1.58231.2.3.43.1", -1, -1},
      {"1.3.6.1.4.1.58231.2.3.14.1", 14, 1},
      {"1.3.6.1.4.1.58231.2.3.14.2", 14, 1},
      {"1.3.6.1.4.1.8072.3.2.10", 14, 2},
      {"1.3.6.1.4.1.58231.2.3.15.7", 14, 5},
      {"1.3.6.1.4.1.58231.2.3.24", 14, 12},
      {"1.3.6.1.4.1.58231.2.3.43.1", 14, 22},
      {"1.3.6.1.4.1.58231.2.3.45", 14, 24},
      {"1.3.6.1.4.1.58231.2.3.99", 14, 25},
  };
  for (const Case& c : cases) {
    auto get = [&](const std::string&) -> std::optional<std::string> {
      if (!c.id) return std::nullopt;
      return std::string(c.id);
    };
    EXPECT_EQ(GetControllerModelType("10.0.0.5", c.code, get, "A", "B"), c.type)
        << (c.id ? c.id : "no answer");
  }
  EXPECT_EQ(GetControllerModelType(nullptr, 14, nullptr, "", ""), 0);

  std::map<std::string, std::string> device = {
      {"1.3.6.1.2.1.1.2.0", "1.3.6.1.4.1.311.1.1.3.1.2"},
      {"1.3.6.1.4.1.58231.2.3.50.1.2.3.1.3.1", "varda 500"}};
  auto get = [&](const std::string& oid) -> std::optional<std::string> {
    auto it = device.find(oid);
    if (it == device.end()) return std::nullopt;
    return it->second;
  };
  EXPECT_EQ(GetControllerModelType("x", 14, get, "Varda 500", "Varda 600"), 3);
  EXPECT_EQ(GetControllerModelType("x", 14, get, "Other", "Varda 500"), 3);
  EXPECT_EQ(GetControllerModelType("x", 14, get, "Other", "Else"), 4);

  EXPECT_EQ(IsControllerCompatibleWith(nullptr, 22), 0);
  EXPECT_EQ(IsControllerCompatibleWith("x", 22), 12);
  EXPECT_EQ(IsControllerCompatibleWith("x", -1), 11);
}

}  // namespace
}  // namespace finder
