// CZipClass: one zip archive, written or read one entry at a time.
//
// Entries are raw deflate streams (level as asked, window bits -15, memory
// level 8) or stored. Sizes and CRC are patched into the local header after
// the data, so there is never a data descriptor. All transfers go through
// fixed buffers: memory use does not grow with the size of an entry.
//
// A file added with AddNewFile is stored instead of deflated when deflate
// cannot make it smaller (page images, members that are archives already):
// see AddNewFile. Every reader of these archives reads stored entries.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

#include "boxlink/zip/zip_file.h"
#include "boxlink/zip/zip_header.h"
#include "boxlink/zip/zip_main_dir.h"

namespace boxlink {

// An owned byte block.
class CZipMemoryHandler {
 public:
  void Allocate(size_t size, bool zero = false);
  // Keeps the block when the size is unchanged.
  void Reallocate(size_t size);
  void Copy(const void* data, size_t size);
  void Free();
  uint8_t* data() { return block_.get(); }
  size_t size() const { return size_; }

 private:
  std::unique_ptr<uint8_t[]> block_;
  size_t size_ = 0;
};

// Called by the writer before each chunk of a file it adds, so that a long
// entry can be given up: whatever it throws ends the entry (which is cut off
// again, leaving the archive as it was) and passes on to the caller.
using ZipInterruptCheck = std::function<void()>;

// The compression state of the entry in progress.
struct CZipInfo {
  static constexpr size_t kTransferBufferSize = 65535;
  z_stream stream{};
  bool stream_open = false;
  bool stream_ended = false;
  CZipMemoryHandler buffer;
  size_t pending = 0;
  uint64_t compressed_left = 0;
  uint64_t uncompressed_left = 0;
  uint64_t total_in = 0;
  uint32_t crc = 0;
};

class CZipClass {
 public:
  // kCreate replaces a file that is there, kCreateNew only makes new ones.
  enum OpenMode { kOpenExisting = 0, kOpenReadOnly = 1, kCreate = 2, kCreateNew = 3 };
  enum State : uint8_t { kNone = 0, kWriting = 1, kReading = 255 };
  static constexpr uint32_t kDefaultBufferSize = 65535;

  CZipClass();
  ~CZipClass();
  CZipClass(const CZipClass&) = delete;
  CZipClass& operator=(const CZipClass&) = delete;

  // Modes 0 and 1 read the central directory at once (1359 when damaged).
  void Open(const std::string& path, int mode);
  // Finishes an open entry, writes the directory when anything was written,
  // closes the file. With after_error set, nothing it does throws.
  void Close(bool after_error = false);
  bool IsOpen() const { return storage_.IsOpen(); }

  // Begins an entry. False when refused (no archive, an entry open, a
  // read-only archive) or when the source's status could not be read; in
  // the latter case the entry is begun all the same.
  bool OpenNewFile(CZipHeaderInfo& header, int level,
                   const char* source_path = nullptr);
  void WriteNewFile(const void* data, uint32_t length);
  void CloseNewFile();
  // One entry from a file, read buffer_size bytes at a time. A file of at
  // least kStoreProbeBytes is stored when a fast trial deflate of a sample
  // of its first chunk saves under 1/32 of the sample, or when the deflated
  // entry turns out no smaller than the file (it is then written again,
  // stored). Smaller files are always deflated.
  bool AddNewFile(const std::string& source_path, const std::string& name,
                  int level = 9, uint32_t buffer_size = kDefaultBufferSize);
  static constexpr size_t kStoreProbeBytes = 4096;

  // Checked before each chunk that AddNewFile adds; empty for none.
  void SetInterruptCheck(ZipInterruptCheck check) { interrupt_ = std::move(check); }

  bool OpenEntry(size_t index);
  // Up to `length` plain bytes; 0 at the end of the entry.
  uint32_t ReadEntry(void* buffer, uint32_t length);
  // Checks the CRC when the whole entry was read; with a path, gives that
  // file the entry's time and attributes.
  void CloseEntry(const char* extracted_path = nullptr);

  // Extracts one entry under `folder`, by its stored path or by new_name.
  // An entry whose name would leave the folder throws 161, writing nothing.
  bool ExtractFile(size_t index, const std::string& folder,
                   const char* new_name = nullptr,
                   uint32_t buffer_size = kDefaultBufferSize);

  size_t GetCount() const { return dir_.entries.size(); }
  // A copy with the name in native form ("/" separators, UTF-8).
  bool GetFileInfo(CZipHeaderInfo& out, size_t index) const;
  bool IsFileDirectory(size_t index) const;

  const CZipMainDir& directory() const { return dir_; }
  State state() const { return state_; }

  // Lowers the format's 4 GiB limit of sizes and offsets, so tests can
  // reach it without writing gigabytes.
  void SetSizeLimitForTest(uint64_t limit) { size_limit_ = limit; }
  size_t tracked_allocations() const { return allocations_.size(); }

 private:
  static voidpf Alloc(voidpf opaque, uInt items, uInt size);
  static void FreeBlock(voidpf opaque, voidpf address);
  void FlushTransfer();
  void DropCurrentEntry();
  // Cuts the entry that was finished last off the archive again.
  void DropLastEntry(uint64_t local_header_pos);
  void EndStream();
  // The entry's deflate stream: kept from entry to entry and reset, which
  // costs far less than setting one up for every small file.
  int StartDeflate(int level);
  void EndDeflate();
  // Whether deflate shrinks the sample by 1/32 at least.
  bool DeflateShrinks(const uint8_t* data, size_t size);
  // Makes the entry just begun (no data yet) a stored one.
  void SwitchToStored();
  // Writes the rest of the file into the open entry and closes it; the
  // first n bytes are in buf already.
  void CopyEntryData(CZipFile& in, uint8_t* buf, size_t n, uint32_t buffer_size);
  // Begins the entry of a file for AddNewFile; false when refused or when
  // the source could not be read (errno kept, nothing added).
  bool BeginFileEntry(const std::string& source_path, const std::string& name,
                      int level, int method);
  uint64_t ZipPosition() const {
    return storage_.Position() - dir_.bytes_before_zip;
  }

  bool track_allocations_ = true;
  CZipInfo info_;
  z_stream deflater_{};  // the writing entry's stream (info_.stream reads)
  int deflater_level_ = -1;  // -1: none set up
  z_stream probe_{};     // the trial deflate of AddNewFile
  bool probe_ready_ = false;
  std::unique_ptr<uint8_t[]> probe_out_;
  ZipInterruptCheck interrupt_;
  CZipHeaderDir storage_;
  CZipMainDir dir_;
  std::unordered_set<void*> allocations_;
  State state_ = kNone;
  int mode_ = kCreate;
  bool written_ = false;
  uint64_t local_header_pos_ = 0;  // file position of the entry's header
  uint64_t size_limit_ = 0xFFFFFFFFu;
};

}  // namespace boxlink
