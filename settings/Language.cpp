#include "settings/Language.h"

#include <QCoreApplication>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "settings/Settings.h"

namespace pelmora {

namespace {

std::string g_current = "pl";

// "en_GB.UTF-8" -> "en"; empty for C and POSIX.
std::string LanguageOf(std::string_view locale) {
  const std::size_t end = locale.find_first_of("_.@");
  const std::string_view code = locale.substr(0, end);
  if (code == "C" || code == "POSIX") return {};
  return std::string(code);
}

bool Known(const std::string& code) {
  for (const char* k : kLanguages)
    if (code == k) return true;
  return false;
}

std::string Locale(const EnvironmentReader& env) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char* v = env(name); v && *v) return v;
  return {};
}

}  // namespace

std::string SystemLanguage(const EnvironmentReader& env) {
  const std::string locale = Locale(env);
  const std::string own = LanguageOf(locale);
  const char* list = env("LANGUAGE");
  if (list && *list && !own.empty()) {
    std::string_view rest(list);
    while (!rest.empty()) {
      const std::size_t colon = rest.find(':');
      const std::string code = LanguageOf(rest.substr(0, colon));
      if (Known(code)) return code;
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  return Known(own) ? own : std::string("pl");
}

std::string ChooseLanguage(const std::string& setting, const EnvironmentReader& env) {
  return Known(setting) ? setting : SystemLanguage(env);
}

std::string StoredLanguage(const SettingsStore& store) { return store.GetString("Settings", "Language", ""); }

std::string UserLanguage() {
  return ChooseLanguage(StoredLanguage(SettingsStore()), [](const char* name) { return std::getenv(name); });
}

std::string TranslationsDir(const std::string& exeDir) {
  return (std::filesystem::path(exeDir) / "translations").string();
}

Translations::~Translations() { Remove(); }

void Translations::Remove() {
  if (ownIn_) {
    QCoreApplication::removeTranslator(&own_);
    g_current = "pl";
  }
  ownIn_ = false;
}

bool Translations::Install(const std::string& language, const std::string& exeDir) {
  Remove();
  g_current = "pl";
  // Polish needs no file; Qt's own Polish texts are the application's to load.
  if (language == "pl") return true;
  const QString dir = QString::fromStdString(TranslationsDir(exeDir));
  if (!own_.load(QStringLiteral("pelmora_%1").arg(QString::fromStdString(language)), dir)) return false;
  ownIn_ = QCoreApplication::installTranslator(&own_);
  if (ownIn_) g_current = language;
  return ownIn_;
}

std::string Translations::Current() { return g_current; }

}  // namespace pelmora
