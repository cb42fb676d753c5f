// The main window's logic against a scripted box service, password prompt
// and discovery: start-up, the reactions to every kind of open, Refresh,
// Initialize storage, the menu rules, the date check and the end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "keeper/app/br_error.h"
#include "keeper/app/testing/main_window_fixture.h"
#include "platform/calendar.h"
#include "platform/testing/temp_dir.h"
#include "platform/text.h"
#include "standins/cryptocore/crypto_core.h"

namespace keeper {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

class MainWindowLogicTest : public MainWindowFixture {};

TEST_F(MainWindowLogicTest, StartWithAStoredDeviceThatAuthenticates) {
  Select(kDevA, "Office");
  ListDevice(0, kDevA, "Office");
  Device(kDevA, 1);
  Answer(u"admin00");
  SetValue("RetryInterval", "9");
  SetValue("RetryCount", "0");

  ASSERT_TRUE(Logic().Open());
  EXPECT_TRUE(Logic().connected());
  EXPECT_EQ(Logic().link().boxes.size(), 2u);
  EXPECT_EQ(Logic().app().device.model, "Model of Office");
  EXPECT_TRUE(Logic().flags().authenticated);
  EXPECT_TRUE(Logic().flags().main_dialog_launched);
  // The order of the device calls, and the password forms: mode 1 for the
  // authentication, mode 2 for the engine information.
  const std::string mode2 = zelt::crypto::EncodeCredentialMode2("admin00");
  EXPECT_THAT(service_.calls,
              ElementsAre(std::string("Open ") + kDevA,
                          std::string("Security ") + kDevA,
                          std::string("Authenticate ") + kDevA + " ok enc=1",
                          std::string("Status ") + kDevA,
                          std::string("Engine ") + kDevA + " pwd=" + mode2,
                          std::string("List ") + kDevA));
  // The prompt was told where keeper's texts are and that the settings
  // were read (the longer password limit).
  EXPECT_EQ(prompt_.language_path, platform::Utf8ToUtf16(lang_->path()));
  EXPECT_EQ(prompt_.language_value, 11000);
  EXPECT_THAT(prompt_.controller_types, ElementsAre(1));
  EXPECT_THAT(prompt_.launch_status, ElementsAre(1));
  EXPECT_EQ(Logic().link().auth_dialog_handle, 77u);
  EXPECT_EQ(view_.connecting_open, 0);
  EXPECT_EQ(view_.connecting_shown, 1);
  EXPECT_EQ(view_.address, kDevA);
  EXPECT_EQ(view_.status.id, 34u);
  // Rewritten at every start; the running instance is registered.
  EXPECT_EQ(Value("RetryInterval"), "5");
  EXPECT_EQ(Value("RetryCount"), "12");
  EXPECT_EQ(Value("CLSID", kRunningKey), "ZELT");
  EXPECT_EQ(Value("WndTitle", kRunningKey), T(19));
  EXPECT_THAT(Messages(), IsEmpty());
}

TEST_F(MainWindowLogicTest, ARunningInstanceKeyThatCannotBeMadeEndsTheStart) {
  Select(kDevA, "Office");
  Device(kDevA, 1);
  // The registry can be read but no longer written: its file's place is
  // taken by a folder once the values are in.
  const std::string file = Reg().FileOf(platform::RegRoot::kCurrentUser);
  ASSERT_TRUE(Value("Last Selected IP"));
  std::filesystem::rename(file, file + ".keep");
  std::filesystem::create_directory(file);
  std::filesystem::create_directory(file + "/x");
  EXPECT_FALSE(Logic().Open());
  EXPECT_THAT(service_.calls, IsEmpty());
  ASSERT_EQ(screen_->shown().size(), 1u);
  EXPECT_EQ(screen_->shown()[0].text, T(114));
  EXPECT_EQ(screen_->shown()[0].caption, T(88));
  std::filesystem::remove_all(file);
  std::filesystem::rename(file + ".keep", file);
}

TEST_F(MainWindowLogicTest, AFullSessionAsksThenOpensAgainAndReads) {
  Select(kDevA, "Office");
  Device(kDevA, 0);
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  EXPECT_TRUE(Logic().connected());
  // No security settings on a full session: the prompt allows the short
  // password, and the session is opened again before it is read.
  EXPECT_THAT(prompt_.controller_types, ElementsAre(0));
  EXPECT_THAT(service_.calls,
              ElementsAre(std::string("Open ") + kDevA,
                          std::string("Close ") + kDevA,
                          std::string("Open ") + kDevA,
                          std::string("Engine ") + kDevA + " pwd=admin00",
                          std::string("List ") + kDevA));
  EXPECT_EQ(Logic().app().credential, "admin00");
}

TEST_F(MainWindowLogicTest, CancellingThePromptAtStartEndsTheProgram) {
  for (uint32_t open_result : {0u, 1u}) {
    SCOPED_TRACE(open_result);
    logic_.reset();
    Select(kDevA, "Office");
    Device(kDevA, open_result);
    Cancel();
    EXPECT_FALSE(Logic().Open());
    EXPECT_FALSE(Logic().connected());
    EXPECT_EQ(service_.Count("List"), 0);
  }
}

TEST_F(MainWindowLogicTest, AWrongPasswordSaysSoAndTheWindowOpensUnconnected) {
  Select(kDevA, "Office");
  Device(kDevA, 1);
  Answer(u"guess");
  ASSERT_TRUE(Logic().Open());
  EXPECT_FALSE(Logic().connected());
  EXPECT_FALSE(Logic().flags().authenticated);
  EXPECT_THAT(Messages(), ElementsAre(std::string(kDevA) + "\n" + T(68)));
  EXPECT_EQ(screen_->shown()[0].caption, T(88));
  EXPECT_EQ(screen_->shown()[0].message.icon, desktop::Icon::kError);
  EXPECT_EQ(service_.Count("List"), 0);
}

TEST_F(MainWindowLogicTest, AnErrorTextThatNamesTheAddressIsNotPrefixedAgain) {
  Select(kDevA, "Office");
  Device(kDevA, 1).authenticate_result = 1216;  // names the address itself
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  ASSERT_EQ(Messages().size(), 1u);
  const std::string text = Messages()[0];
  EXPECT_EQ(text.find(kDevA), 0u);
  EXPECT_EQ(text.find(kDevA, 1), std::string::npos) << text;
}

TEST_F(MainWindowLogicTest, TheServiceStatusDecides) {
  Select(kDevA, "Office");
  Device(kDevA, 1).service_status = 1260;
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  EXPECT_FALSE(Logic().flags().authenticated);
  EXPECT_FALSE(Logic().connected());
  EXPECT_THAT(Messages(), ElementsAre(T(195)));
}

TEST_F(MainWindowLogicTest, SecuritySettingsThatCannotBeReadAskNothing) {
  Select(kDevA, "Office");
  Device(kDevA, 1).security_result = 13;
  ASSERT_TRUE(Logic().Open());
  EXPECT_EQ(prompt_.prompts, 0);
  EXPECT_EQ(service_.Count("Authenticate"), 0);
  EXPECT_FALSE(Logic().connected());
  // What went wrong is still said.
  EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(MainWindowLogicTest, ReactionsToAFailedOpen) {
  struct Case {
    uint32_t code;
    bool not_found;
  } cases[] = {{12029, true}, {12002, true}, {4319, true},  {12031, true},
               {12009, true}, {12004, true}, {58, true},    {12, true},
               {170, true},   {2250, false}, {1605, false}, {1327, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    logic_.reset();
    screen_->Clear();
    view_.not_found_shown = 0;
    Select(kDevA, "Office");
    Device(kDevA, c.code);
    ASSERT_TRUE(Logic().Open());
    EXPECT_FALSE(Logic().connected());
    EXPECT_EQ(prompt_.prompts, 0);
    EXPECT_EQ(view_.not_found_shown, c.not_found ? 1 : 0);
    EXPECT_EQ(Messages().size(), c.not_found ? 0u : 1u);
    EXPECT_EQ(Logic().flags().network_error_shown, c.not_found);
  }
  EXPECT_EQ(Messages()[0], cZBBoxBRError(1327).Text(kDevA, *lang_));
}

TEST_F(MainWindowLogicTest, TheOfflineMessageHasItsOwnText) {
  Select(kDevA, "Office");
  Device(kDevA, 2250);
  ASSERT_TRUE(Logic().Open());
  EXPECT_THAT(Messages(), ElementsAre(T(132)));
}

TEST_F(MainWindowLogicTest, WithoutThePromptLibraryTheUserIsTold) {
  Select(kDevA, "Office");
  Device(kDevA, 1);
  for (bool missing_library : {true, false}) {
    SCOPED_TRACE(missing_library);
    logic_.reset();
    screen_->Clear();
    prompt_.loadable = !missing_library;
    prompt_.lacks_open = !missing_library;
    // The window opens: the user did not cancel anything.
    ASSERT_TRUE(Logic().Open());
    EXPECT_FALSE(Logic().connected());
    EXPECT_THAT(Messages(), ElementsAre(T(13012)));
  }
}

TEST_F(MainWindowLogicTest, RefreshReusesTheCredential) {
  Select(kDevA, "Office");
  Device(kDevA, 1);
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  service_.devices[kDevA].boxes.push_back({9, "New box", false, {}});
  service_.ClearCalls();

  Logic().OnRefresh();
  EXPECT_EQ(prompt_.prompts, 1) << "asked again";
  EXPECT_TRUE(Logic().connected());
  EXPECT_EQ(Logic().link().boxes.size(), 3u);
  EXPECT_EQ(service_.Count("Authenticate " + std::string(kDevA) + " ok"), 1);
  EXPECT_FALSE(Logic().flags().skip_refresh);
  EXPECT_EQ(view_.refreshes, 1);
  EXPECT_EQ(view_.status.id, 34u);
  EXPECT_THAT(view_.log, Contains("status 110"));
}

TEST_F(MainWindowLogicTest, RefreshOfAFullSessionOpensAgainWithoutAsking) {
  Select(kDevA, "Office");
  Device(kDevA, 0);
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  service_.ClearCalls();
  Logic().OnRefresh();
  EXPECT_EQ(prompt_.prompts, 1);
  EXPECT_TRUE(Logic().connected());
  EXPECT_THAT(service_.calls,
              ElementsAre(std::string("Close ") + kDevA,
                          std::string("Open ") + kDevA,
                          std::string("Engine ") + kDevA + " pwd=admin00",
                          std::string("List ") + kDevA));
}

TEST_F(MainWindowLogicTest, WithASkipFlagAWrongStoredPasswordStillAuthenticates) {
  Select(kDevA, "Office");
  Device(kDevA, 1);
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  service_.devices[kDevA].password = "changed";  // changed at the panel
  screen_->Clear();
  Logic().OnRefresh();
  // The refusal is shown, the flag is set all the same: the service status
  // decides, and the closed session then fails the box list.
  EXPECT_TRUE(Logic().flags().authenticated);
  EXPECT_EQ(prompt_.prompts, 1);
  EXPECT_EQ(service_.Count("Authenticate " + std::string(kDevA) + " refused"), 1);
  EXPECT_FALSE(Logic().connected());
  ASSERT_GE(Messages().size(), 1u);
  EXPECT_THAT(Messages()[0], HasSubstr(T(68)));
}

TEST_F(MainWindowLogicTest, RefreshWhileUnconnectedAsksAgain) {
  Select(kDevA, "Office");
  Device(kDevA, 1);
  Answer(u"wrong");
  ASSERT_TRUE(Logic().Open());
  ASSERT_FALSE(Logic().connected());
  Answer(u"admin00");
  Logic().OnRefresh();
  EXPECT_EQ(prompt_.prompts, 2);
  EXPECT_TRUE(Logic().connected());
}

TEST_F(MainWindowLogicTest, ABoxListThatFailsClosesTheSession) {
  Select(kDevA, "Office");
  Device(kDevA, 0).list_result = 1359;
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  EXPECT_FALSE(Logic().connected());
  EXPECT_THAT(Messages(), ElementsAre(T(114)));
  EXPECT_EQ(service_.calls.back(), std::string("Close ") + kDevA);
}

TEST_F(MainWindowLogicTest, RefreshThatFindsTheDeviceGoneDisconnects) {
  Select(kDevA, "Office");
  Device(kDevA, 0);
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  service_.devices[kDevA].open_result = 12029;
  Logic().OnRefresh();
  EXPECT_FALSE(Logic().connected());
  EXPECT_EQ(view_.not_found_shown, 1);
  EXPECT_EQ(view_.disconnected, 1);
  EXPECT_THAT(Logic().link().boxes, IsEmpty());
  EXPECT_TRUE(Logic().flags().network_error_shown);
}

class InitializeStorageTest : public MainWindowLogicTest {
 protected:
  void SetUp() override {
    Select(kDevA, "Office");
    Device(kDevA, 1);
    Answer(u"admin00");
    ASSERT_TRUE(Logic().Open());
    ASSERT_TRUE(Logic().connected());
    service_.ClearCalls();
    view_.page = Page::kRestore;
  }
};

TEST_F(InitializeStorageTest, NoChangesNothing) {
  screen_->answers.push_back(desktop::Answer::kNo);
  Logic().OnInitializeStorage();
  EXPECT_THAT(service_.calls, IsEmpty());
  ASSERT_EQ(screen_->shown().size(), 1u);
  const auto q = screen_->shown()[0];
  EXPECT_EQ(q.text, T(63));
  EXPECT_EQ(q.caption, T(89));
  EXPECT_EQ(q.buttons, desktop::Buttons::kYesNo);
  EXPECT_EQ(q.default_answer, desktop::Answer::kNo);
}

TEST_F(InitializeStorageTest, YesLocksDeletesUnlocksAndReadsAgain) {
  screen_->answers.push_back(desktop::Answer::kYes);
  Logic().OnInitializeStorage();
  const std::string mode2 = zelt::crypto::EncodeCredentialMode2("admin00");
  EXPECT_THAT(service_.calls,
              ElementsAre(std::string("Lock ") + kDevA + " mode=1 pwd=" + mode2,
                          std::string("Delete ") + kDevA + " pwd=admin00",
                          std::string("Unlock ") + kDevA + " mode=1 pwd=" + mode2,
                          std::string("List ") + kDevA));
  EXPECT_TRUE(Logic().connected());
  EXPECT_THAT(Logic().link().boxes, IsEmpty());
  EXPECT_FALSE(Logic().link().ui_locked);
  EXPECT_EQ(screen_->shown().size(), 1u);  // only the question
  EXPECT_THAT(view_.log, Contains("status 111"));
  EXPECT_EQ(view_.status.id, 34u);
  EXPECT_EQ(view_.wait_cursor, 0);
}

TEST_F(InitializeStorageTest, ALockLostToTheNetworkDisconnects) {
  service_.devices[kDevA].lock_result = 12029;
  screen_->answers.push_back(desktop::Answer::kYes);
  Logic().OnInitializeStorage();
  EXPECT_EQ(service_.Count("Delete"), 0);
  EXPECT_FALSE(Logic().connected());
  EXPECT_EQ(view_.disconnected, 1);
  ASSERT_TRUE(view_.menu);
  EXPECT_FALSE(view_.menu->initialize_storage);
  EXPECT_EQ(view_.status.id, 34u);
}

TEST_F(InitializeStorageTest, ALockRefusedForAnotherReasonStaysConnected) {
  service_.devices[kDevA].lock_result = 170;  // in use at the panel
  screen_->answers.push_back(desktop::Answer::kYes);
  Logic().OnInitializeStorage();
  EXPECT_EQ(service_.Count("Delete"), 0);
  EXPECT_TRUE(Logic().connected());
  EXPECT_EQ(view_.disconnected, 0);
  EXPECT_EQ(Messages().back(), cZBBoxBRError(170).Text(kDevA, *lang_));
}

TEST_F(InitializeStorageTest, AFailedReleaseIsShown) {
  for (uint32_t delete_result : {0u, 1359u}) {
    SCOPED_TRACE(delete_result);
    service_.devices[kDevA].unlock_result = 1279;
    service_.devices[kDevA].delete_result = delete_result;
    screen_->Clear();
    screen_->answers.push_back(desktop::Answer::kYes);
    Logic().OnInitializeStorage();
    EXPECT_TRUE(Logic().link().ui_locked);
    // The release message names the failed release also after a failed
    // deletion.
    const auto shown = screen_->shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().text, T(118) + "\n" + T(114));
    EXPECT_EQ(shown.back().message.icon, desktop::Icon::kWarning);
    EXPECT_EQ(shown.size(), delete_result ? 3u : 2u);
  }
  // The end of the desktop session releases the device.
  service_.devices[kDevA].unlock_result = 0;
  Logic().OnSessionEnd();
  EXPECT_FALSE(Logic().link().ui_locked);
  EXPECT_FALSE(service_.devices[kDevA].locked);
}

TEST(MenuStateTest, Rules) {
  struct Case {
    Page page;
    bool connected, pending;
    MenuState expected;
  } cases[] = {
      {Page::kBackup, true, false, {false, true, true, false, true, true, true}},
      {Page::kBackup, false, false, {false, true, false, false, true, true, true}},
      {Page::kRestore, true, false, {true, false, false, true, true, true, true}},
      {Page::kRestore, false, false, {true, false, false, false, true, true, true}},
      {Page::kBackup, true, true, {false, false, false, false, false, false, false}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MenuStateFor(c.page, c.connected, c.pending), c.expected)
        << static_cast<int>(c.page) << c.connected << c.pending;
}

TEST_F(MainWindowLogicTest, AutomaticBackupStaysDisabledUntilItExists) {
  Select(kDevA, "Office");
  Device(kDevA, 1);
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  Logic().UpdateMenuState();
  ASSERT_TRUE(view_.menu);
  EXPECT_FALSE(view_.menu->automatic_backup);
  EXPECT_FALSE(view_.menu->backup_data);
  EXPECT_TRUE(view_.menu->restore_data);
}

TEST(DateCheckTest, UpTo18January2038) {
  struct Case {
    uint16_t y, m, d;
    bool ok;
  } cases[] = {{2026, 5, 6, true},   {2038, 1, 18, true}, {2038, 1, 19, false},
               {2038, 2, 1, false},  {2100, 1, 1, false}, {1969, 12, 31, false},
               {2026, 13, 1, false}, {2026, 0, 10, false}};
  for (const Case& c : cases) {
    platform::SystemTime t{};
    t.year = c.y;
    t.month = c.m;
    t.day = c.d;
    EXPECT_EQ(DateAllowsJobs(t), c.ok) << c.y << "-" << c.m << "-" << c.d;
  }
}

TEST_F(MainWindowLogicTest, TheActionButtonChecksTheDateFirst) {
  Select(kDevA, "Office");
  Device(kDevA, 1);
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  view_.page = Page::kRestore;
  Logic().OnActionButton();
  EXPECT_THAT(view_.jobs, ElementsAre(Page::kRestore));

  env_.test_clock().SetUnixTime(2147558400);  // 2038-01-20
  Logic().OnActionButton();
  EXPECT_EQ(view_.jobs.size(), 1u);
  EXPECT_THAT(Messages(), ElementsAre(T(57)));
}

TEST_F(MainWindowLogicTest, SessionEndClosesAndUnregisters) {
  Select(kDevA, "Office");
  Device(kDevA, 1);
  Answer(u"admin00");
  ASSERT_TRUE(Logic().Open());
  service_.ClearCalls();
  Logic().OnSessionEnd();
  // Nothing was locked: nothing to release; the session is closed.
  EXPECT_THAT(service_.calls, ElementsAre(std::string("Close ") + kDevA));
  EXPECT_FALSE(Logic().connected());
  EXPECT_FALSE(Reg().KeyExists(platform::RegRoot::kCurrentUser, kRunningKey));
  EXPECT_FALSE(Logic().flags().main_dialog_launched);
  EXPECT_EQ(prompt_.launch_status.back(), 0);
  // The window's own end afterwards does not repeat it.
  const size_t reports = prompt_.launch_status.size();
  Logic().OnDestroy();
  EXPECT_EQ(prompt_.launch_status.size(), reports);
}

TEST_F(MainWindowLogicTest, HelpOpensThePageOrSaysWhereItBelongs) {
  platform::ScopedTempDir program;
  program_dir_ = program.path();
  const std::string page = program.path() + "/" + T(10001);

  Logic().OnHelp();  // not installed
  EXPECT_THAT(screen_->urls(), IsEmpty());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_THAT(Messages()[0], HasSubstr(page));

  std::filesystem::create_directories(std::filesystem::path(page).parent_path());
  std::ofstream(page) << "<html></html>";
  Logic().OnHelp();
  EXPECT_THAT(screen_->urls(), ElementsAre("file://" + page));
  EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(MainWindowLogicTest, HelpInTheProgramsLanguageWhenThereIsSuch) {
  platform::ScopedTempDir program;
  program_dir_ = program.path();
  std::string error;
  lang_ = desktop::LanguageLibrary::Load("keeperlang", "de", &error);
  ASSERT_TRUE(lang_) << error;
  screen_ = std::make_unique<desktop::FakeScreen>(lang_.get());
  const std::filesystem::path page = program.path() + "/" + T(10001);
  const std::filesystem::path german =
      page.parent_path() / "de" / page.filename();
  std::filesystem::create_directories(german.parent_path());
  std::ofstream(page) << "<html></html>";
  Logic().OnHelp();  // no German pages yet
  std::ofstream(german) << "<html></html>";
  Logic().OnHelp();
  EXPECT_THAT(screen_->urls(), ElementsAre("file://" + page.string(),
                                           "file://" + german.string()));
}

}  // namespace
}  // namespace keeper
