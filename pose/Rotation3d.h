#pragma once

#include <cmath>

#include "math/Quat.h"
#include "pose/Dir3.h"

// A 3x3 rotation, row by row: m[r][c].
struct Rotation3d {
  double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

  Dir3 operator*(const Dir3& v) const {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
  }
  Rotation3d operator*(const Rotation3d& b) const {
    Rotation3d r;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) r.m[i][j] = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j];
    return r;
  }
  Rotation3d transposed() const {
    Rotation3d r;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) r.m[i][j] = m[j][i];
    return r;
  }
  Dir3 column(int c) const { return {m[0][c], m[1][c], m[2][c]}; }

  static Rotation3d fromColumns(const Dir3& x, const Dir3& y, const Dir3& z) {
    Rotation3d r;
    const Dir3 c[3] = {x, y, z};
    for (int j = 0; j < 3; ++j) r.m[0][j] = c[j].x, r.m[1][j] = c[j].y, r.m[2][j] = c[j].z;
    return r;
  }
  // The turn by angle (radians, right-handed) about the coordinate axis.
  static Rotation3d aboutAxis(int axis, double angle) {
    Rotation3d r;
    const double c = std::cos(angle), s = std::sin(angle);
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
    r.m[a][a] = c, r.m[a][b] = -s, r.m[b][a] = s, r.m[b][b] = c;
    return r;
  }
  // The turn by angle about a unit direction.
  static Rotation3d about(const Dir3& u, double angle) {
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    Rotation3d r;
    r.m[0][0] = c + t * u.x * u.x, r.m[0][1] = t * u.x * u.y - s * u.z, r.m[0][2] = t * u.x * u.z + s * u.y;
    r.m[1][0] = t * u.x * u.y + s * u.z, r.m[1][1] = c + t * u.y * u.y, r.m[1][2] = t * u.y * u.z - s * u.x;
    r.m[2][0] = t * u.x * u.z - s * u.y, r.m[2][1] = t * u.y * u.z + s * u.x, r.m[2][2] = c + t * u.z * u.z;
    return r;
  }
  // The smallest turn taking the unit direction a onto the unit direction b.
  static Rotation3d between(const Dir3& a, const Dir3& b) {
    const Dir3 axis = cross(a, b);
    const double s = length(axis), c = dot(a, b);
    if (s > 1e-12) return about(axis * (1.0 / s), std::atan2(s, c));
    if (c > 0) return Rotation3d();
    // Half a turn about any direction square to a.
    const Dir3 other = std::fabs(a.x) < 0.9 ? Dir3{1, 0, 0} : Dir3{0, 1, 0};
    return about(unit(cross(a, other)), M_PI);
  }
  static Rotation3d fromQuat(const Quat& q) {
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    Rotation3d r;
    r.m[0][0] = 1 - 2 * (y * y + z * z), r.m[0][1] = 2 * (x * y - z * w), r.m[0][2] = 2 * (x * z + y * w);
    r.m[1][0] = 2 * (x * y + z * w), r.m[1][1] = 1 - 2 * (x * x + z * z), r.m[1][2] = 2 * (y * z - x * w);
    r.m[2][0] = 2 * (x * z - y * w), r.m[2][1] = 2 * (y * z + x * w), r.m[2][2] = 1 - 2 * (x * x + y * y);
    return r;
  }
  // The unit quaternion of the rotation, w >= 0.
  Quat toQuat() const {
    Quat q;
    const double trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0) {
      const double s = 0.5 / std::sqrt(trace + 1.0);
      q = Quat((m[2][1] - m[1][2]) * s, (m[0][2] - m[2][0]) * s, (m[1][0] - m[0][1]) * s, 0.25 / s);
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
      const double s = 2.0 * std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
      q = Quat(0.25 * s, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[2][1] - m[1][2]) / s);
    } else if (m[1][1] > m[2][2]) {
      const double s = 2.0 * std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
      q = Quat((m[0][1] + m[1][0]) / s, 0.25 * s, (m[1][2] + m[2][1]) / s, (m[0][2] - m[2][0]) / s);
    } else {
      const double s = 2.0 * std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
      q = Quat((m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, 0.25 * s, (m[1][0] - m[0][1]) / s);
    }
    if (q.w < 0) q = Quat(-q.x, -q.y, -q.z, -q.w);
    q.normalize();
    return q;
  }
};
