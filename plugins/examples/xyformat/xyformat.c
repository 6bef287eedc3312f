/*
 * Two-column ".xy" diffractograms: a chart-format plug-in for Pelmora and an
 * example for plug-in authors. Each line holds 2-theta in degrees and the
 * intensity, separated by a blank, the plain text that nearly every powder
 * diffraction program reads. The number of decimals of each column and the
 * separator (blank, tab, comma or semicolon) are the user's choice, made in
 * the dialog behind the save dialog's "Ustawienia" (xysettings.cpp).
 *
 * The file is written beside its final name and renamed into place, so a
 * failed export never leaves a half-written file or destroys an older one.
 * Numbers are formatted under the "C" locale: the program may run under a
 * locale whose decimal separator is a comma.
 */
#define _GNU_SOURCE
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pelmora_plugin.h"
#include "xysettings.h"

PELMORA_EXPORT uint32_t pelmora_GetVer(void) { return PELMORA_PLUGIN_VERSION; }
PELMORA_EXPORT int32_t pelmora_GetType(void) { return PELMORA_KIND_CHART_FORMAT; }
PELMORA_EXPORT const char* pelmora_GetFileFilterLabel(void) { return "Dwie kolumny XY (*.xy)"; }
PELMORA_EXPORT const char* pelmora_GetFileFilterExt(void) { return "*.xy"; }
PELMORA_EXPORT const char* pelmora_GetFileExt(void) { return "xy"; }

PELMORA_EXPORT void pelmora_SaveChart(const char* fileName, double scale, const PatternPoint* points,
                                      int32_t count) {
  if (!fileName || (!points && count > 0)) return;
  const size_t len = strlen(fileName);
  char* temp = malloc(len + 8);
  if (!temp) return;
  memcpy(temp, fileName, len);
  memcpy(temp + len, ".XXXXXX", 8);
  const int fd = mkstemp(temp);
  if (fd < 0) {
    free(temp);
    return;
  }
  /* mkstemp makes the file private; give it the permissions of a new file. */
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  XySettings settings;
  xy_LoadSettings(&settings);
  FILE* f = fdopen(fd, "w");
  locale_t c = newlocale(LC_NUMERIC_MASK, "C", (locale_t)0);
  locale_t previous = c ? uselocale(c) : (locale_t)0;
  int ok = f != NULL;
  for (int32_t i = 0; ok && i < count; ++i)
    ok = fprintf(f, "%.*f%c%.*f\n", settings.angleDecimals, points[i].twoTheta, settings.separator,
                 settings.intensityDecimals, points[i].intensity * scale) > 0;
  if (previous) uselocale(previous);
  if (c) freelocale(c);
  if (f) {
    ok = (fflush(f) == 0) && (fsync(fileno(f)) == 0) && ok;
    ok = (fclose(f) == 0) && ok;
  } else {
    close(fd);
  }
  if (ok) ok = rename(temp, fileName) == 0;
  if (!ok) unlink(temp);
  free(temp);
}
