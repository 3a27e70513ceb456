#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "pose/ViewState.h"

class Fl_Image;

// The reference pictures' decoded pixels and textures, one a view, as the
// document's view state names them; drawn behind the figure in the current
// GL context.
class ReferencePictures {
 public:
  ReferencePictures();
  ~ReferencePictures();
  ReferencePictures(const ReferencePictures&) = delete;
  ReferencePictures& operator=(const ReferencePictures&) = delete;

  // A PNG or JPEG file's pixels, its size judged from its header before it
  // is decoded; none, with why, when it cannot be read.
  struct Loading {
    std::unique_ptr<Fl_Image> image;
    std::string error;
  };
  static Loading load(const std::string& path);

  // Reads the file for the view; the view keeps what it had on a refusal,
  // whose words say why.
  std::string choose(int view, const std::string& path);
  // Reads what the state names and is not read yet; a refusal's words for
  // each file there that cannot be read (a missing one is the document's
  // to name).
  std::string follow(const ViewState& state);
  // The view's picture, if it has one and pictures are shown, in eye space
  // behind everything, for a frame of this width/height: without lighting,
  // depth test or depth writes.
  void draw(const ViewState& state, int view, double aspect, double fieldOfView);
  // The GL context was made anew: its textures went with the old one.
  void contextLost();

 private:
  struct Slot;
  bool upload(Slot& slot);
  std::array<std::unique_ptr<Slot>, ViewState::kViews> slots;
  std::vector<unsigned> unused;  // textures of pictures replaced
};
