#include "keeper/app/testing/fake_outside_libraries.h"

#include <cstring>

namespace keeper {

std::optional<AuthDialogEntries> FakePromptLibrary::Load(
    const std::string& path) {
  loaded_paths.push_back(path);
  if (!loadable) return std::nullopt;
  AuthDialogEntries e;
  e.set_lang_dll_path = [this](const char16_t* p, int32_t value) {
    language_path = p;
    language_value = value;
    return set_path_result;
  };
  if (!lacks_open) {
    e.open_user_auth_dlg = [this](unsigned char* buffer) -> int32_t {
      ++prompts;
      if (while_open) while_open();
      if (answers.empty()) return 2;
      Answer a = answers.front();
      answers.pop_front();
      if (a.result == 1)
        std::memcpy(buffer, a.password.c_str(),
                    (a.password.size() + 1) * sizeof(char16_t));
      return a.result;
    };
  }
  e.set_network_error_status = [this](uint8_t v) {
    network_errors.push_back(v);
    return v;
  };
  e.set_controller_type = [this](uint8_t v) {
    controller_types.push_back(v);
    return v;
  };
  e.set_main_dlg_launch_status = [this](uint8_t v) {
    launch_status.push_back(v);
    return v;
  };
  e.get_user_auth_dlg_handle = [this] { return handle; };
  return e;
}

std::optional<DiscoveryEntries> FakeDiscoveryLibrary::Load(
    const std::string& name) {
  loaded_names.push_back(name);
  if (!loadable) return std::nullopt;
  DiscoveryEntries e;
  if (has_entry) {
    e.do_network_discovery_ex = [this](const char16_t* definition) {
      ++runs;
      definitions.push_back(definition ? definition : u"");
      if (user) user();
      return 1;
    };
  }
  return e;
}

}  // namespace keeper
