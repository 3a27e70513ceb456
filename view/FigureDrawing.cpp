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

void drawSegment(const Segment* s) {
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

  for (int i = 0; i < s->childCount(); ++i) drawSegment(s->child(i));
  glPopMatrix();
}

}  // namespace

void drawFigure(const Figure& figure) { drawSegment(figure.root.get()); }

void drawHandles(const Figure& figure) {
  glColor3f(0, 1, 0);
  glPointSize(4.0f);
  glBegin(GL_POINTS);
  for (const HandleEntry& e : figure.handles) {
    const Vec3& p = e.handle->worldPos;
    glVertex3f(p.x, p.y, p.z);
  }
  glEnd();
}
