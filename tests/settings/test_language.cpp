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

TEST(Language, TheSystemLocaleChoosesEnglishOnlyWhenItAsksForIt) {
  EXPECT_EQ(SystemLanguage(Env({})), "pl");
  // Languages without a translation, and C, keep the program's own Polish.
  for (const char* lang : {"en_US.UTF-8", "en", "pl_PL.UTF-8", "C", "POSIX", "C.UTF-8", "de_DE.UTF-8", "fr_FR", ""})
    EXPECT_EQ(SystemLanguage(Env({{"LANG", lang}})), lang[0] == 'e' ? "en" : "pl") << lang;
  // LC_ALL before LC_MESSAGES before LANG.
  EXPECT_EQ(SystemLanguage(Env({{"LC_ALL", "pl_PL.UTF-8"}, {"LC_MESSAGES", "en_GB"}, {"LANG", "en_US"}})), "pl");
  EXPECT_EQ(SystemLanguage(Env({{"LC_MESSAGES", "en_GB.UTF-8"}, {"LANG", "pl_PL"}})), "en");
  EXPECT_EQ(SystemLanguage(Env({{"LC_ALL", ""}, {"LANG", "en_US"}})), "en");
}

TEST(Language, LanguageListTakesItsFirstTranslatedEntryButNotUnderC) {
  EXPECT_EQ(SystemLanguage(Env({{"LANGUAGE", "de:en:pl"}, {"LANG", "de_DE.UTF-8"}})), "en");
  EXPECT_EQ(SystemLanguage(Env({{"LANGUAGE", "pl:en"}, {"LANG", "en_US.UTF-8"}})), "pl");
  EXPECT_EQ(SystemLanguage(Env({{"LANGUAGE", "en_GB"}, {"LANG", "pl_PL.UTF-8"}})), "en");
  // No translated entry: the locale decides.
  EXPECT_EQ(SystemLanguage(Env({{"LANGUAGE", "de:fr"}, {"LANG", "en_US.UTF-8"}})), "en");
  // gettext ignores LANGUAGE when the locale is C; so does the program.
  EXPECT_EQ(SystemLanguage(Env({{"LANGUAGE", "en"}, {"LANG", "C"}})), "pl");
  EXPECT_EQ(SystemLanguage(Env({{"LANGUAGE", "en"}})), "pl");
}

TEST(Language, SettingOverridesTheSystemAndSurvivesTheStore) {
  const auto english = Env({{"LANG", "en_US.UTF-8"}});
  EXPECT_EQ(ChooseLanguage("pl", english), "pl");
  EXPECT_EQ(ChooseLanguage("en", Env({{"LANG", "C"}})), "en");
  EXPECT_EQ(ChooseLanguage("", english), "en");
  EXPECT_EQ(ChooseLanguage("xx", english), "en");  // a setting of no known language follows the system

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
