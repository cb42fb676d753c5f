#include "platform/testing/fake_env.h"

#include <filesystem>

#include "platform/calendar.h"
#include "platform/library.h"

namespace platform {

FakeEnv::FakeEnv(uint32_t clock_scale)
    : root_("zelt-env"), clock_(clock_scale) {
  for (const char* d : {"profile", "temp", "programdata"})
    std::filesystem::create_directories(root_.Sub(d));
  registry_ = std::make_unique<Registry>(root_.Sub("registry/user.reg"),
                                         root_.Sub("registry/machine.reg"));
}

FakeEnv::~FakeEnv() = default;

std::string FakeEnv::ProgramDir() {
  return program_dir_.empty() ? Env::Default()->ProgramDir() : program_dir_;
}

std::optional<std::string> FakeEnv::ErrorMessage(uint32_t code) {
  {
    std::lock_guard<std::mutex> g(mu_);
    auto it = messages_.find(code);
    if (it != messages_.end()) return it->second;
  }
  return Env::Default()->ErrorMessage(code);
}

std::unique_ptr<Library> FakeEnv::LoadLibrary(std::string_view name_or_path,
                                              std::string* error) {
  return OpenLibrary(name_or_path, ProgramDir(), error);
}

int32_t FakeEnv::LocalOffsetSeconds(int64_t utc_seconds, bool* dst) {
  if (!fixed_zone_) return Env::Default()->LocalOffsetSeconds(utc_seconds, dst);
  SystemTime t = SystemTimeFromUnix(utc_seconds);
  bool summer = dst_minutes_ != 0 && t.month >= 4 && t.month <= 9;
  if (dst) *dst = summer;
  return (offset_minutes_ + (summer ? dst_minutes_ : 0)) * 60;
}

bool FakeEnv::GetTimeZoneInfo(TimeZoneInfo* info) {
  if (!fixed_zone_) return Env::Default()->GetTimeZoneInfo(info);
  info->bias_minutes = -offset_minutes_;
  info->standard_bias_minutes = 0;
  info->daylight_bias_minutes = -dst_minutes_;
  return true;
}

void FakeEnv::SetMessage(uint32_t code, std::optional<std::string> text) {
  std::lock_guard<std::mutex> g(mu_);
  messages_[code] = std::move(text);
}

void FakeEnv::SetFixedTimeZone(int32_t offset_minutes, int32_t dst_minutes) {
  fixed_zone_ = true;
  offset_minutes_ = offset_minutes;
  dst_minutes_ = dst_minutes;
}

}  // namespace platform
