#include "core/cv_string.h"

#include <cstring>
#include <utility>

namespace {

// A zero-filled buffer of len + 1 bytes holding the first len bytes of text.
char* CopyText(const char* text, size_t len) {
  char* buffer = new char[len + 1]();
  std::memcpy(buffer, text, len);
  return buffer;
}

}  // namespace

CVString::CVString(const char* text) { Assign(text); }

CVString::CVString(const CVString& other) { Assign(other.m_text); }

CVString::CVString(CVString&& other) noexcept : m_text(std::exchange(other.m_text, nullptr)) {}

CVString& CVString::operator=(const CVString& other) {
  if (this != &other) {
    if (other.m_text == nullptr) {
      Free();
    } else {
      Assign(other.m_text);
    }
  }
  return *this;
}

CVString& CVString::operator=(CVString&& other) noexcept {
  if (this != &other) {
    Free();
    m_text = std::exchange(other.m_text, nullptr);
  }
  return *this;
}

CVString::~CVString() { Free(); }

void CVString::Free() {
  delete[] m_text;
  m_text = nullptr;
}

size_t CVString::Length() const { return m_text ? std::strlen(m_text) : 0; }

void CVString::Assign(const char* text) {
  if (text == m_text) return;
  if (text == nullptr || *text == '\0') {  // empty is stored as null
    Free();
    return;
  }
  // Copy before freeing: the text may lie inside our own buffer.
  char* copy = CopyText(text, std::strlen(text));
  Free();
  m_text = copy;
}

void CVString::AssignString(CVString other) {
  if (other.m_text == nullptr) return;
  Assign(other.m_text);
}

void CVString::Append(const char* text) {
  if (m_text == nullptr) {
    Assign(text);
    return;
  }
  if (text == nullptr) return;
  const size_t ownLen = std::strlen(m_text);
  const size_t addLen = std::strlen(text);
  char* joined = new char[ownLen + addLen + 1]();
  std::memcpy(joined, m_text, ownLen);
  std::memcpy(joined + ownLen, text, addLen);
  Free();
  m_text = joined;
}

void CVString::AppendString(CVString other) { Append(other.m_text); }

CVString CVString::Concat(const CVString& other) const { return ConcatCStr(other.m_text); }

CVString CVString::ConcatCStr(const char* text) const {
  CVString result(*this);
  result.Append(text);
  return result;
}

int CVString::NotEquals(const char* text) const {
  const char* a = m_text ? m_text : "";
  const char* b = text ? text : "";
  return std::strcmp(a, b) == 0 ? 0 : 1;
}
