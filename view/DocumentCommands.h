#pragma once

#include <functional>

#include "document/Outcome.h"
#include "view/Command.h"

class FileCommands;
class PoseDocument;

// The commands on the document as a whole: its files (open, save, save as,
// a new pose once the changes not saved are settled), its history (undo,
// redo, reset) and a copy to the clipboard. What came of each goes to
// report. False for any other command.
bool runDocumentCommand(Command command, PoseDocument& document, FileCommands& files,
                        const std::function<void(const Outcome&)>& report);
