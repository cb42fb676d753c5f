#include "platform/env.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "platform/testing/temp_dir.h"

namespace platform {
namespace {

// Sets or unsets an environment variable for one scope.
class ScopedVar {
 public:
  ScopedVar(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedVar() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ProgramDataDirTest, OverrideThenSystemFolderThenTheUsersStateFolder) {
  ScopedTempDir tmp;
  const std::string writable = tmp.Sub("system");  // its parent exists
  const std::string impossible = tmp.Sub("missing/parent/zelt");
  struct Case {
    const char* override_dir;
    std::string system_dir;
    const char* state_home;
    std::string expected;
  } cases[] = {
      {"/srv/zelt", impossible, nullptr, "/srv/zelt"},
      {nullptr, writable, "/x/state", writable},
      {nullptr, impossible, "/x/state", "/x/state/zelt"},
      {nullptr, impossible, nullptr, tmp.Sub("home") + "/.local/state/zelt"},
  };
  ScopedVar home("HOME", tmp.Sub("home").c_str());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    ScopedVar override_var("ZELT_PROGRAMDATA_DIR", c.override_dir);
    ScopedVar state("XDG_STATE_HOME", c.state_home);
    EXPECT_EQ(ChooseProgramDataDir(c.system_dir), c.expected);
  }
}

}  // namespace
}  // namespace platform
