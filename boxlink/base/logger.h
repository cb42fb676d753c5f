// The diagnostic log "Log_ZELT.txt" in the user's temporary folder.
//
// Support staff read it to see which step of which operation failed with
// which system error. One instance exists at most; it is started when a
// device session opens (or by the first entry) and stopped when the session
// closes, with START and STOP banners around what was written in between.
// The file is only ever appended to.
//
// Entries are written whole by one write each and serialised, so that
// entries of threads logging at once never interleave.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace boxlink {

class CLogger {
 public:
  virtual ~CLogger();  // closes the file

  // Forms the log path and opens it.
  static void StartLog();
  // Creates the instance and writes the start banner; when the file cannot
  // be opened the log stays stopped.
  static void OpenLog(const std::string& path);
  // One failure entry; starts the log when needed. Returns 1 when the
  // system had a message text for the code, else 0. default_form selects
  // "Failed With Default ERROR" for unexpected failures.
  static int LogError(std::string_view label, uint32_t code,
                      bool default_form = false);
  // The text and a line feed; starts the log when needed. Returns 1.
  static int LogText(std::string_view text);
  // Writes the stop banner, closes the file, destroys the instance.
  static void StopLog();

  // 1 when all bytes reached the file, else 0.
  int WriteEntry(std::string_view text);

  static std::string LogFilePath();
  static bool IsStarted();

  static std::string StartBanner();
  static std::string StopBanner();

  // Takes ownership of an open file descriptor; only OpenLog makes one.
  explicit CLogger(int fd) : fd_(fd) {}
  CLogger(const CLogger&) = delete;
  CLogger& operator=(const CLogger&) = delete;

 private:
  int fd_;
};

}  // namespace boxlink
