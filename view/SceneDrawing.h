#pragma once

#include <vector>

#include "view/OrbitCamera.h"

class Figure;

// What the view draws, in its current GL context.

// The lights, material and projection of a new context of this size.
void setUpContext(int width, int height);
// The figure through the camera; with the overlays, its handles and the axis
// triad at the camera's centre too.
void drawScene(OrbitCamera& camera, Figure& figure, bool overlays);
// The back buffer's colours, rows from the bottom up.
std::vector<unsigned char> readFrame(int width, int height);
