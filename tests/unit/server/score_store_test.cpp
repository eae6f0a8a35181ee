// The store's tables on SQLite and PostgreSQL: a database of the first version brought up at
// start, replays that go with their entries, and bans.
#include <gtest/gtest.h>

#include "server/score_store.h"
#include "tests/support/score_stores.h"

namespace {
using ScoreStoreTest = StoreTest;

std::string runSql(const std::string& location, const std::string& sql) {
    return RawDatabase(location).run(sql);
}
} // namespace

// The tables of the first version, as its servers made them: the entries stay, and the
// entries can be proven once the database is opened. A newer version is left alone.
TEST_F(ScoreStoreTest, AFirstVersionDatabaseIsBroughtUpWithItsEntries) {
    closeScoreStore(store);
    std::remove(settings.location.c_str());
    settings.location = freshScoreDatabase(); // without this server's tables
    bool pg = isPostgresLocation(settings.location);
    std::string firstVersion = std::string("CREATE TABLE scores (id ") +
                               (pg ? "bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, name bytea"
                                   : "INTEGER PRIMARY KEY AUTOINCREMENT, name BLOB") +
                               " NOT NULL, score integer NOT NULL, UNIQUE (name, score));"
                               "CREATE INDEX scores_by_rank ON scores (score DESC, id);"
                               "CREATE TABLE schema_version (version integer NOT NULL);"
                               "INSERT INTO schema_version VALUES (1);"
                               "INSERT INTO scores (name, score) VALUES (" +
                               (pg ? "'\\x4afc'::bytea" : "x'4afc'") + ", 10), (" +
                               (pg ? "'Old'::bytea" : "x'4f6c64'") + ", 20);";
    ASSERT_EQ(runSql(settings.location, firstVersion), "");
    reopen();
    EXPECT_EQ(listedScores(store), "Old 20 -;J\xFC 10 -;");
    EXPECT_EQ(store.backend->storeReplay({"J\xFC", 10}, "round", "R", soon()), StoreAnswer::done);
    EXPECT_EQ(listedScores(store), "Old 20 -;J\xFC 10 +;");
    EXPECT_EQ(runSql(settings.location, "SELECT max(version) FROM schema_version"), "2");
    closeScoreStore(store);
    runSql(settings.location, "UPDATE schema_version SET version = 3");
    EXPECT_FALSE(openScoreStore(store, settings, &error));
    EXPECT_EQ(error, "schema version 3, this server knows version 2");
}

// Each step on the store in turn, with what it must answer and the list it leaves.
TEST_F(ScoreStoreTest, ReplaysGoWithTheirEntriesAndBannedNamesStoreNothing) {
    ScoreBackend& b = *store.backend;
    std::string replay;
    const struct {
        const char* step;
        std::function<StoreAnswer()> act;
        StoreAnswer answer;
        const char* list;
    } steps[] = {
        // clang-format off
        {"upload A", [&] { return b.store({"A", 5}, soon()); }, StoreAnswer::done, "A 5 -;"},
        {"prove A", [&] { return b.storeReplay({"A", 5}, "a", "r1", soon()); }, StoreAnswer::done, "A 5 +;"},
        {"prove A again", [&] { return b.storeReplay({"A", 5}, "a2", "r2", soon()); }, StoreAnswer::done, "A 5 +;"},
        {"first replay kept", [&] { return b.fetchReplay(1, &replay, soon()); }, StoreAnswer::done, "A 5 +;"},
        {"A's round for D", [&] { return b.storeReplay({"D", 5}, "a", "r1", soon()); }, StoreAnswer::taken, "A 5 +;"},
        {"A's round for A 6", [&] { return b.storeReplay({"A", 6}, "a", "r1", soon()); }, StoreAnswer::taken, "A 5 +;"},
        {"prove B unsigned", [&] { return b.storeReplay({"B", 9}, "b", "r3", soon()); }, StoreAnswer::done, "B 9 +;A 5 +;"},
        {"ban C", [&] { return b.setBanned("C", true, soon()); }, StoreAnswer::done, "B 9 +;A 5 +;"},
        {"upload C", [&] { return b.store({"C", 7}, soon()); }, StoreAnswer::banned, "B 9 +;A 5 +;"},
        {"prove C", [&] { return b.storeReplay({"C", 8}, "c", "r4", soon()); }, StoreAnswer::banned, "B 9 +;A 5 +;"},
        {"remove A", [&] { return b.remove({"A", 5}, soon()); }, StoreAnswer::done, "B 9 +;"},
        {"A's replay", [&] { return b.fetchReplay(1, &replay, soon()); }, StoreAnswer::none, "B 9 +;"},
        {"A's round, free again", [&] { return b.storeReplay({"D", 5}, "a", "r1", soon()); }, StoreAnswer::done, "B 9 +;D 5 +;"},
        {"unban C", [&] { return b.setBanned("C", false, soon()); }, StoreAnswer::done, "B 9 +;D 5 +;"},
        {"upload C", [&] { return b.store({"C", 7}, soon()); }, StoreAnswer::done, "B 9 +;C 7 -;D 5 +;"},
        // clang-format on
    };
    for (const auto& s : steps) {
        EXPECT_EQ(s.act(), s.answer) << s.step;
        EXPECT_EQ(listedScores(store), s.list) << s.step;
    }
    EXPECT_EQ(replay, "r1");
    EXPECT_EQ(listedScores(store, true), "B 9 +;D 5 +;");
    // An operator deleting the entry by hand takes its replay along.
    runSql(settings.location, "DELETE FROM scores WHERE score = 9");
    EXPECT_EQ(runSql(settings.location, "SELECT count(*) FROM replays"), "1");
}

// The database refuses every write, as a full disk or an operator's trigger would, then every
// read: each call is unavailable, nothing changes, and each reason is reported once.
TEST_F(ScoreStoreTest, WhatTheDatabaseRefusesIsUnavailableAndReportedOnce) {
    ScoreBackend& b = *store.backend;
    ASSERT_EQ(b.store({"A", 5}, soon()), StoreAnswer::done);
    const bool pg = isPostgresLocation(settings.location);
    std::string refuse = pg ? "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                              "$$ BEGIN RAISE EXCEPTION 'refused'; END $$;"
                            : "";
    for (std::string table : {"scores", "replays", "bans"})
        refuse += pg ? "CREATE TRIGGER refuse BEFORE INSERT OR DELETE ON " + table +
                           " FOR EACH ROW EXECUTE FUNCTION refuse();"
                     : "CREATE TRIGGER i_" + table + " BEFORE INSERT ON " + table +
                           " BEGIN SELECT RAISE(ABORT, 'refused'); END; CREATE TRIGGER d_" + table +
                           " BEFORE DELETE ON " + table +
                           " BEGIN SELECT RAISE(ABORT, 'refused'); END;";
    ASSERT_EQ(runSql(settings.location, refuse), "");
    testing::internal::CaptureStderr();
    // clang-format off
    const std::function<StoreAnswer()> writes[] = {
        [&] { return b.store({"B", 6}, soon()); }, [&] { return b.store({"A", 5}, soon()); },
        [&] { return b.storeReplay({"B", 6}, "b", "r", soon()); },
        [&] { return b.storeReplay({"A", 5}, "a", "r", soon()); },
        [&] { return b.remove({"A", 5}, soon()); }, [&] { return b.setBanned("C", true, soon()); },
    };
    // clang-format on
    for (size_t i = 0; i < std::size(writes); ++i) {
        EXPECT_EQ(writes[i](), StoreAnswer::unavailable) << "write " << i;
        EXPECT_EQ(listedScores(store), "A 5 -;") << "write " << i;
    }
    ASSERT_EQ(runSql(settings.location, "ALTER TABLE scores RENAME TO kept"), "");
    EXPECT_EQ(listedScores(store) + listedScores(store), "unavailableunavailable");
    std::string reported = testing::internal::GetCapturedStderr();
    ASSERT_EQ(runSql(settings.location, "ALTER TABLE kept RENAME TO scores"), "");
    // Two lines, the first with the trigger's reason, each naming the store.
    const std::string subject = "orbelle-score-server: " +
                                (pg ? std::string("database") : settings.location) + ": ",
                      told = "; requests are answered with 503\n";
    const size_t first = reported.find(told) + told.size();
    EXPECT_EQ(reported.rfind(subject, 0), 0u) << reported;
    EXPECT_EQ(reported.find(subject, first), first) << reported;
    EXPECT_EQ(reported.find(told, first) + told.size(), reported.size()) << reported;
    EXPECT_NE(reported.substr(0, first).find("refused"), std::string::npos) << reported;
}
