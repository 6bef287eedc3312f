// A point together with a basis of three vectors: the view places every
// fractional position through one of these.
#pragma once

namespace pelmora {

class CPoint3D {
 public:
  // The origin with the identity basis.
  CPoint3D();
  // The point (x, y, z) with an all-zero basis.
  CPoint3D(double x, double y, double z);
  CPoint3D(const CPoint3D&) = default;
  CPoint3D& operator=(const CPoint3D&) = default;
  virtual ~CPoint3D() = default;

  // Each takes the x, y, z of `v` as the first, second or third basis vector.
  void SetA(CPoint3D v);
  void SetB(CPoint3D v);
  void SetC(CPoint3D v);

  // Replaces the point by x*a + y*b + z*c and returns the result.
  CPoint3D Transform();

  // True inside the unit cell, both bounds included.
  static bool InUnitCell(double x, double y, double z);

  double x, y, z;
  double ax, ay, az;
  double bx, by, bz;
  double cx, cy, cz;
};

}  // namespace pelmora
