// An Env for tests: a TestClock, a registry and folders of its own under a
// temporary folder, and message texts and time zones that a test can set.
//
//   platform::FakeEnv env;
//   platform::ScopedEnv use(&env);
//   ... code under test now sleeps on env.test_clock() ...
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/env.h"
#include "platform/registry.h"
#include "platform/testing/temp_dir.h"
#include "platform/testing/test_clock.h"

namespace platform {

class FakeEnv final : public Env {
 public:
  explicit FakeEnv(uint32_t clock_scale = 1000);
  ~FakeEnv() override;

  Clock& clock() override { return clock_; }
  Registry& registry() override { return *registry_; }
  std::string UserProfileDir() override { return root_.Sub("profile"); }
  std::string TempDir() override { return root_.Sub("temp"); }
  std::string ProgramDataDir() override { return root_.Sub("programdata"); }
  std::string ProgramDir() override;
  std::optional<std::string> ErrorMessage(uint32_t code) override;
  std::unique_ptr<Library> LoadLibrary(std::string_view name_or_path,
                                       std::string* error) override;
  int32_t LocalOffsetSeconds(int64_t utc_seconds, bool* dst) override;
  bool GetTimeZoneInfo(TimeZoneInfo* info) override;

  TestClock& test_clock() { return clock_; }
  const std::string& root() const { return root_.path(); }

  // Overrides the message text of one code (nullopt: the code has none).
  void SetMessage(uint32_t code, std::optional<std::string> text);
  // A zone of fixed offset; with dst_minutes != 0 summer time applies from
  // April to September (UTC months), enough to tell the rules apart.
  void SetFixedTimeZone(int32_t offset_minutes, int32_t dst_minutes = 0);
  // The program folder that library loading searches.
  void SetProgramDir(std::string dir) { program_dir_ = std::move(dir); }

 private:
  ScopedTempDir root_;
  TestClock clock_;
  std::unique_ptr<Registry> registry_;
  std::mutex mu_;
  std::map<uint32_t, std::optional<std::string>> messages_;
  bool fixed_zone_ = false;
  int32_t offset_minutes_ = 0;
  int32_t dst_minutes_ = 0;
  std::string program_dir_;
};

}  // namespace platform
