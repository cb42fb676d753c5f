#include "keeper/app/progress_dialog.h"

namespace keeper {
namespace {

constexpr uint32_t kTextCancelQuestionBackup = 49;
constexpr uint32_t kTextCancelQuestionRestore = 50;
constexpr uint32_t kTextCancelCaption = 108;

}  // namespace

ProgressDialogLogic::ProgressDialogLogic(JobKind kind, JobBackend& backend,
                                         desktop::Screen& screen,
                                         desktop::ProgressDisplay& display)
    : kind_(kind), screen_(screen), display_(display), frame_(backend, this) {}

ProgressDialogLogic::~ProgressDialogLogic() {
  frame_.Resume();
  if (monitor_.joinable()) monitor_.join();
}

uint32_t ProgressDialogLogic::title_text() const {
  return kind_ == JobKind::kBackup ? 44 : 48;
}
uint32_t ProgressDialogLogic::phase_text() const {
  return kind_ == JobKind::kBackup ? 45 : 46;
}
uint32_t ProgressDialogLogic::caption_text() const {
  return kind_ == JobKind::kBackup ? 43 : 47;
}

void ProgressDialogLogic::Start(const JobRequest& request) {
  if (monitor_.joinable()) return;
  display_.SetPhase(desktop::UiText::Id(phase_text()));
  display_.EnableCancel(true);
  display_.Animate(true);
  monitor_ = std::thread([this, request] {
    JobResult r = frame_.Run(request);
    {
      std::lock_guard<std::mutex> g(mu_);
      result_ = r;
    }
    finished_.store(true);
    display_.Animate(false);
    display_.Close();
  });
}

void ProgressDialogLogic::OnCancel() {
  if (finished_.load() || cancelling_.load() || asking_.exchange(true))
    return;
  // Stop the job and the monitor first, so that neither can change the
  // result while the question is open.
  frame_.Pause();
  display_.EnableCancel(false);
  display_.Animate(false);
  desktop::Answer answer = screen_.Ask(
      {desktop::UiText::Id(kind_ == JobKind::kBackup
                               ? kTextCancelQuestionBackup
                               : kTextCancelQuestionRestore),
       desktop::UiText::Id(kTextCancelCaption), desktop::Icon::kQuestion},
      desktop::Buttons::kYesNo, desktop::Answer::kNo);
  if (answer == desktop::Answer::kYes) {
    cancelling_.store(true);
    display_.ShowBusy(true);
    frame_.RequestCancel();
    if (kind_ == JobKind::kRestore) frame_.RequestResume();
    frame_.Resume();
  } else {
    if (kind_ == JobKind::kRestore) frame_.RequestResume();
    frame_.Resume();
    if (!finished_.load()) {
      display_.EnableCancel(true);
      display_.Animate(true);
    }
  }
  asking_.store(false);
}

uint32_t ProgressDialogLogic::outcome() const {
  if (!finished_.load()) return kOutcomeFailed;
  std::lock_guard<std::mutex> g(mu_);
  return result_.outcome;
}

JobResult ProgressDialogLogic::result() const {
  std::lock_guard<std::mutex> g(mu_);
  return result_;
}

void ProgressDialogLogic::Wait() {
  if (monitor_.joinable()) monitor_.join();
}

void ProgressDialogLogic::OnProgress(const ProgressView& view) {
  display_.SetPercent(view.percent);
  display_.SetPhase(desktop::UiText::Id(view.phase_string));
  display_.SetCounts(view.counts);
  display_.SetNames(view.record.box_name, view.record.folder_name,
                    view.record.doc_name);
}

}  // namespace keeper
