// The cell view: an OpenGL widget that draws the active document's cell on
// every paint and turns, moves and zooms it with the mouse and the panel's
// hold-to-repeat buttons.
#pragma once

#include <QOpenGLWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "viewer3d/ui/CellRenderer.h"

namespace pelmora {

// What the view reads at each frame, supplied by the panel around it.
struct ViewInputs {
  std::function<const CKomorka*()> document;
  std::function<SceneOptions()> options;
  std::function<int()> mode;    // rotation mode of a left drag
  std::function<int()> detail;  // slices and stacks of every sphere and cylinder
};

// Whether this process can have an OpenGL view at all: never on Qt's
// offscreen-like platforms (a shown GL widget crashes there), otherwise when
// a context of the default format can be created.
bool OpenGLAvailable();

// The surface format every GL window of the program uses: compatibility
// profile (fixed-function GL), double buffer, 24-bit depth. Set before the
// QApplication is made.
void SetDefaultGLFormat();

class CMyWnd : public QOpenGLWidget {
  Q_OBJECT
 public:
  explicit CMyWnd(ViewInputs inputs, QWidget* parent = nullptr);
  ~CMyWnd() override;

  ViewState& state() { return state_; }
  const ViewState& state() const { return state_; }
  // A hold-to-repeat button's command (57430..57447): starts or stops a timer.
  void Command(int id);
  bool timerRunning(int k) const { return k >= 1 && k <= 9 && timers_[k] != 0; }
  // False when the context could not be set up; the view then stays blank.
  bool setUpOk() const { return setUpOk_; }

  // The current picture drawn off screen at the given size, as rows of
  // red, green, blue from the bottom up. Empty when no context could be had.
  std::vector<std::uint8_t> RenderImage(int width, int height) const;

 protected:
  void initializeGL() override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void timerEvent(QTimerEvent* e) override;

 private:
  SceneOptions Options() const;
  ViewInputs inputs_;
  ViewState state_;
  CellRenderer renderer_;
  std::array<int, 10> timers_{};
  bool setUpOk_ = false;
};

// Draws one frame of `doc` off screen at width x height, independent of any
// window, and reads it back (bottom row first, red, green, blue). Empty when
// no context or framebuffer could be had.
std::vector<std::uint8_t> RenderCellOffscreen(int width, int height, const CKomorka* doc, const SceneOptions& options,
                                              const ViewState& view, int detail);

}  // namespace pelmora
