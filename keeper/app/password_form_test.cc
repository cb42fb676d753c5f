#include <gtest/gtest.h>

#include "keeper/app/device_link.h"
#include "platform/env.h"
#include "standins/cryptocore/crypto_core.h"

namespace keeper {
namespace {

TEST(PasswordFormTest, Mode2MatchesTheDevicesForm) {
  std::string lib = platform::Env::Current()->ProgramDir() + "/libdigestlib.so";
  for (std::string pwd : {"admin00", "", "pässwörd with spaces"})
    EXPECT_EQ(EncodeMode2(pwd, lib), zelt::crypto::EncodeCredentialMode2(pwd))
        << pwd;
}

TEST(PasswordFormTest, WithoutTheLibraryThePlainFormStays) {
  EXPECT_EQ(EncodeMode2("admin00", "/nonexistent/libdigestlib.so"), "admin00");
}

}  // namespace
}  // namespace keeper

namespace keeper {
namespace {

// Late-bound exports are found in the loaded library, so that a job export
// that lands later is used without rebuilding the program.
TEST(BoxlinkExportTest, FindsExportsOfTheLoadedLibrary) {
  EXPECT_NE(BoxlinkExport("zbBoxLockUiJob"), nullptr);
  EXPECT_EQ(BoxlinkExport("zbBoxNoSuchExport"), nullptr);
}

}  // namespace
}  // namespace keeper
