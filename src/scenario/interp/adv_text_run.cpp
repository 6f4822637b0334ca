#include "scenario/interp/adv_text_run.h"

#include "core/app_state.h"
#include "core/error_box.h"
#include "formats/script/script_set_layout.h"
#include "platform/text/cp932.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/interp/adv_step.h"
#include "scenario/script/adv_script.h"

namespace {

// Error boxes of a text run become lines of the result.
class CollectingBoxes : public ErrorBoxPresenter {
 public:
  explicit CollectingBoxes(std::vector<std::string>& out) : out_(out) {}
  bool ShowErrorDialog(const char* text, const char* title) override {
    Add(text, title);
    return true;
  }
  int ShowMessageBox(const char* text, const char* title) override {
    Add(text, title);
    return 1;
  }

 private:
  void Add(const char* text, const char* title) {
    std::string line = plat::Cp932ToUtf8(title ? title : "") + ": " + plat::Cp932ToUtf8(text ? text : "");
    for (char& c : line)
      if (c == '\n') c = ' ';
    out_.push_back(line);
  }
  std::vector<std::string>& out_;
};

}  // namespace

bool AdvTextPresenter::SetMessage(int32_t readId, const char* speaker,
                                  const std::vector<v4fmt::ScriptTextRecord>& records, bool newPage) {
  std::string text;
  for (const v4fmt::ScriptTextRecord& r : records) text += r.text;
  if (newPage) text_.clear();
  text_ += text;
  speaker_ = speaker ? speaker : "";
  finished_ = records.empty() || records.back().d < 0;
  ++messages;
  if (recordLines) lines.push_back(plat::Cp932ToUtf8(speaker_) + ": " + plat::Cp932ToUtf8(text));
  return true;
}

bool AdvTextPresenter::TakeFinishedMessage(std::string& speaker, std::string& text) {
  if (!finished_) return false;
  finished_ = false;
  speaker = speaker_;
  text = text_;
  return true;
}

bool AdvTextPresenter::SetChoices(const std::vector<AdvChoice>& choices) {
  ++choiceCount;
  std::string line = "choice: ";
  for (size_t i = 0; i < choices.size(); ++i) {
    if (i) line += " | ";
    line += plat::Cp932ToUtf8(choices[i].text);
  }
  if (recordLines) lines.push_back(line);
  size_t pick = 0;
  if (nextAnswer_ < answers_.size()) {
    int a = answers_[nextAnswer_++];
    if (a >= 1 && static_cast<size_t>(a) <= choices.size()) pick = static_cast<size_t>(a - 1);
  }
  chosen_ = choices.empty() ? 0 : choices[pick].label;
  return true;
}

TextRunResult RunScriptAsText(const TextRunOptions& options) {
  TextRunResult result;
  CollectingBoxes boxes(result.errors);
  SetErrorBoxPresenter(&boxes);
  AdvTextPresenter presenter(options.choices);
  presenter.KeepFastForward(options.fastForward);
  AdvPresenter* previous = GetAdvPresenter();
  SetAdvPresenter(&presenter);
  ClearScriptFault();
  g_QuitRequested.store(false);

  AdvScript& s = GetAdvScript();
  if (options.set == 0) {
    StartAdvScript(0);
  } else {
    s.LoadScriptFiles(1);
    GameMode = game_mode::kOtherScript;
    s.SetPc(0);
    s.waitRemaining = 0;
    s.waitJumpLabel = -1;
  }
  if (!s.loaded || s.setNumber != options.set || s.bytecodeSize == 0) {
    result.stop = TextRunStop::kNoSet;
    result.errors.push_back("the script set is missing or empty");
  } else {
    for (const auto& [sw, value] : options.switches)
      if (sw < v4fmt::kSwitchCount) s.switches[sw] = value;
    const int32_t mode = GameMode;
    uint32_t stalls = 0;
    for (; result.frames < options.maxFrames; ++result.frames) {
      s.waitRemaining = 0;  // waits pass at once
      uint32_t budget = kAdvStepBudget;
      bool more = RunScript(s, &budget);
      if (!GetScriptFault().empty()) {
        result.stop = TextRunStop::kFault;
        break;
      }
      if (!more) {
        result.stop = TextRunStop::kEnd;
        break;
      }
      if (g_QuitRequested.load()) {
        result.stop = TextRunStop::kExit;
        break;
      }
      if (GameMode != mode) {
        result.stop = GameMode == game_mode::kSlg            ? TextRunStop::kSlgMode
                      : GameMode == game_mode::kIdle         ? TextRunStop::kMainMenu
                      : GameMode == game_mode::kPairedEnding ? TextRunStop::kPairEnding
                      : GameMode == game_mode::kEventEnded   ? TextRunStop::kEventEnd
                                                             : TextRunStop::kNoStop;
        break;
      }
      // A script that keeps running out of its instruction budget never stops by itself.
      if (ScriptBudgetExhausted() && ++stalls > 20) break;
    }
    if (result.stop == TextRunStop::kNoStop) result.errors.push_back("the script did not stop");
  }
  g_QuitRequested.store(false);
  result.lines = std::move(presenter.lines);
  result.messages = presenter.messages;
  result.choices = presenter.choiceCount;
  SetAdvPresenter(previous);
  SetErrorBoxPresenter(nullptr);
  return result;
}

const char* DescribeTextRunStop(TextRunStop stop) {
  switch (stop) {
    case TextRunStop::kEnd:
      return "#End";
    case TextRunStop::kMainMenu:
      return "#MainMenu (back to the title)";
    case TextRunStop::kSlgMode:
      return "#SLGmode (hand-over to the strategy game)";
    case TextRunStop::kPairEnding:
      return "#PairEnding";
    case TextRunStop::kEventEnd:
      return "#EventEnd";
    case TextRunStop::kExit:
      return "#EXIT";
    case TextRunStop::kFault:
      return "bytecode fault";
    case TextRunStop::kNoSet:
      return "no script set";
    default:
      return "did not stop";
  }
}
