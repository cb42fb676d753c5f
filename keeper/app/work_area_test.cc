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

// The work folder's name can be foreseen, and its base may be writable by
// others: it is always made afresh, private to its owner, and whatever
// stands under the foreseen name is never used.
TEST(WorkAreaTest, WorkFolderIsAlwaysNewAndPrivate) {
  platform::ScopedTempDir dir;
  fs::path out;
  ASSERT_EQ(CreateWorkFolder(dir.path(), 1234, &out), 0u);
  EXPECT_EQ(out.filename().string(), ".$__B_R_Temp__$1234");
  struct stat st {};
  ASSERT_EQ(::lstat(out.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  fs::path again;
  ASSERT_EQ(CreateWorkFolder(dir.path(), 1234, &again), 0u);
  EXPECT_NE(again, out) << "a folder that is there already is not reused";
  EXPECT_EQ(again.parent_path(), out.parent_path());
  EXPECT_EQ(again.filename().string().rfind(".$__B_R_Temp__$1234", 0), 0u);
  ASSERT_EQ(::lstat(again.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  RemoveWorkFolder(again);

  // A link planted under the name leads nowhere the job goes.
  fs::path victim = fs::path(dir.path()) / "victim";
  fs::create_directories(victim);
  fs::create_directory_symlink(victim, fs::path(dir.path()) / ".$__B_R_Temp__$77");
  fs::path planted;
  ASSERT_EQ(CreateWorkFolder(dir.path(), 77, &planted), 0u);
  EXPECT_NE(fs::weakly_canonical(planted), fs::weakly_canonical(victim));
  ASSERT_EQ(::lstat(planted.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode)) << "a folder of its own, not the link";
  std::ofstream(planted / "left-over") << "x";
  RemoveWorkFolder(planted);
  EXPECT_FALSE(fs::exists(planted));
  EXPECT_TRUE(fs::is_directory(victim));
  EXPECT_TRUE(fs::is_empty(victim));

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
