#pragma once

#include <cmath>

// A point or direction in double precision, as fitting a capture needs it:
// the figure's own Vec3 is a float made for drawing.
struct Dir3 {
  double x = 0, y = 0, z = 0;
};

inline Dir3 operator+(const Dir3& a, const Dir3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Dir3 operator-(const Dir3& a, const Dir3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Dir3 operator*(const Dir3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(const Dir3& a, const Dir3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Dir3 cross(const Dir3& a, const Dir3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Dir3& a) { return std::sqrt(dot(a, a)); }
// The unit vector along a; zero stays zero.
inline Dir3 unit(const Dir3& a) {
  const double n = length(a);
  return n > 0 ? a * (1.0 / n) : a;
}
