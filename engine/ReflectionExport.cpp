#include "engine/ReflectionExport.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>

#include "engine/LargeArrays.h"
#include "engine/SearchThreads.h"
#include "io/NumberFormat.h"

namespace pelmora {

bool ShowsReflection(const ExperimentParams& experiment, const Reflection& r, const ReflectionFilter& filter) {
  const double tt = TwoThetaDegrees(r);
  if (!(experiment.angleMin <= tt && tt <= experiment.angleMax)) return false;
  if (r.nonZero != 1 && !filter.extinct) return false;
  return (r.line == 1 && filter.firstLine) || (r.line == 2 && filter.secondLine);
}

namespace {

constexpr const char* kListHeader =
    "L.p.         h    k    l    2 theta    m      Re(F)      Im(F)      F         d[A]\tH\t   Natężenie\t "
    "Natężenie %\r\n";

// Room for one line: thirteen numbers and the separators.
constexpr size_t kMaxRowChars = 13 * kMaxNumberChars + 64;

char* Put(char* p, const char* text, size_t n) {
  std::memcpy(p, text, n);
  return p + n;
}

// Three blanks, then the column.
template <int Width>
char* SpacedInt(char* p, long value) {
  return IntFieldToChars<Width>(Put(p, "   ", 3), value);
}
template <int Width, int Precision>
char* SpacedFixed(char* p, double value) {
  return FixedFieldToChars<Width, Precision>(Put(p, "   ", 3), value);
}

// "%3d   Ka1%5d   %2d   %2d   %8.4f   %2d   %8.3f   %8.3f   %9.3f   %6.4f   %6.6f   %12.4f     %8.4f\r\n"
char* FormatRow(char* p, int n, const Reflection& r, double pct) {
  p = IntFieldToChars<3>(p, n);
  if (r.line == 1) p = Put(p, "   Ka1", 6);
  else if (r.line == 2) p = Put(p, "   Ka2", 6);
  else p = Put(p, "   ", 3);
  p = IntFieldToChars<5>(p, r.h);
  p = SpacedInt<2>(p, r.k);
  p = SpacedInt<2>(p, r.l);
  p = SpacedFixed<8, 4>(p, TwoThetaDegrees(r));
  p = SpacedInt<2>(p, r.multiplicity);
  p = SpacedFixed<8, 3>(p, r.reF);
  p = SpacedFixed<8, 3>(p, r.imF);
  p = SpacedFixed<9, 3>(p, r.f2);
  p = SpacedFixed<6, 4>(p, r.d);
  p = SpacedFixed<6, 6>(p, r.fwhm);
  p = SpacedFixed<12, 4>(p, r.intensity);
  p = FixedFieldToChars<8, 4>(Put(p, "     ", 5), pct);
  return Put(p, "\r\n", 2);
}

// The lines of the shown reflections among reflectionsAll[begin, end), the
// first numbered n, formatted in place after what `out` holds.
void AppendRows(LargeText& out, const CKomorka& doc, const ReflectionFilter& filter, size_t begin, size_t end,
                int n) {
  if (!out.Room((end - begin) * 140 + kMaxRowChars)) throw std::bad_alloc();
  for (size_t i = begin; i < end; ++i) {
    const Reflection& r = doc.results.reflectionsAll[i];
    if (!ShowsReflection(doc.experiment, r, filter)) continue;
    if (!out.Room(kMaxRowChars)) throw std::bad_alloc();
    out.SetEnd(FormatRow(out.end(), n++, r, IntensityPercent(r.intensity, doc.results.maxIntensity)));
  }
}

// What the threads of WriteBlocksOnThreads share, under `mutex`.
struct BlockQueue {
  BlockQueue(size_t blocks, size_t slotCount) : text(slotCount), ready(blocks, 0), nb(blocks), slots(slotCount) {}
  std::vector<LargeText> text;
  std::vector<char> ready;
  std::mutex mutex;
  std::condition_variable changed;
  size_t nb, slots, next = 0, written = 0;
  bool stop = false;
  // The first exception of any thread (memory running out): every thread
  // stops, and it reaches the caller once they have.
  std::exception_ptr failure;
  void Fail() {
    if (!failure) failure = std::current_exception();
    stop = true;
  }

  // A formatting thread: the next block while there is room for it.
  void FormatAhead(const std::function<void(size_t, LargeText&)>& format) {
    try {
      for (;;) {
        size_t b;
        {
          std::unique_lock<std::mutex> lock(mutex);
          changed.wait(lock, [&] { return stop || next >= nb || next < written + slots; });
          if (stop || next >= nb) return;
          b = next++;
        }
        format(b, text[b % slots]);
        {
          const std::lock_guard<std::mutex> lock(mutex);
          ready[b] = 1;
        }
        changed.notify_all();
      }
    } catch (...) {
      {
        const std::lock_guard<std::mutex> lock(mutex);
        Fail();
      }
      changed.notify_all();
    }
  }

  // The writing thread: each block in order once made, formatting one
  // itself while none is ready; false once a write failed.
  bool WriteInOrder(const std::function<void(size_t, LargeText&)>& format,
                    const std::function<bool(std::string_view)>& write) {
    bool ok = true;
    std::unique_lock<std::mutex> lock(mutex);
    try {
      while (ok && !stop && written < nb) {
        if (ready[written]) {
          const size_t b = written;
          lock.unlock();
          ok = write(text[b % slots].View());
          lock.lock();
          written = b + 1;
          stop = !ok;
          changed.notify_all();
        } else if (next < nb && next < written + slots) {
          const size_t b = next++;
          lock.unlock();
          format(b, text[b % slots]);
          lock.lock();
          ready[b] = 1;
        } else {
          changed.wait(lock, [&] { return ready[written] != 0 || stop; });
        }
      }
    } catch (...) {
      if (!lock.owns_lock()) lock.lock();
      Fail();
    }
    lock.unlock();
    changed.notify_all();
    return ok;
  }
};

// Blocks 0 .. nb - 1 made by format(b, text) on threads and written in
// order; false once a write failed.
bool WriteBlocksOnThreads(size_t nb, unsigned threads, const std::function<void(size_t, LargeText&)>& format,
                          const std::function<bool(std::string_view)>& write) {
  // The threads format blocks ahead while this one writes them in order, so
  // that the disk and the formatting overlap; a block's text waits in one
  // of 2 threads + 1 slots until written, so that a slow write seldom
  // holds up the formatting. This thread formats too when no block is
  // ready to write: as a writer only, it made one thread more than cores,
  // and the formatting threads waited whenever the system left it asleep.
  BlockQueue queue(nb, 2 * threads + 1);
  bool ok = true;
  {
    std::vector<AwayThread> workers;
    workers.reserve(threads);
    // Fewer threads where the system starts no more: this one formats too.
    for (unsigned i = 1; i < threads; ++i) {
      try {
        workers.emplace_back([&queue, &format] { queue.FormatAhead(format); });
      } catch (const std::system_error&) {
        break;
      }
    }
    ok = queue.WriteInOrder(format, write);
  }
  if (queue.failure) std::rethrow_exception(queue.failure);
  return ok;
}

}  // namespace

bool WriteReflectionListBlocks(const CKomorka& doc, const ReflectionFilter& filter, unsigned threads,
                               const std::function<bool(std::string_view)>& write, size_t blockRows) {
  threads = std::max(1u, threads);
  const std::vector<Reflection>& all = doc.results.reflectionsAll;
  // A list shorter than a round of blocks is shared among the threads too.
  blockRows = std::max<size_t>(1, std::min(blockRows, (all.size() + threads - 1) / threads));
  if (!write(kListHeader)) return false;
  const size_t nb = (all.size() + blockRows - 1) / blockRows;
  // Each block's first number: the shown lines before it, counted block by
  // block on the threads that format.
  std::vector<int> first(nb + 1, 0);
  const size_t counters = std::max<size_t>(1, std::min<size_t>(threads, nb));
  search::OnThreads(static_cast<int>(counters), [&](int t) {
    for (size_t b = nb * t / counters; b < nb * (t + 1) / counters; ++b) {
      int shown = 0;
      for (size_t j = b * blockRows; j < std::min(all.size(), (b + 1) * blockRows); ++j)
        shown += ShowsReflection(doc.experiment, all[j], filter);
      first[b + 1] = shown;
    }
  });
  for (size_t b = 0; b < nb; ++b) first[b + 1] += first[b];
  const auto format = [&](size_t b, LargeText& out) {
    out.Clear();
    AppendRows(out, doc, filter, b * blockRows, std::min(all.size(), (b + 1) * blockRows), first[b]);
  };
  if (threads == 1) {
    LargeText text;
    for (size_t b = 0; b < nb; ++b) {
      format(b, text);
      if (!write(text.View())) return false;
    }
    return true;
  }
  return WriteBlocksOnThreads(nb, threads, format, write);
}

std::string FormatReflectionList(const CKomorka& doc, const ReflectionFilter& filter) {
  std::string text;
  WriteReflectionListBlocks(doc, filter, 1, [&text](std::string_view block) {
    text += block;
    return true;
  });
  return text;
}

}  // namespace pelmora
