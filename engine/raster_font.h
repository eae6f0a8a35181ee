// The game's own bitmap font: 5 x 8 dot glyphs for the printable characters of ASCII and of
// Latin-1 (names are typed as Latin-1 bytes), each dot drawn one pixel wide and two pixels
// tall, in cells of 8 x 16 pixels.
#pragma once

#include <cstddef>
#include <vector>

const int glyphColumns = 5;
const int glyphRows = 8; // rows 0-6 stand on the baseline, row 7 is for descenders
const int fontFirstChar = 32;
const int fontLastChar = 126;
const int fontGlyphCount = fontLastChar - fontFirstChar + 1;
const int fontFirstLatinChar = 0xA0;
const int fontLastLatinChar = 0xFF;
const int fontLatinGlyphCount = fontLastLatinChar - fontFirstLatinChar + 1;
const int fontCellWidth = 8;
const int fontCellHeight = 16;
const int fontAdvance = 7; // logical units from one character to the next
const int fontAtlasColumns = 16;
// 16 x 16 cells: ASCII, then Latin-1, then the box glyph; the rest stays empty.
const int fontAtlasWidth = fontAtlasColumns * fontCellWidth;
const int fontAtlasHeight = 256;

// The dot picture of a byte, top row first, 'X' for a dot and '.' for none. Control bytes
// (below 32, 127 to 159) get a hollow box.
const char* const* glyphPicture(unsigned char c);
// Where the glyph of a byte sits in the atlas, counted in cells.
int glyphAtlasCell(unsigned char c);
// The whole atlas, fontAtlasWidth by fontAtlasHeight RGBA pixels, top row first: white where there
// is a dot, transparent elsewhere.
std::vector<unsigned char> buildFontAtlas();
