#include "engine/Validation.h"

#include <cmath>

#include <unistd.h>

#include "engine/Angles.h"
#include "engine/StructureEdits.h"
#include "io/NumberFormat.h"
#include "io/Translate.h"

namespace pelmora {

std::string CheckExperimentValue(const ExperimentParams& p, ExperimentValue which) {
  // A size, area, speed or coefficient of zero or below has no meaning: as
  // divisors they make the intensities infinite, as factors negative or zero.
  auto positive = [](const std::string& name, double value, const char* unit) {
    if (std::isfinite(value) && value > 0.0) return std::string();
    return cformat(TrText("engine", "Nieprawidłowa wartość: %s = %g %s; musi być większa od zera.").c_str(), name.c_str(), value, unit);
  };
  switch (which) {
    case ExperimentValue::AngleRange:
      // A pattern needs a stretch of angles to be drawn over.
      if (p.angleMin < p.angleMax || !std::isfinite(p.angleMin) || !std::isfinite(p.angleMax)) return {};
      return cformat(TrText("engine", "Nieprawidłowy zakres kątowy: min = %g, max = %g; kąt minimalny musi być mniejszy od maksymalnego.").c_str(),
                     p.angleMin, p.angleMax);
    case ExperimentValue::GrainSize:
      if (p.gsize > 0.0) return {};
      return cformat(TrText("engine", "Nieprawidłowy rozmiar ziarna (gsize) D = %g Å: szerokość piku wymaga D większego od zera.").c_str(),
                     p.gsize);
    case ExperimentValue::DwFactor:
      // Off, B does not enter the intensities (the field keeps it meanwhile).
      if (std::isfinite(p.dwfactor) && (p.IsDW != 1 || p.dwfactor >= 0.0)) return {};
      return cformat(TrText("engine", "Nieprawidłowa wartość: czynnik temperaturowy B = %g Å²; nie może być ujemny.").c_str(), p.dwfactor);
    case ExperimentValue::Absorption:
      return positive(TrText("engine", "współczynnik absorpcji (absorption)"), p.absorption, "cm⁻¹");
    case ExperimentValue::DetSlit:
      return positive(TrText("engine", "rozmiar szczeliny detektora (detslit)"), p.detslit, "mm²");
    case ExperimentValue::BeamArea:
      return positive(TrText("engine", "pole przekroju wiązki (beamarea)"), p.beamarea, "mm²");
    case ExperimentValue::MeasureSpeed:
      return positive(TrText("engine", "prędkość pomiaru (measurespeed)"), p.measurespeed, "°/min");
    case ExperimentValue::DifRadius:
      return positive(TrText("engine", "promień dyfraktometru (difradius)"), p.difradius, "mm");
    case ExperimentValue::Solvent:
      // Beyond k = 1 the solvent would outweigh the model at low angles.
      if (!p.solvent.on || (p.solvent.k >= 0.0 && p.solvent.k <= 1.0 && p.solvent.b >= 0.0 && std::isfinite(p.solvent.b)))
        return {};
      return cformat(TrText("engine", "Nieprawidłowa poprawka na rozpuszczalnik: k = %g, B = %g Å²; k musi leżeć w [0, 1], B nie może "
                     "być ujemne.").c_str(),
                     p.solvent.k, p.solvent.b);
  }
  return {};
}

double CalculationMemoryLimit() {
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 4.0e9;  // unknown: a modest machine's share
  return 0.75 * static_cast<double>(pages) * static_cast<double>(pageSize);
}

std::string CKomorka::ValidateCalculation() const {
  // The constants may have changed since the metric was last refreshed, and
  // validation must not touch the document.
  const double V = cell.WithFreshMetric().CellVolume();
  // Angles whose axes (almost) lie in one plane leave only rounding residue
  // under the square root: such a cell has no volume either.
  if (!(std::isfinite(V) && V > 1e-5 * std::fabs(cell.a * cell.b * cell.c)))
    return cformat(TrText("engine", "Nieprawidłowa komórka elementarna: objętość V = %g Å³ (a = %g, b = %g, c = %g, "
                   "alfa = %g, beta = %g, gamma = %g).").c_str(),
                   V, cell.a, cell.b, cell.c, cell.alfa, cell.beta, cell.gamma);
  if (!(std::isfinite(experiment.lambda1) && experiment.lambda1 > 0.0))
    return cformat(TrText("engine", "Nieprawidłowa długość fali lambda1 = %g Å: musi być większa od zera.").c_str(), experiment.lambda1);
  if (!(std::isfinite(experiment.lambda2) && experiment.lambda2 >= 0.0))
    return cformat(TrText("engine", "Nieprawidłowa długość fali lambda2 = %g Å: musi być dodatnia (0 = brak drugiej linii).").c_str(),
                   experiment.lambda2);
  for (ExperimentValue v : {ExperimentValue::DifRadius, ExperimentValue::MeasureSpeed, ExperimentValue::Absorption,
                            ExperimentValue::DetSlit, ExperimentValue::BeamArea, ExperimentValue::DwFactor,
                            ExperimentValue::Solvent})
    if (std::string why = CheckExperimentValue(experiment, v); !why.empty()) return why;
  // Only the peak widths use the grain size, and only some profiles need it
  // above zero (they check it themselves); below zero it is never a size.
  if (!(experiment.gsize >= 0.0)) return CheckExperimentValue(experiment, ExperimentValue::GrainSize);
  const struct {
    const char* name;
    double value;
  } finite[] = {{"angleMin", experiment.angleMin}, {"angleMax", experiment.angleMax}, {"ratio", experiment.ratio}};
  for (const auto& p : finite)
    if (!std::isfinite(p.value)) return cformat(TrText("engine", "Nieprawidłowa wartość: %s = %g.").c_str(), p.name, p.value);
  // The second line's share: below zero its peaks would point down.
  if (experiment.ratio < 0.0)
    return cformat(TrText("engine", "Nieprawidłowa wartość: stosunek natężeń Kα2/Kα1 (ratio) = %g; nie może być ujemny.").c_str(),
                   experiment.ratio);
  if (std::string why = CheckExperimentValue(experiment, ExperimentValue::AngleRange); !why.empty()) return why;
  // Guard against a calculation that would not fit in memory: the number of
  // reciprocal lattice points inside the limiting sphere grows with
  // V / d_min^3, and at worst half as many groups are kept.
  const double r = experiment.InverseDMin();
  const double expected = 4.0 / 3.0 * kPi * V * r * r * r;
  const double need = CalculationBytes(expected), limit = CalculationMemoryLimit();
  if (!(need <= limit))
    return cformat(TrText("engine", "Zbyt wiele refleksów do obliczenia (około %.3g): potrzeba by do %.1f GB pamięci, a obliczenie może "
                   "zająć najwyżej %.1f GB (trzy czwarte pamięci komputera); zmniejsz komórkę lub zakres kątów.").c_str(),
                   expected, need / 1e9, limit / 1e9);
  for (const AtomSite& at : crystal.cellAtoms)
    if (!std::isfinite(at.x) || !std::isfinite(at.y) || !std::isfinite(at.z))
      return cformat(TrText("engine", "Nieprawidłowe współrzędne atomu \"%s\".").c_str(), at.name.c_str());
  for (const AtomSite& at : crystal.cellAtoms) {
    if (!OccupancyValid(at.occupancy))
      return cformat(TrText("engine", "Nieprawidłowe obsadzenie atomu \"%s\": %g; musi być większe od 0 i nie większe od 1.").c_str(),
                     at.name.c_str(), at.occupancy);
    if (!SiteBValid(at.biso))
      return cformat(TrText("engine", "Nieprawidłowy czynnik temperaturowy atomu \"%s\": B = %g Å²; nie może być ujemny.").c_str(),
                     at.name.c_str(), *at.biso);
  }
  return {};
}

bool ProfileUsesGrainSize(ProfileId id) {
  return id == kProfileGauss || id == kProfileLorentz || id == kProfilePseudoVoigt;
}

std::string ValidateProfileInput(const ExperimentParams& experiment, ProfileId id) {
  if (ProfileUsesGrainSize(id)) return CheckExperimentValue(experiment, ExperimentValue::GrainSize);
  return {};
}

std::string ValidateRun(const CKomorka& doc, ProfileId id) {
  std::string why = doc.ValidateCalculation();
  if (why.empty()) why = ValidateProfileInput(doc.experiment, id);
  return why;
}

}  // namespace pelmora
