#include "finder/settings_dialog.h"

#include <deque>

#include <gtest/gtest.h>

#include "desktop/testing/fake_screen.h"
#include "desktop/testing/map_texts.h"
#include "finder/texts.h"
#include "platform/registry.h"
#include "platform/testing/fake_env.h"

namespace finder {
namespace {

constexpr char kKey[] = "Software\\TALLIS\\Corvane TALLIS Client\\BRD";

// The window as the logic sees it: the view it was last told to show.
class RecordingWindow : public SettingsWindow {
 public:
  void Show(const SettingsView& view) override { shown = view; }
  void FocusCommunity() override { ++community_focus; }
  SettingsView shown;
  int community_focus = 0;
};

class SettingsDialogTest : public ::testing::Test {
 protected:
  SettingsDialogTest() : use_(&env_) {}

  StoreContext Context() {
    StoreContext c;
    c.module_type = "ZELT";
    c.settings_key = kKey;
    return c;
  }
  std::unique_ptr<SettingsDialogLogic> Open(bool v3_allowed = true,
                                            bool community = true,
                                            const char* library = "idfile") {
    auto logic = std::make_unique<SettingsDialogLogic>(
        -1, v3_allowed, community, CSNMPRegistry(Context()),
        IdFileLibrary(library), texts_, window_, screen_);
    logic->Init();
    return logic;
  }
  std::optional<platform::RegValue> Value(const char* name) {
    return env_.registry().GetValue(platform::RegRoot::kCurrentUser, kKey, name);
  }
  std::string ActiveIdFile() { return CSNMPRegistry(Context()).active_id_file(); }

  // The errors shown, as (text, caption) numbers or literal texts.
  std::vector<std::pair<uint32_t, uint32_t>> Errors() const {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const auto& s : screen_.shown())
      if (s.message.text.id) out.push_back({s.message.text.id, s.message.caption.id});
    return out;
  }
  std::vector<std::string> LiteralErrors() const {
    std::vector<std::string> out;
    for (const auto& s : screen_.shown())
      if (!s.message.text.id)
        out.push_back(s.message.text.text + "|" + s.message.caption.text);
    return out;
  }

  platform::FakeEnv env_;
  platform::ScopedEnv use_;
  desktop::MapTexts texts_{{{13016, "ID Files (*.id)"}}};
  RecordingWindow window_;
  desktop::FakeScreen screen_{&texts_};
};

TEST_F(SettingsDialogTest, OpensWithDefaultsWhenNothingIsStored) {
  auto d = Open();
  const SettingsView& v = window_.shown;
  EXPECT_EQ(v.version_index, 0);
  EXPECT_EQ(v.community, "public");
  EXPECT_TRUE(v.v3_radios_enabled);
  EXPECT_FALSE(v.options_enabled || v.id_file_enabled || v.credentials_enabled);
  EXPECT_TRUE(v.ok_enabled);
  EXPECT_TRUE(v.community_enabled);
}

TEST_F(SettingsDialogTest, StoredVersionsOpenAtTheirRadio) {
  struct Case {
    uint32_t stored;
    bool allowed;
    int index;
    bool keeps_id_file;
  } cases[] = {{2, true, 0, true},  {0, true, 0, true},  {3, true, 1, true},
               {13, true, 2, true}, {13, false, 0, false}};
  for (const Case& c : cases) {
    auto& reg = env_.registry();
    reg.SetValue(platform::RegRoot::kCurrentUser, kKey, "SNMPVersion",
                 platform::RegValue::Dword(c.stored));
    reg.SetValue(platform::RegRoot::kCurrentUser, kKey, "IDFilePath",
                 platform::RegValue::String("/x/a.id"));
    auto d = Open(c.allowed);
    EXPECT_EQ(window_.shown.version_index, c.index) << c.stored;
    // The typed-credentials option stands when an ID file path is stored.
    EXPECT_EQ(window_.shown.option, c.keeps_id_file ? 1 : 0) << c.stored;
    EXPECT_EQ(window_.shown.v3_radios_enabled, c.allowed);
  }
}

TEST_F(SettingsDialogTest, TypingKeepsSevenBitAsciiAndThirtyOneCharacters) {
  auto d = Open();
  d->SetVersionIndex(1);
  d->SetOption(1);
  d->EditUser("r\xC3\xA9" "ne");  // "réne"
  EXPECT_EQ(window_.shown.user, "rne");
  d->EditAuthPassword("p\xE2\x82\xAC" "ss");
  EXPECT_EQ(window_.shown.auth_password, "pss");
  d->EditCommunity(std::string(32, 'c'));
  EXPECT_EQ(window_.shown.community.size(), 31u);
}

TEST_F(SettingsDialogTest, ControlStatesFollowVersionOptionAndPrivacy) {
  auto d = Open();
  d->SetVersionIndex(1);
  EXPECT_TRUE(window_.shown.options_enabled);
  EXPECT_TRUE(window_.shown.id_file_enabled);
  EXPECT_FALSE(window_.shown.credentials_enabled);
  EXPECT_FALSE(window_.shown.ok_enabled);  // no ID file chosen yet
  EXPECT_FALSE(window_.shown.community_enabled);  // "V3" has no community

  d->SetOption(1);
  EXPECT_FALSE(window_.shown.id_file_enabled);
  EXPECT_TRUE(window_.shown.credentials_enabled);
  EXPECT_FALSE(window_.shown.priv_password_enabled);  // privacy index 0
  d->EditUser("authonly");
  EXPECT_FALSE(window_.shown.ok_enabled);
  d->EditAuthPassword("authpass123");
  EXPECT_TRUE(window_.shown.ok_enabled);  // no privacy password needed
  d->SetPrivIndex(2);
  EXPECT_TRUE(window_.shown.priv_password_enabled);
  EXPECT_FALSE(window_.shown.ok_enabled);
  d->EditPrivPassword("privpass123");
  EXPECT_TRUE(window_.shown.ok_enabled);
  d->SetPrivIndex(0);
  EXPECT_EQ(window_.shown.priv_password, "");  // emptied
  EXPECT_TRUE(window_.shown.ok_enabled);

  d->SetVersionIndex(2);
  EXPECT_TRUE(window_.shown.community_enabled);
}

TEST_F(SettingsDialogTest, LeadingSpaceCommunityIsRefusedUnlessV3) {
  auto d = Open();
  d->EditCommunity(" public");
  EXPECT_FALSE(d->Ok());
  EXPECT_EQ(Errors(), (std::vector<std::pair<uint32_t, uint32_t>>{{264, 263}}));
  EXPECT_EQ(window_.community_focus, 1);
  EXPECT_FALSE(Value("SNMPVersion"));  // nothing written

  // With "V3" the community does not count.
  d->SetVersionIndex(1);
  d->SetOption(1);
  d->EditUser("authonly");
  d->EditAuthPassword("authpass123");
  EXPECT_TRUE(d->Ok());
  EXPECT_EQ(Value("SNMPVersion"), platform::RegValue::Dword(3));
  EXPECT_FALSE(Value("SNMPCommunityName"));
}

TEST_F(SettingsDialogTest, OkWithTypedCredentialsWritesTheIdFile) {
  auto d = Open();
  d->EditCommunity("lab");
  d->SetVersionIndex(2);
  d->SetOption(1);
  d->EditUser("authpriv");
  d->SetAuthIndex(1);
  d->SetPrivIndex(2);
  d->EditAuthPassword("authpass123");
  d->EditPrivPassword("privpass123");
  ASSERT_TRUE(d->Ok());
  EXPECT_EQ(Value("SNMPVersion"), platform::RegValue::Dword(13));
  EXPECT_EQ(Value("IDFilePath"), platform::RegValue::String(ActiveIdFile()));
  EXPECT_EQ(Value("SNMPCommunityName"), platform::RegValue::String("lab"));
  auto c = IdFileLibrary("idfile").Decrypt(ActiveIdFile());
  ASSERT_TRUE(c);
  EXPECT_EQ(*c, (V3Credentials{"MFP", "authpriv", "authpass123", "privpass123", 2, 4}));
  // The first save also made the backup.
  CSNMPRegistry store(Context());
  EXPECT_EQ(platform::ReadTestFile(store.backup_id_file()),
            platform::ReadTestFile(ActiveIdFile()));

  // Opened again, the settings read back.
  auto again = Open();
  EXPECT_EQ(window_.shown.version_index, 2);
  EXPECT_EQ(window_.shown.community, "lab");
  EXPECT_EQ(window_.shown.option, 1);
}

TEST_F(SettingsDialogTest, BrowseTriesTheFileAndOkCopiesIt) {
  std::string chosen = env_.root() + "/chosen.id";
  ASSERT_TRUE(IdFileLibrary("idfile").Encrypt(
      chosen, {"MFP", "authonly", "authpass123", "", 2, 1}));
  std::string junk = env_.root() + "/junk.id";
  platform::WriteTestFile(junk, "not an id file");

  auto d = Open();
  d->SetVersionIndex(1);
  screen_.files = {junk, std::nullopt, chosen};
  d->Browse();
  EXPECT_EQ(Errors(), (std::vector<std::pair<uint32_t, uint32_t>>{{206, 46}}));
  // The file dialog asked for ID files.
  ASSERT_EQ(screen_.file_requests().size(), 1u);
  EXPECT_EQ(screen_.file_requests()[0].filter, "ID Files (*.id)");
  EXPECT_EQ(screen_.file_requests()[0].default_suffix, "id");
  EXPECT_FALSE(screen_.file_requests()[0].save);
  EXPECT_FALSE(window_.shown.ok_enabled);
  d->Browse();  // cancelled: nothing changes
  EXPECT_EQ(window_.shown.id_file, junk);
  d->Browse();
  EXPECT_TRUE(window_.shown.ok_enabled);
  EXPECT_EQ(window_.shown.id_file, chosen);
  ASSERT_TRUE(d->Ok());
  EXPECT_EQ(Value("LastSelectedIDFilePath"), platform::RegValue::String(chosen));
  EXPECT_EQ(Value("IDFilePath"), platform::RegValue::String(ActiveIdFile()));
  EXPECT_EQ(platform::ReadTestFile(ActiveIdFile()), platform::ReadTestFile(chosen));
}

TEST_F(SettingsDialogTest, FailuresKeepTheDialogOpen) {
  // An ID-file library that cannot be loaded: the typed credentials
  // cannot become a file.
  auto d = Open(true, true, "no-such-idfile-library");
  d->SetVersionIndex(1);
  d->SetOption(1);
  d->EditUser("u");
  d->EditAuthPassword("authpass123");
  EXPECT_FALSE(d->Ok());
  EXPECT_EQ(LiteralErrors(),
            std::vector<std::string>{"Unable to Generate IDFIle|Error"});
  // The path never names a file that was not written.
  EXPECT_EQ(Value("IDFilePath"), platform::RegValue::String(""));
}

TEST_F(SettingsDialogTest, RestoreDefault) {
  auto d = Open();
  d->SetVersionIndex(2);
  d->SetOption(1);
  d->EditUser("x");
  d->SetPrivIndex(1);
  d->EditCommunity("other");
  d->RestoreDefault();
  const SettingsView& v = window_.shown;
  EXPECT_EQ(v.version_index, 0);
  EXPECT_EQ(v.option, 0);
  EXPECT_EQ(v.user, "");
  EXPECT_EQ(v.priv_index, 0);
  EXPECT_EQ(v.community, "public");
}

}  // namespace
}  // namespace finder
