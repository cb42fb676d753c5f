#include "boxlink/base/tree_names.h"

#include <cstdio>

namespace boxlink::tree {
namespace {

std::string Numbered(std::string_view prefix, uint32_t n) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03lu", static_cast<unsigned long>(n));
  return std::string(prefix) + digits;
}

}  // namespace

std::string BoxFolder(uint32_t box) { return Numbered(kBoxPrefix, box); }

std::string StorageBoxFolder(uint32_t box) {
  return box == 0 ? std::string("00000") : Numbered("", box);
}

std::string DocumentFolder(uint32_t document) {
  return Numbered(kDocumentPrefix, document);
}

std::string FolderFolder(uint32_t folder) { return Numbered(kFolderPrefix, folder); }

std::string ItemFile(std::string_view item_folder) {
  return std::string(item_folder) + std::string(kItemFileSuffix);
}

std::optional<ItemFileName> ParseItemFile(std::string_view name) {
  constexpr size_t kPrefix = 5;
  const size_t suffix = kItemFileSuffix.size();
  if (name.size() < kPrefix + 3 + suffix || !name.ends_with(kItemFileSuffix))
    return std::nullopt;
  ItemKind kind;
  if (name.starts_with(kDocumentPrefix))
    kind = ItemKind::kDocument;
  else if (name.starts_with(kFolderPrefix))
    kind = ItemKind::kFolder;
  else
    return std::nullopt;
  std::string_view digits = name.substr(kPrefix, name.size() - kPrefix - suffix);
  if (digits.size() > 9) return std::nullopt;
  uint32_t n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + uint32_t(c - '0');
  }
  return ItemFileName{kind, n};
}

}  // namespace boxlink::tree
