// The file under a zip archive, and the buffered storage the writer uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace boxlink {

// errno as the system error code the engine reports.
uint32_t SystemErrorFromErrno(int err);

// One open file. Every failure throws BoxError with the system error code.
class CZipFile {
 public:
  // kCreate truncates a file that is there; kCreateNew fails (80) when
  // anything is there. Neither follows a link, and both make files that
  // only their owner can read.
  enum class Mode { kReadWrite, kRead, kCreate, kCreateNew };

  CZipFile() = default;
  ~CZipFile();
  CZipFile(const CZipFile&) = delete;
  CZipFile& operator=(const CZipFile&) = delete;

  void Open(const std::string& path, Mode mode);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Reads up to n bytes; fewer only at the end of the file.
  size_t Read(void* buf, size_t n);
  // Exactly n bytes, or 1359: a short file is a damaged archive.
  void ReadExact(void* buf, size_t n);
  void Write(const void* buf, size_t n);
  void Seek(uint64_t pos);
  uint64_t Position() const { return pos_; }
  uint64_t Length() const;
  void Truncate(uint64_t length);

 private:
  int fd_ = -1;
  uint64_t pos_ = 0;
};

// CZipHeaderDir: the archive file with a write buffer in front of it. Reads
// go to the file directly, after any pending bytes were written.
class CZipHeaderDir {
 public:
  static constexpr size_t kWriteBufferSize = 65535;

  CZipHeaderDir();
  void Open(const std::string& path, CZipFile::Mode mode);
  void Close();
  bool IsOpen() const { return disk_ >= 0; }

  void Write(const void* data, size_t n);
  void Flush();
  // Position where the next written byte goes.
  uint64_t Position() const { return file_.Position() + pending_; }
  CZipFile& file() { return file_; }
  int current_disk() const { return disk_; }
  uint64_t bytes_written() const { return written_; }

 private:
  CZipFile file_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t pending_ = 0;
  uint64_t written_ = 0;
  int disk_ = -1;
};

}  // namespace boxlink
