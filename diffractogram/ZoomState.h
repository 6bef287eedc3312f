// The displayed window of a diffractogram and the commands that move it.
// Plain arithmetic, kept apart from the widget so it can be checked alone.
#pragma once

namespace pelmora {

// floor(x) unless the fraction is above one half: exact halves go down.
int ChartRound(double x);

// Piecewise-linear pixel -> value over an axis of `intervals` tick intervals
// drawn across `extent` pixels, for an offset d from the axis start.
double PixelToValue(double d, int extent, double from, double to, int intervals = 100);
// -1 when the value lies outside [from, to]; otherwise the pixel offset.
int ValueToPixel(double value, int extent, double from, double to);

struct ZoomState {
  // The document's angle range bounds all horizontal navigation.
  double A = 0.0, B = 0.0;
  double x0 = 0.0, x1 = 0.0;    // displayed 2-theta
  double y0 = 0.0, y1 = 100.0;  // displayed percent of the pattern maximum
  double z = 1.0;               // angle zoom
  double zi = 1.0;              // intensity zoom
  // One tenth of the window as last drawn; the axes drawing updates them.
  double angleStep = 0.0, intensityStep = 0.0;

  // Takes the document's range and shows all of it.
  void SetBounds(double angleMin, double angleMax);
  void NoteDrawn() {
    angleStep = 10.0 * (x1 - x0) / 100.0;
    intensityStep = 10.0 * (y1 - y0) / 100.0;
  }

  // Each returns true when the window changed.
  bool Reset();
  bool ResetAngle();
  bool ResetIntensity();
  bool ZoomIn();
  bool ZoomOut();
  bool ShiftLowerByRange();
  bool ShiftLowerByStep();
  bool ShiftHigherByStep();
  bool ShiftHigherByRange();
  bool IntensityUpByHeight();
  bool IntensityUpByStep();
  bool IntensityDownByStep();
  bool IntensityDownByHeight();
  // Two angles or two percentages in either order. A window of zero width
  // would make the zoom factor infinite: it is refused and the old kept.
  bool StretchAngle(double a, double b);
  bool StretchIntensity(double p, double q);
};

}  // namespace pelmora
