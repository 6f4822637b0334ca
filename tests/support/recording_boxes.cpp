#include "tests/support/recording_boxes.h"

namespace v4test {

namespace {
RecordedBox Record(const char* text, const char* title) { return {text ? text : "", title ? title : ""}; }
}  // namespace

bool RecordingBoxes::ShowErrorDialog(const char* text, const char* title) {
  boxes.push_back(Record(text, title));
  return true;
}

int RecordingBoxes::ShowMessageBox(const char* text, const char* title) {
  boxes.push_back(Record(text, title));
  return 1;
}

bool RecordingBoxes::Has(const std::string& title) const {
  for (const RecordedBox& b : boxes)
    if (b.title == title) return true;
  return false;
}

}  // namespace v4test
