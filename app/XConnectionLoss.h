#pragma once

#include <functional>
#include <string>

// The X connection's loss ends the program at once, before the toolkit or
// GL can go on with a dead connection: with one line on standard error and
// status 1, or, once done() says the work is done, silently with its status.
// Xlib finds the loss in its I/O error handler (the toolkit's own exits with
// 1 whatever was done). Mesa's GLX reads some replies through XCB without
// checking them and faults when the connection died before they came, or
// makes up an X error: a segmentation fault or an X error while the server's
// end of the socket is closed is that loss too. Any other fault or error
// takes its course as before.
namespace x_connection_loss {

// From now on, on the toolkit's display (opened here if it is not yet).
void watch(const std::string& line);
// The work is done, or refused and said: a loss from now on ends the
// program with this status and says nothing.
void done(int status);
// The window's program: keep runs once before the toolkit's own end at
// the connection's loss (the pose, a drag under way included); an empty
// one, once what it kept is gone, keeps nothing.
void keepBeforeLoss(std::function<void()> keep);

}  // namespace x_connection_loss
