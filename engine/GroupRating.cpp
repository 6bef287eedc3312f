// The rating of the groups: the integrated intensity of each.
#include "engine/GroupRating.h"

#include <cstddef>

#include "engine/Komorka.h"

namespace pelmora::search {

// The integrated intensity of every group; each is rated on its own, so a
// long list is shared among the threads. False when cancelled.
bool RateGroups(const CKomorka& doc, std::vector<Reflection>& groups1, std::vector<Reflection>& groups2,
                PositionPoster& poster, const std::atomic<bool>& cancel) {
  const std::ptrdiff_t n1 = static_cast<std::ptrdiff_t>(groups1.size());
  const std::ptrdiff_t total = n1 + static_cast<std::ptrdiff_t>(groups2.size());
  const double step = 250.0 / static_cast<double>(total);
  const CKomorka::LineFactors factors1 = doc.LineIntensityFactors(1), factors2 = doc.LineIntensityFactors(2);
  std::atomic<bool> stopped{false};
  // The progress counts the first line's groups, then the second's.
#pragma omp parallel for schedule(static) if (total >= static_cast<std::ptrdiff_t>(kParallelRecords))
  for (std::ptrdiff_t i = 0; i < total; ++i) {
    if (stopped.load(std::memory_order_relaxed)) continue;
    poster.Post(static_cast<int>(static_cast<double>(i) * step + 750));
    if (cancel) {
      stopped = true;
      continue;
    }
    const bool first = i < n1;
    Reflection& g = first ? groups1[static_cast<size_t>(i)] : groups2[static_cast<size_t>(i - n1)];
    g.intensity = doc.GroupIntensity(g, first ? 1 : 2, first ? factors1 : factors2);
  }
  return !stopped;
}

}  // namespace pelmora::search
