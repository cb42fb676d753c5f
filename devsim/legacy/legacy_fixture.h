// Legacy archives for tests and demos: the backups and document archives
// that older device generations wrote, with their binary descriptors laid
// out as boxlink/convert/legacy_layout.h says.
//
// A fixture is described by plain records, which are also the generator's
// record of what it wrote: each document says what it is meant to be
// (colour, wide paper, a compound copy), and tests derive from that, not
// from the bytes, what a conversion must drop and what it must keep.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace devsim::legacy {

enum class Colour { kMono, kFull, kTwo };
enum class Paper { kA4, kA3Wide, kLedgerWide, kSra3, kA3 };
// Where the document came from: a copy, a scan, a print, a received fax, or
// a copy combined with a scan (a compound copy).
enum class Source { kCopy, kScan, kPrint, kFax, kCompoundCopy, kScanPrint };

struct Document {
  uint32_t number = 0;          // D0000nnn
  std::u16string name;
  Colour colour = Colour::kMono;
  Paper paper = Paper::kA4;
  Source source = Source::kCopy;
  uint32_t pages = 1;
  uint32_t page_bytes = 300;
  bool job_file = true;         // PRINTJOB.XML beside the pages
  bool page_descriptors = true; // PAGEnnn.XML beside each page
  uint32_t created = 1600000000;

  bool IsColour() const { return colour != Colour::kMono; }
  bool IsWidePaper() const { return paper == Paper::kA3Wide || paper == Paper::kLedgerWide; }
  bool IsCompoundCopy() const { return source == Source::kCompoundCopy; }
  // Bytes of page data, as the descriptor states it.
  uint32_t DataSize() const { return pages * page_bytes; }
  // What a drop takes off the box's used disk.
  uint32_t UsedDisk() const { return 8 + 11 * pages + DataSize(); }
  // The bytes of page `page` (from 1); distinct for every document.
  std::string PageImage(uint32_t box, uint32_t folder, uint32_t page) const;
};

struct Folder {
  uint32_t number = 0;          // F0000nnn
  std::u16string name;
  std::vector<Document> documents;
};

struct Box {
  uint32_t number = 0;
  std::u16string name;
  std::string user = "owner";
  std::string password;         // empty: not protected
  std::string email;
  uint16_t notify = 0;          // bit 0 before deletion, 1 on error, 2 on completion
  std::vector<Document> documents;
  std::vector<Folder> folders;

  uint32_t DocumentCount() const;
  // The index's BoxUsedDisk: a fixed 100 plus every document's share.
  uint32_t UsedDisk() const;
};

struct Backup {
  std::string engine_version = "Varda7120/7140 V1.3";
  std::string mac = "00:17:c8:00:00:10";
  std::string network_name = "VARDA-LEGACY";
  int64_t date = 1650000000;
  std::vector<Box> boxes;
};

enum class BackupForm {
  // BOX/Backup.XML, BOX/DATABASE.tnb and BOX/DATA.zip holding one
  // B0000nnn.tnb per box: what the filtering conversions take.
  kDataZip,
  // BOX/Backup.XML, BOX/Database.tnb and BOX/B0000nnn.tnb: the classic
  // layout that the format conversion takes.
  kClassic,
};

// Writes the backup archive; false and *error on failure.
bool WriteBackup(const Backup& backup, BackupForm form, const std::string& path,
                 std::string* error);

struct DocumentArchive {
  std::string version = "Varda7120/7140 V1.3";
  std::string mac = "00:17:c8:00:00:11";
  int64_t date = 1650000000;
  std::vector<Document> documents;
};
// ARCHIVE.XML and one member D0000nnn.zip per document, holding the
// descriptor D0000nnn.XML and the document's data as D0000nnn_tmp.zip.
bool WriteDocumentArchive(const DocumentArchive& archive, const std::string& path,
                          std::string* error);

// The standard fixture: colour (full and two-colour), wide-paper (A3 and
// ledger wide), compound-copy and plain documents, several folders, a box
// without documents, names outside ASCII, two folders of one name, a
// folder named like a document of its level, two documents of one name,
// and a name with a separator.
Backup StandardBackup(std::string engine_version = "Varda7120/7140 V1.3");
DocumentArchive StandardDocumentArchive();

}  // namespace devsim::legacy
