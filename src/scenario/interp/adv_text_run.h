// Runs a built script set through the real interpreter with a text presenter: every message
// becomes one line "name: text" (UTF-8), every choice "choice: a | b | ...", choices are answered
// from a list (then the first option), and waits pass at once. Used by `v4data script run`, the
// tests and the benchmarks; the module directory must name the game folder.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "scenario/adv_presenter.h"

enum class TextRunStop { kEnd, kMainMenu, kSlgMode, kPairEnding, kEventEnd, kExit, kFault, kNoSet, kNoStop };

struct TextRunOptions {
  int set = 0;                                         // 0 main story, 1 tutorial
  std::vector<std::pair<uint32_t, int32_t>> switches;  // set after the start
  std::vector<int> choices;                            // 1-based answers, in order
  uint32_t maxFrames = 100000;                         // frames before giving up
  bool fastForward = false;                            // run with the scene in fast-forward
};

struct TextRunResult {
  TextRunStop stop = TextRunStop::kNoStop;
  std::vector<std::string> lines;   // messages and choices, UTF-8
  std::vector<std::string> errors;  // error boxes shown and faults, UTF-8
  uint32_t frames = 0;              // interpreter calls made
  uint32_t messages = 0;
  uint32_t choices = 0;
};

// The presenter of a text run: records the lines and answers choices.
class AdvTextPresenter : public AdvPresenter {
 public:
  explicit AdvTextPresenter(std::vector<int> answers) : answers_(std::move(answers)) {}
  bool IsFastForward() const override { return fastForward_; }
  void SetFastForward(bool on) override { fastForward_ = on && keepFastForward_; }
  void KeepFastForward(bool on) {
    keepFastForward_ = on;
    fastForward_ = on;
  }
  bool SetMessage(int32_t readId, const char* speaker, const std::vector<v4fmt::ScriptTextRecord>& records,
                  bool newPage) override;
  bool TakeFinishedMessage(std::string& speaker, std::string& text) override;
  bool SetChoices(const std::vector<AdvChoice>& choices) override;
  int32_t GetChosenLabel() const override { return chosen_; }

  std::vector<std::string> lines;
  uint32_t messages = 0;
  uint32_t choiceCount = 0;
  bool recordLines = true;

 private:
  std::vector<int> answers_;
  size_t nextAnswer_ = 0;
  int32_t chosen_ = 0;
  std::string speaker_, text_;
  bool finished_ = false;
  bool fastForward_ = false;
  bool keepFastForward_ = false;
};

TextRunResult RunScriptAsText(const TextRunOptions& options);
const char* DescribeTextRunStop(TextRunStop stop);
