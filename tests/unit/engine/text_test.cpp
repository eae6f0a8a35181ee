// The printed-text record and the bitmap font's glyphs and atlas.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "engine/raster_font.h"
#include "engine/tessel.h"

namespace {
int dotCount(const char* const* picture) {
    int dots = 0;
    for (int row = 0; row < glyphRows; ++row)
        for (int column = 0; column < glyphColumns; ++column)
            dots += picture[row][column] == 'X';
    return dots;
}

bool atlasDot(const std::vector<unsigned char>& atlas, int x, int y) {
    return atlas[(std::size_t(y) * fontAtlasSize + x) * 4 + 3] != 0;
}
} // namespace

TEST(PrintedTexts, RecordOneFrameInOrderWithTheirPositions) {
    TSLSetHeadless(true);
    TSLInit(800, 600, 32, true);
    TSLText font;
    font.MakeRasterFont();
    font.SetDiffuseColor(11, 1.2f, 1.2f, 1);

    TSLBeginRender();
    font.PrintText(5, 2, "Score:      0");
    font.PrintText(270, 2, "");
    font.PrintText(150.5f, 300, "Start game");
    font.PrintText(1, 1, nullptr);
    font.PrintText(10, 20, "\x01\xff\x7f bytes outside the font");
    const std::vector<TSLPrintedText>& texts = TSLPrintedTexts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0].text, "Score:      0");
    EXPECT_FLOAT_EQ(texts[0].x, 5);
    EXPECT_FLOAT_EQ(texts[0].y, 2);
    EXPECT_EQ(texts[1].text, "");
    EXPECT_FLOAT_EQ(texts[2].x, 150.5f);
    EXPECT_FLOAT_EQ(texts[2].y, 300);
    EXPECT_EQ(texts[3].text, "");
    EXPECT_EQ(texts[4].text, "\x01\xff\x7f bytes outside the font");

    // The record holds copies: a buffer reused by the caller does not change it.
    char buffer[32];
    std::strcpy(buffer, "Score:     10");
    font.PrintText(5, 2, buffer);
    std::strcpy(buffer, "changed");
    EXPECT_EQ(TSLPrintedTexts().back().text, "Score:     10");

    TSLEndRender();
    TSLBeginRender();
    EXPECT_TRUE(TSLPrintedTexts().empty());
    font.PrintText(1, 2, "next frame");
    EXPECT_EQ(TSLPrintedTexts().size(), 1u);
    TSLClearPrintedTexts();
    EXPECT_TRUE(TSLPrintedTexts().empty());
}

TEST(RasterFont, EveryGlyphIsWellFormedAndDistinct) {
    std::set<std::string> seen;
    for (int code = fontFirstChar; code <= fontLastChar; ++code) {
        const char* const* picture = glyphPicture(static_cast<unsigned char>(code));
        std::string flat;
        for (int row = 0; row < glyphRows; ++row) {
            ASSERT_EQ(std::strlen(picture[row]), std::size_t(glyphColumns))
                << "glyph " << code << " row " << row;
            for (int column = 0; column < glyphColumns; ++column)
                ASSERT_TRUE(picture[row][column] == 'X' || picture[row][column] == '.');
            flat += picture[row];
        }
        EXPECT_EQ(dotCount(picture) == 0, code == ' ') << "glyph " << char(code);
        EXPECT_TRUE(seen.insert(flat).second) << "glyph " << char(code) << " repeats another";
    }
    // Capitals and digits stand on the baseline: nothing in the descender row.
    for (const char* text : {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "0123456789"})
        for (const char* p = text; *p; ++p)
            EXPECT_STREQ(glyphPicture(*p)[glyphRows - 1], ".....") << *p;
    for (char descender : {'g', 'j', 'p', 'q', 'y'})
        EXPECT_STRNE(glyphPicture(descender)[glyphRows - 1], ".....") << descender;
}

TEST(RasterFont, UnprintableBytesShareTheBoxGlyph) {
    const char* const* box = glyphPicture(0);
    EXPECT_EQ(glyphPicture(31), box);
    EXPECT_EQ(glyphPicture(127), box);
    EXPECT_EQ(glyphPicture(200), box);
    EXPECT_EQ(glyphPicture(255), box);
    EXPECT_NE(glyphPicture('#'), box);
    EXPECT_GT(dotCount(box), 0);
    EXPECT_EQ(glyphAtlasCell(255), fontGlyphCount);
    EXPECT_EQ(glyphAtlasCell(' '), 0);
    EXPECT_EQ(glyphAtlasCell('~'), fontGlyphCount - 1);
    const int rows = (fontGlyphCount + 1 + fontAtlasColumns - 1) / fontAtlasColumns;
    EXPECT_LE(rows * fontCellHeight, fontAtlasSize);
    // Text lines of the game are 20 units apart and must not overlap.
    EXPECT_LE(fontCellHeight, 16);
}

TEST(RasterFont, AtlasDrawsEachDotOneWideAndTwoTall) {
    const std::vector<unsigned char> atlas = buildFontAtlas();
    ASSERT_EQ(atlas.size(), std::size_t(fontAtlasSize) * fontAtlasSize * 4);
    for (int code : {int('A'), int('g'), int('~'), 0}) {
        const unsigned char c = static_cast<unsigned char>(code);
        const int cell = glyphAtlasCell(c);
        const int left = (cell % fontAtlasColumns) * fontCellWidth;
        const int top = (cell / fontAtlasColumns) * fontCellHeight;
        const char* const* picture = glyphPicture(c);
        int lit = 0;
        for (int y = 0; y < fontCellHeight; ++y) {
            for (int x = 0; x < fontCellWidth; ++x) {
                const bool on = atlasDot(atlas, left + x, top + y);
                const int column = x - 1;
                const bool expected =
                    column >= 0 && column < glyphColumns && picture[y / 2][column] == 'X';
                ASSERT_EQ(on, expected) << "char " << int(c) << " at " << x << "," << y;
                lit += on;
            }
        }
        EXPECT_EQ(lit, 2 * dotCount(picture));
    }
    // Lit pixels are opaque white so the material colour alone tints the text.
    const int cell = glyphAtlasCell('I');
    const int x = (cell % fontAtlasColumns) * fontCellWidth + 1 + 2;
    const int y = (cell / fontAtlasColumns) * fontCellHeight;
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_EQ(atlas[(std::size_t(y) * fontAtlasSize + x) * 4 + channel], 255);
}
