#include "keeper/ui/auto_backup_dlg.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "keeper/app/schedule_time.h"
#include "keeper/ui/qt_text.h"

namespace keeper {
namespace {

QDate DateOf(int64_t local_seconds) {
  platform::SystemTime t = LocalTimeOf(local_seconds);
  return QDate(t.year, t.month, t.day);
}

}  // namespace

CAutoBackup::CAutoBackup(const desktop::Texts& texts, AutoBackupDialog& logic,
                         QWidget* parent)
    : QDialog(parent), logic_(logic) {
  setObjectName("CAutoBackup");
  setWindowTitle(QText(texts, kTextScheduleTitle));

  // Start: date and time side by side.
  auto* start = new QGroupBox(QText(texts, kTextStartGroup));
  start->setObjectName("startGroup");
  date_ = new QDateEdit;
  date_->setObjectName("startDate");
  date_->setCalendarPopup(true);
  date_->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
  time_ = new QTimeEdit;
  time_->setObjectName("startTime");
  time_->setDisplayFormat(QString::fromLatin1(kStartTimeFormat));
  auto* start_row = new QHBoxLayout(start);
  start_row->addWidget(date_, 3);
  start_row->addWidget(time_, 2);

  auto* repeat = new QGroupBox(QText(texts, kTextIntervalGroup));
  repeat->setObjectName("intervalGroup");
  interval_ = new QComboBox;
  interval_->setObjectName("interval");
  for (int p = 0; p < kIntervalPositions; ++p)
    interval_->addItem(QText(texts, kTextFirstInterval + p));
  interval_->setCurrentIndex(0);
  auto* repeat_row = new QHBoxLayout(repeat);
  repeat_row->addWidget(interval_, 1);

  auto* deleted = new QGroupBox(QText(texts, kTextDeletedGroup));
  deleted->setObjectName("deletedGroup");
  continue_ = new QRadioButton(QText(texts, kTextContinueIfDeleted));
  continue_->setObjectName("continueIfDeleted");
  stop_ = new QRadioButton(QText(texts, kTextStopIfDeleted));
  stop_->setObjectName("stopIfDeleted");
  continue_->setChecked(true);
  auto* deleted_rows = new QVBoxLayout(deleted);
  deleted_rows->addWidget(continue_);
  deleted_rows->addWidget(stop_);

  auto* buttons = new QDialogButtonBox;
  set_ = buttons->addButton(QText(texts, kTextSet), QDialogButtonBox::AcceptRole);
  set_->setObjectName("set");
  set_->setDefault(true);
  cancel_ = buttons->addButton(QText(texts, kTextCancel),
                               QDialogButtonBox::RejectRole);
  cancel_->setObjectName("cancel");
  // Set is answered by the logic: the dialog stays open after a refusal.
  connect(set_, &QPushButton::clicked, this, &CAutoBackup::OnSet);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(start);
  layout->addWidget(repeat);
  layout->addWidget(deleted);
  layout->addSpacing(4);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // The next whole minute is the earliest start Set accepts.
  const int64_t next = LocalNowMinute() + 60;
  const platform::SystemTime n = LocalTimeOf(next);
  date_->setDate(QDate(n.year, n.month, n.day));
  time_->setTime(QTime(n.hour, n.minute));
  if (std::optional<PickerRange> range = logic_.OnOpen()) {
    date_->setDateRange(DateOf(range->earliest), DateOf(range->latest));
  }
  date_->setFocus();
}

void CAutoBackup::OnSet() {
  const QDate d = date_->date();
  const QTime t = time_->time();
  platform::SystemTime date{};
  date.year = static_cast<uint16_t>(d.year());
  date.month = static_cast<uint16_t>(d.month());
  date.day_of_week = static_cast<uint16_t>(d.dayOfWeek() % 7);
  date.day = static_cast<uint16_t>(d.day());
  if (logic_.OnSet(date, static_cast<uint16_t>(t.hour()),
                   static_cast<uint16_t>(t.minute()), interval_->currentIndex(),
                   continue_->isChecked()))
    accept();
}

}  // namespace keeper
