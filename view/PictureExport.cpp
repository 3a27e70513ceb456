#include "view/PictureExport.h"

#include <FL/Fl_Gl_Window.H>

#include <new>

#include "document/PoseDocument.h"
#include "view/ClayPicture.h"
#include "view/PictureRendering.h"
#include "view/PngEncoding.h"
#include "view/SceneDrawing.h"
#include "view/ViewFraming.h"

PictureExport::PictureExport(Fl_Gl_Window& view_, const OrbitCamera& camera_, const PoseDocument& document_)
    : view(view_), camera(camera_), document(document_) {}

Picture PictureExport::draw(int width, int height, PictureOptions::Background background, bool drawn,
                            PictureOptions::Style style) {
  if (!drawn || view.w() <= 0 || view.h() <= 0) return {};
  view.make_current();
  // Resized since the last frame: the context is set up as that frame would.
  if (!view.valid()) {
    setUpContext(view.w(), view.h(), camera.fieldOfView);
    view.valid(1);
  }
  OrbitCamera eye = camera;
  const std::function<void()> behind = withReferences ? references : std::function<void()>{};
  Picture picture =
      style == PictureOptions::Style::Clay
          ? renderClayPicture(eye, document.figure(), view.w(), view.h(), width, height, background, behind)
          : renderPicture(eye, document.figure(), view.w(), view.h(), width, height, background, behind);
  // The back buffer holds the picture now; the next frame is the view's again.
  view.redraw();
  return picture;
}

// A window made smaller than its borders leaves the view no pixel, or too few.
Outcome PictureExport::write(const std::string& path, const PictureOptions& options, int viewWidth,
                             int viewHeight, bool drawn) {
  if (std::string small = viewRefusal(view.w(), view.h()); !small.empty()) return Outcome::refusal("export: " + small);
  PictureSize size = pictureSize(options, viewWidth, viewHeight);
  // The window may have another size than the one the picture is sized for.
  if (size.refusal.empty()) size.refusal = tileRefusal(size.width, size.height, view.w(), view.h());
  if (!size.refusal.empty()) return Outcome::refusal("export: " + size.refusal);
  std::string pose;
  document.copy(pose);
  try {
    withReferences = options.references;
    Picture picture = draw(size.width, size.height, options.background, drawn, options.style);
    withReferences = false;
    return document.exportPicture(path, encodePng(picture, pose));
  } catch (const std::bad_alloc&) {
    withReferences = false;
    return Outcome::refusal("export: not enough memory for a picture of " + std::to_string(size.width) + "x" +
                            std::to_string(size.height) + " pixels");
  }
}

// Drawn through the same tiles as every picture, from a camera of its own:
// the view's stays where the person left it.
std::string PictureExport::thumbnail(bool drawn) {
  if (!drawn || view.w() <= 0 || view.h() <= 0) return "";
  view.make_current();
  if (!view.valid()) {
    setUpContext(view.w(), view.h(), camera.fieldOfView);
    view.valid(1);
  }
  OrbitCamera eye = camera;
  lookFrom(eye, ViewSide::Front, document.figure(), 1.0);
  const int side = kThumbnailSide;
  // In the clay look, whose nose and outline tell the facing and the parts
  // at a thumbnail's size, and whose soft edges sit on any window's colour.
  const Picture picture = renderClayPicture(eye, document.figure(), view.w(), view.h(), side, side,
                                            PictureOptions::Background::Transparent);
  view.redraw();
  std::string pose;
  document.copy(pose);
  return encodePng(picture, pose);
}
