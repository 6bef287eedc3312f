// How the mouse and the hold-to-repeat buttons turn, move and zoom the cell
// view. Plain integers, so that the rules can be checked without a display.
#pragma once

#include <utility>

namespace pelmora {

// Rotation modes of the panel: which two angles a left drag turns.
enum RotationMode : int { kRotateXY = 0, kRotateXZ = 1, kRotateYZ = 2 };

// Buttons and keys held during a mouse move, compared as a whole.
enum MouseFlags : unsigned { kMouseLeft = 1, kMouseRight = 2, kMouseShift = 4, kMouseCtrl = 8, kMouseMiddle = 16 };

// Commands of the panel's hold-to-repeat buttons: each start command starts
// timer k (k = 1..9, in this order), the next number stops it.
namespace viewcmd {
enum : int {
  kTurnX = 57430, kTurnY = 57432, kTurnZ = 57434,
  kMoveLeft = 57436, kMoveRight = 57438, kMoveUp = 57440, kMoveDown = 57442,
  kNearer = 57444, kFarther = 57446,
};
}  // namespace viewcmd
inline constexpr int kFirstTimerCommand = viewcmd::kTurnX;
inline constexpr int kLastTimerCommand = viewcmd::kFarther + 1;
inline constexpr int kTimerPeriodMs = 30;
// The timer (1..9) a command belongs to, and whether it starts it; timer 0
// for a command outside the range.
std::pair<int, bool> TimerOfCommand(int command);

struct ViewState {
  int angleX = 0, angleY = 0, angleZ = 0;
  int zoom = 0;
  int panX = 0, panY = 0;
  int lastX = 0, lastY = 0;

  // A left or right press, or a right release: the point becomes the origin
  // of the next drag step.
  void Press(int x, int y) {
    lastX = x;
    lastY = y;
  }
  // A move with `flags` held; true when the view changed and must repaint.
  bool Move(int x, int y, unsigned flags, int mode);
  // One tick of timer k (1..9); true when the view changed.
  bool Tick(int k);

  // The eye's translation: x = 0.1 panX, y = 0.1 panY, z = zoom/5 - 30.
  double TranslateX() const { return 0.1 * panX; }
  double TranslateY() const { return 0.1 * panY; }
  double TranslateZ() const { return zoom / 5.0 - 30.0; }
};

}  // namespace pelmora
