#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <fstream>

#include "engine/data_root.h"
#include "engine/tessel.h"
#include "game/user_paths.h"
#include "tests/unit/game/shell_test_support.h"

namespace {
// Sets an environment variable for one scope; nullptr unsets it.
struct EnvironmentValue {
    EnvironmentValue(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name))
            saved = old, hadValue = true;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvironmentValue() { hadValue ? setenv(name, saved.c_str(), 1) : unsetenv(name); }
    const char* name;
    std::string saved;
    bool hadValue = false;
};

mode_t permissions(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}
} // namespace

TEST(UserPaths, UserFolderFollowsXdgDataHomeOnlyWhenAbsolute) {
    EXPECT_EQ(userFilesDir("/x/data", "/home/p"), "/x/data/orbelle");
    EXPECT_EQ(userFilesDir(nullptr, "/home/p"), "/home/p/.local/share/orbelle");
    EXPECT_EQ(userFilesDir("", "/home/p"), "/home/p/.local/share/orbelle");
    EXPECT_EQ(userFilesDir("relative/data", "/home/p"), "/home/p/.local/share/orbelle");
    EXPECT_EQ(userFilesDir(nullptr, ""), "");
    EXPECT_EQ(userFilesDir("/x/data", ""), "/x/data/orbelle");
}

TEST(UserPaths, HomeFallsBackToTheAccountWhenHomeIsMissingOrRelative) {
    const passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    const std::string accountHome = account->pw_dir;
    {
        EnvironmentValue home("HOME", "/somewhere/else");
        EXPECT_EQ(homeDir(), "/somewhere/else");
    }
    for (const char* value : {(const char*)nullptr, "", "relative"}) {
        EnvironmentValue home("HOME", value);
        EXPECT_EQ(homeDir(), accountHome) << (value ? value : "(unset)");
    }
}

TEST(UserPaths, MakeDirectoriesCreatesPrivateParentsAndRefusesFiles) {
    ScratchDirectory dir;
    const std::string deep = dir.path + "/home/.local/share/orbelle";
    EXPECT_TRUE(makeDirectories(deep));
    EXPECT_EQ(permissions(deep), 0700u);
    EXPECT_EQ(permissions(dir.path + "/home/.local"), 0700u);
    EXPECT_TRUE(makeDirectories(deep)); // already there
    writeWholeFile("plain", "x");
    EXPECT_FALSE(makeDirectories(dir.path + "/plain"));
    EXPECT_FALSE(makeDirectories(dir.path + "/plain/orbelle"));
    EXPECT_FALSE(makeDirectories(""));
}

TEST(UserPaths, InstalledDataIsFoundBesideTheExecutable) {
    ScratchDirectory dir;
    const std::string root = dir.path + "/prefix/bin/" + dataRootFromExecutable;
    const std::string executable = dir.path + "/prefix/bin/orbelle";
    // No data yet, then an empty data/ folder: whatever is found, it is not this installation.
    ASSERT_TRUE(makeDirectories(dir.path + "/prefix/bin"));
    EXPECT_EQ(findInstalledDataRoot(executable).rfind(dir.path, 0), std::string::npos);
    ASSERT_TRUE(makeDirectories(root + "/data"));
    EXPECT_EQ(findInstalledDataRoot(executable).rfind(dir.path, 0), std::string::npos);
    writeWholeFile((root + "/" + dataMarkerFile).c_str(), "picture");
    char canonical[PATH_MAX];
    ASSERT_NE(realpath(root.c_str(), canonical), nullptr);
    EXPECT_EQ(findInstalledDataRoot(executable), canonical);
}

// The engine reads the game's relative data names from the root, wherever the game runs; with
// data/ in the working directory nothing moves.
TEST(UserPaths, EngineReadsDataFromTheRootAndSourceTreeRunsStayPut) {
    ScratchDirectory dir;
    TSLSoundSample sample;
    EXPECT_FALSE(sample.LoadFromFile("data/blip.wav"));
    TSLSetDataRoot(ScratchDirectory::sourceDirectory());
    EXPECT_TRUE(sample.LoadFromFile("data/blip.wav"));
    EXPECT_EQ(tslDataPath("/abs/file"), "/abs/file");
    TSLSetDataRoot("");

    dir.linkData();
    setUpUserPaths();
    char* cwd = getcwd(nullptr, 0);
    EXPECT_EQ(std::string(cwd), dir.path);
    std::free(cwd);
    EXPECT_EQ(tslDataPath("data/bg.tga"), "data/bg.tga");
}
