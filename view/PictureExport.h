#pragma once

#include <functional>
#include <string>

#include "document/Outcome.h"
#include "view/Picture.h"
#include "view/PictureOptions.h"

class Fl_Gl_Window;
class OrbitCamera;
class PoseDocument;

// Pictures of the figure as a GL view shows it, drawn in that view's context:
// the one way Ctrl+E, Ctrl+Shift+E and the command line write one.
class PictureExport {
 public:
  PictureExport(Fl_Gl_Window& view, const OrbitCamera& camera, const PoseDocument& document);

  // The figure without the handles and the axis triad, in a picture of
  // width x height in the view's proportions; empty before the first frame.
  Picture draw(int width, int height, PictureOptions::Background background, bool drawn,
               PictureOptions::Style style = PictureOptions::Style::Plain);
  // What a picture that asks for the references draws behind the figure.
  void drawBehind(std::function<void()> behind) { references = std::move(behind); }
  // The options' picture for a view of viewWidth x viewHeight, with the
  // pose inside, to a path whose name is complete.
  Outcome write(const std::string& path, const PictureOptions& options, int viewWidth, int viewHeight, bool drawn);
  // The pose library's picture as PNG bytes carrying the pose: square,
  // kThumbnailSide on a side, the whole figure framed from the front, on a
  // transparent background. Empty before the first frame.
  static constexpr int kThumbnailSide = 256;
  std::string thumbnail(bool drawn);

 private:
  Fl_Gl_Window& view;
  const OrbitCamera& camera;
  const PoseDocument& document;
  std::function<void()> references;
  bool withReferences = false;  // of the picture being drawn
};
