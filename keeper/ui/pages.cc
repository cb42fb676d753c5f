#include "keeper/ui/pages.h"

#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "keeper/ui/br_file_dialog.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/restore_mode_dlg.h"

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

std::vector<BoxRow> ToRows(const std::vector<BoxListRow>& rows) {
  std::vector<BoxRow> out;
  out.reserve(rows.size());
  for (const BoxListRow& r : rows)
    out.push_back({r.number, r.name, r.is_protected, r.columns});
  return out;
}

// Runs the archive file dialog for a request of the logic.
std::optional<std::string> RunFileDialog(const desktop::Texts& texts,
                                         const desktop::FileRequest& request,
                                         QWidget* parent) {
  CBRFileDialog dialog(texts, request.save, QText(request.folder), nullptr,
                       parent);
  if (!request.file_name.empty()) dialog.selectFile(QText(request.file_name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace

std::string DocumentsFolder() {
  QString dir =
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (dir.isEmpty() || !QDir(dir).exists()) dir = QDir::homePath();
  return dir.toStdString();
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

  connect(browse_, &QPushButton::clicked, this, [this] {
    if (logic_) logic_->OnBtnBrowseFolder();
  });
  connect(target_, &QLineEdit::textChanged, this, [this] {
    if (logic_ && !setting_text_) logic_->OnChangeEditZipfldr();
    emit selectionChanged();
  });
  connect(list_, &QTreeWidget::itemChanged, this,
          &CBackupPage::selectionChanged);
  connect(full_, &QRadioButton::toggled, this, [this] {
    if (logic_) logic_->OnChangeBackupSetting();
  });
}

CBackupPage::~CBackupPage() = default;

void CBackupPage::Attach(desktop::Screen& screen, PageHost& host) {
  logic_ = std::make_unique<BackupPageLogic>(BackupPageContext{
      lang_, screen, *this, host, format_, DocumentsFolder()});
}

void CBackupPage::AddBoxes() {
  if (logic_) logic_->AddBoxes();
  emit selectionChanged();
}

void CBackupPage::OnRefresh() {
  if (logic_) logic_->OnRefresh();
  OnSetActive();
}

void CBackupPage::OnSetActive() {
  if (logic_) logic_->OnSetActive();
  emit selectionChanged();
}

void CBackupPage::Clear() {
  list_->clear();
  full_->setChecked(true);
  setting_->setEnabled(false);
  emit selectionChanged();
}

bool CBackupPage::ActionAllowed() const {
  return logic_ && logic_->ActionAllowed();
}

void CBackupPage::SetAllChecked(bool checked) { list_->SetAllChecked(checked); }

void CBackupPage::OnStart() {
  if (logic_) logic_->OnStart();
}

std::string CBackupPage::TargetText() const {
  return target_->text().toStdString();
}

void CBackupPage::SetTargetText(const std::string& text) {
  setting_text_ = true;
  target_->setText(QText(text));
  target_->setCursorPosition(target_->text().size());
  setting_text_ = false;
}

void CBackupPage::FocusTarget() { target_->setFocus(); }

bool CBackupPage::PageShown() const { return isVisible(); }

void CBackupPage::FillRows(const std::string& device_row,
                           const std::vector<BoxListRow>& rows) {
  list_->Fill(QText(device_row), ToRows(rows));
  emit selectionChanged();
}

void CBackupPage::ClearRows() { list_->clear(); }

std::vector<uint32_t> CBackupPage::CheckedBoxes() const {
  return list_->CheckedBoxes();
}

bool CBackupPage::FullChecked() const { return full_->isChecked(); }

void CBackupPage::CheckFull() { full_->setChecked(true); }

void CBackupPage::EnableSettings(bool enabled) { setting_->setEnabled(enabled); }

void CBackupPage::EnableAction(bool) { emit selectionChanged(); }

std::optional<std::string> CBackupPage::PickTarget(
    const desktop::FileRequest& request) {
  return RunFileDialog(lang_, request, this);
}

CRestorePg::CRestorePg(const desktop::LanguageLibrary& lang, QWidget* parent)
    : QWidget(parent), lang_(lang) {
  setObjectName("CRestorePg");
  setWindowTitle(QText(lang, kTextRestoreTitle));

  auto* archive_group = new QGroupBox(QText(lang, kTextTargetFile));
  auto* archive_row = new QHBoxLayout(archive_group);
  archive_ = new QLineEdit;
  archive_->setObjectName("archive");
  archive_->setClearButtonEnabled(true);
  browse_ = new QPushButton(QText(lang, kTextBrowse));
  browse_->setObjectName("browse");
  archive_row->addWidget(archive_, 1);
  archive_row->addWidget(browse_);

  auto* property = new QGroupBox(QText(lang, kTextBackupProperty));
  property->setObjectName("property");
  auto* property_rows = new QVBoxLayout(property);
  type_ = new QLabel;
  type_->setObjectName("type");
  time_ = new QLabel;
  time_->setObjectName("time");
  property_rows->addWidget(type_);
  property_rows->addWidget(time_);

  list_ = new CBoxTreeList(lang, {kTextName, kTextSize, kTextBackupTime});
  size_ = new QLabel;
  size_->setObjectName("size");
  size_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(archive_group);
  layout->addWidget(property);
  layout->addWidget(list_, 1);
  layout->addWidget(size_);

  connect(browse_, &QPushButton::clicked, this, [this] {
    if (logic_) logic_->OnBrowse();
  });
  connect(archive_, &QLineEdit::textChanged, this, [this] {
    if (logic_ && !setting_text_) logic_->OnArchiveChanged();
    emit selectionChanged();
  });
  connect(list_, &QTreeWidget::itemChanged, this, [this] {
    if (logic_) logic_->OnItemChanged();
    emit selectionChanged();
  });
  type_->setText(QText(lang, kTextType));
  time_->setText(QText(lang, kTextTime) + " :");
}

CRestorePg::~CRestorePg() = default;

void CRestorePg::Attach(desktop::Screen& screen, PageHost& host) {
  logic_ = std::make_unique<RestorePageLogic>(RestorePageContext{
      lang_, screen, *this, host, format_, DocumentsFolder()});
}

void CRestorePg::Clear() {
  if (logic_) logic_->OnRefresh();
  emit selectionChanged();
}

void CRestorePg::OnSetActive() {
  if (logic_) logic_->OnSetActive();
  emit selectionChanged();
}

bool CRestorePg::ActionAllowed() const {
  return logic_ && logic_->ActionAllowed();
}

void CRestorePg::SetAllChecked(bool checked) { list_->SetAllChecked(checked); }

void CRestorePg::OnStart() {
  if (logic_) logic_->OnStart();
}

std::string CRestorePg::ArchiveText() const {
  return archive_->text().toStdString();
}

void CRestorePg::SetArchiveText(const std::string& text) {
  setting_text_ = true;
  archive_->setText(QText(text));
  archive_->setCursorPosition(archive_->text().size());
  setting_text_ = false;
}

void CRestorePg::FocusArchive() { archive_->setFocus(); }

void CRestorePg::SetTypeLine(const std::string& text) {
  type_->setText(QText(text));
}

void CRestorePg::SetTimeLine(const std::string& text) {
  time_->setText(QText(text));
}

void CRestorePg::FillRows(const std::string& title,
                          const std::vector<BoxListRow>& rows) {
  list_->Fill(QText(title), ToRows(rows));
}

void CRestorePg::ClearRows() { list_->clear(); }

size_t CRestorePg::RowCount() const {
  QTreeWidgetItem* top = list_->device_row();
  return top ? static_cast<size_t>(top->childCount()) : 0;
}

std::vector<size_t> CRestorePg::CheckedRows() const {
  std::vector<size_t> out;
  QTreeWidgetItem* top = list_->device_row();
  for (int i = 0; top && i < top->childCount(); ++i)
    if (top->child(i)->checkState(0) == Qt::Checked)
      out.push_back(static_cast<size_t>(i));
  return out;
}

void CRestorePg::SetSizeLine(const std::string& text) {
  size_->setText(QText(text));
}

void CRestorePg::EnableAction(bool) { emit selectionChanged(); }

std::optional<std::string> CRestorePg::PickArchive(
    const desktop::FileRequest& request) {
  return RunFileDialog(lang_, request, this);
}

std::optional<uint32_t> CRestorePg::AskRestoreMode() {
  CRestoreModeSettings dialog(lang_, this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.choice();
}

}  // namespace keeper
