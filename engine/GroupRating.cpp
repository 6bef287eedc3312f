// The rating of the groups: the integrated intensity of each.
#include "engine/GroupRating.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/Komorka.h"

namespace pelmora::search {

// The integrated intensity of every group; each is rated on its own, so a
// long list is shared among the threads. False when cancelled.
bool RateGroups(const CKomorka& doc, std::vector<Reflection>& groups, PositionPoster& poster,
                const std::atomic<bool>& cancel, RatedList& rated) {
  const std::ptrdiff_t total = static_cast<std::ptrdiff_t>(groups.size());
  const double step = 250.0 / static_cast<double>(total);
  const CKomorka::LineFactors factors[2] = {doc.LineIntensityFactors(1), doc.LineIntensityFactors(2)};
  std::atomic<bool> stopped{false};
  // Consecutive shares, one a thread.
  const int threads = total >= static_cast<std::ptrdiff_t>(kParallelRecords) ? MaxThreads() : 1;
  std::vector<RatedList> shares(static_cast<size_t>(threads));
  OnThreads(threads, [&](int t) {
    RatedList& share = shares[static_cast<size_t>(t)];
    const std::ptrdiff_t from = total * t / threads, to = total * (t + 1) / threads;
    // The last angle's factors for each line: groups of one angle follow
    // one another.
    CKomorka::AngleFactors last[2] = {{std::nan(""), 0, 0, 0}, {std::nan(""), 0, 0, 0}};
    for (std::ptrdiff_t i = from; i < to; ++i) {
      if (stopped.load(std::memory_order_relaxed)) return;
      poster.Post(static_cast<int>(static_cast<double>(i) * step + 750));
      if (cancel) {
        stopped = true;
        return;
      }
      Reflection& g = groups[static_cast<size_t>(i)];
      const int n = g.line == 1 ? 0 : 1;
      if (!(last[n].theta == g.theta)) last[n] = doc.AngleIntensityFactors(g.theta, factors[n]);
      g.intensity = doc.GroupIntensity(g, g.line, factors[n], last[n]);
      if (n == 0 && g.intensity > share.maxIntensity) share.maxIntensity = g.intensity;
      ++share.lineCounts[n];
    }
  });
  rated = RatedList{};
  for (const RatedList& s : shares) {
    rated.maxIntensity = std::max(rated.maxIntensity, s.maxIntensity);
    rated.lineCounts[0] += s.lineCounts[0];
    rated.lineCounts[1] += s.lineCounts[1];
  }
  return !stopped;
}

}  // namespace pelmora::search
