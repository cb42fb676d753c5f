// The libraries keeper loads by path for one step and releases afterwards:
// the password prompt (authdlg) and the device discovery (finder). The
// main window's logic reaches them through these interfaces; the program
// uses the real libraries (LoadAuthDialogLibrary, LoadDiscoveryLibrary),
// tests scripted stand-ins.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace keeper {

// The six entry points of the password prompt library, as found in one
// load of it; an entry point the library lacks is empty. The library stays
// loaded while the object lives.
struct AuthDialogEntries {
  std::function<int32_t(const char16_t* path, int32_t value)> set_lang_dll_path;
  std::function<int32_t(unsigned char* buffer)> open_user_auth_dlg;
  std::function<uint8_t(uint8_t)> set_network_error_status;
  std::function<uint8_t(uint8_t)> set_controller_type;
  std::function<uint8_t(uint8_t)> set_main_dlg_launch_status;
  std::function<uint32_t()> get_user_auth_dlg_handle;
  std::shared_ptr<void> keep_loaded;
};

class AuthDialogLibrary {
 public:
  virtual ~AuthDialogLibrary() = default;
  // nullopt when the library at `path` cannot be loaded.
  virtual std::optional<AuthDialogEntries> Load(const std::string& path) = 0;
};

// The discovery library's one entry point keeper calls.
struct DiscoveryEntries {
  // Empty when the library lacks it.
  std::function<int(const char16_t* definition_path)> do_network_discovery_ex;
  std::shared_ptr<void> keep_loaded;
};

class DiscoveryLibrary {
 public:
  virtual ~DiscoveryLibrary() = default;
  // nullopt when the library of that name cannot be loaded.
  virtual std::optional<DiscoveryEntries> Load(const std::string& name) = 0;
};

// The real libraries, through the platform's loader.
std::unique_ptr<AuthDialogLibrary> MakeAuthDialogLibrary();
std::unique_ptr<DiscoveryLibrary> MakeDiscoveryLibrary();

}  // namespace keeper
