// The libraries of the system loaded by name into one process share one
// platform state: what a test installs (its environment, clock and
// registry) is what the code inside libboxlink.so and libftpshim.so sees,
// and an error one library reports is the thread's last error for all.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "boxlink.h"
#include "devsim/testing/device_fixture.h"
#include "devsim/web/box_cgi_state.h"
#include "ftpshim/ftpshim.h"
#include "platform/last_error.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace {

constexpr char kTuningKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

std::unique_ptr<platform::Library> Load(const char* path) {
  std::string error;
  auto lib = platform::OpenLibrary(path, "", &error);
  EXPECT_NE(lib, nullptr) << error;
  return lib;
}

TEST(ProcessPlatformTest, BoxlinkSeesTheTestsClockRegistryAndFolders) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  devsim::ScopedDevice dev(devsim::Layout::kClassic, {"web", "ftp"},
                           devsim::PopulateOptions{});
  ASSERT_TRUE(dev.ok()) << dev.error();

  auto lib = Load(BOXLINK_SO);
  ASSERT_NE(lib, nullptr);
  auto open = lib->Function<uint32_t (*)(ZBSESSION*, void*)>(
      "zbBoxOpenConnection");
  auto close = lib->Function<uint32_t (*)(ZBSESSION*)>("zbBoxCloseConnection");
  auto lock = lib->Function<uint32_t (*)(ZBSESSION*, const char*, uint32_t,
                                         uint32_t*)>("zbBoxLockUiJob");
  ASSERT_TRUE(open && close && lock);

  ZBSESSION s{};
  std::strncpy(s.Host, dev->address().c_str(), sizeof s.Host - 1);
  s.Port = 8080;
  ASSERT_EQ(open(&s, nullptr), 0u);
  // The library's requests and probes waited on the test's clock.
  EXPECT_FALSE(env.test_clock().Timeouts().empty());
  // Its diagnostic log went to the test's temporary folder.
  EXPECT_TRUE(std::filesystem::exists(env.TempDir() + "/Log_ZELT.txt"));

  // A switch written into the test's registry is read inside the library:
  // the panel is left alone and the device never asked.
  ASSERT_TRUE(env.registry().SetValue(platform::RegRoot::kCurrentUser,
                                      kTuningKey, "Lock",
                                      platform::RegValue::Dword(1)));
  uint32_t device_time = 7;
  EXPECT_EQ(lock(&s, "", 0, &device_time), 0u);
  EXPECT_EQ(device_time, 7u);
  EXPECT_FALSE(devsim::web::BoxCgiStateOf(*dev).exclusive());
  EXPECT_EQ(close(&s), 0u);
}

TEST(ProcessPlatformTest, FtpshimWaitsOnTheTestsClockAndSetsTheLastError) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  auto lib = Load(FTPSHIM_SO);
  ASSERT_NE(lib, nullptr);
  auto create = lib->Function<CreateFtpHandleFn>("CreateFtpHandle");
  auto release = lib->Function<ReleaseFtpHandleFn>("ReleaseFtpHandle");
  ASSERT_TRUE(create && release);

  IFtp* ftp = create(1, 0);
  ASSERT_NE(ftp, nullptr);
  platform::SetLastError(0);
  // Nothing listens on port 1 of loopback: the connect fails, and the
  // failure is this thread's last error as the test reads it.
  EXPECT_EQ(ftp->IFtpConnect("127.0.0.1", 1, 0), 0);
  EXPECT_NE(platform::GetLastError(), 0u);
  EXPECT_FALSE(env.test_clock().Timeouts().empty());
  EXPECT_EQ(release(ftp), 0u);
}

}  // namespace
