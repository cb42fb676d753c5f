#include "keeper/app/strings.h"

#include <algorithm>
#include <array>
#include <utility>

namespace keeper {
namespace {

struct Entry {
  uint32_t id;
  std::string_view text;
};

// Sorted by number.
constexpr Entry kStrings[] = {
    {34, "Ready"},
    {45, "Preparing the backup..."},
    {46, "Preparing the restore..."},
    {51, "The backup finished successfully."},
    {52, "The backup failed."},
    {53, "The backup was cancelled."},
    {54, "The restore finished successfully."},
    {55, "The restore failed."},
    {56, "The restore was cancelled."},
    {67, "The device does not answer."},
    {68, "The password is not valid."},
    {90, "Packing data"},
    {91, "Unpacking data"},
    {92, "Downloading data"},
    {93, "Uploading data"},
    {94, "Preparing"},
    {95, "Finishing"},
    {96, "Converting data"},
    {103, "The device is busy with another job. Try again later."},
    {113, "Documents:"},
    {114, "An internal error occurred."},
    {115, "The device is in use by another user."},
    {116, "The box storage of the device is not active."},
    {117, "The device did not answer in time."},
    {125, "Check the network connection and the device's address."},
    {126, "There is not enough space on the disk of this computer."},
    {128, "The device refused the request."},
    {129, "The connection to the device was reset."},
    {131, "There is not enough memory."},
    {132, "The network is not reachable."},
    {136, "Access to the folder or file was denied."},
    {137, "The file already exists."},
    {138, "The device does not support this operation or archive."},
    {139, "The folder does not exist."},
    {140, "The device model is not supported."},
    {142, "There is not enough space on the device."},
    {172, "The backup will be tried again."},
    {175, "Too many documents in %s: a folder or box holds at most 400."},
    {176, "Too many folders in box %s: a box holds at most 100."},
    {194, "This account may not use the box service."},
    {195, "The box service is switched off on the device."},
    {196, "The service is not running on the device."},
    {201, "The account is not allowed to do this."},
    {205, "The device may still be locked; release it at the panel."},
    {10009, "Connect to the device again and retry."},
    {10012, "The backup was cancelled by the user."},
    {10013, "The restore was cancelled by the user."},
    {10020, "There is not enough space in the device's box storage."},
    {10021, "There is not enough space on the device's storage drive."},
    {12004, "The archive was made in secure mode and cannot be restored "
            "in the device's current security mode."},
    {12006, "The password must be changed at the device first."},
    {12007, "The password has expired."},
    {12008, "The password does not meet the device's rules."},
    {12009, "The account is locked out."},
};

constexpr bool Sorted() {
  for (size_t i = 1; i < std::size(kStrings); ++i)
    if (kStrings[i - 1].id >= kStrings[i].id) return false;
  return true;
}
static_assert(Sorted(), "string table must stay sorted");

}  // namespace

std::string_view KeeperString(uint32_t id) {
  auto it = std::lower_bound(
      std::begin(kStrings), std::end(kStrings), id,
      [](const Entry& e, uint32_t v) { return e.id < v; });
  if (it == std::end(kStrings) || it->id != id) return {};
  return it->text;
}

}  // namespace keeper
