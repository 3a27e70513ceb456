#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "document/Outcome.h"
#include "pose/PoseFile.h"

class PoseDocument;

// A copy of a modified pose, kept in the user's state folder
// ($XDG_STATE_HOME/mannequin, by default ~/.local/state/mannequin) so that a
// crash, a kill or a power cut loses nothing. Each running program keeps its
// own copy, beside a lock file it holds (flock) for as long as it runs: a
// copy whose lock nobody holds is an orphan, whatever process ids say.
//
// Nothing goes wrong in silence: a folder that cannot hold copies, a copy
// that could not be written, and a copy found unreadable at start are each
// reported, as one line that names the path.
class RecoveryCopy {
 public:
  // The folder the copies are kept in; empty when neither XDG_STATE_HOME nor
  // HOME says where.
  static std::string folder();

  // calls: the system calls that read and write the copies go through, for
  // a test to fail them.
  explicit RecoveryCopy(std::string folder, pose_file::Calls calls = {});
  // A clean end: the copy goes.
  ~RecoveryCopy();
  RecoveryCopy(const RecoveryCopy&) = delete;
  RecoveryCopy& operator=(const RecoveryCopy&) = delete;

  // Where the reports go, each a refusal; those made before there was
  // anyone to tell are told now, in order.
  void onReport(std::function<void(const Outcome&)> report);

  // Brings an orphaned copy back into the document and takes it over: for
  // a file, only a copy of that file (its path as given, or the same file);
  // with none, the newest copy. What came of it; empty words when there was
  // no copy to bring back. Every orphan that cannot be read, or whose pose
  // would be refused, is set aside as NAME.refused and reported.
  Outcome recoverInto(PoseDocument& document, const std::optional<std::string>& file);
  // Writes the document's pose while it is modified, when it changed since
  // the last write; removes the copy once it is not. A copy that cannot be
  // written is reported once, until one is written again, and tried again
  // at the next change; a pose the program would refuse to read back is
  // never written, and the copy stays at the last good one.
  void keep(const PoseDocument& document);
  // Leaves the copy, if there is one, for the next start, as after a crash.
  void abandon();

 private:
  std::string folderRefusal() const;
  std::string cannotKeep(const std::string& why) const;
  bool claim(const std::string& stem);
  void release();
  std::string pathOf(const std::string& stem, const char* extension) const;
  void setAside(const std::string& stem, int stemLock, const std::string& why);
  void failed(const std::string& words);
  void tell(const Outcome& outcome);

  std::string home;  // the folder
  pose_file::Calls calls;
  std::string name;     // this program's copy: name.pose, with name.lock
  int lock = -1;        // held for the program's life
  std::string written;  // what the copy holds now; empty: no copy
  bool abandoned = false;
  bool failing = false;  // the last write failed, and that was said
  std::function<void(const Outcome&)> listener;
  std::vector<Outcome> untold;
};
