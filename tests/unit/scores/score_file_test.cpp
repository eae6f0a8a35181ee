#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "scores/high_score_table.h"

namespace {
using Bytes = std::vector<unsigned char>;

class ScoreFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/orbelle-scores-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string path(const std::string& name) const { return dir + "/" + name; }

    std::vector<std::string> listDir() const {
        std::vector<std::string> names;
        DIR* d = opendir(dir.c_str());
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(d);
        return names;
    }

    std::string dir;
};

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes record(int32_t score, const std::string& name, uint32_t length, uint32_t capacity = 15) {
    Bytes r(32, 0);
    for (int i = 0; i < 4; ++i)
        r[i] = uint8_t(uint32_t(score) >> (8 * i));
    for (size_t i = 0; i < name.size() && i < 16; ++i)
        r[8 + i] = uint8_t(name[i]);
    for (int i = 0; i < 4; ++i)
        r[24 + i] = uint8_t(length >> (8 * i));
    for (int i = 0; i < 4; ++i)
        r[28 + i] = uint8_t(capacity >> (8 * i));
    return r;
}

Bytes fileOf(const std::vector<Bytes>& records) {
    Bytes all;
    for (const auto& r : records)
        all.insert(all.end(), r.begin(), r.end());
    return all;
}

HighScoreTable sampleTable() {
    HighScoreTable table;
    const char* names[10] = {"",    "A", "ABCDEFGHIJKLMNO", "x y", "~!@#$%^&*()_+{}",
                             "Zed", "q", "negative",        "min", "max"};
    int32_t scores[10] = {0, -1, 15, 999999, -42, 7, 123456789, -2000000000, INT32_MIN, INT32_MAX};
    for (int k = 0; k < 10; ++k)
        table.entries[k] = HighScoreEntry(scores[k], names[k]);
    return table;
}

void expectSameTable(const HighScoreTable& a, const HighScoreTable& b) {
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(a.entries[k].score, b.entries[k].score) << "entry " << k;
        EXPECT_EQ(a.entries[k].name, b.entries[k].name) << "entry " << k;
    }
}
} // namespace

TEST_F(ScoreFile, RecordBytesAreLittleEndianWithInlineName) {
    HighScoreTable table;
    table.entries[0] = HighScoreEntry(12345, "Al");
    table.entries[1] = HighScoreEntry(-2, "");
    table.entries[2] = HighScoreEntry(1, "ABCDEFGHIJKLMNO");
    table.save(path("hisc.dat").c_str());
    Bytes bytes = readFile(path("hisc.dat"));
    ASSERT_EQ(bytes.size(), 320u);

    Bytes al = {0x39, 0x30, 0, 0, 0, 0, 0, 0, 0x41, 0x6C, 0, 0, 0,    0, 0, 0,
                0,    0,    0, 0, 0, 0, 0, 0, 0x02, 0,    0, 0, 0x0F, 0, 0, 0};
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 32), al);
    EXPECT_EQ(Bytes(bytes.begin() + 32, bytes.begin() + 64), record(-2, "", 0));
    EXPECT_EQ(Bytes(bytes.begin() + 64, bytes.begin() + 96), record(1, "ABCDEFGHIJKLMNO", 15));
    for (int k = 3; k < 10; ++k)
        EXPECT_EQ(Bytes(bytes.begin() + 32 * k, bytes.begin() + 32 * k + 32),
                  record(1, "Tester", 6));

    // The in-memory image agrees with the file.
    Bytes image(320);
    writeScoresToBytes(table, image.data());
    EXPECT_EQ(image, bytes);
}

TEST_F(ScoreFile, SaveAndLoadReproduceEveryEntry) {
    HighScoreTable saved = sampleTable();
    saved.save(path("hisc.dat").c_str());
    HighScoreTable loaded;
    loaded.load(path("hisc.dat").c_str());
    expectSameTable(loaded, saved);

    // Saving over an existing file replaces it completely.
    HighScoreTable().save(path("hisc.dat").c_str());
    loaded.load(path("hisc.dat").c_str());
    expectSameTable(loaded, HighScoreTable());
    EXPECT_EQ(listDir(), std::vector<std::string>{"hisc.dat"});
}

TEST_F(ScoreFile, MissingOrEmptyFileLeavesTheTable) {
    HighScoreTable table = sampleTable();
    table.load(path("nothing-here.dat").c_str());
    expectSameTable(table, sampleTable());

    writeFile(path("empty.dat"), {});
    table.load(path("empty.dat").c_str());
    expectSameTable(table, sampleTable());

    table.load(dir.c_str()); // a directory reads as nothing
    expectSameTable(table, sampleTable());
}

TEST_F(ScoreFile, ShortFileReplacesOnlyItsWholeRecords) {
    std::vector<Bytes> records;
    for (int k = 0; k < 10; ++k)
        records.push_back(record(1000 - k, "n" + std::to_string(k), 2));
    Bytes full = fileOf(records);

    Bytes shortFile(full.begin(), full.begin() + 100); // three records and 4 bytes of one
    writeFile(path("short.dat"), shortFile);
    HighScoreTable table = sampleTable();
    table.load(path("short.dat").c_str());
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(table.entries[k].score, 1000 - k);
        EXPECT_EQ(table.entries[k].name, "n" + std::to_string(k));
    }
    HighScoreTable untouched = sampleTable();
    for (int k = 3; k < 10; ++k) {
        EXPECT_EQ(table.entries[k].score, untouched.entries[k].score);
        EXPECT_EQ(table.entries[k].name, untouched.entries[k].name);
    }

    Bytes longFile = full;
    longFile.resize(400, 0xAB);
    writeFile(path("long.dat"), longFile);
    table.load(path("long.dat").c_str());
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(table.entries[k].score, 1000 - k);
}

TEST_F(ScoreFile, ReaderTrustsNeitherLengthNorCapacity) {
    Bytes noiseAfterName = record(9, "Bob", 3);
    noiseAfterName[4] = 0xFF; // reserved slot
    noiseAfterName[7] = 0x12;
    noiseAfterName[12] = 'Q'; // after the terminating zero
    noiseAfterName[23] = 'Z';

    Bytes hugeLength = record(8, "Eve", 0xFFFFFFFFu);
    Bytes noTerminator = record(7, "0123456789ABCDEF", 200, 31); // 16 bytes, no zero
    Bytes lengthCuts = record(6, "Mallory", 3);
    Bytes bigCapacity = record(5, "Ptr", 3, 0x10000);
    Bytes oddBytes = record(4, std::string("\x01\x7f\xff", 3), 3);

    std::vector<Bytes> records = {noiseAfterName, hugeLength,  noTerminator,
                                  lengthCuts,     bigCapacity, oddBytes};
    while (records.size() < 10)
        records.push_back(record(0, "", 0));
    writeFile(path("odd.dat"), fileOf(records));

    HighScoreTable table;
    table.load(path("odd.dat").c_str());
    EXPECT_EQ(table.entries[0].name, "Bob");
    EXPECT_EQ(table.entries[0].score, 9);
    EXPECT_EQ(table.entries[1].name, "Eve");
    EXPECT_EQ(table.entries[2].name, "0123456789ABCDE");
    EXPECT_EQ(table.entries[3].name, "Mal");
    EXPECT_EQ(table.entries[4].name, "Ptr");
    EXPECT_EQ(table.entries[5].name, std::string("\x01\x7f\xff", 3));
    EXPECT_EQ(table.entries[9].name, "");
}

TEST_F(ScoreFile, RandomBytesAlwaysGiveValidEntries) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        Bytes bytes(random() % 400);
        for (auto& b : bytes)
            b = uint8_t(random());
        HighScoreTable table;
        loadScoresFromBytes(table, bytes.data(), bytes.size());
        size_t whole = std::min<size_t>(bytes.size() / 32, 10);
        for (size_t k = 0; k < 10; ++k) {
            const HighScoreEntry& entry = table.entries[k];
            EXPECT_LE(entry.name.size(), 15u);
            EXPECT_EQ(entry.name.find('\0'), std::string::npos);
            if (k >= whole) {
                EXPECT_EQ(entry.name, "Tester");
                EXPECT_EQ(entry.score, 1);
            }
        }
        // What was read saves back as records this game writes and reads again unchanged.
        Bytes image(320);
        writeScoresToBytes(table, image.data());
        HighScoreTable again;
        loadScoresFromBytes(again, image.data(), image.size());
        expectSameTable(again, table);
    }
}

TEST_F(ScoreFile, FailedSaveLeavesTheOldFileAndNoLitter) {
    HighScoreTable old = sampleTable();
    old.save(path("hisc.dat").c_str());
    Bytes before = readFile(path("hisc.dat"));
    HighScoreTable changed;
    changed.entries[0] = HighScoreEntry(77, "new");

    // Directory missing, or "directory" that is a plain file: nothing happens, nothing crashes.
    changed.save(path("no-such-dir/hisc.dat").c_str());
    changed.save(path("hisc.dat/inner.dat").c_str());
    EXPECT_EQ(readFile(path("hisc.dat")), before);

    // The target is a directory: the rename cannot replace it and the temp file goes away.
    ASSERT_EQ(mkdir(path("taken.dat").c_str(), 0755), 0);
    changed.save(path("taken.dat").c_str());
    struct stat info;
    ASSERT_EQ(stat(path("taken.dat").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    std::vector<std::string> names = listDir();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"hisc.dat", "taken.dat"}));
}

TEST_F(ScoreFile, WriteFailingHalfwayKeepsTheOldFile) {
    HighScoreTable old = sampleTable();
    old.save(path("hisc.dat").c_str());
    Bytes before = readFile(path("hisc.dat"));

    // A file size limit makes the write stop after 100 bytes, as a full disk would.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    HighScoreTable changed;
    changed.entries[0] = HighScoreEntry(77, "new");
    changed.save(path("hisc.dat").c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(readFile(path("hisc.dat")), before);
    EXPECT_EQ(listDir(), std::vector<std::string>{"hisc.dat"});

    changed.save(path("hisc.dat").c_str()); // the next save goes through
    HighScoreTable loaded;
    loaded.load(path("hisc.dat").c_str());
    expectSameTable(loaded, changed);
}

TEST_F(ScoreFile, LeftoverTempFileFromACrashIsHarmless) {
    sampleTable().save(path("hisc.dat").c_str());
    // What a save killed before its rename leaves behind: a partial file beside the target.
    writeFile(path("hisc.dat.Ab12Cd"), Bytes(50, 0xEE));
    HighScoreTable loaded;
    loaded.load(path("hisc.dat").c_str());
    expectSameTable(loaded, sampleTable());

    HighScoreTable next;
    next.entries[0] = HighScoreEntry(3, "after");
    next.save(path("hisc.dat").c_str());
    loaded.load(path("hisc.dat").c_str());
    expectSameTable(loaded, next);
}

TEST_F(ScoreFile, SavedFileIsReadableLikeAnyNewFile) {
    mode_t mask = umask(022);
    HighScoreTable().save(path("hisc.dat").c_str());
    umask(mask);
    struct stat info;
    ASSERT_EQ(stat(path("hisc.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}
