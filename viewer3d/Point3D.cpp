#include "viewer3d/Point3D.h"

namespace pelmora {

CPoint3D::CPoint3D()
    : x(0), y(0), z(0), ax(1), ay(0), az(0), bx(0), by(1), bz(0), cx(0), cy(0), cz(1) {}

CPoint3D::CPoint3D(double px, double py, double pz)
    : x(px), y(py), z(pz), ax(0), ay(0), az(0), bx(0), by(0), bz(0), cx(0), cy(0), cz(0) {}

void CPoint3D::SetA(CPoint3D v) {
  ax = v.x;
  ay = v.y;
  az = v.z;
}

void CPoint3D::SetB(CPoint3D v) {
  bx = v.x;
  by = v.y;
  bz = v.z;
}

void CPoint3D::SetC(CPoint3D v) {
  cx = v.x;
  cy = v.y;
  cz = v.z;
}

CPoint3D CPoint3D::Transform() {
  const double nx = x * ax + y * bx + z * cx;
  const double ny = x * ay + y * by + z * cy;
  const double nz = x * az + y * bz + z * cz;
  x = nx;
  y = ny;
  z = nz;
  return *this;
}

bool CPoint3D::InUnitCell(double px, double py, double pz) {
  return px >= 0.0 && px <= 1.0 && py >= 0.0 && py <= 1.0 && pz >= 0.0 && pz <= 1.0;
}

}  // namespace pelmora
