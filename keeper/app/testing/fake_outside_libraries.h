// Stand-ins for the password prompt library and the discovery library in
// tests of the main window's logic: they record what keeper hands them and
// answer from a script.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "keeper/app/outside_libraries.h"

namespace keeper {

class FakePromptLibrary final : public AuthDialogLibrary {
 public:
  struct Answer {
    int32_t result = 1;  // 1 OK, 2 Cancel, or a failure
    std::u16string password;
  };
  // One answer per prompt; an empty script cancels.
  std::deque<Answer> answers;
  bool loadable = true;
  bool lacks_open = false;  // an entry point missing
  int32_t set_path_result = 0;
  uint32_t handle = 77;

  // What the prompt was given.
  std::vector<std::string> loaded_paths;
  std::u16string language_path;
  int32_t language_value = 0;
  std::vector<uint8_t> controller_types;  // per prompt
  std::vector<uint8_t> network_errors;    // per prompt
  std::vector<uint8_t> launch_status;     // every SetMainDlgLaunchStatus
  int prompts = 0;
  // Runs while a prompt is open.
  std::function<void()> while_open;

  std::optional<AuthDialogEntries> Load(const std::string& path) override;
};

class FakeDiscoveryLibrary final : public DiscoveryLibrary {
 public:
  bool loadable = true;
  bool has_entry = true;
  // What the user does in the discovery: typically writes the selection
  // into the registry as the real one does.
  std::function<void()> user;
  std::vector<std::string> loaded_names;
  std::vector<std::u16string> definitions;
  int runs = 0;

  std::optional<DiscoveryEntries> Load(const std::string& name) override;
};

}  // namespace keeper
