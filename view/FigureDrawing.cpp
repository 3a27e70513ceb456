#include <GL/gl.h>
#include <GL/glu.h>

#include "view/FigureDrawing.h"

#include "figure/Figure.h"

namespace {

void multMatrix(const Mat4& M) {
  float columnMajor[16];
  M.toColumnMajor(columnMajor);
  glMultMatrixf(columnMajor);
}

void drawSegment(const Segment* s, const Segment* lit) {
  // The segment under the pointer, lighter.
  if (s == lit) glColor3f(1.0f, 0.6f, 1.0f);
  glPushMatrix();
  const Vec3& o = s->attachment();
  glTranslatef(o.x, o.y, o.z);
  multMatrix(*s->joint->matrix());

  if (s->hasShape) {
    GLUquadric* q = gluNewQuadric();
    gluQuadricDrawStyle(q, GLU_FILL);
    gluQuadricNormals(q, GLU_SMOOTH);
    glPushMatrix();
    multMatrix(s->shape);
    gluSphere(q, 0.5, 10, 10);
    glPopMatrix();
    gluDeleteQuadric(q);
  } else {
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    glVertex3f(0, 0, 0);
    glVertex3f(s->endOffset.x, s->endOffset.y, s->endOffset.z);
    glEnd();
  }

  if (s == lit) glColor3f(1, 0, 1);
  for (int i = 0; i < s->childCount(); ++i) drawSegment(s->child(i), lit);
  glPopMatrix();
}

void drawPoints(const Figure& figure, const Handle* only, bool others) {
  glBegin(GL_POINTS);
  for (const HandleEntry& e : figure.handles) {
    if ((e.handle == only) == others) continue;
    const Vec3& p = e.handle->worldPos;
    glVertex3f(p.x, p.y, p.z);
  }
  glEnd();
}

}  // namespace

void drawFigure(const Figure& figure, const Segment* lit) { drawSegment(figure.root.get(), lit); }

void drawHandles(const Figure& figure) {
  glColor3f(0, 1, 0);
  glPointSize(4.0f);
  drawPoints(figure, nullptr, true);
}

void drawHandles(const Figure& figure, const Handle* hovered) {
  // Behind the body, faintly: drawn first through it, then over by the
  // handles that show.
  glDisable(GL_DEPTH_TEST);
  glColor3f(0, 0.35f, 0);
  glPointSize(4.0f);
  drawPoints(figure, nullptr, true);
  glEnable(GL_DEPTH_TEST);
  drawHandles(figure);
  // The one under the pointer whole, over the body it sits on.
  glDisable(GL_DEPTH_TEST);
  glPointSize(8.0f);
  drawPoints(figure, hovered, false);
  glPointSize(4.0f);
  glEnable(GL_DEPTH_TEST);
}
