// The layout-script reader against the grammar: value lists, names, nesting, limits, lookups.
#include "ui/layout/cv_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/scramble/scramble.h"

namespace {

CVScript ParseText(const std::string& text) {
  CVScript s;
  s.Parse(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  return s;
}

struct Num {
  float value;
  int type;
};

struct ValueCase {
  const char* valueList;  // written after ":e " and followed by CRLF
  std::vector<Num> numbers;
  std::vector<std::string> strings;
};

// Each case is the value list of one element line, from the grammar's own list.
const ValueCase kValueCases[] = {
    {"1,2,", {{1, 0}, {2, 0}, {0, 0}}, {}},
    {"1,// c", {{1, 0}, {0, 0}}, {}},
    {"1 // c", {{1, 0}}, {}},
    {"1 2", {{12, 0}}, {}},
    {"\"A B\"", {}, {"AB"}},
    {"\"a,b\"", {{0, 0}}, {"a"}},
    {"\"open", {}, {"open"}},
    {"\"x\"tail", {}, {"x"}},
    {"%", {{0, 1}}, {}},
    {"%2, -3.5", {{2, 1}, {-3.5f, 0}}, {}},
    {"1,2}", {{1, 0}, {2, 0}}, {}},
    {"\"a.tig\",3,\"b\",4", {{3, 0}, {4, 0}}, {"a.tig", "b"}},
    // The scanner: longest prefix, '.' separator only, hex/inf/nan read as 0.
    {"1.5e2,.5,5.,-.25,+7,1e,1e+,2x9", {{150, 0}, {0.5f, 0}, {5, 0}, {-0.25f, 0}, {7, 0}, {1, 0}, {1, 0}, {2, 0}}, {}},
    {"0x10,inf,nan,.,-,1,5", {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {1, 0}, {5, 0}}, {}},
    {"0.1,3.4028234e38,1e-50", {{0.1f, 0}, {3.4028234e38f, 0}, {0, 0}}, {}},
    // Shift-JIS text is not special inside value lists ("表" has the trail byte 0x5C).
    {"\"\x95\x5C\x8E\xA6\"", {}, {"\x95\x5C\x8E\xA6"}},
};

TEST(CVScript, ValueListsFollowTheGrammar) {
  for (const ValueCase& c : kValueCases) {
    SCOPED_TRACE(c.valueList);
    CVScript s = ParseText(std::string(":e ") + c.valueList + "\r\n");
    ASSERT_EQ(s.Count(), 1u);
    const CVScriptElement* e = FindScriptElement(s, "e");
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->ParamCount(), c.numbers.size());
    for (size_t i = 0; i < c.numbers.size(); ++i) {
      uint8_t type = 9, found = 9;
      EXPECT_FLOAT_EQ(e->GetParam(static_cast<int>(i), -99.0f, &type, &found), c.numbers[i].value) << i;
      EXPECT_EQ(type, c.numbers[i].type) << i;
      EXPECT_EQ(found, 1);
    }
    ASSERT_EQ(e->StringCount(), c.strings.size());
    for (size_t i = 0; i < c.strings.size(); ++i) EXPECT_STREQ(e->GetString(static_cast<int>(i)), c.strings[i].c_str());
  }
}

struct NameCase {
  const char* what;
  std::string text;
  std::vector<std::string> names;  // elements in order
};

const NameCase kNameCases[] = {
    {"nesting joins names",
     "[Root#0]\n{\n [Window#0]\n {\n  :pos 100, 200, 0 // position\n  :sprite 1, 3\n }\n}\n"
     "[SpriteGlobal]\n{\n :#3 \"map_mask.tig\", 256, 64, 1, 2\n}\n",
     {"Root#0/Window#0/pos", "Root#0/Window#0/sprite", "SpriteGlobal/#3"}},
    {"bracket names keep blanks", "[A B]\n{\n:x 1\n}\n", {"A B/x"}},
    {"closing brace at depth 0 ignored", "}\n[A]\n{\n:x 1\n}\n}\n:y 2\n", {"A/x", "y"}},
    {"name takes a slash pair", ":pos// c 1\r\n", {"pos//"}},
    {"last line without a break is lost", ":a 1\r\n:b 2", {"a"}},
    {"NUL ends the scan like a line end", std::string(":a 1\0:b 2\r\n", 11), {"a"}},
    {"element without brackets above is under an empty name", "{\n:x 1\n}\n", {"/x"}},
    {"comments outside", "// [X]\n:a 1 // :b 2\n", {"a"}},
};

TEST(CVScript, NamesAndNesting) {
  for (const NameCase& c : kNameCases) {
    SCOPED_TRACE(c.what);
    CVScript s = ParseText(c.text);
    std::vector<std::string> got;
    for (const CVScriptElement& e : s.Elements()) got.push_back(e.GetName());
    EXPECT_EQ(got, c.names);
  }
}

TEST(CVScript, BareNameWithCrLfAndWithLf) {
  // CRLF: the CR ends the name, the LF an empty token: one number 0.
  CVScript crlf = ParseText(":pos\r\n:next 5\r\n");
  ASSERT_NE(FindScriptElement(crlf, "pos"), nullptr);
  EXPECT_EQ(FindScriptElement(crlf, "pos")->ParamCount(), 1u);
  EXPECT_FLOAT_EQ(GetScriptParam(crlf, "next", 0, -1), 5.0f);
  // LF: the name swallows the next line as its values.
  CVScript lf = ParseText(":pos\n:next 5\n");
  ASSERT_EQ(lf.Count(), 1u);
  EXPECT_FLOAT_EQ(GetScriptParam(lf, "pos", 0, -1), 0.0f);  // token ":next5" is not a number
  EXPECT_EQ(FindScriptElement(lf, "next"), nullptr);
}

TEST(CVScript, DepthIsClampedAt14) {
  std::string text;
  for (int i = 0; i < 16; ++i) text += "[L" + std::to_string(i) + "]{";
  text += "\n:x 1\n";
  CVScript s = ParseText(text);
  ASSERT_EQ(s.Count(), 1u);
  // Depths 0..14 exist; the names of the two extra levels replaced depth 14's name.
  std::string expect;
  for (int i = 0; i < 14; ++i) expect += "L" + std::to_string(i) + "/";
  expect += "x";
  EXPECT_EQ(s.Elements()[0].GetName(), expect);
  EXPECT_TRUE(s.Truncated());
}

TEST(CVScript, OverLongNamesAndTokensAreCutAtTheLimits) {
  const std::string longName(600, 'n');
  const std::string longToken(2000, '7');
  CVScript s = ParseText("[" + longName + "]\n{\n:v " + longToken + ",\"" + std::string(900, 's') + "\"\n}\n");
  ASSERT_EQ(s.Count(), 1u);
  EXPECT_TRUE(s.Truncated());
  const CVScriptElement& e = s.Elements()[0];
  EXPECT_EQ(e.GetName(), std::string(254, 'n') + "/v");
  ASSERT_EQ(e.ParamCount(), 1u);
  EXPECT_TRUE(e.GetParam(0, 0) > 1e30f);  // 511 digits: an overflowing number, not a crash
  ASSERT_EQ(e.StringCount(), 1u);
  EXPECT_EQ(std::string(e.GetString(0)), std::string(510, 's'));  // the token keeps 511 bytes

  // A joined name over 511 bytes is cut too.
  std::string deep;
  for (int i = 0; i < 5; ++i) deep += "[" + std::string(200, 'a' + i) + "]{";
  CVScript d = ParseText(deep + "\n:x 1\n");
  ASSERT_EQ(d.Count(), 1u);
  EXPECT_EQ(d.Elements()[0].GetName().size(), 511u);

  CVScript ok = ParseText(":a 1\n");
  EXPECT_FALSE(ok.Truncated());
}

TEST(CVScript, LookupsSeeTheFirstElementAndReportMissingValues) {
  CVScript s = ParseText(":a 1,%2,\"s\"\r\n:a 9\r\n");
  EXPECT_EQ(s.Count(), 2u);
  EXPECT_FLOAT_EQ(GetScriptParam(s, "a", 0, -1), 1.0f);
  uint8_t type = 7, found = 7;
  EXPECT_FLOAT_EQ(GetScriptParam(s, "a", 1, -1, &type, &found), 2.0f);
  EXPECT_EQ(type, 1);
  EXPECT_EQ(found, 1);
  // Missing index and missing element: default, found 0, type untouched.
  type = 7;
  EXPECT_FLOAT_EQ(GetScriptParam(s, "a", 2, -4.0f, &type, &found), -4.0f);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(type, 7);
  found = 5;
  EXPECT_FLOAT_EQ(GetScriptParam(s, "zz", 0, 3.0f, &type, &found), 3.0f);
  EXPECT_EQ(found, 0);
  EXPECT_STREQ(GetScriptString(s, "a", 0), "s");
  EXPECT_EQ(GetScriptString(s, "a", 1), nullptr);
  EXPECT_EQ(GetScriptString(s, "zz", 0), nullptr);
  EXPECT_EQ(s.Parse(nullptr, 4), 0);
}

TEST(CVScript, LoadDescramblesAndKeepsElementsOnFailure) {
  // "// x\r\n" scrambled with the common seed, from the stream's first bytes.
  const uint8_t scrambledComment[] = {0xCF, 0xFC, 0xD0, 0x2D, 0xD4, 0xA8};
  std::vector<uint8_t> plain(scrambledComment, scrambledComment + 6);
  v4fmt::DescrambleInPlace(plain.data(), plain.size(), v4fmt::kScrambleSeedCommon);
  EXPECT_EQ(std::string(plain.begin(), plain.end()), "// x\r\n");

  CVScript s = ParseText(":keep 1\n");
  EXPECT_FALSE(s.Load("no\\such\\layout_file.lay"));
  EXPECT_EQ(s.Count(), 1u);
}

}  // namespace
