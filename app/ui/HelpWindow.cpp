#include "app/ui/HelpWindow.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/ui/AboutBox.h"
#include "app/ui/ChildFrame.h"
#include "app/ui/MainFrame.h"
#include "app/ui/SettingsDialog.h"
#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/ChartView.h"
#include "settings/Language.h"
#include "diffractogram/ui/InfoPseudoVoigt.h"
#include "diffractogram/ui/PatternSaveDialog.h"
#include "editors/ui/AnomalPage.h"
#include "editors/ui/AtomsPage.h"
#include "editors/ui/ExperimentPage.h"
#include "editors/ui/InfoPanel.h"
#include "editors/ui/ReflectionTable.h"
#include "editors/ui/StructureDialog.h"
#include "engine/ui/CalcDialog.h"
#include "measured/ui/CorrelationTable.h"
#include "measured/ui/RefinementDialog.h"
#include "plugins/ui/PluginsDialog.h"
#include "refdata/ui/AnomalTablesDialog.h"
#include "refdata/ui/InstrumentsDialog.h"
#include "refdata/ui/PeriodicTableDialog.h"
#include "refdata/ui/SourcesDialog.h"
#include "viewer3d/ui/ImageSaveDialog.h"
#include "viewer3d/ui/MonitorPanel.h"

namespace pelmora {

namespace {

constexpr const char* kMainTopic = "index.html#main-window";

// The window classes and the sections that describe them. Pages of a
// window come before the window, so that the focus on a page finds its own
// section first.
template <class T>
bool Is(const QWidget* w) {
  return dynamic_cast<const T*>(w) != nullptr;
}
struct TopicRule {
  bool (*matches)(const QWidget*);
  const char* topic;
};
const TopicRule kTopics[] = {
    {Is<CMyPropertyPage1>, "structure.html#atoms"},
    {Is<CMyPropertyPage2>, "structure.html#anomalous"},
    {Is<CTabPage1>, "structure.html#structure-page"},
    {Is<CTabPage2>, "experiment.html#experiment-page"},
    {Is<CTabPage4>, "reflections.html#reflection-table"},
    {Is<CPropBar>, "reflections.html#info-panel"},
    {Is<CAtomTable>, "tables.html#periodic-table"},
    {Is<CAnomalDlg>, "tables.html#anomalous-tables"},
    {Is<CLambdaDlg>, "tables.html#sources"},
    {Is<CAparatDlg>, "tables.html#instruments"},
    {Is<CGLSaveDialog>, "monitor.html#save-picture"},
    {Is<CGLWindow>, "monitor.html#monitor"},
    {Is<CorrelationDialog>, "measured.html#correlations"},
    {Is<RefinementDialog>, "measured.html#refinement"},
    {Is<CPatternSaveDialog>, "printing.html#export"},
    {Is<QPrintPreviewDialog>, "printing.html#print-preview"},
    {Is<InfoPseudoVoigt>, "first.html#profile-info"},
    {Is<CCalcDialog>, "first.html#calculate"},
    {Is<CChartBar>, "first.html#chart-bar"},
    {Is<CDownView>, "first.html#chart"},
    {Is<CSettingsDlg>, "settings.html#settings"},
    {Is<CPluginsDialog>, "settings.html#plugins"},
    {Is<AboutBox>, "index.html"},
    {Is<QFileDialog>, "files.html#open"},
};

// The installed manual's place relative to the installed program, set by
// the build from the install folders.
#ifndef PELMORA_MANUAL_RELATIVE
#define PELMORA_MANUAL_RELATIVE "../../share/doc/pelmora/manual"
#endif

}  // namespace

QString ManualLanguage() {
  // The language the program speaks (its setting, else the system's).
  return Translations::Current() == "en" ? QStringLiteral("en") : QStringLiteral("pl");
}

QString ManualFolder() {
  const QString exe = QCoreApplication::applicationDirPath();
  // Installed: lib/pelmora → share/doc/pelmora/manual; build tree: bin →
  // share/doc/pelmora/manual.
  for (const QString& candidate :
       {exe + QStringLiteral("/" PELMORA_MANUAL_RELATIVE), exe + QStringLiteral("/../share/doc/pelmora/manual")}) {
    if (QFileInfo::exists(candidate + QStringLiteral("/pl/index.html")))
      return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
  }
  return {};
}

QString HelpTopicFor(const QWidget* w) {
  for (; w; w = w->parentWidget())
    for (const TopicRule& rule : kTopics)
      if (rule.matches(w)) return QString::fromLatin1(rule.topic);
  return QString::fromLatin1(kMainTopic);
}

QStringList HelpTopics() {
  QStringList topics{QString::fromLatin1(kMainTopic)};
  for (const TopicRule& rule : kTopics) topics << QString::fromLatin1(rule.topic);
  return topics;
}

// --- the window --------------------------------------------------------------

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("helpWindow"));
  setWindowTitle(QCoreApplication::translate("pelmora::HelpWindow", "Podręcznik"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QToolBar(this);
  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(false);
  QAction* back = bar->addAction(QIcon::fromTheme(QStringLiteral("go-previous"), QIcon(QStringLiteral(":/icons/go-previous.svg"))),
                                 QCoreApplication::translate("pelmora::HelpWindow", "Wstecz"), browser_, &QTextBrowser::backward);
  back->setObjectName(QStringLiteral("helpBack"));
  back->setToolTip(QCoreApplication::translate("pelmora::HelpWindow", "Wstecz (Alt+Strzałka w lewo)"));
  QAction* forward = bar->addAction(QIcon::fromTheme(QStringLiteral("go-next"), QIcon(QStringLiteral(":/icons/go-next.svg"))),
                                    QCoreApplication::translate("pelmora::HelpWindow", "Dalej"), browser_, &QTextBrowser::forward);
  forward->setObjectName(QStringLiteral("helpForward"));
  forward->setToolTip(QCoreApplication::translate("pelmora::HelpWindow", "Dalej (Alt+Strzałka w prawo)"));
  QAction* home = bar->addAction(QCoreApplication::translate("pelmora::HelpWindow", "Spis treści"), this, [this] { ShowTopic(QStringLiteral("index.html")); });
  home->setObjectName(QStringLiteral("helpContents"));
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QCoreApplication::translate("pelmora::HelpWindow", "Podręcznik") : QCoreApplication::translate("pelmora::HelpWindow", "Podręcznik — %1").arg(title));
  });
  layout->addWidget(bar);
  layout->addWidget(browser_);
  resize(920, 720);
}

bool HelpWindow::ShowTopic(const QString& topic) {
  const QString folder = ManualFolder();
  if (folder.isEmpty()) return false;
  const int hash = topic.indexOf(QLatin1Char('#'));
  const QString page = hash < 0 ? topic : topic.left(hash);
  const QString path = folder + QLatin1Char('/') + ManualLanguage() + QLatin1Char('/') + page;
  if (!QFileInfo::exists(path)) return false;
  QUrl url = QUrl::fromLocalFile(path);
  if (hash >= 0) url.setFragment(topic.mid(hash + 1));
  browser_->setSource(url);
  // The same page again does not scroll by itself.
  if (hash >= 0) browser_->scrollToAnchor(url.fragment());
  return true;
}

QString HelpWindow::currentTopic() const {
  const QUrl url = browser_->source();
  const QString page = QFileInfo(url.toLocalFile()).fileName();
  return url.hasFragment() ? page + QLatin1Char('#') + url.fragment() : page;
}

// --- F1 ------------------------------------------------------------------------

HelpKey::HelpKey(QWidget* mainWindow) : QObject(mainWindow), mainWindow_(mainWindow) {
  qApp->installEventFilter(this);
}

HelpWindow* HelpKey::ShowHelp(const QWidget* from) {
  if (!from) from = QApplication::focusWidget();
  if (!from) from = QApplication::activeWindow();
  return ShowTopic(HelpTopicFor(from));
}

HelpWindow* HelpKey::ShowTopic(const QString& topic) {
  // A modal dialog blocks every window but its own: its help is its child.
  HelpWindow* help = nullptr;
  if (QWidget* modal = QApplication::activeModalWidget()) {
    help = modal->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!help) help = new HelpWindow(modal);
  } else {
    if (!help_) help_ = new HelpWindow(mainWindow_);
    help = help_;
  }
  if (!help->ShowTopic(topic)) {
    const QString folder = ManualFolder();
    QMessageBox::critical(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : mainWindow_,
                          QCoreApplication::translate("pelmora::HelpWindow", "Błąd"),
                          folder.isEmpty()
                              ? QCoreApplication::translate("pelmora::HelpWindow", "Nie znaleziono podręcznika obok programu (%1).")
                                    .arg(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()))
                              : QCoreApplication::translate("pelmora::HelpWindow", "W podręczniku brak strony %1.").arg(topic));
    return nullptr;
  }
  help->show();
  help->raise();
  help->activateWindow();
  return help;
}

bool HelpKey::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(e);
  if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || !watched->isWidgetType()) return false;
  auto* w = static_cast<QWidget*>(watched);
  // In the help window itself F1 has nothing more to show.
  if (qobject_cast<HelpWindow*>(w->window())) return false;
  e->accept();
  ShowHelp(w);
  return true;
}

}  // namespace pelmora
