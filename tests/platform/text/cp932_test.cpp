// Narrow literals are compiled to CP932, and the converters agree with the code page's table.
#include "platform/text/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct LiteralCase {
  const char* literal;              // compiled with the program's execution charset
  const char* utf8;                 // the same text as UTF-8
  std::vector<unsigned char> sjis;  // bytes from the CP932 code table
};

const LiteralCase kLiterals[] = {
    {"終了", reinterpret_cast<const char*>(u8"終了"), {0x8F, 0x49, 0x97, 0xB9}},
    {"終了しますか？",
     reinterpret_cast<const char*>(u8"終了しますか？"),
     {0x8F, 0x49, 0x97, 0xB9, 0x82, 0xB5, 0x82, 0xDC, 0x82, 0xB7, 0x82, 0xA9, 0x81, 0x48}},
    // Trail bytes that look like '\' and 'A'.
    {"表ソ", reinterpret_cast<const char*>(u8"表ソ"), {0x95, 0x5C, 0x83, 0x5C}},
    {"アヂ", reinterpret_cast<const char*>(u8"アヂ"), {0x83, 0x41, 0x83, 0x61}},
    {"a\\b", "a\\b", {'a', 0x5C, 'b'}},
};

TEST(Cp932Literal, CompilesToCodePageBytesAndConvertsBothWays) {
  for (const LiteralCase& c : kLiterals) {
    std::string expected(c.sjis.begin(), c.sjis.end());
    EXPECT_EQ(std::string(c.literal), expected) << c.utf8;
    EXPECT_EQ(plat::Cp932ToUtf8(expected), c.utf8);
    EXPECT_EQ(plat::Utf8ToCp932(c.utf8), expected);
    std::string strict;
    EXPECT_TRUE(plat::Cp932ToUtf8Strict(expected, strict));
    EXPECT_EQ(strict, c.utf8);
  }
}

TEST(Cp932Literal, StrictConversionRejectsBrokenInput) {
  std::string out;
  EXPECT_FALSE(plat::Cp932ToUtf8Strict(std::string("\x8F", 1), out));  // lead byte without trail
  EXPECT_FALSE(plat::Utf8ToCp932Strict("\xF0\x9F\x98\x80", out));      // not in the code page
}

TEST(Cp932Literal, LeadByteRanges) {
  struct {
    unsigned char byte;
    bool lead;
  } const cases[] = {{0x40, false}, {0x5C, false}, {0x80, false}, {0x81, true},  {0x9F, true}, {0xA0, false},
                     {0xDF, false}, {0xE0, true},  {0xFC, true},  {0xFD, false}, {0xFF, false}};
  for (const auto& c : cases) EXPECT_EQ(plat::IsSjisLead(c.byte), c.lead) << int(c.byte);
}

}  // namespace
