// The main frame's "Edycja": "Cofnij" and "Ponów" on the active document's
// history, and the chart's measurement following the document's when a step
// attaches or removes it.
#include <QAction>
#include <QFileInfo>
#include <QUndoStack>

#include "app/ui/Commands.h"
#include "app/ui/MainFrame.h"
#include "diffractogram/ui/ChartView.h"
#include "documents/ui/KomorkaDocument.h"
#include "editors/ui/ExperimentPage.h"
#include "editors/ui/StructureDialog.h"
#include "measured/ui/MeasuredLayer.h"

namespace pelmora {

void CMainFrame::ConnectEditActions() {
  connect(action(cmd::kUndo), &QAction::triggered, this, [this] {
    if (KomorkaDocument* d = activeDocument()) d->history()->undo();
  });
  connect(action(cmd::kRedo), &QAction::triggered, this, [this] {
    if (KomorkaDocument* d = activeDocument()) d->history()->redo();
  });
  // Shift+Ctrl+Z too, as most programs here take it for redoing.
  action(cmd::kRedo)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
}

void CMainFrame::RefreshUndoState() {
  const KomorkaDocument* d = activeDocument();
  const QUndoStack* h = d ? d->history() : nullptr;
  // The step's name between the command and its shortcut, as "Cofnij zmianę atomów".
  const auto show = [](QAction* a, const QString& command, const QString& step, const char* keys, bool can) {
    QString text = command;
    if (can && !step.isEmpty()) text += QLatin1Char(' ') + step;
    text += QLatin1Char('\t');
    text += QLatin1String(keys);
    a->setText(text);
    a->setEnabled(can);
  };
  show(action(cmd::kUndo), tr("&Cofnij"), h ? h->undoText() : QString(), "Ctrl+Z", h && h->canUndo());
  show(action(cmd::kRedo), tr("&Ponów"), h ? h->redoText() : QString(), "Ctrl+Y", h && h->canRedo());
}

void CMainFrame::WatchHistory(KomorkaDocument* doc, CDownView* view) {
  QUndoStack* h = doc->history();
  for (auto signal : {&QUndoStack::canUndoChanged, &QUndoStack::canRedoChanged})
    connect(h, signal, this, [this, doc] {
      if (doc == activeDocument()) RefreshUndoState();
    });
  for (auto signal : {&QUndoStack::undoTextChanged, &QUndoStack::redoTextChanged})
    connect(h, signal, this, [this, doc] {
      if (doc == activeDocument()) RefreshUndoState();
    });
  connect(doc, &KomorkaDocument::measuredChanged, this, [this, view] { SyncMeasurement(view); });
}

void CMainFrame::SyncMeasurement(CDownView* view) {
  const std::string& path = view->document()->doc().measuredPath;
  const MeasuredLayer* shown = MeasuredLayerOf(*view);
  if (path.empty()) {
    if (shown) view->setLayer(nullptr);
  } else if (!shown || QFileInfo(QString::fromStdString(shown->measured().path)).absoluteFilePath().toStdString() != path) {
    // A step back to a measurement reads its file again; one that is gone
    // leaves the path, as opening the structure does.
    if (QFileInfo::exists(QString::fromStdString(path))) AttachMeasurement(view, QString::fromStdString(path));
  }
  RefreshCommandState();
}

}  // namespace pelmora
