// The shared library's entry points, loaded by name as their callers do:
// results and argument checks.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "finder/finder.h"
#include "platform/event.h"
#include "finder/library_state.h"
#include "platform/testing/fake_env.h"

namespace {

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(FINDER_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }
  template <typename Fn>
  Fn* Get(const char* name) {
    auto* f = reinterpret_cast<Fn*>(dlsym(handle_, name));
    EXPECT_NE(f, nullptr) << name;
    return f;
  }
  void* handle_ = nullptr;
};

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

TEST_F(ExportsTest, ResultsAndArgumentChecks) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  const std::u16string definition =
      Wide(platform::Env::Default()->ProgramDir() + "/ZELT_Discovery.bin");
  const std::u16string missing = Wide(env.root() + "/missing.bin");
  const std::u16string folder = u"/opt/zelt";
  const std::u16string port = u"IP_10.0.0.5";
  char printer[] = "Office MFP";

  EXPECT_EQ(Get<decltype(DoNetworkDiscovery)>("DoNetworkDiscovery")(5, 0), 0);
  EXPECT_EQ(Get<decltype(DoNetworkDiscoveryTl)>("DoNetworkDiscoveryTl")(), 1);
  EXPECT_EQ(Get<decltype(DoNetworkDiscoveryInstaller)>("DoNetworkDiscoveryInstaller")(), 1);
  EXPECT_EQ(Get<decltype(DoNetworkDiscoveryFax)>("DoNetworkDiscoveryFax")(), 0);

  auto tl_ex = Get<decltype(DoNetworkDiscoveryTlEx)>("DoNetworkDiscoveryTlEx");
  EXPECT_EQ(tl_ex(nullptr), 0);
  EXPECT_EQ(tl_ex(missing.c_str()), 0);
  EXPECT_EQ(tl_ex(definition.c_str()), 1);
  auto installer_ex =
      Get<decltype(DoNetworkDiscoveryInstallerEx)>("DoNetworkDiscoveryInstallerEx");
  EXPECT_EQ(installer_ex(definition.c_str(), nullptr), 0);
  EXPECT_EQ(installer_ex(missing.c_str(), folder.c_str()), 0);
  EXPECT_EQ(installer_ex(definition.c_str(), folder.c_str()), 1);
  EXPECT_EQ(Get<decltype(DoNetworkDiscoveryEx)>("DoNetworkDiscoveryEx")(missing.c_str()), 0);

  auto fax_ex = Get<decltype(DoNetworkDiscoveryFaxEx)>("DoNetworkDiscoveryFaxEx");
  EXPECT_EQ(fax_ex(nullptr, port.c_str(), printer), LD_ERROR_OTHER_VALUE);
  EXPECT_EQ(fax_ex(definition.c_str(), nullptr, printer), LD_ERROR_OTHER_VALUE);
  EXPECT_EQ(fax_ex(definition.c_str(), port.c_str(), nullptr), LD_ERROR_DRIVER_NULL);
  // A printer the printer-data store does not know is no valid handle.
  EXPECT_EQ(fax_ex(definition.c_str(), port.c_str(), printer), LD_ERROR_DRIVER_NULL);
  auto pd_ex = Get<decltype(DoNetworkDiscoveryPDEx)>("DoNetworkDiscoveryPDEx");
  EXPECT_EQ(pd_ex(definition.c_str(), port.c_str(), printer, nullptr),
            LD_ERROR_OTHER_VALUE);

  FinderPrinterAddress a =
      Get<decltype(GetPrinterAddress)>("GetPrinterAddress")(u"x", 7);
  EXPECT_EQ(a.value, 1);
  EXPECT_EQ(a.address[0], u'\0');
  a = Get<decltype(GetPrinterAddressEx)>("GetPrinterAddressEx")(u"x", 7, missing.c_str());
  EXPECT_EQ(a.value, 0);
  EXPECT_EQ(Get<decltype(IsControllerCompatible)>("IsControllerCompatible")(nullptr), 0);

  auto dlg_ex = Get<decltype(CallSNMPSettingsDlgEx)>("CallSNMPSettingsDlgEx");
  EXPECT_EQ(dlg_ex(definition.c_str(), nullptr), 0);
  EXPECT_EQ(dlg_ex(missing.c_str(), folder.c_str()), 0);
  auto dlg_fax = Get<decltype(CallSNMPSettingsDlgFaxEx)>("CallSNMPSettingsDlgFaxEx");
  EXPECT_EQ(dlg_fax(nullptr, printer), LD_ERROR_OTHER_VALUE);
  EXPECT_EQ(dlg_fax(definition.c_str(), nullptr), LD_ERROR_DRIVER_NULL);
  auto dlg_fax1 = Get<decltype(CallSNMPSettingsDlgFaxEx1)>("CallSNMPSettingsDlgFaxEx1");
  EXPECT_EQ(dlg_fax1(nullptr, printer, nullptr), LD_ERROR_OTHER_VALUE);
  auto dlg_pd = Get<decltype(CallSNMPSettingsDlgPDEx1)>("CallSNMPSettingsDlgPDEx1");
  EXPECT_EQ(dlg_pd(definition.c_str(), nullptr, printer, nullptr), LD_ERROR_OTHER_VALUE);
  EXPECT_EQ(dlg_pd(definition.c_str(), u"/x.ini", nullptr, nullptr), LD_ERROR_DRIVER_NULL);
}

TEST(DiscoveryGuardTest, OneDiscoveryAtATime) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  {
    auto first = finder::AcquireDiscoveryGuard("LaunchLD");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(finder::AcquireDiscoveryGuard("LaunchLD"), nullptr);
    // What keeper tests before it loads the library.
    EXPECT_NE(platform::Event::OpenNamed("LaunchLD"), nullptr);
  }
  EXPECT_EQ(platform::Event::OpenNamed("LaunchLD"), nullptr);
  EXPECT_NE(finder::AcquireDiscoveryGuard("LaunchLD"), nullptr);
}

// Another program of the same user: a child process whose own copy of
// the event is gone asks for the guard while this one holds it, and again
// after it was given back.
TEST(DiscoveryGuardTest, OneDiscoveryAcrossPrograms) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  auto other_program_gets_it = [](std::shared_ptr<platform::Event>* mine) {
    pid_t child = fork();
    if (child == 0) {
      mine->reset();  // this copy of the process holds nothing itself
      _exit(finder::AcquireDiscoveryGuard("LaunchLD") ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
  };
  auto held = finder::AcquireDiscoveryGuard("LaunchLD");
  ASSERT_NE(held, nullptr);
  EXPECT_FALSE(other_program_gets_it(&held));
  held.reset();
  std::shared_ptr<platform::Event> none;
  EXPECT_TRUE(other_program_gets_it(&none));
  // Given back by the other program too: this one gets it again.
  EXPECT_NE(finder::AcquireDiscoveryGuard("LaunchLD"), nullptr);
}

}  // namespace
