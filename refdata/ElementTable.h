// The element table: symbols, Polish names and structure-type colours of the
// 118 elements and the placeholder "X", each with its tabulated ions
// (X-ray form factors) and isotopes (neutron scattering lengths).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pelmora {

// Cromer-Mann coefficients of one ion's X-ray form factor.
struct IonRecord {
  std::int32_t charge = 0;
  double a1 = 0.0, b1 = 0.0, a2 = 0.0, b2 = 0.0, a3 = 0.0, b3 = 0.0, a4 = 0.0, b4 = 0.0, c = 0.0;
  bool operator==(const IonRecord&) const = default;
};

// Coherent neutron scattering length of one isotope; mass 0 stands for the
// natural isotope mixture.
struct IsotopeRecord {
  std::int32_t mass = 0;
  double s = 0.0;
  bool operator==(const IsotopeRecord&) const = default;
};

struct ElementEntry {
  std::string symbol;
  std::string name;              // Polish, lower case; empty for 112-118
  std::uint32_t structureColor;  // 0x00BBGGRR
  std::int32_t defaultIon = 0;
  std::int32_t defaultIsotope = 0;
  std::vector<IonRecord> ions;          // tabulated, at most kMaxTabulated
  std::vector<IsotopeRecord> isotopes;  // tabulated, at most kMaxTabulated
  // The user's own records, which stand behind the tabulated ones (slot
  // ionCount() / isotopeCount()) and are never written to the files.
  IonRecord userIon;
  IsotopeRecord userIsotope;

  int ionCount() const { return static_cast<int>(ions.size()); }
  int isotopeCount() const { return static_cast<int>(isotopes.size()); }
  // Slot i: a tabulated record for i < count, the user record for i == count.
  const IonRecord* IonSlot(int i) const;
  const IsotopeRecord* IsotopeSlot(int i) const;
};

class ElementTable {
 public:
  static constexpr int kElementCount = 119;  // 118 elements and "X"
  static constexpr int kPlaceholder = 119;
  static constexpr int kMaxTabulated = 49;   // per element, ions and isotopes each

  ElementTable();

  // Element numbers run 1..119; anything else gives null.
  const ElementEntry* Find(int nr) const;
  ElementEntry* Find(int nr);
  // Number 0 (an atom without an element) stands for "X".
  const ElementEntry& Entry(int nr) const;

  // Appends a tabulated record; false when the element is full or the
  // number is not a real element (1..118).
  bool AppendIon(int nr, const IonRecord& ion);
  bool AppendIsotope(int nr, const IsotopeRecord& iso);
  // Removes tabulated record `index` (later ones move down, the user record
  // stays behind the last). The default keeps its record; when that is the
  // one removed, it falls to the record now at its place (or the last one).
  // False for an index that names no tabulated record.
  bool RemoveIon(int nr, int index);
  bool RemoveIsotope(int nr, int index);
  // Drops every tabulated record and zeroes the defaults and user records.
  void ClearIons();
  void ClearIsotopes();

  // Index of the first tabulated record with that key, or -1.
  int FindIon(int nr, int charge) const;
  int FindIsotope(int nr, int mass) const;

  // Sort by ascending charge (mass number) and point the default at the
  // record with the former default's key, the last one when several share
  // it.
  void SortIons(int nr);
  void SortIsotopes(int nr);

  // Proposed atom name: symbol, charge ("+2", "-2", nothing for 0), and the
  // mass number in parentheses unless the isotope is the element's default
  // or its mass number is below 1.
  // An index of -1 (nothing selected) adds nothing.
  std::string AtomNameFor(int nr, int ionIndex, int isotopeIndex) const;

  // Number of the element with this symbol (1..119), or 0.
  int NumberOf(const std::string& symbol) const;

 private:
  std::array<ElementEntry, kElementCount> entries_;
};

// One named table of anomalous-dispersion terms, f' and f'' per element.
struct AnomalTable {
  static constexpr int kMaxElement = 118;
  std::string name;
  std::array<double, kMaxElement + 1> fprim{};  // indexed by element number; [0] unused
  std::array<double, kMaxElement + 1> fbis{};
};

}  // namespace pelmora
