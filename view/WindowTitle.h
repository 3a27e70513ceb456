#pragma once

#include <string>

class Figure;
class PoseDocument;
class Segment;

// The solver's settings in words: "tolerance 0.01, limits off, uniform weights".
std::string settingsText(const Figure& figure);
// The same, then the posing modes that are on: ", mirror".
std::string settingsText(const PoseDocument& document);

// The main window's title: the name of the file in play, with a * while the
// pose differs from it; the program's name; then what was last said about a
// person's action while it is fresh, or else the settings.
std::string windowTitle(const std::string& settings, const std::string& message, const std::string& file = "",
                        bool modified = false);

// The document's title: its file and settings, the message, and the name of
// the segment under the pointer, if any.
std::string windowTitle(const PoseDocument& document, const std::string& message, const Segment* under);
