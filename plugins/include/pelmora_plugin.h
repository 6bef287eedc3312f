/*
 * pelmora_plugin.h - the binary interface between Pelmora and its plug-ins.
 *
 * A plug-in is a shared library ("*.so") in the plug-ins folder that exports
 * plain C functions named "pelmora_...". Pelmora loads every library once at
 * start-up, in file-name order, and looks each function up by name whenever
 * it needs it. Every plug-in exports pelmora_GetVer and pelmora_GetType; the
 * other exports depend on the kind. All calls come from the program's user
 * interface thread, one at a time, so a plug-in needs no locking.
 *
 * Strings returned by a plug-in are NUL-terminated UTF-8, owned by the
 * plug-in and only read by the program. Numbers are 32-bit integers and
 * 64-bit doubles. Fields marked "unset" are zero-filled by Pelmora, but a
 * plug-in must not rely on their contents.
 *
 * Write numbers in files with a decimal point whatever the user's locale:
 * the program may run under a locale whose decimal separator is a comma.
 */
#ifndef PELMORA_PLUGIN_H
#define PELMORA_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Newest interface version. A library reporting more is refused and ends the
 * scan; a peak-profile library reporting less is listed but never used. */
#define PELMORA_PLUGIN_VERSION 0x102u

/* Values of pelmora_GetType. */
#define PELMORA_KIND_PROFILE 5      /* peak-profile function */
#define PELMORA_KIND_IMAGE_FORMAT 16 /* image file format of the 3D view */
#define PELMORA_KIND_CHART_FORMAT 17 /* diffractogram file format */

/* Handed to pelmora_PeakInit once per reflection (168 bytes). Angles of the
 * cell in degrees, theta in radians, lengths in angstrom. */
typedef struct PeakParams {
  int32_t h, k, l;
  int32_t unset0;
  double theta;     /* Bragg angle of this reflection, radians */
  double lambda;    /* wavelength of the line that produced it */
  double grainSize; /* D, same length unit as lambda */
  double unity;     /* always 1.0 */
  double U, V, W, X, Y;
  double a, b, c;
  double alpha, beta, gamma;
  double scale;     /* in and out: 1.0 on entry; multiplies every profile value of this peak */
  double unset1[2];
  double fwhm;      /* out: full width at half maximum in degrees 2-theta; -1.0 on entry */
} PeakParams;

/* Handed to pelmora_ProfileFunction once per grid point (32 bytes). */
typedef struct ProfilePoint {
  double intensity; /* I, the reflection's integrated intensity */
  double unset;
  double delta;     /* 2-theta of the grid point minus 2-theta of the peak, degrees */
  double step;      /* grid step, degrees (0.005) */
} ProfilePoint;

/* One point of a diffractogram as pelmora_SaveChart receives it (16 bytes):
 * intensities are not yet multiplied by the scale. */
typedef struct PatternPoint {
  double twoTheta; /* degrees */
  double intensity;
} PatternPoint;

#ifdef __cplusplus
#define PELMORA_LAYOUT_CHECK(cond, msg) static_assert(cond, msg)
#else
#define PELMORA_LAYOUT_CHECK(cond, msg) _Static_assert(cond, msg)
#endif
PELMORA_LAYOUT_CHECK(sizeof(PeakParams) == 168, "PeakParams is 168 bytes");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, theta) == 16, "theta at 16");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, lambda) == 24, "lambda at 24");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, grainSize) == 32, "D at 32");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, unity) == 40, "1.0 at 40");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, U) == 48, "U at 48");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, Y) == 80, "Y at 80");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, a) == 88, "a at 88");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, alpha) == 112, "alpha at 112");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, gamma) == 128, "gamma at 128");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, scale) == 136, "scale at 136");
PELMORA_LAYOUT_CHECK(offsetof(PeakParams, fwhm) == 160, "FWHM at 160");
PELMORA_LAYOUT_CHECK(sizeof(ProfilePoint) == 32, "ProfilePoint is 32 bytes");
PELMORA_LAYOUT_CHECK(offsetof(ProfilePoint, delta) == 16, "delta at 16");
PELMORA_LAYOUT_CHECK(offsetof(ProfilePoint, step) == 24, "step at 24");
PELMORA_LAYOUT_CHECK(sizeof(PatternPoint) == 16, "PatternPoint is two doubles");
#undef PELMORA_LAYOUT_CHECK

/* Signatures of the exports, for the program's lookups and as a checklist
 * for plug-in authors. */
typedef uint32_t (*pelmora_GetVer_fn)(void);          /* all kinds */
typedef int32_t (*pelmora_GetType_fn)(void);          /* all kinds */
typedef const char* (*pelmora_GetProfileName_fn)(void); /* PELMORA_KIND_PROFILE */
typedef void (*pelmora_ProfileInit_fn)(void);         /* PELMORA_KIND_PROFILE, optional: before each calculation */
typedef void (*pelmora_PeakInit_fn)(PeakParams*);     /* PELMORA_KIND_PROFILE, optional: per reflection */
typedef double (*pelmora_ProfileFunction_fn)(const ProfilePoint*); /* PELMORA_KIND_PROFILE: per grid point, before the scale */
typedef void (*pelmora_ProfileInfo_fn)(void);         /* PELMORA_KIND_PROFILE, optional: the chart bar's "Info" */
typedef const char* (*pelmora_GetFileFilterLabel_fn)(void); /* kinds 16, 17: e.g. "XY (*.xy)" */
typedef const char* (*pelmora_GetFileFilterExt_fn)(void);   /* kinds 16, 17: e.g. "*.xy" */
typedef const char* (*pelmora_GetFileExt_fn)(void);         /* kinds 16, 17, optional: "xy", no dot */
/* PELMORA_KIND_CHART_FORMAT: write count points to the file, intensities multiplied by scale. */
typedef void (*pelmora_SaveChart_fn)(const char* fileName, double scale, const PatternPoint* points, int32_t count);
/* PELMORA_KIND_IMAGE_FORMAT: 3 bytes per pixel, blue, green, red. */
typedef void (*pelmora_SaveFile_fn)(const char* fileName, int32_t width, int32_t height, const unsigned char* pixels);
/* Kinds 16, 17, optional: the save dialog's "Ustawienia" with this format
 * chosen. The plug-in may show a modal dialog of its own (Qt Widgets is
 * loaded in the desktop program) and keep the choices for its next save. */
typedef void (*pelmora_FilterSettings_fn)(void);

/* Plug-in sources mark their exports with this. */
#ifdef __cplusplus
#define PELMORA_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define PELMORA_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
}
#endif

#endif /* PELMORA_PLUGIN_H */
