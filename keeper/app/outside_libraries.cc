#include "keeper/app/outside_libraries.h"

#include "authdlg/include/authdlg.h"
#include "platform/env.h"
#include "platform/library.h"

namespace keeper {
namespace {

using DiscoveryFn = int (*)(const char16_t*);

template <typename Fn>
std::function<std::remove_pointer_t<Fn>> Entry(platform::Library& lib,
                                               const char* name) {
  Fn fn = lib.Function<Fn>(name);
  if (!fn) return {};
  return fn;
}

class RealAuthDialogLibrary final : public AuthDialogLibrary {
 public:
  std::optional<AuthDialogEntries> Load(const std::string& path) override {
    std::string error;
    std::shared_ptr<platform::Library> lib =
        platform::Env::Current()->LoadLibrary(path, &error);
    if (!lib) return std::nullopt;
    AuthDialogEntries e;
    e.set_lang_dll_path = Entry<SetLangDllPathFn>(*lib, "SetLangDllPath");
    e.open_user_auth_dlg = Entry<OpenUserAuthDlgFn>(*lib, "OpenUserAuthDlg");
    e.set_network_error_status =
        Entry<SetByteFn>(*lib, "SetNetWorkErrorStatus");
    e.set_controller_type = Entry<SetByteFn>(*lib, "SetControllerType");
    e.set_main_dlg_launch_status =
        Entry<SetByteFn>(*lib, "SetMainDlgLaunchStatus");
    e.get_user_auth_dlg_handle =
        Entry<GetUserAuthDlgHandleFn>(*lib, "GetUserAuthDlgHandle");
    e.keep_loaded = lib;
    return e;
  }
};

class RealDiscoveryLibrary final : public DiscoveryLibrary {
 public:
  std::optional<DiscoveryEntries> Load(const std::string& name) override {
    std::string error;
    std::shared_ptr<platform::Library> lib =
        platform::Env::Current()->LoadLibrary(name, &error);
    if (!lib) return std::nullopt;
    DiscoveryEntries e;
    e.do_network_discovery_ex = Entry<DiscoveryFn>(*lib, "DoNetworkDiscoveryEx");
    e.keep_loaded = lib;
    return e;
  }
};

}  // namespace

std::unique_ptr<AuthDialogLibrary> MakeAuthDialogLibrary() {
  return std::make_unique<RealAuthDialogLibrary>();
}

std::unique_ptr<DiscoveryLibrary> MakeDiscoveryLibrary() {
  return std::make_unique<RealDiscoveryLibrary>();
}

}  // namespace keeper
