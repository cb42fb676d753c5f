#include "keeper/ui/pages.h"

#include <QDateTime>
#include <cstring>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "desktop/format.h"
#include "keeper/app/archive_info.h"
#include "keeper/ui/br_file_dialog.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/widgets.h"

namespace keeper {
namespace {

constexpr uint32_t kTextBackupTitle = 17;
constexpr uint32_t kTextRestoreTitle = 20;
constexpr uint32_t kTextTargetFile = 21;
constexpr uint32_t kTextName = 28;
constexpr uint32_t kTextBrowse = 36;
constexpr uint32_t kTextSize = 38;
constexpr uint32_t kTextFullBackup = 182;
constexpr uint32_t kTextIncrementalBackup = 183;
constexpr uint32_t kTextTime = 184;
constexpr uint32_t kTextType = 185;
constexpr uint32_t kTextLastBackup = 186;
constexpr uint32_t kTextBackupTime = 187;
constexpr uint32_t kTextBackupProperty = 188;
constexpr uint32_t kTextSetting = 189;
constexpr uint32_t kTextChooseType = 193;

constexpr char kNoDate[] = "-- -- --  -- -- --";

bool EndsInZip(const QString& text) {
  return text.endsWith(".zip", Qt::CaseInsensitive);
}

QString DocumentsFolder() {
  QString dir =
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return dir.isEmpty() ? QDir::homePath() : dir;
}

// The row of the device: its name and, when it has one, its address.
QString DeviceRowText(const AppState& app) {
  QString name = QText(app.device.name);
  QString address = QText(app.device.address);
  if (name.isEmpty() || name == address) return address;
  return QString("%1 (%2)").arg(name, address);
}

}  // namespace

std::string LastBackupText(const ZBSYSTEMTIME& t) {
  static const ZBSYSTEMTIME kNone{};
  if (std::memcmp(&t, &kNone, sizeof t) == 0) return kNoDate;
  platform::SystemTime s{};
  static_assert(sizeof s == sizeof t, "the same broken-down time");
  std::memcpy(&s, &t, sizeof s);
  return DateTimeText(QtDateTimeFormat(), s);
}

CBackupPage::CBackupPage(const desktop::LanguageLibrary& lang, QWidget* parent)
    : QWidget(parent), lang_(lang) {
  setObjectName("CBackupPage");
  setWindowTitle(QText(lang, kTextBackupTitle));

  auto* target_group = new QGroupBox(QText(lang, kTextTargetFile));
  target_group->setObjectName("targetGroup");
  auto* target_row = new QHBoxLayout(target_group);
  target_ = new QLineEdit;
  target_->setObjectName("target");
  target_->setClearButtonEnabled(true);
  browse_ = new QPushButton(QText(lang, kTextBrowse));
  browse_->setObjectName("browse");
  target_row->addWidget(target_, 1);
  target_row->addWidget(browse_);

  setting_ = new QGroupBox(QText(lang, kTextSetting));
  setting_->setObjectName("setting");
  auto* setting_row = new QHBoxLayout(setting_);
  prompt_ = new QLabel(QText(lang, kTextChooseType));
  full_ = new QRadioButton(QText(lang, kTextFullBackup));
  full_->setObjectName("full");
  incremental_ = new QRadioButton(QText(lang, kTextIncrementalBackup));
  incremental_->setObjectName("incremental");
  full_->setChecked(true);
  setting_row->addWidget(prompt_);
  setting_row->addSpacing(8);
  setting_row->addWidget(full_);
  setting_row->addWidget(incremental_);
  setting_row->addStretch();

  list_ = new CBoxTreeList(lang, {kTextName, kTextLastBackup});

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(target_group);
  layout->addWidget(setting_);
  layout->addWidget(list_, 1);

  connect(browse_, &QPushButton::clicked, this, &CBackupPage::OnBrowse);
  connect(target_, &QLineEdit::textChanged, this,
          &CBackupPage::selectionChanged);
  connect(list_, &QTreeWidget::itemChanged, this,
          &CBackupPage::selectionChanged);
}

void CBackupPage::AddBoxes(const CDeviceLink& link, const AppState& app) {
  std::vector<BoxRow> rows;
  if (link.connected) {
    for (const BoxEntry& b : link.boxes)
      rows.push_back({b.number, b.name, b.is_protected,
                      {LastBackupText(b.last_backup)}});
  }
  if (link.connected)
    list_->Fill(DeviceRowText(app), rows);
  else
    list_->clear();
  emit selectionChanged();
}

void CBackupPage::OnRefresh(const CDeviceLink& link, const AppState& app) {
  list_->clear();
  target_->clear();
  AddBoxes(link, app);
  OnSetActive(link);
}

void CBackupPage::OnSetActive(const CDeviceLink& link) {
  const bool choice = link.connected && !link.old_generation;
  if (!choice) full_->setChecked(true);
  setting_->setEnabled(choice);
  emit selectionChanged();
}

void CBackupPage::Clear() {
  list_->clear();
  full_->setChecked(true);
  setting_->setEnabled(false);
  emit selectionChanged();
}

bool CBackupPage::ActionAllowed(bool connected) const {
  return connected && !list_->CheckedBoxes().empty() &&
         EndsInZip(target_->text());
}

void CBackupPage::SetAllChecked(bool checked) { list_->SetAllChecked(checked); }

void CBackupPage::OnBrowse() {
  // The proposed name is the time of the backup.
  const QString name =
      QDateTime::currentDateTime().toString("yyyyMMdd_HHmmss") + ".zip";
  CBRFileDialog dialog(lang_, true, DocumentsFolder(), nullptr, this);
  dialog.selectFile(name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  QString path = dialog.selectedFiles().front();
  if (!EndsInZip(path)) path += ".zip";
  target_->setText(path);
  target_->setCursorPosition(path.size());
}

CRestorePg::CRestorePg(const desktop::LanguageLibrary& lang, QWidget* parent)
    : QWidget(parent), lang_(lang) {
  setObjectName("CRestorePg");
  setWindowTitle(QText(lang, kTextRestoreTitle));

  auto* archive_group = new QGroupBox(QText(lang, kTextTargetFile));
  auto* archive_row = new QHBoxLayout(archive_group);
  archive_ = new QLineEdit;
  archive_->setObjectName("archive");
  archive_->setReadOnly(true);
  browse_ = new QPushButton(QText(lang, kTextBrowse));
  browse_->setObjectName("browse");
  archive_row->addWidget(archive_, 1);
  archive_row->addWidget(browse_);

  auto* property = new QGroupBox(QText(lang, kTextBackupProperty));
  auto* property_rows = new QVBoxLayout(property);
  type_ = new QLabel;
  type_->setObjectName("type");
  time_ = new QLabel;
  time_->setObjectName("time");
  property_rows->addWidget(type_);
  property_rows->addWidget(time_);

  list_ = new CBoxTreeList(lang, {kTextName, kTextSize, kTextBackupTime});

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(archive_group);
  layout->addWidget(property);
  layout->addWidget(list_, 1);

  connect(browse_, &QPushButton::clicked, this, &CRestorePg::OnBrowse);
  connect(list_, &QTreeWidget::itemChanged, this,
          &CRestorePg::selectionChanged);
  Clear();
}

void CRestorePg::Clear() {
  archive_->clear();
  list_->clear();
  type_->setText(QText(lang_, kTextType));
  time_->setText(QText(lang_, kTextTime) + " :");
  emit selectionChanged();
}

bool CRestorePg::LoadArchive(const std::string& path) {
  ArchiveInfo info;
  if (ReadArchiveInfo(path, &info) != 0) {
    Clear();
    return false;
  }
  archive_->setText(QText(path));
  type_->setText(QText(lang_, kTextType) + " " +
                 QText(lang_, info.backup_type ? kTextIncrementalBackup
                                               : kTextFullBackup));
  time_->setText(QText(lang_, kTextTime) + " : " +
                 QText(LastBackupText(info.date)));
  std::vector<BoxRow> rows;
  for (const ArchiveBox& b : info.boxes)
    rows.push_back({b.number, b.name, b.is_protected,
                    {SizeText(b.size_kb), LastBackupText(b.last_backup)}});
  list_->Fill(QText(info.network_name.empty()
                        ? QFileInfo(QText(path)).fileName().toStdString()
                        : info.network_name),
              rows);
  emit selectionChanged();
  return true;
}

void CRestorePg::SetAllChecked(bool checked) { list_->SetAllChecked(checked); }

void CRestorePg::OnBrowse() {
  CBRFileDialog dialog(lang_, false, DocumentsFolder(), nullptr, this);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return;
  LoadArchive(dialog.selectedFiles().front().toStdString());
}

}  // namespace keeper
