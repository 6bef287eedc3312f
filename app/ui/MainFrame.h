// The main window: documents in an MDI area, one chart view each, the menus
// and bars, the status bar, and the commands that work on the active
// document.
#pragma once

#include <QMainWindow>
#include <QMdiSubWindow>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/ui/ChildFrame.h"
#include "documents/ui/NotificationHub.h"
#include "documents/StructureFile.h"
#include "diffractogram/XAxis.h"

class QLabel;
class QMdiArea;
class QMenu;

namespace pelmora {

class CPelmorApp;
class CChartBar;
class ChartPrinting;
class CDownView;
class InfoPseudoVoigt;
class CTabPage1;
class CPropBar;
class CTabPage2;
class CTabPage4;
class CGLWindow;
class KomorkaDocument;
class HelpKey;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(CPelmorApp& app, QWidget* parent = nullptr);
  ~CMainFrame() override;

  QAction* action(int id) const;
  // "Widok" → "Oś kątów": 2-theta, d or Q for the active chart.
  QAction* xAxisAction(XAxisUnit unit) const { return xAxisActions_[static_cast<int>(unit)]; }
  NotificationHub& hub() { return hub_; }
  CChartBar* chartBar() const { return chartBar_; }
  QToolBar* zoomBar() const { return zoomBar_; }
  QToolBar* standardBar() const { return standardBar_; }
  QMdiArea* mdiArea() const { return mdi_; }
  // The active document's frame and view: with documents open there is
  // always one.
  CChildFrame* activeFrame() const;
  CDownView* activeView() const;
  KomorkaDocument* activeDocument() const;
  QList<CChildFrame*> frames() const;
  int interactionMode() const { return mode_; }
  QLabel* statusPane(int i) const { return panes_[i]; }
  // The menus as shown now: true while the document menu (129) is in place.
  bool documentMenuShown() const { return documentMenu_; }
  // "Okno", present while documents are open (null otherwise).
  QMenu* windowMenu() const { return windowMenu_; }

  // Opens a file as a new document and shows it; null after a failure (the
  // messages have been shown).
  KomorkaDocument* OpenDocumentFile(const QString& path);
  KomorkaDocument* NewDocument();
  // Saves the document (asking for a name when it has none or saveAs).
  // "Zapisz jako" also offers a CIF, written as an export.
  bool SaveDocument(KomorkaDocument* doc, bool saveAs);
  // The document's structure written to `path` as a CIF; the document's
  // own file and modified state stay. False after the error's message.
  bool ExportCif(KomorkaDocument* doc, const QString& path);
  // "Otwórz pomiar…": the measured pattern of `path` (asked for when empty)
  // shown with the active view's calculation; false when nothing was read.
  bool OpenMeasurement(const QString& path = {});
  // The measurement a structure file names, attached to its chart again;
  // a message when the file is not there.
  void ReattachMeasurement(KomorkaDocument* d);
  // "Dopasuj do pomiaru" on the active view (MeasuredCommands.cpp).
  void FitMeasurement();
  // The calculation command of the active view, or of `view` (validation,
  // progress dialog, then the new pattern).
  void Calculate(CDownView* view = nullptr);
  // Where the messages of opening a file go: message boxes unless a sink is
  // set (a print request from the command line tells them on standard error).
  using MessageSink = std::function<void(const QString& caption, const QString& text)>;
  void setMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
  // Installs the current settings' colours into every view.
  void ApplyChartColours();
  // The charts drawn so far, again with the chart bar's profile.
  void RedrawWithProfile();
  // The synthesis after a completed calculation, into the document's view.
  void SynthesiseFor(CDownView* view);
  // The chart bar's "Info": the pseudo-Voigt window (modal) or the
  // selected plug-in's own information.
  void ShowProfileInfo();
  // The pseudo-Voigt info window, created at its first opening and kept.
  InfoPseudoVoigt* infoPseudoVoigt() const { return infoPseudoVoigt_; }
  // "Definiuj Strukturę", created with the frame and hidden until asked for.
  CTabPage1* structurePage() const { return structurePage_; }
  // "Wybór atomu" from the menu, without an atom.
  void ShowAtomTable();
  // The editor windows and the info panel, created with the frame.
  CTabPage2* experimentPage() const { return experimentPage_; }
  CTabPage4* reflectionTable() const { return reflectionTable_; }
  CPropBar* infoPanel() const { return infoPanel_; }
  // The "Monitor" panel with the 3D view of the active document.
  CGLWindow* glWindow() const { return glWindow_; }
  // F1 and "Pomoc" → "Podręcznik": the manual at the section of the window in use.
  HelpKey* helpKey() const { return helpKey_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void CreateActions();
  void ConnectFileActions();
  void CreateWindowActions();
  void ConnectCalculationActions();
  void CreateAxisActions();
  void ConnectToolActions();
  void ConnectChartActions();
  // "Edycja" (EditCommands.cpp): the active document's history, its texts
  // and state, and a document's history and measurement watched.
  void ConnectEditActions();
  void RefreshUndoState();
  void WatchHistory(KomorkaDocument* doc, CDownView* view);
  // The view shows the measurement its document names, or none.
  void SyncMeasurement(CDownView* view);
  void CreateToolBars();
  void CreateStatusBar();
  void CreateEditors();
  static void ShowWindow(QWidget* w);
  void BuildMenus(bool withDocument);
  void RestoreLayout();
  void OnSubWindowActivated(QMdiSubWindow* w);
  void RefreshCommandState();
  bool AttachMeasurement(CDownView* v, const QString& path);
  void AddFrame(KomorkaDocument* doc);
  void OpenFile();
  void SetMode(int mode);
  void RunZoom(int id);
  void AddRecentFile(const QString& path);
  void RemoveRecentFile(const QString& path);
  void RefreshFrameTitle();
  void RebuildRecentMenu();
  // "Okno": arrangement, the next and previous document, and the list of
  // open documents with the active one checked.
  void RebuildWindowMenu();
  QStringList RecentFiles() const;
  void ShowMessages(const std::vector<DocMessage>& messages);
  void ExportText();
  // Print, direct print, preview, print setup and the picture export.
  void RunPrintCommand(int id);
  void ShowSettings();
  void ShowPlugins();
  void ShowAbout();

  CPelmorApp& app_;
  NotificationHub hub_;
  QMdiArea* mdi_;
  std::map<int, QAction*> actions_;
  QToolBar* standardBar_ = nullptr;
  CChartBar* chartBar_ = nullptr;
  QToolBar* zoomBar_ = nullptr;
  QLabel* panes_[3] = {};
  QMenu* recentMenu_ = nullptr;
  QMenu* windowMenu_ = nullptr;
  QAction* nextWindow_ = nullptr;
  QAction* xAxisActions_[3] = {};
  QAction* previousWindow_ = nullptr;
  int mode_ = 0;
  int untitledCounter_ = 0;
  bool documentMenu_ = false;
  CDownView* lastActive_ = nullptr;
  InfoPseudoVoigt* infoPseudoVoigt_ = nullptr;
  std::unique_ptr<ChartPrinting> printing_;
  CTabPage1* structurePage_ = nullptr;
  CTabPage2* experimentPage_ = nullptr;
  CTabPage4* reflectionTable_ = nullptr;
  CPropBar* infoPanel_ = nullptr;
  CGLWindow* glWindow_ = nullptr;
  MessageSink messageSink_;
  HelpKey* helpKey_ = nullptr;
};

}  // namespace pelmora
