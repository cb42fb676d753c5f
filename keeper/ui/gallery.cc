// The screenshot gallery: renders every window of the desktop side in its
// typical states and both languages into PNG files named
// <deliverable>-<window>-<state>-<language>.png.
//
//   QT_QPA_PLATFORM=offscreen zelt_gallery OUT_DIR
//
// scripts/screenshots runs it. Window frames are drawn by the desktop, not
// by Qt, so each picture gets a plain title bar of its own to show the
// window's title.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "authdlg/auth_dialog.h"
#include "finder/ui/gallery_pages.h"
#include "desktop/language.h"
#include "desktop/qt/pictures.h"
#include "desktop/qt/qt_screen.h"
#include "desktop/qt/strip_animation.h"
#include "desktop/testing/fake_screen.h"
#include "desktop/testing/map_texts.h"
#include "keeper/app/br_error.h"
#include "keeper/app/testing/fake_box_service.h"
#include "keeper/app/testing/fake_outside_libraries.h"
#include "keeper/ui/gallery_frame.h"
#include "keeper/ui/about_box.h"
#include "keeper/ui/device_dialogs.h"
#include "keeper/ui/gallery_pages.h"
#include "keeper/ui/gallery_schedule.h"
#include "keeper/ui/gallery_schedule.h"
#include "keeper/ui/main_dlg.h"
#include "keeper/ui/pages.h"
#include "keeper/ui/br_file_dialog.h"
#include "keeper/ui/progress_dlg.h"
#include "keeper/ui/qt_text.h"
#include "keeper/ui/retry_dlg.h"
#include "keeper/ui/widgets.h"
#include "platform/env.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"
#include "setup/bootstrap.h"
#include "setup/language_dialog.h"

namespace keeper {
namespace {

// A backend for windows that show a run without running one.
class IdleBackend final : public JobBackend {
 public:
  std::unique_ptr<JobEvent> OpenEvent(std::string_view) override {
    return nullptr;
  }
  uint32_t LockUiJob(uint32_t) override { return 0; }
  uint32_t RetryUnlockUiJob(uint32_t) override { return 0; }
  uint32_t CreateFtpAccount(std::string*) override { return 0; }
  uint32_t DeleteFtpAccount() override { return 0; }
  uint32_t RunJob(const JobCall&) override { return 0; }
  JobProgress ReadProgress() override { return {}; }
  void ClearPercent() override {}
};

class Gallery {
 public:
  explicit Gallery(QString dir) : dir_(std::move(dir)) {}

  // Shows the window, lets it lay out, grabs it under a title bar.
  void Shoot(QWidget* w, const QString& name) {
    w->show();
    // Windows the gallery sized itself keep that size; others take theirs.
    if (!w->testAttribute(Qt::WA_Resized)) w->adjustSize();
    // Let it lay out and load what it loads in the background (folders).
    gallery::Settle();
    const QPixmap out = gallery::Framed(w);
    QString path = dir_ + "/" + name + ".png";
    if (!out.save(path)) {
      std::fprintf(stderr, "zelt_gallery: cannot write %s\n", qPrintable(path));
      failed_ = true;
    } else {
      ++count_;
    }
    w->hide();
  }

  bool failed() const { return failed_; }
  int count() const { return count_; }

 private:
  QString dir_;
  bool failed_ = false;
  int count_ = 0;
};


// Box names of a busy office: Japanese, Chinese, Korean, Greek and
// accented Latin, with dates of their last backups.
std::vector<BoxEntry> SampleBoxes() {
  auto at = [](uint16_t d, uint16_t h, uint16_t m) {
    ZBSYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 4;
    t.wDay = d;
    t.wHour = h;
    t.wMinute = m;
    return t;
  };
  return {
      {1, "Scans Empfang", false, at(28, 18, 5)},
      {2, "\xE5\x8F\x97\xE4\xBF\xA1\xE3\x83\x9C\xE3\x83\x83\xE3\x82\xAF"
          "\xE3\x82\xB9",  // Japanese
       true, at(28, 18, 7)},
      {3, "\xE8\xB4\xA2\xE5\x8A\xA1\xE9\x83\xA8 \xE5\x8F\x91\xE7\xA5\xA8",  // Chinese
       false, at(27, 9, 41)},
      {5, "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xEB\xB0\x95\xEC\x8A\xA4",  // Korean
       true, {}},
      {7, "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC",  // Greek
       false, {}},
      {12, "B\xC3\xBCro \xC5\x81\xC3\xB3\x64\xC5\xBA", false, at(2, 7, 30)},
      {20, "Fax 3F", false, at(2, 7, 31)},
  };
}

// Clicks OK in the device-not-found dialog once it is up, for the
// pictures of what comes after it.
void AnswerNotFoundLater() {
  QTimer::singleShot(100, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "CErrorDiscovery" && w->isVisible())
        if (auto* ok = w->findChild<QPushButton*>("ok")) return ok->click();
    AnswerNotFoundLater();
  });
}

// The main window and the dialogs of device selection, on a private
// registry and a scripted device.
void RunMainWindow(Gallery& g, const desktop::LanguageLibrary& lang,
                   const QString& l) {
  platform::FakeEnv env;
  platform::ScopedEnv use(&env);
  env.SetProgramDir(platform::Env::Default()->ProgramDir());
  const std::string key = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";
  auto set = [&](const std::string& name, const std::string& value) {
    env.registry().SetValue(platform::RegRoot::kCurrentUser, key, name,
                            platform::RegValue::String(value));
  };
  const std::string address = "192.0.2.15";
  set("Last Selected IP", address);
  set("Last Selected Name", "VARDA7140-3F");
  set("Last Selected Location", "3rd floor, copy room");
  set("Last Selected SNMP Version", "V1/V2");
  struct Listed {
    const char* address;
    const char* name;
    const char* model;
    const char* location;
    const char* version;
  } listed[] = {
      {"192.0.2.15", "VARDA7140-3F", "Varda 7140", "3rd floor, copy room",
       "V1/V2"},
      {"192.0.2.31", "VARDA910-LAB", "Varda 910", "Lab 2", "V3"},
      {"fd77::12", "VARDA8000-HQ", "Varda 8000", "Head office, reception",
       "V1/V2"},
  };
  for (int n = 0; n < 3; ++n) {
    const std::string i = std::to_string(n);
    set("Address" + i, listed[n].address);
    set("Name" + i, listed[n].name);
    set("Model" + i, listed[n].model);
    set("Location" + i, listed[n].location);
    set("SNMP Version" + i, listed[n].version);
  }
  auto name = [&](const char* window, const char* state) {
    return QString("keeper-%1-%2-%3").arg(window, state, l);
  };

  FakeBoxService service;
  auto& device = service.devices[address];
  device.open_result = 0;
  device.boxes = SampleBoxes();
  FakePromptLibrary prompt;
  FakeDiscoveryLibrary discovery;
  desktop::FakeScreen screen(&lang);
  const std::string program = env.ProgramDir();
  {
    prompt.answers.push_back({1, u"admin00"});
    CTARNBackupRestoreDlg w(lang, {service, prompt, discovery, program},
                            &screen);
    if (w.Open()) {
      w.resize(680, 500);
      g.Shoot(&w, name("main", "connected"));
      w.sheet()->setCurrentWidget(w.restore_page());
      g.Shoot(&w, name("main", "restore"));
    }
  }
  {
    device.open_result = 12029;  // switched off
    AnswerNotFoundLater();
    CTARNBackupRestoreDlg w(lang, {service, prompt, discovery, program},
                            &screen);
    if (w.Open()) {
      w.resize(680, 500);
      g.Shoot(&w, name("main", "disconnected"));
    }
  }
  {
    CConnectionDialog connecting(lang);
    g.Shoot(&connecting, name("connecting", "default"));
    CErrorDiscovery not_found(lang, address);
    g.Shoot(&not_found, name("notfound", "default"));
    KeeperSettings settings(lang);
    SelectedDevice current{address, "VARDA7140-3F", "3rd floor, copy room",
                           "V1/V2", ""};
    DiscoveredDeviceList list(settings, screen, current);
    CDiscoveredDeviceDlg devices(lang, list);
    g.Shoot(&devices, name("devicelist", "default"));
  }
}

void Run(Gallery& g, const desktop::LanguageLibrary& lang,
         const std::string& samples) {
  const QString l = lang.LanguageId() == desktop::kLangGerman ? "de" : "en";
  const desktop::Texts& t = lang;
  const std::string address = "192.0.2.15";
  auto name = [&](const char* deliverable, const char* window,
                  const char* state) {
    return QString("%1-%2-%3-%4").arg(deliverable, window, state, l);
  };

  // The password prompt.
  for (const char* state : {"empty", "filled"}) {
    authdlg::CUserAuthenticationDlg dlg(t, 11000, 1, u"", nullptr);
    if (std::string(state) == "filled")
      dlg.findChild<QLineEdit*>("password")->setText("Secret#2024");
    g.Shoot(&dlg, name("authdlg", "password", state));
  }
  {
    desktop::MapTexts none({});
    std::unique_ptr<QMessageBox> box(desktop::MakeMessageBox(
        none,
        {desktop::UiText::Of("Unable to load Language dll"),
         desktop::UiText::Of("Error"), desktop::Icon::kError},
        desktop::Buttons::kOk, desktop::Answer::kOk, nullptr));
    g.Shoot(box.get(), name("authdlg", "message", "nolanguage"));
  }

  // setup's language dialog with its shipped strings, as on a system of
  // this language.
  {
    class StringsHost final : public setup::SetupHost {
     public:
      setup::InstallState QueryState() override {
        return setup::InstallState::kUnknown;
      }
      bool IsRoot() override { return true; }
      std::optional<std::string> ReadFile(const std::string& path) override {
        std::ifstream in(path, std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
      }
      setup::RunResult Run(const std::vector<std::string>&) override {
        return {};
      }
      void Log(std::string_view) override {}
    } host;
    uint16_t system = l == "de" ? 0x0407 : 0x0409;
    setup::SetupFacts facts{"/usr", system,
                            platform::Env::Current()->ProgramDir() + "/", ""};
    setup::DialogStrings strings = setup::LoadDialogStrings(facts, host);
    setup::CLanguageDialog dlg(setup::BuildDialogModel(system, strings));
    g.Shoot(&dlg, name("setup", "language", "first"));
  }

  // The progress dialog at 40 % and its cancel question.
  IdleBackend idle;
  for (JobKind kind : {JobKind::kBackup, JobKind::kRestore}) {
    JobRequest request;
    request.kind = kind;
    CProgressDlg dlg(lang, kind, idle, request);
    dlg.SetAutoStart(false);
    dlg.show();
    dlg.SetPercent(40);
    dlg.SetPhase(desktop::UiText::Id(kind == JobKind::kBackup ? 92 : 93));
    dlg.SetNames("\xE5\x8F\x97\xE4\xBF\xA1\xE3\x83\x9C\xE3\x83\x83\xE3\x82\xAF"
                 "\xE3\x82\xB9",
                 "Rechnungen 2024", "Scan_000417.pdf");
    dlg.SetCounts(std::string(t.Text(113)) + " 38 / 95");
    dlg.animation()->ShowFrame(5);
    const char* which = kind == JobKind::kBackup ? "backup" : "restore";
    g.Shoot(&dlg, name("keeper", "progress", (std::string(which) + "40").c_str()));
    std::unique_ptr<QMessageBox> question(desktop::MakeMessageBox(
        t,
        {desktop::UiText::Id(kind == JobKind::kBackup ? 49 : 50),
         desktop::UiText::Id(108), desktop::Icon::kQuestion},
        desktop::Buttons::kYesNo, desktop::Answer::kNo, nullptr));
    g.Shoot(question.get(),
            name("keeper", "progress", (std::string(which) + "cancel").c_str()));
  }

  // The result dialog in its six modes.
  struct Mode {
    RetryMode mode;
    uint32_t error;
    const char* state;
  } modes[] = {{RetryMode::kDone, 0, "done"},
               {RetryMode::kCancelled, 0, "cancelled"},
               {RetryMode::kFailed, 12029, "failed"},
               {RetryMode::kRetriesExhausted, 12029, "exhausted"},
               {RetryMode::kRetryPending, 12029, "pending"},
               {RetryMode::kStoppedForDeletedBoxes, 0, "deleted"}};
  for (const Mode& m : modes) {
    CRetryDlg dlg(t, m.mode, m.error, 0, address, "/tmp/ZELT_Log.txt");
    g.Shoot(&dlg, name("keeper", "result", m.state));
  }

  // The alert box in both modes.
  {
    CTNAlertBox ask(t, std::string(t.Text(98)), std::string(t.Text(39)), 1);
    g.Shoot(&ask, name("keeper", "alert", "question"));
    CTNAlertBox warn(t, std::string(t.Text(121)), std::string(t.Text(141)), 0);
    g.Shoot(&warn, name("keeper", "alert", "warning"));
  }

  // Error messages built by the error-text builder.
  for (auto [code, state] : {std::pair<uint32_t, const char*>{12029, "network"},
                             {39, "devicefull"},
                             {1279, "locked"}}) {
    std::unique_ptr<QMessageBox> box(desktop::MakeMessageBox(
        t,
        {desktop::UiText::Of(cZBBoxBRError(code).Text(address, t)),
         desktop::UiText::Id(88), desktop::Icon::kError},
        desktop::Buttons::kOk, desktop::Answer::kOk, nullptr));
    g.Shoot(box.get(), name("keeper", "error", state));
  }

  // The archive file dialog in a folder with archives.
  {
    CBRFileDialog save(t, true, QString::fromStdString(samples));
    save.resize(720, 460);
    g.Shoot(&save, name("keeper", "filedialog", "save"));
    CBRFileDialog open(t, false, QString::fromStdString(samples));
    open.resize(720, 460);
    g.Shoot(&open, name("keeper", "filedialog", "open"));
  }

  // The About box.
  {
    CAboutBox about(lang, platform::Env::Current()->ProgramDir());
    g.Shoot(&about, name("keeper", "about", "default"));
  }

  // The box list in the property sheet with both status bars.
  for (const char* state : {"empty", "filled", "greyed"}) {
    QMainWindow window;
    window.setWindowTitle(QText(t, 19));
    auto* sheet = new CTNPropertySheet;
    auto* tree = new CBoxTreeList(lang, {28, 186});
    sheet->addTab(tree, QText(t, 17));
    sheet->addTab(new QWidget, QText(t, 20));
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(sheet);
    auto* second = new ZBStatusBar;
    second->SetAddress(QString::fromStdString(address));
    layout->addWidget(second);
    layout->setContentsMargins(6, 6, 6, 0);
    window.setCentralWidget(central);
    window.statusBar()->showMessage(QText(t, 34));
    window.statusBar()->addPermanentWidget(
        [&] {
          auto* icon = new QLabel;
          icon->setPixmap(desktop::PictureOf(lang, 157));
          return icon;
        }());
    if (std::string(state) != "empty") {
      const std::string never = "-- -- --  -- -- --";
      tree->Fill("Tarn Office 3F",
                 {{1, "Scans", false, {"2024-05-06  22:31:04"}},
                  {2, "\xE5\x8F\x97\xE4\xBF\xA1\xE3\x83\x9C\xE3\x83\x83\xE3"
                      "\x82\xAF\xE3\x82\xB9",
                   true, {"2024-05-06  22:31:09"}},
                  {5, "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE"
                      "\xBA\xCE\xAC",
                   false, {never}},
                  {7, "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 \xEB\xB0\x95\xEC"
                      "\x8A\xA4",
                   true, {never}},
                  {12, "B\xC3\xBCro \xC5\x81\xC3\xB3\x64\xC5\xBA", false,
                   {never}}});
    } else {
      tree->Fill("Tarn Office 3F", {});
    }
    tree->SetGreyed(std::string(state) == "greyed");
    window.resize(620, 360);
    g.Shoot(&window, name("keeper", "boxlist", state));
  }

  RunMainWindow(g, lang, l);
  ShootPages([&](QWidget* w, const QString& n) { g.Shoot(w, n); }, lang, l);
  ShootSchedule([&](QWidget* w, const QString& n) { g.Shoot(w, n); }, lang, l);
}

}  // namespace
}  // namespace keeper

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty()
                                 ? QByteArray("offscreen")
                                 : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: zelt_gallery OUT_DIR\n");
    return 2;
  }
  QDir().mkpath(QString::fromLocal8Bit(argv[1]));
  QString dir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  // A folder of sample archives for the file dialog.
  std::string samples = dir.toStdString() + "/.samples";
  QDir().mkpath(QString::fromStdString(samples));
  for (const char* f : {"office_001.zip", "office_002.zip", "boxes-2024-05.zip"})
    std::ofstream(samples + "/" + f) << "sample";
  keeper::Gallery gallery(dir);
  for (std::string_view tag : desktop::LanguageTags()) {
    std::string error;
    auto lang = desktop::LanguageLibrary::Load("keeperlang", tag, &error);
    if (!lang) {
      std::fprintf(stderr, "zelt_gallery: %s\n", error.c_str());
      return 1;
    }
    keeper::Run(gallery, *lang, samples);
    // The discovery library's windows, in the same language.
    auto finder_lang = desktop::LanguageLibrary::Load("finderlang", tag, &error);
    if (!finder_lang) {
      std::fprintf(stderr, "zelt_gallery: %s\n", error.c_str());
      return 1;
    }
    finder::ui::ShootFinderWindows(
        *finder_lang, [&](QWidget* w, const QString& name) { gallery.Shoot(w, name); });
  }
  QDir(QString::fromStdString(samples)).removeRecursively();
  std::printf("zelt_gallery: %d pictures in %s\n", gallery.count(),
              qPrintable(dir));
  return gallery.failed() ? 1 : 0;
}
