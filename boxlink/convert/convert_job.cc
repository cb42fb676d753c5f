#include "boxlink/convert/convert_job.h"

#include <stdlib.h>

#include <cerrno>
#include <filesystem>

#include "boxlink/base/box_error.h"
#include "boxlink/base/event_handle.h"
#include "boxlink/zip/zip_file.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/event.h"
#include "platform/text.h"

namespace boxlink {

void ConvertSignals::Notify() const {
  if (platform::Event* e = EventOf(progress_)) e->Set();
}

void ConvertSignals::CheckCancel() const {
  platform::Event* e = EventOf(cancel_);
  if (e && e->Wait(0) == platform::kWaitObject0) Raise(ZB_ERR_CANCELLED);
}

void ConvertSignals::Wait(uint32_t ms) {
  platform::Env::Current()->clock().SleepMillis(ms);
}

std::string MakePrivateFolder(const std::string& parent, std::string_view prefix) {
  std::string path = parent + "/" + std::string(prefix) + "XXXXXX";
  if (!::mkdtemp(path.data())) Raise(SystemErrorFromErrno(errno));
  return path;
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  bool same = std::filesystem::equivalent(a, b, ec);
  if (!ec) return same;
  // A path that does not exist yet is compared by its absolute form.
  auto norm = [](const std::string& p) {
    std::error_code e;
    return std::filesystem::weakly_canonical(p, e).lexically_normal();
  };
  return norm(a) == norm(b);
}

void SetField(char (&field)[512], std::string_view text) {
  platform::CopyBounded(field, sizeof field, text);
}

}  // namespace boxlink
