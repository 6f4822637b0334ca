// The layout compiler: turns an author's UTF-8 layout text into the stored file. It converts to
// CP932, writes every line end as CRLF and ends the file with one, refuses text that the reader
// would silently change, and scrambles with the common seed.
//
// Refused (one message per finding, "line N: ..."):
// - text that does not convert to CP932, or holds a NUL byte;
// - an element name with no value on its line (":pos" alone);
// - a string holding a blank, a comma or "//", a string without its closing quote, or bytes
//   after the closing quote;
// - a level name, joined name or value token over the format's limits, nesting beyond depth 14;
// - names (bracket and element names) with bytes outside ASCII (a trail byte could act as a
//   bracket or brace);
// - a [Root#n] node without its "/pos" element (it would build nothing).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace v4fmt {

// The CP932 text with CRLF line ends (no scrambling). False with messages on refusal.
bool NormalizeLayoutText(std::string_view utf8, std::string& cp932, std::vector<std::string>& errors);
// Checks CP932 layout text against the reader; false with messages when anything is refused.
bool CheckLayoutText(const std::string& cp932, std::vector<std::string>& errors);
// Normalize, check and scramble: the bytes of the stored file.
bool CompileLayout(std::string_view utf8, std::vector<uint8_t>& out, std::vector<std::string>& errors);

}  // namespace v4fmt
