#include "platform/env.h"

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/clock.h"
#include "platform/library.h"
#include "platform/messages.h"
#include "platform/registry.h"

namespace platform {
namespace {

std::atomic<Env*> g_override{nullptr};

std::string FromEnvOr(const char* var, std::string fallback) {
  const char* v = std::getenv(var);
  return v && *v ? std::string(v) : std::move(fallback);
}

std::string StripTrailingSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string HomeDir() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
    return pw->pw_dir;
  return "/";
}

constexpr char kSystemDataDir[] = "/var/lib/zelt";

// A folder this user may write into, or create.
bool WritableOrCreatable(const std::string& dir) {
  if (::access(dir.c_str(), F_OK) == 0)
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
  size_t slash = dir.rfind('/');
  std::string parent = slash == 0 ? "/" : dir.substr(0, slash);
  return ::access(parent.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::string ChooseProgramDataDir(const std::string& system_dir) {
  if (const char* v = std::getenv("ZELT_PROGRAMDATA_DIR"); v && *v) return v;
  if (WritableOrCreatable(system_dir)) return system_dir;
  // A desktop user is not root: the per-user state folder stands in.
  return FromEnvOr("XDG_STATE_HOME", HomeDir() + "/.local/state") + "/zelt";
}

namespace {

class PosixEnv final : public Env {
 public:
  Clock& clock() override { return clock_; }

  Registry& registry() override {
    std::call_once(registry_once_, [this] {
      std::string config =
          FromEnvOr("XDG_CONFIG_HOME", HomeDir() + "/.config");
      registry_ = std::make_unique<Registry>(
          FromEnvOr("ZELT_REGISTRY_USER", config + "/zelt/user.reg"),
          FromEnvOr("ZELT_REGISTRY_MACHINE", "/etc/zelt/machine.reg"));
    });
    return *registry_;
  }

  std::string UserProfileDir() override {
    return StripTrailingSlash(FromEnvOr("ZELT_PROFILE_DIR", HomeDir()));
  }
  std::string TempDir() override {
    return StripTrailingSlash(
        FromEnvOr("ZELT_TEMP_DIR", FromEnvOr("TMPDIR", "/tmp")));
  }
  std::string ProgramDataDir() override {
    return StripTrailingSlash(ChooseProgramDataDir(kSystemDataDir));
  }
  std::string ProgramDir() override {
    if (const char* v = std::getenv("ZELT_PROGRAM_DIR"); v && *v)
      return StripTrailingSlash(v);
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string exe(buf, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
  }

  std::optional<std::string> ErrorMessage(uint32_t code) override {
    return SystemMessageText(code);
  }

  std::unique_ptr<Library> LoadLibrary(std::string_view name_or_path,
                                       std::string* error) override {
    return OpenLibrary(name_or_path, ProgramDir(), error);
  }

  int32_t LocalOffsetSeconds(int64_t utc_seconds, bool* dst) override {
    std::lock_guard<std::mutex> g(tz_mu_);
    ::tzset();  // pick up a changed TZ
    time_t t = static_cast<time_t>(utc_seconds);
    struct tm tm {};
    if (!::localtime_r(&t, &tm)) {
      if (dst) *dst = false;
      return 0;
    }
    if (dst) *dst = tm.tm_isdst > 0;
    return static_cast<int32_t>(tm.tm_gmtoff);
  }

  bool GetTimeZoneInfo(TimeZoneInfo* info) override {
    // The offsets in January and July tell standard and summer time apart
    // for zones of both hemispheres.
    time_t now = static_cast<time_t>(clock_.UnixTime());
    struct tm tm {};
    {
      std::lock_guard<std::mutex> g(tz_mu_);
      ::tzset();
      if (!::gmtime_r(&now, &tm)) return false;
    }
    struct tm probe {};
    probe.tm_year = tm.tm_year;
    probe.tm_mday = 1;
    probe.tm_mon = 0;
    int32_t jan = LocalOffsetSeconds(::timegm(&probe), nullptr);
    probe.tm_mon = 6;
    int32_t jul = LocalOffsetSeconds(::timegm(&probe), nullptr);
    int32_t standard = std::min(jan, jul), summer = std::max(jan, jul);
    info->bias_minutes = -standard / 60;
    info->standard_bias_minutes = 0;
    info->daylight_bias_minutes = -(summer - standard) / 60;
    return true;
  }

 private:
  SystemClock clock_;
  std::once_flag registry_once_;
  std::unique_ptr<Registry> registry_;
  std::mutex tz_mu_;
};

}  // namespace

Env* Env::Default() {
  static PosixEnv* env = new PosixEnv;  // never destroyed: used until exit
  return env;
}

Env* Env::Current() {
  Env* e = g_override.load(std::memory_order_acquire);
  return e ? e : Default();
}

ScopedEnv::ScopedEnv(Env* env)
    : previous_(g_override.exchange(env, std::memory_order_acq_rel)) {}

ScopedEnv::~ScopedEnv() {
  g_override.store(previous_, std::memory_order_release);
}

}  // namespace platform
