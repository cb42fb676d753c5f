// The progress dialog around a real backup of the simulated device,
// driven as a user would: the bar moves, Cancel asks, No lets the backup go
// on from where it stopped, Yes ends it cancelled with the device released.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "desktop/language.h"
#include "devsim/testing/device_fixture.h"
#include "devsim/web/box_cgi_state.h"
#include "keeper/app/device_link.h"
#include "keeper/ui/progress_dlg.h"
#include "platform/testing/temp_dir.h"

namespace fs = std::filesystem;

namespace keeper {
namespace {

devsim::PopulateOptions ManyDocuments() {
  devsim::PopulateOptions p;
  p.boxes = 3;
  p.folders = 2;
  p.documents = 4;
  p.pages = 2;
  p.page_bytes = 2048;
  return p;
}

// The question opens a modal loop; a timer's handler does not run again
// until it returns, so clicks that open one are made after it.
void ClickLater(QPushButton* button) {
  QTimer::singleShot(0, button, [button] {
    QTest::mouseClick(button, Qt::LeftButton);
  });
}

class ProgressDlgDeviceTest : public testing::Test {
 protected:
  ProgressDlgDeviceTest()
      : dev_(devsim::Layout::kClassic, {}, ManyDocuments()) {}

  void SetUp() override {
    ASSERT_TRUE(dev_.ok()) << dev_.error();
    if (!BoxlinkJobBackend::HasJob(JobKind::kBackup))
      GTEST_SKIP() << "the library lacks the backup job";
    std::string error;
    lang_ = desktop::LanguageLibrary::Load("keeperlang", "en", &error);
    ASSERT_TRUE(lang_) << error;
    ConnectOptions c;
    c.address = dev_->address();
    c.port = dev_->profile().web_port;
    c.password = dev_->profile().admin_password;
    ASSERT_EQ(link_.Connect(c), 0u);
    // Every file the job fetches takes a moment, so that the run lasts
    // long enough to be interrupted.
    devsim::Fault slow;
    slow.kind = devsim::Fault::Kind::kDelay;
    slow.delay = std::chrono::milliseconds(15);
    dev_->faults().Arm("ftp.RETR", slow, -1);
  }

  JobRequest Backup() {
    JobRequest r;
    r.kind = JobKind::kBackup;
    r.archive_path = (fs::path(dir_.path()) / "boxes.zip").string();
    r.boxes = {1, 2, 3};
    r.work_base = dir_.path();
    return r;
  }

  void ExpectDeviceReleased() {
    devsim::web::BoxCgiState& state = devsim::web::BoxCgiStateOf(*dev_);
    EXPECT_FALSE(state.exclusive());
    EXPECT_EQ(state.ftp_user(link_.session().SessionId), "");
  }

  devsim::ScopedDevice dev_;
  platform::ScopedTempDir dir_;
  DeviceLink link_;
  std::unique_ptr<desktop::LanguageLibrary> lang_;
};

TEST_F(ProgressDlgDeviceTest, ABackupRunsToItsEnd) {
  BoxlinkJobBackend backend(link_);
  CProgressDlg dlg(*lang_, JobKind::kBackup, backend, Backup());
  int highest = 0;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout,
                   [&] { highest = std::max(highest, dlg.bar()->value()); });
  watch.start(5);
  EXPECT_EQ(dlg.exec(), QDialog::Accepted);
  EXPECT_EQ(dlg.logic().outcome(), kOutcomeDone) << dlg.logic().result().error;
  EXPECT_GT(highest, 0) << "the bar never moved";
  EXPECT_TRUE(fs::exists(Backup().archive_path));
  ExpectDeviceReleased();
}

TEST_F(ProgressDlgDeviceTest, CancelAsksNoGoesOnYesEndsCancelled) {
  BoxlinkJobBackend backend(link_);
  CProgressDlg dlg(*lang_, JobKind::kBackup, backend, Backup());

  enum Step { kWaitForProgress, kAskedFirst, kWaitForMore, kAskedSecond, kDone };
  Step step = kWaitForProgress;
  int questions = 0;
  QString question, caption;
  int bar_at_question = -1, bar_after_wait = -1;
  uint32_t job_at_question = 0, job_after_wait = 0;
  bool no_was_default = false;
  QElapsedTimer open_for;
  QTimer driver;
  driver.setInterval(5);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    switch (step) {
      case kWaitForProgress:
        if (dlg.bar()->value() >= 3) {
          step = kAskedFirst;
          ClickLater(dlg.cancel_button());
        }
        break;
      case kAskedFirst:
        if (!box) break;
        if (!open_for.isValid()) {
          ++questions;
          question = box->text();
          caption = box->windowTitle();
          no_was_default = box->defaultButton() &&
                           box->defaultButton()->text().contains("No");
          open_for.start();
          break;
        }
        // Give the job time to reach its check point, then watch it.
        if (bar_at_question < 0 && open_for.elapsed() >= 50) {
          bar_at_question = dlg.bar()->value();
          job_at_question = backend.ReadProgress().percent;
        }
        if (bar_at_question < 0 || open_for.elapsed() < 450) break;
        bar_after_wait = dlg.bar()->value();
        job_after_wait = backend.ReadProgress().percent;
        EXPECT_FALSE(dlg.cancel_button()->isEnabled());
        step = kWaitForMore;
        for (QAbstractButton* b : box->buttons())
          if (b->text().contains("No")) b->click();
        break;
      case kWaitForMore:
        if (dlg.bar()->value() > bar_after_wait + 1 &&
            dlg.cancel_button()->isEnabled()) {
          step = kAskedSecond;
          ClickLater(dlg.cancel_button());
        }
        break;
      case kAskedSecond:
        if (!box) break;
        ++questions;
        step = kDone;
        for (QAbstractButton* b : box->buttons())
          if (b->text().contains("Yes")) b->click();
        break;
      case kDone:
        break;
    }
  });
  driver.start();
  dlg.exec();
  driver.stop();

  EXPECT_EQ(questions, 2);
  EXPECT_EQ(question, "Do you want to cancel the backup?");
  EXPECT_EQ(caption, "Cancel");
  EXPECT_TRUE(no_was_default);
  EXPECT_EQ(bar_at_question, bar_after_wait)
      << "the bar moved while the question was open";
  EXPECT_EQ(job_at_question, job_after_wait)
      << "the job moved while the question was open";
  EXPECT_EQ(step, kDone) << "the backup did not go on after No";
  EXPECT_EQ(dlg.logic().outcome(), kOutcomeCancelled);
  EXPECT_EQ(dlg.logic().result().error, 0u);
  ExpectDeviceReleased();
  // Nothing of the run is left in the work area.
  for (const auto& e : fs::directory_iterator(dir_.path()))
    ADD_FAILURE() << "left behind: " << e.path();
}

TEST_F(ProgressDlgDeviceTest, EscapeDoesNothingAndCloseAsks) {
  BoxlinkJobBackend backend(link_);
  CProgressDlg dlg(*lang_, JobKind::kBackup, backend, Backup());
  bool escaped_ok = false;
  int questions = 0;
  int phase = 0;
  QTimer driver;
  driver.setInterval(5);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (phase == 0 && dlg.isVisible() && dlg.bar()->value() >= 1) {
      QTest::keyClick(&dlg, Qt::Key_Escape);
      escaped_ok = dlg.isVisible() && !box;
      phase = 1;
      // The window's Close command, once this timer's turn has ended.
      QTimer::singleShot(0, &dlg, [&] { dlg.close(); });
    } else if (phase == 1 && box) {
      ++questions;
      phase = 2;
      for (QAbstractButton* b : box->buttons())
        if (b->text().contains("Yes")) b->click();
    }
  });
  driver.start();
  dlg.exec();
  EXPECT_TRUE(escaped_ok);
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(dlg.logic().outcome(), kOutcomeCancelled);
  ExpectDeviceReleased();
}

}  // namespace
}  // namespace keeper
