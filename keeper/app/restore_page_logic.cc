#include "keeper/app/restore_page_logic.h"

#include <algorithm>
#include <cstring>

#include "keeper/app/backup_target.h"
#include "keeper/app/main_window_logic.h"
#include "keeper/app/result_text.h"

namespace keeper {
namespace {

constexpr uint32_t kTextReady = 34;
constexpr uint32_t kTextRestoreCaption = 47;
constexpr uint32_t kTextDateInvalid = 57;
constexpr uint32_t kTextNotAnArchive = 102;
constexpr uint32_t kTextSelected = 107;
constexpr uint32_t kTextUnsupported = 140;
constexpr uint32_t kTextRestore = 178;
constexpr uint32_t kTextFullBackup = 182;
constexpr uint32_t kTextIncrementalBackup = 183;
constexpr uint32_t kTextTime = 184;
constexpr uint32_t kTextType = 185;
constexpr uint32_t kTextOtherSeries = 200;
constexpr uint32_t kErrUnknownEngine = 1605;
constexpr char kZipFilter[] = "Zip Files (*.zip)";

desktop::Icon IconOf(Severity s) {
  switch (s) {
    case Severity::kInformation: return desktop::Icon::kInformation;
    case Severity::kWarning: return desktop::Icon::kWarning;
    default: return desktop::Icon::kError;
  }
}

}  // namespace

std::string SelectionSizeText(const desktop::Texts& texts, uint32_t total_kb) {
  std::string out(texts.Text(kTextSelected));
  if (total_kb / 1024 > 1) return out + std::to_string(total_kb / 1024) + " MB";
  return out + std::to_string(std::max<uint32_t>(total_kb, 1)) + " KB";
}

Suitability JudgeArchive(std::string_view archive_version,
                         std::string_view device_version, bool connected) {
  // Without a device there is nothing to compare with: the archive is
  // shown, and Refresh empties the page when the device comes back.
  if (!connected) return {};
  if (!ArchiveSuitsDevice(archive_version, device_version))
    return {false, kTextOtherSeries};
  return {true, 0};
}

RestorePageLogic::RestorePageLogic(RestorePageContext context)
    : ctx_(std::move(context)) {}

bool RestorePageLogic::ActionAllowed() const {
  return loaded_ && ctx_.host.connected() && !ctx_.view.CheckedRows().empty() &&
         EndsInZip(ctx_.view.ArchiveText());
}

void RestorePageLogic::OnSetActive() {
  ctx_.view.SetActionText(kTextRestore);
  ctx_.view.EnableAction(ActionAllowed());
}

void RestorePageLogic::OnItemChanged() {
  total_kb_ = 0;
  largest_kb_ = 0;
  std::vector<size_t> checked = ctx_.view.CheckedRows();
  for (size_t i : checked) {
    if (i >= info_.boxes.size()) continue;
    total_kb_ += info_.boxes[i].size_kb;
    largest_kb_ = std::max(largest_kb_, info_.boxes[i].size_kb);
  }
  if (ctx_.view.RowCount() == 0 || checked.empty())
    ctx_.view.SetSizeLine("");
  else
    ctx_.view.SetSizeLine(SelectionSizeText(ctx_.texts, total_kb_));
  ctx_.view.EnableAction(ActionAllowed());
}

void RestorePageLogic::ResetLines() {
  ctx_.view.SetTypeLine(std::string(ctx_.texts.Text(kTextType)));
  ctx_.view.SetTimeLine(std::string(ctx_.texts.Text(kTextTime)) + " :");
}

void RestorePageLogic::OnRefresh() {
  ctx_.view.SetArchiveText("");
  ctx_.view.ClearRows();
  ctx_.view.SetSizeLine("");
  ResetLines();
  info_ = ArchiveInfo{};
  loaded_ = false;
  ctx_.view.EnableAction(false);
}

void RestorePageLogic::Refuse(uint32_t text, bool focus) {
  ctx_.screen.Show({desktop::UiText::Id(text),
                    desktop::UiText::Id(kTextErrorCaption),
                    desktop::Icon::kError});
  if (focus) ctx_.view.FocusArchive();
  OnRefresh();
}

void RestorePageLogic::OnBrowse() {
  desktop::FileRequest request;
  request.save = false;
  request.folder = ctx_.documents_folder;
  request.filter = kZipFilter;
  request.default_suffix = "zip";
  std::optional<std::string> chosen = ctx_.view.PickArchive(request);
  if (!chosen) return;
  ctx_.view.SetArchiveText(*chosen);
  OnArchiveChanged();
}

void RestorePageLogic::OnArchiveChanged() {
  largest_kb_ = 0;
  // What was read belongs to the text that was there before.
  loaded_ = false;
  info_ = ArchiveInfo{};
  ctx_.view.ClearRows();
  ctx_.view.SetSizeLine("");
  ResetLines();
  ctx_.view.EnableAction(false);
  const std::string text = ctx_.view.ArchiveText();
  if (text.empty()) return;
  if (uint32_t problem = RestoreTypingProblem(text)) {
    Refuse(problem, problem == kTextNotAbsolute);
    return;
  }
  if (!EndsInZip(text)) return;
  ctx_.host.SetWaitCursor(true);
  ReadArchive(text);
  ctx_.host.SetWaitCursor(false);
}

void RestorePageLogic::ReadArchive(const std::string& path) {
  if (!DateAllowsJobs(platform::LocalNow())) {
    Refuse(kTextDateInvalid);
    return;
  }
  ArchiveInfo info;
  uint32_t code = ctx_.read_archive(path, &info);
  ctx_.view.SetSizeLine("");
  if (code != 0) {
    Refuse(code == kErrUnknownEngine ? kTextUnsupported : kTextNotAnArchive);
    return;
  }
  info_ = std::move(info);
  ctx_.view.SetTypeLine(
      std::string(ctx_.texts.Text(kTextType)) + " " +
      std::string(ctx_.texts.Text(info_.backup_type == 1
                                      ? kTextIncrementalBackup
                                      : kTextFullBackup)));
  ctx_.view.SetTimeLine(std::string(ctx_.texts.Text(kTextTime)) + " : " +
                        LastBackupText(ctx_.format, info_.date));
  std::vector<BoxListRow> rows;
  rows.reserve(info_.boxes.size());
  for (const ArchiveBox& b : info_.boxes)
    rows.push_back({b.number, b.name, BoxLabel(b.number, b.name), b.is_protected,
                    {SizeText(b.size_kb), LastBackupText(ctx_.format,
                                                         b.last_backup)}});
  const size_t slash = path.rfind('/');
  const std::string title =
      info_.network_name.empty() ? path.substr(slash + 1) : info_.network_name;
  ctx_.view.FillRows(title, rows);

  Suitability s = JudgeArchive(info_.engine_version,
                               ctx_.host.engine_version(),
                               ctx_.host.connected());
  loaded_ = s.loaded;
  OnItemChanged();
  if (s.message) {
    ctx_.view.EnableAction(false);
    ctx_.screen.Show({desktop::UiText::Id(s.message),
                      desktop::UiText::Id(kTextErrorCaption),
                      desktop::Icon::kError});
  }
}

void RestorePageLogic::CollectSelection() {
  selected_.clear();
  total_kb_ = 0;
  largest_kb_ = 0;
  for (size_t i : ctx_.view.CheckedRows()) {
    if (i >= info_.boxes.size()) continue;
    selected_.push_back(info_.boxes[i].number);
    total_kb_ += info_.boxes[i].size_kb;
    largest_kb_ = std::max(largest_kb_, info_.boxes[i].size_kb);
  }
}

void RestorePageLogic::OnStart() {
  if (!DateAllowsJobs(platform::LocalNow())) {
    ctx_.screen.Show({desktop::UiText::Id(kTextDateInvalid),
                      desktop::UiText::Id(kTextErrorCaption),
                      desktop::Icon::kError});
    return;
  }
  std::optional<uint32_t> mode = ctx_.view.AskRestoreMode();
  if (!mode) return;
  restore_mode_ = *mode == kRestoreModeOverwrite ? 1 : 2;
  CollectSelection();
  const std::string archive = ctx_.view.ArchiveText();
  if (archive.find(".zip") == std::string::npos && !EndsInZip(archive)) {
    ctx_.screen.Show({desktop::UiText::Id(kTextBadTargetName),
                      desktop::UiText::Id(kTextRestoreCaption),
                      desktop::Icon::kWarning});
    return;
  }
  JobRequest request;
  request.kind = JobKind::kRestore;
  request.archive_path = archive;
  request.boxes = selected_;
  request.restore_mode = restore_mode_;
  request.restore_time = ctx_.host.RestoreTime();
  request.total_size_kb = total_kb_;
  request.largest_size_kb = largest_kb_;
  JobResult result = ctx_.host.RunJob(request);
  ctx_.host.SetStatusText(desktop::UiText::Id(kTextReady));
  ShowResult(result);
}

void RestorePageLogic::ShowResult(const JobResult& result) {
  bool storage_unknown = false;
  ResultMessage m = RestoreResultMessage(
      result, ctx_.host.address(),
      [&](uint32_t* type) {
        storage_unknown = !ctx_.host.StorageType(type);
        return !storage_unknown;
      },
      ctx_.texts);
  if (result.outcome == kOutcomeDone) {
    ctx_.screen.Show({desktop::UiText::Of(m.text),
                      desktop::UiText::Id(kTextRestoreCaption),
                      desktop::Icon::kInformation});
    ctx_.host.ReadBoxListAgain();
    if (!ctx_.host.connected()) ctx_.view.EnableAction(false);
    return;
  }
  if (m.disconnected) {
    ctx_.host.EnterDisconnected();
    loaded_ = false;
    ctx_.view.EnableAction(false);
  }
  // A device that cannot tell its storage says so without a caption.
  desktop::UiText caption = storage_unknown
                                ? desktop::UiText::Of("")
                                : desktop::UiText::Id(kTextRestoreCaption);
  ctx_.screen.Show({desktop::UiText::Of(m.text), caption, IconOf(m.severity)});
}

}  // namespace keeper
