#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "figure/Figure.h"

// Seeded random figures built from every joint kind, for tests that must hold
// on any tree the classes can build, not only on the humanoid. The same seed
// always gives the same figure, weights, flags and handles.
class RandomFigure {
 public:
  explicit RandomFigure(std::uint32_t seed);

  RandomFigure(const RandomFigure&) = delete;
  RandomFigure& operator=(const RandomFigure&) = delete;
  ~RandomFigure();

  // A handle on a random segment, at a random local point.
  Handle* addHandle();
  // The same handle a second time on its segment, as addHandle allows.
  Handle* addTwice();
  // Takes a random handle off the figure; false when there is none.
  bool removeHandle();
  // New random weights in every row: zeros, 0.05, ones and others mixed.
  void scrambleWeights();
  // A random handle of the figure, or null when there is none.
  Handle* anyHandle();
  // Every handle's target moved to a random point.
  void aimEveryHandle();
  // Four edits of the kinds a session makes, each followed by a solve: new
  // handles (some twice), removals, other targets, the limits switched.
  void editAtRandom();

  Figure& figure() { return *body; }
  std::mt19937& random() { return rng; }
  float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }

 private:
  std::unique_ptr<Transform> joint(int depth);
  std::unique_ptr<Segment> segment(int index);
  Vec3 point(float reach);

  std::mt19937 rng;
  int created = 0;  // segments made so far
  std::unique_ptr<Figure> body;
  std::vector<Segment*> all;                     // pre-order
  std::vector<std::unique_ptr<Handle>> handles;  // every handle ever made, kept alive
};
