// The rating of the reflection groups the search made: the integrated
// intensity of each.
#pragma once

#include <atomic>

#include <vector>

#include "engine/Reflection.h"
#include "engine/SearchThreads.h"

namespace pelmora {

class CKomorka;

namespace search {

// What the rating learns of the list on the way: the strongest group of
// the first line and the groups of each line.
struct RatedList {
  double maxIntensity = 0.0;
  int lineCounts[2] = {0, 0};
};

// The integrated intensity of every group of both lines (each by its
// line), shared among the threads for a long list; progress from 750 to
// 1000. False when cancelled.
bool RateGroups(const CKomorka& doc, std::vector<Reflection>& groups, PositionPoster& poster,
                const std::atomic<bool>& cancel, RatedList& rated);

}  // namespace search
}  // namespace pelmora
