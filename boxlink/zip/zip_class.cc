#include "boxlink/zip/zip_class.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "boxlink.h"
#include "boxlink/base/box_error.h"
#include "boxlink/base/logger.h"
#include "boxlink/zip/zip_safe_path.h"
#include "platform/env.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace boxlink {

void CZipMemoryHandler::Allocate(size_t size, bool zero) {
  block_ = zero ? std::make_unique<uint8_t[]>(size)
                : std::make_unique_for_overwrite<uint8_t[]>(size);
  size_ = size;
}

void CZipMemoryHandler::Reallocate(size_t size) {
  if (size == size_ && block_) return;
  auto fresh = std::make_unique_for_overwrite<uint8_t[]>(size);
  if (block_) std::memcpy(fresh.get(), block_.get(), std::min(size, size_));
  block_ = std::move(fresh);
  size_ = size;
}

void CZipMemoryHandler::Copy(const void* data, size_t size) {
  Reallocate(size);
  if (size) std::memcpy(block_.get(), data, size);
}

void CZipMemoryHandler::Free() {
  block_.reset();
  size_ = 0;
}

voidpf CZipClass::Alloc(voidpf opaque, uInt items, uInt size) {
  auto* self = static_cast<CZipClass*>(opaque);
  void* p = std::calloc(items, size);
  if (p && self->track_allocations_) self->allocations_.insert(p);
  return p;
}

void CZipClass::FreeBlock(voidpf opaque, voidpf address) {
  auto* self = static_cast<CZipClass*>(opaque);
  self->allocations_.erase(address);
  std::free(address);
}

CZipClass::CZipClass() {
  info_.buffer.Allocate(CZipInfo::kTransferBufferSize);
}

CZipClass::~CZipClass() {
  Close(true);
  for (void* p : allocations_) std::free(p);
}

void CZipClass::Open(const std::string& path, int mode) {
  Close(true);
  const bool create = mode == kCreate || mode == kCreateNew;
  CZipFile::Mode fm = mode == kCreate        ? CZipFile::Mode::kCreate
                      : mode == kCreateNew   ? CZipFile::Mode::kCreateNew
                      : mode == kOpenReadOnly ? CZipFile::Mode::kRead
                                             : CZipFile::Mode::kReadWrite;
  storage_.Open(path, fm);
  mode_ = mode;
  written_ = false;
  dir_.Clear();
  if (!create) {
    try {
      dir_.Read(storage_.file());
    } catch (...) {
      storage_.Close();
      dir_.Clear();
      throw;
    }
    // New entries go where the old directory stood; it is written anew.
    storage_.file().Seek(dir_.bytes_before_zip + dir_.directory_offset);
  }
}

void CZipClass::EndStream() {
  if (!info_.stream_open) return;
  // A writing stream that did not finish is in no state to be reused.
  if (state_ == kWriting) EndDeflate();
  else inflateEnd(&info_.stream);
  info_.stream_open = false;
}

int CZipClass::StartDeflate(int level) {
  if (deflater_level_ == level) return deflateReset(&deflater_);
  EndDeflate();
  deflater_ = z_stream{};
  deflater_.zalloc = &CZipClass::Alloc;
  deflater_.zfree = &CZipClass::FreeBlock;
  deflater_.opaque = this;
  int rc = deflateInit2(&deflater_, level, Z_DEFLATED, -MAX_WBITS, 8,
                        Z_DEFAULT_STRATEGY);
  if (rc == Z_OK) deflater_level_ = level;
  return rc;
}

void CZipClass::EndDeflate() {
  if (deflater_level_ < 0) return;
  deflateEnd(&deflater_);
  deflater_level_ = -1;
}

bool CZipClass::DeflateShrinks(const uint8_t* data, size_t size) {
  if (!probe_ready_) {
    probe_ = z_stream{};
    probe_.zalloc = &CZipClass::Alloc;
    probe_.zfree = &CZipClass::FreeBlock;
    probe_.opaque = this;
    // Level 1: about 25 us for a sample of incompressible data on the
    // 2.6 GHz build machine. (A smaller window makes zlib slide it all the
    // time, which costs five times as much.)
    if (deflateInit2(&probe_, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      return true;  // no verdict: deflate as always
    probe_out_ = std::make_unique_for_overwrite<uint8_t[]>(
        deflateBound(&probe_, kStoreProbeBytes));
    probe_ready_ = true;
  } else if (deflateReset(&probe_) != Z_OK) {
    return true;
  }
  probe_.next_in = const_cast<Bytef*>(data);
  probe_.avail_in = uInt(size);
  probe_.next_out = probe_out_.get();
  probe_.avail_out = uInt(deflateBound(&probe_, kStoreProbeBytes));
  if (deflate(&probe_, Z_FINISH) != Z_STREAM_END) return true;
  return probe_.total_out + size / 32 <= size;
}

void CZipClass::Close(bool after_error) {
  try {
    if (state_ == kReading) CloseEntry(nullptr);
    else if (state_ == kWriting) CloseNewFile();
  } catch (...) {
    EndStream();
    state_ = kNone;
    if (!after_error) {
      storage_.Close();
      throw;
    }
  }
  try {
    if (storage_.IsOpen() && written_) {
      dir_.Write(storage_);
      storage_.file().Truncate(storage_.Position());
    }
  } catch (...) {
    storage_.Close();
    written_ = false;
    if (!after_error) throw;
  }
  storage_.Close();
  written_ = false;
  dir_.Clear();
  // The streams kept from entry to entry go with the archive.
  EndDeflate();
  if (probe_ready_) {
    deflateEnd(&probe_);
    probe_ready_ = false;
  }
}

bool CZipClass::OpenNewFile(CZipHeaderInfo& header, int level,
                            const char* source_path) {
  if (!storage_.IsOpen() || state_ != kNone || mode_ == kOpenReadOnly)
    return false;
  bool status_ok = true;
  if (source_path) {
    struct stat st;
    if (::stat(source_path, &st) == 0) {
      UnixToDosTime(st.st_mtime, &header.mod_date, &header.mod_time);
      uint32_t attr = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
      if (!(st.st_mode & S_IWUSR)) attr |= kAttrReadOnly;
      header.external_attributes = attr;
    } else {
      header.external_attributes = kAttrArchive;
      status_ok = false;
    }
  }
  for (char& c : header.name)
    if (c == '\\') c = '/';
  header.name = platform::Utf8ToCodePage(header.name);
  if (header.name.empty())
    header.name = "file" + std::to_string(dir_.entries.size());
  if (header.IsDirectory()) header.method = 0;
  if (!header.PrepareForWrite(level)) Raise(ZB_ERR_INTERNAL_ERROR);
  if (dir_.entries.size() >= 0xFFFF) Raise(ZB_ERR_FILE_TOO_LARGE);
  uint64_t offset = ZipPosition();
  if (offset > size_limit_) Raise(ZB_ERR_FILE_TOO_LARGE);

  std::vector<uint8_t> local = header.LocalHeader();
  local_header_pos_ = storage_.Position();
  storage_.Write(local.data(), local.size());
  header.extra_length = 0;
  header.disk_start = uint16_t(storage_.current_disk());
  header.local_header_offset = uint32_t(offset);
  dir_.entries.push_back(header);
  dir_.current = int(dir_.entries.size() - 1);
  written_ = true;

  info_.pending = 0;
  info_.crc = 0;
  info_.total_in = 0;
  info_.compressed_left = 0;
  state_ = kWriting;
  if (header.method == 8) {
    int rc = StartDeflate(level);
    if (rc != Z_OK) {
      DropCurrentEntry();
      Raise(uint32_t(rc));
    }
    info_.stream_open = true;
  }
  return status_ok;
}

void CZipClass::FlushTransfer() {
  if (info_.pending == 0) return;
  storage_.Write(info_.buffer.data(), info_.pending);
  info_.compressed_left += info_.pending;  // counts output while writing
  info_.pending = 0;
}

void CZipClass::DropCurrentEntry() {
  // Leaves the archive as it was before the entry began.
  EndStream();
  state_ = kNone;
  if (dir_.current >= 0) {
    dir_.entries.pop_back();
    dir_.current = -1;
  }
  storage_.Flush();
  storage_.file().Seek(local_header_pos_);
  storage_.file().Truncate(local_header_pos_);
}

void CZipClass::WriteNewFile(const void* data, uint32_t length) {
  if (state_ != kWriting) Raise(ZB_ERR_INTERNAL_ERROR);
  CZipHeaderInfo& h = dir_.entries[size_t(dir_.current)];
  if (h.IsDirectory()) return;
  if (info_.total_in + length > size_limit_) {
    DropCurrentEntry();
    Raise(ZB_ERR_FILE_TOO_LARGE);
  }
  info_.crc = uint32_t(::crc32(info_.crc, static_cast<const Bytef*>(data),
                               length));
  info_.total_in += length;
  if (h.method == 0) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
      size_t take = std::min<size_t>(length,
                                     CZipInfo::kTransferBufferSize - info_.pending);
      std::memcpy(info_.buffer.data() + info_.pending, p, take);
      info_.pending += take;
      p += take;
      length -= uint32_t(take);
      if (info_.pending == CZipInfo::kTransferBufferSize) FlushTransfer();
    }
    return;
  }
  z_stream& s = deflater_;
  s.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(data));
  s.avail_in = length;
  while (s.avail_in > 0) {
    s.next_out = info_.buffer.data() + info_.pending;
    s.avail_out = uInt(CZipInfo::kTransferBufferSize - info_.pending);
    int rc = deflate(&s, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      CLogger::LogError("CZipClass::WriteNewFile - deflate", uint32_t(rc));
      DropCurrentEntry();
      Raise(uint32_t(rc));
    }
    info_.pending = CZipInfo::kTransferBufferSize - s.avail_out;
    if (info_.pending == CZipInfo::kTransferBufferSize) FlushTransfer();
  }
  if (info_.compressed_left > size_limit_) {
    DropCurrentEntry();
    Raise(ZB_ERR_FILE_TOO_LARGE);
  }
}

void CZipClass::CloseNewFile() {
  if (state_ != kWriting) return;
  CZipHeaderInfo& h = dir_.entries[size_t(dir_.current)];
  if (h.method == 8) {
    z_stream& s = deflater_;
    s.next_in = nullptr;
    s.avail_in = 0;
    for (;;) {
      s.next_out = info_.buffer.data() + info_.pending;
      s.avail_out = uInt(CZipInfo::kTransferBufferSize - info_.pending);
      int rc = deflate(&s, Z_FINISH);
      info_.pending = CZipInfo::kTransferBufferSize - s.avail_out;
      if (rc == Z_STREAM_END) break;
      if (rc != Z_OK && rc != Z_BUF_ERROR) {
        CLogger::LogError("CZipClass::CloseNewFile - deflate", uint32_t(rc));
        DropCurrentEntry();
        Raise(uint32_t(rc));
      }
      FlushTransfer();
    }
  }
  FlushTransfer();
  // The stream stays for the next entry, reset there; Close ends it.
  info_.stream_open = false;
  uint64_t compressed = info_.compressed_left;
  // The next header's offset must fit too, or the archive could not be
  // finished: refuse this entry rather than write a broken directory.
  if (compressed > size_limit_ || info_.total_in > size_limit_ ||
      ZipPosition() > size_limit_) {
    DropCurrentEntry();
    Raise(ZB_ERR_FILE_TOO_LARGE);
  }
  h.crc32 = info_.crc;
  h.compressed_size = uint32_t(compressed);
  h.uncompressed_size = uint32_t(info_.total_in);
  storage_.Flush();
  uint64_t end = storage_.file().Position();
  std::vector<uint8_t> patch;
  Put32(patch, h.crc32);
  Put32(patch, h.compressed_size);
  Put32(patch, h.uncompressed_size);
  storage_.file().Seek(local_header_pos_ + 14);
  storage_.file().Write(patch.data(), patch.size());
  storage_.file().Seek(end);
  storage_.Flush();
  info_.compressed_left = 0;
  dir_.current = -1;
  state_ = kNone;
}

bool CZipClass::BeginFileEntry(const std::string& source_path,
                               const std::string& name, int level, int method) {
  CZipHeaderInfo h;
  h.name = name;
  h.method = uint16_t(method);
  if (!OpenNewFile(h, level, source_path.c_str())) {
    // An unreadable source must not pass for an empty file.
    int err = errno;
    if (state_ == kWriting) DropCurrentEntry();
    errno = err;
    return false;
  }
  return true;
}

void CZipClass::SwitchToStored() {
  CZipHeaderInfo& h = dir_.entries[size_t(dir_.current)];
  // Nothing was fed to the deflate stream: it stays for the next entry.
  info_.stream_open = false;
  h.method = 0;
  h.flags = 0;
  // Flags and method follow the version field of the local header.
  std::vector<uint8_t> patch;
  Put16(patch, h.flags);
  Put16(patch, h.method);
  storage_.Flush();
  uint64_t end = storage_.file().Position();
  storage_.file().Seek(local_header_pos_ + 6);
  storage_.file().Write(patch.data(), patch.size());
  storage_.file().Seek(end);
}

void CZipClass::DropLastEntry(uint64_t local_header_pos) {
  storage_.Flush();
  storage_.file().Seek(local_header_pos);
  storage_.file().Truncate(local_header_pos);
  dir_.entries.pop_back();
}

void CZipClass::CopyEntryData(CZipFile& in, uint8_t* buf, size_t n,
                              uint32_t buffer_size) {
  try {
    while (n > 0) {
      WriteNewFile(buf, uint32_t(n));
      if (interrupt_) interrupt_();
      n = in.Read(buf, buffer_size);
    }
  } catch (...) {
    if (state_ == kWriting) DropCurrentEntry();
    throw;
  }
  CloseNewFile();
}

bool CZipClass::AddNewFile(const std::string& source_path,
                           const std::string& name, int level,
                           uint32_t buffer_size) {
  if (!BeginFileEntry(source_path, name, level, 8)) return false;
  if (dir_.entries.back().IsDirectory()) {
    CloseNewFile();
    return true;
  }
  const uint64_t header_pos = local_header_pos_;
  CZipFile in;
  auto buf = std::make_unique_for_overwrite<uint8_t[]>(buffer_size);
  size_t n = 0;
  try {
    if (interrupt_) interrupt_();
    in.Open(source_path, CZipFile::Mode::kRead);
    n = in.Read(buf.get(), buffer_size);
    // The sample ends the first chunk, past the header most file formats
    // start with. A level-9 deflate of page images or of members that are
    // archives already costs a full pass over them and gains nothing.
    if (n >= kStoreProbeBytes &&
        !DeflateShrinks(buf.get() + n - kStoreProbeBytes, kStoreProbeBytes))
      SwitchToStored();
  } catch (...) {
    if (state_ == kWriting) DropCurrentEntry();
    throw;
  }
  CopyEntryData(in, buf.get(), n, buffer_size);

  const CZipHeaderInfo& done = dir_.entries.back();
  if (done.method == 8 && done.uncompressed_size >= kStoreProbeBytes &&
      done.compressed_size >= done.uncompressed_size) {
    // The sample misled: deflate made the file no smaller. The same entry
    // again, stored.
    DropLastEntry(header_pos);
    if (!BeginFileEntry(source_path, name, level, 0)) return false;
    try {
      in.Seek(0);
      n = in.Read(buf.get(), buffer_size);
    } catch (...) {
      DropCurrentEntry();
      throw;
    }
    CopyEntryData(in, buf.get(), n, buffer_size);
  }
  return true;
}

bool CZipClass::OpenEntry(size_t index) {
  if (!storage_.IsOpen() || state_ != kNone || index >= dir_.entries.size())
    return false;
  const CZipHeaderInfo& h = dir_.entries[index];
  CZipFile& f = storage_.file();
  uint8_t local[kLocalHeaderSize];
  f.Seek(dir_.bytes_before_zip + h.local_header_offset);
  f.ReadExact(local, sizeof local);
  uint16_t flags = Get16(local + 6);
  uint16_t method = Get16(local + 8);
  if (Get32(local) != kLocalSignature || method != h.method ||
      (method != 0 && method != 8) || Get16(local + 26) != h.name_length ||
      (flags & 1) != 0 || (h.flags & 1) != 0)
    Raise(ZB_ERR_INTERNAL_ERROR);
  if (!(flags & 8) && (Get32(local + 14) != h.crc32 ||
                       Get32(local + 18) != h.compressed_size ||
                       Get32(local + 22) != h.uncompressed_size))
    Raise(ZB_ERR_INTERNAL_ERROR);
  if (method == 0 && h.compressed_size != h.uncompressed_size) Raise(ZB_ERR_INTERNAL_ERROR);
  uint64_t data = dir_.bytes_before_zip + h.local_header_offset +
                  kLocalHeaderSize + h.name_length + Get16(local + 28);
  // The data must lie in front of the directory (or end record).
  uint64_t limit = dir_.directory_read
                       ? dir_.bytes_before_zip + dir_.directory_offset
                       : f.Length();
  if (data > limit || limit - data < h.compressed_size) Raise(ZB_ERR_INTERNAL_ERROR);
  f.Seek(data);

  info_.pending = 0;
  info_.crc = 0;
  info_.total_in = 0;
  info_.compressed_left = h.compressed_size;
  info_.uncompressed_left = h.uncompressed_size;
  info_.stream_ended = false;
  info_.stream = z_stream{};
  info_.stream.zalloc = &CZipClass::Alloc;
  info_.stream.zfree = &CZipClass::FreeBlock;
  info_.stream.opaque = this;
  state_ = kReading;
  dir_.current = int(index);
  if (method == 8) {
    int rc = inflateInit2(&info_.stream, -MAX_WBITS);
    if (rc != Z_OK) {
      state_ = kNone;
      Raise(uint32_t(rc));
    }
    info_.stream_open = true;
  }
  return true;
}

uint32_t CZipClass::ReadEntry(void* buffer, uint32_t length) {
  if (state_ != kReading) Raise(ZB_ERR_INTERNAL_ERROR);
  const CZipHeaderInfo& h = dir_.entries[size_t(dir_.current)];
  CZipFile& f = storage_.file();
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint32_t produced = 0;
  if (h.method == 0) {
    uint32_t take = uint32_t(std::min<uint64_t>(length, info_.compressed_left));
    f.ReadExact(out, take);
    info_.compressed_left -= take;
    produced = take;
  } else {
    z_stream& s = info_.stream;
    s.next_out = out;
    s.avail_out = length;
    while (s.avail_out > 0 && !info_.stream_ended) {
      if (s.avail_in == 0 && info_.compressed_left > 0) {
        size_t take = size_t(std::min<uint64_t>(CZipInfo::kTransferBufferSize,
                                                info_.compressed_left));
        f.ReadExact(info_.buffer.data(), take);
        info_.compressed_left -= take;
        s.next_in = info_.buffer.data();
        s.avail_in = uInt(take);
      }
      uInt before = s.avail_out;
      int rc = inflate(&s, Z_SYNC_FLUSH);
      if (rc == Z_STREAM_END) {
        info_.stream_ended = true;
      } else if (rc == Z_BUF_ERROR || (rc == Z_OK && before == s.avail_out &&
                                       s.avail_in == 0)) {
        // No progress and nothing left to give it: the stream is cut short.
        if (s.avail_in == 0 && info_.compressed_left == 0) Raise(ZB_ERR_INTERNAL_ERROR);
      } else if (rc != Z_OK) {
        Raise(uint32_t(rc));
      }
    }
    produced = length - s.avail_out;
  }
  if (produced > info_.uncompressed_left) Raise(ZB_ERR_INTERNAL_ERROR);
  info_.uncompressed_left -= produced;
  info_.total_in += produced;
  info_.crc = uint32_t(::crc32(info_.crc, out, produced));
  if (h.method == 8 && info_.stream_ended && info_.uncompressed_left != 0)
    Raise(ZB_ERR_INTERNAL_ERROR);
  return produced;
}

void CZipClass::CloseEntry(const char* extracted_path) {
  if (state_ != kReading) return;
  const CZipHeaderInfo h = dir_.entries[size_t(dir_.current)];
  bool all_read = info_.uncompressed_left == 0;
  EndStream();
  state_ = kNone;
  dir_.current = -1;
  if (all_read && info_.crc != h.crc32) Raise(ZB_ERR_INTERNAL_ERROR);
  if (!extracted_path) return;
  int64_t when = h.mod_date && h.mod_time
                     ? DosTimeToUnix(h.mod_date, h.mod_time)
                     : platform::Env::Current()->clock().UnixTime();
  struct timespec times[2] = {{when, 0}, {when, 0}};
  ::utimensat(AT_FDCWD, extracted_path, times, 0);
  if (!h.IsDirectory() && (h.external_attributes & kAttrReadOnly)) {
    struct stat st;
    if (::stat(extracted_path, &st) == 0)
      ::chmod(extracted_path, st.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH));
  }
}

bool CZipClass::GetFileInfo(CZipHeaderInfo& out, size_t index) const {
  if (index >= dir_.entries.size()) return false;
  out = dir_.entries[index];
  out.name = platform::CodePageToUtf8(out.name);
  for (char& c : out.name)
    if (c == '\\') c = '/';
  return true;
}

bool CZipClass::IsFileDirectory(size_t index) const {
  if (index >= dir_.entries.size()) return false;
  const CZipHeaderInfo& h = dir_.entries[index];
  return h.IsDirectory() || (!h.name.empty() && (h.name.back() == '/' ||
                                                 h.name.back() == '\\'));
}

namespace {
void MakeDirs(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) Raise(SystemErrorFromErrno(ec.value()));
}
}  // namespace

bool CZipClass::ExtractFile(size_t index, const std::string& folder,
                            const char* new_name, uint32_t buffer_size) {
  CZipHeaderInfo h;
  if (!GetFileInfo(h, index) || state_ != kNone || buffer_size == 0)
    return false;
  auto target = SafeEntryPath(folder, new_name ? new_name : h.name);
  if (!target) Raise(ZB_ERR_BAD_PATHNAME);
  if (IsFileDirectory(index)) {
    MakeDirs(*target);
    return true;
  }
  MakeDirs(std::filesystem::path(*target).parent_path().string());
  if (!OpenEntry(index)) return false;
  int fd = ::open(target->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                  0666);
  if (fd < 0) {
    int err = errno;
    CloseEntry(nullptr);
    Raise(SystemErrorFromErrno(err));
  }
  // A half-written file would pass for the real one: remove it on failure.
  auto fail = [&](uint32_t code) {
    ::close(fd);
    ::unlink(target->c_str());
    EndStream();
    state_ = kNone;
    dir_.current = -1;
    Raise(code);
  };
  auto buf = std::make_unique_for_overwrite<uint8_t[]>(buffer_size);
  try {
    for (;;) {
      uint32_t n = ReadEntry(buf.get(), buffer_size);
      if (n == 0) break;
      size_t done = 0;
      while (done < n) {
        ssize_t w = ::write(fd, buf.get() + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) fail(SystemErrorFromErrno(errno));
        done += size_t(w);
      }
    }
    if (info_.uncompressed_left != 0) fail(1359);
  } catch (const BoxError& e) {
    if (fd >= 0 && state_ == kReading) fail(e.code());
    throw;
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(target->c_str());
    EndStream();
    state_ = kNone;
    Raise(SystemErrorFromErrno(err));
  }
  try {
    CloseEntry(target->c_str());
  } catch (...) {
    ::unlink(target->c_str());
    throw;
  }
  return true;
}

}  // namespace boxlink
