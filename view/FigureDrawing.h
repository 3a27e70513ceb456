#pragma once

class Figure;
class Segment;
struct Handle;

// The figure drawn into the current GL context, in its modelview: its
// bodies, the lit one lighter, and its handles as points.
void drawFigure(const Figure& figure, const Segment* lit = nullptr);
void drawHandles(const Figure& figure);
// The handles as the view shows them: those behind the body faintly, the
// one under the pointer larger.
void drawHandles(const Figure& figure, const Handle* hovered);
