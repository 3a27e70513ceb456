#include "app/PngTarget.h"

#include <filesystem>

#include "document/ShownName.h"
#include "pose/PoseFile.h"

std::string pngTargetRefusal(const std::string& typed) {
  namespace fs = std::filesystem;
  for (const std::string& name : {typed, pose_file::withExtension(typed, ".png")}) {
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (!fs::exists(status) || fs::is_regular_file(status)) continue;
    return "--png: " + shownName(name) +
           (fs::is_directory(status) ? ": it is a folder" : ": it is not a regular file");
  }
  return "";
}
