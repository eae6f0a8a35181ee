#include <gtest/gtest.h>
#include <pwd.h>

#include <cstdlib>
#include <filesystem>

#include "engine/data_root.h"
#include "game/config.h"
#include "game/user_paths.h"
#include "hiscore/high_score_table.h"
#include "tests/support/test_game.h"

namespace fs = std::filesystem;

namespace {
// Sets an environment variable (nullptr unsets it) for the scope, then puts it back.
struct ScopedEnv {
    ScopedEnv(const char* name, const char* value) : name(name) {
        const char* old = std::getenv(name);
        had = old != nullptr;
        saved = old ? old : "";
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { had ? setenv(name, saved.c_str(), 1) : unsetenv(name); }
    const char* name;
    bool had;
    std::string saved;
};

// A prefix/bin/orbelle whose installed data folder holds the game's marker file.
std::string makeInstalledGame(const std::string& prefix) {
    const std::string bin = prefix + "/bin/";
    makeDirectories(bin + dataRootFromExecutable + "/data");
    writeWholeFile((bin + dataRootFromExecutable + "/" + dataMarkerFile).c_str(), "picture");
    return bin + "orbelle";
}
} // namespace

// The XDG variables count only when absolute, HOME only when absolute (else the account's home).
TEST(UserPaths, UserFoldersFollowAbsoluteXdgVariablesAndHome) {
    EXPECT_EQ(xdgUserDir("/x/config", "/home/p", ".config"), "/x/config/orbelle");
    for (const char* xdg : {(const char*)nullptr, "", "relative/data"})
        EXPECT_EQ(xdgUserDir(xdg, "/home/p", ".local/share"), "/home/p/.local/share/orbelle")
            << xdg;
    EXPECT_EQ(xdgUserDir(nullptr, "", ".config"), "");
    EXPECT_EQ(xdgUserDir("/x/data", "", ".local/share"), "/x/data/orbelle");

    const passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    for (const char* value : {"/somewhere/else", "", "relative", (const char*)nullptr}) {
        ScopedEnv home("HOME", value);
        EXPECT_EQ(homeDir(), value && *value == '/' ? value : account->pw_dir) << value;
    }
}

TEST(UserPaths, MakeDirectoriesCreatesPrivateParentsAndRefusesFiles) {
    ScratchDirectory dir;
    const std::string deep = dir.path + "/home/.local/share/orbelle";
    EXPECT_TRUE(makeDirectories(deep));
    EXPECT_TRUE(makeDirectories(deep)); // the second time already there
    for (const std::string& made : {deep, dir.path + "/home/.local"})
        EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made;
    writeWholeFile("plain", "x");
    for (const std::string& path : {dir.path + "/plain", dir.path + "/plain/x", std::string()})
        EXPECT_FALSE(makeDirectories(path)) << path;
}

// Only the program built in the build tree plays from the source tree and the working
// directory, whatever that directory holds.
TEST(UserPaths, BuildTreeGameIsToldByWhereItLivesNotByTheWorkingDirectory) {
    ScratchDirectory dir; // no data/ here
    UserPaths paths;
    ASSERT_TRUE(findUserPaths(std::string(ORBELLE_TEST_BUILD_DIR) + "/orbelle", paths));
    EXPECT_EQ(paths.dataRoot, ScratchDirectory::sourceDirectory());
    EXPECT_EQ(paths.configDir + paths.scoreDir, "");
    EXPECT_FALSE(isBuildTreeExecutable(std::string(ORBELLE_TEST_BUILD_DIR) + "/tests/orbelle"));
}

TEST(UserPaths, InstalledGameKeepsSettingsAndScoresInTheirXdgFolders) {
    ScratchDirectory dir;
    const std::string game = makeInstalledGame(dir.path + "/prefix");
    const std::string cfg = dir.path + "/cfg", dat = dir.path + "/dat";
    struct Case {
        const char *configHome, *dataHome;
        std::string configDir, scoreDir;
    };
    const Case cases[] = {
        {nullptr, nullptr, "/home/.config/orbelle", "/home/.local/share/orbelle"},
        {"relative", "", "/home/.config/orbelle", "/home/.local/share/orbelle"},
        {cfg.c_str(), dat.c_str(), "/cfg/orbelle", "/dat/orbelle"},
    };
    ScopedEnv home("HOME", (dir.path + "/home").c_str());
    for (const Case& c : cases) {
        ScopedEnv config("XDG_CONFIG_HOME", c.configHome), data("XDG_DATA_HOME", c.dataHome);
        UserPaths paths;
        ASSERT_TRUE(findUserPaths(game, paths));
        EXPECT_EQ(paths.dataRoot, fs::canonical(dir.path + "/prefix/share/orbelle").string());
        EXPECT_EQ(paths.configDir, dir.path + c.configDir);
        EXPECT_EQ(paths.scoreDir, dir.path + c.scoreDir);
    }
    EXPECT_FALSE(fs::exists(dir.path + "/home")); // deciding creates nothing
}

// The settings an earlier version kept beside hisc.dat move once; settings already in the new
// folder are never replaced.
TEST(UserPaths, OldConfigMovesOnceAndNeverOverwrites) {
    ScratchDirectory dir;
    UserPaths paths{dir.path, dir.path + "/cfg/orbelle", dir.path + "/dat/orbelle"};
    makeDirectories(paths.scoreDir);
    const std::string oldFile = paths.scoreDir + "/config.txt";
    const std::string newFile = paths.configDir + "/config.txt";
    writeWholeFile(oldFile.c_str(), "1024 768 32 0 1 1");
    testing::internal::CaptureStderr();
    setUpUserPaths(paths);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::string(configFile), newFile);
    EXPECT_EQ(std::string(localScoreFile), paths.scoreDir + "/hisc.dat");
    EXPECT_EQ(tslDataPath("data/bg.tga"), dir.path + "/data/bg.tga");
    EXPECT_EQ(readWholeFile(newFile.c_str()), "1024 768 32 0 1 1");
    EXPECT_FALSE(fs::exists(oldFile));

    writeWholeFile(oldFile.c_str(), "640 480 16 1 1 1");
    EXPECT_FALSE(moveOldConfig(oldFile, newFile));
    EXPECT_EQ(readWholeFile(newFile.c_str()), "1024 768 32 0 1 1");
    EXPECT_EQ(readWholeFile(oldFile.c_str()), "640 480 16 1 1 1");
    EXPECT_FALSE(moveOldConfig(dir.path + "/none.txt", dir.path + "/other.txt"));

    // Without a home the files go to the working directory; this also puts the test's paths back.
    setUpUserPaths(UserPaths{"", "", ""});
    EXPECT_EQ(std::string(configFile) + " " + localScoreFile, "config.txt hisc.dat");
}
