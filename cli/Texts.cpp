#include "cli/Texts.h"

#include <QString>
#include <QTranslator>

#include "settings/Language.h"
#include "settings/Paths.h"
#include "io/Translate.h"

namespace pelmora::cli {

namespace {

QTranslator& Translator() {
  static QTranslator translator;
  return translator;
}

}  // namespace

void ChooseLanguage() {
  const std::string language = UserLanguage();
  if (language == "pl") return;
  if (!Translator().load(QStringLiteral("pelmora_%1").arg(QString::fromStdString(language)),
                         QString::fromStdString(TranslationsDir(ExecutableDir()))))
    return;
  // The core's messages (refusals, notes of the readers) in the same language.
  SetTextTranslator([](const char* context, const char* text) {
    const QString t = Translator().translate(context, text);
    return t.isEmpty() ? std::string(text) : t.toStdString();
  });
}

std::string Tr(const char* text) {
  if (Translator().isEmpty()) return text;
  const QString t = Translator().translate("cli", text);
  return t.isEmpty() ? std::string(text) : t.toStdString();
}

}  // namespace pelmora::cli
