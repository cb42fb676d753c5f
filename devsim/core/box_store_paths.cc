// The store's fixed places: where each layout keeps its boxes.
#include <cstdio>

#include "devsim/core/box_store.h"

namespace devsim {

namespace fs = std::filesystem;

BoxStore::BoxStore(fs::path root, Layout layout) : root_(std::move(root)), layout_(layout) {}

const fs::path& BoxStore::root() const { return root_; }
Layout BoxStore::layout() const { return layout_; }

fs::path BoxStore::DataDir() const {
  switch (layout_) {
    case Layout::kShared: return root_ / "SHR" / "BOX" / "DATA";
    case Layout::kClassic: return root_ / "BOX" / "DATA";
    case Layout::kStorage: return root_ / "storage" / "box" / "TarnBoxes";
  }
  return {};
}

fs::path BoxStore::DatabaseDir() const {
  switch (layout_) {
    case Layout::kShared: return root_ / "SHR" / "BOX" / "DATABASE";
    case Layout::kClassic: return root_ / "BOX" / "DATABASE";
    case Layout::kStorage: return {};
  }
  return {};
}

std::string BoxStore::BoxFolderName(Layout layout, uint32_t box) {
  char name[32];
  std::snprintf(name, sizeof name, layout == Layout::kStorage ? "%03u" : "B0000%03u", box);
  return name;
}

std::string BoxStore::ItemFolderName(ItemKind kind, uint32_t number) {
  char name[32];
  std::snprintf(name, sizeof name, "%c0000%03u", kind == ItemKind::kFolder ? 'F' : 'D',
                number);
  return name;
}

fs::path BoxStore::BoxDir(uint32_t box) const {
  return DataDir() / BoxFolderName(layout_, box);
}

fs::path BoxStore::BoxPropertyFile(uint32_t box) const {
  if (layout_ == Layout::kStorage) return BoxDir(box) / "boxproperties.xml";
  return DatabaseDir() / (BoxFolderName(layout_, box) + ".XML");
}

fs::path BoxStore::ItemRoot(uint32_t box) const {
  fs::path dir = BoxDir(box);
  if (layout_ == Layout::kStorage) return dir;
  // The device names the box's single item folder itself; clients find it
  // by listing, so do we. Name order keeps the choice stable.
  std::error_code ec;
  fs::path found;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (!name.empty() && name[0] == 'P' && entry.is_directory(ec) &&
        (found.empty() || name < found.filename().string()))
      found = entry.path();
  }
  return found;
}

std::string BoxStore::FtpHome() const {
  return layout_ == Layout::kStorage ? "storage/box/TarnBoxes" : "";
}

std::string BoxStore::DevicePath(const fs::path& path) const {
  fs::path rel = path.lexically_relative(root_);
  std::string text = rel.generic_string();
  if (text == ".") return "/";
  return "/" + text;
}

bool BoxStore::Init(std::string* error) {
  std::lock_guard lock(mu_);
  std::error_code ec;
  fs::create_directories(DataDir(), ec);
  if (!ec && layout_ != Layout::kStorage) fs::create_directories(DatabaseDir(), ec);
  if (ec) {
    if (error) *error = "cannot create store folders under " + root_.string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace devsim
