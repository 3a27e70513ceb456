#pragma once

#include "math/Vec3.h"

// The line from p through q against the sphere of radius 0.5 about the
// origin. On a hit, writes the point where the line enters the sphere (or
// leaves it, when p lies inside) and its parameter t along p -> q, and returns
// true; otherwise writes nothing. A line that only touches the sphere and a
// sphere behind p are misses.
bool raySphere(const Vec3& p, const Vec3& q, Vec3& hit, double& t);
