#include <GL/gl.h>
#include <GL/glu.h>

#include "figure/Figure.h"

// The figure drawn into the current GL context, in its modelview.

namespace {

void multMatrix(const Mat4& M) {
  float columnMajor[16];
  M.toColumnMajor(columnMajor);
  glMultMatrixf(columnMajor);
}

}  // namespace

void Figure::drawSegments() { drawSegment(root.get()); }

void Figure::drawSegment(Segment* s) {
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

void Figure::drawHandles() {
  glColor3f(0, 1, 0);
  glPointSize(4.0f);
  glBegin(GL_POINTS);
  for (const HandleEntry& e : handles) {
    const Vec3& p = e.handle->worldPos;
    glVertex3f(p.x, p.y, p.z);
  }
  glEnd();
}
