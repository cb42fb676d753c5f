#include "keeper/app/backup_page_logic.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "keeper/app/backup_target.h"
#include "keeper/app/main_window_logic.h"
#include "keeper/app/result_text.h"

namespace keeper {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kTextReady = 34;
constexpr uint32_t kTextDateInvalid = 57;
constexpr uint32_t kTextNoBoxChosen = 61;
constexpr uint32_t kTextBackUp = 177;
constexpr char kNoValue[] = "-- -- --";
constexpr char kZipFilter[] = "Zip Files (*.zip)";

desktop::Icon IconOf(Severity s) {
  switch (s) {
    case Severity::kInformation: return desktop::Icon::kInformation;
    case Severity::kWarning: return desktop::Icon::kWarning;
    default: return desktop::Icon::kError;
  }
}

}  // namespace

std::string BoxLabel(uint32_t number, const std::string& name) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%.3u", number);
  return std::string(digits) + " " + name;
}

std::string LastBackupText(const DateTimeFormat& format,
                           const ZBSYSTEMTIME& t) {
  static const ZBSYSTEMTIME kNone{};
  if (std::memcmp(&t, &kNone, sizeof t) == 0)
    return std::string(kNoValue) + "  " + kNoValue;
  platform::SystemTime s{};
  static_assert(sizeof s == sizeof t, "the same broken-down time");
  std::memcpy(&s, &t, sizeof s);
  std::optional<std::string> date = format.LongDate(s);
  std::optional<std::string> time = format.Time(s);
  return (date ? *date : std::string(kNoValue)) + "  " +
         (time ? *time : std::string(kNoValue));
}

BackupPageLogic::BackupPageLogic(BackupPageContext context)
    : ctx_(std::move(context)) {}

std::string BackupPageLogic::ProposedName(const platform::SystemTime& t) {
  char name[32];
  std::snprintf(name, sizeof name, "%4u%02u%02u_%02u%02u%02u", t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  return name;
}

void BackupPageLogic::AddBoxes() {
  ctx_.view.ClearRows();
  page_boxes_.clear();
  if (!ctx_.host.connected()) {
    OnItemchangedBoxList();
    return;
  }
  page_boxes_ = ctx_.host.boxes();
  std::vector<BoxListRow> rows;
  rows.reserve(page_boxes_.size());
  for (const BoxEntry& b : page_boxes_)
    rows.push_back({b.number, b.name, BoxLabel(b.number, b.name), b.is_protected,
                    {LastBackupText(ctx_.format, b.last_backup)}});
  ctx_.view.FillRows(ctx_.host.device_row_text(), rows);
  OnItemchangedBoxList();
}

void BackupPageLogic::OnRefresh() {
  ctx_.view.ClearRows();
  if (!ctx_.host.automatic_pending()) {
    ctx_.view.SetTargetText("");
    overwrite_confirmed_ = false;
    name_from_dialog_ = false;
  }
  AddBoxes();
  if (ctx_.view.PageShown()) ctx_.view.FocusTarget();
}

bool BackupPageLogic::ActionAllowed() const {
  return ctx_.host.connected() && !ctx_.view.CheckedBoxes().empty() &&
         EndsInZip(ctx_.view.TargetText());
}

void BackupPageLogic::OnItemchangedBoxList() {
  ctx_.view.EnableAction(ActionAllowed());
}

void BackupPageLogic::OnSetActive() {
  ctx_.view.SetActionText(kTextBackUp);
  ctx_.view.EnableAction(ActionAllowed());
  const bool choice = ctx_.host.connected() && !ctx_.host.old_generation();
  if (!choice) ctx_.view.CheckFull();
  ctx_.view.EnableSettings(choice);
  OnChangeBackupSetting();
}

void BackupPageLogic::OnChangeBackupSetting() {
  backup_type_ = ctx_.view.FullChecked() ? 0 : 1;
}

void BackupPageLogic::StoreSelectedBoxes() {
  selected_ = ctx_.view.CheckedBoxes();
}

void BackupPageLogic::Refuse(uint32_t text, desktop::Icon icon) {
  ctx_.screen.Show({desktop::UiText::Id(text),
                    desktop::UiText::Id(kTextErrorCaption), icon});
  ctx_.view.EnableAction(false);
  ctx_.view.SetTargetText("");
}

void BackupPageLogic::OnBtnBrowseFolder() {
  if (ctx_.host.automatic_pending()) return;
  const platform::SystemTime now = platform::LocalNow();
  if (!DateAllowsJobs(now)) {
    ctx_.screen.Show({desktop::UiText::Id(kTextDateInvalid),
                      desktop::UiText::Id(kTextErrorCaption),
                      desktop::Icon::kError});
    return;
  }
  desktop::FileRequest request;
  request.save = true;
  request.folder = ctx_.documents_folder;
  request.file_name = ProposedName(now) + ".zip";
  request.filter = kZipFilter;
  request.default_suffix = "zip";
  std::optional<std::string> chosen = ctx_.view.PickTarget(request);
  if (!chosen) return;
  std::string path = *chosen;
  if (!EndsInZip(path)) path += ".zip";
  ctx_.view.SetTargetText(path);
  name_from_dialog_ = true;
  // The name is checked as if it had been typed; the dialog has asked
  // about replacing an existing file already.
  OnChangeEditZipfldr();
}

void BackupPageLogic::OnChangeEditZipfldr() {
  const bool from_dialog = name_from_dialog_;
  name_from_dialog_ = false;
  overwrite_confirmed_ = false;
  const std::string text = ctx_.view.TargetText();
  OnItemchangedBoxList();
  if (text.empty()) return;
  if (uint32_t problem = BackupTypingProblem(text)) {
    Refuse(problem);
    return;
  }
  if (!EndsInZip(text)) return;
  std::error_code ec;
  if (fs::is_regular_file(text, ec)) {
    if (from_dialog) {
      overwrite_confirmed_ = true;
    } else {
      desktop::Answer a = ctx_.screen.Ask(
          {desktop::UiText::Id(kTextReplaceQuestion),
           desktop::UiText::Id(kTextErrorCaption), desktop::Icon::kQuestion},
          desktop::Buttons::kYesNo, desktop::Answer::kNo);
      if (a != desktop::Answer::kYes) {
        ctx_.view.SetTargetText("");
        ctx_.view.EnableAction(false);
        return;
      }
      overwrite_confirmed_ = true;
    }
  } else if (fs::exists(text, ec)) {
    // A folder or a device file of that name cannot become the archive.
    Refuse(kTextBadPath);
    return;
  }
  const std::string folder = FolderOf(text);
  if (!fs::exists(folder, ec) && CreateFolderLevels(folder) != 0) {
    Refuse(kTextFolderNotCreated, desktop::Icon::kWarning);
    return;
  }
  name_from_dialog_ = from_dialog;
}

void BackupPageLogic::OnStart() {
  const std::string target = ctx_.view.TargetText();
  auto refuse_name = [&] {
    ctx_.screen.Show({desktop::UiText::Id(kTextBadTargetName),
                      desktop::UiText::Id(kTextBackupCaption),
                      desktop::Icon::kWarning});
    ctx_.view.FocusTarget();
    ctx_.view.SetTargetText("");
    ctx_.view.EnableAction(false);
  };
  if (!HasNameBeforeDot(target) || !PathPartsValid(target)) {
    refuse_name();
    return;
  }
  if (!DateAllowsJobs(platform::LocalNow())) {
    ctx_.screen.Show({desktop::UiText::Id(kTextDateInvalid),
                      desktop::UiText::Id(kTextErrorCaption),
                      desktop::Icon::kError});
    return;
  }
  if (ctx_.host.open_result() == 1) ctx_.host.SetSkipBackup();
  if (ctx_.view.CheckedBoxes().empty()) {
    ctx_.screen.Show({desktop::UiText::Id(kTextNoBoxChosen),
                      desktop::UiText::Id(kTextErrorCaption),
                      desktop::Icon::kError});
    return;
  }
  if (ctx_.host.automatic_pending()) {
    // The button shows Stop: the pending schedule is ended instead.
    ctx_.host.StopAutomaticBackup();
    return;
  }
  StoreSelectedBoxes();
  TargetCheck check =
      CheckBackupTarget(target, TargetCheckMode::kManual, &ctx_.screen);
  if (!check.ok) {
    if (check.focus) ctx_.view.FocusTarget();
    if (check.clear_field) {
      ctx_.view.SetTargetText("");
      ctx_.view.EnableAction(false);
    }
    return;
  }
  std::error_code ec;
  if (!overwrite_confirmed_ && !ctx_.host.automatic_pending() &&
      fs::exists(target, ec)) {
    desktop::Answer a = ctx_.screen.Ask(
        {desktop::UiText::Id(kTextReplaceQuestion),
         desktop::UiText::Id(kTextErrorCaption), desktop::Icon::kQuestion},
        desktop::Buttons::kYesNo, desktop::Answer::kNo);
    if (a != desktop::Answer::kYes) return;
  }
  OnChangeBackupSetting();
  JobRequest request;
  request.kind = JobKind::kBackup;
  request.archive_path = target;
  request.boxes = selected_;
  request.backup_type = backup_type_;
  JobResult result = ctx_.host.RunJob(request);
  ctx_.host.SetStatusText(desktop::UiText::Id(kTextReady));
  ShowResult(result);
  ctx_.host.Refresh();
}

void BackupPageLogic::ShowResult(const JobResult& result) {
  ResultMessage m =
      BackupResultMessage(result, ctx_.host.address(), ctx_.texts);
  if (m.disconnected) {
    ctx_.host.EnterDisconnected();
    ctx_.view.CheckFull();
    ctx_.view.EnableSettings(false);
  }
  ctx_.screen.Show({desktop::UiText::Of(m.text),
                    desktop::UiText::Id(kTextBackupCaption),
                    IconOf(m.severity)});
}

}  // namespace keeper
