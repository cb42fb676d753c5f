// The environment of the conversion tests: a fake Env whose program folder
// holds what ships beside the library (model tables, rule files, the
// boxendian library) and a model file that knows the storage models, plus
// helpers that read converted archives back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "boxlink.h"
#include "boxlink/base/logger.h"
#include "boxlink/base/marker_file.h"
#include "boxlink/base/model_addition_check.h"
#include "boxlink/base/model_file.h"
#include "boxlink/engine/zip_utility.h"
#include "boxlink/zip/zip_utls.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/temp_dir.h"

namespace boxlink::converttest {

namespace fs = std::filesystem;

inline const std::vector<std::string> kShippedConfig = {
    "ZELT_ConvertModels.ini", "Varda620_660.ini", "Varda720_740.ini", "Varda7120_7140.ini"};

class ConvertTestEnv {
 public:
  explicit ConvertTestEnv(uint32_t clock_scale = 100000) : env_(clock_scale), use_(&env_) {
    program_ = env_.root() + "/program";
    fs::create_directories(program_);
    env_.SetProgramDir(program_);
    for (const std::string& f : kShippedConfig)
      fs::copy_file(std::string(BIN_DIR) + "/" + f, program_ + "/" + f);
    fs::create_symlink(std::string(BIN_DIR) + "/libboxendian.so", program_ + "/libboxendian.so");
    WriteModelFile(program_ + "/" + kModelInfoFileName,
                   {{kSupportedModelsCategory,
                     {"Varda 8000", "Varda 8500", "Varda 9500", "Varda 9800"}}});
    ModelAdditionCheck::ResetForTesting();
    fs::create_directories(env_.TempDir());
  }
  ~ConvertTestEnv() {
    ModelAdditionCheck::ResetForTesting();
    CLogger::StopLog();
  }

  void SetNoEncryption(bool on) {
    std::string path = MarkerFilePath(kMarkerNoEncryption);
    fs::create_directories(fs::path(path).parent_path());
    if (on) platform::WriteTestFile(path, "");
    else fs::remove(path);
  }
  // Whatever the library left in the user's temporary folder besides its
  // diagnostic log.
  std::vector<std::string> TempLeftovers() {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(env_.TempDir(), ec))
      if (e.path().filename() != "Log_ZELT.txt") out.push_back(e.path().filename().string());
    return out;
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  std::string program_;
};

// The entries of a zip, by name.
inline std::vector<std::string> ZipNames(const std::string& path) {
  CZipUtls z;
  z.OpenFile(path, 1);
  std::vector<std::string> out;
  CZipHeaderInfo h;
  for (size_t i = 0; i < z.zip().GetCount(); ++i) {
    z.zip().GetFileInfo(h, i);
    out.push_back(h.name);
  }
  return out;
}

inline void Unzip(const std::string& zip, const std::string& into) {
  fs::create_directories(into);
  CZipUtls z;
  z.OpenFile(zip, 1);
  z.ExtractZipFile(into);
}

// Unzips a scrambled member "x.tnb" (by a copy) into `into`.
inline void UnzipScrambled(const std::string& tnb, const std::string& into) {
  std::string base = into + "/.scrambled";
  fs::create_directories(into);
  fs::copy_file(tnb, base + ".tnb", fs::copy_options::overwrite_existing);
  RevertZipCentralDirectory(base + ".zip");
  Unzip(base + ".zip", into);
  fs::remove(base + ".zip");
}

// The files below a folder, relative, sorted.
inline std::vector<std::string> Files(const std::string& root) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace boxlink::converttest
