/*
 * Pearson VII peak profile: a profile plug-in for Pelmora and an example for
 * plug-in authors.
 *
 *   f(d) = I * C(m) / H * (1 + 4 (2^(1/m) - 1) d^2 / H^2)^(-m)
 *
 * with d the distance from the peak in degrees 2-theta, H the full width at
 * half maximum and C(m) = 2 Gamma(m) sqrt(2^(1/m) - 1) / (sqrt(pi) Gamma(m - 1/2)),
 * which makes the area under the peak I. m = 1 is a Lorentzian and large m
 * approach a Gaussian; this profile uses m = 1.5, a shape common for
 * laboratory X-ray peaks.
 *
 * Width law (its own, degrees 2-theta): a Caglioti term for the instrument,
 * a Lorentzian-like strain and size term and Scherrer's crystallite size term,
 *   H = sqrt(U tan^2 t + V tan t + W) + X tan t + Y / cos t + 0.9 lambda / (D cos t) * 180 / pi.
 *
 * The program calls pelmora_PeakInit once per reflection and then
 * pelmora_ProfileFunction for each grid point of that reflection's window,
 * always on one thread, so the peak's constants live in static variables.
 */
#include <math.h>
#include <stdio.h>

#include "pelmora_plugin.h"

static const double kExponent = 1.5;
static const double kRadToDeg = 57.29577951308232;

/* Constants of the peak most recently initialised. */
static double peakNorm;  /* C(m) / H, or 0 when the width is unusable */
static double peakShape; /* 4 (2^(1/m) - 1) / H^2 */
static long peaksSinceInit;

PELMORA_EXPORT uint32_t pelmora_GetVer(void) { return PELMORA_PLUGIN_VERSION; }
PELMORA_EXPORT int32_t pelmora_GetType(void) { return PELMORA_KIND_PROFILE; }
PELMORA_EXPORT const char* pelmora_GetProfileName(void) { return "Pearson VII"; }

/* Called before every calculation the user starts with this profile. */
PELMORA_EXPORT void pelmora_ProfileInit(void) { peaksSinceInit = 0; }

PELMORA_EXPORT void pelmora_PeakInit(PeakParams* p) {
  const double t = tan(p->theta), c = cos(p->theta);
  const double caglioti = p->U * t * t + p->V * t + p->W;
  double H = (caglioti > 0.0 ? sqrt(caglioti) : 0.0) + p->X * t + p->Y / c;
  if (p->grainSize > 0.0) H += 0.9 * p->lambda / (p->grainSize * c) * kRadToDeg;
  ++peaksSinceInit;
  if (!(H > 0.0) || !isfinite(H)) {
    /* No usable width: report none and add nothing. */
    peakNorm = 0.0;
    peakShape = 0.0;
    p->fwhm = -1.0;
    p->scale = 0.0;
    return;
  }
  const double k = pow(2.0, 1.0 / kExponent) - 1.0;
  peakNorm = 2.0 * tgamma(kExponent) * sqrt(k) / (sqrt(M_PI) * tgamma(kExponent - 0.5)) / H;
  peakShape = 4.0 * k / (H * H);
  p->fwhm = H;
}

PELMORA_EXPORT double pelmora_ProfileFunction(const ProfilePoint* pt) {
  if (peakNorm == 0.0) return 0.0;
  return pt->intensity * peakNorm * pow(1.0 + peakShape * pt->delta * pt->delta, -kExponent);
}

/* The chart bar's "Info" button. A desktop plug-in would open a window; this
 * one describes itself on standard error. */
PELMORA_EXPORT void pelmora_ProfileInfo(void) {
  fprintf(stderr,
          "Pearson VII, m = %.1f; H = sqrt(U tg2 + V tg + W) + X tg + Y/cos + 0.9 lambda/(D cos); "
          "peaks since the last calculation: %ld\n",
          kExponent, peaksSinceInit);
}
