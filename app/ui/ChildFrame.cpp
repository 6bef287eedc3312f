#include "app/ui/ChildFrame.h"

#include <QCloseEvent>
#include <QIcon>

#include "diffractogram/ui/ChartView.h"
#include "documents/ui/KomorkaDocument.h"

namespace pelmora {

CChildFrame::CChildFrame(KomorkaDocument* doc, CDownView* view, QWidget* parent)
    : QMdiSubWindow(parent), doc_(doc), view_(view) {
  setWidget(view);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(QIcon(QStringLiteral(":/icons/pelmora.svg")));
  connect(doc, &KomorkaDocument::titleChanged, this, &CChildFrame::RefreshTitle);
  connect(doc, &KomorkaDocument::modifiedChanged, this, &CChildFrame::RefreshTitle);
  RefreshTitle();
}

void CChildFrame::RefreshTitle() {
  // Maximised, the frame's title shows this one too, where Qt does not
  // resolve a "[*]" placeholder: mark the change ourselves.
  setWindowTitle(doc_->title() + (doc_->isModified() ? QStringLiteral("*") : QString()));
}

void CChildFrame::closeEvent(QCloseEvent* e) {
  if (saveModified && !saveModified(doc_)) {
    e->ignore();
    return;
  }
  view_->waitForRendering();
  closing_ = true;
  QMdiSubWindow::closeEvent(e);
}

}  // namespace pelmora
