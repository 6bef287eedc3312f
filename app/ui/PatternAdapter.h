// The seam between the windows and the pattern modules: synthesis into a
// view's grid, the profile preparation before a run, the numeric export and
// the plug-ins list.
#pragma once

#include <vector>

#include "app/Settings.h"
#include "diffractogram/ui/ChartPainter.h"
#include "engine/Komorka.h"

class QWidget;

namespace pelmora {

class CDownView;
class CMainFrame;

// Rewrites the grid from the document's reflections; returns the maximum.
double SynthesisePattern(CKomorka& doc, const CSettings& settings, int profileId, std::vector<ChartPoint>& grid);
// What the selected profile needs before a calculation starts.
void PrepareProfile(CMainFrame& frame, int profileId);
// The numeric export of the displayed window (command 32818).
void ExportDisplayedPattern(QWidget* parent, CDownView& view);
void ShowPluginsDialog(QWidget* parent);

}  // namespace pelmora
