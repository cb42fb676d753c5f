// A deterministic box tree for tests and for "devsim populate".
#include <cstdio>
#include <cstdlib>
#include <random>

#include "devsim/core/box_store.h"

namespace devsim {
namespace {

// Names a device may well hold: accented Latin, Greek, Cyrillic, CJK and a
// character outside the basic plane (a surrogate pair in UTF-16).
constexpr const char* kWideWords[] = {
    "Büro", "Ελληνικά", "日本語", "Résumé", "Straße", "Кириллица", "Señal", "Øresund",
    "𝄞 Musik", "Ünïcødé",
};
constexpr const char* kAsciiWords[] = {
    "Invoices", "Scans", "Reports", "Faxes", "Letters", "Contracts", "Drawings", "Minutes",
};

class Generator {
 public:
  explicit Generator(const PopulateOptions& o) : o_(o), rng_(o.seed) {}

  // Even positions draw from the wide words (when allowed), so every
  // container holds at least one non-ASCII name.
  std::string Word(int position) {
    uint32_t r = rng_();
    if (o_.non_ascii && position % 2 == 0)
      return kWideWords[r % std::size(kWideWords)];
    return kAsciiWords[r % std::size(kAsciiWords)];
  }

  uint32_t Date(uint32_t after, uint32_t spread) { return after + 1 + rng_() % spread; }

  std::string Page(uint32_t box, int folder, int doc, int page) {
    char head[64];
    int n = std::snprintf(head, sizeof head, "PAGE box=%u folder=%d doc=%d page=%d\n", box,
                          folder, doc, page);
    std::string bytes(o_.page_bytes, '\0');
    for (size_t i = 0; i < bytes.size(); i += 4) {
      uint32_t r = rng_();
      for (size_t k = 0; k < 4 && i + k < bytes.size(); ++k)
        bytes[i + k] = static_cast<char>(r >> (8 * k));
    }
    bytes.replace(0, std::min(bytes.size(), static_cast<size_t>(n)), head,
                  std::min(bytes.size(), static_cast<size_t>(n)));
    return bytes;
  }

  uint32_t Next() { return rng_(); }

 private:
  const PopulateOptions& o_;
  std::mt19937 rng_;  // fixed algorithm: same seed, same tree everywhere
};

bool AddDocuments(BoxStore& store, Generator& gen, const PopulateOptions& o, uint32_t box,
                  uint32_t folder, int folder_index, uint32_t after, std::string* error) {
  for (int d = 0; d < o.documents; ++d) {
    std::vector<std::string> pages;
    for (int p = 0; p < o.pages; ++p) pages.push_back(gen.Page(box, folder_index, d + 1, p + 1));
    std::string name = gen.Word(d) + " " + std::to_string(d + 1);
    uint32_t created = gen.Date(after, 86400 * 30);
    auto doc = store.CreateDocument(box, folder, name, pages, created, error);
    if (!doc) return false;
    if (!store.SetLastAccess(*doc, gen.Date(created, 86400 * 7), error)) return false;
  }
  return true;
}

}  // namespace

bool Populate(BoxStore& store, const PopulateOptions& o, std::string* error) {
  if (o.boxes < 0 || o.folders < 0 || o.documents < 0 || o.pages < 0) {
    if (error) *error = "counts must not be negative";
    return false;
  }
  if (!store.Init(error)) return false;
  Generator gen(o);
  for (int b = 0; b < o.boxes; ++b) {
    BoxInfo box;
    box.number = o.first_box + static_cast<uint32_t>(b);
    box.name = gen.Word(b) + " Box " + std::to_string(box.number);
    box.owner = "user" + std::to_string(box.number);
    uint32_t pin = gen.Next() % 10000;
    if (b % 2 == 1) {
      char pw[8];
      std::snprintf(pw, sizeof pw, "%04u", pin);
      box.password = pw;
    }
    box.create_date = gen.Date(o.base_date, 86400 * 365);
    box.last_update_date = gen.Date(box.create_date, 86400 * 30);
    box.last_access_date = gen.Date(box.last_update_date, 86400);
    // Every second box was backed up once before, so incremental runs
    // meet both kinds.
    box.last_backup_date = b % 2 == 1 ? gen.Date(box.create_date, 86400) : 0;
    if (store.GetBox(box.number) && !store.DeleteBox(box.number, error)) return false;
    if (!store.CreateBox(box, error)) return false;
    if (!AddDocuments(store, gen, o, box.number, 0, 0, box.create_date, error)) return false;
    for (int f = 0; f < o.folders; ++f) {
      std::string name = gen.Word(f) + " Folder " + std::to_string(f + 1);
      auto folder = store.CreateFolder(box.number, name, gen.Date(box.create_date, 86400), error);
      if (!folder) return false;
      // A storage-layout number holds until the next folder is made.
      if (!AddDocuments(store, gen, o, box.number, folder->number, f + 1,
                        folder->create_date, error))
        return false;
    }
  }
  return true;
}

void Populate(BoxStore& store, const PopulateOptions& options) {
  std::string error;
  if (!Populate(store, options, &error)) {
    std::fprintf(stderr, "devsim: populate failed: %s\n", error.c_str());
    std::abort();
  }
}

}  // namespace devsim
