// The "Monitor" panel: the cell view with its switches, rotation modes and
// hold-to-repeat buttons, the list in which each atom gets its colour, label
// and radius for the view, the cell edges' thickness and colour, and the
// picture export. It works on whichever document it is bound to and keeps
// no copy of it beyond the rows of its atom list.
#pragma once

#include <QDockWidget>
#include <cstdint>
#include <map>
#include <vector>

#include "engine/Komorka.h"
#include "viewer3d/CellScene.h"
#include "viewer3d/ImageExport.h"
#include "viewer3d/ui/AtomList.h"

class QAbstractButton;
class QBoxLayout;
class QLayout;
class QLabel;
class QSlider;
class QSpinBox;
class QToolButton;

namespace pelmora {

class NumberEdit;
class CColorBox;
class CMyWnd;
class CTimerButton;

// The panel's controls, for switchButton.
namespace panelid {
enum : int {
  kSave = 1000, kAxes = 1001, kCellShape = 1067, kImages = 1078,
  kModeXY = 1069, kModeXZ = 1070, kModeYZ = 1071,
};
}  // namespace panelid

class CGLWindow : public QDockWidget {
  Q_OBJECT
 public:
  // `glDetail` is read at every frame; `formats` fills the save dialog.
  CGLWindow(const std::int32_t& glDetail, std::vector<ImageFormat> formats, QWidget* parent = nullptr);

  // The active document changed (null: none). The same document again only
  // refreshes when `force` is set (its atoms changed).
  void BindDocument(CKomorka* doc, bool force = false);
  // A document that closes: its edges are dropped (and it is let go when
  // bound).
  void ForgetDocument(const CKomorka* doc);
  CKomorka* document() const { return doc_; }
  // The view redraws.
  void Redraw();

  // The view, or null where no OpenGL context could be had.
  CMyWnd* view() const { return view_; }
  QLabel* placeholder() const { return placeholder_; }
  CGLListCtrl* atomList() const { return list_; }
  QSlider* thicknessSlider() const { return slider_; }
  NumberEdit* thicknessField() const { return field_; }
  CColorBox* colorBox() const { return colorBox_; }
  QToolButton* saveButton() const { return save_; }
  QAbstractButton* switchButton(int id) const;  // 1001 axes, 1067 cell shape, 1078 images, 1069..1071 modes
  int rotationMode() const { return mode_; }
  SceneOptions options() const;
  const std::vector<ImageFormat>& formats() const { return formats_; }

  // Column clicks of the atom list, as the user makes them.
  void ToggleLabel(int row);
  void SetAtomColor(int row, std::uint32_t color);
  void SetAtomRadius(int row, int radius);

  // The save button: the dialog, then SaveImageTo with its choices.
  void SaveImage();
  // Renders at the size and writes the file; false when nothing was written.
  bool SaveImageTo(const QString& path, int formatIndex, int width, int height);

 signals:
  // Something stored in the document was changed through the panel.
  void documentEdited();

 private:
  // The parts of the panel, top to bottom.
  QLayout* BuildSwitches(QWidget* body);
  QLayout* BuildHoldButtons(QWidget* body, std::vector<CTimerButton*>& timerButtons);
  void AddView(QWidget* body, QBoxLayout* box, const std::vector<CTimerButton*>& timerButtons);
  QLayout* BuildEdges(QWidget* body);
  void Refresh();
  void Clear();
  void ApplyAtom(int row);
  void OnListClicked(int row, int column);
  void SetThickness(int value);

  const std::int32_t& glDetail_;
  std::vector<ImageFormat> formats_;
  CKomorka* doc_ = nullptr;
  // The edges of each document shown since it was opened.
  std::map<const CKomorka*, CellEdges> edges_;
  std::vector<AtomSite> atoms_;
  int mode_ = 0;
  CMyWnd* view_ = nullptr;
  QLabel* placeholder_ = nullptr;
  CGLListCtrl* list_ = nullptr;
  QSlider* slider_ = nullptr;
  NumberEdit* field_ = nullptr;
  CColorBox* colorBox_ = nullptr;
  QToolButton* save_ = nullptr;
  QToolButton* axes_ = nullptr;
  QToolButton* shape_ = nullptr;
  QToolButton* images_ = nullptr;
  QToolButton* modes_[3] = {};
};

}  // namespace pelmora
