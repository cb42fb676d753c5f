// From box, folder and document replies to the records callers get.
//
// Each function reads a reply that already passed its Result check and
// raises BoxError(11) for a missing element, as the exports report it.
// List parsers return the memory block that the export hands out: one
// zero-filled allocation for the whole array.
#pragma once

#include <cstdint>
#include <string_view>

#include "boxlink.h"
#include "boxlink/client/reply.h"
#include "platform/mem_block.h"

namespace boxlink {

// Whether replies of this engine (their Header/Version text) carry the last
// backup dates of boxes. Raises 8 when the model checker cannot be made.
bool ReportsLastBackupDate(std::string_view header_version);

// Document value mappings, from the device's numbers to the caller's.
uint32_t MapSourceType(int32_t device_value);
uint32_t MapColorMonoMix(int32_t device_value);
uint32_t MapScanDuplex(int32_t device_value);

void ParseEngineInfo(const ReplyDocument& doc, ZBENGINEINFO* info);

// Times are local when `local` (the restricted session). Stores the entry
// count through *count. Raises 8 when the block cannot be had.
platform::UniqueBlock ParseBoxList(ReplyDocument& doc, bool local,
                                   uint32_t* count);

// `raw` is the reply as received, for RawBoxName.
void ParseBoxProperty(std::string_view raw, ReplyDocument& doc, bool local,
                      ZBBOXPROPERTY* property);

// Folders first, then documents. With `since`, documents whose
// LastUpdateDate is not after *since take no entry (and are not counted);
// the block keeps room for all of them. No entries at all gives a 4-byte
// block.
platform::UniqueBlock ParseCollection(ReplyDocument& doc, bool local,
                                      const uint32_t* since, uint32_t* count);

void ParseDiskSpace(const ReplyDocument& doc, uint32_t* capacity,
                    uint32_t* available);

}  // namespace boxlink
