// The message window's timing rules and the page reveal, as tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screens/scenario/adv_rules.h"

namespace {

using adv::PageReveal;

TEST(AdvRules, TimingTables) {
  struct {
    int32_t speed;
    float perChar;
  } reveal[] = {{0, 63.0f}, {4, 35.0f}, {8, 7.0f}, {9, 0.0f}, {-3, 63.0f}, {12, 0.0f}};
  for (const auto& r : reveal) EXPECT_FLOAT_EQ(adv::RevealMsPerChar(r.speed), r.perChar) << r.speed;

  struct {
    int32_t speed;
    size_t bytes;
    float ms;
  } autoWait[] = {{5, 40, 4000.0f}, {9, 0, 600.0f}, {0, 80, 10000.0f}, {20, 40, 800.0f}};
  for (const auto& a : autoWait) EXPECT_FLOAT_EQ(adv::AutoWaitMs(a.speed, a.bytes), a.ms) << a.speed;

  EXPECT_FLOAT_EQ(adv::WindowAlpha(9), 255.0f);
  EXPECT_FLOAT_EQ(adv::WindowAlpha(0), 0.0f);
  EXPECT_NEAR(adv::WindowAlpha(3), 85.0f, 1e-3);

  const size_t counts[] = {0, 1, 2, 3, 4, 5, 9};
  const int32_t layouts[] = {2, 2, 2, 3, 4, 4, 4};
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(adv::ChoiceLayout(counts[i]), layouts[i]) << counts[i];
}

TEST(AdvRules, ShiftJisCountsAndCuts) {
  const std::string two = "\x82\xa0\x82\xa2";  // two double-byte characters
  EXPECT_EQ(adv::SjisCharCount(two), 2u);
  EXPECT_EQ(adv::SjisCharCount("ab" + two + "c"), 5u);
  EXPECT_EQ(adv::SjisPrefixBytes("ab" + two, 3), 4u);
  // A lead byte at the very end counts as one character of one byte.
  EXPECT_EQ(adv::SjisCharCount("a\x82"), 2u);

  char out[4];
  adv::SjisCopy(out, sizeof out, "a" + two);  // 3 bytes fit: "a" and one whole character
  EXPECT_EQ(std::string(out), "a\x82\xa0");
  adv::SjisCopy(out, sizeof out, "ab" + two);  // the second character would be split: cut before it
  EXPECT_EQ(std::string(out), "ab");
}

// Line breaks at a width of 4 characters (plain literals are CP932 in the program).
TEST(AdvRules, LineBreaksKeepPunctuationOffTheLineStart) {
  struct Case {
    std::string text;
    size_t maxLines;
    std::vector<std::string> lines;
  } cases[] = {
      {"あいうえおか", 4, {"あいうえ", "おか"}},
      {"あいうえ。か", 4, {"あいうえ。", "か"}},      // the stop hangs on its line
      {"あいうえ」。か", 4, {"あいうえ」。", "か"}},  // a run of closers too
      {"あいう「えお", 4, {"あいう", "「えお"}},      // the bracket goes down
      {"あいうえ、「か", 4, {"あいうえ、", "「か"}},
      {"ab\nあいうえおか", 4, {"ab\n", "あいうえ", "おか"}},      // '\n' ends a line
      {"あいうえおかきくけこ", 2, {"あいうえ", "おかきくけこ"}},  // the last line keeps the rest
      {"", 4, {""}},
  };
  for (const Case& c : cases) {
    const std::vector<size_t> starts = adv::BreakLines(c.text, 4, c.maxLines);
    std::vector<std::string> got;
    for (size_t i = 0; i < starts.size(); ++i)
      got.push_back(c.text.substr(starts[i], (i + 1 < starts.size() ? starts[i + 1] : c.text.size()) - starts[i]));
    EXPECT_EQ(got, c.lines) << c.text;
  }
  EXPECT_EQ(adv::WrapText("あいうえおか", 4, 2), "あいうえ\nおか");
  EXPECT_EQ(adv::WrapText("あいうえおかきくけこ", 4, 2), "あいうえ\nおかきく…") << "cut lines end with an ellipsis";
  EXPECT_EQ(adv::WrapText("あ\nい", 4, 2), "あ\nい");
}

TEST(AdvRules, RevealTable) {
  // Page "あいう" + "abc": 6 characters, 9 bytes.
  struct Case {
    int32_t speed;
    float dt;
    int steps;
    bool showAll;
    size_t shown;
    bool complete;
  } cases[] = {
      {0, 63.0f, 1, false, 1, false},                                 // 63 ms per character
      {0, 62.0f, 1, false, 0, false}, {0, 63.0f, 6, false, 6, true},  // 6 x 63 ms: the whole page
      {9, 0.0f, 1, false, 6, true},                                   // speed 9: at once, even with no time passing
      {4, 35.0f, 3, false, 3, false}, {0, 1.0f, 1, true, 6, true},    // a click shows the rest
  };
  for (const Case& c : cases) {
    PageReveal r;
    r.Append("\x82\xa0\x82\xa2\x82\xa4");
    r.Append("abc");
    EXPECT_EQ(r.TotalChars(), 6u);
    for (int i = 0; i < c.steps; ++i) r.Step(c.dt, c.speed, c.showAll);
    EXPECT_EQ(r.ShownChars(), c.shown) << "speed " << c.speed << " dt " << c.dt;
    EXPECT_EQ(r.Complete(), c.complete) << "speed " << c.speed;
    // The shown bytes never split a double-byte character.
    EXPECT_EQ(r.ShownBytes(), adv::SjisPrefixBytes(r.Text(), c.shown));
  }
}

TEST(AdvRules, RevealKeepsItsBufferFromPageToPage) {
  PageReveal r;
  const std::string page(400, 'x');
  r.Append(page);
  const char* first = r.Text();
  r.Clear();
  r.Append(page);
  EXPECT_EQ(r.Text(), first) << "a page of the same size reuses the buffer";
  EXPECT_EQ(r.Bytes(), 400u);
  // A NUL inside a record ends it.
  r.Clear();
  r.Append(std::string("ab\0cd", 5));
  EXPECT_EQ(r.Bytes(), 2u);
}

}  // namespace
