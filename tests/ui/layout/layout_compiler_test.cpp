// The layout compiler: what it refuses (text the reader would silently change), how it normalises
// line ends and encoding, and the stored bytes (scrambled with the common seed).
#include "formats/layout/layout_compiler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/scramble/scramble.h"
#include "ui/layout/cv_script.h"

namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

struct Refusal {
  const char* what;
  std::string text;
  const char* message;  // a piece of the expected message, with its line
};

TEST(LayoutCompiler, RefusesWhatTheReaderWouldMangle) {
  std::string deep;
  for (int i = 0; i < 15; ++i) deep += "{";
  const Refusal cases[] = {
      {"bare element name", "[A]\n{\n:pos\n}\n", "line 3: element \"A/pos\" has no value"},
      {"only blanks and a comment", ":pos   // c\n", "line 1: element \"pos\" has no value"},
      {"blank in a string", ":text \"A B\"\n", "line 1: a string holds a blank"},
      {"comma in a string", ":t 1\n:text \"a,b\"\n", "line 2: a string has no closing quote"},
      {"slashes in a string", ":text \"a//b\"\n", "line 1: a string has no closing quote"},
      {"bytes after a string", ":text \"ab\"c\n", "line 1: bytes after a string"},
      {"level name over 254 bytes", "[" + std::string(255, 'n') + "]\n:a 1\n", "line 1: a name is longer"},
      {"token over 511 bytes", ":a " + std::string(512, '1') + "\n", "line 1: a value is longer"},
      {"nesting beyond 14", deep + "\n:a 1\n", "line 1: nesting deeper"},
      {"Root without /pos", "[Root#0]\n{\n[Window#0]\n{\n:pos 0,0,0\n}\n}\n", "line 1: node \"Root#0\" has no :pos"},
      {"nested Root without /pos", "[Window#0]\n{\n:pos 0,0,0\n[Root#12]\n{\n}\n}\n",
       "line 4: node \"Window#0/Root#12\" has no :pos"},
      {"character outside CP932", U8(u8":text \"\U0001F600\"\n"), "line 1: text that CP932 cannot hold"},
      {"non-ASCII element name", U8(u8":位置 1\n"), "must be ASCII"},
      {"NUL byte", std::string(":a 1\n\0\n", 7), "line 2: NUL byte"},
  };
  for (const Refusal& c : cases) {
    std::vector<uint8_t> out;
    std::vector<std::string> errors;
    EXPECT_FALSE(v4fmt::CompileLayout(c.text, out, errors)) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
    bool found = false;
    for (const std::string& e : errors) found |= e.find(c.message) != std::string::npos;
    EXPECT_TRUE(found) << c.what << ": " << (errors.empty() ? "(no message)" : errors[0]);
  }
}

TEST(LayoutCompiler, NormalisesLineEndsAndEncoding) {
  struct Case {
    const char* what;
    std::string in;
    std::string out;  // plain CP932 text
  };
  const Case cases[] = {
      {"LF", ":a 1\n:b 2\n", ":a 1\r\n:b 2\r\n"},
      {"no final break", ":a 1\n:b 2", ":a 1\r\n:b 2\r\n"},
      {"CR only and CRLF", ":a 1\r:b 2\r\n", ":a 1\r\n:b 2\r\n"},
      {"trailing blank lines", ":a 1\n\n\n\n", ":a 1\r\n"},
      {"byte order mark", "\xEF\xBB\xBF:a 1\n", ":a 1\r\n"},
      {"empty text", "", ""},
      {"Japanese string", U8(u8":text \"デモ画面\"\n"), ":text \"デモ画面\"\r\n"},  // narrow literal: CP932
  };
  for (const Case& c : cases) {
    std::string text;
    std::vector<std::string> errors;
    ASSERT_TRUE(v4fmt::NormalizeLayoutText(c.in, text, errors)) << c.what;
    EXPECT_EQ(text, c.out) << c.what;
    std::vector<uint8_t> stored;
    ASSERT_TRUE(v4fmt::CompileLayout(c.in, stored, errors)) << c.what;
    v4fmt::DescrambleInPlace(stored.data(), stored.size(), v4fmt::kScrambleSeedCommon);
    EXPECT_EQ(std::string(stored.begin(), stored.end()), c.out) << c.what;
  }
}

TEST(LayoutCompiler, StoredBytesAreScrambledWithTheCommonSeed) {
  // "// x" + CRLF under the common stream.
  std::vector<uint8_t> out;
  std::vector<std::string> errors;
  ASSERT_TRUE(v4fmt::CompileLayout("// x", out, errors));
  EXPECT_EQ(out, (std::vector<uint8_t>{0xCF, 0xFC, 0xD0, 0x2D, 0xD4, 0xA8}));
}

TEST(LayoutCompiler, TheMinimalScreenRoundTrips) {
  const std::string text =
      U8(u8R"(// demo screen
[SpriteLocal]
{
:#0 "Data\Image\demo\bg.png",1280,720,1,1
:#1 "Data\Image\demo\btn.png",240,300,1,5
}
[Window#0]
{
:pos 0,0,0
:sprite 0,0,0,-1
[Btn#0]
{
:pos 520,600,0
:id 7,-1
:sprite 0,1,0,-1
:state 0,1,2,3,4
:SE -1,-1,-1,-1,-1
}
[Text#0]
{
:pos 0,40,0
:area 1280,48
:size 32,0,0
:text "デモ画面"
:align 1,1
}
}
)");
  std::vector<uint8_t> stored;
  std::vector<std::string> errors;
  ASSERT_TRUE(v4fmt::CompileLayout(text, stored, errors)) << errors[0];
  v4fmt::DescrambleInPlace(stored.data(), stored.size(), v4fmt::kScrambleSeedCommon);
  CVScript s;
  s.Parse(stored.data(), stored.size());
  EXPECT_EQ(s.Count(), 14u);
  EXPECT_STREQ(GetScriptString(s, "SpriteLocal/#1", 0), "Data\\Image\\demo\\btn.png");
  EXPECT_FLOAT_EQ(GetScriptParam(s, "Window#0/Btn#0/id", 0, 0), 7.0f);
  EXPECT_STREQ(GetScriptString(s, "Window#0/Text#0/text", 0), "デモ画面");
}

}  // namespace
