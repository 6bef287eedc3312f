// A measured pattern over a chart view: its points, the model in counts,
// the difference below and the reflection ticks of each phase; the view's
// intensity axis then runs in counts. Until a fit gives the model, the scale
// and a flat background are matched to the measurement after every
// synthesis.
#pragma once

#include <memory>

#include "diffractogram/ui/ChartLayer.h"
#include "measured/MeasuredPattern.h"
#include "measured/Overlay.h"

namespace pelmora {

class CDownView;

class MeasuredLayer : public ChartLayer {
 public:
  explicit MeasuredLayer(std::shared_ptr<const MeasuredPattern> measured) : measured_(std::move(measured)) {}

  const MeasuredPattern& measured() const { return *measured_; }
  std::shared_ptr<const MeasuredPattern> measuredShared() const { return measured_; }
  const OverlayModel& model() const { return model_; }
  // A fitted model; the view draws it once told (CDownView::layerChanged).
  void setModel(const OverlayModel& model) { model_ = model; }

  void PatternChanged(const PatternGrid& grid) override;
  std::shared_ptr<const ChartOverlay> Build(const PatternGrid& grid,
                                            const std::vector<Reflection>* reflections) const override;

 private:
  std::shared_ptr<const ChartOverlay> BuildRefined() const;
  std::shared_ptr<const MeasuredPattern> measured_;
  OverlayModel model_;
};

// The measured pattern a view shows, null when it shows none.
MeasuredLayer* MeasuredLayerOf(const CDownView& view);

}  // namespace pelmora
