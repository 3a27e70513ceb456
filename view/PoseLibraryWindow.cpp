#include "view/PoseLibraryWindow.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "document/PoseDocument.h"
#include "pose/PoseFile.h"
#include "pose/PoseLibrary.h"
#include "pose/ShownText.h"
#include "pose/ThumbnailCache.h"
#include "view/OperatorTable.h"
#include "view/StepKeys.h"
#include "view/TileSteps.h"

// Last: the toolkit's drawing brings Xlib, which defines macros such as None.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hor_Value_Slider.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Scroll.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 490, kHeight = 560;
constexpr int kCell = 150, kThumb = 128, kHeading = 24;

// The toolkit reads @ in a label as the start of a symbol; @@ shows one.
std::string forLabel(const std::string& text) {
  std::string label;
  for (char c : text) label += c == '@' ? "@@" : std::string(1, c);
  return label;
}

// One picture of a shelf: its thumbnail, decoded when first drawn (as it
// comes into sight), over its name.
class Tile : public Fl_Button {
 public:
  Tile(int x, int y, const pose_library::Entry& entry, ThumbnailCache& cache)
      : Fl_Button(x, y, kCell - 8, kCell - 8), entry(entry), cache(cache), name(shownName(entry.name)) {
    box(FL_FLAT_BOX);
    clear_visible_focus();
    if (!entry.broken.empty()) copy_tooltip(forLabel("broken: " + entry.broken).c_str());
  }

  void draw() override {
    draw_box(value() ? FL_DOWN_BOX : FL_FLAT_BOX, value() ? FL_SELECTION_COLOR : color());
    if (!image && error.empty() && entry.broken.empty()) load();
    if (image) image->draw(x() + (w() - image->w()) / 2, y() + 2);
    fl_color(value() ? fl_contrast(FL_FOREGROUND_COLOR, FL_SELECTION_COLOR) : FL_FOREGROUND_COLOR);
    const std::string text = entry.broken.empty() && error.empty() ? name : name + " (broken)";
    // A long name in a smaller type rather than cut at both ends.
    int size = 12;
    for (fl_font(FL_HELVETICA, size); size > 8 && fl_width(text.c_str()) > w() - 4;) fl_font(FL_HELVETICA, --size);
    // The name's line takes all below the picture, descenders included.
    fl_draw(text.c_str(), x() + 2, y() + kThumb + 1, w() - 4, h() - kThumb, FL_ALIGN_CENTER,
            nullptr, 0);
  }

  const pose_library::Entry entry;

 private:
  void load() {
    const ThumbnailCache::Thumbnail& t = cache.get(entry.path);
    error = t.error;
    if (!error.empty()) copy_tooltip(forLabel("broken: " + error).c_str());
    if (t.rgba.empty()) return;
    Fl_RGB_Image whole(t.rgba.data(), t.width, t.height, 4);
    const double scale = double(kThumb) / std::max(t.width, t.height);
    image.reset(whole.copy(std::max(1, int(t.width * scale)), std::max(1, int(t.height * scale))));
  }

  ThumbnailCache& cache;
  std::string name;
  std::string error;  // why its thumbnail could not be decoded
  std::unique_ptr<Fl_Image> image;
};

class LibraryWindow : public Fl_Double_Window {
 public:
  LibraryWindow(PoseDocument& document, const std::function<std::string()>& thumbnail,
                const std::function<void()>& shown)
      : Fl_Double_Window(kWidth, kHeight, "mannequin: poses"), document(document), thumbnail(thumbnail),
        drawFigure(shown) {
    shelf = new Fl_Scroll(5, 5, kWidth - 10, kHeight - 120);
    shelf->type(Fl_Scroll::VERTICAL_ALWAYS);
    // A notch of the wheel moves a third of a row, not the toolkit's 16 pixels.
    shelf->scrollbar.linesize(kCell / 3);
    shelf->end();
    const int y = kHeight - 110;
    part = new Fl_Choice(50, y, 110, 25, "Part:");
    for (BodyPart p : body_part::all()) part->add(std::string(body_part::nameOf(p)).c_str());
    part->value(0);
    mirrored = new Fl_Check_Button(170, y, 95, 25, operators::labelOf(Answer::MirrorPose));
    amount = new Fl_Hor_Value_Slider(340, y, kWidth - 350, 25, "Amount %:");
    amount->align(FL_ALIGN_LEFT);
    amount->bounds(0, 100);
    amount->step(1);
    amount->value(100);
    for (Fl_Widget* w : {static_cast<Fl_Widget*>(part), static_cast<Fl_Widget*>(mirrored),
                         static_cast<Fl_Widget*>(amount)}) {
      w->callback([](Fl_Widget*, void* self) { static_cast<LibraryWindow*>(self)->showChoice(); }, this);
    }
    status = new Fl_Box(10, kHeight - 40, kWidth - 200, 28);
    status->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
    button(10, 165, Answer::AddPose, kHeight - 75);
    button(180, 80, Answer::RenamePose, kHeight - 75);
    button(265, 80, Answer::DeletePose, kHeight - 75);
    button(kWidth - 180, 80, Answer::ApplyPose, kHeight - 40);
    button(kWidth - 95, 85, Answer::Cancel, kHeight - 40);
    end();
    set_modal();
    xclass("mannequin");
    resizable(shelf);
    // The close button cancels.
    callback([](Fl_Widget*, void* self) { static_cast<LibraryWindow*>(self)->finish(false); }, this);
    fill();
  }

  int handle(int event) override {
    const bool keyPress = event == FL_KEYBOARD || event == FL_SHORTCUT;
    std::optional<Answer> arrow;
    if (arrows.take(event, {Answer::PoseLeft, Answer::PoseRight, Answer::PoseAbove, Answer::PoseBelow}, arrow)) {
      if (arrow) step(*arrow);
      return 1;
    }
    // A letter with Ctrl or Alt is a command, and none of the window's.
    const bool plain = !(Fl::event_state() & (FL_CTRL | FL_ALT | FL_META));
    if (keyPress) {
      if (const std::optional<Answer> answer =
              plain ? operators::answerAmong(Fl::event_key(), {Answer::ApplyPose, Answer::Cancel, Answer::AddPose,
                                                               Answer::RenamePose, Answer::DeletePose, Answer::MirrorPose})
                    : operators::answerAmong(Fl::event_key(), {Answer::ApplyPose, Answer::Cancel, Answer::RenamePose,
                                                               Answer::DeletePose})) {
        if (*answer == Answer::MirrorPose) {
          mirrored->value(!mirrored->value());
          showChoice();
        } else {
          act(*answer);
        }
        return 1;
      }
    }
    return Fl_Double_Window::handle(event);
  }

  // Its keys work at once, whether or not the desktop gave the new window
  // the keyboard: the part's choice passes the arrows on to the shelves.
  void takeKeys() { part->take_focus(); }

  bool kept = false;
  std::string appliedName;

 private:
  void button(int x, int w, Answer answer, int y) {
    auto* b = new Fl_Button(x, y, w, 28, operators::labelOf(answer));
    // The toolkit keeps a widget's argument in its callback's data: the
    // window is the button's own.
    b->callback([](Fl_Widget* w, void*) {
      static_cast<LibraryWindow*>(w->window())->act(static_cast<Answer>(w->argument()));
    });
    b->argument(static_cast<long>(answer));
    b->clear_visible_focus();
  }

  void act(Answer answer) {
    switch (answer) {
      case Answer::ApplyPose:
        return finish(true);
      case Answer::Cancel:
        return finish(false);
      case Answer::AddPose:
        add();
        break;
      case Answer::RenamePose:
        rename();
        break;
      case Answer::DeletePose:
        remove();
        break;
      default:
        return;
    }
    // A question closed leaves the keyboard with no widget, and the arrows'
    // releases would go nowhere: each press after the first would seem held.
    takeKeys();
  }

  // Every shelf, its groups under their own headings; the person's shelf
  // is shown even when empty, as where Add puts poses.
  void fill() {
    shelf->clear();
    shelf->scroll_to(0, 0);
    tiles.clear();
    ownTiles.clear();
    shelf->begin();
    int y = shelf->y() + 2;
    for (const pose_library::Shelf& s : pose_library::shelves(document.figure())) {
      std::string group = "\x01";
      int column = 0;
      auto heading = [&](const std::string& text) {
        if (column) y += kCell;
        column = 0;
        auto* box = new Fl_Box(shelf->x() + 5, y, shelf->w() - 30, kHeading);
        box->copy_label(forLabel(text).c_str());
        box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
        box->labelfont(FL_HELVETICA_BOLD);
        y += kHeading;
      };
      heading(s.title + (s.entries.empty() ? ": none yet" : ""));
      for (const pose_library::Entry& e : s.entries) {
        if (e.group != group && !e.group.empty()) heading(s.title + ": " + shownName(e.group));
        group = e.group;
        Tile* tile = new Tile(shelf->x() + 5 + column * kCell, y, e, cache);
        tile->callback([](Fl_Widget* w, void* self) { static_cast<LibraryWindow*>(self)->choose(static_cast<Tile*>(w)); }, this);
        tiles.push_back(tile);
        ownTiles.push_back(s.own);
        if (++column == (shelf->w() - 20) / kCell) column = 0, y += kCell;
      }
      if (column) y += kCell;
    }
    // The scroll ends at its last child: a margin under the last row keeps
    // its names clear of the shelf's sunken edge.
    new Fl_Box(shelf->x(), y, 1, 4);
    shelf->end();
    // The tiles are new: none is chosen, and no pose is previewed from one.
    chosen = nullptr;
    other.reset();
    shelf->redraw();
  }

  // The arrow keys: the next tile that way, brought into sight, is chosen.
  void step(Answer arrow) {
    std::vector<TilePlace> places;
    for (const Tile* t : tiles) places.push_back({t->x(), t->y()});
    const auto at = std::find(tiles.begin(), tiles.end(), chosen);
    const int from = at == tiles.end() ? -1 : static_cast<int>(at - tiles.begin());
    const TileStep way = arrow == Answer::PoseLeft    ? TileStep::Left
                         : arrow == Answer::PoseRight ? TileStep::Right
                         : arrow == Answer::PoseAbove ? TileStep::Up
                                                      : TileStep::Down;
    const int to = tileToward(places, from, way, shelf->y());
    if (to < 0 || to == from) return;
    Tile* next = tiles[static_cast<std::size_t>(to)];
    bringIntoSight(*next);
    choose(next);
  }

  void bringIntoSight(const Tile& tile) {
    constexpr int kMargin = 4;
    const int above = shelf->y() + kMargin - tile.y();
    const int below = tile.y() + tile.h() + kMargin - (shelf->y() + shelf->h());
    const int by = above > 0 ? -above : below > 0 ? below : 0;
    if (by) shelf->scroll_to(shelf->xposition(), std::max(0, shelf->yposition() + by));
  }

  void choose(Tile* tile) {
    for (Tile* t : tiles) t->value(t == tile);
    chosen = tile;
    shelf->redraw();
    const PoseDocument::PoseReading reading = document.readPose(tile->entry.path.string());
    other = reading.refusal.refused ? std::nullopt : std::optional<Pose>(reading.pose);
    if (reading.refusal.refused) {
      say(reading.refusal.words);
      document.dropPreview();
      drawFigure();
      return;
    }
    showChoice();
  }

  ApplyChoice choice() const {
    return {body_part::all()[std::max(0, part->value())], mirrored->value() != 0, amount->value() / 100.0};
  }

  void showChoice() {
    if (!other) return;
    const Outcome previewed = document.previewApply(*other, choice());
    say(previewed.refused ? previewed.words : "");
    drawFigure();
  }

  void say(const std::string& words) { status->copy_label(forLabel(words).c_str()); }

  bool isOwn(const Tile* tile) const {
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      if (tiles[i] == tile) return ownTiles[i];
    }
    return false;
  }

  // The pose as it is, without the preview: the chosen picture lets go.
  void add() {
    document.dropPreview();
    drawFigure();
    const char* typed = fl_input("Name of the pose to add to your poses:", "");
    if (!typed) return;
    const std::string name = typed;
    if (const std::string refusal = pose_library::nameRefusal(name); !refusal.empty()) return say("add: " + refusal);
    const fs::path path = pose_library::pathFor(pose_library::ownFolder(), "", name);
    if (!mayReplace(path)) return;
    const std::string png = thumbnail();
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    const std::string refusal = png.empty() ? "nothing to draw yet" : pose_file::write(path.string(), png);
    cache.forget(path);
    fill();
    say(refusal.empty() ? "added " + shownName(name) : "add: " + shownName(name) + ": " + refusal);
  }

  void rename() {
    if (!chosen || !isOwn(chosen)) return say("rename: choose one of your poses first");
    const pose_library::Entry entry = chosen->entry;
    const char* typed = fl_input("New name of %s:", entry.name.c_str(), forLabel(shownName(entry.name)).c_str());
    if (!typed || typed == entry.name) return;
    const std::string name = typed;
    if (const std::string refusal = pose_library::nameRefusal(name); !refusal.empty()) return say("rename: " + refusal);
    const fs::path path = pose_library::pathFor(pose_library::ownFolder(), entry.group, name);
    if (!mayReplace(path)) return;
    std::error_code error;
    fs::rename(entry.path, path, error);
    cache.forget(entry.path), cache.forget(path);
    dropChoice();
    say(error ? "rename: " + error.message() : "renamed " + shownName(entry.name) + " to " + shownName(name));
  }

  void remove() {
    if (!chosen || !isOwn(chosen)) return say("delete: choose one of your poses first");
    const pose_library::Entry entry = chosen->entry;
    fl_message_title("mannequin");
    if (fl_choice("Delete %s?", "Cancel", operators::labelOf(Answer::DeletePose), nullptr,
                  forLabel(shownName(entry.name)).c_str()) != 1) {
      return;
    }
    std::error_code error;
    // Only the picture listed: whatever another program put in its place stays.
    if (fs::symlink_status(entry.path, error).type() != fs::file_type::regular && !error) {
      dropChoice();
      return say("delete: " + shownName(entry.name) + " is no longer a picture file; nothing deleted");
    }
    fs::remove(entry.path, error);
    cache.forget(entry.path);
    dropChoice();
    say(error ? "delete: " + error.message() : "deleted " + shownName(entry.name));
  }

  void dropChoice() {
    document.dropPreview();
    drawFigure();
    fill();
  }

  bool mayReplace(const fs::path& path) {
    std::error_code error;
    if (!fs::exists(path, error)) return true;
    fl_message_title("mannequin");
    return fl_choice("%s already exists. Replace it?", "Cancel", operators::labelOf(Answer::Replace), nullptr,
                     forLabel(shownName(path.stem().string())).c_str()) == 1;
  }

  void finish(bool keep) {
    kept = keep && chosen && other && document.previewing();
    if (kept) appliedName = chosen->entry.name;
    hide();
  }

  PoseDocument& document;
  std::function<std::string()> thumbnail;
  std::function<void()> drawFigure;
  ThumbnailCache cache;
  Fl_Scroll* shelf;
  Fl_Choice* part;
  Fl_Check_Button* mirrored;
  Fl_Hor_Value_Slider* amount;
  Fl_Box* status;
  std::vector<Tile*> tiles;
  std::vector<bool> ownTiles;
  Tile* chosen = nullptr;
  std::optional<Pose> other;
  StepKeys arrows;
};

}  // namespace

Outcome choosePose(PoseDocument& document, const std::function<std::string()>& thumbnail,
                   const std::function<void()>& shown) {
  LibraryWindow window(document, thumbnail, shown);
  // Beside the main window where the screen has room, so that the figure shows the preview.
  if (const Fl_Window* main = Fl::first_window()) {
    const int right = main->x() + main->w() + 10;
    window.position(right + window.w() <= Fl::w() ? right : std::max(0, Fl::w() - window.w()), main->y());
  }
  window.show();
  window.takeKeys();
  while (window.shown()) Fl::wait();
  if (!window.kept) {
    document.dropPreview();
    shown();
    return Outcome{};
  }
  return document.keepPreview("applied " + shownName(window.appliedName), false);
}
