#pragma once

class Fl_Window;

// Gives the window the program's icons, as the desktop's menu shows them;
// before the window is shown.
void setWindowIcon(Fl_Window& window);
