// The frame of the CGI exports: Result codes, passwords, the version gate
// and the error convention.
#include "boxlink/client/cgi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

#include "boxlink/client/engine_cache.h"
#include "boxlink/base/engine_versions.h"
#include "boxlink/base/logger.h"
#include "platform/last_error.h"
#include "platform/testing/fake_env.h"

namespace boxlink {
namespace {

TEST(CgiResultTest, EveryResultMapsAsTheTableSays) {
  const std::pair<int, uint32_t> table[] = {
      {0, 0},      {1, 8},      {206, 8},     {2, 1216},   {210, 1216}, {4, 1},
      {100, 1460}, {202, 1460}, {101, 161},   {204, 161},  {102, 4351}, {103, 1359},
      {104, 1359}, {106, 1359}, {107, 1359},  {200, 1359}, {105, 100},  {211, 100},
      {212, 100},  {300, 100},  {400, 100},   {201, 170},  {203, 170},  {205, 170},
      {207, 170},  {208, 170},  {209, 170},   {214, 1260}, {500, 1371}, {501, 1371},
      {602, 1907}, {603, 1330}, {604, 1325},  {605, 1909}, {3, 1359},   {213, 1359},
      {600, 1359}, {601, 1359}, {-1, 1359}};
  for (auto [result, code] : table) EXPECT_EQ(MapCgiResult(result), code) << result;
}

TEST(CgiResultTest, ResultTextIsReadAsLeadingDigits) {
  EXPECT_NO_THROW(CheckCgiResult("0"));
  EXPECT_NO_THROW(CheckCgiResult("00"));
  EXPECT_NO_THROW(CheckCgiResult("OK"));  // no digits reads as 0
  try {
    CheckCgiResult("4");
    FAIL();
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 1u);
  }
  try {
    CheckCgiResult(" 213abc");
    FAIL();
  } catch (const BoxError& e) {
    EXPECT_EQ(e.code(), 1359u);
  }
}

TEST(CgiPasswordTest, ResolvedByAccessMode) {
  ZBSESSION s{};
  char out[256];
  s.AccessMode = 0;
  ResolveBoxPassword(&s, "abc", out);
  EXPECT_STREQ(out, "abc");
  ResolveBoxPassword(&s, nullptr, out);
  EXPECT_STREQ(out, "");
  s.AccessMode = 20;
  ResolveBoxPassword(&s, "x&y", out);
  EXPECT_STREQ(out, "x&y");
  s.AccessMode = 1;
  ResolveBoxPassword(&s, "ignored", out);
  EXPECT_STREQ(out, "rPLANAR604");
  std::string long_password(400, 'p');
  s.AccessMode = 0;
  ResolveBoxPassword(&s, long_password.c_str(), out);
  EXPECT_EQ(std::strlen(out), 255u);
  for (auto [mode, code] : {std::pair<uint32_t, uint32_t>{2, 1327}, {3, 87}, {21, 87}}) {
    s.AccessMode = mode;
    try {
      ResolveBoxPassword(&s, "abc", out);
      ADD_FAILURE() << mode;
    } catch (const BoxError& e) {
      EXPECT_EQ(e.code(), code);
    }
  }
}

TEST(CgiGateTest, PostOnlyForTheMarkedEngine) {
  ClearEngineInfoCache();
  EXPECT_FALSE(GateSelectsPost());
  std::strcpy(EngineInfoCache().EngineVersion, "Varda 560 Series V4.0.0.0");
  EXPECT_FALSE(GateSelectsPost());
  std::strcpy(EngineInfoCache().EngineVersion, "xx V2.0.0.0 build 7");
  EXPECT_TRUE(GateSelectsPost());
  ClearEngineInfoCache();
}

TEST(CgiGateTest, VersionTables) {
  EXPECT_TRUE(IsSupportedEngine("Varda 960 Series V4.0.0.0 build 3"));
  EXPECT_TRUE(IsSupportedEngine("Varda7120/7140 V1.3"));
  EXPECT_FALSE(IsSupportedEngine("Varda7120/7140 V1.2"));
  EXPECT_TRUE(IsRetiredEngine("Varda7120/7140 V1.2"));
  EXPECT_TRUE(IsSeriesEngine("Varda 910 Series V1.0"));
  EXPECT_FALSE(IsSeriesEngine("Varda620/660 V1.2"));
  EXPECT_FALSE(IsSupportedEngine("Varda 999 Series V9.0"));
}

class CgiExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearEngineInfoCache();
    SetEngineInfoFill(nullptr);
  }
  void TearDown() override {
    CLogger::StopLog();
    SetEngineInfoFill(installed_fill_);
    ClearEngineInfoCache();
  }
  // What the engine-information export installed, if it is linked in.
  const EngineInfoFill installed_fill_ = GetEngineInfoFill();
  std::string Log() {
    std::ifstream in(CLogger::LogFilePath());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  platform::FakeEnv env_;
  platform::ScopedEnv use_{&env_};
};

TEST_F(CgiExportTest, ClosedSessionsAreRefusedBeforeAnything) {
  bool ran = false;
  auto body = [&](CgiCall&) { ran = true; };
  EXPECT_EQ(RunCgiExport("zbBoxX", nullptr, body), 87u);
  ZBSESSION s{};
  EXPECT_EQ(RunCgiExport("zbBoxX", &s, body), 87u);
  s.ConnectHandle = &s;  // set, but SessionId 0
  EXPECT_EQ(RunCgiExport("zbBoxX", &s, body), 87u);
  platform::SetLastError(5);
  EXPECT_EQ(RunCgiHandleExport("zbBoxY", &s, [](CgiCall&) { return nullptr; }), nullptr);
  EXPECT_EQ(platform::GetLastError(), 87u);
  EXPECT_FALSE(ran);
}

TEST_F(CgiExportTest, EmptyEngineCacheIsFilledFirstOrFails1359) {
  ZBSESSION s{};
  s.ConnectHandle = &s;
  s.SessionId = 7;
  bool ran = false;
  EXPECT_EQ(RunCgiExport("zbBoxX", &s, [&](CgiCall&) { ran = true; }), 1359u);
  EXPECT_FALSE(ran);
  static int fills = 0;
  SetEngineInfoFill([](ZBSESSION*, const char* pwd, EngineInfoRecord* info) -> uint32_t {
    ++fills;
    EXPECT_EQ(pwd, nullptr);
    std::strcpy(info->EngineVersion, "Varda 540 Series V1.0");
    return 0;
  });
  EXPECT_EQ(RunCgiExport("zbBoxX", &s, [&](CgiCall&) { ran = true; }), 0u);
  EXPECT_EQ(RunCgiExport("zbBoxX", &s, [&](CgiCall&) {}), 0u);
  EXPECT_TRUE(ran);
  EXPECT_EQ(fills, 1);
}

TEST_F(CgiExportTest, FailuresAreLoggedUnderTheExportAndNothingEscapes) {
  std::strcpy(EngineInfoCache().EngineVersion, "Varda 540 Series V1.0");
  ZBSESSION s{};
  s.ConnectHandle = &s;
  s.SessionId = 7;
  EXPECT_EQ(RunCgiExport("zbBoxOne", &s, [](CgiCall&) { Raise(170); }), 170u);
  EXPECT_EQ(RunCgiExport("zbBoxTwo", &s, [](CgiCall&) { throw std::runtime_error("x"); }),
            1359u);
  ZBBLOCK b = RunCgiHandleExport("zbBoxThree", &s, [](CgiCall&) -> platform::BlockHandle {
    Raise(13);
  });
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(platform::GetLastError(), 13u);
  std::string log = Log();
  EXPECT_NE(log.find("\n ==> zbBoxOne Failed With ERROR - 170 : "), std::string::npos) << log;
  EXPECT_NE(log.find("\n ==> zbBoxTwo Failed With Default ERROR - 1359 : "), std::string::npos);
  EXPECT_NE(log.find("\n ==> zbBoxThree Failed With ERROR - 13 : "), std::string::npos);
}

}  // namespace
}  // namespace boxlink
