// Every command of the application with its number, menu text, shortcut,
// status-bar prompt and tooltip, in one table so that each QAction can be
// traced to its command number.
#pragma once

#include "diffractogram/ZoomState.h"

namespace pelmora {

struct CommandInfo {
  int id;
  const char* text;      // menu text (after a tab: the shortcut as shown)
  const char* shortcut;  // QKeySequence text, empty for none
  const char* prompt;    // status-bar prompt
  const char* tooltip;   // empty: none
  const char* icon;      // theme name (also our fallback file), empty: none
  bool checkable;
};

namespace cmd {
enum : int {
  kNew = 57600, kOpen = 57601, kClose = 57602, kSave = 57603, kSaveAs = 57604,
  kRecentFiles = 57616, kExit = 57665, kAbout = 57664, kManual = 57667,
  kCalculate = 32778, kExportText = 32818,
  kExportPicture = 32805, kPrint = 57607, kPrintDirect = 57608, kPrintPreview = 57609, kPrintSetup = 57606,
  kExperimentPage = 32776, kReflectionTable = 32791, kViewInfo = 32821,
  kPlugins = 32772, kSettings = 32808,
  kAnomalTables = 32822,
  kWindowCascade = 57650, kWindowTile = 57651,
  kViewToolbar = 59392, kViewStatusBar = 59393, kViewChartBar = 32786, kViewZoomBar = 32804,
  kViewMonitor = 32806,
  kTicksFirst = 32780, kTicksLast = 32785,
  kDescriptions = 32819, kDescKa1 = 32824, kDescKa2 = 32825,
  kModeArea = 32823, kModeStretchX = 32794, kModeStretchY = 32809,
  kZoomReset = zoomcmd::kReset, kZoomResetY = zoomcmd::kResetIntensity, kZoomResetX = zoomcmd::kResetAngle,
  kZoomIn = zoomcmd::kZoomIn, kZoomOut = zoomcmd::kZoomOut,
  kShiftLowerRange = zoomcmd::kShiftLowerRange, kShiftLowerStep = zoomcmd::kShiftLowerStep,
  kShiftHigherStep = zoomcmd::kShiftHigherStep, kShiftHigherRange = zoomcmd::kShiftHigherRange,
  kUpHeight = zoomcmd::kUpHeight, kUpStep = zoomcmd::kUpStep, kDownStep = zoomcmd::kDownStep,
  kDownHeight = zoomcmd::kDownHeight,
};
// "Edycja": the active document's history.
enum : int { kUndo = 57643, kRedo = 57644 };
// The structure editor and the periodic table.
enum : int { kStructurePage = 32775, kAtomTable = 32788 };
// A measured pattern: attach it, remove it, fit to it.
enum : int { kOpenMeasured = 32830, kCloseMeasured = 32831, kFitMeasured = 32832 };
}  // namespace cmd

extern const CommandInfo kCommands[];
extern const int kCommandCount;

// The zoom bar's buttons in their order; 0 marks a separator.
extern const int kZoomBarLayout[];
extern const int kZoomBarLayoutCount;

}  // namespace pelmora
