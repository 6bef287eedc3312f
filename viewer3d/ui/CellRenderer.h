// The OpenGL side of the cell view: the fixed-function set-up, the extruded
// glyphs of the labels, and one frame drawn from a CellScene. Every call
// needs the caller's context current; the on-screen view and the off-screen
// export each keep a renderer of their own.
#pragma once

#include <array>
#include <vector>

#include "viewer3d/CellScene.h"
#include "viewer3d/ViewState.h"

struct GLUquadric;

namespace pelmora {

class CCellRenderer {
 public:
  CCellRenderer() = default;
  CCellRenderer(const CCellRenderer&) = delete;
  CCellRenderer& operator=(const CCellRenderer&) = delete;
  ~CCellRenderer();  // leaves GL objects to Release(): the context may be gone

  // Glyph lists, lights, material, the quadric, and the viewport.
  void Setup(int width, int height);
  // The viewport and the perspective for a drawable of this size.
  void SetViewport(int width, int height);
  // One frame; with no document only the white background.
  void Frame(const CKomorka* doc, const SceneOptions& options, const CViewState& view, int detail);
  // Frees the lists and the quadric (with the context current).
  void Release();

  bool ready() const { return quadric_ != nullptr; }
  const std::array<double, kGlyphCount>& advanceX() const { return advanceX_; }

 private:
  void BuildGlyphs();
  void DrawSegment(const Segment& s, int detail);
  void DrawBall(const Ball& b, int detail);

  GLUquadric* quadric_ = nullptr;
  unsigned listBase_ = 0;
  std::array<double, kGlyphCount> advanceX_{};
  std::array<double, kGlyphCount> advanceY_{};
};

}  // namespace pelmora
