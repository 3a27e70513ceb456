#include "view/FileDialog.h"

#include <FL/Fl_Native_File_Chooser.H>

#include <filesystem>

std::string chooseFile(FileDialog kind, const std::string& suggested, int* filter) {
  Fl_Native_File_Chooser chooser;
  switch (kind) {
    case FileDialog::OpenPose:
      chooser.title("Open a pose");
      chooser.type(Fl_Native_File_Chooser::BROWSE_FILE);
      chooser.filter(
          "Poses, BVH motion and pictures\t*.{pose,bvh,png}\nPoses\t*.pose\nBVH motion\t*.bvh\n"
          "Pictures of poses\t*.png");
      break;
    case FileDialog::SavePose:
      chooser.title("Save the pose");
      chooser.type(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
      chooser.filter("Poses\t*.pose");
      chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM | Fl_Native_File_Chooser::NEW_FOLDER);
      break;
    case FileDialog::SavePicture:
      chooser.title("Save a picture of the figure");
      chooser.type(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
      chooser.filter("PNG pictures\t*.png\nBVH motion\t*.bvh");
      chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM | Fl_Native_File_Chooser::NEW_FOLDER);
      break;
    case FileDialog::OpenReference:
      chooser.title("Choose a reference picture");
      chooser.type(Fl_Native_File_Chooser::BROWSE_FILE);
      chooser.filter("Pictures\t*.{png,jpg,jpeg,PNG,JPG,JPEG}\nPNG pictures\t*.{png,PNG}\nJPEG pictures\t*.{jpg,jpeg,JPG,JPEG}");
      break;
  }
  // Where the person works: the suggested file's folder, or else the working
  // folder, always named whole (a dialog given none, or a relative one, opens
  // in its own recent files).
  std::error_code error;
  std::filesystem::path whole = std::filesystem::absolute(suggested.empty() ? "." : suggested, error);
  whole = whole.lexically_normal();
  // The toolkit's dialog compares the folder with what is typed: no "." and
  // no slash at the end.
  std::string folder = (whole.has_filename() && !suggested.empty() ? whole.parent_path() : whole).string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!error) chooser.directory(folder.c_str());
  if (!suggested.empty()) chooser.preset_file(std::filesystem::path(suggested).filename().c_str());
  if (chooser.show() != 0 || !chooser.filename()) return "";
  if (filter) *filter = chooser.filter_value();
  return chooser.filename();
}
