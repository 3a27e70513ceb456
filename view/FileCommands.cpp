// The view's file commands: a pose opened from and saved to files, a picture
// of the figure, and the question before closing with changes not saved.
#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <FL/gl.h>

#include <iostream>

#include "app/Scene.h"
#include "pose/PoseFile.h"
#include "pose/PoseText.h"
#include "view/FileDialog.h"
#include "view/GLView.h"
#include "view/PngEncoding.h"

// One line where the person looks: printed, and in the title for a while.
void GLView::refuse(const std::string& line, std::ostream& out, const char* prefix) {
  out << prefix << line << std::endl;
  say(line);
}

// The dialog takes the keys while it is open: the releases of the keys that
// opened it go there.
std::string GLView::askForFile(FileDialog kind, const std::string& suggested) {
  const std::string path = chooseFile(kind, suggested);
  commandKeys.forgetIfUp();
  return path;
}

void GLView::openFile() {
  const std::string path = askForFile(FileDialog::OpenPose, scene->kept.path);
  if (!path.empty()) open(path, std::cout, "");
}

void GLView::openAtStart(const std::string& path) { open(path, std::cerr, "mannequin: "); }

// All or nothing, as a paste, and one step.
void GLView::open(const std::string& path, std::ostream& refusals, const char* prefix) {
  recordStep();
  pose_text::Pasting opened = pose_file::open(*scene->figure, path);
  if (!opened.error.empty()) return refuse("open: " + path + ": " + opened.error, refusals, prefix);
  ownedHandles = std::move(opened.records);
  grabbedHandle = nullptr;
  recordStep();
  scene->kept = {path, scene->history.current()};
  say("opened " + pose_file::nameOf(path));
  redraw();
}

void GLView::save() {
  if (scene->kept.path.empty()) return saveAs();
  saveTo(scene->kept.path);
}

void GLView::saveAs() {
  const std::string suggested = scene->kept.path.empty() ? "pose.pose" : scene->kept.path;
  const std::string path = askForFile(FileDialog::SavePose, suggested);
  if (!path.empty()) saveTo(pose_file::withExtension(path));
}

// The pose's text as Ctrl+C copies it; on failure the old file stays whole.
bool GLView::saveTo(const std::string& path) {
  recordStep();
  const std::string error = pose_file::write(path, pose_text::write(*scene->figure));
  if (!error.empty()) {
    refuse("save: " + path + ": " + error, std::cout);
    return false;
  }
  scene->kept = {path, scene->history.current()};
  say("saved " + pose_file::nameOf(path));
  return true;
}

void GLView::exportPicture() {
  // Beside the pose's file and named after it, when there is one.
  const std::string& kept = scene->kept.path;
  const std::string name = pose_file::nameOf(kept);
  const std::string stem = kept.substr(0, kept.size() - name.size()) + name.substr(0, name.find('.', 1));
  const std::string suggested = kept.empty() ? "mannequin.png" : stem + ".png";
  std::string path = askForFile(FileDialog::SavePicture, suggested);
  if (path.empty()) return;
  path = pose_file::withExtension(path, ".png");
  const std::vector<unsigned char> picture = figurePicture();
  const std::string png = encodePng(w(), h(), picture);
  const std::string error = png.empty() ? "nothing to draw yet" : pose_file::write(path, png);
  if (!error.empty()) return refuse("export: " + path + ": " + error, std::cout);
  say("exported " + pose_file::nameOf(path));
}

std::vector<unsigned char> GLView::figurePicture() {
  if (frames == 0 || w() <= 0 || h() <= 0) return {};
  make_current();
  drawScene(false);
  glFinish();
  std::vector<unsigned char> rgb(static_cast<size_t>(w()) * h() * 3);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w(), h(), GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  // The back buffer holds the picture now; the next frame is the view's again.
  redraw();
  return rgb;
}

bool GLView::mayClose() {
  if (!scene->kept.differsFrom(scene->history.current())) return true;
  const std::string name = pose_file::nameOf(scene->kept.path);
  fl_message_title("mannequin");
  const int answer = fl_choice("%s has changes that are not saved.", "Cancel", "&Save", "&Discard", name.c_str());
  commandKeys.forgetIfUp();
  switch (answer) {
    case 1:
      return saveTo(scene->kept.path);
    case 2:
      return true;
    default:
      return false;
  }
}
