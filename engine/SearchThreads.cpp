#include "engine/SearchThreads.h"

#include <algorithm>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace pelmora::search {

int MaxThreads() {
#ifdef _OPENMP
  return std::max(1, omp_get_max_threads());
#else
  return 1;
#endif
}

}  // namespace pelmora::search
