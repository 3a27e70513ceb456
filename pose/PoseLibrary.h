#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "figure/Figure.h"

// The pose library: folders of pictures that carry their pose, shown by
// their names. Two shelves: the poses that come with the program and the
// person's own, whose subfolders are groups. Only read here; the window
// adds, renames and deletes.
namespace pose_library {

struct Entry {
  std::string name;            // the file's name without .png
  std::filesystem::path path;
  std::string group;           // the subfolder it is in; empty at the shelf's top
  std::string broken;          // why its pose cannot be read; empty when it can
};

struct Shelf {
  std::string title;
  std::filesystem::path folder;
  bool own = false;            // the person's, where poses are added
  std::vector<Entry> entries;  // by group, then by name
};

// $XDG_DATA_HOME/mannequin/poses, or ~/.local/share/mannequin/poses.
std::filesystem::path ownFolder();
// Where the program's poses are: the source tree's data/poses when it runs
// from its build tree, else where they are installed.
std::filesystem::path programFolder();

// The PNG pictures in the folder and, when groups are wanted, in its
// subfolders: those that carry a pose, and those that are broken (their
// pose unreadable or not of the figure); a picture without a pose is not
// listed. A folder that is not there lists nothing.
std::vector<Entry> list(const Figure& figure, const std::filesystem::path& folder, bool groups);
// The program's shelf, then the person's.
std::vector<Shelf> shelves(const Figure& figure);

// Why a name cannot name a picture in a folder: empty, a path, hidden, or
// too long. Empty when it can.
std::string nameRefusal(const std::string& name);
// Where a picture of that name goes: in the folder's group, with .png.
std::filesystem::path pathFor(const std::filesystem::path& folder, const std::string& group, const std::string& name);

}  // namespace pose_library
