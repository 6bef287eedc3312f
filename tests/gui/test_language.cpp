// The program in English: windows built after the English translation is
// installed speak it (menus, commands, panels, the core's refusals), the
// Polish texts come back without it, and "Ustawienia" keep the choice.
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>

#include "app/ui/SettingsDialog.h"
#include "editors/ui/InfoPanel.h"
#include "engine/Validation.h"
#include "io/Translate.h"
#include "settings/Language.h"
#include "settings/Paths.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

QStringList MenuTitles(CMainFrame& frame) {
  QStringList titles;
  for (QAction* a : frame.menuBar()->actions()) titles << a->text();
  return titles;
}

bool HasLabel(QWidget* w, const QString& text) {
  for (QLabel* l : w->findChildren<QLabel*>())
    if (l->text() == text) return true;
  return false;
}

std::string CoreTranslator(const char* context, const char* text) {
  return QCoreApplication::translate(context, text).toStdString();
}

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void windowsSpeakTheLanguageInstalledBeforeThem() {
    ExperimentParams bad;
    bad.difradius = 0;
    {
      Translations english;
      QVERIFY2(english.Install("en", ExecutableDir()), TranslationsDir(ExecutableDir()).c_str());
      QCOMPARE(Translations::Current(), std::string("en"));
      SetTextTranslator(CoreTranslator);
      testing::AppRun t;
      QVERIFY(t.Start({}, false));
      CMainFrame& frame = *t.f;
      frame.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
      // The menus (their own texts and the command table's) and a panel.
      const QStringList titles = MenuTitles(frame);
      QVERIFY2(titles.contains("&File") && titles.contains("Experiment") && titles.contains("&Help"),
               qPrintable(titles.join('|')));
      QCOMPARE(frame.action(cmd::kCalculate)->text(), QStringLiteral("Calculate Pattern\tCtrl + Enter"));
      QCOMPARE(frame.action(cmd::kCalculate)->statusTip(), QStringLiteral("Calculate the diffraction pattern"));
      QVERIFY(HasLabel(frame.infoPanel(), QStringLiteral("Cell type:")));
      // A refusal made in the core reads in English too.
      const std::string why = CheckExperimentValue(bad, ExperimentValue::DifRadius);
      QVERIFY2(why.rfind("Invalid value: diffractometer radius (difradius) = 0 mm;", 0) == 0, why.c_str());
      t.Finish();
      SetTextTranslator(nullptr);
    }
    // Without the translation the texts are the program's own again.
    QCOMPARE(Translations::Current(), std::string("pl"));
    testing::AppRun t;
    QVERIFY(t.Start({}, false));
    QVERIFY(MenuTitles(*t.f).contains("&Plik"));
    QCOMPARE(t.f->action(cmd::kCalculate)->text(), QStringLiteral("Licz dyfraktogram\tCtrl + Enter"));
    QVERIFY(CheckExperimentValue(bad, ExperimentValue::DifRadius).rfind("Nieprawidłowa wartość: promień", 0) == 0);
  }

  void settingsDialogKeepsTheChoice() {
    CSettings s;
    s.Language = "en";
    CSettingsDlg dlg(s);
    QComboBox* language = dlg.language();
    QCOMPARE(language->count(), 3);
    QCOMPARE(language->currentText(), QStringLiteral("English"));
    language->setCurrentIndex(1);
    dlg.accept();
    QCOMPARE(s.Language, std::string("pl"));
    CSettingsDlg again(s);
    again.language()->setCurrentIndex(0);
    again.accept();
    QCOMPARE(s.Language, std::string());
    // An unknown stored value shows as the system's choice and is kept until changed.
    s.Language = "xx";
    CSettingsDlg unknown(s);
    QCOMPARE(unknown.language()->currentIndex(), 0);
  }
};

static testing::TestClass<LanguageTest> registered;

#include "test_language.moc"
