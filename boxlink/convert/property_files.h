// The XML property files of the storage layout that the format conversion
// writes: "BoxDocument" with one child element per property, in the order
// the device reads them, and the job parameters "wep.xml".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boxlink.h"
#include "boxlink/convert/legacy_layout.h"

namespace boxlink {

using PropertyList = std::vector<std::pair<std::string, std::string>>;

// The namespace attribute on the root: "xmlns:xsi" (box and document
// properties) or "xmlns:xs" (folder and page properties).
enum class PropertyNamespace { kSchemaInstance, kSchema };

// Writes the file anew. Throws 8 when an element cannot be added, the
// system error when the file cannot be written.
void WritePropertyFile(const std::string& path, PropertyNamespace ns,
                       const PropertyList& properties);

// "boxproperties.xml". password_field is what the "password" element holds
// (the hashed form, or the plain text when hashing failed); total_size the
// box's used disk from the index.
PropertyList BoxProperties(const legacy::BoxDescriptor& box, std::string_view password_field,
                           uint32_t total_size);

// What "documentproperties.xml" says of one converted document.
struct DocumentFacts {
  std::string name;             // UTF-8, as the converted document is called
  std::string legacy_name;      // UTF-8, as the legacy descriptor said
  std::string legacy_folder;    // UTF-8 name of the legacy folder, or empty
  uint32_t box_number = 0;
  legacy::Descriptor descriptor;
  std::vector<legacy::PageDescriptor> pages;
  uint64_t wep_size = 0;
};
PropertyList DocumentProperties(const DocumentFacts& doc);

PropertyList FolderProperties(std::string_view name, const legacy::Descriptor& folder,
                              uint64_t total_size);
PropertyList PageProperties(const legacy::PageDescriptor& page);

// What "wep.xml" names besides the job file's parameters.
struct WepContext {
  uint32_t box_number = 0;
  std::string box_name;       // UTF-8
  std::string box_password;   // the "password" field of the box properties
  std::string owner;          // the box's user name
  std::string folder_name;    // UTF-8, empty at the box's top level
};
// Writes "wep.xml": root "Queues", a "Scan" branch for scan jobs, else
// "Print". Returns the file's size. Throws as WritePropertyFile.
uint64_t WriteWep(const std::string& path, const legacy::JobFile& job, const WepContext& ctx);

// The paper size of a job or property file, looked for in this order:
// the print parameters, "BoxDocument/paperSize", the scan parameters.
inline constexpr std::string_view kWepPrintPaperPath =
    "Queues/Print/WorkflowExecutionParameter/DataStream/DataStreamParameter/PaperSize";
inline constexpr std::string_view kWepScanPaperPath =
    "Queues/Scan/WorkflowExecutionParameter/Scan/ScanParameter/OriginalSizeInformation/"
    "OriginalSize";
inline constexpr std::string_view kPagePaperPath = "BoxDocument/paperSize";

}  // namespace boxlink
