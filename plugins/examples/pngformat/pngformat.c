/*
 * PNG pictures of the 3D cell view: an image-format plug-in for Pelmora.
 * Pelmora hands over the picture as rows of blue, green, red bytes, the
 * bottom row first, without padding; libpng's simplified interface takes
 * exactly that with a negative row stride.
 *
 * The file is written beside its final name and renamed into place, so a
 * failed save never leaves a half-written file or destroys an older one.
 */
#define _GNU_SOURCE
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pelmora_plugin.h"

PELMORA_EXPORT uint32_t pelmora_GetVer(void) { return PELMORA_PLUGIN_VERSION; }
PELMORA_EXPORT int32_t pelmora_GetType(void) { return PELMORA_KIND_IMAGE_FORMAT; }
PELMORA_EXPORT const char* pelmora_GetFileFilterLabel(void) { return "Portable Network Graphics (*.png)"; }
PELMORA_EXPORT const char* pelmora_GetFileFilterExt(void) { return "*.png"; }
PELMORA_EXPORT const char* pelmora_GetFileExt(void) { return "png"; }

PELMORA_EXPORT void pelmora_SaveFile(const char* fileName, int32_t width, int32_t height, const unsigned char* pixels) {
  if (!fileName || !pixels || width <= 0 || height <= 0) return;
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
  FILE* f = fdopen(fd, "wb");
  int ok = f != NULL;
  if (ok) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)width;
    image.height = (png_uint_32)height;
    image.format = PNG_FORMAT_BGR;
    /* A negative stride: the first row in memory is the bottom of the picture. */
    const png_int_32 stride = -(png_int_32)(3 * width);
    ok = png_image_write_to_stdio(&image, f, 0, pixels, stride, NULL) != 0;
    png_image_free(&image);
    ok = (fclose(f) == 0) && ok;
  } else {
    close(fd);
  }
  if (!ok || rename(temp, fileName) != 0) unlink(temp);
  free(temp);
}
