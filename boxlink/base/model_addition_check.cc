#include "boxlink/base/model_addition_check.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <new>
#include <cstring>
#include <system_error>

#include "boxlink/base/notice.h"
#include "boxlink/base/model_file.h"
#include "platform/env.h"
#include "platform/last_error.h"
#include "platform/text.h"

namespace boxlink {
namespace {

constexpr uint32_t kInternalError = 1359;

std::mutex g_mu;
std::unique_ptr<ModelAdditionCheck> g_checker;
bool g_unavailable = false;  // tests only

// Copies the shipped file over the machine-wide copy. The copy goes through
// a temporary name so that a reader never sees half a file.
bool CopyShippedFile(const std::filesystem::path& from,
                     const std::filesystem::path& to) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(from, ec)) return false;
  std::filesystem::path tmp = to;
  tmp += ".new";
  if (!std::filesystem::copy_file(
          from, tmp, std::filesystem::copy_options::overwrite_existing, ec))
    return false;
  std::filesystem::rename(tmp, to, ec);
  if (ec) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
}

}  // namespace

bool CAppBin::Serialize(FrameworkReader& in) {
  if (!in.ReadString(&m_strCategory)) return false;
  if (!in.ReadU32(&m_nCount)) return false;
  for (uint32_t i = 0; i < m_nCount; ++i) {
    std::string model;
    if (!in.ReadString(&model)) return false;
    m_arrModels.push_back(std::move(model));
  }
  return true;
}

ModelAdditionCheck* ModelAdditionCheck::Get() {
  std::lock_guard<std::mutex> g(g_mu);
  if (g_unavailable) return nullptr;
  if (!g_checker) {
    try {
      auto checker = std::make_unique<ModelAdditionCheck>();
      checker->Load(*platform::Env::Current());
      g_checker = std::move(checker);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return g_checker.get();
}

void ModelAdditionCheck::SetUnavailableForTesting(bool unavailable) {
  std::lock_guard<std::mutex> g(g_mu);
  g_unavailable = unavailable;
}

void ModelAdditionCheck::ResetForTesting() {
  std::lock_guard<std::mutex> g(g_mu);
  g_checker.reset();
  g_unavailable = false;
}

void ModelAdditionCheck::Load(platform::Env& env) {
  namespace fs = std::filesystem;
  fs::path shipped = fs::path(env.ProgramDir()) / kModelInfoFileName;
  fs::path folder = env.ProgramDataDir();
  std::error_code ec;
  fs::create_directories(folder, ec);
  fs::path copy = folder / kModelInfoFileName;
  if (!CopyShippedFile(shipped, copy)) platform::SetLastError(kInternalError);

  std::ifstream f(copy, std::ios::binary);
  if (!f) return;  // no categories: every check answers 0
  std::string bytes((std::istreambuf_iterator<char>(f)),
                    std::istreambuf_iterator<char>());
  LoadBytes(bytes);
}

void ModelAdditionCheck::LoadBytes(std::string_view bytes) {
  FrameworkReader in(bytes);
  bool truncated = !in.ReadU32(&m_nRecords);
  for (uint32_t i = 0; !truncated && i < m_nRecords; ++i) {
    auto record = std::make_unique<CAppBin>(this);
    m_pCurrent = record.get();
    // A record cut short still gives what it holds: the category and the
    // model strings read before the end.
    truncated = !record->Serialize(in);
    AddRecord(*record);
    m_records.emplace(static_cast<int>(i), std::move(record));
  }
  m_pCurrent = nullptr;
  m_records.clear();
  if (truncated) ShowNotice("endOfFile reached", "endOfFile");
}

void ModelAdditionCheck::AddRecord(const CAppBin& record) {
  if (record.m_strCategory.empty() && record.m_arrModels.empty()) return;
  auto it = m_names.find(record.m_strCategory);
  if (it == m_names.end()) {
    // Only ten lists exist; further categories are not held at all rather
    // than written past the last list.
    if (m_names.size() >= static_cast<size_t>(kCategoryLists)) return;
    it = m_names
             .emplace(record.m_strCategory, static_cast<int>(m_names.size()))
             .first;
  }
  auto& list = m_lists[static_cast<size_t>(it->second)];
  for (const std::string& model : record.m_arrModels) {
    // An entry that does not fit its field is left out: cut short, it
    // would match versions it was never meant for.
    if (model.size() >= sizeof(MODELCATEGORIES::ModelName) ||
        record.m_strCategory.size() >= sizeof(MODELCATEGORIES::CategoryName))
      continue;
    MODELCATEGORIES entry{};
    platform::CopyBounded(entry.ModelName, sizeof entry.ModelName, model);
    platform::CopyBounded(entry.CategoryName, sizeof entry.CategoryName,
                          record.m_strCategory);
    list.push_back(entry);
  }
}

int ModelAdditionCheck::CategoryIndex(std::string_view name) const {
  auto it = m_names.find(name);
  return it == m_names.end() ? -1 : it->second;
}

int ModelAdditionCheck::CheckCategory(std::string_view version,
                                      std::string_view name) const {
  int index = CategoryIndex(name);
  if (index < 0 || index >= kCheckedCategories) return 0;
  for (const MODELCATEGORIES& entry : Category(index)) {
    if (version.find(entry.ModelName) != std::string_view::npos) return 1;
  }
  return 0;
}

int ModelAdditionCheck::Check(const char* version,
                              const char (*names)[kCategoryNameChars],
                              size_t count) const {
  if (!version || !names) return 0;
  std::string_view text(version);
  for (size_t i = 0; i < count && i < kMaxCategoryNames; ++i) {
    std::string_view name(names[i],
                          strnlen(names[i], kCategoryNameChars));
    if (name.empty()) break;
    if (CheckCategory(text, name)) return 1;
  }
  return 0;
}

bool IsSupportedModel(std::string_view version) {
  ModelAdditionCheck* checker = ModelAdditionCheck::Get();
  if (!checker) {
    ShowNotice("ModelAdditioncheck pointer is NULL", "");
    return false;
  }
  return checker->CheckCategory(version, kSupportedModelsCategory) != 0;
}

}  // namespace boxlink
