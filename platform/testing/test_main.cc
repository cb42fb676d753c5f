// Main of every test program. Before any test runs, the folders and
// registry files of the default Env are pointed into a temporary folder of
// this process, so that no test ever reads or writes the real profile,
// registry or temporary folder of the user who runs it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  std::string base = std::filesystem::temp_directory_path().string() +
                     "/zelt-main-XXXXXX";
  if (!mkdtemp(base.data())) {
    std::perror("mkdtemp");
    return 2;
  }
  for (const char* d : {"profile", "temp", "programdata", "registry"})
    std::filesystem::create_directories(base + "/" + d);
  setenv("ZELT_PROFILE_DIR", (base + "/profile").c_str(), 1);
  setenv("ZELT_TEMP_DIR", (base + "/temp").c_str(), 1);
  setenv("ZELT_PROGRAMDATA_DIR", (base + "/programdata").c_str(), 1);
  setenv("ZELT_REGISTRY_USER", (base + "/registry/user.reg").c_str(), 1);
  setenv("ZELT_REGISTRY_MACHINE", (base + "/registry/machine.reg").c_str(), 1);
  setenv("ZELT_TEST_ROOT", base.c_str(), 1);

  testing::InitGoogleTest(&argc, argv);
  int rc = RUN_ALL_TESTS();
  std::error_code ec;
  if (!getenv("ZELT_KEEP_TEST_ROOT")) std::filesystem::remove_all(base, ec);
  return rc;
}
