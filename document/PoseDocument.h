#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/DocumentStep.h"
#include "document/Outcome.h"
#include "document/SolverSetting.h"
#include "document/StepHistory.h"
#include "figure/Figure.h"
#include "pose/Capture.h"
#include "pose/PartApply.h"
#include "pose/Pose.h"
#include "pose/PoseFile.h"
#include "pose/PoseText.h"
#include "pose/ViewState.h"

// What a person edits, without a display: the figure with its handles, the
// history of steps, and the file in play with the state last opened or
// saved. Every editing verb is a method that says what came of it. A verb
// that changes the pose is recorded as one step by one rule (edit), never by
// its caller.
class PoseDocument {
 public:
  explicit PoseDocument(std::unique_ptr<Figure> figure);
  ~PoseDocument();
  PoseDocument(const PoseDocument&) = delete;
  PoseDocument& operator=(const PoseDocument&) = delete;

  // What is drawn and picked; every change goes through a verb.
  const Figure& figure() const { return *body; }

  // ---- gestures
  // Pins a new handle at a point in the segment's frame, its target where it is.
  Outcome pin(const Segment* segment, const Vec3& point);
  // Removes the handle, and the figure relaxes towards the others.
  Outcome unpin(const Handle* handle);
  // A drag is one step from its first event to its end. Each event gives the
  // dragged handle (none: the figure relaxes towards the other targets) its
  // new target, or none when the pointer could not be placed in the world,
  // and solves. Any other verb ends a drag under way first, so that it is
  // never lost.
  void beginDrag();
  void dragTo(const Handle* dragged, const std::optional<Vec3>& target);
  Outcome endDrag();
  bool dragging() const { return dragUnderWay; }
  // Ends a drag or a turn under way, each as its own step: for an end that
  // no gesture sees, a signal's.
  void settle();

  // ---- the solver's settings and the posing modes: no steps
  void apply(SolverSetting setting);
  // Mirror mode: a pin brings its twin on the other side, a drag moves it
  // to the mirror image, and a removal takes both.
  void setMirror(bool on) { mirror = on; }
  bool mirrored() const { return mirror; }
  // Firm pins: after each drag event's solve, a pass holds every other pin
  // on its target, and the dragged handle goes only as far as they let it.
  void setFirm(bool on) { firm = on; }
  bool firmPins() const { return firm; }

  // ---- turning a joint
  // A turn of one segment about its own joint, by rotations about world
  // axes (the view's up and right), the other pins held as the mode says;
  // one step once ended and kept, nothing once put back. It pins nothing.
  // In mirror mode the segment's partner turns as its mirror image.
  // Any other verb keeps a turn under way first.
  void beginTurn(const Segment* segment);
  void turnBy(const Vec3& axis, double angle);
  Outcome endTurn(bool keep);
  bool turning() const { return turned != nullptr; }

  // ---- commands
  Outcome undo();
  Outcome redo();
  // The start pose with no handles, in the file in play.
  Outcome reset();
  // The start pose with no handles, untitled: undo brings back the pose
  // and its file.
  Outcome newPose();
  // The pose and its handles as text, into text.
  Outcome copy(std::string& text) const;
  // The clipboard's text: its first bytes and its whole size.
  Outcome paste(std::string_view text, std::size_t size, bool mirrored);
  // A pose file; or a BVH file's frame (a BVH begins with HIERARCHY), which
  // brings no handles; or the pose a PNG picture carries. The last two leave
  // no file to save to: the pose is untitled.
  Outcome open(const std::string& path, int frame = 1);
  // Brings back a pose kept for recovery, and the file it belonged to, as
  // the steps after the file's saved pose (or the start); known is the
  // file's identity when it was last opened or saved, if the copy says.
  Outcome recover(std::string_view text, const std::string& path,
                  const std::optional<pose_file::Identity>& known = std::nullopt);
  // Writes the pose to the path, which becomes the file in play.
  Outcome saveTo(const std::string& path);
  // Writes a picture's PNG bytes to the path, whose name is complete.
  Outcome exportPicture(const std::string& path, const std::string& png) const;
  // Writes the skeleton and its pose as a BVH file.
  Outcome exportBvh(const std::string& path) const;

  // ---- motion captures
  // Whether the path names a BVH file.
  static bool isMotion(const std::string& path);
  // Every frame of a BVH file, for choosing one; none, with the refusal's
  // words, when it cannot be read whole.
  struct CaptureOpening {
    std::shared_ptr<const capture::Capture> capture;
    Outcome refusal;
  };
  CaptureOpening openCapture(const std::string& path) const;
  // Shows a frame of the capture fitted, as a preview; a refusal when it
  // cannot be fitted.
  Outcome previewFrame(const capture::Capture& capture, long frame);
  // What an import of the file says.
  static std::string importedWords(const std::string& path);

  // ---- previews
  // Shows a pose on the figure, its pins replacing the handles, as no step
  // and with no recovery copy: the first call keeps what it replaces.
  void preview(const Pose& pose);
  // The pose previewed last as one step, in the file in play or untitled.
  Outcome keepPreview(const std::string& said, bool untitledFile);
  // The figure as it was before the first preview.
  void dropPreview();
  bool previewing() const { return before.has_value(); }

  // ---- applying another pose
  // The pose a file holds, as open reads it (a pose file, a BVH file's
  // first frame, a picture's pose), without its handles; a refusal with
  // the verb's words ("apply: NAME: ") when it holds none.
  struct PoseReading {
    Pose pose;
    Outcome refusal;
  };
  PoseReading readPose(const std::string& path) const;
  // Previews other applied as chosen, always over the pose before the
  // first preview, never over a preview; the handles stay, their targets
  // following their points. Keep it with keepPreview, drop it with
  // dropPreview.
  Outcome previewApply(const Pose& other, const ApplyChoice& choice);

  // ---- the file in play
  // Changed since the start, or since the last open or save; a drag that
  // moved the figure is a change before it ends.
  bool modified() const { return changed || dragMoved; }
  // Empty while untitled.
  const std::string& path() const { return history.current().file->path; }
  // Another program wrote the file since it was last opened or saved here.
  bool changedOnDisk() const;
  // The file's name as the title and the dialogs show it.
  std::string shownFileName() const;
  // Where the file dialogs start, and the names they offer.
  std::string suggestedPoseName() const;
  std::string suggestedPictureName() const;

  // ---- the camera and the reference pictures, kept with the pose's file
  // None until the view keeps one. No step and no change to save: the next
  // save writes it, and so does the next recovery copy.
  const std::optional<ViewState>& viewState() const { return camera; }
  void keepViewState(const ViewState& state) { camera = withinFileLimits(state); }
  // Counts the views a pose file or a recovery copy brought, for the view
  // to take each once.
  unsigned viewsBrought() const { return broughtViews; }
  // The text a pose file of this pose holds (version 2 with the view, when
  // there is one), or why it would not open again.
  pose_text::Writing fileText(const std::string& path) const;

  const StepHistory<DocumentStep>& steps() const { return history; }
  // Called after every verb, once the pose and its mark are up to date.
  void onChange(std::function<void(const PoseDocument&)> changed) { watcher = std::move(changed); }

 private:
  template <class Change>
  Outcome edit(Change change);
  // What an open, an import, a paste or a recovery brings, taken whole as
  // one step or refused with the verb's words (what: "open: NAME: "): a
  // reading's error, else take's. file, when given, names the file in play
  // from this step on.
  using Taking = std::function<pose_text::Pasting()>;
  using Naming = std::function<std::shared_ptr<FileInPlay>()>;
  Outcome adopt(const std::string& what, const std::string& readingError, const Taking& take, const Naming& file,
                const std::string& said);
  Outcome importBvh(const std::string& path, int frame);
  Outcome importPicture(const std::string& path);
  std::string takeView(const std::optional<ViewState>& view);
  Outcome move(const DocumentStep* (StepHistory<DocumentStep>::*to)(), const char* nothing);
  Outcome addPin(const Segment* segment, const Vec3& point);
  void removePin(int place);
  int placeOf(const Handle* handle) const;
  // The handle's twin, pinned with it in mirror mode; none for one without.
  Handle* twinOf(const Handle* handle) const;
  std::string exportRefusal(const std::string& path) const;
  void record(const std::shared_ptr<FileInPlay>& file);
  void restore(const FigureState& state);
  void markChanges();

  std::unique_ptr<Figure> body;
  std::vector<std::unique_ptr<Handle>> records;  // the handles pinned on the figure
  FigureState start;                             // what a reset goes back to
  StepHistory<DocumentStep> history;
  bool changed = false;
  HandleTwins twins;  // as the current step has them, once recorded
  std::optional<DocumentStep> before;  // what a preview replaced
  bool mirror = false;
  bool firm = false;
  const Segment* turned = nullptr;  // the segment a turn under way turns
  bool dragUnderWay = false;
  bool dragMoved = false;  // a solve ran since the drag began
  std::function<void(const PoseDocument&)> watcher;
  std::optional<ViewState> camera;
  unsigned broughtViews = 0;
};
