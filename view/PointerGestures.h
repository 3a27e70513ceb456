#pragma once

#include <optional>

#include "document/Outcome.h"
#include "figure/Figure.h"
#include "view/Command.h"

class OrbitCamera;
class PoseDocument;

// What a gesture asks of the frame on screen, through the matrices of the
// last drawn frame. Window points here have y up from the bottom edge.
class GestureScene {
 public:
  virtual ~GestureScene() = default;
  // Whether a frame was drawn: before it there is nothing to pick with.
  virtual bool drawn() const = 0;
  // A handle drawn within radius pixels of the point.
  virtual const Handle* handleAt(int x, int y, int radius) = 0;
  virtual SurfaceHit surfaceAt(int x, int y) = 0;
  // A world point's window depth; none when it cannot be projected.
  virtual std::optional<double> depthOf(const Vec3& world) = 0;
  // A window point at a depth in the world; none when it cannot be mapped.
  virtual std::optional<Vec3> unproject(double x, double y, double depth) = 0;
};

enum class GestureMode { Idle, CameraMove, HandleDrag, PickPending };

// The mouse's gestures in the view, without a display: a click pins a handle
// on the body or removes the one under it once the next frame is drawn (the
// frame a person saw when clicking); a press on a handle drags it; Shift
// moves the camera. Points are the toolkit's, y down from the top edge.
class PointerGestures {
 public:
  PointerGestures(PoseDocument& document, OrbitCamera& camera, GestureScene& scene);

  // What came of an earlier click's pick that the press could not leave waiting.
  Outcome press(int x, int y, int height, Gesture gesture);
  void drag(int x, int y, int width, int height);
  // Before the release: the toolkit hands a busy program's last move over
  // only after the release it read with it, so a drag or a camera move
  // first goes to the release's own point.
  void catchUp(int x, int y, int width, int height);
  void release(int x, int y);
  // The wheel turned by notches (down is positive): each zooms as a 10-pixel
  // vertical zoom drag does, unless a gesture holds on. What came of an
  // earlier click's pick, as for a press.
  Outcome wheel(int x, int y, int notches);
  // The frame a click waits for was drawn: its pick runs, with that frame's
  // matrices. What came of it; redraw is set when the click's release came
  // before the frame, which then shows no pick yet.
  Outcome frameDrawn(bool& redraw);
  // The pick of a click already released whose frame has not come yet, at
  // once, on the frame drawn last; nothing when none waits so.
  Outcome pickReleased();

  // Turning a joint: begun with the pointer at x, y over a segment; the
  // pointer's moves turn it, across the screen about the view's up, up and
  // down about its right. A left press keeps the turn, a right one puts it
  // back, as endTurn does.
  void beginTurn(const Segment* segment, int x, int y);
  void move(int x, int y);
  Outcome endTurn(bool keep);
  bool turning() const;
  // Radians a pixel of the pointer turns a joint.
  static constexpr double kTurnPerPixel = 0.01;

  // A gesture holds on: a drag, a camera move, or a press whose pick waits.
  bool holding() const;
  GestureMode mode() const { return now; }
  const Handle* grabbed() const { return grabbedHandle; }
  // The last press or drag point of a handle or the camera, y up; and the
  // grabbed handle's depth.
  int lastX() const { return x0; }
  int lastY() const { return y0; }
  double grabDepth() const { return depth; }

 private:
  void pressHandle(int x, int y, bool left);
  // The waiting click's pick, on the frame drawn last; the one of a click
  // already released, if any.
  Outcome pick();

  PoseDocument& document;
  OrbitCamera& camera;
  GestureScene& scene;
  GestureMode now = GestureMode::Idle;
  const Handle* grabbedHandle = nullptr;
  int x0 = 0, y0 = 0;
  double depth = 0.0;
  bool releasedBeforePick = false;  // the button went up before the pick ran
};
