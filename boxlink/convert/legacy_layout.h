// The binary files of older device generations that the conversion reads,
// and the files it makes that have no XML form. One header for the reader
// and for the fixture generator, so both agree byte for byte.
//
// Numbers are big-endian (most significant byte first) unless a field says
// otherwise. Fields the older devices fill but the conversion never reads
// are written as zeros by the generator.
//
// Document and folder descriptor ("D0000ddd.XML", "F0000fff.XML"), 180 bytes
// written; readers of the filtering conversions take up to 500 bytes, the
// format conversion 180:
//
//   0   8   own name "D0000ddd" / "F0000fff" (so the item number, as
//           decimal digits, starts at 1)
//   8   1   zero
//   9 128   display name, UTF-16LE, zero-terminated (63 units at most)
//   140 4   creation date, seconds since 1970 UTC
//   144 4   last modification date
//   148 4   last access date (where restores write it in item files)
//   152 4   last archive date (documents; 0 for never)
//   156 1   paper source code (paper source map)
//   157 1   job-source flags: bit 1 copy, bit 2 scan, bit 3 fax, bit 4
//           print (the job type map's code shifted left by one); bit 0 set
//           for a received document. A copy (bit 1) together with any of
//           bits 2-4 is a compound copy.
//   158 2   resolution code (resolution pair map)
//   160 4   paper-size flags: one bit per paper size used, the paper size
//           map's codes; bit 14 (A3 wide) and bit 15 (ledger wide) are the
//           wide papers
//   164 2   paper type code (paper type map; 0x8000 marks the back side)
//   166 2   colour flags, the byte at 166 the low one: bits 0-3 the colour
//           mode map's codes of the pages (1 mono, 2 grey, 4 colour,
//           8 FLMBW), bit 9 full-colour pages present, bit 10 two-colour
//           pages present
//   168 1   finishing: bits 0-2 staple code, bits 4-5 hole punch code, bit 7
//           duplex
//   169 2   number of pages, the byte at 169 the low one
//   171 1   sort code (sort map)
//   172 4   document data size in bytes
//   176 4   reception number (received documents; else 0)
//
// Page descriptor ("PAGEnnn.XML" in the document's data folder, nnn the page
// number), 384 bytes: 0 "PAGEnnn" as text; 12 u32 file size; 16 u16 job
// type code; 20 u32 paper size code; 24 u16 resolution code; 26 u16 colour
// mode code; 42, 44 i16 image width and height; 54, 56 i16 adjusted width
// and height; 78 u16 angle; 80 u16 orientation (0 portrait, 256 landscape).
//
// Job file ("PRINTJOB.XML" in the document's data folder: any ".XML" whose
// name holds "PRINT" or "print"), 32 bytes: 0 u16 job type code (2 scan
// selects the scan parameters, anything else the print parameters); 2 u32
// paper size code; 6 u16 colour mode code; 8 u16 resolution code; 10 u16
// copies; 12 u8 duplex (0/1); 13 u8 staple code; 14 u8 hole punch code;
// 15 u8 sort code; 16 u8 output tray code; 17 u8 paper source code; 18 u16
// paper type code; 20 u16 orientation.
//
// Box descriptor ("B0000nnn.XML" of the DATABASE folder), 1000 bytes: 0 box
// number as text, zero-terminated; 9 name, UTF-16LE, 64 bytes; 73 user name,
// text, 64 bytes; 585 password, text, zero-terminated (63 bytes at most);
// 716, 720, 724, 728 u32 creation, last modification, last access and last
// backup dates; 732 u16 preservation flag (1 keeps documents for a period);
// 734 i16 days to keep; 736 u16 notification flags: bit 0 before a document
// is deleted, bit 1 on error, bit 2 on job completion; 738 e-mail address,
// text, zero-terminated (261 bytes at most).
//
// Page files of a document's data folder: "PAGEnnn.TJP" or "PAGEnnn.RK1"
// (compressed page images), other page images "PAGEnnn.<ext>", thumbnails
// "PAGEnnn.PNG".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace boxlink::legacy {

inline constexpr size_t kDescriptorBytes = 180;
inline constexpr size_t kDescriptorReadBytes = 500;  // filtering conversions
inline constexpr size_t kPageDescriptorBytes = 384;
inline constexpr size_t kJobFileBytes = 32;
inline constexpr size_t kBoxDescriptorBytes = 1000;
inline constexpr size_t kNameOffset = 9;
inline constexpr size_t kNameBytes = 128;
inline constexpr size_t kBoxNameBytes = 64;

// Job-source flags (offset 157).
inline constexpr uint8_t kSourceReceived = 1u << 0;
inline constexpr uint8_t kSourceCopy = 1u << 1;
inline constexpr uint8_t kSourceScan = 1u << 2;
inline constexpr uint8_t kSourceFax = 1u << 3;
inline constexpr uint8_t kSourcePrint = 1u << 4;
// Paper-size flags (offset 160).
inline constexpr uint32_t kPaperA3Wide = 1u << 14;
inline constexpr uint32_t kPaperLedgerWide = 1u << 15;
// Colour flags (offset 166).
inline constexpr uint16_t kColourFull = 1u << 9;
inline constexpr uint16_t kColourTwo = 1u << 10;
inline constexpr uint16_t kColourModeBits = 0x000F;
// Finishing (offset 168).
inline constexpr uint8_t kFinishingDuplex = 1u << 7;

struct Descriptor {
  uint32_t number = 0;          // from the text at offset 1
  std::u16string name;
  uint32_t created = 0, modified = 0, accessed = 0, archived = 0;
  uint8_t paper_source = 0;
  uint8_t job_source = 0;
  uint16_t resolution = 0;
  uint32_t paper_flags = 0;
  uint16_t paper_type = 0;
  uint16_t colour_flags = 0;
  uint8_t finishing = 0;
  uint16_t pages = 0;
  uint8_t sort = 0;
  uint32_t data_size = 0;
  uint32_t reception_number = 0;

  // The three checks of the filtering conversions.
  bool IsColour() const { return colour_flags & (kColourFull | kColourTwo); }
  bool IsWidePaper() const { return paper_flags & (kPaperA3Wide | kPaperLedgerWide); }
  bool IsCompoundCopy() const {
    return (job_source & kSourceCopy) &&
           (job_source & (kSourceScan | kSourceFax | kSourcePrint));
  }
  // The job type map's code: the first source bit set (copy first), 0 for
  // none.
  uint16_t JobType() const;
  uint8_t Staple() const { return finishing & 0x07; }
  uint8_t HolePunch() const { return (finishing >> 4) & 0x03; }
  bool Duplex() const { return finishing & kFinishingDuplex; }
};

struct PageDescriptor {
  uint32_t number = 0;
  uint32_t file_size = 0;
  uint16_t job_type = 0;
  uint32_t paper_size = 0;
  uint16_t resolution = 0;
  uint16_t colour_mode = 0;
  int16_t width = 0, height = 0, adjusted_width = 0, adjusted_height = 0;
  uint16_t angle = 0;
  int16_t orientation = 0;
};

struct JobFile {
  uint16_t job_type = 0;
  uint32_t paper_size = 0;
  uint16_t colour_mode = 0;
  uint16_t resolution = 0;
  uint16_t copies = 0;
  uint8_t duplex = 0, staple = 0, hole_punch = 0, sort = 0, output_tray = 0,
          paper_source = 0;
  uint16_t paper_type = 0;
  uint16_t orientation = 0;
};

struct BoxDescriptor {
  std::string number_text;
  std::u16string name;
  std::string user;
  std::string password;
  uint32_t created = 0, modified = 0, accessed = 0, last_backup = 0;
  uint16_t preservation = 0;
  int16_t preserve_days = 0;
  uint16_t notify = 0;
  std::string email;
};

// Decoding never fails: bytes beyond the end of a short file read as zero,
// texts end at their terminator or their field.
Descriptor DecodeDescriptor(std::string_view bytes);
PageDescriptor DecodePageDescriptor(std::string_view bytes);
JobFile DecodeJobFile(std::string_view bytes);
BoxDescriptor DecodeBoxDescriptor(std::string_view bytes);

// The generator's side. Names longer than their field are cut.
std::string EncodeDescriptor(const Descriptor& d, bool folder);
std::string EncodePageDescriptor(const PageDescriptor& p);
std::string EncodeJobFile(const JobFile& j);
std::string EncodeBoxDescriptor(const BoxDescriptor& b);

// "D0000ddd.XML" -> ddd (three digits or more before the extension, any
// case of "xml"); nullopt for any other name. kind is 'D' or 'F'.
std::optional<uint32_t> DescriptorNumber(std::string_view file_name, char kind);
// The three digits before the extension of "PAGE001.XML" and the like.
std::optional<uint32_t> PageNumber(std::string_view file_name);

}  // namespace boxlink::legacy
