#pragma once

class Figure;

// The figure drawn into the current GL context, in its modelview: its
// bodies, and its handles as points.
void drawFigure(const Figure& figure);
void drawHandles(const Figure& figure);
