// Boxes, folders, documents and pages of the store, for all three layouts.
#include "devsim/core/box_store.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>

#include "devsim/core/property_file.h"
#include "platform/text.h"

namespace devsim {

namespace fs = std::filesystem;

namespace {

// The item folder the device makes inside every box of the shared and
// classic layouts.
constexpr const char* kItemFolder = "P0000001";
constexpr size_t kMaxNameUnits = kItemNameBytes / 2;

std::optional<std::string> ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteFile(const fs::path& file, std::string_view bytes, std::string* error) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    if (error) *error = "cannot write " + file.string();
    return false;
  }
  return true;
}

// "D0000012" -> 12 for prefix 'D'; nullopt for anything else.
std::optional<uint32_t> ParseNumbered(std::string_view name, char prefix) {
  if (name.size() < 8 || name[0] != prefix || name.substr(1, 4) != "0000") return std::nullopt;
  uint32_t n = 0;
  auto [end, ec] = std::from_chars(name.data() + 5, name.data() + name.size(), n);
  if (ec != std::errc() || end != name.data() + name.size()) return std::nullopt;
  return n;
}

std::optional<uint32_t> ParseDecimal(std::string_view s) {
  uint32_t n = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return n;
}

uint32_t PropertyNumber(const fs::path& file, std::string_view element) {
  auto text = ReadPropertyElement(file, element);
  return text ? ParseDecimal(*text).value_or(0) : 0;
}

uint64_t TreeBytes(const fs::path& dir) {
  uint64_t total = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec)) total += it->file_size(ec);
  }
  return total;
}

std::string PageFileName(Layout layout, uint32_t page) {
  char name[64];
  std::snprintf(name, sizeof name, layout == Layout::kStorage ? "Image/page_%03u.bin" : "PAGE%03u.IMG",
                page);
  return name;
}

// Pages are numbered without gaps from 1; the count is where that stops.
uint32_t CountPages(Layout layout, const fs::path& dir, uint64_t* bytes) {
  uint32_t n = 0;
  *bytes = 0;
  std::error_code ec;
  for (;;) {
    fs::path page = dir / PageFileName(layout, n + 1);
    uintmax_t size = fs::file_size(page, ec);
    if (ec) break;
    *bytes += size;
    ++n;
  }
  return n;
}

// Storage layout names are folder names on the device.
bool ValidStorageName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// The folder of a new storage-layout folder or document: the name as
// given, which must be a device folder name not yet in use. Empty, with the
// error, when it cannot be.
fs::path NewStorageItemDir(const fs::path& container, std::string_view name,
                           std::string_view what, std::string* error) {
  if (!ValidStorageName(name)) {
    if (error) *error = "bad " + std::string(what) + " name";
    return {};
  }
  fs::path dir = container / std::string(name);
  std::error_code ec;
  if (fs::exists(dir, ec)) {
    if (error) *error = "name in use: " + std::string(name);
    return {};
  }
  return dir;
}

// The name a new shared- or classic-layout item keeps in its ".XML" file;
// nullopt, with the error, when it is empty or too long for the file.
std::optional<std::u16string> ItemFileName(std::string_view name, std::string_view what,
                                           std::string* error) {
  std::u16string wide = platform::Utf8ToUtf16(name);
  if (wide.empty() || wide.size() > kMaxNameUnits) {
    if (error) *error = std::string(what) + " name must have 1 to 64 characters";
    return std::nullopt;
  }
  return wide;
}

// Shared and classic layouts number a new item one above the highest of
// its kind; the first is 1.
uint32_t NextItemNumber(const std::vector<ItemInfo>& items, ItemKind kind) {
  uint32_t number = 1;
  for (const ItemInfo& item : items)
    if (item.kind == kind) number = std::max(number, item.number + 1);
  return number;
}

std::string Dec(uint64_t v) { return std::to_string(v); }

PropertyList BoxProperties(const BoxInfo& b, uint64_t total_size) {
  return {
      {"documentType", "TarnBox"}, {"boxName", b.name}, {"boxNo", Dec(b.number)},
      {"startupType", "0"}, {"enabled", "true"}, {"ProcessGroup", ""},
      {"userName", b.owner}, {"comment", ""},
      {"isPasswordProtected", b.password.empty() ? "false" : "true"},
      {"password", b.password},
      {"preservationPeriodFlag", b.preservation ? "true" : "false"},
      {"documentPreserveDays", std::to_string(b.preserve_days)},
      {"notifyBeforeDeletionOfDocument", "false"}, {"notifyOnError", "false"},
      {"notifyOnJobCompletion", "false"}, {"notificationEmailAddress", ""},
      {"creationDate", Dec(b.create_date)}, {"lastModifiedDate", Dec(b.last_update_date)},
      {"lastAccessDate", Dec(b.last_access_date)}, {"lastBackupDate", Dec(b.last_backup_date)},
      {"documentPrint", "false"}, {"relayEndReport", "false"}, {"writeMode", "0"},
      {"transferInformation", ""}, {"lastPurgeTime", "0"}, {"relayReportDestination", ""},
      {"relayReportDestinationType", "0"}, {"relayReportContactId", "0"},
      {"totalBoxSize", Dec(total_size)}, {"ownerID", "0"}, {"authState", "IDLE"},
      {"authFailureCount", "0"}, {"authTimer", "0"}, {"authFailureCount_SSDK", "0"},
      {"phoneNumber", "0"},
  };
}

PropertyList DocumentProperties(std::string_view name, uint32_t pages, uint64_t size,
                                uint32_t created, uint32_t updated, uint32_t accessed) {
  return {
      {"documentName", std::string(name)}, {"jobType", "2"}, {"mixpaperSize", "4"},
      {"mixresolution", "600x600"}, {"mixcolorMono", "1"}, {"totalSize", Dec(size)},
      {"totalPages", Dec(pages)}, {"creationDate", Dec(created)},
      {"lastModifiedDate", Dec(updated)}, {"lastAccessDate", Dec(accessed)},
      {"lastArchiveDate", "0"}, {"from", ""}, {"receptionTime", "0"},
      {"receptionNumber", "0"}, {"cutDocument", "false"},
      {"paperSizeMap", "4," + Dec(pages) + ";"}, {"jobTypeColorMap", "Mono," + Dec(pages) + ";"},
      {"jobTypeMap", "Scan," + Dec(pages) + ";"}, {"totalDocSize", Dec(size)},
      {"docWEPSize", "0"}, {"sessionID", "0"}, {"srcBoxBasePath", ""},
      {"srcBoxNumber", "0"}, {"srcFolderName", ""}, {"srcDocumentName", ""},
      {"IsImagedataPresent", "FALSE"}, {"IsSubsamplingdataPresent", "FALSE"},
      {"IsThumbnaildataPresent", "FALSE"}, {"horizontalResolutionMap", "600," + Dec(pages) + ";"},
      {"verticalResolutionMap", "600," + Dec(pages) + ";"}, {"colorModeMap", "1," + Dec(pages) + ";"},
      {"count", "0"}, {"InputPageCount", Dec(pages)}, {"StatusOfReceivedData", "0"},
      {"StatusOfHardCopy", "0"}, {"StatusOfRelayReport", "0"}, {"duplex", "0"},
      {"paperType", "0"}, {"paperSource", "0"}, {"staple", "0"}, {"holePunch", "0"},
      {"faxDuplex", "0"}, {"WorkspaceDocName", ""}, {"statusOfPollingTransmission", "0"},
  };
}

PropertyList FolderProperties(std::string_view name, uint32_t created, uint32_t updated,
                              uint64_t size, uint32_t accessed) {
  return {{"folderName", std::string(name)}, {"creationDate", Dec(created)},
          {"lastModifiedDate", Dec(updated)}, {"totalFolderSize", Dec(size)},
          {"documentType", "Folder"}, {"lastAccessDate", Dec(accessed)}};
}

PropertyList PageProperties(uint64_t size) {
  return {{"jobType", "2"}, {"horizontalResolution", "600"}, {"verticalResolution", "600"},
          {"imageWidth", "4960"}, {"imageHeight", "7016"}, {"paperSize", "4"},
          {"fileSize", Dec(size)}, {"colorMode", "1"}, {"cutPage", "false"},
          {"adjustedImageWidth", "4960"}, {"adjustedImageHeight", "7016"},
          {"orientation", "0"}, {"angle", "0"}};
}

bool Touch(const fs::path& file, std::string* error) { return WriteFile(file, "", error); }

bool MakeDirs(const fs::path& dir, std::string* error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    if (error) *error = "cannot create " + dir.string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

// ---- boxes ---------------------------------------------------------------

std::optional<BoxInfo> BoxStore::GetBoxLocked(uint32_t box) const {
  std::error_code ec;
  fs::path dir = BoxDir(box);
  if (!fs::is_directory(dir, ec)) return std::nullopt;
  BoxInfo info;
  info.number = box;
  fs::path props = BoxPropertyFile(box);
  if (layout_ == Layout::kStorage) {
    auto text = [&](std::string_view e) { return ReadPropertyElement(props, e).value_or(""); };
    info.name = text("boxName");
    info.owner = text("userName");
    info.password = text("password");
    info.create_date = PropertyNumber(props, "creationDate");
    info.last_update_date = PropertyNumber(props, "lastModifiedDate");
    info.last_access_date = PropertyNumber(props, "lastAccessDate");
    info.last_backup_date = PropertyNumber(props, "lastBackupDate");
    info.preservation = text("preservationPeriodFlag") == "true";
    info.preserve_days = static_cast<int>(PropertyNumber(props, "documentPreserveDays"));
  } else if (auto bytes = ReadFile(props)) {
    if (auto decoded = DecodeBoxDescriptor(*bytes)) {
      info = *decoded;
      info.number = box;
    }
  }
  for (const ItemInfo& item : ListItemsLocked(box, 0)) {
    if (item.kind == ItemKind::kFolder) {
      ++info.num_folders;
      info.num_documents += item.num_documents;
    } else {
      ++info.num_documents;
    }
  }
  info.used_bytes = TreeBytes(dir);
  return info;
}

std::vector<BoxInfo> BoxStore::ListBoxes() const {
  std::lock_guard lock(mu_);
  std::vector<uint32_t> numbers;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(DataDir(), ec)) {
    if (!entry.is_directory(ec)) continue;
    std::string name = entry.path().filename().string();
    std::optional<uint32_t> n = layout_ == Layout::kStorage
                                    ? (name.size() >= 3 ? ParseDecimal(name) : std::nullopt)
                                    : ParseNumbered(name, 'B');
    if (n && BoxFolderName(layout_, *n) == name) numbers.push_back(*n);
  }
  std::sort(numbers.begin(), numbers.end());
  std::vector<BoxInfo> boxes;
  for (uint32_t n : numbers)
    if (auto info = GetBoxLocked(n)) boxes.push_back(std::move(*info));
  return boxes;
}

std::optional<BoxInfo> BoxStore::GetBox(uint32_t box) const {
  std::lock_guard lock(mu_);
  return GetBoxLocked(box);
}

bool BoxStore::WriteBoxLocked(const BoxInfo& info, std::string* error) {
  if (layout_ == Layout::kStorage)
    return WritePropertyFile(BoxPropertyFile(info.number), PropertyNamespace::kSchemaInstance,
                             BoxProperties(info, TreeBytes(BoxDir(info.number))), error);
  if (platform::Utf8ToUtf16(info.name).size() > 31) {
    if (error) *error = "box name longer than 31 characters";
    return false;
  }
  return MakeDirs(DatabaseDir(), error) &&
         WriteFile(BoxPropertyFile(info.number), EncodeBoxDescriptor(info), error);
}

bool BoxStore::CreateBox(const BoxInfo& info, std::string* error) {
  std::lock_guard lock(mu_);
  std::error_code ec;
  fs::path dir = BoxDir(info.number);
  if (fs::exists(dir, ec)) {
    if (error) *error = "box " + std::to_string(info.number) + " exists";
    return false;
  }
  if (info.number > 999) {
    if (error) *error = "box numbers go up to 999";
    return false;
  }
  if (!MakeDirs(layout_ == Layout::kStorage ? dir : dir / kItemFolder, error)) return false;
  if (!WriteBoxLocked(info, error)) {
    fs::remove_all(dir, ec);
    return false;
  }
  if (layout_ == Layout::kStorage) return Touch(dir / "ready.sts", error);
  return true;
}

bool BoxStore::UpdateBox(const BoxInfo& info, std::string* error) {
  std::lock_guard lock(mu_);
  std::error_code ec;
  if (!fs::is_directory(BoxDir(info.number), ec)) {
    if (error) *error = "no box " + std::to_string(info.number);
    return false;
  }
  return WriteBoxLocked(info, error);
}

bool BoxStore::DeleteBox(uint32_t box, std::string* error) {
  std::lock_guard lock(mu_);
  std::error_code ec;
  if (!fs::is_directory(BoxDir(box), ec)) {
    if (error) *error = "no box " + std::to_string(box);
    return false;
  }
  fs::remove_all(BoxDir(box), ec);
  if (!ec && layout_ != Layout::kStorage) fs::remove(BoxPropertyFile(box), ec);
  if (ec) {
    if (error) *error = "cannot delete box " + std::to_string(box) + ": " + ec.message();
    return false;
  }
  return true;
}

// ---- items ---------------------------------------------------------------

// The folder holding a container's items: the box's item root for folder 0,
// else the folder's own folder. Empty path when there is no such container.
fs::path BoxStore::ContainerDir(uint32_t box, uint32_t folder) const {
  fs::path root = ItemRoot(box);
  std::error_code ec;
  if (root.empty() || !fs::is_directory(root, ec)) return {};
  if (folder == 0) return root;
  if (layout_ != Layout::kStorage) {
    fs::path dir = root / ItemFolderName(ItemKind::kFolder, folder);
    return fs::is_directory(dir, ec) ? dir : fs::path();
  }
  for (const ItemInfo& item : ListItemsLocked(box, 0))
    if (item.kind == ItemKind::kFolder && item.number == folder) return item.dir;
  return {};
}

std::optional<ItemInfo> BoxStore::ReadItem(const fs::path& dir, ItemKind kind,
                                           uint32_t folder) const {
  ItemInfo item;
  item.kind = kind;
  item.folder = folder;
  item.dir = dir;
  std::error_code ec;
  if (layout_ == Layout::kStorage) {
    item.property_file =
        dir / (kind == ItemKind::kFolder ? "folderproperties.xml" : "documentproperties.xml");
    item.name = ReadPropertyElement(item.property_file,
                                    kind == ItemKind::kFolder ? "folderName" : "documentName")
                    .value_or(dir.filename().string());
    item.create_date = PropertyNumber(item.property_file, "creationDate");
    item.last_update_date = PropertyNumber(item.property_file, "lastModifiedDate");
    item.last_access_date = PropertyNumber(item.property_file, "lastAccessDate");
  } else {
    item.property_file = fs::path(dir.string() + ".XML");
    auto bytes = ReadFile(item.property_file);
    if (!bytes) return std::nullopt;
    auto decoded = DecodeItemFile(*bytes);
    if (!decoded) return std::nullopt;
    item.number = ParseNumbered(dir.filename().string(),
                                kind == ItemKind::kFolder ? 'F' : 'D').value_or(0);
    item.name = platform::Utf16ToUtf8(decoded->display_name);
    item.create_date = decoded->create_date;
    item.last_update_date = decoded->last_update;
    item.last_access_date = decoded->last_access;
  }
  if (kind == ItemKind::kDocument) {
    item.pages = CountPages(layout_, dir, &item.size);
  } else {
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
      std::string name = entry.path().filename().string();
      bool is_doc = layout_ == Layout::kStorage
                        ? fs::exists(entry.path() / "documentproperties.xml", ec)
                        : name.size() > 4 && name.ends_with(".XML") &&
                              ParseNumbered(name.substr(0, name.size() - 4), 'D');
      if (!is_doc) continue;
      ++item.num_documents;
      uint64_t bytes = 0;
      fs::path doc = layout_ == Layout::kStorage ? entry.path()
                                                 : dir / name.substr(0, name.size() - 4);
      CountPages(layout_, doc, &bytes);
      item.size += bytes;
    }
  }
  return item;
}

std::vector<ItemInfo> BoxStore::ListItemsLocked(uint32_t box, uint32_t folder) const {
  std::vector<ItemInfo> folders, documents;
  fs::path dir = ContainerDir(box, folder);
  if (dir.empty()) return {};
  std::error_code ec;
  std::vector<fs::path> entries;
  for (const auto& entry : fs::directory_iterator(dir, ec)) entries.push_back(entry.path());
  std::sort(entries.begin(), entries.end());
  for (const fs::path& path : entries) {
    std::string name = path.filename().string();
    if (layout_ == Layout::kStorage) {
      if (!fs::is_directory(path, ec)) continue;
      if (fs::exists(path / "documentproperties.xml", ec)) {
        if (auto item = ReadItem(path, ItemKind::kDocument, folder)) documents.push_back(*item);
      } else if (folder == 0 && fs::exists(path / "folderproperties.xml", ec)) {
        if (auto item = ReadItem(path, ItemKind::kFolder, folder)) folders.push_back(*item);
      }
      continue;
    }
    if (name.size() <= 4 || !name.ends_with(".XML")) continue;
    std::string base = name.substr(0, name.size() - 4);
    if (ParseNumbered(base, 'D')) {
      if (auto item = ReadItem(dir / base, ItemKind::kDocument, folder)) documents.push_back(*item);
    } else if (folder == 0 && ParseNumbered(base, 'F')) {
      if (auto item = ReadItem(dir / base, ItemKind::kFolder, folder)) folders.push_back(*item);
    }
  }
  auto by_number = [](const ItemInfo& a, const ItemInfo& b) { return a.number < b.number; };
  if (layout_ == Layout::kStorage) {
    // Listing order is name order; the position is the number.
    for (size_t i = 0; i < folders.size(); ++i) folders[i].number = static_cast<uint32_t>(i + 1);
    for (size_t i = 0; i < documents.size(); ++i) documents[i].number = static_cast<uint32_t>(i + 1);
  } else {
    std::sort(folders.begin(), folders.end(), by_number);
    std::sort(documents.begin(), documents.end(), by_number);
  }
  folders.insert(folders.end(), documents.begin(), documents.end());
  return folders;
}

std::vector<ItemInfo> BoxStore::ListItems(uint32_t box, uint32_t folder) const {
  std::lock_guard lock(mu_);
  return ListItemsLocked(box, folder);
}

std::optional<ItemInfo> BoxStore::GetItem(uint32_t box, uint32_t folder, ItemKind kind,
                                          uint32_t number) const {
  std::lock_guard lock(mu_);
  for (ItemInfo& item : ListItemsLocked(box, folder))
    if (item.kind == kind && item.number == number) return std::move(item);
  return std::nullopt;
}

std::optional<ItemInfo> BoxStore::CreateFolder(uint32_t box, std::string_view name,
                                               uint32_t date, std::string* error) {
  std::lock_guard lock(mu_);
  fs::path container = ContainerDir(box, 0);
  if (container.empty()) {
    if (error) *error = "no box " + std::to_string(box);
    return std::nullopt;
  }
  fs::path dir;
  if (layout_ == Layout::kStorage) {
    dir = NewStorageItemDir(container, name, "folder", error);
    if (dir.empty() || !MakeDirs(dir, error) ||
        !WritePropertyFile(dir / "folderproperties.xml", PropertyNamespace::kSchema,
                           FolderProperties(name, date, date, 0, date), error) ||
        !Touch(dir / "ready.sts", error))
      return std::nullopt;
  } else {
    auto wide = ItemFileName(name, "folder", error);
    if (!wide) return std::nullopt;
    std::string own = ItemFolderName(
        ItemKind::kFolder, NextItemNumber(ListItemsLocked(box, 0), ItemKind::kFolder));
    dir = container / own;
    ItemFile file{own, *wide, date, date, date, 0, 0};
    if (!MakeDirs(dir, error) ||
        !WriteFile(fs::path(dir.string() + ".XML"), EncodeItemFile(file), error))
      return std::nullopt;
  }
  for (ItemInfo& item : ListItemsLocked(box, 0))
    if (item.kind == ItemKind::kFolder && item.dir == dir) return std::move(item);
  if (error) *error = "folder vanished";
  return std::nullopt;
}

std::optional<ItemInfo> BoxStore::CreateDocument(uint32_t box, uint32_t folder,
                                                 std::string_view name,
                                                 const std::vector<std::string>& pages,
                                                 uint32_t date, std::string* error) {
  std::lock_guard lock(mu_);
  fs::path container = ContainerDir(box, folder);
  if (container.empty()) {
    if (error) *error = "no container " + std::to_string(box) + "/" + std::to_string(folder);
    return std::nullopt;
  }
  uint64_t size = 0;
  for (const std::string& p : pages) size += p.size();
  fs::path dir;
  if (layout_ == Layout::kStorage) {
    dir = NewStorageItemDir(container, name, "document", error);
    if (dir.empty() || !MakeDirs(dir / "Image", error) ||
        !WritePropertyFile(dir / "documentproperties.xml", PropertyNamespace::kSchemaInstance,
                           DocumentProperties(name, static_cast<uint32_t>(pages.size()), size,
                                              date, date, date),
                           error) ||
        !Touch(dir / "ready.sts", error) || !Touch(dir / ".document", error))
      return std::nullopt;
    for (size_t i = 0; i < pages.size(); ++i) {
      char props[64];
      std::snprintf(props, sizeof props, "Image/pageproperties_%03u.xml",
                    static_cast<unsigned>(i + 1));
      if (!WriteFile(dir / PageFileName(layout_, static_cast<uint32_t>(i + 1)), pages[i], error) ||
          !WritePropertyFile(dir / props, PropertyNamespace::kSchema,
                             PageProperties(pages[i].size()), error))
        return std::nullopt;
    }
  } else {
    auto wide = ItemFileName(name, "document", error);
    if (!wide) return std::nullopt;
    std::string own = ItemFolderName(
        ItemKind::kDocument, NextItemNumber(ListItemsLocked(box, folder), ItemKind::kDocument));
    dir = container / own;
    ItemFile file{own, *wide, date, date, date, static_cast<uint32_t>(pages.size()),
                  static_cast<uint32_t>(size)};
    if (!MakeDirs(dir, error)) return std::nullopt;
    for (size_t i = 0; i < pages.size(); ++i)
      if (!WriteFile(dir / PageFileName(layout_, static_cast<uint32_t>(i + 1)), pages[i], error))
        return std::nullopt;
    if (!WriteFile(fs::path(dir.string() + ".XML"), EncodeItemFile(file), error))
      return std::nullopt;
  }
  if (auto item = ReadItem(dir, ItemKind::kDocument, folder)) {
    for (const ItemInfo& listed : ListItemsLocked(box, folder))
      if (listed.kind == ItemKind::kDocument && listed.dir == dir) item->number = listed.number;
    return item;
  }
  if (error) *error = "document vanished";
  return std::nullopt;
}

bool BoxStore::DeleteItem(uint32_t box, uint32_t folder, ItemKind kind, uint32_t number,
                          std::string* error) {
  std::lock_guard lock(mu_);
  for (const ItemInfo& item : ListItemsLocked(box, folder)) {
    if (item.kind != kind || item.number != number) continue;
    std::error_code ec;
    fs::remove_all(item.dir, ec);
    if (!ec && layout_ != Layout::kStorage) fs::remove(item.property_file, ec);
    if (ec) {
      if (error) *error = "cannot delete " + item.dir.string() + ": " + ec.message();
      return false;
    }
    return true;
  }
  if (error) *error = "no such item";
  return false;
}

// ---- pages and dates -----------------------------------------------------

std::optional<std::string> BoxStore::ReadPage(const ItemInfo& document, uint32_t page) const {
  std::lock_guard lock(mu_);
  if (page == 0) return std::nullopt;
  return ReadFile(document.dir / PageFileName(layout_, page));
}

bool BoxStore::UpdateDocumentLocked(const ItemInfo& document, std::string* error) {
  uint64_t size = 0;
  uint32_t pages = CountPages(layout_, document.dir, &size);
  if (layout_ == Layout::kStorage)
    return WritePropertyElement(document.property_file, "totalPages", Dec(pages), error) &&
           WritePropertyElement(document.property_file, "totalSize", Dec(size), error) &&
           WritePropertyElement(document.property_file, "lastModifiedDate",
                                Dec(document.last_update_date), error);
  auto bytes = ReadFile(document.property_file);
  std::optional<ItemFile> file = bytes ? DecodeItemFile(*bytes) : std::nullopt;
  if (!file) {
    if (error) *error = "unreadable item file " + document.property_file.string();
    return false;
  }
  file->pages = pages;
  file->size = static_cast<uint32_t>(size);
  file->last_update = document.last_update_date;
  // Keep whatever the file holds beyond our fields.
  std::string out = EncodeItemFile(*file);
  if (bytes->size() > out.size()) out += bytes->substr(out.size());
  return WriteFile(document.property_file, out, error);
}

bool BoxStore::WritePage(const ItemInfo& document, uint32_t page, std::string_view bytes,
                         uint32_t date, std::string* error) {
  std::lock_guard lock(mu_);
  uint64_t size = 0;
  uint32_t pages = CountPages(layout_, document.dir, &size);
  if (document.kind != ItemKind::kDocument || page == 0 || page > pages + 1) {
    if (error) *error = "page " + std::to_string(page) + " out of range";
    return false;
  }
  if (!WriteFile(document.dir / PageFileName(layout_, page), bytes, error)) return false;
  if (layout_ == Layout::kStorage) {
    char props[64];
    std::snprintf(props, sizeof props, "Image/pageproperties_%03u.xml", page);
    if (!WritePropertyFile(document.dir / props, PropertyNamespace::kSchema,
                           PageProperties(bytes.size()), error))
      return false;
  }
  ItemInfo updated = document;
  updated.last_update_date = date;
  return UpdateDocumentLocked(updated, error);
}

bool BoxStore::SetLastAccess(const ItemInfo& item, uint32_t when, std::string* error) {
  std::lock_guard lock(mu_);
  if (layout_ == Layout::kStorage)
    return WritePropertyElement(item.property_file, "lastAccessDate", Dec(when), error);
  auto bytes = ReadFile(item.property_file);
  if (!bytes || bytes->size() < kItemLastAccessOffset + 4) {
    if (error) *error = "unreadable item file " + item.property_file.string();
    return false;
  }
  for (int i = 0; i < 4; ++i)
    (*bytes)[kItemLastAccessOffset + i] = static_cast<char>(when >> (24 - 8 * i));
  return WriteFile(item.property_file, *bytes, error);
}

uint64_t BoxStore::UsedBytes() const {
  std::lock_guard lock(mu_);
  return TreeBytes(DataDir());
}

}  // namespace devsim
