#pragma once

#include <string>

enum class FileDialog { OpenPose, SavePose, SavePicture, OpenReference };

// Asks for a file with the desktop's own dialog where it has one (GTK), or
// else the toolkit's; empty when the person cancels. suggested, when given,
// is where the dialog starts and the name it offers; filter, when given,
// receives the position of the file type chosen in it (0 for the first).
std::string chooseFile(FileDialog kind, const std::string& suggested, int* filter = nullptr);
