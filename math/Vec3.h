#pragma once

#include <cmath>
#include <ostream>

// A point or direction in three dimensions, in single precision.
struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  Vec3() = default;
  Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  Vec3& operator/=(float f) {
    x /= f;
    y /= f;
    z /= f;
    return *this;
  }

  bool isFinite() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// Each product is formed in double and rounded to float once.
inline Vec3 operator*(const Vec3& v, double s) {
  return {static_cast<float>(v.x * s), static_cast<float>(v.y * s), static_cast<float>(v.z * s)};
}

inline Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline float length(const Vec3& v) { return std::sqrt(dot(v, v)); }

// Writes "[x y z]" with the stream's default number format and no line end.
inline std::ostream& operator<<(std::ostream& out, const Vec3& v) {
  return out << "[" << v.x << " " << v.y << " " << v.z << "]";
}
