// The C entry points of the discovery library. Each catches everything:
// no exception crosses the library boundary.
#include "finder/finder.h"

#include <QWidget>

#include "finder/controller_model.h"
#include "finder/library_state.h"
#include "finder/product_definition.h"
#include "finder/snmp_settings.h"
#include "finder/ui/dialogs.h"
#include "platform/env.h"
#include "platform/registry.h"

#define FINDER_EXPORT extern "C" __attribute__((visibility("default")))

namespace finder {
namespace {

// Loads the product definition named by a wide path; false for a null
// path or an unreadable file.
bool LoadDefinition(const char16_t* path) {
  if (!path) return false;
  return CDiscoveryModule::Instance().LoadArchive(FromWide(path));
}

template <typename Fn, typename R>
R Guarded(Fn&& fn, R on_exception) {
  try {
    return fn();
  } catch (...) {
    return on_exception;
  }
}

constexpr size_t kCommunityBytes = 256;

// The community name of a printer-driver caller, from the printer's data
// ("SNMP Community" unless the definition names another value): a name
// read, even cut to the buffer, is kept; none gives "public"; a printer
// the store does not know is an invalid handle; a value that is no text
// is any other error.
int ReadPrinterCommunity(const std::string& printer, std::string* community) {
  if (!PrinterExists(printer)) return LD_ERROR_DRIVER_NULL;
  std::string value = CDiscoveryModule::Instance().checks().Value(kCheckCommunityName);
  if (value.empty()) value = kPrinterCommunityValue;
  auto v = platform::Env::Current()->registry().GetValue(
      platform::RegRoot::kCurrentUser, PrinterDataKey(printer), value);
  if (!v) {
    *community = kDefaultCommunity;
    return LD_ERROR_SUCCESS;
  }
  if (v->type != platform::RegType::kString) return LD_ERROR_OTHER_VALUE;
  *community = v->text.substr(0, kCommunityBytes - 1);
  return LD_ERROR_SUCCESS;
}

// The printer-driver variants: the checks every one of them makes.
int CheckDriverArguments(const void* bin_path, const void* printer) {
  if (!bin_path) return LD_ERROR_OTHER_VALUE;
  if (!printer) return LD_ERROR_DRIVER_NULL;
  return LD_ERROR_SUCCESS;
}

std::string PrinterName(void* printer) {
  return std::string(static_cast<const char*>(printer));
}

// A caller's window handle: a QWidget of the calling program, or null.
QWidget* WindowOf(void* window) { return static_cast<QWidget*>(window); }

}  // namespace
}  // namespace finder

using namespace finder;

FINDER_EXPORT int DoNetworkDiscovery(int product_code, int v3_support) {
  return Guarded([&] {
    State().v3_support = v3_support != 0;
    State().product_code = product_code;
    if (!IsKnownProductCode(product_code)) return 0;
    return ui::RunDiscoveryDialog(product_code, v3_support != 0);
  }, 0);
}

FINDER_EXPORT int DoNetworkDiscoveryEx(const char16_t* definition_path) {
  return Guarded([&] {
    if (!LoadDefinition(definition_path)) return 0;
    return DoNetworkDiscovery(-1, CDiscoveryModule::Instance().DeclaresSnmpV3());
  }, 0);
}

FINDER_EXPORT int DoNetworkDiscoveryTlEx(const char16_t* definition_path) {
  return Guarded([&] {
    if (!LoadDefinition(definition_path)) return 0;
    State().product_code = -1;
    return 1;
  }, 0);
}

FINDER_EXPORT int DoNetworkDiscoveryTl(void) { return 1; }

FINDER_EXPORT int DoNetworkDiscoveryInstallerEx(const char16_t* definition_path,
                                                const char16_t* folder) {
  return Guarded([&] {
    if (!folder || !LoadDefinition(definition_path)) return 0;
    State().language_path =
        FromWide(folder) + "/" + CDiscoveryModule::Instance().language_library();
    State().product_code = -1;
    return 1;
  }, 0);
}

FINDER_EXPORT int DoNetworkDiscoveryInstaller(void) { return 1; }

FINDER_EXPORT int DoNetworkDiscoveryFax(void) { return 0; }

FINDER_EXPORT int DoNetworkDiscoveryFaxEx(const char16_t* bin_path,
                                          const char16_t* port, void* printer) {
  return Guarded([&] {
    if (!bin_path || !port) return LD_ERROR_OTHER_VALUE;
    if (!printer) return LD_ERROR_DRIVER_NULL;
    const std::string name = PrinterName(printer);
    // The check of the printer's community name; the discovery itself
    // reads it from the same place at each start.
    std::string community;
    if (int read = ReadPrinterCommunity(name, &community); read != LD_ERROR_SUCCESS)
      return read;
    if (!LoadDefinition(bin_path)) return LD_ERROR_OTHER_VALUE;
    State().product_code = -1;
    // Success means the user saw the list; a discovery already open (or no
    // language library) is not one.
    if (!ui::RunDiscoveryDialog(-1, CDiscoveryModule::Instance().DeclaresSnmpV3(), name))
      return LD_ERROR_OTHER_VALUE;
    return LD_ERROR_SUCCESS;
  }, LD_ERROR_OTHER_VALUE);
}

FINDER_EXPORT int DoNetworkDiscoveryPDEx(const char16_t* bin_path,
                                         const char16_t* port, void* printer,
                                         const char16_t* ini_path) {
  if (!ini_path) return LD_ERROR_OTHER_VALUE;
  return DoNetworkDiscoveryFaxEx(bin_path, port, printer);
}

FINDER_EXPORT FinderPrinterAddress GetPrinterAddress(const char16_t*, int) {
  FinderPrinterAddress a{};
  a.value = 1;
  return a;
}

FINDER_EXPORT FinderPrinterAddress GetPrinterAddressEx(const char16_t* text, int value,
                                                       const char16_t* definition_path) {
  return Guarded([&] {
    if (!LoadDefinition(definition_path)) return FinderPrinterAddress{};
    State().product_code = -1;
    return GetPrinterAddress(text, value);
  }, FinderPrinterAddress{});
}

FINDER_EXPORT int IsControllerCompatible(const char* address) {
  return Guarded([&] {
    if (!address) return 0;
    int type = GetControllerModelType(
        address, State().product_code,
        [&](const std::string& oid) { return SnmpGet(address, oid); }, "", "");
    return IsControllerCompatibleWith(address, type);
  }, 0);
}

FINDER_EXPORT int CallSNMPSettingsDlg(int product_code, int v3_allowed) {
  return Guarded([&] {
    if (!IsKnownProductCode(product_code)) return 0;
    State().product_code = product_code;
    return ui::RunSnmpSettingsDialog(product_code, v3_allowed != 0);
  }, 0);
}

FINDER_EXPORT int CallSNMPSettingsDlgEx1(const char16_t* definition_path,
                                         const char16_t* folder, void* window) {
  return Guarded([&] {
    if (!folder || !LoadDefinition(definition_path)) return 0;
    const CDiscoveryModule& m = CDiscoveryModule::Instance();
    State().language_path = FromWide(folder) + "/" + m.language_library();
    State().product_code = -1;
    return ui::RunSnmpSettingsDialog(-1, m.DeclaresSnmpV3(), WindowOf(window));
  }, 0);
}

FINDER_EXPORT int CallSNMPSettingsDlgEx(const char16_t* definition_path,
                                        const char16_t* folder) {
  return CallSNMPSettingsDlgEx1(definition_path, folder, nullptr);
}

// The SNMP settings dialog of a printer driver: the community name in the
// printer's data, the version and ID file in the INI file given (or the
// one under the user's profile).
static int DriverSettingsDialog(const char16_t* bin_path, const char16_t* ini_path,
                                void* printer, void* window) {
  return Guarded([&] {
    int check = CheckDriverArguments(bin_path, printer);
    if (check != LD_ERROR_SUCCESS) return check;
    std::string community;
    if (int read = ReadPrinterCommunity(PrinterName(printer), &community);
        read != LD_ERROR_SUCCESS)
      return read;
    if (!LoadDefinition(bin_path)) return LD_ERROR_OTHER_VALUE;
    State().product_code = -1;
    ui::RunSnmpSettingsDialog(-1, true, WindowOf(window),
                              {PrinterName(printer), FromWide(ini_path)});
    return LD_ERROR_SUCCESS;
  }, LD_ERROR_OTHER_VALUE);
}

FINDER_EXPORT int CallSNMPSettingsDlgFaxEx1(const char16_t* bin_path, void* printer,
                                            void* window) {
  return DriverSettingsDialog(bin_path, nullptr, printer, window);
}

FINDER_EXPORT int CallSNMPSettingsDlgFaxEx(const char16_t* bin_path, void* printer) {
  return CallSNMPSettingsDlgFaxEx1(bin_path, printer, nullptr);
}

FINDER_EXPORT int CallSNMPSettingsDlgPDEx1(const char16_t* bin_path,
                                           const char16_t* ini_path, void* printer,
                                           void* window) {
  if (bin_path && !ini_path) return LD_ERROR_OTHER_VALUE;
  return DriverSettingsDialog(bin_path, ini_path, printer, window);
}
