#pragma once

#include <optional>
#include <string>

#include "document/Outcome.h"

class PoseDocument;

// A copy of a modified pose, kept in the user's state folder
// ($XDG_STATE_HOME/mannequin, by default ~/.local/state/mannequin) so that a
// crash, a kill or a power cut loses nothing. Each running program keeps its
// own copy, beside a lock file it holds (flock) for as long as it runs: a
// copy whose lock nobody holds is an orphan, whatever process ids say.
class RecoveryCopy {
 public:
  // The folder the copies are kept in; empty when neither XDG_STATE_HOME nor
  // HOME says where.
  static std::string folder();

  explicit RecoveryCopy(std::string folder);
  // A clean end: the copy goes.
  ~RecoveryCopy();
  RecoveryCopy(const RecoveryCopy&) = delete;
  RecoveryCopy& operator=(const RecoveryCopy&) = delete;

  // Brings an orphaned copy back into the document and takes it over: for
  // a file, only a copy of that file (its path as given, or the same file);
  // with none, the newest copy. What came of it; empty words when there was
  // no copy to bring back.
  Outcome recoverInto(PoseDocument& document, const std::optional<std::string>& file);
  // Writes the document's pose while it is modified, when it changed since
  // the last write; removes the copy once it is not.
  void keep(const PoseDocument& document);
  // Leaves the copy, if there is one, for the next start, as after a crash.
  void abandon();

 private:
  bool claim(const std::string& name);
  void release();

  std::string home;     // the folder
  std::string name;     // this program's copy: name.pose, with name.lock
  int lock = -1;        // held for the program's life
  std::string written;  // what the copy holds now; empty: no copy
  bool abandoned = false;
};
