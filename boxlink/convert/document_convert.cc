#include "boxlink/convert/document_convert.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

#include "boxlink/base/format.h"
#include "boxlink/base/box_error.h"
#include "boxlink/convert/legacy_archive.h"
#include "boxlink/convert/legacy_layout.h"
#include "boxlink/engine/item_names.h"
#include "boxlink/zip/zip_file.h"
#include "platform/text.h"
#include "standins/boxendian/image_index.h"

namespace boxlink {

namespace fs = std::filesystem;

namespace {

std::string ReadHead(const std::string& path, size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Raise(SystemErrorFromErrno(errno ? errno : ENOENT));
  std::string out(bytes, '\0');
  in.read(out.data(), std::streamsize(bytes));
  out.resize(size_t(in.gcount()));
  return out;
}

void MakeFolder(const std::string& path) {
  std::error_code ec;
  if (!fs::create_directory(path, ec)) Raise(ec ? SystemErrorFromErrno(ec.value()) : 183);
}

void MakeEmptyFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) Raise(SystemErrorFromErrno(errno));
  if (std::fclose(f) != 0) Raise(SystemErrorFromErrno(errno));
}

void CopyFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::none, ec);
  if (ec) Raise(SystemErrorFromErrno(ec.value()));
}

void Rename(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) Raise(SystemErrorFromErrno(errno));
}

uint64_t FileSize(const std::string& path) {
  std::error_code ec;
  uintmax_t size = fs::file_size(path, ec);
  return ec ? 0 : uint64_t(size);
}

// "name.ext" -> {"name", ".ext"}; the extension keeps its dot.
std::pair<std::string, std::string> SplitExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {name, ""};
  return {name.substr(0, dot), name.substr(dot)};
}

// A name in `folder` not used yet: `stem + ext`, else with "_%03x" added.
std::string FreeName(const std::string& folder, const std::string& stem, const std::string& ext) {
  std::error_code ec;
  std::string name = stem + ext;
  for (unsigned n = 1; fs::exists(fs::symlink_status(folder + "/" + name, ec)); ++n)
    name = stem + Format("_%03x", n) + ext;
  return name;
}

bool IsJobFileName(const std::string& name) {
  return name.find("PRINT") != std::string::npos || name.find("print") != std::string::npos;
}

void WriteImageIndex(const std::string& folder, std::vector<zelt::endian::ImageIndexEntry> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.page < b.page; });
  zelt::endian::ImageIndex index{zelt::endian::ByteOrder::kLittle, std::move(entries)};
  std::string bytes = zelt::endian::EncodeImageIndex(index);
  std::string path = folder + "/" + zelt::endian::kImageIndexName;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) Raise(SystemErrorFromErrno(errno));
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int err = errno;
  ok = std::fclose(f) == 0 && ok;
  if (!ok) Raise(SystemErrorFromErrno(err ? err : EIO));
}

// Page files copied into "Image" take the names the device reads:
// "page_%03d.bin" for the page image (a ".rec" before any other file of the
// page), "page_%03d.%03x" for further files of the same page. Returns the
// index entries of the page images.
std::vector<zelt::endian::ImageIndexEntry> RenamePageFiles(const std::string& image) {
  std::map<uint32_t, std::vector<std::string>> by_page;
  for (const std::string& f : ListEntries(image, false)) {
    if (f.starts_with("pageproperties_") || f == zelt::endian::kImageIndexName) continue;
    if (std::optional<uint32_t> n = legacy::PageNumber(f)) by_page[*n].push_back(f);
  }
  std::vector<zelt::endian::ImageIndexEntry> entries;
  // Two steps, so that no new name can meet a file not renamed yet.
  std::vector<std::pair<std::string, std::string>> moves;
  unsigned temp = 0;
  for (auto& [page, files] : by_page) {
    std::stable_sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
      return SplitExtension(a).second == ".rec" && SplitExtension(b).second != ".rec";
    });
    for (size_t i = 0; i < files.size(); ++i) {
      std::string tmp = Format("~rename_%03x", temp++);
      Rename(image + "/" + files[i], image + "/" + tmp);
      std::string final_name = i == 0 ? Format("page_%03u.bin", page)
                                      : Format("page_%03u.", page) + Format("%03zx", i);
      moves.emplace_back(tmp, final_name);
      if (i == 0) entries.push_back({page, 0});
    }
  }
  for (const auto& [tmp, final_name] : moves)
    Rename(image + "/" + tmp, image + "/" + FreeName(image, SplitExtension(final_name).first,
                                                     SplitExtension(final_name).second));
  for (auto& e : entries)
    e.size = uint32_t(FileSize(image + "/" + Format("page_%03u.bin", e.page)));
  return entries;
}

}  // namespace

std::u16string StorageItemName(std::u16string_view legacy_name) {
  if (IsSafeItemName(legacy_name)) return std::u16string(legacy_name);
  std::u16string name;
  for (char16_t c : legacy_name) {
    bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    name += (c == u'/' || c == u'\\' || control) ? u'_' : c;
  }
  if (name.empty() || name == u"." || name == u"..") name = u"_" + name;
  return name;
}

std::u16string UnusedName(std::u16string_view name, const std::set<std::u16string>& taken) {
  std::u16string candidate(name);
  for (unsigned n = 1; taken.count(candidate); ++n)
    candidate = std::u16string(name) + platform::Utf8ToUtf16(Format("-%03u", n));
  return candidate;
}

void DocumentConverter::ConvertLevel(const std::string& legacy_folder,
                                     const std::string& destination,
                                     const std::string& legacy_folder_name) {
  std::set<std::u16string> names;  // of this level, documents and folders
  unsigned counter = 0;
  const std::vector<std::string> files = ListEntries(legacy_folder, false);
  for (const std::string& f : files) {
    if (!f.starts_with("D000") || !legacy::DescriptorNumber(f, 'D')) continue;
    signals_.CheckCancel();
    const std::string path = legacy_folder + "/" + f;
    legacy::Descriptor d = legacy::DecodeDescriptor(ReadHead(path, legacy::kDescriptorBytes));
    std::u16string name = UnusedName(StorageItemName(d.name), names);
    names.insert(name);
    ConvertDocument(path, destination + "/" + Format("%04u", ++counter), name,
                    legacy_folder_name);
    if (document_done_) document_done_();
  }
  for (const std::string& f : files) {
    if (!f.starts_with("F000") || !legacy::DescriptorNumber(f, 'F')) continue;
    const std::string path = legacy_folder + "/" + f;
    legacy::Descriptor d = legacy::DecodeDescriptor(ReadHead(path, legacy::kDescriptorBytes));
    const std::string target = destination + "/" + Format("%04u", ++counter);
    MakeFolder(target);
    std::u16string name = UnusedName(StorageItemName(d.name), names);
    names.insert(name);
    const std::string utf8 = platform::Utf16ToUtf8(name);
    const std::string inner = legacy_folder + "/" + f.substr(0, f.size() - 4);
    DocumentConverter sub(signals_, box_, document_done_);
    sub.box_.folder_name = utf8;
    uint64_t size = 0;
    if (fs::is_directory(fs::symlink_status(inner))) {
      sub.ConvertLevel(inner, target, platform::Utf16ToUtf8(d.name));
      for (const std::string& doc : ListEntries(inner, false))
        if (legacy::DescriptorNumber(doc, 'D'))
          size += legacy::DecodeDescriptor(ReadHead(inner + "/" + doc, legacy::kDescriptorBytes))
                      .data_size;
    }
    WritePropertyFile(target + "/folderproperties.xml", PropertyNamespace::kSchema,
                      FolderProperties(utf8, d, size));
    MakeEmptyFile(target + "/ready.sts");
    // A folder counts as one item of the progress, as the totals have it.
    if (document_done_) {
      document_done_();
    } else {
      signals_.Notify();
      ConvertSignals::Wait(100);
    }
  }
}

uint64_t DocumentConverter::ConvertDocument(const std::string& descriptor_path,
                                            const std::string& target,
                                            const std::u16string& name,
                                            const std::string& legacy_folder_name) {
  DocumentFacts facts;
  facts.descriptor =
      legacy::DecodeDescriptor(ReadHead(descriptor_path, legacy::kDescriptorBytes));
  facts.name = platform::Utf16ToUtf8(name);
  facts.legacy_name = platform::Utf16ToUtf8(facts.descriptor.name);
  facts.legacy_folder = legacy_folder_name;
  facts.box_number = box_.box_number;
  const std::string image = target + "/Image", thumbnail = target + "/Thumbnail",
                    subsampling = target + "/Subsampling";
  MakeFolder(target);
  MakeFolder(image);
  MakeFolder(thumbnail);
  MakeFolder(subsampling);

  // The data folder is named by the descriptor's file name.
  const std::string data = descriptor_path.substr(0, descriptor_path.size() - 4);
  std::vector<zelt::endian::ImageIndexEntry> thumbnails;
  for (const std::string& f : ListEntries(data, false)) {
    const std::string from = data + "/" + f;
    auto [stem, ext] = SplitExtension(f);
    const std::string lower = platform::ToLowerAscii(ext);
    // Only the file's own name decides what it is: folders above it may
    // be called anything.
    if (lower == ".png") {
      std::string to = FreeName(thumbnail, stem, lower);
      CopyFile(from, thumbnail + "/" + to);
      if (std::optional<uint32_t> n = legacy::PageNumber(f))
        thumbnails.push_back({*n, uint32_t(FileSize(thumbnail + "/" + to))});
    } else if (lower == ".xml" && !IsJobFileName(f)) {
      legacy::PageDescriptor page =
          legacy::DecodePageDescriptor(ReadHead(from, legacy::kPageDescriptorBytes));
      page.number = legacy::PageNumber(f).value_or(page.number);
      WritePropertyFile(image + "/" + Format("pageproperties_%03u.xml", page.number),
                        PropertyNamespace::kSchema, PageProperties(page));
      facts.pages.push_back(page);
    } else if (lower == ".xml") {
      legacy::JobFile job = legacy::DecodeJobFile(ReadHead(from, legacy::kJobFileBytes));
      facts.wep_size = WriteWep(target + "/wep.xml", job, box_);
    } else if (ext == ".TJP" || ext == ".tjp" || ext == ".RK1" || ext == ".rk1") {
      CopyFile(from, image + "/" + FreeName(image, stem, ".rec"));
    } else {
      CopyFile(from, image + "/" + FreeName(image, stem, lower));
    }
    signals_.CheckCancel();
  }
  WriteImageIndex(image, RenamePageFiles(image));
  WriteImageIndex(thumbnail, std::move(thumbnails));
  WriteImageIndex(subsampling, {});
  WritePropertyFile(target + "/documentproperties.xml", PropertyNamespace::kSchemaInstance,
                    DocumentProperties(facts));
  // Written last for every document, job file or not: they tell the
  // device that the document is complete.
  MakeEmptyFile(target + "/ready.sts");
  MakeEmptyFile(target + "/.document");
  return facts.descriptor.data_size;
}

}  // namespace boxlink
