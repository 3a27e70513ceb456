#pragma once

// A BVH file's joints and frames read plainly, apart from the program's
// readers, and the points its frames put the joints at; with the small
// vector arithmetic the capture tests judge fits by.
#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace capture_test {

constexpr double kPi = 3.14159265358979323846;

struct V {
  double x = 0, y = 0, z = 0;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V operator*(V a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dotOf(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V crossOf(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double lengthOf(V a) { return std::sqrt(dotOf(a, a)); }
V unitOf(V a) { return a * (1 / lengthOf(a)); }
using M = std::array<double, 9>;  // row by row
M mul(const M& a, const M& b) {
  M r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r[3 * i + j] += a[3 * i + k] * b[3 * k + j];
  return r;
}
V rotate(const M& m, V v) {
  return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
          m[6] * v.x + m[7] * v.y + m[8] * v.z};
}
M turn(char axis, double degrees) {
  const double c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
  if (axis == 'X') return {1, 0, 0, 0, c, -s, 0, s, c};
  if (axis == 'Y') return {c, 0, s, 0, 1, 0, -s, 0, c};
  return {c, -s, 0, s, c, 0, 0, 0, 1};
}

// A BVH file's joints and frames, read plainly: channels applied in the
// order written, position channels added to the offset.
struct Motion {
  std::vector<std::string> names;
  std::vector<int> parents;
  std::vector<V> offsets;
  std::vector<std::vector<std::string>> channels;
  std::vector<std::vector<double>> frames;

  explicit Motion(const std::string& text) {
    std::istringstream in(text);
    std::string w;
    std::vector<int> open;
    int last = -1;
    while (in >> w && w != "MOTION") {
      if (w == "ROOT" || w == "JOINT" || w == "End") {
        std::string name;
        in >> name;
        names.push_back(w == "End" ? "" : name);
        parents.push_back(open.empty() ? -1 : open.back());
        channels.emplace_back();
        offsets.emplace_back();
        last = static_cast<int>(names.size()) - 1;
      } else if (w == "{") {
        open.push_back(last);
      } else if (w == "}") {
        open.pop_back();
      } else if (w == "OFFSET") {
        in >> offsets[last].x >> offsets[last].y >> offsets[last].z;
      } else if (w == "CHANNELS") {
        int n;
        in >> n;
        channels[last].resize(n);
        for (auto& c : channels[last]) in >> c;
      }
    }
    int count = 0;
    in >> w >> count >> w >> w >> w;
    size_t width = 0;
    for (const auto& c : channels) width += c.size();
    frames.assign(count, std::vector<double>(width));
    for (auto& f : frames)
      for (double& v : f) in >> v;
  }

  int index(const std::string& name) const {
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
  }

  std::vector<V> points(int frame) const {  // from 1
    std::vector<V> at(names.size());
    std::vector<M> turns(names.size());
    size_t k = 0;
    for (size_t j = 0; j < names.size(); ++j) {
      M r{1, 0, 0, 0, 1, 0, 0, 0, 1};
      V offset = offsets[j];
      for (const std::string& c : channels[j]) {
        const double v = frames[frame - 1][k++];
        if (c[1] == 'p') {
          (c[0] == 'X' ? offset.x : c[0] == 'Y' ? offset.y : offset.z) += v;
        } else {
          r = mul(r, turn(c[0], v));
        }
      }
      const int p = parents[j];
      at[j] = p < 0 ? offset : at[p] + rotate(turns[p], offset);
      turns[j] = p < 0 ? r : mul(turns[p], r);
    }
    return at;
  }
};

}  // namespace capture_test
