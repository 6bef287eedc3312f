#include <gtest/gtest.h>

#include <map>
#include <string>

#include "TempDir.h"
#include "settings/Language.h"
#include "settings/Settings.h"

namespace pelmora {
namespace {

// An environment of the variables given, nothing else set.
EnvironmentReader Env(std::map<std::string, std::string> vars) {
  return [vars = std::move(vars)](const char* name) -> const char* {
    const auto it = vars.find(name);
    return it == vars.end() ? nullptr : it->second.c_str();
  };
}

TEST(Language, TheLocaleAndTheLanguageListChooseEnglishOnlyWhenTheyAskForIt) {
  // Languages without a translation, and C, keep the program's own Polish.
  for (const char* lang : {"en_US.UTF-8", "en", "pl_PL.UTF-8", "C", "POSIX", "C.UTF-8", "de_DE.UTF-8", "fr_FR", ""})
    EXPECT_EQ(SystemLanguage(Env({{"LANG", lang}})), lang[0] == 'e' ? "en" : "pl") << lang;
  const std::pair<std::map<std::string, std::string>, const char*> cases[] = {
      {{}, "pl"},
      // LC_ALL before LC_MESSAGES before LANG.
      {{{"LC_ALL", "pl_PL.UTF-8"}, {"LC_MESSAGES", "en_GB"}, {"LANG", "en_US"}}, "pl"},
      {{{"LC_MESSAGES", "en_GB.UTF-8"}, {"LANG", "pl_PL"}}, "en"},
      {{{"LC_ALL", ""}, {"LANG", "en_US"}}, "en"},
      // LANGUAGE: its first translated entry, else the locale decides;
      // ignored when the locale is C, as gettext ignores it.
      {{{"LANGUAGE", "de:en:pl"}, {"LANG", "de_DE.UTF-8"}}, "en"},
      {{{"LANGUAGE", "pl:en"}, {"LANG", "en_US.UTF-8"}}, "pl"},
      {{{"LANGUAGE", "en_GB"}, {"LANG", "pl_PL.UTF-8"}}, "en"},
      {{{"LANGUAGE", "de:fr"}, {"LANG", "en_US.UTF-8"}}, "en"},
      {{{"LANGUAGE", "en"}, {"LANG", "C"}}, "pl"},
      {{{"LANGUAGE", "en"}}, "pl"},
  };
  for (const auto& [env, want] : cases) EXPECT_EQ(SystemLanguage(Env(env)), want) << env.size() << " " << want;
}

TEST(Language, SettingOverridesTheSystemAndSurvivesTheStore) {
  const auto english = Env({{"LANG", "en_US.UTF-8"}});
  // A setting of no known language follows the system.
  EXPECT_EQ(std::tuple(ChooseLanguage("pl", english), ChooseLanguage("en", Env({{"LANG", "C"}})), ChooseLanguage("", english),
                       ChooseLanguage("xx", english)),
            std::tuple("pl", "en", "en", "en"));

  testing::TempDir dir;
  const std::string ini = dir.File("Pelmora.ini");
  {
    SettingsStore store(ini);
    EXPECT_EQ(StoredLanguage(store), "");
    CSettings s;
    s.Language = "en";
    ASSERT_TRUE(SaveSettings(store, s));
  }
  SettingsStore store(ini);
  CSettings back;
  LoadSettings(store, back);
  EXPECT_EQ(std::tuple(StoredLanguage(store), back.Language), std::tuple("en", "en"));
}

}  // namespace
}  // namespace pelmora
