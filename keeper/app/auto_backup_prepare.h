// Before each scheduled run: reconnect to the device, compare the chosen
// boxes with the device's current box list, and put the page's check marks
// back on the boxes that are still chosen.
//
// The selection is fixed when the schedule is set. Boxes created on the
// device later are never added (also when the device row, "all boxes", was
// chosen); boxes deleted on the device leave it for good.
#pragma once

#include <cstdint>
#include <vector>

#include "desktop/texts.h"
#include "keeper/app/auto_backup_host.h"
#include "keeper/app/shared_texts.h"

namespace keeper {

// fnPrepareAutoBackup's results.
inline constexpr uint32_t kPrepareUnusable = 0;  // the device cannot be used
inline constexpr uint32_t kPrepareReady = 1;
inline constexpr uint32_t kPrepareStop = 5;      // boxes deleted, stop

// What the last check found, kept for the run report.
struct DeletedBoxes {
  bool any = false;
  std::vector<LoggedBox> boxes;  // records from the list before the run
};

// Looks each chosen box number up in `current`, in selection order. A box
// that is there stays; one that is not leaves the selection and its record
// from `previous` goes into `deleted`. True when any box was removed.
bool fnFindMismatch(const std::vector<LoggedBox>& previous,
                    const std::vector<LoggedBox>& current,
                    std::vector<uint32_t>* selection,
                    std::vector<LoggedBox>* deleted);

// Rows 1..N are checked exactly when their box is in the selection.
void SetCheckAutoBackup(AutoBackupPage& page,
                        const std::vector<uint32_t>& selection);

// Reconnects without the password dialog, reads the box list, checks the
// selection against it and re-checks the rows. `device_row_chosen`: the
// device row was checked when the schedule was set. Returns one of the
// kPrepare codes; `deleted` receives what the check found.
uint32_t fnPrepareAutoBackup(bool device_row_chosen, bool continue_if_deleted,
                             AutoBackupPage& page,
                             AutoBackupConnection& connection,
                             AutoBackupWindow& window,
                             const desktop::Texts& texts,
                             DeletedBoxes* deleted);

inline constexpr uint32_t kIconConnected = 157;
inline constexpr uint32_t kIconDisconnected = 163;

}  // namespace keeper
