// The SNMP exports through the shared library, as callers load it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "boxlink.h"

namespace {

TEST(SnmpAbiTest, ExportsAndNullArguments) {
  void* lib = dlopen(BOXLINK_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto mac = reinterpret_cast<decltype(&GetMacAddress)>(dlsym(lib, "GetMacAddress"));
  auto mode = reinterpret_cast<decltype(&GetAutoAuthModeStatus)>(
      dlsym(lib, "GetAutoAuthModeStatus"));
  auto storage = reinterpret_cast<decltype(&zbBoxGetStorageType)>(
      dlsym(lib, "zbBoxGetStorageType"));
  auto last = reinterpret_cast<uint32_t (*)()>(dlsym(lib, "zbBoxGetLastError"));
  ASSERT_NE(mac, nullptr);
  ASSERT_NE(mode, nullptr);
  ASSERT_NE(storage, nullptr);
  ASSERT_NE(last, nullptr);
  // Internals stay hidden.
  EXPECT_EQ(dlsym(lib, "_ZN7boxlink12QueryWebPortEP9ZBSESSIONPK14ZBSNMPSETTINGS"),
            nullptr);

  ZBSNMPSETTINGS settings{};
  char buffer[18] = {};
  uint32_t status = 7, type = 7;
  EXPECT_EQ(mac(nullptr, &settings, buffer), 1359u);
  EXPECT_EQ(last(), 1359u);
  EXPECT_EQ(mode(nullptr, &settings, &status), 1359u);
  EXPECT_EQ(status, 2u);
  EXPECT_EQ(storage(nullptr, nullptr, &type), 1359u);
  EXPECT_EQ(type, 7u);
  dlclose(lib);
}

}  // namespace
