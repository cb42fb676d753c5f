/*
 * The C interface of the discovery library, loaded by name by the programs
 * that use it. Wide texts are UTF-16, zero-terminated. A printer handle is
 * the address of the printer's name (UTF-8, zero-terminated): its data
 * live in the printer-data store under that name. A window is a QWidget
 * of the calling program (a dialog opens beside it), or null.
 */
#ifndef ZELT_FINDER_H_
#define ZELT_FINDER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LD_ERROR_SUCCESS 0
#define LD_ERROR_DRIVER_NULL (-546)
#define LD_ERROR_OTHER_VALUE (-600)

typedef struct FinderPrinterAddress {
  char16_t address[260];
  int32_t value;
} FinderPrinterAddress;

int DoNetworkDiscoveryEx(const char16_t* definition_path);
int DoNetworkDiscovery(int product_code, int v3_support);
int DoNetworkDiscoveryTlEx(const char16_t* definition_path);
int DoNetworkDiscoveryTl(void);
int DoNetworkDiscoveryInstallerEx(const char16_t* definition_path,
                                  const char16_t* folder);
int DoNetworkDiscoveryInstaller(void);
int DoNetworkDiscoveryFax(void);
int DoNetworkDiscoveryFaxEx(const char16_t* bin_path, const char16_t* port,
                            void* printer);
int DoNetworkDiscoveryPDEx(const char16_t* bin_path, const char16_t* port,
                           void* printer, const char16_t* ini_path);
FinderPrinterAddress GetPrinterAddress(const char16_t* text, int value);
FinderPrinterAddress GetPrinterAddressEx(const char16_t* text, int value,
                                         const char16_t* definition_path);
int IsControllerCompatible(const char* address);

int CallSNMPSettingsDlg(int product_code, int v3_allowed);
int CallSNMPSettingsDlgEx(const char16_t* definition_path, const char16_t* folder);
int CallSNMPSettingsDlgEx1(const char16_t* definition_path,
                           const char16_t* folder, void* window);
int CallSNMPSettingsDlgFaxEx(const char16_t* bin_path, void* printer);
int CallSNMPSettingsDlgFaxEx1(const char16_t* bin_path, void* printer,
                              void* window);
int CallSNMPSettingsDlgPDEx1(const char16_t* bin_path, const char16_t* ini_path,
                             void* printer, void* window);

#ifdef __cplusplus
}
#endif

#endif /* ZELT_FINDER_H_ */
