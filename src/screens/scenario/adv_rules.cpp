#include "screens/scenario/adv_rules.h"

#include <algorithm>
#include <cstring>

#include "platform/text/cp932.h"

namespace adv {

namespace {
int32_t Clamp9(int32_t v) { return std::clamp(v, 0, 9); }
size_t CharBytes(std::string_view t, size_t i) {
  return plat::IsSjisLead(static_cast<unsigned char>(t[i])) && i + 1 < t.size() && t[i + 1] != '\0' ? 2 : 1;
}
}  // namespace

float RevealMsPerChar(int32_t textSpeed) { return static_cast<float>((9 - Clamp9(textSpeed)) * 7); }

float AutoWaitMs(int32_t autoSpeed, size_t pageBytes) {
  return static_cast<float>(10 - Clamp9(autoSpeed)) * static_cast<float>(pageBytes + 120) * 5.0f;
}

float WindowAlpha(int32_t opacity) { return static_cast<float>(Clamp9(opacity)) * 255.0f / 9.0f; }

int32_t ChoiceLayout(size_t choices) { return static_cast<int32_t>(std::clamp<size_t>(choices, 2, 4)); }

size_t SjisCharCount(std::string_view text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size() && text[i] != '\0'; i += CharBytes(text, i)) ++n;
  return n;
}

size_t SjisPrefixBytes(std::string_view text, size_t n) {
  size_t i = 0;
  for (size_t c = 0; c < n && i < text.size() && text[i] != '\0'; ++c) i += CharBytes(text, i);
  return std::min(i, text.size());
}

void SjisCopy(char* out, size_t size, std::string_view text) {
  if (!out || size == 0) return;
  size_t i = 0;
  while (i < text.size() && text[i] != '\0') {
    const size_t step = CharBytes(text, i);
    if (i + step > size - 1) break;
    i += step;
  }
  std::memcpy(out, text.data(), i);
  out[i] = '\0';
}

void PageReveal::Clear() {
  text_.clear();
  text_.push_back('\0');
  bytes_ = totalChars_ = shownChars_ = shownBytes_ = 0;
  revealTime_ = 0.0f;
}

void PageReveal::Append(std::string_view text) {
  const size_t nul = text.find('\0');
  const size_t n = nul == std::string_view::npos ? text.size() : nul;
  text_.pop_back();
  text_.insert(text_.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
  text_.push_back('\0');
  bytes_ += n;
  totalChars_ = SjisCharCount(std::string_view(text_.data(), bytes_));
}

bool PageReveal::Step(float dtMs, int32_t textSpeed, bool showAll) {
  revealTime_ += dtMs;
  size_t want = totalChars_;
  const float per = RevealMsPerChar(textSpeed);
  if (!showAll && per > 0.0f) {
    const float c = revealTime_ / per;
    want = c >= static_cast<float>(totalChars_) ? totalChars_ : static_cast<size_t>(c);
  }
  if (want <= shownChars_) return false;
  // Walk on from the last shown character only.
  const std::string_view all(text_.data(), bytes_);
  while (shownChars_ < want) {
    shownBytes_ += CharBytes(all, shownBytes_);
    ++shownChars_;
  }
  return true;
}

}  // namespace adv
