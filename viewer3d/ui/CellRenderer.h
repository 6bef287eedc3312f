// The OpenGL side of the cell view: the fixed-function set-up, the extruded
// glyphs of the labels, and one frame drawn from a CellScene. Every call
// needs the caller's context current; the on-screen view and the off-screen
// export each keep a renderer of their own.
#pragma once

#include <array>
#include <vector>

#include "viewer3d/CellScene.h"
#include "viewer3d/Spheres.h"
#include "viewer3d/ViewState.h"

struct GLUquadric;

namespace pelmora {

class CellRenderer {
 public:
  CellRenderer() = default;
  CellRenderer(const CellRenderer&) = delete;
  CellRenderer& operator=(const CellRenderer&) = delete;
  ~CellRenderer();  // leaves GL objects to Release(): the context may be gone

  // Glyph lists, lights, material, the quadric, and the viewport.
  void Setup(int width, int height);
  // The viewport and the perspective for a drawable of this size.
  void SetViewport(int width, int height);
  // One frame; with no document only the white background.
  void Frame(const CKomorka* doc, const SceneOptions& options, const ViewState& view, int detail);
  // Frees the lists and the quadric (with the context current).
  void Release();

  bool ready() const { return quadric_ != nullptr; }
  // Whether labels that could not show are left out (on unless a check
  // compares against drawing them all).
  void SetLabelCulling(bool on) { cullLabels_ = on; }
  const std::array<double, kGlyphCount>& advanceX() const { return advanceX_; }

 private:
  void BuildGlyphs();
  // The unit sphere with this many slices and stacks, made on first use.
  const SphereMesh& Sphere(int slices);
  // Adds a sphere (its triangles that face the eye, and with `hideCovered`
  // only those not hidden behind spheres added before) to the frame's batch.
  void AddSphere(const SphereMesh& mesh, const Vec3& centre, double radius, const Rgb& color, bool hideCovered);
  // Draws the batch and empties it.
  void DrawSpheres();
  void DrawLabel(const Ball& b);
  // The radius of a ball about a label's place that holds all its glyphs.
  double LabelReach(const std::string& label) const;

  // The spheres go to the renderer in a few large draws, not one each: per
  // call the software renderer's set-up costs more than a small sphere's
  // triangles.
  // The arrays keep their size between frames; the counts say how much of
  // them the frame uses.
  struct Batch {
    std::vector<float> vertices, normals, colors;
    std::vector<std::uint32_t> indices;
    size_t vertexCount = 0, indexCount = 0;
  };

  GLUquadric* quadric_ = nullptr;
  CellScene scene_;  // the frame's, its lists reused
  bool cullLabels_ = true;
  unsigned listBase_ = 0;
  std::vector<SphereMesh> spheres_;  // by slices; empty until made
  Batch batch_;
  // A ball in sight, in eye coordinates.
  struct Placed {
    double nearest;  // depth of its nearest point
    Vec3 eye;
    const Ball* ball;
  };
  std::vector<Placed> order_;
  CoverageBuffer coverage_;
  ViewFrustum frustum_;
  int viewWidth_ = 0, viewHeight_ = 0;
  Vec3 eyeInModel_;
  double model_[16] = {};       // the frame's modelview, column-major
  // Per vertex of the sphere being added: in the window with its depth
  // (once known), and its index in the batch (kNoSlot while unused).
  std::vector<double> window_;
  std::vector<std::uint8_t> windowKnown_;
  std::vector<std::uint32_t> slot_;
  static constexpr std::uint32_t kNoSlot = 0xFFFFFFFFu;
  std::array<double, kGlyphCount> advanceX_{};
  std::array<double, kGlyphCount> advanceY_{};
};

}  // namespace pelmora
