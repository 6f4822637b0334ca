// An error-box presenter that records every box instead of showing it, so a test can check what
// the player would have been told.
#pragma once
#include <string>
#include <vector>

#include "core/error_box.h"

namespace v4test {

struct RecordedBox {
  std::string text;   // CP932, as the program passes it
  std::string title;  // empty when none was given
};

// Records error dialogs and message boxes alike and answers as the player who goes on would:
// true for an error dialog, 1 (OK) for a message box.
class RecordingBoxes : public ErrorBoxPresenter {
 public:
  bool ShowErrorDialog(const char* text, const char* title) override;
  int ShowMessageBox(const char* text, const char* title) override;
  // Whether a box with this title was shown.
  bool Has(const std::string& title) const;

  std::vector<RecordedBox> boxes;
};

}  // namespace v4test
