// The conversion of one legacy item folder into storage-layout items:
// every document descriptor becomes a numbered document folder ("%04d")
// with its property files, pages, thumbnails and image index files; every
// folder descriptor a numbered folder converted the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "boxlink/convert/convert_job.h"
#include "boxlink/convert/property_files.h"

namespace boxlink {

// A legacy name as a storage-layout item name, which is a folder name on
// the device: separators and control characters become "_", and a name
// that is empty, "." or ".." becomes "_", "_." or "_..".
std::u16string StorageItemName(std::u16string_view legacy_name);
// `name`, or the first "%s-%03d" of it (1, 2, ...) not in `taken`.
std::u16string UnusedName(std::u16string_view name, const std::set<std::u16string>& taken);

class DocumentConverter {
 public:
  // item_done is called after each converted document and folder.
  DocumentConverter(const ConvertSignals& signals, WepContext box,
                    std::function<void()> document_done)
      : signals_(signals), box_(std::move(box)), document_done_(std::move(document_done)) {}

  // Converts the legacy items of `legacy_folder` into `destination`.
  // `legacy_folder_name` is the UTF-8 name of the legacy folder (empty for
  // the box's top level). Throws system errors, 995 when cancelled.
  void ConvertLevel(const std::string& legacy_folder, const std::string& destination,
                    const std::string& legacy_folder_name);

 private:
  // Returns the document's data size.
  uint64_t ConvertDocument(const std::string& descriptor_path, const std::string& target,
                           const std::u16string& name, const std::string& legacy_folder_name);

  const ConvertSignals& signals_;
  WepContext box_;
  std::function<void()> document_done_;
};

}  // namespace boxlink
