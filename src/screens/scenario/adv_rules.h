// The message window's timing rules as plain functions, and the page reveal counter: which part
// of a page of Shift-JIS text shows after a given time at a text speed. The reveal keeps its
// buffers between pages, so revealing a page allocates nothing once the first page of that size
// has been shown.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace adv {

// Milliseconds per character at a text speed 0..9 ((9 - speed) x 7; out-of-range speeds clamped).
float RevealMsPerChar(int32_t textSpeed);
// Milliseconds auto mode waits on a page of pageBytes bytes: (10 - speed) x (bytes + 120) x 5.
float AutoWaitMs(int32_t autoSpeed, size_t pageBytes);
// Alpha of the window frame for an opacity setting 0..9: opacity x 255 / 9.
float WindowAlpha(int32_t opacity);
// The choice-panel layout animation for a number of choices: clamped to 2..4.
int32_t ChoiceLayout(size_t choices);
// Characters in a Shift-JIS text (a lead byte and its trail byte count as one).
size_t SjisCharCount(std::string_view text);
// Bytes of the first n characters of text.
size_t SjisPrefixBytes(std::string_view text, size_t n);
// Copies text into out[size] cut at a character boundary, always terminated.
void SjisCopy(char* out, size_t size, std::string_view text);

// Line starts (byte offsets) of a Shift-JIS text broken at line feeds and every lineChars
// characters, at most maxLines lines; the line after a '\n' starts after it. Closing punctuation
// ("。", "、", "」", "）", "』", "！", "？") never starts a line: it stays on the line before, one
// past the width. An opening bracket ("「", "（", "『") never ends a line: it moves to the next.
std::vector<size_t> BreakLines(std::string_view text, size_t lineChars, size_t maxLines);
// The text with a '\n' at every break of BreakLines; a text with more lines than maxLines ends
// its last line with "…".
std::string WrapText(std::string_view text, size_t lineChars, size_t maxLines);

// One page being revealed: the page text (records appended), the time since it began and the
// number of characters shown.
class PageReveal {
 public:
  // Starts an empty page (keeps its capacity).
  void Clear();
  void Append(std::string_view text);
  // Advances by dt ms at the text speed; showAll shows everything. True when the shown count
  // changed.
  bool Step(float dtMs, int32_t textSpeed, bool showAll);
  bool Complete() const { return shownChars_ >= totalChars_; }
  size_t ShownChars() const { return shownChars_; }
  size_t TotalChars() const { return totalChars_; }
  size_t ShownBytes() const { return shownBytes_; }
  // The whole page (NUL-terminated) and its shown prefix.
  const char* Text() const { return text_.data(); }
  size_t Bytes() const { return bytes_; }
  std::string_view Shown() const { return std::string_view(text_.data(), shownBytes_); }

 private:
  std::vector<char> text_ = std::vector<char>(1, '\0');
  size_t bytes_ = 0;
  size_t totalChars_ = 0;
  size_t shownChars_ = 0;
  size_t shownBytes_ = 0;
  float revealTime_ = 0.0f;
};

}  // namespace adv
