#include "keeper/app/auto_backup_prepare.h"

#include <algorithm>

#include "keeper/app/br_error.h"

namespace keeper {
namespace {

constexpr uint32_t kOpenAuthenticate = 1;  // the session wants a credential

const LoggedBox* Find(const std::vector<LoggedBox>& list, uint32_t number) {
  for (const LoggedBox& box : list)
    if (box.number == number) return &box;
  return nullptr;
}

}  // namespace

bool fnFindMismatch(const std::vector<LoggedBox>& previous,
                    const std::vector<LoggedBox>& current,
                    std::vector<uint32_t>* selection,
                    std::vector<LoggedBox>* deleted) {
  std::vector<uint32_t> kept;
  bool removed = false;
  for (uint32_t number : *selection) {
    if (Find(current, number)) {
      kept.push_back(number);
      continue;
    }
    removed = true;
    const LoggedBox* old = Find(previous, number);
    deleted->push_back(old ? *old : LoggedBox{number, {}});
  }
  *selection = std::move(kept);
  return removed;
}

void SetCheckAutoBackup(AutoBackupPage& page,
                        const std::vector<uint32_t>& selection) {
  std::vector<LoggedBox> list = page.PageBoxList();
  for (size_t i = 0; i < list.size(); ++i) {
    bool chosen = std::find(selection.begin(), selection.end(),
                            list[i].number) != selection.end();
    page.SetRowChecked(i + 1, chosen);
  }
}

uint32_t fnPrepareAutoBackup(bool device_row_chosen, bool continue_if_deleted,
                             AutoBackupPage& page,
                             AutoBackupConnection& connection,
                             AutoBackupWindow& window,
                             const desktop::Texts& texts,
                             DeletedBoxes* deleted) {
  *deleted = {};
  const std::vector<LoggedBox> previous = page.PageBoxList();

  if (connection.OpenSession() == kOpenAuthenticate) {
    window.SetSkipDialogSchedule(true);
    if (connection.AuthenticateWithoutDialog()) {
      if (uint32_t error = connection.ReadEngineInfo()) {
        // Shown, and the run goes on with the box list.
        window.Show({desktop::UiText::Of(
                         cZBBoxBRError(error).Text(connection.DeviceAddress(),
                                                   texts)),
                     desktop::UiText::Id(kTextErrorCaption),
                     desktop::Icon::kError});
      }
      connection.ReadBoxList();
    } else {
      window.SetConnectionIcon(kIconDisconnected);
      window.EnableActionButton(false);
      connection.MarkConnected(false);
    }
  } else {
    connection.ReopenAndRead();
  }
  if (!connection.connected()) return kPrepareUnusable;

  page.AddBoxes();  // the current list becomes the page box list, all checked
  std::vector<uint32_t> selection = page.Selection();
  deleted->any = fnFindMismatch(previous, page.PageBoxList(), &selection,
                                &deleted->boxes);
  page.SetSelection(selection);
  if (deleted->any && !continue_if_deleted) return kPrepareStop;
  if (selection.empty()) return kPrepareStop;

  if (!device_row_chosen) page.SetRowChecked(0, false);
  SetCheckAutoBackup(page, selection);
  return kPrepareReady;
}

}  // namespace keeper
