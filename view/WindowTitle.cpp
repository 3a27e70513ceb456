#include "view/WindowTitle.h"

#include <charconv>

#include "document/PoseDocument.h"
#include "figure/Figure.h"

std::string settingsText(const Figure& figure) {
  // Fixed notation: 0.0001, not 1e-04.
  char tolerance[32];
  const char* end = std::to_chars(tolerance, tolerance + sizeof tolerance, figure.tolerance, std::chars_format::fixed).ptr;
  return "tolerance " + std::string(tolerance, static_cast<std::size_t>(end - tolerance)) + (figure.limitsEnabled ? ", limits on" : ", limits off") +
         (figure.limbWeights ? ", limb weights" : ", uniform weights");
}

std::string settingsText(const PoseDocument& document) {
  return settingsText(document.figure()) + (document.firmPins() ? ", firm pins" : "") +
         (document.mirrored() ? ", mirror" : "");
}

std::string windowTitle(const std::string& settings, const std::string& message, const std::string& file,
                        bool modified) {
  const std::string name = file.empty() ? "" : file + (modified ? "* - " : " - ");
  return name + "mannequin - " + (message.empty() ? settings : message);
}

std::string windowTitle(const PoseDocument& document, const std::string& message, const Segment* under) {
  const bool modified = document.modified();
  const std::string file = document.path().empty() && !modified ? "" : document.shownFileName();
  const std::string title = windowTitle(settingsText(document), message, file, modified);
  return under ? title + " - " + under->name : title;
}
