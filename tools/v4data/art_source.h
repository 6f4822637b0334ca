// Readable descriptions of the sample pictures (JSON, UTF-8), turned into canvases by `v4data art`.
//
// {"pictures": [{"file": "title/bg.png", "width": 1280, "height": 720, "shapes": [ ... ]},
//               {"file": "title/button.png", "width": 280, "height": 300, "grid": [1, 5],
//                "each": [ ... ], "cells": [[ ... ], [ ... ], ...]}]}
// A shape is an object with one shape key; coordinates are pixels (inside a cell, relative to it):
//   {"rect": [x, y, w, h], "color": c}
//   {"gradient": [x, y, w, h], "from": c, "to": c, "horizontal": false}
//   {"panel": [x, y, w, h], "radius": r, "color": c}              rounded, filled
//   {"border": [x, y, w, h], "width": t, "radius": r, "color": c}
//   {"ellipse": [cx, cy, rx, ry], "color": c}
//   {"ring": [cx, cy, r], "width": t, "color": c}
//   {"polygon": [[x, y], [x, y], ...], "color": c}
//   {"text": "UTF-8", "box": [x, y, w, h], "size": px, "color": c, "align": "left|center|right"}
//       one line, vertically centred in the box; needs a text painter (the data tool gives one)
//   {"image": "adv/window.png", "at": [x, y], "source": [x, y, w, h], "size": [w, h], "alpha": a}
//       a picture described earlier in the source or made before (the loader; the data tool reads
//       the output folder), or the source part of it, drawn over at its size or at "size"
// {"file": "omake/th001.png", "width": 240, "height": 135, "reduce": "omake/cg001.png"} starts from
// a picture described earlier in the same source, reduced to this size (area mean), so a thumbnail
// is its picture made small; shapes, if any, are drawn over it.
// Colours are "#RRGGBB" or "#RRGGBBAA". With "grid" [columns, rows] the picture is a sheet of
// equal cells (the width and height must divide evenly): "each" is drawn into every cell, then
// cells[i] into cell i (row by row).
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/image/canvas.h"

namespace plat {

struct ArtPicture {
  std::string file;  // relative output path, '/' separated
  Canvas canvas;
};

// Draws one line of UTF-8 text of pixel height `size` centred vertically in the box and aligned
// (0 left, 1 centre, 2 right) horizontally. False with a message when it cannot.
using ArtTextPainter = std::function<bool(Canvas& canvas, const std::string& utf8, int x, int y, int w, int h, int size,
                                          Rgba color, int align, std::string* error)>;

// Finds a picture made before (by an earlier source) by its file name; false when there is none.
using ArtPictureLoader = std::function<bool(const std::string& file, Canvas* out)>;

// False with a message naming the picture and shape at fault. File names must be relative and
// may not climb out of the output folder. Text shapes fail without a painter.
bool RenderArtSource(const std::string& jsonText, std::vector<ArtPicture>* out, std::string* error,
                     const ArtTextPainter& painter = {}, const ArtPictureLoader& loader = {});

}  // namespace plat
