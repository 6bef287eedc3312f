// A drawing laid over a chart view's pattern by whoever owns its data: the
// view knows only this interface, the application wires a layer in (the
// measured pattern with its model, measured/ui/MeasuredLayer.h).
#pragma once

#include <memory>
#include <vector>

#include "diffractogram/PatternGrid.h"
#include "diffractogram/chart/ChartPainter.h"
#include "engine/Reflection.h"

namespace pelmora {

class ChartLayer {
 public:
  virtual ~ChartLayer() = default;
  // The view's pattern was synthesised anew, or the layer was just set on
  // the view: the layer may follow the grid before it is drawn again.
  virtual void PatternChanged(const PatternGrid& grid) = 0;
  // What the chart draws over the grid's pattern; `reflections`, those of
  // the pattern, null while the view has none. Null draws nothing.
  virtual std::shared_ptr<const ChartOverlay> Build(const PatternGrid& grid,
                                                    const std::vector<Reflection>* reflections) const = 0;
};

}  // namespace pelmora
