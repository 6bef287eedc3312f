// The groups of reflections: records that share the angle to four decimals
// and belong to one form (ReflectionForms). A group's |F|^2 is the mean
// of its members', which differ only by anomalous scattering or by atoms
// that keep their symmetry to a tolerance. The search adds the
// records it finds to tables of groups; the groups then become the list's
// reflection records in list order.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/LargeArrays.h"
#include "engine/Reflection.h"
#include "engine/ReflectionForms.h"

namespace pelmora::search {

inline double RoundDown4(double x) {
  const double p = std::pow(10.0, 4);
  return std::floor(x * p) / p;
}

// One index triple in range, as the search finds it: no more than sorting
// and grouping need, so that a large cell's records stay small.
struct Found {
  double theta, d, reF, imF;
  double f2;  // in a group table, the sum over the group's records
  std::int32_t h, k, l;
};

// The list order of ReflectionBefore, on found records.
inline bool FoundBefore(const Found& a, const Found& b) {
  if (a.theta != b.theta) return a.theta < b.theta;
  if (a.h != b.h) return a.h > b.h;
  if (a.k != b.k) return a.k > b.k;
  return a.l > b.l;
}

// Reflections of one group share the angle to four decimals and their form.
struct GroupKey {
  double theta;
  int i0, i1, i2;  // the form's key
  bool operator==(const GroupKey& o) const { return theta == o.theta && i0 == o.i0 && i1 == o.i1 && i2 == o.i2; }
  static GroupKey Of(const Found& r, const ReflectionForms& forms) {
    const std::array<int, 3> v = forms.Key(r.h, r.k, r.l);
    return {RoundDown4(r.theta), v[0], v[1], v[2]};
  }
  std::uint64_t Hash() const {
    std::uint64_t t;
    std::memcpy(&t, &theta, 8);
    std::uint64_t h = t * 0x9E3779B97F4A7C15ull;
    h ^= (static_cast<std::uint64_t>(i0) << 40 | static_cast<std::uint64_t>(i1) << 20 |
          static_cast<std::uint64_t>(i2)) +
         0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    // Every bit of the result depends on every input bit: the table takes
    // its slot from the low bits and a tag from the high ones.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
  }
};

// A double's bits as an integer of the same order (negatives below
// positives), and the sort of such keys (by bits, then n) that the group
// tables use.
inline std::uint64_t AngleBits(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, 8);
  return (b >> 63) != 0 ? ~b : b | (std::uint64_t{1} << 63);
}
// h, k and l within +-511 as one number that orders them as list order
// does (larger first); 0 when one lies outside.
inline std::uint64_t PackedIndices(std::int32_t h, std::int32_t k, std::int32_t l) {
  constexpr std::int32_t kMax = 511;
  if (h < -kMax || h > kMax || k < -kMax || k > kMax || l < -kMax || l > kMax) return 0;
  const auto field = [](std::int32_t i) { return static_cast<std::uint64_t>(i + kMax + 1); };
  return field(h) << 20 | field(k) << 10 | field(l);
}
struct AngleKey {
  std::uint64_t bits, n;
};
void SortAngleKeys(std::vector<AngleKey>& keys);

// The groups of one wavelength as the search finds them, so that memory
// follows the grouped list rather than the raw reflection count. A record
// joins the one group with its exact key; a group keeps the number of its
// records, the sum of their |F|^2 and its first record in list order
// (FoundBefore), which is what grouping the sorted list would give: counts
// and minima do not depend on the order the records come in, so neither
// does the outcome on the threads (the sum only to its last bits).
// Open addressing over a power-of-two table that grows at half load; the
// entries live in blocks that never move, so growing copies no entry.
class GroupTable {
 public:
  // The key is that of the first record: a group's records share it; the
  // first's f2 holds the group's sum. One cache line per group, which is
  // where a large search spends its time.
  struct alignas(64) Entry {
    Found first;
    std::int32_t count;
  };

  explicit GroupTable(const ReflectionForms* forms) : forms_(forms) {}

  void Add(const Found& r) {
    const GroupKey key = GroupKey::Of(r, *forms_);
    Add(key, key.Hash(), r, 1);
  }
  // r stands for count records; its f2 is their sum.
  void Add(const GroupKey& key, std::uint64_t hash, const Found& r, std::int32_t count) {
    if (2 * (size_ + 1) > slots_.size()) Grow();
    const std::uint64_t tag = hash & kTagMask;
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) {
        if (BlockFull()) AddBlock();
        At(size_++) = {r, count};
        slots_[i] = tag | size_;
        return;
      }
      if ((slot & kTagMask) != tag) continue;
      Entry& e = At((slot & ~kTagMask) - 1);
      if (GroupKey::Of(e.first, *forms_) == key) {
        e.count += count;
        const double sum = e.first.f2 + r.f2;
        if (FoundBefore(r, e.first)) e.first = r;
        e.first.f2 = sum;
        return;
      }
    }
  }
  // A record known to be a group of its own: no key, no slots. Only for
  // tables that are never added to otherwise nor merged.
  void Append(const Found& r, std::int32_t count) {
    if (BlockFull()) AddBlock();
    At(size_++) = {r, count};
  }
  size_t size() const { return size_; }
  // Memory fetches started early: a large search waits mostly on the
  // table, whose slots and entries lie far apart.
  void PrefetchSlot(std::uint64_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[hash & mask_]);
  }
  void PrefetchEntry(std::uint64_t hash) const {
    if (slots_.empty()) return;
    const std::uint64_t slot = slots_[hash & mask_];
    if (slot != 0 && (slot & kTagMask) == (hash & kTagMask)) __builtin_prefetch(&At((slot & ~kTagMask) - 1));
  }
  // Takes in the other table's groups; the other is emptied. Slots for
  // both at once, and the same fetching ahead as the search's.
  void MergeFrom(GroupTable& other) {
    if (other.size_ > size_) std::swap(*this, other);
    while (2 * (size_ + other.size_) > slots_.size()) Grow();
    constexpr size_t kBatch = 256, kAhead = 16;
    GroupKey keys[kBatch];
    std::uint64_t hashes[kBatch];
    for (size_t n0 = 0; n0 < other.size_; n0 += kBatch) {
      const size_t nb = std::min(kBatch, other.size_ - n0);
      for (size_t j = 0; j < nb; ++j) {
        keys[j] = GroupKey::Of(other.At(n0 + j).first, *forms_);
        hashes[j] = keys[j].Hash();
        if (j < kAhead) PrefetchSlot(hashes[j]);
      }
      for (size_t j = 0; j < nb; ++j) {
        if (j + kAhead < nb) PrefetchSlot(hashes[j + kAhead]);
        if (j + kAhead / 2 < nb) PrefetchEntry(hashes[j + kAhead / 2]);
        const Entry& e = other.At(n0 + j);
        Add(keys[j], hashes[j], e.first, e.count);
      }
    }
    // The other's pages go to the tables merged after it and the orders.
    for (size_t b = 1; b < other.blocks_.size(); ++b) KeepPages(other.blocks_[b].get(), kBlock * sizeof(Entry));
    FreeKeepingPages(other.slots_);
    other = GroupTable(forms_);
  }
  // The slots' pages kept for the run's next buffers, once the entries are
  // only read through their order.
  void FreeSlots() {
    FreeKeepingPages(slots_);
    mask_ = 0;
  }
  // The entries in the order of their first records: keys of the angles'
  // bits sorted, where a comparison sort over entries a cache line each
  // would read them many times.
  std::vector<const Entry*> Sorted() const {
    // The key's second half holds the entry's number and, for indices
    // within +-511, the indices packed so that a smaller number comes
    // first in list order: the sort then puts runs of one angle in order
    // too, without reading their entries, which lie far apart.
    constexpr std::uint64_t kNumber = 0xFFFFFFFFull, kLastPacked = (std::uint64_t{1} << 30) - 1;
    bool packed = size_ <= kNumber;
    std::vector<AngleKey> keys = LargeVector<AngleKey>(size_);
    for (size_t n = 0; n < size_; ++n) {
      const Found& f = At(n).first;
      keys[n] = {AngleBits(f.theta), static_cast<std::uint64_t>(n)};
      if (packed) {
        const std::uint64_t indices = PackedIndices(f.h, f.k, f.l);
        packed = indices != 0;
        keys[n].n |= (kLastPacked - indices) << 32;
      }
    }
    SortAngleKeys(keys);
    // Numbers past 32 bits come with no indices beside them.
    const std::uint64_t number = size_ <= kNumber ? kNumber : ~std::uint64_t{0};
    std::vector<const Entry*> out = LargeVector<const Entry*>(size_);
    for (size_t i = 0; i < size_;) {
      size_t j = i + 1;
      while (j < size_ && keys[j].bits == keys[i].bits) ++j;
      if (j - i > 1 && !packed) {
        std::sort(keys.begin() + i, keys.begin() + j, [this, number](const AngleKey& x, const AngleKey& y) {
          return FoundBefore(At(x.n & number).first, At(y.n & number).first);
        });
      }
      for (; i < j; ++i) out[i] = &At(keys[i].n & number);
    }
    FreeKeepingPages(keys);
    return out;
  }

 private:
  // The first block small, for the many small tables; the rest of 2 MB
  // each, for the few large ones, which would otherwise map and unmap a
  // block every 4096 entries.
  static constexpr size_t kFirstBlock = 4096, kBlock = (size_t{2} << 20) / sizeof(Entry);
  bool BlockFull() const { return size_ < kFirstBlock ? size_ == 0 : (size_ - kFirstBlock) % kBlock == 0; }
  void AddBlock() {
    const size_t entries = blocks_.empty() ? kFirstBlock : kBlock;
    void* block = std::aligned_alloc(alignof(Entry), entries * sizeof(Entry));
    if (!block) throw std::bad_alloc();
    if (entries == kBlock) ReadyPages(block, entries * sizeof(Entry));
    blocks_.emplace_back(static_cast<Entry*>(block));
  }
  // A slot holds the hash's high half and the entry number + 1; 0 = free.
  static constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;
  Entry& At(size_t n) {
    return n < kFirstBlock ? blocks_[0][n] : blocks_[1 + (n - kFirstBlock) / kBlock][(n - kFirstBlock) % kBlock];
  }
  const Entry& At(size_t n) const { return const_cast<GroupTable*>(this)->At(n); }
  void Grow() {
    const size_t cap = slots_.empty() ? 1024 : 2 * slots_.size();
    FreeKeepingPages(slots_);
    slots_ = LargeVector<std::uint64_t>(cap);
    mask_ = cap - 1;
    for (size_t n = 0; n < size_; ++n) {
      const std::uint64_t hash = GroupKey::Of(At(n).first, *forms_).Hash();
      for (size_t i = hash & mask_;; i = (i + 1) & mask_)
        if (slots_[i] == 0) {
          slots_[i] = (hash & kTagMask) | (n + 1);
          break;
        }
    }
  }

  const ReflectionForms* forms_;
  size_t mask_ = 0, size_ = 0;
  std::vector<std::uint64_t> slots_;
  static_assert(std::is_trivially_destructible_v<Entry>);
  struct FreeBlock {
    void operator()(Entry* e) const { std::free(e); }
  };
  std::vector<std::unique_ptr<Entry[], FreeBlock>> blocks_;
};

// The groups of one wavelength: tables that split the keys among them, and
// each table's entries in list order.
struct LineGroups {
  std::vector<GroupTable> parts;
  std::vector<std::vector<const GroupTable::Entry*>> order;
  size_t size() const {
    size_t n = 0;
    for (const auto& o : order) n += o.size();
    return n;
  }
};

// The reflection records of both lines' groups in one list by angle; equal
// angles and indices keep the first line first.
std::vector<Reflection> MakeList(const LineGroups& line1, const LineGroups& line2, double lambda1, double lambda2);

}  // namespace pelmora::search
