#pragma once

#include "view/OrbitCamera.h"

class Figure;

// Where a named view puts the camera, by the figure's own front and left.
enum class ViewSide { Front, Back, Right, Left, Top, Bottom };

// The camera from the side, aimed at the figure's centre and moved back
// until the whole figure fits a picture of this width/height with a margin.
void lookFrom(OrbitCamera& camera, ViewSide side, const Figure& figure, double aspect);
// The same fit from the direction the camera looks now.
void fitFigure(OrbitCamera& camera, const Figure& figure, double aspect);
