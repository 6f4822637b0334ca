#include "core/cv_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace {

TEST(CVStringTest, EmptyIsNull) {
  CVString s;
  EXPECT_EQ(s.CStr(), nullptr);
  EXPECT_EQ(s.Length(), 0u);
  for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
    CVString t("abc");
    t.Assign(empty);
    EXPECT_EQ(t.CStr(), nullptr);
    EXPECT_EQ(CVString(empty).CStr(), nullptr);
  }
  const CVString copy(s);
  EXPECT_EQ(copy.CStr(), nullptr);
  CVString cleared("x");
  cleared.Clear();
  EXPECT_EQ(cleared.CStr(), nullptr);
}

TEST(CVStringTest, AssignFromInsideOwnBuffer) {
  CVString s("hello world");
  s.Assign(s.CStr());  // the own buffer itself: nothing happens
  EXPECT_STREQ(s.CStr(), "hello world");
  s.Assign(s.CStr() + 6);  // a suffix of the own buffer: copied before the old buffer goes
  EXPECT_STREQ(s.CStr(), "world");
  EXPECT_EQ(s.Length(), 5u);
  s.Append(s.CStr() + 3);
  EXPECT_STREQ(s.CStr(), "worldld");
}

TEST(CVStringTest, AssignStringAndAppend) {
  CVString s("abc");
  s.AssignString(CVString());  // an empty argument leaves the string unchanged
  EXPECT_STREQ(s.CStr(), "abc");
  s.AssignString(CVString("xyz"));
  EXPECT_STREQ(s.CStr(), "xyz");
  s.Append(nullptr);
  EXPECT_STREQ(s.CStr(), "xyz");
  s.AppendString(CVString("12"));
  EXPECT_STREQ(s.CStr(), "xyz12");
  CVString e;
  e.Append("first");
  EXPECT_STREQ(e.CStr(), "first");
  CVString n;
  n.Append(nullptr);
  EXPECT_EQ(n.CStr(), nullptr);
}

TEST(CVStringTest, ConcatLeavesOperandsAlone) {
  const CVString a("戦国");  // CP932 bytes pass through untouched
  const CVString b("abc");
  const CVString ab = a.Concat(b);
  EXPECT_STREQ(ab.CStr(), "戦国abc");
  EXPECT_EQ(ab.Length(), 7u);
  EXPECT_STREQ(a.CStr(), "戦国");
  EXPECT_STREQ(b.ConcatCStr("!").CStr(), "abc!");
  EXPECT_STREQ(CVString().ConcatCStr("z").CStr(), "z");
  EXPECT_EQ(CVString().Concat(CVString()).CStr(), nullptr);
}

TEST(CVStringTest, CopyAndMoveOwnSeparateBuffers) {
  CVString a("one");
  CVString b(a);
  EXPECT_NE(a.CStr(), b.CStr());
  CVString c("other");
  c = a;
  EXPECT_STREQ(c.CStr(), "one");
  c = CVString();
  EXPECT_EQ(c.CStr(), nullptr);
  c = c;  // self-assignment keeps the text
  CVString d(std::move(b));
  EXPECT_STREQ(d.CStr(), "one");
  EXPECT_EQ(b.CStr(), nullptr);  // NOLINT: checking the moved-from state
}

TEST(CVStringTest, NotEquals) {
  struct Case {
    const char* own;
    const char* arg;
    int result;
  };
  const Case cases[] = {{nullptr, nullptr, 0}, {nullptr, "", 0}, {"abc", "abc", 0},
                        {"abc", "abd", 1},     {"abc", "ab", 1}, {"abc", nullptr, 1},
                        {nullptr, "a", 1},     {"戦", "戦", 0},  {"戦", "戰", 1}};
  for (const Case& c : cases) {
    EXPECT_EQ(CVString(c.own).NotEquals(c.arg), c.result)
        << (c.own ? c.own : "(null)") << " vs " << (c.arg ? c.arg : "(null)");
  }
}

}  // namespace
