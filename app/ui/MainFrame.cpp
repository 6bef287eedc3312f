#include "app/ui/MainFrame.h"

#include <functional>
#include <utility>
#include <vector>

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include "app/ui/AboutBox.h"
#include "documents/CifExport.h"
#include "documents/StructureFile.h"
#include "io/AtomicFile.h"
#include "app/ui/Commands.h"
#include "app/ui/HelpWindow.h"
#include "documents/ui/CifBlocksDialog.h"
#include "documents/ui/KomorkaDocument.h"
#include "app/ui/PatternCommands.h"
#include "app/ui/PelmorApp.h"
#include "app/ui/SettingsDialog.h"
#include "app/ui/ViewerPanel.h"
#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/ChartPrinting.h"
#include "diffractogram/ui/ChartView.h"
#include "diffractogram/ui/InfoPseudoVoigt.h"
#include "diffractogram/ui/PatternSaveDialog.h"
#include "diffractogram/PatternRun.h"
#include "editors/ui/StructureDialog.h"
#include "refdata/ui/PeriodicTableDialog.h"
#include "plugins/ui/PluginsDialog.h"
#include "refdata/ReferenceData.h"
#include "refdata/ui/AnomalTablesDialog.h"
#include "editors/ui/AnomalForSource.h"
#include "refdata/ui/UnsavedTables.h"
#include "editors/ui/ExperimentPage.h"
#include "editors/ui/InfoPanel.h"
#include "editors/ui/ReflectionTable.h"
#include "engine/ui/CalcDialog.h"

namespace pelmora {

namespace {

constexpr const char* kRecentSection = "Recent File List";
constexpr const char* kDockSection = "mfDockState";
constexpr int kRecentCount = 4;

QString U(const char* s) { return QString::fromUtf8(s); }
QString Tr(const char* s) { return QCoreApplication::translate("Commands", s); }

// Standard commands take the desktop theme's icon; ours stands in when the
// theme has none, and for everything the theme does not name.
QIcon CommandIcon(const char* name) {
  static const char* themed[] = {"document-new", "document-open", "document-save", "document-print",
                                 "help-about", "zoom-in", "zoom-out"};
  const QIcon own(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
  for (const char* t : themed)
    if (qstrcmp(t, name) == 0) return QIcon::fromTheme(QLatin1String(name), own);
  return own;
}

}  // namespace

// --- main frame ----------------------------------------------------------------

CMainFrame::CMainFrame(CPelmorApp& app, QWidget* parent) : QMainWindow(parent), app_(app) {
  setWindowTitle(QStringLiteral("Pelmora"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/pelmora.svg")));
  mdi_ = new QMdiArea(this);
  mdi_->setBackground(QColor(0x8a, 0x93, 0x9e));
  setCentralWidget(mdi_);
  setAcceptDrops(true);  // dropped files open
  connect(mdi_, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);

  CreateActions();
  CreateToolBars();
  CreateStatusBar();
  CreateEditors();
  glWindow_ = CreateViewerPanel(*this, app_, hub_, action(cmd::kViewMonitor));
  BuildMenus(false);
  RestoreLayout();

  QSize size(1180, 800);
  if (const QScreen* screen = QApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size() * 0.92);
  resize(size);
  RefreshCommandState();
}

CMainFrame::~CMainFrame() {
  // The documents go while the frame is still whole: none of their last
  // signals may reach a half-destroyed frame.
  disconnect(mdi_, nullptr, this, nullptr);
  for (CChildFrame* f : frames()) {
    f->view()->waitForRendering();
    f->disconnect(this);
  }
  delete mdi_;
}

QAction* CMainFrame::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::CreateActions() {
  for (int i = 0; i < kCommandCount; ++i) {
    const CommandInfo& c = kCommands[i];
    auto* a = new QAction(Tr(c.text), this);
    a->setData(c.id);
    if (*c.shortcut) a->setShortcut(QKeySequence(U(c.shortcut)));
    a->setStatusTip(Tr(c.prompt));
    if (*c.tooltip) a->setToolTip(Tr(c.tooltip));
    if (*c.icon) a->setIcon(CommandIcon(c.icon));
    a->setCheckable(c.checkable);
    a->setIconVisibleInMenu(false);
    actions_[c.id] = a;
  }
  // Ctrl+Enter on either Enter key.
  action(cmd::kCalculate)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});

  ConnectFileActions();
  ConnectEditActions();
  CreateWindowActions();
  ConnectCalculationActions();
  CreateAxisActions();
  ConnectToolActions();
  ConnectChartActions();
}

// "Plik": new, open, close, save, export, print, exit.
void CMainFrame::ConnectFileActions() {
  connect(action(cmd::kNew), &QAction::triggered, this, [this] { NewDocument(); });
  connect(action(cmd::kOpen), &QAction::triggered, this, &CMainFrame::OpenFile);
  connect(action(cmd::kClose), &QAction::triggered, mdi_, &QMdiArea::closeActiveSubWindow);
  connect(action(cmd::kSave), &QAction::triggered, this, [this] {
    if (auto* d = activeDocument()) SaveDocument(d, false);
  });
  connect(action(cmd::kSaveAs), &QAction::triggered, this, [this] {
    if (auto* d = activeDocument()) SaveDocument(d, true);
  });
  connect(action(cmd::kExportText), &QAction::triggered, this, &CMainFrame::ExportText);
  for (int id : {cmd::kExportPicture, cmd::kPrint, cmd::kPrintDirect, cmd::kPrintPreview, cmd::kPrintSetup})
    connect(action(id), &QAction::triggered, this, [this, id] { RunPrintCommand(id); });
  connect(action(cmd::kExit), &QAction::triggered, this, &QWidget::close);
}

// The calculation and the measurement shown over the chart.
void CMainFrame::ConnectCalculationActions() {
  connect(action(cmd::kCalculate), &QAction::triggered, this, [this] { Calculate(); });
  connect(action(cmd::kOpenMeasured), &QAction::triggered, this, [this] { OpenMeasurement(); });
  connect(action(cmd::kCloseMeasured), &QAction::triggered, this, [this] {
    if (CDownView* v = activeView()) {
      v->setLayer(nullptr);
      if (!v->document()->doc().measuredPath.empty()) {
        v->document()->doc().measuredPath.clear();
        v->document()->NotifyMeasuredChanged();
      }
    }
    RefreshCommandState();
  });
  connect(action(cmd::kFitMeasured), &QAction::triggered, this, &CMainFrame::FitMeasurement);
}

void CMainFrame::CreateAxisActions() {
  // One abscissa per chart; the menu shows the active chart's.
  auto* group = new QActionGroup(this);
  const QString labels[] = {tr("2θ [st.]"), QStringLiteral("d [Å]"), QStringLiteral("Q [Å⁻¹]")};
  const QString tips[] = {tr("Oś kątów w stopniach 2θ"),
                          tr("Oś kątów jako odległość międzypłaszczyznowa d dla pierwszej długości fali"),
                          tr("Oś kątów jako wektor rozpraszania Q = 4π sin θ / λ")};
  for (int i = 0; i < 3; ++i) {
    auto* a = new QAction(labels[i], group);
    a->setCheckable(true);
    a->setStatusTip(tips[i]);
    xAxisActions_[i] = a;
    connect(a, &QAction::triggered, this, [this, i] {
      if (CDownView* v = activeView()) v->setXAxis(static_cast<XAxisUnit>(i));
    });
  }
  xAxisActions_[0]->setChecked(true);
}

// Plug-ins, settings, the about box and the anomalous tables.
void CMainFrame::ConnectToolActions() {
  connect(action(cmd::kPlugins), &QAction::triggered, this, &CMainFrame::ShowPlugins);
  connect(action(cmd::kSettings), &QAction::triggered, this, &CMainFrame::ShowSettings);
  connect(action(cmd::kAbout), &QAction::triggered, this, &CMainFrame::ShowAbout);
  helpKey_ = new HelpKey(this);
  connect(action(cmd::kManual), &QAction::triggered, this, [this] { helpKey_->ShowTopic(QStringLiteral("index.html")); });
  connect(action(cmd::kAnomalTables), &QAction::triggered, this, [this] {
    CAnomalDlg dlg(app_.reference(), this);
    dlg.exec();
    // Tables added or renamed there are offered on the structure page at once.
    structurePage_->anomalPage()->ReloadTables();
  });
}

// The chart: reflection ticks, descriptions, the zoom modes and steps.
void CMainFrame::ConnectChartActions() {
  for (int id = cmd::kTicksFirst; id <= cmd::kTicksLast; ++id)
    connect(action(id), &QAction::triggered, this, [this] {
      CDownView* v = activeView();
      if (!v) return;
      TickFlags t;
      for (int k = 0; k < 6; ++k) t[k] = action(cmd::kTicksFirst + k)->isChecked();
      v->setTicks(t);
    });
  connect(action(cmd::kDescriptions), &QAction::triggered, this, [this] {
    if (auto* v = activeView()) v->toggleDescriptions();
    RefreshCommandState();
  });
  connect(action(cmd::kDescKa1), &QAction::triggered, this, [this] {
    if (auto* v = activeView()) v->toggleKa1();
    RefreshCommandState();
  });
  connect(action(cmd::kDescKa2), &QAction::triggered, this, [this] {
    if (auto* v = activeView()) v->toggleKa2();
    RefreshCommandState();
  });
  connect(action(cmd::kModeArea), &QAction::triggered, this, [this] { SetMode(mode_ == 3 ? 0 : 3); });
  connect(action(cmd::kModeStretchX), &QAction::triggered, this, [this] { SetMode(mode_ == 1 ? 0 : 1); });
  connect(action(cmd::kModeStretchY), &QAction::triggered, this, [this] { SetMode(mode_ == 2 ? 0 : 2); });
  for (int i = 0; i < kZoomBarLayoutCount; ++i) {
    const int id = kZoomBarLayout[i];
    if (id == 0 || id == cmd::kModeArea || id == cmd::kModeStretchX || id == cmd::kModeStretchY) continue;
    connect(action(id), &QAction::triggered, this, [this, id] { RunZoom(id); });
  }
}

// "Okno": arrangement, and the next and previous document.
void CMainFrame::CreateWindowActions() {
  connect(action(cmd::kWindowCascade), &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
  connect(action(cmd::kWindowTile), &QAction::triggered, mdi_, &QMdiArea::tileSubWindows);
  // While one document fills the area the others are reached from the
  // keyboard as in every MDI program.
  nextWindow_ = new QAction(tr("&Następne okno"), this);
  nextWindow_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_Tab)});
  nextWindow_->setStatusTip(tr("Przejdź do następnego okna struktury"));
  connect(nextWindow_, &QAction::triggered, mdi_, &QMdiArea::activateNextSubWindow);
  previousWindow_ = new QAction(tr("&Poprzednie okno"), this);
  previousWindow_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)});
  previousWindow_->setStatusTip(tr("Przejdź do poprzedniego okna struktury"));
  connect(previousWindow_, &QAction::triggered, mdi_, &QMdiArea::activatePreviousSubWindow);
}

void CMainFrame::CreateToolBars() {
  standardBar_ = new QToolBar(tr("Standardowy"), this);
  standardBar_->setObjectName(QStringLiteral("StandardBar"));
  for (int id : std::initializer_list<int>{cmd::kNew, cmd::kOpen, cmd::kSave, 0, cmd::kPrint, 0, cmd::kCalculate, 0, cmd::kExportText, cmd::kExportPicture, 0, cmd::kAbout}) {
    if (id == 0) standardBar_->addSeparator();
    else standardBar_->addAction(action(id));
  }
  addToolBar(Qt::TopToolBarArea, standardBar_);

  zoomBar_ = new QToolBar(tr("Powiększenie"), this);
  zoomBar_->setObjectName(QStringLiteral("ZoomBar"));
  for (int i = 0; i < kZoomBarLayoutCount; ++i) {
    if (kZoomBarLayout[i] == 0) zoomBar_->addSeparator();
    else zoomBar_->addAction(action(kZoomBarLayout[i]));
  }
  addToolBar(Qt::TopToolBarArea, zoomBar_);

  chartBar_ = new CChartBar(this);
  for (int id = cmd::kTicksFirst; id <= cmd::kTicksLast; ++id) chartBar_->addAction(action(id));
  chartBar_->addSeparator();
  for (int id : {cmd::kDescriptions, cmd::kDescKa1, cmd::kDescKa2}) chartBar_->addAction(action(id));
  chartBar_->addSeparator();
  chartBar_->addWidget(chartBar_->profiles());
  chartBar_->addAction(chartBar_->settingsButton());
  chartBar_->addAction(chartBar_->infoButton());
  std::vector<std::pair<QString, int>> profiles;
  for (const ProfileChoice& c : app_.profiles()) profiles.emplace_back(QString::fromStdString(c.label), c.id);
  chartBar_->FillProfiles(profiles, QString::fromStdString(app_.settings().PeakProfile));
  connect(chartBar_->infoButton(), &QAction::triggered, this, &CMainFrame::ShowProfileInfo);
  connect(chartBar_, &CChartBar::profileChosen, this, [this](const QString& label, int) {
    app_.settings().PeakProfile = label.toStdString();
    RedrawWithProfile();
    RefreshCommandState();
  });
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, chartBar_);

  for (auto [bar, id] : {std::pair<QToolBar*, int>{standardBar_, cmd::kViewToolbar},
                         {chartBar_, cmd::kViewChartBar},
                         {zoomBar_, cmd::kViewZoomBar}}) {
    QAction* a = action(id);
    a->setChecked(true);
    connect(a, &QAction::triggered, bar, &QWidget::setVisible);
    connect(bar, &QToolBar::visibilityChanged, a, &QAction::setChecked);
  }
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  panes_[0] = new QLabel(bar);
  panes_[0]->setMinimumWidth(150);
  panes_[1] = new QLabel(bar);
  panes_[1]->setMinimumWidth(300);
  panes_[1]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  panes_[2] = new QLabel(bar);
  panes_[2]->setFixedWidth(10);
  for (QLabel* l : panes_) bar->addPermanentWidget(l);
  // The message pane falls back to the idle prompt.
  connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& text) {
    if (text.isEmpty()) bar->showMessage(tr("Gotowy"));
  });
  bar->showMessage(tr("Gotowy"));
  QAction* a = action(cmd::kViewStatusBar);
  a->setChecked(true);
  connect(a, &QAction::triggered, bar, &QWidget::setVisible);
}

void CMainFrame::BuildMenus(bool withDocument) {
  documentMenu_ = withDocument;
  QMenuBar* bar = menuBar();
  bar->clear();
  QMenu* file = bar->addMenu(tr("&Plik"));
  file->addAction(action(cmd::kNew));
  file->addAction(action(cmd::kOpen));
  if (withDocument) {
    file->addAction(action(cmd::kClose));
    file->addAction(action(cmd::kSave));
    file->addAction(action(cmd::kSaveAs));
    file->addSeparator();
    file->addAction(action(cmd::kPrint));
    file->addAction(action(cmd::kPrintPreview));
  }
  // Without a document the same command reads "drukowania".
  action(cmd::kPrintSetup)->setText(withDocument ? tr("&Ustawienia drukarki...")
                                                 : tr("&Ustawienia drukowania..."));
  file->addAction(action(cmd::kPrintSetup));
  if (withDocument) {
    QMenu* exp = file->addMenu(tr("Eksportuj dyfraktogram"));
    exp->addAction(action(cmd::kExportText));
    exp->addAction(action(cmd::kExportPicture));
    file->addSeparator();
    file->addAction(action(cmd::kOpenMeasured));
    file->addAction(action(cmd::kCloseMeasured));
  }
  file->addSeparator();
  recentMenu_ = file->addMenu(tr("Ostatnio otwarte"));
  RebuildRecentMenu();
  file->addSeparator();
  QAction* exit = action(cmd::kExit);
  exit->setText(withDocument ? tr("&Wyjście") : tr("&Wyjście\tCtrl+X"));
  file->addAction(exit);

  if (withDocument) {
    QMenu* edit = bar->addMenu(tr("&Edycja"));
    edit->addAction(action(cmd::kUndo));
    edit->addAction(action(cmd::kRedo));
  }
  if (withDocument) {
    QMenu* exp = bar->addMenu(tr("Eksperyment"));
    exp->addAction(action(cmd::kStructurePage));
    exp->addAction(action(cmd::kExperimentPage));
    exp->addAction(action(cmd::kCalculate));
    exp->addAction(action(cmd::kReflectionTable));
    exp->addSeparator();
    exp->addAction(action(cmd::kFitMeasured));
  }
  QMenu* tables = bar->addMenu(tr("Tablice"));
  tables->addAction(action(cmd::kAtomTable));
  tables->addAction(action(cmd::kAnomalTables));
  QMenu* options = bar->addMenu(withDocument ? tr("Ustawienia") : tr("Opcje"));
  options->addAction(action(cmd::kPlugins));
  options->addAction(action(cmd::kSettings));

  QMenu* view = bar->addMenu(tr("&Widok"));
  for (int id : {cmd::kViewToolbar, cmd::kViewStatusBar, cmd::kViewChartBar, cmd::kViewZoomBar, cmd::kViewMonitor})
    view->addAction(action(id));
  view->addAction(action(cmd::kViewInfo));
  view->addSeparator();
  QMenu* axis = view->addMenu(tr("Oś kątów"));
  for (QAction* a : xAxisActions_) axis->addAction(a);
  windowMenu_ = nullptr;
  if (withDocument) {
    windowMenu_ = bar->addMenu(tr("&Okno"));
    connect(windowMenu_, &QMenu::aboutToShow, this, &CMainFrame::RebuildWindowMenu);
    RebuildWindowMenu();
  }
  QMenu* help = bar->addMenu(tr("&Pomoc"));
  help->addAction(action(cmd::kManual));
  help->addSeparator();
  help->addAction(action(cmd::kAbout));
}

// The editor windows and the info panel work on whichever document is
// active; the hub tells them which.
void CMainFrame::CreateEditors() {
  infoPanel_ = new CPropBar(hub_, this);
  addDockWidget(Qt::RightDockWidgetArea, infoPanel_);
  infoPanel_->setFloating(true);
  infoPanel_->move(pos() + QPoint(400, 200));
  infoPanel_->resize(340, 420);
  infoPanel_->hide();
  QAction* info = action(cmd::kViewInfo);
  connect(info, &QAction::triggered, infoPanel_, &QWidget::setVisible);
  connect(infoPanel_, &QDockWidget::visibilityChanged, info, [this, info] { info->setChecked(infoPanel_->isVisible()); });

  experimentPage_ = new CTabPage2(app_.reference(), app_.settings(), app_.store(), hub_, this);
  connect(action(cmd::kExperimentPage), &QAction::triggered, this, [this] { ShowWindow(experimentPage_); });
  reflectionTable_ = new CTabPage4(hub_, this);
  connect(action(cmd::kReflectionTable), &QAction::triggered, this, [this] { ShowWindow(reflectionTable_); });

  structurePage_ = new CTabPage1(app_.reference(), this);
  connect(&hub_, &NotificationHub::activeDocumentChanged, structurePage_, &CTabPage1::Bind);
  connect(&hub_, &NotificationHub::structureChanged, structurePage_, &CTabPage1::OnStructureChanged);
  connect(&hub_, &NotificationHub::showStructurePage, this, [this] { ShowWindow(structurePage_); });
  connect(action(cmd::kStructurePage), &QAction::triggered, &hub_, &NotificationHub::showStructurePage);
  // Ctrl+Enter calculates from the structure page too, where the atoms are
  // typed; Ctrl+Z and Ctrl+Y work in both editors.
  structurePage_->addAction(action(cmd::kCalculate));
  for (QWidget* w : std::initializer_list<QWidget*>{structurePage_, experimentPage_})
    w->addActions({action(cmd::kUndo), action(cmd::kRedo)});
  connect(action(cmd::kAtomTable), &QAction::triggered, this, &CMainFrame::ShowAtomTable);

  // A new source leaves the atoms' f' and f'' as they were: the user is asked
  // whether to take them for it, and told when they stay.
  connect(experimentPage_, &CTabPage2::sourceChanged, this, [this](KomorkaDocument* d, double lambda1, int radiation) {
    const QString note = OfferAnomalForSource(experimentPage_, *d, app_.reference(), lambda1, radiation);
    structurePage_->anomalPage()->ReloadTables();
    if (note.isEmpty()) return;
    statusBar()->showMessage(note);
    emit hub_.parametersChanged(d);  // the info panel says it too
  });
}

void CMainFrame::ShowWindow(QWidget* w) {
  w->show();
  w->raise();
  w->activateWindow();
}

void CMainFrame::RestoreLayout() {
  if (!app_.storedLayoutCurrent()) return;
  const std::string state = app_.store().GetString(kDockSection, "State", "");
  if (!state.empty()) restoreState(QByteArray::fromBase64(QByteArray::fromStdString(state)));
  // The bars' state holds no status bar: it is kept beside it.
  const bool statusShown = app_.store().GetInt(kDockSection, "StatusBar", 1) != 0;
  statusBar()->setVisible(statusShown);
  action(cmd::kViewStatusBar)->setChecked(statusShown);
  for (auto [bar, id] : {std::pair<QToolBar*, int>{standardBar_, cmd::kViewToolbar},
                         {chartBar_, cmd::kViewChartBar},
                         {zoomBar_, cmd::kViewZoomBar}})
    action(id)->setChecked(!bar->isHidden());
  action(cmd::kViewInfo)->setChecked(!infoPanel_->isHidden());
}

void CMainFrame::closeEvent(QCloseEvent* e) {
  app_.store().SetString(kDockSection, "State", saveState().toBase64().toStdString());
  app_.store().SetInt(kDockSection, "StatusBar", statusBar()->isHidden() ? 0 : 1);
  // Edited reference tables are asked about first, while everything can
  // still stay open.
  if (!ConfirmReferenceTablesAtExit(this, app_.reference())) {
    e->ignore();
    return;
  }
  // Every modified document is asked about before any window closes:
  // "Anuluj" on one keeps them all open, the unmodified ones too.
  const QList<CChildFrame*> all = frames();
  for (CChildFrame* f : all)
    if (f->saveModified && !f->saveModified(f->document())) {
      e->ignore();
      return;
    }
  std::vector<std::function<bool(KomorkaDocument*)>> asked;
  for (CChildFrame* f : all) asked.push_back(std::exchange(f->saveModified, nullptr));
  mdi_->closeAllSubWindows();
  if (!mdi_->subWindowList().isEmpty()) {
    for (qsizetype i = 0; i < all.size(); ++i)
      if (mdi_->subWindowList().contains(all[i])) all[i]->saveModified = asked[static_cast<size_t>(i)];
    e->ignore();
    return;
  }
  e->accept();
}

// --- documents -------------------------------------------------------------------

QList<CChildFrame*> CMainFrame::frames() const {
  QList<CChildFrame*> out;
  for (QMdiSubWindow* w : mdi_->subWindowList())
    if (auto* f = qobject_cast<CChildFrame*>(w)) out << f;
  return out;
}

CChildFrame* CMainFrame::activeFrame() const {
  if (auto* f = qobject_cast<CChildFrame*>(mdi_->activeSubWindow())) return f;
  // While any document is open one of them is the active one, even when
  // the area has none active (a click on its empty part, the focus in
  // another window, a frame not shown yet): the one last activated, else
  // the topmost.
  CChildFrame* top = nullptr;
  for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::StackingOrder))
    if (auto* c = qobject_cast<CChildFrame*>(w); c && !c->closing()) {
      if (c->view() == lastActive_) return c;
      top = c;
    }
  return top;
}

CDownView* CMainFrame::activeView() const {
  CChildFrame* f = activeFrame();
  return f ? f->view() : nullptr;
}

KomorkaDocument* CMainFrame::activeDocument() const {
  CDownView* v = activeView();
  return v ? v->document() : nullptr;
}

void CMainFrame::AddFrame(KomorkaDocument* doc) {
  auto* view = new CDownView(doc);
  auto* frame = new CChildFrame(doc, view);
  doc->setParent(frame);
  frame->saveModified = [this](KomorkaDocument* d) {
    if (!d->isModified()) return true;
    const auto answer = QMessageBox::question(this, QStringLiteral("Pelmora"),
                                              tr("Save changes to %1?").arg(d->title()),
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::Yes) return SaveDocument(d, false);
    return true;
  };
  view->setModeSource([this] { return mode_; });
  connect(view, &CDownView::statusText, this, [this](const QString& t) { statusBar()->showMessage(t); });
  connect(view, &CDownView::cursorRead, &hub_, &NotificationHub::cursorRead);
  connect(doc, &KomorkaDocument::calculated, this, [this, view, doc] {
    SynthesiseFor(view);
    emit hub_.reflectionsChanged(doc);
  });
  connect(doc, &KomorkaDocument::parametersChanged, this, [this, doc] { emit hub_.parametersChanged(doc); });
  connect(doc, &KomorkaDocument::structureChanged, this, [this, doc] { emit hub_.structureChanged(doc); });
  connect(doc, &KomorkaDocument::atomsDeleted, this, [this, doc] { emit hub_.atomsDeleted(doc); });
  WatchHistory(doc, view);
  connect(frame, &QObject::destroyed, this, [this] {
    // The frame is gone: menus and state follow the remaining documents.
    QMetaObject::invokeMethod(this, [this] { OnSubWindowActivated(mdi_->activeSubWindow()); }, Qt::QueuedConnection);
  });
  // The frame's title follows the document's name and the child's state;
  // queued, so that it comes after Qt's own title handling of a maximised child.
  const auto refreshTitle = [this] {
    QMetaObject::invokeMethod(this, &CMainFrame::RefreshFrameTitle, Qt::QueuedConnection);
  };
  connect(doc, &KomorkaDocument::titleChanged, this, refreshTitle);
  connect(doc, &KomorkaDocument::modifiedChanged, this, refreshTitle);
  connect(frame, &QMdiSubWindow::windowStateChanged, this, refreshTitle);
  mdi_->addSubWindow(frame);
  ApplyChartColours();
  frame->showMaximized();
  frame->setFocus();
  OnSubWindowActivated(frame);
}

KomorkaDocument* CMainFrame::NewDocument() {
  auto* doc = new KomorkaDocument(app_.settings().experiment);
  doc->InitNew();
  doc->setUntitledNumber(++untitledCounter_);
  AddFrame(doc);
  return doc;
}

void CMainFrame::ShowMessages(const std::vector<DocMessage>& messages) {
  for (const DocMessage& m : messages) {
    const QString caption = QCoreApplication::translate("documents", m.caption.c_str()), text = QString::fromStdString(m.text);
    if (messageSink_) messageSink_(caption, text);
    else if (m.caption == kErrorCaption) QMessageBox::critical(this, caption, text);
    else QMessageBox::information(this, caption, text);
  }
}

KomorkaDocument* CMainFrame::OpenDocumentFile(const QString& path) {
  const QString full = QFileInfo(path).absoluteFilePath();
  for (CChildFrame* f : frames())
    if (f->document()->sourcePath() == full || f->document()->path() == full) {
      mdi_->setActiveSubWindow(f);
      return f->document();
    }
  // A CIF of several structures: the user picks one, unless nobody is
  // there to ask (a run that prints), when the first with atoms is read.
  QString block;
  if (!messageSink_ && !AskCifBlock(this, path, &block)) return nullptr;
  auto* doc = new KomorkaDocument(app_.settings().experiment);
  std::vector<DocMessage> messages;
  // The file's own source and instrument set join the application's lists
  // and are applied to the document, as binding the experiment page does.
  int gaveWay = 0;
  const bool ok = doc->Open(path, app_.workspace(), messages, &gaveWay, block);
  ShowMessages(messages);
  if (!ok) {
    delete doc;
    return nullptr;
  }
  AddRecentFile(full);
  AddFrame(doc);
  ReattachMeasurement(doc);
  if (gaveWay > 0) statusBar()->showMessage(QString::fromStdString(DisplacedEntriesMessage(gaveWay)));
  return doc;
}

void CMainFrame::OpenFile() {
  const QString path = QFileDialog::getOpenFileName(
      this, tr("Otwórz"), QString(),
      tr("Pelmora 2.0 (*.xml *.XML);;Tolvo 1.14a (*.dat *.DAT);;CIF (*.cif *.CIF);;"
                     "PDB, mmCIF (*.pdb *.PDB *.ent *.ENT *.cif *.CIF *.gz)"), nullptr,
      QFileDialog::DontUseNativeDialog);
  if (!path.isEmpty()) OpenDocumentFile(path);
}

bool CMainFrame::SaveDocument(KomorkaDocument* doc, bool saveAs) {
  QString path = doc->path();
  const QString xmlFilter = tr("Pelmor 1.0 (*.xml)");
  const QString cifFilter = tr("CIF (*.cif)");
  bool cif = false;
  if (saveAs || path.isEmpty()) {
    QFileDialog dlg(this, tr("Zapisz jako"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    // A CIF only on the explicit "Zapisz jako": it is an export, and a save
    // asked for before closing must keep the whole document.
    dlg.setNameFilters(saveAs ? QStringList{xmlFilter, cifFilter} : QStringList{xmlFilter});
    dlg.setDefaultSuffix(QStringLiteral("xml"));
    dlg.selectFile(doc->proposedSaveName());
    connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, cifFilter](const QString& filter) {
      const QString suffix = filter == cifFilter ? QStringLiteral("cif") : QStringLiteral("xml");
      dlg.setDefaultSuffix(suffix);
      const QFileInfo typed(dlg.selectedFiles().value(0));
      if (!typed.fileName().isEmpty()) dlg.selectFile(typed.completeBaseName() + QLatin1Char('.') + suffix);
    });
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    path = dlg.selectedFiles().first();
    cif = saveAs && (path.endsWith(QStringLiteral(".cif"), Qt::CaseInsensitive) ||
                     (dlg.selectedNameFilter() == cifFilter && !path.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive)));
  }
  if (cif) return ExportCif(doc, path);
  QString error;
  if (!doc->Save(path, &error)) {
    QMessageBox::critical(this, tr("Błąd"), error);
    return false;
  }
  AddRecentFile(doc->path());
  return true;
}

bool CMainFrame::ExportCif(KomorkaDocument* doc, const QString& path) {
  // The same text as "pelmora-cli convert" writes: the group of the
  // structure, or the one found for a structure without one. The document
  // keeps its own file, name and modified state: a CIF holds no experiment.
  std::vector<DocMessage> notes;
  const std::string text = FormatCif(doc->doc(), app_.workspace().Elements(), notes);
  std::string error;
  if (!WriteFileAtomically(QFile::encodeName(path).toStdString(), text, &error)) {
    QMessageBox::critical(this, tr("Błąd"), QString::fromStdString(error));
    return false;
  }
  ShowMessages(notes);
  statusBar()->showMessage(tr("Zapisano CIF: %1").arg(QDir::toNativeSeparators(path)), 5000);
  return true;
}

// --- recent files --------------------------------------------------------------------

QStringList CMainFrame::RecentFiles() const {
  QStringList out;
  for (int i = 1; i <= kRecentCount; ++i) {
    const std::string name = "File" + std::to_string(i);
    const QString path = QString::fromStdString(app_.store().GetString(kRecentSection, name.c_str(), ""));
    if (!path.isEmpty()) out << path;
  }
  return out;
}

void CMainFrame::AddRecentFile(const QString& path) {
  QStringList list = RecentFiles();
  list.removeAll(path);
  list.prepend(path);
  while (list.size() > kRecentCount) list.removeLast();
  for (int i = 1; i <= kRecentCount; ++i) {
    const std::string name = "File" + std::to_string(i);
    app_.store().SetString(kRecentSection, name.c_str(), i <= list.size() ? list[i - 1].toStdString() : "");
  }
  RebuildRecentMenu();
}

void CMainFrame::RemoveRecentFile(const QString& path) {
  QStringList list = RecentFiles();
  list.removeAll(path);
  for (int i = 1; i <= kRecentCount; ++i) {
    const std::string name = "File" + std::to_string(i);
    app_.store().SetString(kRecentSection, name.c_str(), i <= list.size() ? list[i - 1].toStdString() : "");
  }
  RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu() {
  if (!recentMenu_) return;
  recentMenu_->clear();
  const QStringList list = RecentFiles();
  int n = 0;
  for (const QString& path : list) {
    ++n;
    QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(n).arg(QFileInfo(path).fileName()));
    a->setStatusTip(path);
    connect(a, &QAction::triggered, this, [this, path] {
      // An entry that cannot be opened any more leaves the list (after its message).
      if (!OpenDocumentFile(path)) RemoveRecentFile(path);
    });
  }
  if (list.isEmpty()) recentMenu_->addAction(tr("(pusta lista)"))->setEnabled(false);
}

void CMainFrame::RebuildWindowMenu() {
  if (!windowMenu_) return;
  // An entry may be rebuilt away while its own trigger runs: deleted later.
  for (QAction* a : windowMenu_->actions()) {
    windowMenu_->removeAction(a);
    if (a->parent() == windowMenu_) a->deleteLater();
  }
  windowMenu_->addAction(action(cmd::kWindowCascade));
  windowMenu_->addAction(action(cmd::kWindowTile));
  windowMenu_->addSeparator();
  windowMenu_->addAction(nextWindow_);
  windowMenu_->addAction(previousWindow_);
  windowMenu_->addSeparator();
  const CDownView* active = activeView();
  int n = 0;
  for (CChildFrame* f : frames()) {
    ++n;
    QString title = f->windowTitle();
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* a = windowMenu_->addAction(n <= 9 ? QStringLiteral("&%1 %2").arg(n).arg(title) : title);
    a->setCheckable(true);
    a->setChecked(f->view() == active);
    a->setStatusTip(tr("Uaktywnij to okno"));
    connect(a, &QAction::triggered, this, [this, f] {
      if (frames().contains(f)) {
        if (f->isMinimized()) f->showNormal();
        mdi_->setActiveSubWindow(f);
      }
    });
  }
}

// --- activation and command state ---------------------------------------------------------

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* w) {
  auto* activated = qobject_cast<CChildFrame*>(w);
  CDownView* v = activated ? activated->view() : activeView();
  if (lastActive_ && lastActive_ != v && frames().size() > 0) {
    for (CChildFrame* f : frames())
      if (f->view() == lastActive_) lastActive_->setActive(false);
  }
  lastActive_ = v;
  const bool withDocument = !mdi_->subWindowList().isEmpty();
  if (withDocument != documentMenu_) BuildMenus(withDocument);
  if (v) {
    v->setActive(true);
    const TickFlags t = v->ticks();
    for (int k = 0; k < 6; ++k) action(cmd::kTicksFirst + k)->setChecked(t[k]);
  }
  emit hub_.activeDocumentChanged(v ? v->document() : nullptr);
  RefreshCommandState();
  RefreshFrameTitle();
  RebuildWindowMenu();
}

void CMainFrame::RefreshFrameTitle() {
  // As MDI frames show it: "Pelmora - NAME", "Pelmora - [NAME]" while the
  // child is maximised (Qt writes that form itself then; it is set here too
  // so that both orders of events end the same).
  const QString base = QStringLiteral("Pelmora");
  CChildFrame* f = activeFrame();
  QString title = base;
  if (f) title = f->isMaximized() ? QStringLiteral("%1 - [%2]").arg(base, f->windowTitle())
                                  : QStringLiteral("%1 - %2").arg(base, f->windowTitle());
  if (windowTitle() != title) setWindowTitle(title);
}

void CMainFrame::RefreshCommandState() {
  CDownView* v = activeView();
  const bool has = v != nullptr;
  action(cmd::kStructurePage)->setEnabled(has);
  for (int id : {cmd::kClose, cmd::kSave, cmd::kSaveAs, cmd::kExportText, cmd::kCalculate, cmd::kDescriptions,
                 cmd::kDescKa1, cmd::kDescKa2, cmd::kExperimentPage, cmd::kReflectionTable})
    action(id)->setEnabled(has);
  for (int id = cmd::kTicksFirst; id <= cmd::kTicksLast; ++id) action(id)->setEnabled(has);
  for (int i = 0; i < kZoomBarLayoutCount; ++i)
    if (kZoomBarLayout[i]) action(kZoomBarLayout[i])->setEnabled(has);
  for (QAction* a : xAxisActions_) a->setEnabled(has);
  xAxisActions_[static_cast<int>(v ? v->xAxis() : XAxisUnit::TwoTheta)]->setChecked(true);
  if (v) {
    action(cmd::kDescriptions)->setChecked(v->descriptions().on);
    action(cmd::kDescKa1)->setChecked(v->ka1Checked());
    action(cmd::kDescKa2)->setChecked(v->ka2Checked());
  } else {
    // Without a document the switches stand for nothing: none shows pressed.
    for (int id : {cmd::kDescriptions, cmd::kDescKa1, cmd::kDescKa2}) action(id)->setChecked(false);
    for (int id = cmd::kTicksFirst; id <= cmd::kTicksLast; ++id) action(id)->setChecked(false);
  }
  action(cmd::kModeArea)->setChecked(mode_ == 3);
  action(cmd::kModeStretchX)->setChecked(mode_ == 1);
  action(cmd::kModeStretchY)->setChecked(mode_ == 2);
  if (mode_ == 0)
    for (CChildFrame* f : frames()) f->view()->clearGuides();
  // "Ustawienia" of a profile is never available; "Info" only for the
  // pseudo-Voigt profile (and plug-ins that offer it).
  chartBar_->settingsButton()->setEnabled(false);
  chartBar_->infoButton()->setEnabled(ProfileHasInfo(app_.plugins(), chartBar_->ProfileId()));
  for (int id : {cmd::kExportPicture, cmd::kPrint, cmd::kPrintDirect, cmd::kPrintPreview}) action(id)->setEnabled(has);
  action(cmd::kOpenMeasured)->setEnabled(has);
  for (int id : {cmd::kCloseMeasured, cmd::kFitMeasured}) action(id)->setEnabled(has && v->layer());
  RefreshUndoState();
}

void CMainFrame::ShowProfileInfo() {
  const int id = chartBar_->ProfileId();
  if (id == kProfilePseudoVoigt) {
    if (!infoPseudoVoigt_) infoPseudoVoigt_ = new InfoPseudoVoigt(app_.pseudoVoigtInfo(), this);
    infoPseudoVoigt_->exec();
  } else if (id >= 0) {
    // A plug-in prints its information; the user sees it in a box.
    const QString text = QString::fromLocal8Bit(CallProfileInfo(app_.plugins(), id)).trimmed();
    if (!text.isEmpty()) QMessageBox::information(this, chartBar_->ProfileLabel(), text);
  }
}

void CMainFrame::SetMode(int mode) {
  if (mode_ != mode)
    for (CChildFrame* f : frames()) f->view()->clearGuides();
  mode_ = mode;
  RefreshCommandState();
}

void CMainFrame::RunZoom(int id) {
  if (CDownView* v = activeView()) v->runZoomCommand(id);
}

// --- calculation ---------------------------------------------------------------------------

void CMainFrame::Calculate(CDownView* view) {
  CDownView* v = view ? view : activeView();
  if (!v) return;
  KomorkaDocument* d = v->document();
  const std::string refusal = PrepareRun(d->doc(), app_.SetupFor(chartBar_->ProfileId()));
  if (!refusal.empty()) {
    QMessageBox::critical(this, tr("Błąd"), QString::fromStdString(refusal));
    return;
  }
  // The renderer reads the reflections; they are replaced by the run.
  v->waitForRendering();
  emit hub_.calculationStarting(d);
  CCalcDialog dlg(this);
  dlg.SetDocument(&d->doc());
  if (dlg.exec() == QDialog::Accepted) {
    d->NotifyCalculated();
    return;
  }
  emit hub_.reflectionsChanged(d);  // the old lists stay: show them again
  if (!dlg.Failure().empty()) QMessageBox::critical(this, tr("Błąd"), QString::fromStdString(dlg.Failure()));
}

void CMainFrame::RedrawWithProfile() {
  // Every pattern drawn so far is drawn anew from its reflections: no
  // calculation needed, and none is made for a chart never calculated.
  for (CChildFrame* f : frames()) {
    CDownView* v = f->view();
    if (!v->patternPresent()) continue;
    if (!PrepareRun(v->document()->doc(), app_.SetupFor(chartBar_->ProfileId())).empty()) continue;
    SynthesiseFor(v);
  }
}

void CMainFrame::SynthesiseFor(CDownView* view) {
  SynthesiseInto(this, app_, *view, chartBar_->ProfileId());
  RefreshCommandState();
}

void CMainFrame::ApplyChartColours() {
  const CSettings& s = app_.settings();
  ChartStyle style;
  style.curve = ColorFromBgr(s.ChartColor);
  style.axis = ColorFromBgr(s.AxisColor);
  style.ka1 = ColorFromBgr(s.KA1Color);
  style.ka2 = ColorFromBgr(s.KA2Color);
  for (CChildFrame* f : frames()) f->view()->setStyle(style);
}

// --- dialogs ---------------------------------------------------------------------------------

void CMainFrame::ExportText() {
  CDownView* v = activeView();
  // Offered for every document: before a calculation the window's points
  // are written with zero intensity.
  if (!v) return;
  ExportDisplayedPattern(this, app_, *v);
}

void CMainFrame::RunPrintCommand(int id) {
  if (!printing_) printing_ = std::make_unique<ChartPrinting>(this);
  if (id == cmd::kPrintSetup) {
    printing_->Setup();
    return;
  }
  CDownView* v = activeView();
  if (!v) return;
  const bool black = app_.settings().printBW != 0;
  if (id == cmd::kExportPicture) ExportChartPicture(this, *v);
  else if (id == cmd::kPrintPreview) printing_->Preview(*v, black);
  else printing_->Print(*v, black, id == cmd::kPrint);
}

void CMainFrame::ShowSettings() {
  // The sets of the instrument file: entry 0 is the settings' own, "@"
  // ones come from open structure files.
  std::vector<std::string> instruments;
  const std::vector<ApparatusSet>& sets = app_.workspace().reference.apparatusSets;
  for (size_t i = 1; i < sets.size(); ++i)
    if (!sets[i].name.empty() && sets[i].name[0] != '@') instruments.push_back(StripNameMarker(sets[i].name));
  CSettingsDlg dlg(app_.settings(), this, instruments);
  if (dlg.exec() == QDialog::Accepted) ApplyChartColours();
}

void CMainFrame::ShowPlugins() {
  CPluginsDialog dlg(app_.plugins(), this);
  dlg.exec();
}

void CMainFrame::ShowAtomTable() {
  CAtomTable dlg(app_.reference(), nullptr, activeDocument() != nullptr, this);
  dlg.exec();
}

void CMainFrame::ShowAbout() {
  AboutBox dlg(this);
  dlg.exec();
}

// --- files dropped onto the window ------------------------------------------------------

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) {
      e->acceptProposedAction();
      return;
    }
}

void CMainFrame::dropEvent(QDropEvent* e) {
  // Structure files, older input files and CIF files open as from the
  // Open dialog; every dropped file is tried.
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) OpenDocumentFile(url.toLocalFile());
  e->acceptProposedAction();
}

}  // namespace pelmora
