// Main of widget tests: the shared test main's private folders and
// registry, then a QApplication on the offscreen platform (no display is
// needed, as in CI) unless QT_QPA_PLATFORM says otherwise.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
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
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Texts of the tests are English unless a test chooses otherwise.
  setenv("LC_ALL", "C.UTF-8", 1);

  testing::InitGoogleTest(&argc, argv);
  int rc;
  {
    QApplication app(argc, argv);
    rc = RUN_ALL_TESTS();
  }
  std::error_code ec;
  if (!getenv("ZELT_KEEP_TEST_ROOT")) std::filesystem::remove_all(base, ec);
  return rc;
}
