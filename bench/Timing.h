#pragma once

#include <algorithm>
#include <chrono>

// Seconds per call of f, over repetitions that last at least 0.2 s.
template <typename F>
double secondsPerCall(F&& f) {
  using Clock = std::chrono::steady_clock;
  f();  // first touch of every buffer, untimed
  long reps = 4;
  for (;;) {
    const Clock::time_point start = Clock::now();
    for (long i = 0; i < reps; ++i) f();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (seconds >= 0.2) return seconds / reps;
    const double wanted = seconds > 0.0 ? 0.25 / seconds * reps : 2.0 * reps;
    reps = std::max(2 * reps, static_cast<long>(wanted));
  }
}
