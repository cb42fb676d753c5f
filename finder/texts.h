// The texts of the language library by number. The discovery library never
// holds a literal user text of its own beyond the few its design names;
// everything else, registry paths and the event name included, is a text
// of the language library that the product definition names.
#pragma once

#include <map>
#include <string>

namespace finder {

class Texts {
 public:
  virtual ~Texts() = default;
  // The text of that number, UTF-8; "" when the library has none.
  virtual std::string Text(int id) const = 0;
};

// Numbers of the texts the discovery engine and its stores read.
namespace text {
inline constexpr int kOtherLastDiscoveredBase = 139;
inline constexpr int kSelectionBase = 141;
inline constexpr int kOtherLastDiscoveredBase2 = 142;
inline constexpr int kSettingsType2 = 143;
inline constexpr int kSettingsTypeOther = 144;
inline constexpr int kSettingsType1 = 149;
inline constexpr int kV3Label = 193;
inline constexpr int kRegistryErrorCaption = 46;
inline constexpr int kRegistryError = 49;
inline constexpr int kAuthMd5 = 207;
inline constexpr int kAuthSha = 208;
inline constexpr int kPrivNone = 209;
inline constexpr int kPrivDes = 210;
inline constexpr int kPrivAes = 310;
inline constexpr int kIdFileUnreadable = 206;
inline constexpr int kIdFileLibrary = 224;
inline constexpr int kCommunitySpaceCaption = 263;
inline constexpr int kCommunitySpace = 264;
inline constexpr int kEventName = 324;
inline constexpr int kTimeoutFile = 400;
}  // namespace text

// A fixed table, for tests and for callers that hold their texts already.
class TableTexts final : public Texts {
 public:
  TableTexts() = default;
  explicit TableTexts(std::map<int, std::string> table) : table_(std::move(table)) {}
  std::string Text(int id) const override {
    auto it = table_.find(id);
    return it == table_.end() ? std::string() : it->second;
  }
  void Set(int id, std::string text) { table_[id] = std::move(text); }

 private:
  std::map<int, std::string> table_;
};

}  // namespace finder
