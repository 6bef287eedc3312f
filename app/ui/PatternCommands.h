// The pattern commands of the windows: synthesis into a view after a
// calculation, and the numeric export of the displayed window.
#pragma once

class QWidget;

namespace pelmora {

class CDownView;
class CPelmorApp;

// Rewrites the view's grid from its document's reflections with the given
// profile and redraws; tells the user about peaks that had to be left out.
void SynthesiseInto(QWidget* parent, CPelmorApp& app, CDownView& view, int profileId);
// The numeric export of the displayed window (command 32818).
void ExportDisplayedPattern(QWidget* parent, CPelmorApp& app, CDownView& view);

}  // namespace pelmora
