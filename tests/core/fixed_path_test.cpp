// FixedPath: the path helpers, lead-byte-aware separators, and bounded operations.
#include "core/fixed_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

enum class Op { kExtension, kDirectoryWith, kDirectoryWithout, kFileName, kBaseName };

struct PartCase {
  const char* path;
  Op op;
  const char* expected;
};

const PartCase kParts[] = {
    {"Data\\a.b\\file", Op::kExtension, "b\\file"},  // the last '.' of the whole path
    {"Data\\map.tig", Op::kExtension, "tig"},
    {"Data\\map", Op::kExtension, ""},
    {"Data\\Image\\map.tig", Op::kDirectoryWith, "Data\\Image\\"},
    {"Data\\Image/map.tig", Op::kDirectoryWithout, "Data\\Image"},
    {"map.tig", Op::kDirectoryWith, ""},
    {"map.tig", Op::kDirectoryWithout, ""},
    {"Data/Image\\map.tig", Op::kFileName, "map.tig"},
    {"map.tig", Op::kFileName, "map.tig"},
    {"Data\\", Op::kFileName, ""},
    {"Data\\x.y\\map.tig.bak", Op::kBaseName, "map"},
    {"noext", Op::kBaseName, "noext"},
    // 表 and ソ end in the byte 0x5C, which is not a separator there.
    {"Data\\表", Op::kFileName, "表"},
    {"ソ\\表.png", Op::kDirectoryWith, "ソ\\"},
    {"表ソ", Op::kDirectoryWith, ""},
    {"Data\\表.tig", Op::kBaseName, "表"},
};

TEST(FixedPath, PartsOfAPath) {
  for (const PartCase& c : kParts) {
    FixedPath p(c.path);
    FixedPath out("garbage");
    switch (c.op) {
      case Op::kExtension:
        p.GetExtension(out);
        break;
      case Op::kDirectoryWith:
        p.GetDirectory(out, 0);
        break;
      case Op::kDirectoryWithout:
        p.GetDirectory(out, 1);
        break;
      case Op::kFileName:
        p.GetFileName(out);
        break;
      case Op::kBaseName:
        p.GetBaseName(out);
        break;
    }
    EXPECT_STREQ(out.CStr(), c.expected) << c.path << " op " << static_cast<int>(c.op);
    EXPECT_TRUE(out.IsValid());
  }
}

TEST(FixedPath, AssignAppendConcatCompare) {
  FixedPath p;
  EXPECT_EQ(p.Length(), 0u);
  p.Assign("Data\\");
  p.Append("sys");
  FixedPath q;
  p.Concat(q, "\\scene.bin");
  EXPECT_STREQ(p.CStr(), "Data\\sys");
  EXPECT_STREQ(q.CStr(), "Data\\sys\\scene.bin");
  p.Concat(p, "\\x");  // into itself
  EXPECT_STREQ(p.CStr(), "Data\\sys\\x");
  EXPECT_EQ(q.Equals("Data\\sys\\scene.bin"), 1);
  EXPECT_EQ(q.Equals("data\\sys\\scene.bin"), 0);
  EXPECT_EQ(q.Equals(nullptr), 0);
  EXPECT_EQ(q.NotEquals(nullptr), 1);
  EXPECT_EQ(q.NotEquals("Data\\sys\\scene.bin"), 0);
  p.Assign(p.CStr() + 5);  // from its own buffer
  EXPECT_STREQ(p.CStr(), "sys\\x");
  p.Assign(nullptr);
  EXPECT_STREQ(p.CStr(), "");
  p.Clear();
  EXPECT_EQ(p.Length(), 0u);
}

TEST(FixedPath, RemoveSubstring) {
  struct {
    const char* path;
    const char* remove;
    const char* expected;
  } const cases[] = {
      {"Data\\Image\\a.png", "Image\\", "Data\\a.png"},
      {"abab", "ab", "ab"},   // first occurrence only
      {"abc", "abc", "abc"},  // not shorter than the path
      {"abc", "abcd", "abc"},
      {"abc", "x", "abc"},  // absent
      {"abc", "", "abc"},
      {"表a\\b", "\\b", "表a"},  // a match on a character boundary
      {"表ソ", "\\", "表ソ"},    // 0x5C inside characters is no match
  };
  for (const auto& c : cases) {
    FixedPath p(c.path);
    p.RemoveSubstring(c.remove);
    EXPECT_STREQ(p.CStr(), c.expected) << c.path << " - " << c.remove;
  }
}

TEST(FixedPath, OverflowLeavesAnInvalidEmptyPath) {
  const std::string fits(FixedPath::kCapacity - 1, 'a');
  const std::string tooLong(FixedPath::kCapacity, 'a');
  FixedPath p(fits.c_str());
  EXPECT_TRUE(p.IsValid());
  EXPECT_EQ(p.Length(), fits.size());
  p.Append("b");
  EXPECT_FALSE(p.IsValid());
  EXPECT_STREQ(p.CStr(), "");
  p.Append("Data\\x.bin");  // stays invalid: no cut-off or partial name ever appears
  EXPECT_FALSE(p.IsValid());
  EXPECT_STREQ(p.CStr(), "");
  FixedPath ext;
  p.GetExtension(ext);
  EXPECT_FALSE(ext.IsValid());
  EXPECT_EQ(p.Equals(""), 0);

  FixedPath q(tooLong.c_str());
  EXPECT_FALSE(q.IsValid());
  q.Assign("ok");
  EXPECT_TRUE(q.IsValid());
  FixedPath r;
  FixedPath(fits.c_str()).Concat(r, "z");
  EXPECT_FALSE(r.IsValid());
}

}  // namespace
