// The names of a box tree, as the device keeps it and as archives hold it:
// box folders, item folders and their item files, and the property files
// of the storage layout. Every layer that builds or reads such a name asks
// here, so that the spelling lives in one place.
#ifndef BOXLINK_BASE_TREE_NAMES_H_
#define BOXLINK_BASE_TREE_NAMES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace boxlink::tree {

// Files of the storage layout: one in each box, folder and document folder.
inline constexpr std::string_view kBoxProperties = "boxproperties.xml";
inline constexpr std::string_view kFolderProperties = "folderproperties.xml";
inline constexpr std::string_view kDocumentProperties = "documentproperties.xml";

// The extension of an item file beside its folder ("D0000001.XML").
inline constexpr std::string_view kItemFileSuffix = ".XML";

// Prefixes of the shared and classic layouts, before the number.
inline constexpr std::string_view kBoxPrefix = "B0000";
inline constexpr std::string_view kDocumentPrefix = "D0000";
inline constexpr std::string_view kFolderPrefix = "F0000";

// "B0000007": a box's folder on shared and classic devices, and its index
// file's name without ".XML".
std::string BoxFolder(uint32_t box);
// "007": a box's folder on storage devices; box 0 is "00000".
std::string StorageBoxFolder(uint32_t box);
// "D0000007" and "F0000007": numbers from 1000 on keep all their digits.
std::string DocumentFolder(uint32_t document);
std::string FolderFolder(uint32_t folder);
// The item file of an item folder: "D0000007" -> "D0000007.XML".
std::string ItemFile(std::string_view item_folder);

// "folder/name".
inline std::string Join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '/';
  path += name;
  return path;
}

enum class ItemKind { kFolder, kDocument };

struct ItemFileName {
  ItemKind kind;
  uint32_t number;
};

// Reads "D0000ddd.XML" or "F0000fff.XML" (three digits at least, at most
// nine); nullopt for any other name.
std::optional<ItemFileName> ParseItemFile(std::string_view name);

}  // namespace boxlink::tree

#endif  // BOXLINK_BASE_TREE_NAMES_H_
