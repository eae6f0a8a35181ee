#include <gtest/gtest.h>

#include "scores/high_score_table.h"

namespace {
HighScoreTable tableWithScores(std::initializer_list<int32_t> scores) {
    HighScoreTable table;
    int k = 0;
    for (int32_t score : scores) {
        table.entries[k] = HighScoreEntry(score, "old" + std::to_string(k));
        ++k;
    }
    return table;
}

void expectScores(const HighScoreTable& table, std::initializer_list<int32_t> scores) {
    int k = 0;
    for (int32_t score : scores)
        EXPECT_EQ(table.entries[k++].score, score) << "rank " << k;
}
} // namespace

TEST(HighScoreTable, FreshTableQualifiesOnlyScoresAboveTheTenth) {
    HighScoreTable table;
    for (const auto& entry : table.entries) {
        EXPECT_EQ(entry.score, 1);
        EXPECT_EQ(entry.name, "Tester");
    }
    EXPECT_EQ(table.qualifies(1), -1);
    EXPECT_EQ(table.qualifies(2), 1);
    EXPECT_EQ(table.qualifies(0), -1);
    EXPECT_EQ(table.qualifies(-5), -1);
    EXPECT_EQ(table.qualifies(INT32_MIN), -1);
    EXPECT_EQ(table.qualifies(INT32_MAX), 1);

    table.entries[9].score = -10; // the comparison is signed
    EXPECT_EQ(table.qualifies(-10), -1);
    EXPECT_EQ(table.qualifies(-9), 1);
}

TEST(HighScoreTable, NewcomerGoesAboveEqualScores) {
    HighScoreTable table;
    EXPECT_EQ(table.insert(HighScoreEntry(5, "Five")), 0);
    EXPECT_EQ(table.entries[0].name, "Five");
    for (int k = 1; k < 10; ++k) {
        EXPECT_EQ(table.entries[k].score, 1);
        EXPECT_EQ(table.entries[k].name, "Tester");
    }

    EXPECT_EQ(table.insert(HighScoreEntry(5, "Again")), 0);
    EXPECT_EQ(table.entries[0].name, "Again");
    EXPECT_EQ(table.entries[1].name, "Five");

    HighScoreTable ties = tableWithScores({50, 40, 40, 40, 30, 20, 10, 5, 3, 2});
    EXPECT_EQ(ties.insert(HighScoreEntry(40, "new")), 0);
    expectScores(ties, {50, 40, 40, 40, 40, 30, 20, 10, 5, 3});
    EXPECT_EQ(ties.entries[0].name, "old0");
    EXPECT_EQ(ties.entries[1].name, "new");
    EXPECT_EQ(ties.entries[2].name, "old1");
    EXPECT_EQ(ties.entries[4].name, "old3");
    EXPECT_EQ(ties.entries[9].name, "old8");
}

TEST(HighScoreTable, ScoreEqualToTheTenthIsPlacedButLowerIsRefused) {
    HighScoreTable fresh;
    EXPECT_EQ(fresh.insert(HighScoreEntry(1, "Equal")), 0);
    EXPECT_EQ(fresh.entries[0].name, "Equal");
    for (int k = 1; k < 10; ++k)
        EXPECT_EQ(fresh.entries[k].name, "Tester");

    HighScoreTable table = tableWithScores({90, 80, 70, 60, 50, 40, 30, 20, 7, 5});
    EXPECT_EQ(table.insert(HighScoreEntry(5, "tenth")), 0);
    expectScores(table, {90, 80, 70, 60, 50, 40, 30, 20, 7, 5});
    EXPECT_EQ(table.entries[8].name, "old8");
    EXPECT_EQ(table.entries[9].name, "tenth");

    HighScoreTable before = table;
    EXPECT_EQ(table.insert(HighScoreEntry(4, "low")), -1);
    EXPECT_EQ(table.insert(HighScoreEntry(INT32_MIN, "lowest")), -1);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(table.entries[k].score, before.entries[k].score);
        EXPECT_EQ(table.entries[k].name, before.entries[k].name);
    }
    EXPECT_EQ(HighScoreTable().insert(HighScoreEntry(0, "zero")), -1);
}

TEST(HighScoreTable, UnorderedTableTakesTheFirstPlaceNotAboveTheNewScore) {
    // As a hand-edited file might leave it: nothing re-sorts it.
    HighScoreTable table = tableWithScores({3, 100, 2, 50, 1, 40, 0, 30, -1, 20});
    EXPECT_EQ(table.insert(HighScoreEntry(20, "x")), 0);
    expectScores(table, {20, 3, 100, 2, 50, 1, 40, 0, 30, -1});

    HighScoreTable other = tableWithScores({30, 100, 2, 50, 1, 40, 0, 30, -1, 20});
    EXPECT_EQ(other.insert(HighScoreEntry(19, "below tenth")), -1);
    EXPECT_EQ(other.insert(HighScoreEntry(25, "y")), 0);
    expectScores(other, {30, 100, 25, 2, 50, 1, 40, 0, 30, -1});
}

TEST(HighScoreTable, NegativeScoresAndLongNames) {
    HighScoreTable table = tableWithScores({5, 0, -1, -2, -3, -4, -5, -6, -7, -100});
    EXPECT_EQ(table.insert(HighScoreEntry(-50, "neg")), 0);
    expectScores(table, {5, 0, -1, -2, -3, -4, -5, -6, -7, -50});

    // A record holds 15 characters, so the table never keeps more than that.
    EXPECT_EQ(table.insert(HighScoreEntry(9, "ABCDEFGHIJKLMNOPQRSTUVWXYZ")), 0);
    EXPECT_EQ(table.entries[0].name, "ABCDEFGHIJKLMNO");
}
