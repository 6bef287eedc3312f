/* One small plug-in, compiled once per test case with different switches:
 * TP_VERSION, TP_KIND, TP_NO_GETTYPE, TP_NO_FILTER_EXT, TP_NO_FILE_EXT, TP_NO_SAVE,
 * TP_NO_NAME, TP_LABEL, TP_NAN (a profile that returns NaN right of the peak),
 * TP_FILTER_SETTINGS (a file format with settings, counting the calls),
 * TP_PLANTED (a library someone left in a folder: as soon as it is loaded it
 * creates the file named by PELMORA_PLANTED_MARKER). */
#include <stdio.h>
#include <stdlib.h>

#include "pelmora_plugin.h"

#ifndef TP_VERSION
#define TP_VERSION 0x102
#endif
#ifndef TP_KIND
#define TP_KIND PELMORA_KIND_CHART_FORMAT
#endif
#ifndef TP_LABEL
#define TP_LABEL "test"
#endif

#ifdef TP_PLANTED
__attribute__((constructor)) static void planted(void) {
  const char* marker = getenv("PELMORA_PLANTED_MARKER");
  FILE* f = marker ? fopen(marker, "w") : NULL;
  if (f) fclose(f);
}
#endif

PELMORA_EXPORT uint32_t pelmora_GetVer(void) { return TP_VERSION; }
#ifndef TP_NO_GETTYPE
PELMORA_EXPORT int32_t pelmora_GetType(void) { return TP_KIND; }
#endif

#if TP_KIND == PELMORA_KIND_PROFILE
static int initCalls;
#ifndef TP_NO_NAME
PELMORA_EXPORT const char* pelmora_GetProfileName(void) { return TP_LABEL; }
#endif
PELMORA_EXPORT void pelmora_ProfileInit(void) { ++initCalls; }
PELMORA_EXPORT int test_ProfileInitCalls(void) { return initCalls; }
/* A flat peak 0.1 degrees wide, scaled by 2: the window is easy to see. */
PELMORA_EXPORT void pelmora_PeakInit(PeakParams* p) {
  p->fwhm = 0.1;
  p->scale = 2.0;
}
#ifdef TP_NAN
PELMORA_EXPORT double pelmora_ProfileFunction(const ProfilePoint* p) { return p->delta > 0.0 ? 0.0 / 0.0 : 1.0; }
#else
PELMORA_EXPORT double pelmora_ProfileFunction(const ProfilePoint* p) { return p->step == 0.005 ? 1.0 : 0.0; }
#endif
#else
PELMORA_EXPORT const char* pelmora_GetFileFilterLabel(void) { return TP_LABEL " (*.tst)"; }
#ifndef TP_NO_FILTER_EXT
PELMORA_EXPORT const char* pelmora_GetFileFilterExt(void) { return "*.tst"; }
#endif
#ifndef TP_NO_FILE_EXT
PELMORA_EXPORT const char* pelmora_GetFileExt(void) { return "tst"; }
#endif
#ifdef TP_FILTER_SETTINGS
static int settingsCalls;
PELMORA_EXPORT void pelmora_FilterSettings(void) { ++settingsCalls; }
PELMORA_EXPORT int test_FilterSettingsCalls(void) { return settingsCalls; }
#endif
#if TP_KIND == PELMORA_KIND_IMAGE_FORMAT && !defined(TP_NO_SAVE)
/* Records the size and the first byte of the picture it was handed. */
PELMORA_EXPORT void pelmora_SaveFile(const char* name, int32_t w, int32_t h, const unsigned char* px) {
  FILE* f = fopen(name, "w");
  if (!f) return;
  fprintf(f, "%d %d %d\n", (int)w, (int)h, (int)px[0]);
  fclose(f);
}
#endif
#ifndef TP_NO_SAVE
PELMORA_EXPORT void pelmora_SaveChart(const char* name, double scale, const PatternPoint* pts, int32_t n) {
  FILE* f = fopen(name, "w");
  if (!f) return;
  fprintf(f, "%d %d %d\n", (int)n, (int)(scale * 1000.0), n > 0 ? (int)(pts[n - 1].twoTheta * 1000.0) : -1);
  fclose(f);
}
#endif
#endif
