#include "viewer3d/ViewState.h"

namespace pelmora {

namespace {

// A dragged angle wraps within 0..359.
void Wrap(int& angle) {
  if (angle > 359) angle = 0;
  else if (angle < 0) angle = 359;
}

// A timer-turned angle only ever grows.
void TurnBy3(int& angle) {
  angle += 3;
  if (angle > 359) angle = 0;
}

}  // namespace

std::pair<int, bool> TimerOfCommand(int command) {
  if (command < kFirstTimerCommand || command > kLastTimerCommand) return {0, false};
  const int offset = command - kFirstTimerCommand;
  return {offset / 2 + 1, offset % 2 == 0};
}

bool ViewState::Move(int x, int y, unsigned flags, int mode) {
  const int dx = x - lastX, dy = y - lastY;
  if (flags == kMouseLeft) {
    switch (mode) {
      case kRotateXY:
        angleZ += dx;
        angleY += dy;
        Wrap(angleZ);
        Wrap(angleY);
        break;
      case kRotateXZ:
        angleZ += dx;
        angleX += dy;
        Wrap(angleZ);
        Wrap(angleX);
        break;
      case kRotateYZ:
        angleY += dx;
        angleX += dy;
        Wrap(angleY);
        Wrap(angleX);
        break;
      default:
        break;
    }
  } else if (flags == kMouseRight) {
    zoom += dy;
  } else if (flags == (kMouseLeft | kMouseRight)) {
    panX += dx;
    panY += lastY - y;
  } else {
    return false;
  }
  lastX = x;
  lastY = y;
  return true;
}

bool ViewState::Tick(int k) {
  switch (k) {
    case 1: TurnBy3(angleX); break;
    case 2: TurnBy3(angleY); break;
    case 3: TurnBy3(angleZ); break;
    case 4: panX -= 1; break;
    case 5: panX += 1; break;
    case 6: panY += 1; break;
    case 7: panY -= 1; break;
    case 8: zoom += 2; break;
    case 9: zoom -= 2; break;
    default: return false;
  }
  return true;
}

}  // namespace pelmora
