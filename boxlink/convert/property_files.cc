#include "boxlink/convert/property_files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include <pugixml.hpp>

#include "boxlink/base/box_error.h"
#include "boxlink/convert/value_maps.h"
#include "boxlink/zip/zip_file.h"
#include "platform/text.h"

namespace boxlink {

namespace {

constexpr char kSchemaInstanceUri[] = "http://www.w3.org/2001/XMLSchema-instance";
constexpr char kSchemaUri[] = "http://www.w3.org/2001/XMLSchema";

std::string Num(int64_t v) { return std::to_string(v); }
std::string Bool(bool b) { return b ? "true" : "false"; }

void Add(pugi::xml_node parent, std::string_view name, std::string_view text) {
  pugi::xml_node child = parent.append_child(std::string(name).c_str());
  if (!child) Raise(ZB_ERR_NOT_ENOUGH_MEMORY);
  if (!text.empty() && !child.text().set(std::string(text).c_str()))
    Raise(ZB_ERR_NOT_ENOUGH_MEMORY);
}

pugi::xml_node Child(pugi::xml_node parent, const char* name) {
  pugi::xml_node child = parent.append_child(name);
  if (!child) Raise(ZB_ERR_NOT_ENOUGH_MEMORY);
  return child;
}

pugi::xml_document NewDocument() {
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  return doc;
}

void Save(const pugi::xml_document& doc, const std::string& path) {
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  std::string text = out.str();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) Raise(SystemErrorFromErrno(errno));
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  int err = errno;
  ok = std::fclose(f) == 0 && ok;
  if (!ok) Raise(SystemErrorFromErrno(err ? err : EIO));
}

// "%s,%d;" per listed name with a non-zero count, in table order.
template <size_t N>
std::string NamedCounts(const std::string_view (&names)[N], const uint32_t (&codes)[N],
                        const std::map<uint32_t, uint32_t>& counts) {
  std::string out;
  for (size_t i = 0; i < N; ++i) {
    auto it = counts.find(codes[i]);
    if (it != counts.end() && it->second)
      out += std::string(names[i]) + "," + Num(it->second) + ";";
  }
  return out;
}

// "%d,%d;" per code of the map with a non-zero count, in table order; a
// code the map lists twice is counted once.
std::string CodeCounts(const maps::ValueMap& map, const std::map<uint32_t, uint32_t>& counts) {
  std::string out;
  std::map<uint32_t, bool> seen;
  for (const maps::Code& c : map.codes) {
    if (seen[c.code]) continue;
    seen[c.code] = true;
    auto it = counts.find(c.code);
    if (it != counts.end() && it->second)
      out += Num(c.code) + "," + Num(it->second) + ";";
  }
  return out;
}

}  // namespace

void WritePropertyFile(const std::string& path, PropertyNamespace ns,
                       const PropertyList& properties) {
  pugi::xml_document doc = NewDocument();
  pugi::xml_node root = Child(doc, "BoxDocument");
  if (ns == PropertyNamespace::kSchemaInstance)
    root.append_attribute("xmlns:xsi") = kSchemaInstanceUri;
  else
    root.append_attribute("xmlns:xs") = kSchemaUri;
  for (const auto& [name, value] : properties) Add(root, name, value);
  Save(doc, path);
}

PropertyList BoxProperties(const legacy::BoxDescriptor& b, std::string_view password_field,
                           uint32_t total_size) {
  const bool protected_box = !b.password.empty();
  return {
      {"documentType", "TarnBox"},
      {"boxName", platform::Utf16ToCodePage(b.name)},
      {"boxNo", b.number_text},
      {"startupType", ""},
      {"enabled", "true"},
      {"ProcessGroup", ""},
      {"userName", b.user},
      {"comment", ""},
      {"isPasswordProtected", Bool(protected_box)},
      {"password", protected_box ? std::string(password_field) : ""},
      {"preservationPeriodFlag", Bool(b.preservation == 1)},
      {"documentPreserveDays", Num(b.preserve_days)},
      {"notifyBeforeDeletionOfDocument", Bool(b.notify & 1)},
      {"notifyOnError", Bool(b.notify & 2)},
      {"notifyOnJobCompletion", Bool(b.notify & 4)},
      {"notificationEmailAddress", b.email},
      {"creationDate", Num(b.created)},
      {"lastModifiedDate", Num(b.modified)},
      {"lastAccessDate", Num(b.accessed)},
      {"lastBackupDate", Num(b.last_backup)},
      {"documentPrint", ""},
      {"relayEndReport", ""},
      {"writeMode", ""},
      {"transferInformation", ""},
      {"lastPurgeTime", ""},
      {"relayReportDestination", ""},
      {"relayReportDestinationType", ""},
      {"relayReportContactId", ""},
      {"totalBoxSize", Num(total_size)},
      {"ownerID", ""},
      {"authState", "IDLE"},
      {"authFailureCount", "0"},
      {"authTimer", "0"},
      {"authFailureCount_SSDK", "0"},
      {"phoneNumber", "0"},
  };
}

PropertyList DocumentProperties(const DocumentFacts& doc) {
  const legacy::Descriptor& d = doc.descriptor;
  std::map<uint32_t, uint32_t> jobs, colours, papers, resolutions;
  std::map<std::string, uint32_t> job_colours;
  for (const legacy::PageDescriptor& p : doc.pages) {
    ++jobs[p.job_type];
    ++colours[p.colour_mode];
    ++papers[p.paper_size];
    ++resolutions[p.resolution];
    std::string_view job = maps::kJobType.Text(p.job_type);
    std::string_view colour = maps::kColourMode.Text(p.colour_mode);
    if (!job.empty() && !colour.empty()) ++job_colours[std::string(job) + "|" + std::string(colour)];
  }
  // Job and colour together: "CopyColor,2;", jobs outside, colours inside.
  std::string job_colour_map;
  for (size_t j = 0; j < std::size(maps::kJobNames); ++j)
    for (size_t c = 0; c < std::size(maps::kColourNames); ++c) {
      std::string key = std::string(maps::kJobType.Text(maps::kJobCodes[j])) + "|" +
                        std::string(maps::kColourMode.Text(maps::kColourCodes[c]));
      auto it = job_colours.find(key);
      if (it != job_colours.end())
        job_colour_map += std::string(maps::kJobNames[j]) + std::string(maps::kColourNames[c]) +
                          "," + Num(it->second) + ";";
    }
  const bool received = d.job_source & legacy::kSourceReceived;
  return {
      {"documentName", doc.name},
      {"jobType", std::string(maps::kJobType.Text(d.JobType()))},
      {"mixpaperSize", std::string(maps::kPaperSize.Text(d.paper_flags))},
      {"mixresolution", std::string(maps::kResolutionPair.Text(d.resolution))},
      {"mixcolorMono", std::string(maps::kColourMode.Text(d.colour_flags & legacy::kColourModeBits))},
      {"totalSize", Num(d.data_size)},
      {"totalPages", Num(d.pages)},
      {"creationDate", Num(d.created)},
      {"lastModifiedDate", Num(d.modified)},
      {"lastAccessDate", Num(d.accessed)},
      {"lastArchiveDate", Num(d.archived)},
      {"from", ""},
      {"receptionTime", received ? Num(d.created) : "0"},
      {"receptionNumber", Num(d.reception_number)},
      {"cutDocument", ""},
      {"paperSizeMap", CodeCounts(maps::kPaperSize, papers)},
      {"jobTypeColorMap", job_colour_map},
      {"jobTypeMap", NamedCounts(maps::kJobNames, maps::kJobCodes, jobs)},
      {"totalDocSize", Num(int64_t(d.data_size) + int64_t(doc.wep_size))},
      {"docWEPSize", Num(int64_t(doc.wep_size))},
      {"sessionID", ""},
      {"srcBoxBasePath", ""},
      {"srcBoxNumber", Num(doc.box_number)},
      {"srcFolderName", doc.legacy_folder},
      {"srcDocumentName", doc.legacy_name},
      {"IsImagedataPresent", "FALSE"},
      {"IsSubsamplingdataPresent", "FALSE"},
      {"IsThumbnaildataPresent", "FALSE"},
      {"horizontalResolutionMap", CodeCounts(maps::kResolution, resolutions)},
      {"verticalResolutionMap", CodeCounts(maps::kVerticalResolution, resolutions)},
      {"colorModeMap", NamedCounts(maps::kColourNames, maps::kColourCodes, colours)},
      {"count", "0"},
      {"InputPageCount", Num(d.pages)},
      {"StatusOfReceivedData", received ? "1" : "0"},
      {"StatusOfHardCopy", "0"},
      {"StatusOfRelayReport", "0"},
      {"duplex", Bool(d.Duplex())},
      {"paperType", std::string(maps::kPaperType.Text(d.paper_type))},
      {"paperSource", std::string(maps::kPaperSource.Text(d.paper_source))},
      {"staple", std::string(maps::kStaple.Text(d.Staple()))},
      {"holePunch", std::string(maps::kHolePunch.Text(d.HolePunch()))},
      {"faxDuplex", ""},
      {"WorkspaceDocName", ""},
      {"statusOfPollingTransmission", "0"},
  };
}

PropertyList FolderProperties(std::string_view name, const legacy::Descriptor& f,
                              uint64_t total_size) {
  return {
      {"folderName", std::string(name)},
      {"creationDate", Num(f.created)},
      {"lastModifiedDate", Num(f.modified)},
      {"totalFolderSize", Num(int64_t(total_size))},
      {"documentType", "Folder"},
      {"lastAccessDate", Num(f.accessed)},
  };
}

PropertyList PageProperties(const legacy::PageDescriptor& p) {
  return {
      {"jobType", std::string(maps::kJobType.Text(p.job_type))},
      {"horizontalResolution", std::string(maps::kResolution.Text(p.resolution))},
      {"verticalResolution", std::string(maps::kVerticalResolution.Text(p.resolution))},
      {"imageWidth", Num(p.width)},
      {"imageHeight", Num(p.height)},
      {"paperSize", std::string(maps::kPaperSize.Text(p.paper_size))},
      {"fileSize", Num(p.file_size)},
      {"colorMode", std::string(maps::kColourMode.Text(p.colour_mode))},
      {"cutPage", ""},
      {"adjustedImageWidth", Num(p.adjusted_width)},
      {"adjustedImageHeight", Num(p.adjusted_height)},
      {"orientation", Num(p.orientation)},
      {"angle", std::string(maps::kAngle.Text(p.angle))},
  };
}

uint64_t WriteWep(const std::string& path, const legacy::JobFile& job, const WepContext& ctx) {
  const bool scan = job.job_type == 2;
  pugi::xml_document doc = NewDocument();
  pugi::xml_node queues = Child(doc, "Queues");
  pugi::xml_node branch = Child(queues, scan ? "Scan" : "Print");
  pugi::xml_node wep = Child(branch, "WorkflowExecutionParameter");
  Add(wep, "WorkflowPolicy", "Default");
  pugi::xml_node owner = Child(wep, "OwnerInformation");
  Add(owner, "OwnerName", ctx.owner);
  pugi::xml_node colour = Child(wep, "colorparameter");
  Add(colour, "ColorMode", maps::kColourMode.Text(job.colour_mode));
  std::string_view paper = maps::kPaperSize.Text(job.paper_size);
  if (scan) {
    pugi::xml_node params = Child(Child(wep, "Scan"), "ScanParameter");
    Add(Child(params, "OriginalSizeInformation"), "OriginalSize", paper);
    Add(params, "Resolution", maps::kResolutionPair.Text(job.resolution));
    Add(params, "Duplex", Bool(job.duplex));
    Add(params, "Orientation", maps::kOrientation.Text(job.orientation));
  } else {
    pugi::xml_node params = Child(Child(wep, "DataStream"), "DataStreamParameter");
    Add(params, "PaperSize", paper);
    Add(params, "PaperType", maps::kPaperType.Text(job.paper_type));
    Add(params, "PaperSource", maps::kPaperSource.Text(job.paper_source));
    Add(params, "Copies", Num(job.copies));
    Add(params, "Duplex", Bool(job.duplex));
    Add(params, "Sort", maps::kSort.Text(job.sort));
    Add(params, "Staple", maps::kStaple.Text(job.staple));
    Add(params, "HolePunch", maps::kHolePunch.Text(job.hole_punch));
    Add(params, "OutputTray", maps::kOutputTray.Text(job.output_tray));
    Add(params, "Orientation", maps::kOrientation.Text(job.orientation));
    Add(params, "Resolution", maps::kResolutionPair.Text(job.resolution));
  }
  pugi::xml_node store = Child(Child(wep, "TarnStore"), "TarnStoreParameter");
  Add(store, "BoxBasePath", "/storage/box/TarnBoxes");
  Add(store, "BoxNo", Num(ctx.box_number));
  Add(store, "BoxName", ctx.box_name);
  Add(store, "BoxPassword", ctx.box_password);
  Add(store, "FolderName", ctx.folder_name);
  Save(doc, path);
  std::error_code ec;
  uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : uint64_t(size);
}

}  // namespace boxlink
