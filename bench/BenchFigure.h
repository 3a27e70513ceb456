#pragma once

#include <iostream>
#include <memory>
#include <streambuf>
#include <vector>

#include "humanoid/Humanoid.h"

// Segments that carry the benchmark's handles, spread over the whole body.
inline const char* const kSpread[] = {
    "h_hand_left",  "h_foot_right",   "h_head",          "h_hand_right", "h_foot_left",
    "root",         "h_forearm_left", "h_shin_right",    "h_spine",      "h_forearm_right",
    "h_shin_left",  "h_bicep_left",   "h_thigh_right",   "h_abdomen",    "h_bicep_right",
    "h_thigh_left", "h_scapula_left", "h_scapula_right", "h_hand_left",  "h_foot_right"};

// The humanoid with n handles at segment ends: the first is dragged towards a
// point that its limb cannot reach (limb weights keep the root from walking
// there), the others are pinned where they are, so every solve runs to the cap.
struct BenchFigure {
  explicit BenchFigure(int n) : figure(buildHumanoid()) {
    figure->tolerance = 0.0001;
    figure->setLimbWeights();
    for (int i = 0; i < n; ++i) {
      Segment* s = figure->findSegment(kSpread[i % 20]);
      const Vec3 e = s->endOffset * (i < 20 ? 1.0 : 0.5);
      handles.push_back(std::make_unique<Handle>(e.x, e.y, e.z));
      figure->addHandle(handles.back().get(), s);
    }
    figure->updateHandlePositions();
    for (auto& h : handles) h->targetPos = h->worldPos;
    handles[0]->targetPos = Vec3(30, 30, 30);
  }

  Handle* dragged() { return handles[0].get(); }

  std::unique_ptr<Figure> figure;
  std::vector<std::unique_ptr<Handle>> handles;
};

// Swallows the solver's diagnostics while a benchmark runs.
struct QuietStdout {
  struct Null : std::streambuf {
    int overflow(int c) override { return c; }
  } null;
  std::streambuf* saved = std::cout.rdbuf(&null);
  ~QuietStdout() { std::cout.rdbuf(saved); }
};
