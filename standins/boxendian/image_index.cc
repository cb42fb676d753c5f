#include "standins/boxendian/image_index.h"

#include <cstring>

namespace zelt::endian {

namespace {

void Put(std::string* out, uint32_t v, size_t bytes, ByteOrder order) {
  for (size_t i = 0; i < bytes; ++i) {
    size_t shift = order == ByteOrder::kBig ? 8 * (bytes - 1 - i) : 8 * i;
    out->push_back(char((v >> shift) & 0xFF));
  }
}

uint32_t Get(std::string_view b, size_t at, size_t bytes, ByteOrder order) {
  uint32_t v = 0;
  for (size_t i = 0; i < bytes; ++i) {
    uint32_t byte = static_cast<uint8_t>(b[at + i]);
    size_t shift = order == ByteOrder::kBig ? 8 * (bytes - 1 - i) : 8 * i;
    v |= byte << shift;
  }
  return v;
}

}  // namespace

std::string EncodeImageIndex(const ImageIndex& index) {
  std::string out(kImageIndexMagic, 4);
  Put(&out, 0xFEFF, 2, index.order);
  Put(&out, kImageIndexVersion, 2, index.order);
  Put(&out, uint32_t(index.entries.size()), 4, index.order);
  for (const ImageIndexEntry& e : index.entries) {
    Put(&out, e.page, 4, index.order);
    Put(&out, e.size, 4, index.order);
  }
  return out;
}

std::optional<ImageIndex> DecodeImageIndex(std::string_view b) {
  if (b.size() < kImageIndexHeaderBytes || b.substr(0, 4) != kImageIndexMagic)
    return std::nullopt;
  ImageIndex index;
  if (static_cast<uint8_t>(b[4]) == 0xFF && static_cast<uint8_t>(b[5]) == 0xFE)
    index.order = ByteOrder::kLittle;
  else if (static_cast<uint8_t>(b[4]) == 0xFE && static_cast<uint8_t>(b[5]) == 0xFF)
    index.order = ByteOrder::kBig;
  else
    return std::nullopt;
  if (Get(b, 6, 2, index.order) != kImageIndexVersion) return std::nullopt;
  uint32_t n = Get(b, 8, 4, index.order);
  if (n > kMaxImageIndexEntries || b.size() != kImageIndexHeaderBytes + 8ull * n)
    return std::nullopt;
  index.entries.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    index.entries[i].page = Get(b, 12 + 8 * i, 4, index.order);
    index.entries[i].size = Get(b, 16 + 8 * i, 4, index.order);
  }
  return index;
}

std::optional<std::string> SwapImageIndex(std::string_view bytes) {
  std::optional<ImageIndex> index = DecodeImageIndex(bytes);
  if (!index) return std::nullopt;
  index->order = index->order == ByteOrder::kLittle ? ByteOrder::kBig : ByteOrder::kLittle;
  return EncodeImageIndex(*index);
}

}  // namespace zelt::endian
