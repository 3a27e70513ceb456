#include "document/PoseDocument.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cctype>

#include "document/ShownName.h"
#include "ik/Solver.h"
#include "pose/BvhReader.h"
#include "pose/BvhWriter.h"
#include "pose/CaptureReading.h"
#include "pose/PoseFile.h"
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


std::shared_ptr<FileInPlay> untitled(const FigureState& start) {
  return std::make_shared<FileInPlay>(FileInPlay{"", start, std::nullopt});
}

}  // namespace

PoseDocument::PoseDocument(std::unique_ptr<Figure> figure)
    : body(std::move(figure)), start(saveState(*body)), history(DocumentStep{start, untitled(start)}) {
  body->updateHandlePositions();
}

PoseDocument::~PoseDocument() {
  // The figure must hold no pointers into records that die first.
  while (!body->handles.empty()) body->removeHandle(body->handles.front().handle);
}

// The one rule of steps: a change that no verb recorded yet is a step of its
// own, and what the verb changed is the next one, in the file the verb
// leaves in play; a refusal leaves nothing to record.
template <class Change>
Outcome PoseDocument::edit(Change change) {
  std::shared_ptr<FileInPlay> file = history.current().file;
  record(file);
  Outcome outcome = change(file);
  if (!outcome.refused) record(file);
  markChanges();
  return outcome;
}

void PoseDocument::record(const std::shared_ptr<FileInPlay>& file) { history.record({saveState(*body), file}); }

void PoseDocument::restore(const FigureState& state) {
  // The new records replace the old ones only once the figure has let go of them.
  records = restoreState(*body, state);
}

void PoseDocument::markChanges() {
  const DocumentStep& now = history.current();
  changed = !(now.pose == now.file->saved);
  if (watcher) watcher(*this);
}

Outcome PoseDocument::pin(Segment* segment, const Vec3& point) {
  return edit([&](std::shared_ptr<FileInPlay>&) {
    records.push_back(std::make_unique<Handle>(point.x, point.y, point.z));
    Handle* added = records.back().get();
    body->addHandle(added, segment);
    body->updateHandlePositions();
    // Pinned where it was placed: left at the origin, it would drag its body
    // part to the floor as soon as another handle is moved.
    added->targetPos = added->worldPos;
    // A pose must stay one that its file can hold and give back.
    const std::size_t handles = body->handles.size();
    if (handles <= pose_text::kHandleLimit && pose_text::sizeRefusal(pose_text::write(*body).size()).empty()) {
      return Outcome{};
    }
    body->removeHandle(added);
    records.pop_back();
    return Outcome::refusal(handles > pose_text::kHandleLimit
                                ? "not pinned: a pose holds at most " + std::to_string(pose_text::kHandleLimit) + " handles"
                                : "not pinned: the pose's text would be more than " +
                                      std::to_string(pose_text::kSizeLimit) + " bytes");
  });
}

Outcome PoseDocument::unpin(Handle* handle) {
  return edit([&](std::shared_ptr<FileInPlay>&) {
    if (!body->segmentOf(handle)) return Outcome{};
    body->removeHandle(handle);
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [handle](const std::unique_ptr<Handle>& r) { return r.get() == handle; }),
                  records.end());
    body->solve(nullptr);
    return Outcome{};
  });
}

Outcome PoseDocument::endDrag() {
  return edit([](std::shared_ptr<FileInPlay>&) { return Outcome{}; });
}

Outcome PoseDocument::undo() { return move(&StepHistory<DocumentStep>::undo, "nothing to undo"); }

Outcome PoseDocument::redo() { return move(&StepHistory<DocumentStep>::redo, "nothing to redo"); }

// To another step of the history, its pose and its file; a change that no
// verb recorded yet is a step of its own first.
Outcome PoseDocument::move(const DocumentStep* (StepHistory<DocumentStep>::*to)(), const char* nothing) {
  record(history.current().file);
  const DocumentStep* step = (history.*to)();
  if (step) restore(step->pose);
  markChanges();
  return step ? Outcome{} : Outcome::said(nothing);
}

Outcome PoseDocument::reset() {
  return edit([&](std::shared_ptr<FileInPlay>&) {
    restore(start);
    return Outcome::said("reset");
  });
}

Outcome PoseDocument::copy(std::string& text) const {
  text = pose_text::write(*body);
  return Outcome::said("copied");
}

// All or nothing: text that is not a whole, valid pose leaves the figure and
// its handles as they were, and one line says why.
Outcome PoseDocument::paste(std::string_view text, std::size_t size, bool mirrored) {
  const std::string what = mirrored ? "paste mirrored: " : "paste: ";
  if (std::string refusal = pose_text::sizeRefusal(size); !refusal.empty()) return Outcome::refusal(what + refusal);
  return edit([&](std::shared_ptr<FileInPlay>&) {
    pose_text::Pasting pasting = pose_text::paste(*body, text, mirrored);
    if (!pasting.error.empty()) return Outcome::refusal(what + pasting.error);
    records = std::move(pasting.records);
    return Outcome::said(mirrored ? "pasted mirrored" : "pasted");
  });
}

// As a paste, and the file opened is in play from this step on.
Outcome PoseDocument::open(const std::string& path, int frame) {
  const std::string head = headOf(path);
  if (isBvh(head)) return importBvh(path, frame);
  if (pose_picture::isPng(head)) return importPicture(path);
  return edit([&](std::shared_ptr<FileInPlay>& file) {
    const pose_file::Reading reading = pose_file::read(path);
    pose_text::Pasting opened = reading.error.empty() ? pose_text::paste(*body, reading.text, false)
                                                      : pose_text::Pasting{reading.error, {}};
    if (!opened.error.empty()) return Outcome::refusal("open: " + shownName(path) + ": " + opened.error);
    records = std::move(opened.records);
    file = std::make_shared<FileInPlay>(FileInPlay{absolutePath(path), saveState(*body), reading.identity});
    return Outcome::said("opened " + shownName(pose_file::nameOf(path)));
  });
}

// A motion file's frame, as a paste: it has no handles, so every handle
// goes, and it is no pose file to save to.
Outcome PoseDocument::importBvh(const std::string& path, int frame) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  const std::string refusal = error ? error.message() : bvh::sizeRefusal(size);
  if (!refusal.empty()) return Outcome::refusal("open: " + shownName(path) + ": " + refusal);
  std::ifstream in(path, std::ios::binary);
  const bvh::Reading reading = capture::readFrame(*body, in, frame);
  if (!reading.error.empty()) return Outcome::refusal("open: " + shownName(path) + ": " + reading.error);
  return edit([&](std::shared_ptr<FileInPlay>& file) {
    records = applyPose(*body, reading.pose);
    file = untitled(start);
    return Outcome::said("imported " + shownName(pose_file::nameOf(path)) + ", every handle removed");
  });
}

// A picture's pose, as a paste; the picture is no pose file to save to, so
// that a save never writes text over it.
Outcome PoseDocument::importPicture(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const pose_picture::Reading reading = pose_picture::read(in);
  if (!reading.error.empty()) return Outcome::refusal("open: " + shownName(path) + ": " + reading.error);
  return edit([&](std::shared_ptr<FileInPlay>& file) {
    pose_text::Pasting pasting = pose_text::paste(*body, reading.text, false);
    if (!pasting.error.empty()) return Outcome::refusal("open: " + shownName(path) + ": " + pasting.error);
    records = std::move(pasting.records);
    file = untitled(start);
    return Outcome::said("imported " + shownName(pose_file::nameOf(path)));
  });
}

Outcome PoseDocument::recover(std::string_view text, const std::string& path) {
  // A file gone or changed beyond reading still names where the pose goes.
  if (!path.empty() && open(path).refused) {
    edit([&](std::shared_ptr<FileInPlay>& file) {
      // A file there that could not be read is one that changed: a save
      // over it asks first.
      const std::optional<pose_file::Identity> unknown =
          pose_file::identityOf(path) ? std::optional<pose_file::Identity>(pose_file::Identity{}) : std::nullopt;
      file = std::make_shared<FileInPlay>(FileInPlay{absolutePath(path), history.current().pose, unknown});
      return Outcome{};
    });
  }
  return edit([&](std::shared_ptr<FileInPlay>&) {
    pose_text::Pasting pasting = pose_text::paste(*body, text, false);
    if (!pasting.error.empty()) return Outcome::refusal("recover: " + pasting.error);
    records = std::move(pasting.records);
    return Outcome::said("recovered " + shownFileName());
  });
}

// The pose's text as a copy gives it; on failure the old file stays whole
// and the pose stays modified.
Outcome PoseDocument::saveTo(const std::string& path) {
  record(history.current().file);
  const pose_file::Saving saving = pose_file::save(path, pose_text::write(*body));
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

Outcome PoseDocument::exportPicture(const std::string& typed, const std::string& png) const {
  const std::string path = pose_file::withExtension(typed, ".png");
  std::string error = exportRefusal(path);
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
  const std::string name = pose_file::nameOf(path());
  return path().substr(0, path().size() - name.size()) + name.substr(0, name.find('.', 1)) + ".png";
}
