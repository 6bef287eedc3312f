// The language the program speaks. Polish is its own: every text in the
// sources is Polish and stays so without a translation. English comes from
// a Qt translation file (translations/pelmora_en.qm beside the programs).
#pragma once

#include <QTranslator>
#include <functional>
#include <string>

namespace pelmora {

class SettingsStore;

// The "Language" setting: empty follows the system, otherwise a language
// code of kLanguages.
inline constexpr const char* kLanguages[] = {"pl", "en"};

// Reads one environment variable; null when it is not set.
using EnvironmentReader = std::function<const char*(const char* name)>;

// The language the system asks for, "pl" or "en": the first entry of
// LANGUAGE that has one (unless the locale is C or POSIX, as gettext does),
// else the locale of LC_ALL, LC_MESSAGES or LANG, the first that is set.
// Polish for any other language: that is the program's own.
std::string SystemLanguage(const EnvironmentReader& env);
// The setting when it names a language, else the system's.
std::string ChooseLanguage(const std::string& setting, const EnvironmentReader& env);
// The setting as stored (empty when missing).
std::string StoredLanguage(const SettingsStore& store);
// The language of this run: the user's own setting, else the system's.
std::string UserLanguage();

// The folder of the translation files: "translations" beside the
// executable, in the build as where it is installed (like Data).
std::string TranslationsDir(const std::string& exeDir);

// The translator of one language, installed on the running
// QCoreApplication while this lives (none for Polish).
class Translations {
 public:
  Translations() = default;
  ~Translations();
  Translations(const Translations&) = delete;
  Translations& operator=(const Translations&) = delete;
  // False when the language's file was not found (the texts stay Polish).
  bool Install(const std::string& language, const std::string& exeDir);
  // The language installed last by any Translations ("pl" before any).
  static std::string Current();

 private:
  void Remove();
  QTranslator own_;
  bool ownIn_ = false;
};

}  // namespace pelmora
