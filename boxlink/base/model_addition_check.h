// Which device models are known to be of the newest generation.
//
// New models are added without a new build: the program ships the model
// information file (see model_file.h) beside itself, and the checker,
// created once per process on first use, answers whether an engine version
// text contains one of the model strings listed under a category.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Env;
}

namespace boxlink {

class FrameworkReader;
class ModelAdditionCheck;

inline constexpr char kSupportedModelsCategory[] = "KVX_Supported_Models";
inline constexpr size_t kCategoryNameChars = 260;
inline constexpr size_t kMaxCategoryNames = 10;

// One entry of a category list.
struct MODELCATEGORIES {
  char ModelName[512];
  char CategoryName[512];
};
static_assert(sizeof(MODELCATEGORIES) == 1024);

// One record of the file while it is read.
class CAppBin {
 public:
  explicit CAppBin(ModelAdditionCheck* owner) : m_pOwner(owner) {}
  // Reads the record; false when the data ends inside it.
  bool Serialize(FrameworkReader& in);

  uint32_t m_nCount = 0;
  std::string m_strCategory;
  std::vector<std::string> m_arrModels;
  ModelAdditionCheck* m_pOwner;
};

class ModelAdditionCheck {
 public:
  static constexpr int kCategoryLists = 10;
  // Only the first seven categories take part in the check.
  static constexpr int kCheckedCategories = 7;

  ModelAdditionCheck() = default;
  virtual ~ModelAdditionCheck() = default;
  ModelAdditionCheck(const ModelAdditionCheck&) = delete;
  ModelAdditionCheck& operator=(const ModelAdditionCheck&) = delete;

  // The process-wide checker, created and loaded from the current Env on
  // the first call; null only when it cannot be allocated.
  static ModelAdditionCheck* Get();
  // Drops the process-wide checker so that the next Get() loads afresh
  // (tests that ship different model files); also ends an unavailability
  // set below.
  static void ResetForTesting();
  // While set, Get() answers null as if the checker could not be allocated
  // (tests of the callers' fallback).
  static void SetUnavailableForTesting(bool unavailable);

  // Copies the file from the program folder into the program-data folder
  // and reads that copy.
  void Load(platform::Env& env);
  // Reads the categories from file content (the part after the copy).
  void LoadBytes(std::string_view bytes);

  // 1 when, for a listed category of index 0 to 6, one of its model strings
  // occurs in `version` (case-sensitive), else 0. `names` is a block of up
  // to ten entries, ended by the first empty one.
  int Check(const char* version, const char (*names)[kCategoryNameChars],
            size_t count = kMaxCategoryNames) const;
  // The same for a single category.
  int CheckCategory(std::string_view version, std::string_view name) const;
  // The category's index, or -1 when the file did not name it.
  int CategoryIndex(std::string_view name) const;

  const std::vector<MODELCATEGORIES>& Category(int index) const {
    return m_lists[static_cast<size_t>(index)];
  }

 private:
  void AddRecord(const CAppBin& record);

  std::array<std::vector<MODELCATEGORIES>, kCategoryLists> m_lists;
  std::map<std::string, int, std::less<>> m_names;
  CAppBin* m_pCurrent = nullptr;
  std::map<int, std::unique_ptr<CAppBin>> m_records;
  uint32_t m_nRecords = 0;
};

// The engine's question: is this a device of the storage layout by the
// model file? False also when the checker cannot be made (the user has
// then been told).
bool IsSupportedModel(std::string_view version);

}  // namespace boxlink
