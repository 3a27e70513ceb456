#pragma once

#include <cstddef>
#include <functional>
#include <string>

// What the clipboard held: its first bytes, as many as were asked to be kept,
// and how many bytes it held in all.
struct ClipboardText {
  std::string head;
  std::size_t size = 0;
  // Set when the clipboard's owner stopped answering before the text was whole.
  bool broken = false;
};

// Reads the X clipboard's text without the toolkit, whose own transfer
// breaks on texts sent in chunks (from 1 MiB on): the chunks are counted, the
// first `keep` bytes kept and the rest let go, so that a text of any size
// arrives safely. The answer comes later, from the event loop, to `deliver`.
class ClipboardTransfer {
 public:
  ClipboardTransfer(std::size_t keep, std::function<void(const ClipboardText&)> deliver);
  ~ClipboardTransfer();
  ClipboardTransfer(const ClipboardTransfer&) = delete;
  ClipboardTransfer& operator=(const ClipboardTransfer&) = delete;

  // Asks the clipboard's owner for its text; does nothing while an answer is awaited.
  void request();
  bool waiting() const { return stage != Stage::Idle; }

 private:
  enum class Stage { Idle, Asked, AskedForLatin1, Chunks };

  static int handleEvent(void* event, void* transfer);
  static void giveUp(void* transfer);
  bool handle(const void* event);
  void ask(unsigned long target, Stage next);
  void answered(unsigned long answer);
  void chunk();
  void finish();
  void restartTimer();

  const std::size_t keep;
  std::function<void(const ClipboardText&)> deliver;
  unsigned long window = 0;    // an unmapped window of our own that receives the text
  unsigned long property = 0;  // where the owner puts the text on it
  unsigned long incremental = 0;  // the type that says the text comes in chunks
  Stage stage = Stage::Idle;
  ClipboardText text;
};
