// The game's own bitmap font: 5 x 8 dot glyphs for the printable ASCII characters, each dot
// drawn one pixel wide and two pixels tall, in cells of 8 x 16 pixels.
#pragma once

#include <cstddef>
#include <vector>

const int glyphColumns = 5;
const int glyphRows = 8; // rows 0-6 stand on the baseline, row 7 is for descenders
const int fontFirstChar = 32;
const int fontLastChar = 126;
const int fontGlyphCount = fontLastChar - fontFirstChar + 1;
const int fontCellWidth = 8;
const int fontCellHeight = 16;
const int fontAdvance = 7; // logical units from one character to the next
const int fontAtlasColumns = 16;
const int fontAtlasSize = 128; // square atlas: 16 x 8 cells, the last cell is the box glyph

// The dot picture of a byte, top row first, 'X' for a dot and '.' for none. Bytes outside
// the printable range get a hollow box.
const char* const* glyphPicture(unsigned char c);
// Where the glyph of a byte sits in the atlas, counted in cells.
int glyphAtlasCell(unsigned char c);
// The whole atlas, fontAtlasSize squared RGBA pixels, top row first: white where there is a
// dot, transparent elsewhere.
std::vector<unsigned char> buildFontAtlas();
