// The frame of one open document and its chart view inside the main frame.
#pragma once

#include <QMdiSubWindow>
#include <functional>

namespace pelmora {

class CDownView;
class KomorkaDocument;

// A child frame: one document and its chart view. Closing it asks to save a
// modified document.
class CChildFrame : public QMdiSubWindow {
  Q_OBJECT
 public:
  CChildFrame(KomorkaDocument* doc, CDownView* view, QWidget* parent = nullptr);
  KomorkaDocument* document() const { return doc_; }
  CDownView* view() const { return view_; }
  // The save question's answer already given for this frame (closing all).
  std::function<bool(KomorkaDocument*)> saveModified;
  // True once the frame has agreed to close.
  bool closing() const { return closing_; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void RefreshTitle();
  KomorkaDocument* doc_;
  CDownView* view_;
  bool closing_ = false;
};

}  // namespace pelmora
