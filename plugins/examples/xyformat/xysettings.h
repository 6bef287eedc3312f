/*
 * The user's choices for the ".xy" files, kept in the plug-in's own settings
 * file ("xyformat" beside the program's settings) so that they last from one
 * run to the next.
 */
#ifndef PELMORA_XYSETTINGS_H
#define PELMORA_XYSETTINGS_H

#ifdef __cplusplus
extern "C" {
#endif

#define XY_MAX_DECIMALS 10

typedef struct XySettings {
  int angleDecimals;     /* digits after the point of 2-theta, 0 to XY_MAX_DECIMALS */
  int intensityDecimals; /* the same for the intensity */
  char separator;        /* between the columns: ' ', '\t', ',' or ';' */
} XySettings;

/* The stored choices; the defaults (4, 6, blank) for anything missing or
 * out of range. */
void xy_LoadSettings(XySettings* s);

#ifdef __cplusplus
}
#endif

#endif
