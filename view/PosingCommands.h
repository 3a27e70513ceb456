#pragma once

#include <string>

#include "view/Command.h"

class PoseDocument;
class PointerGestures;
class Segment;

// The posing modes' commands: firm pins, mirror mode, and turning the
// segment under the pointer (at x, y), kept by Enter and put back by Escape
// while a turn is under way. False for any other command, and for Escape
// with no turn under way; words, when the title should say something.
bool runPosingCommand(Command command, PoseDocument& document, PointerGestures& pointer, const Segment* under,
                      int x, int y, std::string& words);
