#include "tools/v4data/art_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using plat::Rgba;

TEST(ArtSource, SheetCellsGetTheCommonAndTheirOwnShapes) {
  const std::string src = R"({"pictures": [
    {"file": "ui/btn.png", "width": 20, "height": 50, "grid": [1, 5],
     "each": [{"rect": [0, 0, 20, 10], "color": "#102030"}],
     "cells": [[], [{"rect": [5, 2, 10, 6], "color": "#FF000080"}], [], [], [{"ellipse": [10, 5, 4, 4], "color": "#00FF00"}]]},
    {"file": "bg.png", "width": 4, "height": 4,
     "shapes": [{"gradient": [0, 0, 4, 4], "from": "#000000FF", "to": "#FFFFFFFF"}]}]})";
  std::vector<plat::ArtPicture> pics;
  std::string error;
  ASSERT_TRUE(plat::RenderArtSource(src, &pics, &error)) << error;
  ASSERT_EQ(pics.size(), 2u);
  EXPECT_EQ(pics[0].file, "ui/btn.png");
  const plat::Canvas& c = pics[0].canvas;
  for (int cell = 0; cell < 5; ++cell) EXPECT_EQ(c.At(1, cell * 10 + 1), (Rgba{16, 32, 48, 255})) << cell;
  EXPECT_EQ(c.At(10, 15), (Rgba{136, 16, 24, 255}));  // half red over the base, only in cell 1
  EXPECT_EQ(c.At(10, 5), (Rgba{16, 32, 48, 255}));
  EXPECT_EQ(c.At(10, 45), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(pics[1].canvas.At(0, 0), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(pics[1].canvas.At(0, 3), (Rgba{255, 255, 255, 255}));
}

TEST(ArtSource, EveryShapeKindDraws) {
  const std::string src = R"({"pictures": [{"file": "a.png", "width": 40, "height": 40, "shapes": [
    {"rect": [0, 0, 2, 2], "color": "#FF0000"},
    {"panel": [10, 0, 10, 10], "radius": 3, "color": "#00FF00"},
    {"border": [20, 0, 10, 10], "width": 1, "radius": 0, "color": "#0000FF"},
    {"ellipse": [5, 25, 4, 4], "color": "#FFFF00"},
    {"ring": [25, 25, 5], "width": 2, "color": "#00FFFF"},
    {"polygon": [[30, 30], [40, 30], [40, 40]], "color": "#FF00FF"}]}]})";
  std::vector<plat::ArtPicture> pics;
  std::string error;
  ASSERT_TRUE(plat::RenderArtSource(src, &pics, &error)) << error;
  const plat::Canvas& c = pics[0].canvas;
  EXPECT_EQ(c.At(1, 1), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(c.At(15, 5), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(c.At(20, 5), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(c.At(25, 5).a, 0);
  EXPECT_EQ(c.At(5, 25), (Rgba{255, 255, 0, 255}));
  EXPECT_EQ(c.At(29, 24), (Rgba{0, 255, 255, 255}));  // on the ring line
  EXPECT_EQ(c.At(39, 31), (Rgba{255, 0, 255, 255}));
}

// A thumbnail reduced from its picture: each pixel the area mean of what it covers, transparent
// pixels not darkening the colour; shapes drawn over the reduction.
TEST(ArtSource, AReducedPictureIsTheAreaMeanOfItsSource) {
  // Red on the left, blue on the right; pixel (2, 0) left transparent.
  const std::string src = R"({"pictures": [
    {"file": "cg.png", "width": 6, "height": 3, "shapes": [
      {"rect": [0, 0, 2, 3], "color": "#FF0000"}, {"rect": [2, 1, 1, 2], "color": "#FF0000"},
      {"rect": [3, 0, 3, 3], "color": "#0000FF"}]},
    {"file": "th.png", "width": 2, "height": 1, "reduce": "cg.png"},
    {"file": "one.png", "width": 1, "height": 1, "reduce": "cg.png"},
    {"file": "th3.png", "width": 4, "height": 2, "reduce": "cg.png", "shapes": [{"rect": [3, 1, 1, 1], "color": "#FFFFFF"}]}]})";
  std::vector<plat::ArtPicture> pics;
  std::string error;
  ASSERT_TRUE(plat::RenderArtSource(src, &pics, &error)) << error;
  ASSERT_EQ(pics.size(), 4u);
  // The left half: 8 red pixels and the transparent one.
  EXPECT_EQ(pics[1].canvas.At(0, 0), (Rgba{255, 0, 0, 227}));
  EXPECT_EQ(pics[1].canvas.At(1, 0), (Rgba{0, 0, 255, 255}));
  // Everything: 8 red, 9 blue, 1 transparent.
  EXPECT_EQ(pics[2].canvas.At(0, 0), (Rgba{120, 0, 135, 241}));
  // 6 x 3 -> 4 x 2: target (1, 0) covers half of (1, 0), all of the transparent (2, 0), a quarter of
  // (1, 1) and half of (2, 1).
  EXPECT_EQ(pics[3].canvas.width(), 4);
  EXPECT_EQ(pics[3].canvas.At(1, 0), (Rgba{255, 0, 0, 142}));
  EXPECT_EQ(pics[3].canvas.At(0, 1), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pics[3].canvas.At(2, 1), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(pics[3].canvas.At(3, 1), (Rgba{255, 255, 255, 255}));
}

// A screen drawn from its pictures: an earlier picture, a part of one, a loaded one, scaled and
// faded.
TEST(ArtSource, ImagesDrawEarlierAndLoadedPicturesAtTheirPlace) {
  const std::string src = R"({"pictures": [
    {"file": "btn.png", "width": 4, "height": 4, "grid": [1, 2],
     "cells": [[{"rect": [0, 0, 4, 2], "color": "#FF0000"}], [{"rect": [0, 0, 4, 2], "color": "#0000FF"}]]},
    {"file": "screen.png", "width": 10, "height": 10, "shapes": [
      {"rect": [0, 0, 10, 10], "color": "#000000"},
      {"image": "btn.png", "at": [1, 1], "source": [0, 2, 4, 2]},
      {"image": "made/before.png", "at": [6, 6], "size": [4, 4]},
      {"image": "btn.png", "at": [0, 8], "source": [0, 0, 4, 2], "size": [2, 1], "alpha": 0.5}]}]})";
  plat::Canvas before(2, 2);
  before.FillRect(0, 0, 2, 2, Rgba{0, 255, 0, 255});
  const plat::ArtPictureLoader loader = [&](const std::string& file, plat::Canvas* out) {
    if (file != "made/before.png") return false;
    *out = before;
    return true;
  };
  std::vector<plat::ArtPicture> pics;
  std::string error;
  ASSERT_TRUE(plat::RenderArtSource(src, &pics, &error, {}, loader)) << error;
  const plat::Canvas& c = pics[1].canvas;
  EXPECT_EQ(c.At(1, 1), (Rgba{0, 0, 255, 255})) << "the second cell";
  EXPECT_EQ(c.At(4, 2), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(c.At(5, 1), (Rgba{0, 0, 0, 255})) << "only the cell's width";
  EXPECT_EQ(c.At(9, 9), (Rgba{0, 255, 0, 255})) << "the loaded picture, enlarged";
  EXPECT_EQ(c.At(6, 6), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(c.At(1, 8), (Rgba{128, 0, 0, 255})) << "half over black";
  EXPECT_EQ(c.At(2, 8), (Rgba{0, 0, 0, 255})) << "made smaller";
}

TEST(ArtSource, BadDescriptionsAreRefusedWithTheirCause) {
  struct Case {
    const char* json;
    const char* expect;  // part of the message
  };
  const Case cases[] = {
      {"", "pictures"},
      {"[1,2]", "pictures"},
      {R"({"pictures": 3})", "pictures"},
      {R"({"pictures": [{"file": "a.png", "width": 0, "height": 4}]})", "width"},
      {R"({"pictures": [{"file": "a.png", "width": 9000, "height": 4}]})", "width"},
      {R"({"pictures": [{"file": "../a.png", "width": 4, "height": 4}]})", "relative"},
      {R"({"pictures": [{"file": "/abs.png", "width": 4, "height": 4}]})", "relative"},
      {R"({"pictures": [{"file": "x/../../a.png", "width": 4, "height": 4}]})", "relative"},
      {R"({"pictures": [{"width": 4, "height": 4}]})", "relative"},
      {R"({"pictures": [{"file": "a.png", "width": 4, "height": 4, "shapes": [{"rect": [0, 0, 1], "color": "#FFFFFF"}]}]})",
       "shapes[0]: rect: needs 4"},
      {R"({"pictures": [{"file": "a.png", "width": 4, "height": 4, "shapes": [{"rect": [0, 0, 1, 1], "color": "red"}]}]})",
       "color"},
      {R"({"pictures": [{"file": "a.png", "width": 4, "height": 4, "shapes": [{"rect": [0, 0, 1, 1], "panel": [0, 0, 1, 1], "color": "#FFFFFF"}]}]})",
       "both"},
      {R"({"pictures": [{"file": "a.png", "width": 4, "height": 4, "shapes": [{"circle": [0, 0, 1]}]}]})", "one of"},
      {R"({"pictures": [{"file": "a.png", "width": 4, "height": 4, "shapes": [{"polygon": [[0, 0], [1, 1]], "color": "#FFFFFF"}]}]})",
       "three"},
      {R"({"pictures": [{"file": "a.png", "width": 4, "height": 4, "shapes": [{"gradient": [0, 0, 1, 1], "from": "#FFFFFF"}]}]})",
       "gradient"},
      {R"({"pictures": [{"file": "a.png", "width": 4, "height": 4, "shapes": [{"rect": [0, 0, 1e300, 1], "color": "#FFFFFF"}]}]})",
       "rect"},
      {R"({"pictures": [{"file": "a.png", "width": 10, "height": 10, "grid": [3, 1]}]})", "equal cells"},
      {R"({"pictures": [{"file": "a.png", "width": 10, "height": 10, "grid": [0, 1]}]})", "equal cells"},
      {R"({"pictures": [{"file": "a.png", "width": 10, "height": 10, "grid": [1, 2], "cells": [[], [], []]}]})",
       "at most"},
      {R"({"pictures": [{"file": "a.png", "width": 10, "height": 10, "cells": [[]]}]})", "grid"},
      {R"({"pictures": [{"file": "a.png", "width": 2, "height": 2}, {"file": "a.png", "width": 2, "height": 2}]})",
       "twice"},
      {R"({"pictures": [{"file": "t.png", "width": 2, "height": 2, "reduce": "cg.png"}, {"file": "cg.png", "width": 4, "height": 4}]})",
       "earlier"},
      {R"({"pictures": [{"file": "cg.png", "width": 4, "height": 4}, {"file": "t.png", "width": 8, "height": 2, "reduce": "cg.png"}]})",
       "smaller"},
      {R"({"pictures": [{"file": "cg.png", "width": 4, "height": 4}, {"file": "t.png", "width": 2, "height": 2, "reduce": 3}]})",
       "reduce"},
      {R"({"pictures": [{"file": "a.png", "width": 4, "height": 4, "shapes": [{"image": "none.png", "at": [0, 0]}]}]})",
       "image: must name"},
      {R"({"pictures": [{"file": "b.png", "width": 2, "height": 2}, {"file": "a.png", "width": 4, "height": 4, "shapes": [{"image": "b.png"}]}]})",
       "at"},
      {R"({"pictures": [{"file": "b.png", "width": 2, "height": 2}, {"file": "a.png", "width": 4, "height": 4, "shapes": [{"image": "b.png", "at": [0, 0], "source": [1, 1, 2, 2]}]}]})",
       "inside"},
  };
  for (const Case& k : cases) {
    std::vector<plat::ArtPicture> pics(1);
    std::string error;
    EXPECT_FALSE(plat::RenderArtSource(k.json, &pics, &error)) << k.json;
    EXPECT_TRUE(pics.empty());
    EXPECT_NE(error.find(k.expect), std::string::npos) << k.json << " -> " << error;
  }
}

}  // namespace
