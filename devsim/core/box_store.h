// The boxes of a simulated device on disk, in the layout of its generation.
//
// The store root is what the device's FTP service serves as "/". Under it:
//
//   shared   SHR/BOX/DATA/B0000nnn/P0000001/{D0000ddd/, D0000ddd.XML,
//                                            F0000fff/, F0000fff.XML}
//            SHR/BOX/DATABASE/B0000nnn.XML       (box descriptor)
//   classic  the same without the leading SHR/
//   storage  storage/box/TarnBoxes/nnn/boxproperties.xml, ready.sts and one
//            folder per item, named by the item's name (UTF-8): a document
//            folder holds documentproperties.xml, ready.sts, .document and
//            Image/ with its pages; a folder's folder holds
//            folderproperties.xml, ready.sts and its document folders.
//
// A folder of the shared and classic layouts (F0000fff/) holds its documents
// exactly as the box's item folder does. Documents keep their pages as
// numbered files in their data folder (PAGE001.IMG ...; in the storage
// layout Image/page_001.bin beside Image/pageproperties_001.xml).
//
// Item numbers: in the shared and classic layouts the number is the one in
// the item's folder name. The storage layout names items, not numbers; there
// the number of an item is its 1-based position among the items of the same
// kind in its container, in byte order of the names, so it changes when an
// item before it is added or removed. Folder number 0 means the box's top
// level.
//
// All dates are seconds since 1970-01-01 UTC, as the device keeps them.
// Every public member takes the store's mutex; services that touch files
// directly (the FTP service) do so without it, as a real device would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devsim/core/profile.h"

namespace devsim {

struct BoxInfo {
  uint32_t number = 0;
  std::string name;             // UTF-8
  std::string owner;            // UTF-8
  std::string password;         // empty: not protected
  uint32_t create_date = 0;
  uint32_t last_update_date = 0;
  uint32_t last_access_date = 0;
  uint32_t last_backup_date = 0;  // 0: never backed up
  bool preservation = false;
  int preserve_days = 0;
  // Read from the box's content by ListBoxes/GetBox; ignored when writing.
  uint32_t num_folders = 0;
  uint32_t num_documents = 0;   // all documents, folders' included
  uint64_t used_bytes = 0;      // bytes of all files of the box
};

enum class ItemKind { kFolder, kDocument };

struct ItemInfo {
  ItemKind kind = ItemKind::kDocument;
  uint32_t number = 0;
  uint32_t folder = 0;          // containing folder's number, 0 = top level
  std::string name;             // UTF-8 display name
  uint32_t create_date = 0;
  uint32_t last_update_date = 0;
  uint32_t last_access_date = 0;
  uint32_t pages = 0;           // documents
  uint64_t size = 0;            // bytes of page data (folders: of all docs)
  uint32_t num_documents = 0;   // folders
  std::filesystem::path dir;    // the item's own folder
  std::filesystem::path property_file;  // its item file or property file
};

// Item files of the shared and classic layouts: 180 bytes. Bytes 0-7 the
// own name ("D0000ddd"/"F0000fff"), byte 8 zero, bytes 9-136 the display
// name as UTF-16LE (at most 63 units, zero-terminated), bytes 148-151 the
// last-access time, then (all big-endian u32) the creation date at 152,
// last update at 156, page count at 160 and data size in bytes at 164.
// Clients rely only on the first three places; the rest is the device's.
struct ItemFile {
  std::string own_name;
  std::u16string display_name;
  uint32_t last_access = 0;
  uint32_t create_date = 0;
  uint32_t last_update = 0;
  uint32_t pages = 0;
  uint32_t size = 0;
};
inline constexpr size_t kItemFileSize = 180;
inline constexpr size_t kItemNameOffset = 9;
inline constexpr size_t kItemNameBytes = 128;
inline constexpr size_t kItemLastAccessOffset = 148;
std::string EncodeItemFile(const ItemFile& item);
// Null when the bytes are too short to hold the three fixed places.
std::optional<ItemFile> DecodeItemFile(std::string_view bytes);

// Box descriptors of the shared and classic layouts (DATABASE/B0000nnn.XML):
// 1000 bytes. Box number as text at 0, name UTF-16LE at 9 (64 bytes), owner
// at 73 (64 bytes), password at 585 (zero-terminated, at most 63 bytes),
// big-endian u32 creation, last update, last access and last backup dates
// at 716, 720, 724, 728; u16 preservation flag at 732 and days at 734.
inline constexpr size_t kBoxDescriptorSize = 1000;
std::string EncodeBoxDescriptor(const BoxInfo& box);
std::optional<BoxInfo> DecodeBoxDescriptor(std::string_view bytes);

// Property files of the storage layout: XML with root "BoxDocument" and one
// child element per property. Reads the text of BoxDocument/<element>.
std::optional<std::string> ReadPropertyElement(const std::filesystem::path& file,
                                               std::string_view element);
// Sets BoxDocument/<element> (appending it when missing), keeping the rest.
bool WritePropertyElement(const std::filesystem::path& file, std::string_view element,
                          std::string_view value, std::string* error);

class BoxStore {
 public:
  BoxStore(std::filesystem::path root, Layout layout);
  const std::filesystem::path& root() const;
  Layout layout() const;

  // Paths, absolute under root().
  std::filesystem::path DataDir() const;       // .../BOX/DATA or .../TarnBoxes
  std::filesystem::path DatabaseDir() const;   // .../BOX/DATABASE; empty for storage
  std::filesystem::path BoxDir(uint32_t box) const;
  // The box descriptor (shared, classic) or boxproperties.xml (storage).
  std::filesystem::path BoxPropertyFile(uint32_t box) const;
  // Where the box's items lie: its single "P*" subfolder (shared, classic;
  // empty path when there is none) or the box folder (storage).
  std::filesystem::path ItemRoot(uint32_t box) const;
  // "B0000007" / "007".
  static std::string BoxFolderName(Layout layout, uint32_t box);
  // "D0000005" / "F0000003".
  static std::string ItemFolderName(ItemKind kind, uint32_t number);
  // Where an FTP login of this layout starts, relative to root(): the
  // storage layout's box paths are relative to the box data folder
  // ("storage/box/TarnBoxes"); the others use absolute paths from the store
  // root (""). Use it as FtpAccount::root for accounts the device makes.
  std::string FtpHome() const;
  // The device path of a path under root(): "/SHR/BOX/DATA/B0000001".
  std::string DevicePath(const std::filesystem::path& path) const;

  // Creates the layout's fixed folders (DATA, DATABASE). Idempotent.
  bool Init(std::string* error);

  std::vector<BoxInfo> ListBoxes() const;      // by number
  std::optional<BoxInfo> GetBox(uint32_t box) const;
  // Fails when the box exists. Writes the descriptor or property file and
  // creates the (empty) item root.
  bool CreateBox(const BoxInfo& info, std::string* error);
  // Rewrites the box's descriptor or property file; the content stays.
  bool UpdateBox(const BoxInfo& info, std::string* error);
  bool DeleteBox(uint32_t box, std::string* error);

  // Folders first, then documents, each by number. folder 0: top level.
  std::vector<ItemInfo> ListItems(uint32_t box, uint32_t folder = 0) const;
  std::optional<ItemInfo> GetItem(uint32_t box, uint32_t folder, ItemKind kind,
                                  uint32_t number) const;
  // Folders exist at the top level only. In the storage layout a name
  // already used by an item of the container is refused.
  std::optional<ItemInfo> CreateFolder(uint32_t box, std::string_view name,
                                       uint32_t date, std::string* error);
  std::optional<ItemInfo> CreateDocument(uint32_t box, uint32_t folder,
                                         std::string_view name,
                                         const std::vector<std::string>& pages,
                                         uint32_t date, std::string* error);
  // A folder goes with its documents.
  bool DeleteItem(uint32_t box, uint32_t folder, ItemKind kind, uint32_t number,
                  std::string* error);

  // Pages count from 1.
  std::optional<std::string> ReadPage(const ItemInfo& document, uint32_t page) const;
  // Replaces page `page` or appends it (page == pages + 1); updates the
  // document's page count, size and last-update date.
  bool WritePage(const ItemInfo& document, uint32_t page, std::string_view bytes,
                 uint32_t date, std::string* error);
  bool SetLastAccess(const ItemInfo& item, uint32_t when, std::string* error);

  // Bytes of all files below DataDir().
  uint64_t UsedBytes() const;

 private:
  std::filesystem::path ContainerDir(uint32_t box, uint32_t folder) const;
  std::vector<ItemInfo> ListItemsLocked(uint32_t box, uint32_t folder) const;
  std::optional<ItemInfo> ReadItem(const std::filesystem::path& dir, ItemKind kind,
                                   uint32_t folder) const;
  std::optional<BoxInfo> GetBoxLocked(uint32_t box) const;
  bool WriteBoxLocked(const BoxInfo& info, std::string* error);
  bool UpdateDocumentLocked(const ItemInfo& document, std::string* error);

  std::filesystem::path root_;
  Layout layout_;
  mutable std::mutex mu_;
};

struct PopulateOptions {
  uint32_t seed = 1; int boxes = 3, folders = 2,
  documents = 3, pages = 2; size_t page_bytes = 4096; bool non_ascii = true;
  uint32_t first_box = 1;       // boxes are numbered first_box upward
  uint32_t base_date = 1700000000;  // dates are drawn after this one
};
// Fills the store with `boxes` boxes, each with `documents` top-level
// documents and `folders` folders of `documents` documents each, every
// document of `pages` pages of `page_bytes` bytes. The same options give
// the same tree, byte for byte. Existing boxes of the same numbers are
// replaced. With non_ascii, names mix Latin, Greek, CJK and a character
// outside the basic plane; every second box has a password.
bool Populate(BoxStore& store, const PopulateOptions& options, std::string* error);
void Populate(BoxStore& store, const PopulateOptions& options);  // aborts on error

}  // namespace devsim
