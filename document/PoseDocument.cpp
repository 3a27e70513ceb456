#include "document/PoseDocument.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cctype>
#include <iostream>

#include "pose/ShownText.h"
#include "ik/FirmPins.h"
#include "ik/FixedDofs.h"
#include "ik/JointTurn.h"
#include "ik/Solver.h"
#include "pose/BvhReader.h"
#include "pose/BvhWriter.h"
#include "pose/Pose.h"
#include "pose/CaptureFit.h"
#include "pose/CaptureReading.h"
#include "pose/PoseFile.h"
#include "pose/PoseFileText.h"
#include "pose/PosePicture.h"
#include "pose/PoseText.h"

namespace {

// A regular file's first bytes; none for anything else, so that a pipe is
// refused as a pose file is, never waited on.
std::string headOf(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return "";
  // Its first bytes alone: a file of blanks is not read through to find out.
  char head[63];
  std::ifstream in(path, std::ios::binary);
  in.read(head, sizeof head);
  return std::string(head, static_cast<std::size_t>(in.gcount()));
}

// A BVH file begins with HIERARCHY.
bool isBvh(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.remove_prefix(3);
  text.remove_prefix(std::min(text.size(), text.find_first_not_of(" \t\r\n")));
  return text.rfind("HIERARCHY", 0) == 0 && (text.size() == 9 || std::isspace(static_cast<unsigned char>(text[9])));
}

// The path as given, made absolute (links kept): a later start from another
// folder must find the same file, or none.
std::string absolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path whole = std::filesystem::absolute(path, error);
  return error ? path : whole.lexically_normal().string();
}


// The folder of a pose file's path, whole; none for no file.
std::string folderOf(const std::string& path) {
  return path.empty() ? "" : std::filesystem::path(absolutePath(path)).parent_path().string();
}

std::shared_ptr<FileInPlay> untitled(const FigureState& start) {
  return std::make_shared<FileInPlay>(FileInPlay{"", start, std::nullopt});
}

}  // namespace

PoseDocument::PoseDocument(std::unique_ptr<Figure> figure)
    : body(std::move(figure)), start(saveState(*body)), history(DocumentStep{start, untitled(start), {}}) {
  body->updateHandlePositions();
}

PoseDocument::~PoseDocument() {
  // The figure must hold no pointers into records that die first.
  while (!body->handles.empty()) body->removeHandle(body->handles.front().handle);
}

// The one rule of steps: what the verb changed is the next step, in the
// file the verb leaves in play; a refusal leaves nothing to record. A drag
// under way is a step of its own first.
template <class Change>
Outcome PoseDocument::edit(Change change) {
  settle();
  std::shared_ptr<FileInPlay> file = history.current().file;
  Outcome outcome = change(file);
  if (!outcome.refused) record(file);
  markChanges();
  return outcome;
}

void PoseDocument::record(const std::shared_ptr<FileInPlay>& file) {
  history.record({saveState(*body), file, twins});
}

void PoseDocument::restore(const FigureState& state) {
  // The new records replace the old ones only once the figure has let go of them.
  records = restoreState(*body, state);
}

void PoseDocument::markChanges() {
  const DocumentStep& now = history.current();
  changed = !(now.pose == now.file->saved);
  if (watcher) watcher(*this);
}

// The view names the figure's parts through const pointers: the figure is
// this document's own, so its parts are its to change. In mirror mode a pin
// off the midline brings its twin on the other side.
Outcome PoseDocument::pin(const Segment* segment, const Vec3& point) {
  return edit([&](std::shared_ptr<FileInPlay>&) {
    const Segment* other = mirror ? mirrorSegment(*body, segment) : segment;
    Outcome refused = addPin(segment, point);
    if (refused.refused || other == segment) return refused;
    if (refused = addPin(other, mirrorLocal(point)); refused.refused) {
      removePin(body->handleCount() - 1);
      return refused;
    }
    twins.link(body->handleCount() - 2, body->handleCount() - 1);
    return Outcome{};
  });
}

// Pinned where it was placed: left at the origin, it would drag its body
// part to the floor as soon as another handle is moved.
Outcome PoseDocument::addPin(const Segment* segment, const Vec3& point) {
  records.push_back(std::make_unique<Handle>(point.x, point.y, point.z));
  Handle* added = records.back().get();
  body->addHandle(added, const_cast<Segment*>(segment));
  body->updateHandlePositions();
  added->targetPos = added->worldPos;
  // A pose must stay one that its file can hold and give back.
  const std::size_t handles = body->handles.size();
  if (handles <= pose_text::kHandleLimit && pose_text::sizeRefusal(pose_text::write(*body).size()).empty()) {
    return Outcome{};
  }
  removePin(static_cast<int>(handles) - 1);
  return Outcome::refusal(handles > pose_text::kHandleLimit
                              ? "not pinned: a pose holds at most " + std::to_string(pose_text::kHandleLimit) + " handles"
                              : "not pinned: the pose's text would be more than " +
                                    std::to_string(pose_text::kSizeLimit) + " bytes");
}

// The handle at a place in the figure's list goes, with its record.
void PoseDocument::removePin(int place) {
  Handle* handle = std::next(body->handles.begin(), place)->handle;
  body->removeHandle(handle);
  records.erase(std::remove_if(records.begin(), records.end(),
                               [handle](const std::unique_ptr<Handle>& r) { return r.get() == handle; }),
                records.end());
  twins.remove(place);
}

int PoseDocument::placeOf(const Handle* handle) const {
  int place = 0;
  for (const HandleEntry& e : body->handles) {
    if (e.handle == handle) return place;
    ++place;
  }
  return -1;
}

// With its twin, if it has one.
Outcome PoseDocument::unpin(const Handle* handle) {
  return edit([&](std::shared_ptr<FileInPlay>&) {
    const int place = placeOf(handle);
    if (place < 0) return Outcome{};
    const int twin = twins.twinOf(place);
    removePin(place);
    if (twin >= 0) removePin(twin - (twin > place));
    body->solve(nullptr);
    return Outcome{};
  });
}

void PoseDocument::settle() {
  endDrag();
  endTurn(true);
}

void PoseDocument::beginDrag() {
  settle();
  dragUnderWay = true;
}

Handle* PoseDocument::twinOf(const Handle* handle) const {
  if (!handle || !body->segmentOf(handle)) return nullptr;
  const int twin = twins.twinOf(placeOf(handle));
  return twin < 0 ? nullptr : std::next(body->handles.begin(), twin)->handle;
}

void PoseDocument::dragTo(const Handle* dragged, const std::optional<Vec3>& target) {
  if (!dragUnderWay) beginDrag();
  // Twins keep their link with mirror mode off, but only a removal takes both then.
  Handle* const twin = mirror ? twinOf(dragged) : nullptr;
  if (dragged && body->segmentOf(dragged)) {
    // A pointer that could not be placed must never become a target: the
    // handle keeps the one it had.
    if (target && target->isFinite()) {
      const_cast<Handle*>(dragged)->targetPos = *target;
      // Its twin follows to the mirror image.
      if (twin) twin->targetPos = mirrorWorld(*body, *target);
    } else {
      std::cout << "YOU suck!!!" << std::endl;
    }
  }
  if (firm) {
    FirmPins::solve(*body, dragged);
  } else {
    // A twin is pulled as hard as the handle dragged, in a solve of its own
    // just before: pulled as one of the pins, it would lag far behind.
    if (twin) body->solve(twin);
    body->solve(dragged);
  }
  dragMoved = true;
}

void PoseDocument::beginTurn(const Segment* segment) {
  settle();
  turned = segment;
}

// In mirror mode the partner on the other side turns as the mirror image:
// about the reflected axis, the other way round.
void PoseDocument::turnBy(const Vec3& axis, double angle) {
  if (!turned) return;
  const Segment* partner = mirror ? mirrorSegment(*body, turned) : turned;
  const Vec3 mirroredAxis = mirrorWorld(*body, axis) - mirrorWorld(*body, Vec3());
  if (!JointTurn::turn(*body, *turned, axis, angle)) return;
  std::vector<unsigned char> fixed = JointTurn::dofsOf(*body, *turned);
  if (partner != turned && JointTurn::turn(*body, *partner, mirroredAxis, -angle)) {
    const std::vector<unsigned char> other = JointTurn::dofsOf(*body, *partner);
    for (std::size_t i = 0; i < fixed.size(); ++i) fixed[i] |= other[i];
  }
  if (firm) {
    FirmPins::hold(*body, nullptr, fixed);
  } else {
    const FixedDofs held(*body, fixed);
    body->solve(nullptr);
  }
  body->updateHandlePositions();
  dragMoved = true;
}

Outcome PoseDocument::endTurn(bool keep) {
  if (!turned) return Outcome{};
  turned = nullptr;
  dragMoved = false;
  if (keep) {
    record(history.current().file);
  } else {
    restore(history.current().pose);
  }
  markChanges();
  return Outcome{};
}

Outcome PoseDocument::endDrag() {
  if (!dragUnderWay) return Outcome{};
  dragUnderWay = false;
  dragMoved = false;
  record(history.current().file);
  markChanges();
  return Outcome{};
}

void PoseDocument::apply(SolverSetting setting) {
  switch (setting) {
    case SolverSetting::Tolerance2:
      body->tolerance = 0.01;
      break;
    case SolverSetting::Tolerance3:
      body->tolerance = 0.001;
      break;
    case SolverSetting::Tolerance4:
      body->tolerance = 0.0001;
      break;
    case SolverSetting::LimitsOn:
      body->limitsEnabled = true;
      break;
    case SolverSetting::LimitsOff:
      body->limitsEnabled = false;
      break;
    case SolverSetting::LimbWeights:
      body->setLimbWeights();
      break;
    case SolverSetting::UniformWeights:
      body->setUniformWeights();
      break;
  }
}

Outcome PoseDocument::undo() { return move(&StepHistory<DocumentStep>::undo, "nothing to undo"); }

Outcome PoseDocument::redo() { return move(&StepHistory<DocumentStep>::redo, "nothing to redo"); }

// To another step of the history, its pose and its file; a drag under way
// is a step of its own first.
Outcome PoseDocument::move(const DocumentStep* (StepHistory<DocumentStep>::*to)(), const char* nothing) {
  settle();
  const DocumentStep* step = (history.*to)();
  if (step) {
    restore(step->pose);
    twins = step->twins;
  }
  markChanges();
  return step ? Outcome{} : Outcome::said(nothing);
}

Outcome PoseDocument::reset() {
  return edit([&](std::shared_ptr<FileInPlay>&) {
    restore(start);
    twins.clear();
    return Outcome::said("reset");
  });
}

Outcome PoseDocument::newPose() {
  return edit([&](std::shared_ptr<FileInPlay>& file) {
    restore(start);
    twins.clear();
    // An untitled pose stays in its file in play: a new pose on the start
    // pose, untitled, is no step.
    if (!file->path.empty()) file = untitled(start);
    return Outcome::said("new pose");
  });
}

void PoseDocument::preview(const Pose& pose) {
  settle();
  if (!before) before = history.current();
  records = applyPose(*body, pose);
  twins.clear();
}

Outcome PoseDocument::keepPreview(const std::string& said, bool untitledFile) {
  if (!before) return Outcome{};
  before.reset();
  return edit([&](std::shared_ptr<FileInPlay>& file) {
    if (untitledFile) file = untitled(start);
    return Outcome::said(said);
  });
}

void PoseDocument::dropPreview() {
  if (!before) return;
  restore(before->pose);
  twins = before->twins;
  before.reset();
}

PoseDocument::PoseReading PoseDocument::readPose(const std::string& path) const {
  const std::string what = "apply: " + shownName(path) + ": ";
  const std::string head = headOf(path);
  std::string text, error;
  if (isBvh(head)) {
    std::error_code failed;
    const std::uintmax_t size = std::filesystem::file_size(path, failed);
    error = failed ? failed.message() : bvh::sizeRefusal(size);
    if (!error.empty()) return {{}, Outcome::refusal(what + error)};
    std::ifstream in(path, std::ios::binary);
    bvh::Reading reading = capture::readFrame(*body, in, 1);
    if (!reading.error.empty()) return {{}, Outcome::refusal(what + reading.error)};
    reading.pose.pins.clear();
    return {std::move(reading.pose), Outcome{}};
  }
  if (pose_picture::isPng(head)) {
    std::ifstream in(path, std::ios::binary);
    pose_picture::Reading reading = pose_picture::read(in);
    text = std::move(reading.text), error = std::move(reading.error);
  } else {
    pose_file::Reading reading = pose_file::read(path);
    text = std::move(reading.text), error = std::move(reading.error);
  }
  pose_text::Reading reading;
  if (error.empty()) reading = pose_text::read(*body, text);
  if (error.empty()) error = reading.error;
  if (!error.empty()) return {{}, Outcome::refusal(what + error)};
  reading.pose.pins.clear();
  return {std::move(reading.pose), Outcome{}};
}

// Over the step before the first preview, whatever was previewed since:
// the choices never compound. The handles and their twins stay.
Outcome PoseDocument::previewApply(const Pose& other, const ApplyChoice& choice) {
  settle();
  const DocumentStep base = before ? *before : history.current();
  part_apply::Applying applying = part_apply::apply(*body, base.pose, other, choice);
  if (!applying.error.empty()) return Outcome::refusal("apply: " + applying.error);
  if (choice.amount == 0.0) {
    // Nothing is written: the figure is the step before, exactly.
    if (!before) before = base;
    restore(base.pose);
  } else {
    preview(applying.pose);
  }
  twins = base.twins;
  return Outcome{};
}

// A pose the program would refuse to paste is not copied.
Outcome PoseDocument::copy(std::string& text) const {
  pose_text::Writing writing = pose_text::checkedWrite(*body);
  if (!writing.error.empty()) return Outcome::refusal("copy: the pose would not paste again: " + writing.error);
  text = std::move(writing.text);
  return Outcome::said("copied");
}

// All or nothing: what is not a whole, valid pose leaves the figure and its
// handles as they were, and one line says why.
Outcome PoseDocument::adopt(const std::string& what, const std::string& readingError, const Taking& take,
                            const Naming& file, const std::string& said) {
  if (!readingError.empty()) return Outcome::refusal(what + readingError);
  return edit([&](std::shared_ptr<FileInPlay>& inPlay) {
    pose_text::Pasting taken = take();
    if (!taken.error.empty()) return Outcome::refusal(what + taken.error);
    records = std::move(taken.records);
    twins.clear();
    if (file) inPlay = file();
    return Outcome::said(said);
  });
}

Outcome PoseDocument::paste(std::string_view text, std::size_t size, bool mirrored) {
  return adopt(mirrored ? "paste mirrored: " : "paste: ", pose_text::sizeRefusal(size),
               [&] { return pose_file_text::paste(*body, text, mirrored); }, nullptr,
               mirrored ? "pasted mirrored" : "pasted");
}

// As a paste, and the file opened is in play from this step on; a view the
// file keeps replaces the camera and the pictures.
Outcome PoseDocument::open(const std::string& path, int frame) {
  const std::string head = headOf(path);
  if (isBvh(head)) return importBvh(path, frame);
  if (pose_picture::isPng(head)) return importPicture(path);
  const pose_file::Reading file = pose_file::read(path);
  pose_file_text::Reading reading;
  if (file.error.empty()) reading = pose_file_text::read(*body, file.text, folderOf(path));
  Outcome opened = adopt(
      "open: " + shownName(path) + ": ", file.error.empty() ? reading.error : file.error,
      [&] { return pose_text::Pasting{"", applyPose(*body, reading.pose)}; },
      [&] { return std::make_shared<FileInPlay>(FileInPlay{absolutePath(path), saveState(*body), file.identity}); },
      "opened " + shownName(pose_file::nameOf(path)));
  if (!opened.refused) opened.words += takeView(reading.view);
  return opened;
}

// Taken whole; a picture whose file is not there is kept, to be found
// again, and named.
std::string PoseDocument::takeView(const std::optional<ViewState>& view) {
  if (!view) return "";
  camera = view;
  ++broughtViews;
  std::string missing;
  for (const std::optional<ReferencePicture>& picture : view->pictures) {
    std::error_code error;
    if (picture && !std::filesystem::exists(picture->path, error))
      missing += (missing.empty() ? "" : ", ") + shownName(picture->path);
  }
  return missing.empty() ? "" : "; reference picture missing: " + missing;
}

pose_text::Writing PoseDocument::fileText(const std::string& path) const {
  if (!camera) return pose_text::checkedWrite(*body);
  return pose_file_text::checkedWrite(*body, *camera, folderOf(path));
}

bool PoseDocument::isMotion(const std::string& path) { return isBvh(headOf(path)); }

std::string PoseDocument::importedWords(const std::string& path) {
  return "imported " + shownName(pose_file::nameOf(path)) + ", every handle removed";
}

PoseDocument::CaptureOpening PoseDocument::openCapture(const std::string& path) const {
  const std::string what = "open: " + shownName(path) + ": ";
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  std::string refusal = error ? error.message() : bvh::sizeRefusal(size);
  if (!refusal.empty() || !isMotion(path)) {
    return {nullptr, Outcome::refusal(what + (refusal.empty() ? "not a BVH file" : refusal))};
  }
  std::ifstream in(path, std::ios::binary);
  capture::Loading loading = capture::load(*body, in);
  if (!loading.error.empty()) return {nullptr, Outcome::refusal(what + loading.error)};
  return {std::move(loading.capture), Outcome{}};
}

Outcome PoseDocument::previewFrame(const capture::Capture& capture, long frame) {
  const capture::Fitting fitting = capture::fit(*body, capture, frame);
  if (!fitting.error.empty()) return Outcome::refusal("open: frame " + std::to_string(frame) + ": " + fitting.error);
  preview(fitting.pose);
  return Outcome{};
}

// A motion file's frame, as a paste: it has no handles, so every handle
// goes, and it is no pose file to save to.
Outcome PoseDocument::importBvh(const std::string& path, int frame) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  std::string refusal = error ? error.message() : bvh::sizeRefusal(size);
  bvh::Reading reading;
  if (refusal.empty()) {
    std::ifstream in(path, std::ios::binary);
    reading = capture::readFrame(*body, in, frame);
    refusal = reading.error;
  }
  return adopt(
      "open: " + shownName(path) + ": ", refusal,
      [&] { return pose_text::Pasting{"", applyPose(*body, reading.pose)}; }, [&] { return untitled(start); },
      importedWords(path));
}

// A picture's pose, as a paste; the picture is no pose file to save to, so
// that a save never writes text over it.
Outcome PoseDocument::importPicture(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const pose_picture::Reading reading = pose_picture::read(in);
  return adopt(
      "open: " + shownName(path) + ": ", reading.error, [&] { return pose_text::paste(*body, reading.text, false); },
      [&] { return untitled(start); }, "imported " + shownName(pose_file::nameOf(path)));
}

Outcome PoseDocument::recover(std::string_view text, const std::string& path,
                              const std::optional<pose_file::Identity>& known) {
  const bool opened = !path.empty() && !open(path).refused;
  // The file as it was before the crash: a change made to it since is asked
  // about before a save replaces it.
  if (opened && known) history.current().file->identity = known;
  // A file gone or changed beyond reading still names where the pose goes.
  if (!path.empty() && !opened) {
    edit([&](std::shared_ptr<FileInPlay>& file) {
      // A file there that could not be read is one that changed: a save
      // over it asks first.
      const std::optional<pose_file::Identity> unknown =
          pose_file::identityOf(path) ? std::optional<pose_file::Identity>(pose_file::Identity{}) : std::nullopt;
      file = std::make_shared<FileInPlay>(FileInPlay{absolutePath(path), history.current().pose, unknown});
      return Outcome{};
    });
  }
  const pose_file_text::Reading reading = pose_file_text::read(*body, text, folderOf(path));
  Outcome recovered = adopt(
      "recover: ", reading.error, [&] { return pose_text::Pasting{"", applyPose(*body, reading.pose)}; }, nullptr,
      "recovered " + shownFileName());
  if (!recovered.refused) recovered.words += takeView(reading.view);
  return recovered;
}

// The pose's text as a copy gives it; on failure the old file stays whole
// and the pose stays modified.
Outcome PoseDocument::saveTo(const std::string& path) {
  settle();
  // A file the program would refuse to open never replaces the old one.
  const pose_text::Writing writing = fileText(path);
  if (!writing.error.empty()) {
    return Outcome::refusal("save: " + shownName(path) + ": the pose would not open again: " + writing.error);
  }
  const pose_file::Saving saving = pose_file::save(path, writing.text);
  if (!saving.error.empty()) return Outcome::refusal("save: " + shownName(path) + ": " + saving.error);
  FileInPlay& file = *history.current().file;
  file.path = absolutePath(path);
  file.saved = history.current().pose;
  file.identity = saving.identity;
  markChanges();
  const std::string said = "saved " + shownName(pose_file::nameOf(path));
  return Outcome::said(saving.note.empty() ? said : said + "; " + saving.note);
}

// An export never replaces the pose's own file, which would then hold no pose.
std::string PoseDocument::exportRefusal(const std::string& path) const {
  return !this->path().empty() && pose_file::sameFile(path, this->path()) ? "it is the pose's own file" : "";
}

Outcome PoseDocument::exportPicture(const std::string& path, const std::string& png) const {
  std::string error = exportRefusal(path);
  // As --png: a pose file would lose its camera and pictures to it.
  if (error.empty() && pose_file::hasExtension(path, ".pose")) {
    error = "a picture is not written as a pose or BVH file";
  }
  if (error.empty()) error = png.empty() ? "nothing to draw yet" : pose_file::write(path, png);
  if (!error.empty()) return Outcome::refusal("export: " + shownName(path) + ": " + error);
  return Outcome::said("exported " + shownName(pose_file::nameOf(path)));
}

bool PoseDocument::changedOnDisk() const {
  const std::optional<pose_file::Identity>& known = history.current().file->identity;
  const std::optional<pose_file::Identity> now = known ? pose_file::identityOf(path()) : std::nullopt;
  return now && *now != *known;
}

std::string PoseDocument::shownFileName() const {
  return path().empty() ? "untitled" : shownName(pose_file::nameOf(path()));
}

Outcome PoseDocument::exportBvh(const std::string& path) const {
  const bvh::Writing writing = bvh::write(*body);
  std::string error = exportRefusal(path);
  if (error.empty()) error = writing.error.empty() ? pose_file::write(path, writing.text) : writing.error;
  if (!error.empty()) return Outcome::refusal("export: " + shownName(path) + ": " + error);
  return Outcome::said("exported " + shownName(pose_file::nameOf(path)));
}

std::string PoseDocument::suggestedPoseName() const { return path().empty() ? "pose.pose" : path(); }

// Beside the pose's file and named after it, when there is one.
std::string PoseDocument::suggestedPictureName() const {
  if (path().empty()) return "mannequin.png";
  return std::filesystem::path(path()).replace_extension(".png").string();
}
