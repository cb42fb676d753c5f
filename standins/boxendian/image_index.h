// The image index files "00000" of a storage-layout document: one each in
// its "Image", "Thumbnail" and "Subsampling" folders, listing the files of
// that folder by page. Older devices wrote them least significant byte
// first; newer ones read them most significant byte first, which is what
// boxendian's fnChangeEndianFLData turns them into.
//
//   0   4  magic "FLIX"
//   4   2  byte-order mark 0xFEFF, in the file's own order (FF FE: least
//          significant byte first; FE FF: most significant first)
//   6   2  format version, 1
//   8   4  number of entries n
//   12  8n entries: u32 page number, u32 file size
//
// Every number after the magic is in the order the mark gives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelt::endian {

inline constexpr char kImageIndexName[] = "00000";
inline constexpr char kImageIndexMagic[] = "FLIX";
inline constexpr uint16_t kImageIndexVersion = 1;
inline constexpr size_t kImageIndexHeaderBytes = 12;
// No document has this many pages; larger counts are damage.
inline constexpr uint32_t kMaxImageIndexEntries = 100000;

enum class ByteOrder { kLittle, kBig };

struct ImageIndexEntry {
  uint32_t page = 0;
  uint32_t size = 0;
  bool operator==(const ImageIndexEntry&) const = default;
};

struct ImageIndex {
  ByteOrder order = ByteOrder::kLittle;
  std::vector<ImageIndexEntry> entries;
};

std::string EncodeImageIndex(const ImageIndex& index);
// Nullopt for anything that is not a whole, consistent image index.
std::optional<ImageIndex> DecodeImageIndex(std::string_view bytes);
// The same index in the other byte order; nullopt when bytes are no index.
std::optional<std::string> SwapImageIndex(std::string_view bytes);

}  // namespace zelt::endian
