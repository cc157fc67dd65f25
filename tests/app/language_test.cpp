// The language of the dialogs: --lang wins over the desktop's locale, which wins over
// English; and a dialog of the module then shows its texts in that language.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "automation.h"
#include "entry/hrzuser.h"
#include "host_bridge.h"
#include "main_window.h"
#include "messages.h"
#include "options.h"
#include "resources/dialogs/chgpwd_ids.h"
#include "store_location.h"
#include "support/module_host.h"
#include "support/stores.h"
#include "support/temp_dir.h"

namespace hrzhost {
namespace {

using hrzcfg::MessageLanguage;

// Puts English back however a test ends.
struct EnglishAfterwards {
  ~EnglishAfterwards() { hrzcfg::SelectMessageLanguage(MessageLanguage::English); }
};

bool Parse(std::vector<std::string> args, Options* options, std::string* error) {
  args.insert(args.begin(), "hrzhost");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  return ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(HostLanguage, TheOptionWinsOverTheDesktopsLocaleWhichWinsOverEnglish) {
  struct Case {
    std::vector<std::string> args;
    const char* locale;
    MessageLanguage shown;
  };
  const Case cases[] = {
      {{}, "de_DE", MessageLanguage::German},
      {{}, "de_AT", MessageLanguage::German},
      {{}, "en_US", MessageLanguage::English},
      {{}, "fr_FR", MessageLanguage::English},
      {{}, "C", MessageLanguage::English},
      {{"--lang", "en"}, "de_DE", MessageLanguage::English},
      {{"--lang", "de"}, "en_US", MessageLanguage::German},
      {{"--lang", "DE"}, "C", MessageLanguage::German},
  };
  for (const Case& c : cases) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse(c.args, &options, &error)) << error;
    EXPECT_EQ(ShownLanguage(options, c.locale), c.shown)
        << (c.args.empty() ? "" : c.args[1]) << " on " << c.locale;
  }
  struct Refusal {
    std::vector<std::string> args;
    const char* error;
  };
  const Refusal refusals[] = {
      {{"--lang", "fr"}, "--lang takes de or en, not fr"},
      {{"--lang"}, "--lang needs a value"},
  };
  for (const Refusal& r : refusals) {
    Options options;
    std::string error;
    EXPECT_FALSE(Parse(r.args, &options, &error));
    EXPECT_EQ(error, r.error);
  }
}

// The change password dialog, run through the module's entry as hrzhost runs it, after the
// language --lang de chooses.
TEST(HostLanguage, WithLangDeTheChangePasswordDialogSpeaksGerman) {
  hrztest::TempDir folder;
  const std::string store = folder.Path() + "/store.db";
  std::string error;
  ASSERT_TRUE(EnsureStore(store, &error)) << error;
  hrztest::Connection db = hrztest::TryLogon(store, "adm", kFirstStartAdminPassword);
  ASSERT_TRUE(db);
  EnglishAfterwards english;
  struct Case {
    const char* lang;
    const char* caption;
    const char* oldPassword;
    const char* confirm;
    const char* close;
  };
  const Case cases[] = {
      {"de", "Kennwort von adm ändern", "Altes Kennwort", "Bestätigung", "Schließen"},
      {"en", "Change password of adm", "Old password", "Confirm password", "Close"},
  };
  for (const Case& c : cases) {
    Options options;
    ASSERT_TRUE(Parse({"--lang", c.lang}, &options, &error)) << error;
    hrzcfg::SelectMessageLanguage(ShownLanguage(options, "en_US"));
    hrztest::ModuleHost module;
    HostBridge bridge;
    bridge.Attach(HRZCmd, db.get(), nullptr);
    MainWindow window(bridge, "adm", store);
    std::vector<std::string> seen;
    module.user().OnDialog(IDD_CHGPWD, [&seen](hrz::DialogDriver& d) {
      seen = {d.Caption(), d.Text(IDC_CHGPWD_OLD_PWD_LABEL), d.Text(IDC_CHGPWD_CONFIRM_PWD_LABEL),
              d.Text(IDCANCEL)};
      d.Click(IDCANCEL);
    });
    window.RunCommand(*FindHostCommand("XCHGPWD"));
    EXPECT_EQ(seen, (std::vector<std::string>{c.caption, c.oldPassword, c.confirm, c.close}))
        << c.lang;
  }
}

}  // namespace
}  // namespace hrzhost
