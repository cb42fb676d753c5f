#include "keeper/app/work_area.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/testing/temp_dir.h"

namespace fs = std::filesystem;

namespace keeper {
namespace {

dev_t DeviceOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_dev;
}

TEST(WorkAreaTest, WorkFolderBaseIsAWritableAncestorOnTheSameFileSystem) {
  platform::ScopedTempDir dir;
  fs::path folder = fs::path(dir.path()) / "a" / "b";
  fs::create_directories(folder);
  uint32_t err = 1;
  fs::path base = WorkFolderBase(folder / "x.zip", &err);
  EXPECT_EQ(err, 0u);
  ASSERT_FALSE(base.empty());
  std::string f = fs::absolute(folder).string();
  EXPECT_EQ(f.rfind(base.string(), 0), 0u) << base << " not above " << f;
  EXPECT_NE(base, fs::absolute(folder)) << "climbs above the archive folder";
  EXPECT_EQ(DeviceOf(base), DeviceOf(folder));
  EXPECT_EQ(::access(base.c_str(), W_OK), 0);

  WorkFolderBase(folder / "missing" / "x.zip", &err);
  EXPECT_EQ(err, 3u);
}

TEST(WorkAreaTest, WorkFolderIsHiddenAndMayExistAlready) {
  platform::ScopedTempDir dir;
  fs::path out;
  ASSERT_EQ(CreateWorkFolder(dir.path(), 1234, &out), 0u);
  EXPECT_EQ(out.filename().string(), ".$__B_R_Temp__$1234");
  EXPECT_TRUE(fs::is_directory(out));
  fs::path again;
  EXPECT_EQ(CreateWorkFolder(dir.path(), 1234, &again), 0u);
  EXPECT_EQ(again, out);
  std::ofstream(out / "left-over") << "x";
  RemoveWorkFolder(out);
  EXPECT_FALSE(fs::exists(out));
  fs::path none;
  EXPECT_EQ(CreateWorkFolder(fs::path(dir.path()) / "no" / "such", 1, &none),
            3u);
}

TEST(WorkAreaTest, LocalCopyAndProgramDataClearing) {
  platform::ScopedTempDir dir;
  fs::path archive = fs::path(dir.path()) / "week.2.zip";
  std::ofstream(archive) << "PK archive bytes";
  fs::path copy;
  ASSERT_EQ(MakeLocalCopy(archive, &copy), 0u);
  EXPECT_EQ(copy, ProgramDataFolder() / "RestoreFile.zip");
  std::ifstream in(copy);
  std::string content((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(content, "PK archive bytes");
  EXPECT_EQ(MakeLocalCopy(fs::path(dir.path()) / "gone.zip", &copy), 1359u);

  fs::create_directories(ProgramDataFolder() / "keep");
  ClearProgramDataFiles();
  EXPECT_FALSE(fs::exists(ProgramDataFolder() / "RestoreFile.zip"));
  EXPECT_TRUE(fs::is_directory(ProgramDataFolder() / "keep"));
}

TEST(WorkAreaTest, LockFileLivesWithTheObject) {
  platform::ScopedTempDir dir;
  fs::path path;
  {
    LockFile lock(fs::path(dir.path()) / "out.zip", 77);
    path = lock.path();
    EXPECT_EQ(path, fs::path(dir.path()) / ".$__B_R_Temp__$77");
    EXPECT_TRUE(fs::exists(path));
  }
  EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace keeper
