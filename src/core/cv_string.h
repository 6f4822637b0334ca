// Heap string of the framework: the pointer is null when the string is empty.
#pragma once
#include <cstddef>

class CVString {
 public:
  CVString() = default;
  CVString(const char* text);  // NOLINT: converts like a string literal
  CVString(const CVString& other);
  CVString(CVString&& other) noexcept;
  CVString& operator=(const CVString& other);
  CVString& operator=(CVString&& other) noexcept;
  virtual ~CVString();

  void Free();
  void Clear() { Free(); }
  // The text, null when empty.
  const char* CStr() const { return m_text; }
  size_t Length() const;

  // Copies the text (safe when it points into this string's own buffer); null or "" empties it.
  void Assign(const char* text);
  // An empty argument leaves this string unchanged.
  void AssignString(CVString other);
  // Appends the text; null appends nothing.
  void Append(const char* text);
  void AppendString(CVString other);
  CVString Concat(const CVString& other) const;
  CVString ConcatCStr(const char* text) const;
  // 0 when equal (null and empty count as equal), else 1.
  int NotEquals(const char* text) const;

 private:
  char* m_text = nullptr;
};
