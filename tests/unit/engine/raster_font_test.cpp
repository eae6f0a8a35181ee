#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/raster_font.h"

static std::string rows(unsigned char c, int first = 0, int last = glyphRows - 1) {
    std::string text;
    for (int row = first; row <= last; ++row)
        text += std::string(glyphPicture(c)[row]) + "|";
    return text;
}

TEST(RasterFont, ControlBytesAloneShowTheBoxEveryOtherByteItsOwnCell) {
    const unsigned char box = 0;
    std::set<int> cells;
    for (int code = 0; code <= 0xFF; ++code) {
        const unsigned char c = static_cast<unsigned char>(code);
        const bool control = code < 32 || (code >= 127 && code < 0xA0);
        EXPECT_EQ(glyphPicture(c) == glyphPicture(box), control) << code;
        EXPECT_EQ(glyphAtlasCell(c) == glyphAtlasCell(box), control) << code;
        cells.insert(glyphAtlasCell(c));
    }
    EXPECT_EQ(cells.size(), 95u + 96u + 1u);
    EXPECT_LT(*cells.rbegin(),
              (fontAtlasWidth / fontCellWidth) * (fontAtlasHeight / fontCellHeight));
}

// Each accented small letter is its plain letter's body under the mark; the marks by hand.
TEST(RasterFont, LatinLettersAreTheirBaseUnderTheirMark) {
    const struct {
        unsigned char code;
        char base;
        const char* mark; // rows 0 and 1
    } letters[] = {{0xFC, 'u', ".X.X.|.....|"}, {0xE9, 'e', "...X.|..X..|"},
                   {0xF4, 'o', "..X..|.X.X.|"}, {0xF1, 'n', ".XX.X|X..X.|"},
                   {0xFF, 'y', ".X.X.|.....|"}, {0xE5, 'a', "..X..|.X.X.|"}};
    for (const auto& l : letters)
        EXPECT_EQ(rows(l.code), l.mark + rows(l.base, 2)) << int(l.code);
    // A capital's mark sits over the same squeezed letter: Ä and À differ only in the mark.
    EXPECT_EQ(rows(0xC4, 2), rows(0xC0, 2));
    EXPECT_EQ(rows(0xC4, 0, 1), rows(0xE4, 0, 1));
}
