#pragma once

#include <sys/types.h>

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "pose/PoseText.h"

// Files of a pose's text, as Ctrl+C copies it, and of pictures of it: read
// whole or not at all, and written so that no failure can damage the file
// that was there before.
namespace pose_file {

constexpr std::string_view kExtension = ".pose";

// Which file a path named and what it held then: a file changed on disk
// since it was read or written differs in one of these. A program may set
// the mtime back after a change in place, but not the ctime.
struct Identity {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};
};
bool operator==(const Identity& a, const Identity& b);
bool operator!=(const Identity& a, const Identity& b);

// The identity of the file the path names, its links followed; none when
// there is no such file.
std::optional<Identity> identityOf(const std::string& path);

// Each system call a read or a save makes goes through this, by name
// ("open", "read", "write", "fsync", "link", "link /proc", "rename"), with
// the descriptor it is made on and the call itself, which it makes; a test's
// may watch their order, or fail one by returning -1 with errno set.
using Calls = std::function<long(std::string_view call, int fd, const std::function<long()>& make)>;

struct Reading {
  std::string text;
  std::string error;  // empty when the text was read
  // The file as it was opened: one that changed while it was read then
  // looks changed to a later comparison, as it should.
  Identity identity;
};
// What a read takes: a pose file's text through its links; the program's
// own files (recovery copies) somewhat larger, where no link is followed.
struct Rules {
  std::size_t limit = pose_text::kSizeLimit;
  bool followLinks = true;
};

// The file's text. A folder, a file that is not a regular one, and one
// larger than the limit (judged before anything is read, and again if it
// grew while it was read) are refused; so is a symbolic link, unless the
// rules follow it.
Reading read(const std::string& path, const Calls& calls = {}, const Rules& rules = {});

struct Saving {
  std::string error;  // empty when the bytes were written
  // What a successful save left under the name.
  Identity identity;
  // Said even when the save succeeded: the file had other names (hard
  // links), and they keep the old bytes.
  std::string note;
};
// Replaces the bytes of the file the path names, through its symbolic links:
// they are written to a new file in the target's folder, flushed to the
// disk, then put in its place by a rename, with the old file's owner, group
// and mode where the system allows them. A folder, a file that is not a
// regular one, a read-only file and a loop of links are refused before
// anything is written. On any failure, or if the program is killed midway,
// the old file is untouched and no new file is left behind: the new one has
// no name until it is whole, but for the instant between the two calls that
// name it and rename it (where the filesystem has no unnamed files, it has a
// name while it is written, too).
Saving save(const std::string& path, std::string_view bytes, const Calls& calls = {});

// save()'s error alone: empty when the bytes were written.
std::string write(const std::string& path, std::string_view bytes);

// The path with the extension added when its name has none at all.
std::string withExtension(const std::string& path, std::string_view extension = kExtension);

// Whether the path's name ends in the extension, in any case.
bool hasExtension(const std::string& path, std::string_view extension);

// The file's name without its folders.
std::string nameOf(const std::string& path);

// Whether two paths name one file: its identity when it exists, else the
// same absolute path.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace pose_file
