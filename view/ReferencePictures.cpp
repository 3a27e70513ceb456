#include "view/ReferencePictures.h"

#include <FL/Fl_JPEG_Image.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/gl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "pose/PictureHeader.h"
#include "pose/ShownText.h"
#include "view/SceneDrawing.h"

struct ReferencePictures::Slot {
  std::string path;
  std::unique_ptr<Fl_Image> image;
  GLuint texture = 0;
  double usedS = 1, usedT = 1;  // the picture's share of its padded texture
};

ReferencePictures::ReferencePictures() {
  for (auto& slot : slots) slot = std::make_unique<Slot>();
}

ReferencePictures::~ReferencePictures() = default;

ReferencePictures::Loading ReferencePictures::load(const std::string& path) {
  std::error_code error;
  // Never a pipe or a device, which would be waited on.
  if (!std::filesystem::is_regular_file(path, error))
    return {nullptr, error ? error.message() : std::string("it is not a regular file")};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {nullptr, std::strerror(errno)};
  const picture_header::Header header = picture_header::read(in);
  if (!header.error.empty()) return {nullptr, header.error};
  in.close();
  std::unique_ptr<Fl_Image> image;
  if (header.kind == picture_header::Header::Kind::Png) {
    image = std::make_unique<Fl_PNG_Image>(path.c_str());
  } else {
    image = std::make_unique<Fl_JPEG_Image>(path.c_str());
  }
  // The decoder reads the header again: it must find the size judged.
  if (image->fail() || image->w() != header.width || image->h() != header.height || image->count() < 1 ||
      image->d() < 1 || image->d() > 4 || !image->data()[0])
    return {nullptr, "it is broken and could not be decoded"};
  return {std::move(image), ""};
}

std::string ReferencePictures::choose(int view, const std::string& path) {
  Loading loading = load(path);
  if (!loading.image) return "reference picture: " + shownName(path) + ": " + loading.error;
  Slot& slot = *slots[view];
  // Its context may not be the current one now: the next frame deletes it.
  if (slot.texture) unused.push_back(slot.texture);
  slot = Slot{path, std::move(loading.image)};
  return "";
}

std::string ReferencePictures::follow(const ViewState& state) {
  std::string refusals;
  for (int view = 0; view < ViewState::kViews; ++view) {
    const std::optional<ReferencePicture>& picture = state.pictures[view];
    if (!picture || picture->path == slots[view]->path) continue;
    std::error_code error;
    if (!std::filesystem::exists(picture->path, error)) continue;
    const std::string refused = choose(view, picture->path);
    if (!refused.empty()) refusals += (refusals.empty() ? "" : "; ") + refused;
  }
  return refusals;
}

void ReferencePictures::contextLost() {
  for (auto& slot : slots) slot->texture = 0;
  unused.clear();
}

namespace {

int powerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

GLenum formatOf(int channels) {
  static const GLenum formats[] = {GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};
  return formats[channels - 1];
}

}  // namespace

// Padded to powers of two, as GL 1.1 takes textures, never stretched: the
// picture fills a corner, its last column and row repeated once beyond it
// so that filtering at its edges finds no stray texels. One larger than the
// context takes is made smaller, in its own proportions.
bool ReferencePictures::upload(Slot& slot) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  if (largest < 64) return false;
  Fl_Image* image = slot.image.get();
  std::unique_ptr<Fl_Image> smaller;
  if (image->w() > largest || image->h() > largest) {
    const double k = double(largest) / std::max(image->w(), image->h());
    smaller.reset(image->copy(std::max(1, int(image->w() * k)), std::max(1, int(image->h() * k))));
    image = smaller.get();
  }
  const int w = image->w(), h = image->h(), d = image->d();
  const int rowBytes = image->ld() ? image->ld() : w * d;
  const auto* pixels = reinterpret_cast<const unsigned char*>(image->data()[0]);
  const int textureWidth = powerOfTwoAtLeast(w), textureHeight = powerOfTwoAtLeast(h);
  const GLenum format = formatOf(d);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPushAttrib(GL_TEXTURE_BIT);
  glGenTextures(1, &slot.texture);
  glBindTexture(GL_TEXTURE_2D, slot.texture);
  // Shown far smaller than it is, a photograph is sampled from its mipmaps:
  // few texels a pixel, without the shimmer of skipped ones.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rowBytes / d);
  while (glGetError() != GL_NO_ERROR) {
  }
  glTexImage2D(GL_TEXTURE_2D, 0, format, textureWidth, textureHeight, 0, format, GL_UNSIGNED_BYTE, nullptr);
  const bool made = glGetError() == GL_NO_ERROR;
  if (made) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, format, GL_UNSIGNED_BYTE, pixels);
    const unsigned char* lastColumn = pixels + static_cast<size_t>(w - 1) * d;
    const unsigned char* lastRow = pixels + static_cast<size_t>(h - 1) * rowBytes;
    if (w < textureWidth) glTexSubImage2D(GL_TEXTURE_2D, 0, w, 0, 1, h, format, GL_UNSIGNED_BYTE, lastColumn);
    if (h < textureHeight) glTexSubImage2D(GL_TEXTURE_2D, 0, 0, h, w, 1, format, GL_UNSIGNED_BYTE, lastRow);
    // The mipmaps are made once, from the whole: with the last texel written.
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    const int cornerX = std::min(w, textureWidth - 1), cornerY = std::min(h, textureHeight - 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, cornerX, cornerY, 1, 1, format, GL_UNSIGNED_BYTE,
                    lastRow + static_cast<size_t>(w - 1) * d);
  }
  glPopAttrib();
  glPopClientAttrib();
  if (!made) {
    glDeleteTextures(1, &slot.texture);
    slot.texture = 0;
    return false;
  }
  slot.usedS = double(w) / textureWidth;
  slot.usedT = double(h) / textureHeight;
  return true;
}

void ReferencePictures::draw(const ViewState& state, int view, double aspect, double fieldOfView) {
  if (!unused.empty()) glDeleteTextures(static_cast<GLsizei>(unused.size()), unused.data());
  unused.clear();
  const std::optional<ReferencePicture>& picture = state.pictures[view];
  Slot& slot = *slots[view];
  if (!state.picturesShown || !picture || !slot.image || slot.path != picture->path) return;
  if (!slot.texture && !upload(slot)) return;
  glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT);
  glDisable(GL_LIGHTING);
  // Its colour must not become the figure's material.
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, slot.texture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1, 1, 1, picture->opacity / 100.0f);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  // In eye space at a depth inside the frustum: through the projection,
  // and through any tile's part of it, it lands where the view shows it.
  const double depth = 2 * kNearPlane;
  const double halfHeight = depth * std::tan(fieldOfView / 2 * M_PI / 180), halfWidth = halfHeight * aspect;
  const double cx = picture->x * 2 * halfWidth, cy = picture->y * 2 * halfHeight;
  const double ph = picture->size * halfHeight, pw = ph * slot.image->w() / slot.image->h();
  // The picture's first row is its top.
  glBegin(GL_QUADS);
  glTexCoord2d(0, slot.usedT);
  glVertex3d(cx - pw, cy - ph, -depth);
  glTexCoord2d(slot.usedS, slot.usedT);
  glVertex3d(cx + pw, cy - ph, -depth);
  glTexCoord2d(slot.usedS, 0);
  glVertex3d(cx + pw, cy + ph, -depth);
  glTexCoord2d(0, 0);
  glVertex3d(cx - pw, cy + ph, -depth);
  glEnd();
  glPopMatrix();
  glPopAttrib();
}
