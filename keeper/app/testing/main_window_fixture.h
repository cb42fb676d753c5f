// The main window's logic with every outside part replaced: a private
// registry and clock (FakeEnv), keeper's English texts, a scripted screen,
// window, box service, password prompt and discovery.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "desktop/language.h"
#include "desktop/testing/fake_screen.h"
#include "keeper/app/main_window_logic.h"
#include "keeper/app/testing/fake_box_service.h"
#include "keeper/app/testing/fake_main_view.h"
#include "keeper/app/testing/fake_outside_libraries.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace keeper {

class MainWindowFixture : public testing::Test {
 protected:
  static constexpr char kBaseKey[] =
      "Software\\TALLIS\\Corvane TALLIS Client\\BRD";
  static constexpr char kRunningKey[] =
      "Software\\TALLIS\\Corvane TALLIS Client\\Running";
  static constexpr char kDevA[] = "192.0.2.10";
  static constexpr char kDevB[] = "192.0.2.20";

  MainWindowFixture() {
    std::string error;
    lang_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    EXPECT_TRUE(lang_) << error;
    screen_ = std::make_unique<desktop::FakeScreen>(lang_.get());
  }

  MainWindowLogic& Logic() {
    if (!logic_) {
      logic_ = std::make_unique<MainWindowLogic>(MainWindowContext{
          *lang_, *screen_, view_, service_, prompt_, finder_,
          program_dir_.empty() ? env_.ProgramDir() : program_dir_,
          lang_->path()});
    }
    return *logic_;
  }

  platform::Registry& Reg() { return env_.registry(); }
  std::optional<std::string> Value(const std::string& name,
                                   const std::string& key = kBaseKey) {
    auto v = Reg().GetValue(platform::RegRoot::kCurrentUser, key, name);
    if (!v) return std::nullopt;
    return v->text;
  }
  void SetValue(const std::string& name, const std::string& text,
                const std::string& key = kBaseKey) {
    Reg().SetValue(platform::RegRoot::kCurrentUser, key, name,
                   platform::RegValue::String(text));
  }

  // The selection the discovery leaves: the four values, and the device
  // as entry `n` of the discovered-device list.
  void Select(const std::string& address, const std::string& name,
              const std::string& version = "V1/V2") {
    SetValue("Last Selected IP", address);
    SetValue("Last Selected Name", name);
    SetValue("Last Selected Location", "Floor " + name);
    SetValue("Last Selected SNMP Version", version);
  }
  void ListDevice(int n, const std::string& address, const std::string& name,
                  const std::string& version = "V1/V2") {
    const std::string i = std::to_string(n);
    SetValue("Address" + i, address);
    SetValue("Name" + i, name);
    SetValue("Model" + i, "Model of " + name);
    SetValue("Location" + i, "Floor " + name);
    SetValue("SNMP Version" + i, version);
  }

  // A device that opens a restricted session and wants the password
  // (OpenResult 1), or one that opens a full session (0).
  FakeBoxService::Device& Device(const std::string& address,
                                 uint32_t open_result) {
    auto& d = service_.devices[address];
    d.open_result = open_result;
    d.boxes = {{1, "Scans", false, {}}, {2, "Fax in", true, {}}};
    return d;
  }
  void Answer(const std::u16string& password) {
    prompt_.answers.push_back({1, password});
  }
  void Cancel() { prompt_.answers.push_back({2, u""}); }

  // Texts of the messages shown so far.
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& s : screen_->shown()) out.push_back(s.text);
    return out;
  }
  std::string T(uint32_t id) const { return std::string(lang_->Text(id)); }

  platform::FakeEnv env_;
  platform::ScopedEnv use_env_{&env_};
  std::unique_ptr<desktop::LanguageLibrary> lang_;
  std::unique_ptr<desktop::FakeScreen> screen_;
  FakeMainView view_;
  FakeBoxService service_;
  FakePromptLibrary prompt_;
  FakeDiscoveryLibrary finder_;
  std::string program_dir_;  // the program's folder when not the real one
  std::unique_ptr<MainWindowLogic> logic_;
};

}  // namespace keeper
