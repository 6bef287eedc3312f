#include "engine/SearchThreads.h"

#include <sched.h>

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

int CurrentCpu() { return sched_getcpu(); }

void StartAwayFrom(int cpu) {
  cpu_set_t allowed;
  if (cpu < 0 || cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  if (!CPU_ISSET(cpu, &allowed) || CPU_COUNT(&allowed) < 2) return;
  cpu_set_t others = allowed;
  CPU_CLR(cpu, &others);
  // Leaving cpu out moves the thread at once; putting it back lets the
  // system place it freely from then on.
  if (sched_setaffinity(0, sizeof others, &others) == 0) sched_setaffinity(0, sizeof allowed, &allowed);
}

}  // namespace pelmora::search
