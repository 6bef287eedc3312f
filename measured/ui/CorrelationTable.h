// The correlation matrix of a refinement's values: one row and column per
// value refined, each cell r to two decimals on a colour that deepens with
// |r|, so that the pairs the minimiser cannot tell apart stand out.
#pragma once

#include <QDialog>

namespace pelmora {

struct RefinementOutcome;

class CorrelationDialog : public QDialog {
  Q_OBJECT
 public:
  CorrelationDialog(const RefinementOutcome& outcome, QWidget* parent = nullptr);
};

}  // namespace pelmora
