#include "boxlink/base/logger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/env.h"
#include "platform/text.h"

namespace boxlink {
namespace {

// The process-wide log instance; the mutex also keeps entries whole.
std::mutex g_mu;
std::unique_ptr<CLogger> g_instance;

constexpr size_t kMaxEntry = 1024;

// The bounded formatting of the entries: at most 1,024 characters, cut
// between characters.
std::string Bounded(std::string s) {
  if (s.size() <= kMaxEntry) return s;
  char buf[kMaxEntry + 1];
  size_t n = platform::CopyBounded(buf, sizeof buf, s);
  return std::string(buf, n);
}

std::string Banner(std::string_view word) {
  std::string b = "\n/";
  b.append(65, '*');
  b += word;
  b.append(57, '*');
  b += "/\n";
  return b;
}

void OpenLocked(const std::string& path) {
  if (g_instance) return;
  // The log usually sits in a folder everyone may write to: a link put in
  // its place is not followed, and only its owner may read what it says.
  int fd = ::open(path.c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return;
  }
  g_instance.reset(new CLogger(fd));
  g_instance->WriteEntry(CLogger::StartBanner());
}

void StartLocked() {
  if (!g_instance) OpenLocked(CLogger::LogFilePath());
}

}  // namespace

CLogger::~CLogger() {
  if (fd_ >= 0) ::close(fd_);
}

std::string CLogger::StartBanner() { return Banner("START LOG"); }
std::string CLogger::StopBanner() { return Banner("STOP LOG"); }

std::string CLogger::LogFilePath() {
  return platform::Env::Current()->TempDir() + "/Log_ZELT.txt";
}

bool CLogger::IsStarted() {
  std::lock_guard<std::mutex> g(g_mu);
  return g_instance != nullptr;
}

void CLogger::StartLog() {
  std::lock_guard<std::mutex> g(g_mu);
  StartLocked();
}

void CLogger::OpenLog(const std::string& path) {
  std::lock_guard<std::mutex> g(g_mu);
  OpenLocked(path);
}

int CLogger::LogError(std::string_view label, uint32_t code,
                      bool default_form) {
  auto text = platform::Env::Current()->ErrorMessage(code);
  std::string l(label);
  char head[64];
  std::string entry;
  if (!text) {
    std::snprintf(head, sizeof head, " Failed With ERROR=%d Other then WinError ",
                  static_cast<int32_t>(code));
    entry = "\n ==> " + l + head;
  } else {
    std::snprintf(head, sizeof head,
                  default_form ? " Failed With Default ERROR - %d : "
                               : " Failed With ERROR - %d : ",
                  static_cast<int32_t>(code));
    entry = "\n ==> " + l + head + *text;
  }
  std::lock_guard<std::mutex> g(g_mu);
  StartLocked();
  if (g_instance) g_instance->WriteEntry(Bounded(std::move(entry)));
  return text ? 1 : 0;
}

int CLogger::LogText(std::string_view text) {
  std::lock_guard<std::mutex> g(g_mu);
  StartLocked();
  if (!g_instance) return 1;
  char buf[kMaxEntry];  // the text, cut to leave room for the line feed
  size_t n = platform::CopyBounded(buf, sizeof buf, text);
  g_instance->WriteEntry(std::string(buf, n) + "\n");
  return 1;
}

void CLogger::StopLog() {
  std::lock_guard<std::mutex> g(g_mu);
  if (g_instance) {
    g_instance->WriteEntry(StopBanner());
    g_instance.reset();
  }
}

int CLogger::WriteEntry(std::string_view text) {
  // One write on a file opened for appending puts the entry at the end in
  // one piece, also against other processes writing the same log.
  for (;;) {
    ssize_t w = ::write(fd_, text.data(), text.size());
    if (w < 0 && errno == EINTR) continue;
    return w == static_cast<ssize_t>(text.size()) ? 1 : 0;
  }
}

}  // namespace boxlink
