// The rating of the groups: the integrated intensity of each.
#include "engine/GroupRating.h"

#include <cstddef>

#include "engine/Komorka.h"

namespace pelmora::search {

// The integrated intensity of every group; each is rated on its own, so a
// long list is shared among the threads. False when cancelled.
bool RateGroups(const CKomorka& doc, std::vector<Reflection>& groups, PositionPoster& poster,
                const std::atomic<bool>& cancel) {
  const std::ptrdiff_t total = static_cast<std::ptrdiff_t>(groups.size());
  const double step = 250.0 / static_cast<double>(total);
  const CKomorka::LineFactors factors[2] = {doc.LineIntensityFactors(1), doc.LineIntensityFactors(2)};
  std::atomic<bool> stopped{false};
#pragma omp parallel for schedule(static) if (total >= static_cast<std::ptrdiff_t>(kParallelRecords))
  for (std::ptrdiff_t i = 0; i < total; ++i) {
    if (stopped.load(std::memory_order_relaxed)) continue;
    poster.Post(static_cast<int>(static_cast<double>(i) * step + 750));
    if (cancel) {
      stopped = true;
      continue;
    }
    Reflection& g = groups[static_cast<size_t>(i)];
    g.intensity = doc.GroupIntensity(g, g.line, factors[g.line == 1 ? 0 : 1]);
  }
  return !stopped;
}

}  // namespace pelmora::search
