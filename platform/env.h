// The operating-system services the system relies on, behind one interface.
//
// Everything that would be a Windows service on the original platform (the
// registry, folders, the clock, message texts, loading libraries by name)
// is reached through an Env. Env::Default() is the real one; tests install
// their own with ScopedEnv so that, for instance, a ten-minute retry loop runs
// against a clock that does not really wait.
//
// C exports cannot take an Env argument, so the library code asks for
// Env::Current(). That is the one piece of process-wide mutable state here:
// it is meant to be changed by tests only, while no other thread uses it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class Clock;
class Registry;
class Library;

// Time-zone facts in the Windows sense: local = UTC - bias, summer time adds
// daylight_bias to the bias (so daylight_bias is -60 where clocks move an
// hour forward, 0 where the zone keeps no summer time).
struct TimeZoneInfo {
  int32_t bias_minutes = 0;
  int32_t standard_bias_minutes = 0;
  int32_t daylight_bias_minutes = 0;
};

class Env {
 public:
  virtual ~Env() = default;

  // The real environment of the process. Never null, never destroyed.
  static Env* Default();
  // The environment library code should use: a test override, or Default().
  static Env* Current();

  virtual Clock& clock() = 0;
  virtual Registry& registry() = 0;

  // Folders. Each is an absolute path without a trailing separator.
  virtual std::string UserProfileDir() = 0;   // %USERPROFILE%
  virtual std::string TempDir() = 0;          // the user's temporary folder
  // The system's machine-wide data folder (C:\ProgramData\ZELT of the
  // Windows design): where copies of shipped files and archives being read
  // are kept. It may not exist yet.
  virtual std::string ProgramDataDir() = 0;
  virtual std::string ProgramDir() = 0;       // folder of the running program

  // The system's own text for an error code, ending in a line break, or
  // nullopt when the system has no text for the code.
  virtual std::optional<std::string> ErrorMessage(uint32_t code) = 0;

  // Loads a shared library by bare name ("ftpshim") or by path. Null and the
  // reason in *error when it cannot be loaded.
  virtual std::unique_ptr<Library> LoadLibrary(std::string_view name_or_path,
                                               std::string* error) = 0;

  // Offset of local time from UTC, in seconds, at the given UTC instant,
  // and whether summer time is in force then.
  virtual int32_t LocalOffsetSeconds(int64_t utc_seconds, bool* dst) = 0;
  // The zone's biases; false when the zone cannot be determined.
  virtual bool GetTimeZoneInfo(TimeZoneInfo* info) = 0;
};

// The machine-wide data folder of the real environment: ZELT_PROGRAMDATA_DIR
// when set; else system_dir when this user may write it (or create it); else
// the user's own state folder ($XDG_STATE_HOME/zelt, ~/.local/state/zelt).
std::string ChooseProgramDataDir(const std::string& system_dir);

// Installs an Env as Env::Current() for the lifetime of this object.
class ScopedEnv {
 public:
  explicit ScopedEnv(Env* env);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  Env* previous_;
};

}  // namespace platform
