#include "app/PngTarget.h"

#include <filesystem>

#include "pose/ShownText.h"
#include "view/PictureOptions.h"

std::string pngTargetRefusal(const std::string& typed) {
  namespace fs = std::filesystem;
  for (const std::string& name : {typed, pictureFileName(typed)}) {
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (!fs::exists(status) || fs::is_regular_file(status)) continue;
    return "--png: " + shownName(name) +
           (fs::is_directory(status) ? ": it is a folder" : ": it is not a regular file");
  }
  return "";
}
