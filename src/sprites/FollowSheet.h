#pragma once
// Frames that follow their pictures when the sheet is redrawn: a column
// inserted or a row of sprites moved in a painting program leaves every marked
// rectangle on the wrong pixels, so each one is looked for on the new sheet.
//
// A rectangle is looked for, in this order: at its own place, its old pixels
// all unchanged there; then the exact copy of its old pixels nearest to its
// place; then, for art that was retouched, the place nearest to its old one
// where at least 90% of its old sprite pixels (those not of the mask colour)
// are unchanged. Nearest is the distance between top-left corners; of places
// equally near the first in reading order (top to bottom, each row left to
// right) wins. A rectangle keeps its size wherever it goes.
#include <cstdint>
#include <string>
#include <vector>

#include "project/SpriteProject.h"
#include "sprites/Sprites.h"

// One rectangle of the old sheet and its pixels: top-down rows of 3 x Width
// bytes, blue-green-red, as the sheet holds them. Kept instead of the whole old
// sheet, so that only the pixels somebody marked outlive it.
struct SheetPiece {
    SpriteRect Rect;
    std::vector<uint8_t> Bgr;
};

enum class FollowKind {
    Stayed,    // its old pixels are all still at its place
    Copied,    // the nearest exact copy of its old pixels lies elsewhere
    Retouched, // the nearest place with at least 90% of its sprite pixels unchanged
    NotFound,  // none of these: it keeps its old place
};

struct FollowedPiece {
    SpriteRect Rect; // where it is now (its old place when not found)
    FollowKind Kind = FollowKind::NotFound;
};

// The pixels of each rectangle lying wholly on the sheet; a rectangle that is
// empty or reaches past the sheet gets no piece.
std::vector<SheetPiece> TakePieces(const SheetPixels& sheet, const std::vector<SpriteRect>& rects);

// Where each piece is on the new sheet, in the order of the pieces. A sheet
// without pixels finds nothing.
std::vector<FollowedPiece> FollowPieces(const std::vector<SheetPiece>& pieces, const SheetPixels& fresh,
                                        int32_t maskColor);

// ---- frames of a project -----------------------------------------------------

// The different rectangles of the marked frames (both sides above 0) of a tree,
// each once, in the order they first appear.
std::vector<SpriteRect> MarkedRects(const std::vector<ActionData>& actions);

// Names of the tree's directions as the atlas gives them: "Action/Direction",
// the editor's names for unnamed entries, and " (2)", " (3)"... after a name
// an earlier direction with a marked frame already has. A frame's name is its
// direction's, "/" and its index counted from 0 ("Walk/Right/2").
std::vector<std::vector<std::string>> DirectionNames(const std::vector<ActionData>& actions);

struct FollowReport {
    size_t Moved = 0;                  // frames given a new place
    std::vector<std::string> NotFound; // names of marked frames found nowhere, in tree order
};

// Moves every marked frame of the tree to where its piece went on the new
// sheet. Only X and Y change: the size stays, and so do the hot spot's values,
// which are relative to the frame, so the hot spot stays on the same pixel of
// the sprite. Frames without a piece (they did not lie on the old sheet) and
// frames whose piece was not found keep their place and are named in NotFound.
FollowReport FollowFrames(std::vector<ActionData>& actions, const std::vector<SheetPiece>& pieces,
                          const SheetPixels& fresh, int32_t maskColor);
