// The shared library exports its C interface and nothing of its insides.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "boxlink.h"

namespace {

class AbiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(BOXLINK_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }
  void* handle_ = nullptr;
};

TEST_F(AbiTest, ExportsTheCInterfaceOnly) {
  for (const char* name :
       {"zbBoxGetLastError", "zbBoxSetLastError", "zbBoxLockBlock",
        "zbBoxBlockSize", "zbBoxFreeBlock", "zbBoxCreateEvent",
        "zbBoxSetEvent", "zbBoxResetEvent", "zbBoxWaitEvent",
        "zbBoxCloseEvent"})
    EXPECT_NE(dlsym(handle_, name), nullptr) << name;
  // Internal classes stay hidden.
  EXPECT_EQ(dlsym(handle_, "_ZN7boxlink7CLogger8StartLogEv"), nullptr);
}

TEST_F(AbiTest, LastErrorAndEventsWorkThroughTheLibrary) {
  auto set = reinterpret_cast<void (*)(uint32_t)>(
      dlsym(handle_, "zbBoxSetLastError"));
  auto get = reinterpret_cast<uint32_t (*)()>(
      dlsym(handle_, "zbBoxGetLastError"));
  set(1359);
  EXPECT_EQ(get(), 1359u);

  auto create = reinterpret_cast<ZBEVENT (*)(int, int, const char*)>(
      dlsym(handle_, "zbBoxCreateEvent"));
  auto wait = reinterpret_cast<uint32_t (*)(ZBEVENT, uint32_t)>(
      dlsym(handle_, "zbBoxWaitEvent"));
  auto signal = reinterpret_cast<int (*)(ZBEVENT)>(
      dlsym(handle_, "zbBoxSetEvent"));
  auto close = reinterpret_cast<void (*)(ZBEVENT)>(
      dlsym(handle_, "zbBoxCloseEvent"));
  ZBEVENT a = create(1, 0, "Cancel");
  ZBEVENT b = create(1, 0, "Cancel");  // same name, same event
  EXPECT_EQ(wait(b, 0), ZB_WAIT_TIMEOUT);
  EXPECT_EQ(signal(a), 1);
  EXPECT_EQ(wait(b, 0), ZB_WAIT_OBJECT_0);
  close(a);
  close(b);
}

}  // namespace
