#include "view/ClayDrawing.h"

#include <FL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "figure/Figure.h"
#include "view/ClayBodies.h"
#include "view/ClaySampling.h"
#include "view/FigureDrawing.h"

namespace {

const GLfloat kClay[] = {0.80f, 0.80f, 0.79f};
const GLfloat kLitClay[] = {0.96f, 0.84f, 0.62f};  // the body under the pointer
const GLfloat kOutline[] = {0.07f, 0.07f, 0.08f};
const GLfloat kBackdrop[] = {0.27f, 0.29f, 0.32f};
constexpr float kGridStep = 0.25f;   // in the figure's metres
constexpr int kGridHalfLines = 8;    // each way from the line nearest the figure
constexpr float kShadowReach = 0.15f;  // a body higher above the floor casts none

float outlineWidth(float pixelScale) {
  GLfloat widths[2] = {1.0f, 1.0f};
  glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, widths);
  return std::min(widths[1], kClayOutlinePixels * pixelScale);
}

void multMatrix(const Mat4& M) {
  float columnMajor[16];
  M.toColumnMajor(columnMajor);
  glMultMatrixf(columnMajor);
}

// The current modelview, projection and viewport, to size each body's
// facets and to leave out those outside the frustum.
struct Eye {
  GLdouble modelview[16];
  GLdouble projection[16];
  int viewportHeight;
};

Eye readEye() {
  Eye eye{};
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, eye.modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, eye.projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  eye.viewportHeight = viewport[3];
  return eye;
}

// Whether a ball at c (in eye space) of the given radius lies wholly beyond
// one of the frustum's six planes: those of the projection's rows, w +- x, y, z.
bool outside(const Eye& eye, const double c[3], double radius) {
  const double* p = eye.projection;  // column-major
  for (int row = 0; row < 3; ++row) {
    for (int sign = -1; sign <= 1; sign += 2) {
      double plane[4];
      for (int k = 0; k < 4; ++k) plane[k] = p[4 * k + 3] + sign * p[4 * k + row];
      const double norm = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
      if (plane[0] * c[0] + plane[1] * c[1] + plane[2] * c[2] + plane[3] < -radius * norm) return true;
    }
  }
  return false;
}

// The slices a body is drawn with where it is now; none outside the frustum.
int slicesOf(const ClayBody& body, const Eye& eye) {
  const Mat4& E = body.ellipsoid;
  const double* m = eye.modelview;  // column-major
  double radius = 0, centre[3];
  for (int axis = 0; axis < 3; ++axis) {
    const double x = E.m[axis], y = E.m[4 + axis], z = E.m[8 + axis];
    double v[3];
    for (int r = 0; r < 3; ++r) v[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z;
    radius = std::max(radius, 0.5 * std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
  }
  for (int r = 0; r < 3; ++r) centre[r] = m[r] * E.m[3] + m[4 + r] * E.m[7] + m[8 + r] * E.m[11] + m[12 + r];
  if (outside(eye, centre, radius)) return 0;
  return clay::sliceCount(clay::pixelRadius(radius, -centre[2], eye.projection[5], eye.viewportHeight));
}

void drawBodies(const std::vector<ClayBody>& bodies, const std::vector<int>& slices, const Segment* lit,
                bool coloured) {
  GLUquadric* q = gluNewQuadric();
  gluQuadricDrawStyle(q, GLU_FILL);
  gluQuadricNormals(q, GLU_SMOOTH);
  for (size_t i = 0; i < bodies.size(); ++i) {
    if (slices[i] == 0) continue;
    if (coloured) glColor3fv(bodies[i].segment == lit ? kLitClay : kClay);
    glPushMatrix();
    multMatrix(bodies[i].ellipsoid);
    gluSphere(q, 0.5, slices[i], std::max(4, slices[i] / 2));
    glPopMatrix();
  }
  gluDeleteQuadric(q);
}

// Lights fixed to the camera, set in eye space: a key from above and to the
// left, a weaker fill from below and to the right, and an ambient floor.
void setUpLights() {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  const GLfloat key[] = {-0.35f, 0.75f, 0.55f, 0.0f}, fill[] = {0.5f, -0.45f, 0.35f, 0.0f};
  const GLfloat keyColour[] = {0.62f, 0.62f, 0.62f, 1.0f}, fillColour[] = {0.26f, 0.26f, 0.28f, 1.0f};
  const GLfloat shine[] = {0.12f, 0.12f, 0.12f, 1.0f}, none[] = {0.0f, 0.0f, 0.0f, 1.0f};
  const GLfloat ambient[] = {0.36f, 0.36f, 0.37f, 1.0f}, shininess[] = {24.0f};
  glLightfv(GL_LIGHT1, GL_POSITION, key);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, keyColour);
  glLightfv(GL_LIGHT1, GL_SPECULAR, shine);
  glLightfv(GL_LIGHT1, GL_AMBIENT, none);
  glLightfv(GL_LIGHT2, GL_POSITION, fill);
  glLightfv(GL_LIGHT2, GL_DIFFUSE, fillColour);
  glLightfv(GL_LIGHT2, GL_SPECULAR, none);
  glLightfv(GL_LIGHT2, GL_AMBIENT, none);
  glPopMatrix();
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, shine);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
  glDisable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  glEnable(GL_LIGHT2);
  glEnable(GL_LIGHTING);
}

// The grid's lines at whole steps, fading out away from the figure; drawn
// in pieces so that each piece takes its own fade.
void drawFloor(const Vec3& middle, float floorY, float pixelScale) {
  const float x0 = std::round(middle.x / kGridStep) * kGridStep, z0 = std::round(middle.z / kGridStep) * kGridStep;
  const float reach = kGridHalfLines * kGridStep;
  auto vertex = [&](float x, float z) {
    const float d = std::hypot(x - x0, z - z0) / reach;
    glColor4f(0.62f, 0.64f, 0.68f, 0.7f * std::max(0.0f, 1.0f - d * d));
    glVertex3f(x, floorY, z);
  };
  glLineWidth(std::max(1.0f, pixelScale));
  glBegin(GL_LINES);
  for (int i = -kGridHalfLines; i <= kGridHalfLines; ++i) {
    const float at = i * kGridStep;
    for (int j = -kGridHalfLines; j < kGridHalfLines; ++j) {
      const float a = j * kGridStep, b = a + kGridStep;
      vertex(x0 + at, z0 + a), vertex(x0 + at, z0 + b);
      vertex(x0 + a, z0 + at), vertex(x0 + b, z0 + at);
    }
  }
  glEnd();
}

// Under each body near the floor, a dark disc a little wider than the body,
// fading to nothing at its rim and as the body rises.
void drawContactShadow(const std::vector<ClayBody>& bodies, float floorY) {
  constexpr int kRim = 24;
  for (const ClayBody& b : bodies) {
    const Vec3 c = centreOf(b);
    const float height = c.y - halfExtent(b, 1) - floorY;
    if (height > kShadowReach) continue;
    const float rx = 1.3f * halfExtent(b, 0) + 0.02f, rz = 1.3f * halfExtent(b, 2) + 0.02f;
    glBegin(GL_TRIANGLE_FAN);
    glColor4f(0, 0, 0, 0.45f * (1.0f - height / kShadowReach));
    glVertex3f(c.x, floorY, c.z);
    glColor4f(0, 0, 0, 0);
    for (int i = 0; i <= kRim; ++i) {
      const float a = 2 * float(M_PI) * i / kRim;
      glVertex3f(c.x + rx * std::cos(a), floorY, c.z + rz * std::sin(a));
    }
    glEnd();
  }
}

// The ground, without depth: the figure stands over it, and a transparent
// picture's alpha, taken from depth, leaves it out.
void drawGround(const Figure& figure, const std::vector<ClayBody>& bodies, float floorY, float pixelScale) {
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const Mat4 root = Figure::frame(Mat4(), *figure.root);
  drawFloor({root.m[3], 0, root.m[11]}, floorY, pixelScale);
  drawContactShadow(bodies, floorY);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glEnable(GL_LIGHTING);
}

// The back faces as wide dark lines first: where the front faces drawn over
// them leave them showing, around the silhouette and over the parts behind,
// they are the outline.
void drawOutline(const std::vector<ClayBody>& bodies, const std::vector<int>& slices, float pixelScale) {
  glDisable(GL_LIGHTING);
  glColor3fv(kOutline);
  glCullFace(GL_FRONT);
  glPolygonMode(GL_BACK, GL_LINE);
  glLineWidth(outlineWidth(pixelScale));
  drawBodies(bodies, slices, nullptr, false);
  glPolygonMode(GL_BACK, GL_FILL);
  glCullFace(GL_BACK);
}

}  // namespace

int clayLineReach(float pixelScale) { return static_cast<int>(std::ceil(outlineWidth(pixelScale) / 2)) + 1; }

void drawClayScene(OrbitCamera& camera, const Figure& figure, bool overlays, const Hover& hover, float pixelScale,
                   const std::function<void()>& behind) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  camera.apply();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (behind) behind();
  const std::vector<ClayBody> bodies = clayBodies(figure);
  const float floorY = lowestPoint(bodies);
  // Whatever is changed here is put back for the handles and the next frame.
  glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT |
               GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  // The ground first, under the triad too.
  if (camera.eye.y / kFigureScale > floorY) {
    glPushMatrix();
    glScalef(kFigureScale, kFigureScale, kFigureScale);
    drawGround(figure, bodies, floorY, pixelScale);
    glPopMatrix();
  }
  if (overlays) drawAxes(camera.center);
  glScalef(kFigureScale, kFigureScale, kFigureScale);
  const Eye eye = readEye();
  std::vector<int> slices;
  slices.reserve(bodies.size());
  for (const ClayBody& b : bodies) slices.push_back(slicesOf(b, eye));
  drawOutline(bodies, slices, pixelScale);
  setUpLights();
  drawBodies(bodies, slices, overlays ? hover.segment : nullptr, true);
  glPopAttrib();
  if (overlays) drawHandles(figure, hover.handle);
}

void drawClayView(OrbitCamera& camera, const Figure& figure, const Hover& hover,
                  const std::function<void()>& behind) {
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glClearColor(kBackdrop[0], kBackdrop[1], kBackdrop[2], 0.0f);
  drawClayScene(camera, figure, true, hover, 1.0f, behind);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
}
