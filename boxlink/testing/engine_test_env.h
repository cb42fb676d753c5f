// The environment the engine tests run in: a fake Env whose program folder
// ships a model file that makes "Varda 8000" a storage-layout model, and
// helpers for the marker file and test archives.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "boxlink/base/marker_file.h"
#include "boxlink/base/model_addition_check.h"
#include "boxlink/base/model_file.h"
#include "boxlink/zip/zip_class.h"
#include "platform/testing/fake_env.h"
#include "platform/testing/recording_notifier.h"

namespace boxlink::enginetest {

inline constexpr char kStorageVersion[] = "Varda 8000 Series V1.0 build 12";
inline constexpr char kSeriesVersion[] = "Varda 910 Series V1.0";
inline constexpr char kSharedVersion[] = "Varda720/740 V1.3";
inline constexpr char kClassicUnlisted[] = "Varda 100 V9.9";
inline constexpr char kRetiredVersion[] = "Varda620/660 V1.1";

inline std::string Fmt3(uint32_t box) {
  char name[16];
  std::snprintf(name, sizeof name, box == 0 ? "00%03u" : "%03u", box);
  return name;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Member {
  std::string name;
  std::string bytes;
};

// A plain zip of the members, written with our zip classes.
inline void WriteZip(const std::string& path, const std::vector<Member>& members) {
  CZipClass zip;
  zip.Open(path, CZipClass::kCreate);
  for (const Member& m : members) {
    CZipHeaderInfo h;
    h.name = m.name;
    ASSERT_TRUE(zip.OpenNewFile(h, 9));
    zip.WriteNewFile(m.bytes.data(), uint32_t(m.bytes.size()));
    zip.CloseNewFile();
  }
  zip.Close();
}

class EngineTestEnv {
 public:
  explicit EngineTestEnv(uint32_t clock_scale = 1000)
      : env_(clock_scale), use_(&env_), notify_(&notices_) {
    env_.SetProgramDir(env_.root() + "/program");
    std::filesystem::create_directories(env_.root() + "/program");
    WriteModelFile(env_.root() + "/program/" + kModelInfoFileName,
                   {{kSupportedModelsCategory, {"Varda 8000"}}});
    ModelAdditionCheck::ResetForTesting();
  }
  ~EngineTestEnv() { ModelAdditionCheck::ResetForTesting(); }

  void SetNoEncryption(bool on) {
    std::string path = MarkerFilePath(kMarkerNoEncryption);
    if (on) WriteFile(path, "");
    else std::filesystem::remove(path);
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  platform::RecordingNotifier notices_;
  platform::ScopedNotifier notify_;
};

}  // namespace boxlink::enginetest
