#pragma once

#include "view/OrbitCamera.h"

class Figure;

// Where a named view puts the camera; the figure faces -x, its left is +z.
enum class ViewSide { Front, Back, Right, Left, Top, Bottom };

// The camera from the side, aimed at the figure's centre and moved back
// until the whole figure fits a picture of this width/height with a margin.
void lookFrom(OrbitCamera& camera, ViewSide side, const Figure& figure, double aspect);
// The same framing from the direction the camera looks now.
void frameFigure(OrbitCamera& camera, const Figure& figure, double aspect);
