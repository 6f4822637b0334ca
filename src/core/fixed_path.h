// FixedPath: one zero-terminated CP932 path in a 520-byte buffer, passed by value to the file
// functions. Every operation is bounded: one whose result would not fit leaves the path empty and
// invalid, and the file functions fail on an invalid path instead of using a cut-off name.
// Assign or Clear make it valid again. Separator searches are lead-byte aware.
#pragma once
#include <cstddef>

class FixedPath {
 public:
  static constexpr size_t kCapacity = 520;  // bytes, including the terminator

  FixedPath() { Clear(); }
  // Implicit so that literals and char buffers can be passed where a path is expected.
  FixedPath(const char* text) { Assign(text); }  // NOLINT(google-explicit-constructor)

  void Clear();
  void Assign(const char* text);  // null assigns the empty string
  void Append(const char* text);
  // out := this followed by text.
  void Concat(FixedPath& out, const char* text) const;

  // 1 when equal; 0 for a null string.
  int Equals(const char* text) const;
  // 1 when different; 1 for a null string.
  int NotEquals(const char* text) const;

  size_t Length() const;
  const char* CStr() const { return buf_; }
  bool IsValid() const { return valid_; }

  // Text after the last '.' of the whole path (empty when none).
  void GetExtension(FixedPath& out) const;
  // The path up to its last '\' or '/': with the separator when withoutSeparator is 0, without it
  // otherwise; empty when there is no separator.
  void GetDirectory(FixedPath& out, int withoutSeparator) const;
  // Text after the last '\' or '/' (the whole path when none).
  void GetFileName(FixedPath& out) const;
  // The file name up to its first '.'.
  void GetBaseName(FixedPath& out) const;
  // Removes the first occurrence; nothing when text is absent or not shorter than the path.
  void RemoveSubstring(const char* text);

 private:
  void Invalidate();
  char buf_[kCapacity];
  bool valid_ = true;
};
