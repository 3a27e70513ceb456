#include "view/SceneDrawing.h"

#include <FL/gl.h>
#include <GL/glu.h>

#include "figure/Figure.h"
#include "view/FigureDrawing.h"

void drawAxes(const Vec3& center) {
  // The lines are lit with the current normal: the context's first, not the
  // last one the previous frame's spheres left, so that every frame of the
  // same scene is the same picture, the first one included.
  glNormal3f(0, 0, 1);
  glLineWidth(4.0f);
  glPushMatrix();
  glTranslatef(center.x, center.y, center.z);
  glBegin(GL_LINES);
  glColor3f(1, 0, 0);
  glVertex3f(0, 0, 0);
  glVertex3f(1, 0, 0);
  glColor3f(0, 1, 0);
  glVertex3f(0, 0, 0);
  glVertex3f(0, 1, 0);
  glColor3f(0, 0, 1);
  glVertex3f(0, 0, 0);
  glVertex3f(0, 0, 1);
  glEnd();
  glPopMatrix();
  glLineWidth(1.0f);
}

void setUpContext(int width, int height, double fieldOfView) {
  glClearColor(0, 0, 0, 0);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  const GLfloat diffuse[] = {0.5f, 0.5f, 0.5f, 1.0f};
  const GLfloat specular[] = {1.0f, 1.0f, 1.0f, 1.0f};
  const GLfloat shininess[] = {100.0f};
  const GLfloat light[] = {0.0f, 10.0f, 0.0f, 0.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
  // Taken through whatever modelview the context holds now.
  glLightfv(GL_LIGHT0, GL_POSITION, light);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_NORMALIZE);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
  glPolygonMode(GL_FRONT, GL_FILL);
  glCullFace(GL_BACK);
  glEnable(GL_CULL_FACE);
  glViewport(0, 0, width, height);
  setProjection(width, height, fieldOfView);
}

void setProjection(int width, int height, double fieldOfView) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A view squashed to no height still gets a finite aspect ratio.
  gluPerspective(fieldOfView, width / (height > 0 ? double(height) : 1.0), kNearPlane, kFarPlane);
}

// The figure through the camera; with the overlays, its handles and the triad too.
void drawScene(OrbitCamera& camera, const Figure& figure, bool overlays, const Hover& hover,
               const std::function<void()>& behind) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  camera.apply();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (behind) behind();
  if (overlays) {
    drawAxes(camera.center);
  } else {
    glNormal3f(0, 0, 1);  // as the triad leaves it, for the shapeless segments' lines
  }
  // The scale stays in the modelview: picking and dragging read it back.
  glScalef(kFigureScale, kFigureScale, kFigureScale);
  glColor3f(1, 0, 1);
  drawFigure(figure, overlays ? hover.segment : nullptr);
  if (overlays) drawHandles(figure, hover.handle);
}
