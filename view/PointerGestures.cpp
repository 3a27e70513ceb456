#include "view/PointerGestures.h"

#include <cstdlib>

#include "document/PoseDocument.h"
#include "view/OrbitCamera.h"

PointerGestures::PointerGestures(PoseDocument& document_, OrbitCamera& camera_, GestureScene& scene_)
    : document(document_), camera(camera_), scene(scene_) {}

Outcome PointerGestures::press(int x, int y, int height, Gesture gesture) {
  // A busy program may see the next press before the frame a quick click
  // waits for; no frame came since, so the one shown is the one clicked on.
  const Outcome earlier = pickReleased();
  // A press ends a turn, and does nothing more.
  if (turning()) {
    if (gesture == Gesture::Pose || gesture == Gesture::Unpin) endTurn(gesture == Gesture::Pose);
    return earlier;
  }
  switch (gesture) {
    case Gesture::Rotate:
    case Gesture::Pan:
    case Gesture::Zoom:
      now = GestureMode::CameraMove;
      camera.begin(gesture == Gesture::Rotate ? Rotate : gesture == Gesture::Pan ? Pan : Zoom, x, y);
      x0 = x;
      y0 = height - y;
      break;
    case Gesture::Pose:
    case Gesture::Unpin:
      x0 = x;
      y0 = height - y;
      pressHandle(x0, y0, gesture == Gesture::Pose);
      break;
    case Gesture::WheelZoom:
    case Gesture::None:
      break;
  }
  return earlier;
}

// A press within 4 pixels of a handle grabs it at its depth; anywhere else a
// left press waits to pin. A right press waits to remove the handle under it;
// away from every handle it lets go of the one a left drag holds, and the
// drag goes on relaxing the figure.
void PointerGestures::pressHandle(int x, int y, bool left) {
  releasedBeforePick = false;
  grabbedHandle = scene.drawn() ? scene.handleAt(x, y, 4) : nullptr;
  if (!grabbedHandle) {
    if (left) now = GestureMode::PickPending;
    return;
  }
  if (!left) {
    now = GestureMode::PickPending;
    return;
  }
  now = GestureMode::HandleDrag;
  document.beginDrag();
  if (const std::optional<double> d = scene.depthOf(grabbedHandle->worldPos)) depth = *d;
}

void PointerGestures::drag(int x, int y, int width, int height) {
  switch (now) {
    case GestureMode::CameraMove:
      camera.drag(x, y);
      x0 = x;
      y0 = height - y;
      break;
    case GestureMode::PickPending:
      // A click that moves is no click.
      now = GestureMode::Idle;
      grabbedHandle = nullptr;
      break;
    case GestureMode::HandleDrag:
      // On the edge or outside, the pointer has no place to pull to.
      if (0 < x && x < width && 0 < y && y < height) {
        const std::optional<Vec3> target =
            grabbedHandle ? scene.unproject(x, height - y, depth) : std::optional<Vec3>();
        document.dragTo(grabbedHandle, target);
      }
      x0 = x;
      y0 = height - y;
      break;
    case GestureMode::Idle:
      break;
  }
}

void PointerGestures::catchUp(int x, int y, int width, int height) {
  if ((now == GestureMode::HandleDrag || now == GestureMode::CameraMove) && (x != x0 || height - y != y0)) {
    drag(x, y, width, height);
  }
}

void PointerGestures::release(int x, int y) {
  if (now == GestureMode::CameraMove) camera.end(x, y);
  // A quick click can be released before the frame that runs its pick; the
  // pick still belongs to the click, so it stays pending.
  if (now == GestureMode::PickPending) {
    releasedBeforePick = true;
  } else {
    now = GestureMode::Idle;
    document.endDrag();
  }
  grabbedHandle = nullptr;
}

Outcome PointerGestures::wheel(int x, int y, int notches) {
  if (holding()) return {};
  // The camera moves: a quick click before it picks on the frame it was made on.
  const Outcome earlier = pickReleased();
  for (int i = 0; i < std::abs(notches); ++i) {
    camera.begin(Zoom, x, y);
    camera.drag(x, y + (notches > 0 ? 10 : -10));
    camera.end(x, y);
  }
  return earlier;
}

Outcome PointerGestures::frameDrawn(bool& redraw) {
  redraw = false;
  if (now != GestureMode::PickPending) return {};
  redraw = releasedBeforePick;
  return pick();
}

Outcome PointerGestures::pickReleased() {
  return now == GestureMode::PickPending && releasedBeforePick ? pick() : Outcome{};
}

Outcome PointerGestures::pick() {
  releasedBeforePick = false;
  now = GestureMode::Idle;
  if (const Handle* h = scene.handleAt(x0, y0, 5)) {
    if (grabbedHandle == h) grabbedHandle = nullptr;
    return document.unpin(h);
  }
  if (const SurfaceHit hit = scene.surfaceAt(x0, y0); hit.segment) return document.pin(hit.segment, hit.point);
  return {};
}

void PointerGestures::beginTurn(const Segment* segment, int x, int y) {
  if (holding() || !segment) return;
  document.beginTurn(segment);
  x0 = x;
  y0 = y;
}

void PointerGestures::move(int x, int y) {
  if (!turning() || (x == x0 && y == y0)) return;
  camera.recompute();
  const Vec3 forward = camera.center - camera.eye;
  Vec3 right = cross(forward, camera.up);
  right = right * (1.0 / length(right));
  const Vec3 up = cross(right, forward);
  document.turnBy(up, (x - x0) * kTurnPerPixel);
  document.turnBy(right, (y - y0) * kTurnPerPixel);
  x0 = x;
  y0 = y;
}

Outcome PointerGestures::endTurn(bool keep) { return document.endTurn(keep); }

bool PointerGestures::turning() const { return document.turning(); }

bool PointerGestures::holding() const {
  return now == GestureMode::CameraMove || now == GestureMode::HandleDrag ||
         (now == GestureMode::PickPending && !releasedBeforePick);
}
