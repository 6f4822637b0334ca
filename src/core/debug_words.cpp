#include "core/debug_words.h"

DebugWords& GetDebugWords() {
  static DebugWords words;
  return words;
}
