// Every refusal of a calculation in one place: the document's own values
// (all at once for a run, one at a time for the editors that point at a
// field) and what the chosen profile needs of them. The texts are the
// messages the user sees.
#pragma once

#include <cstdint>
#include <string>

#include "engine/Experiment.h"
#include "engine/Komorka.h"

namespace pelmora {

// The memory one calculation may take: three quarters of the computer's.
double CalculationMemoryLimit();

// Built-in profiles are negative; 0 and above index a profile plug-in in the
// plug-in table. Any other negative value selects nothing (the pattern stays zero).
using ProfileId = std::int32_t;
inline constexpr ProfileId kProfileStick = -1;        // "brak"
inline constexpr ProfileId kProfileGauss = -2;        // "Gauss"
inline constexpr ProfileId kProfileLorentz = -3;      // "Lorentz"
inline constexpr ProfileId kProfilePseudoVoigt = -4;  // "pseudo Voigt" (Thompson-Cox-Hastings)

// Empty when the value is acceptable; otherwise the message with which the
// calculation refuses it. The sample and diffractometer values are physical
// sizes, so each must be above zero; B must not be negative while the
// temperature factor is on. The grain size enters only the peak widths: the
// calculation refuses a negative one, the profiles that use it a zero too.
std::string CheckExperimentValue(const ExperimentParams& p, ExperimentValue which);

// The profiles whose width uses the grain size D.
bool ProfileUsesGrainSize(ProfileId id);
// Empty when the profile can work with the document's values; otherwise a
// message for the user (a grain size D <= 0 with a profile that divides by it).
std::string ValidateProfileInput(const ExperimentParams& experiment, ProfileId id);
// The document's own checks followed by the profile's.
std::string ValidateRun(const CKomorka& doc, ProfileId id);

}  // namespace pelmora
