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

// The two-byte character at i is one of a list (CP932 pairs).
bool IsOneOf(std::string_view t, size_t i, const char* const* list) {
  if (CharBytes(t, i) != 2) return false;
  for (; *list; ++list)
    if (t.compare(i, 2, *list) == 0) return true;
  return false;
}

const char* const kNoLineStart[] = {"。", "、", "」", "）", "』", "！", "？", nullptr};
const char* const kNoLineEnd[] = {"「", "（", "『", nullptr};
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

std::vector<size_t> BreakLines(std::string_view text, size_t lineChars, size_t maxLines) {
  std::vector<size_t> starts{0};
  if (lineChars == 0 || maxLines == 0) return starts;
  const size_t end = std::min(text.size(), text.find('\0'));
  size_t i = 0, chars = 0, prev = 0;  // prev: the offset of the line's last character
  while (i < end) {
    if (text[i] == '\n') {
      ++i;
      chars = 0;
      if (i < end) {
        if (starts.size() >= maxLines) break;
        starts.push_back(i);
      }
      continue;
    }
    if (chars >= lineChars && !IsOneOf(text, i, kNoLineStart)) {
      if (starts.size() >= maxLines) break;
      // An opening bracket at the end of the full line goes down with what follows it.
      const bool carry = chars > 1 && IsOneOf(text, prev, kNoLineEnd);
      starts.push_back(carry ? prev : i);
      chars = carry ? 1 : 0;
    }
    prev = i;
    i += CharBytes(text, i);
    ++chars;
  }
  return starts;
}

std::string WrapText(std::string_view text, size_t lineChars, size_t maxLines) {
  const size_t end = std::min(text.size(), text.find('\0'));
  const std::vector<size_t> starts = BreakLines(text.substr(0, end), lineChars, maxLines + 1);
  std::string out;
  const size_t lines = std::min(starts.size(), maxLines);
  for (size_t l = 0; l < lines; ++l) {
    size_t from = starts[l], to = l + 1 < starts.size() ? starts[l + 1] : end;
    while (to > from && text[to - 1] == '\n') --to;
    if (l) out += '\n';
    out.append(text.substr(from, to - from));
  }
  if (starts.size() > maxLines) out += "…";
  return out;
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
