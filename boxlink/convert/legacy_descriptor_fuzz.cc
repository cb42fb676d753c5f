// Fuzz target of the legacy descriptor readers: document, folder, page and
// box descriptors, job files and the names the readers take numbers from.
// Any crash, sanitizer report or broken invariant is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "boxlink/convert/legacy_layout.h"
#include "standins/boxendian/image_index.h"

namespace boxlink::fuzz {

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

int LegacyDescriptorInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  legacy::Descriptor d = legacy::DecodeDescriptor(bytes);
  // A name never comes from beyond its 128-byte field.
  Require(d.name.size() <= legacy::kNameBytes / 2);
  // What the reader takes is what the writer would write again (the name
  // up to its terminator, cut to 63 units by the writer).
  legacy::Descriptor again = legacy::DecodeDescriptor(legacy::EncodeDescriptor(d, false));
  Require(again.paper_flags == d.paper_flags && again.colour_flags == d.colour_flags &&
          again.pages == d.pages && again.data_size == d.data_size &&
          again.job_source == d.job_source && again.IsColour() == d.IsColour() &&
          again.IsWidePaper() == d.IsWidePaper() && again.IsCompoundCopy() == d.IsCompoundCopy());
  Require(d.name.substr(0, again.name.size()) == again.name);

  legacy::PageDescriptor p = legacy::DecodePageDescriptor(bytes);
  Require(legacy::DecodePageDescriptor(legacy::EncodePageDescriptor(p)).paper_size == p.paper_size);
  legacy::JobFile j = legacy::DecodeJobFile(bytes);
  Require(legacy::DecodeJobFile(legacy::EncodeJobFile(j)).job_type == j.job_type);
  legacy::BoxDescriptor b = legacy::DecodeBoxDescriptor(bytes);
  Require(b.name.size() <= legacy::kBoxNameBytes / 2 && b.password.size() < 64 &&
          b.email.size() < 262);

  // File names the readers take numbers from.
  std::string_view name = bytes.substr(0, 64);
  if (auto n = legacy::DescriptorNumber(name, 'D')) Require(name.size() >= 12);
  (void)legacy::PageNumber(name);

  // The image index files the conversion writes and boxendian turns round.
  if (auto swapped = zelt::endian::SwapImageIndex(bytes)) {
    auto twice = zelt::endian::SwapImageIndex(*swapped);
    Require(twice && *twice == zelt::endian::EncodeImageIndex(*zelt::endian::DecodeImageIndex(bytes)));
  }
  return 0;
}

}  // namespace boxlink::fuzz

#ifndef ZELT_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return boxlink::fuzz::LegacyDescriptorInput(data, size);
}
#endif
