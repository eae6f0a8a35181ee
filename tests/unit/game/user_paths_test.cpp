#include <gtest/gtest.h>
#include <pwd.h>

#include <cstdlib>
#include <filesystem>

#include "engine/data_root.h"
#include "engine/tessel.h"
#include "game/user_paths.h"
#include "tests/unit/game/shell_test_support.h"

namespace fs = std::filesystem;

// XDG_DATA_HOME counts only when absolute, HOME only when absolute (else the account's home).
TEST(UserPaths, UserFolderFollowsAbsoluteXdgDataHomeAndHome) {
    EXPECT_EQ(userFilesDir("/x/data", "/home/p"), "/x/data/orbelle");
    for (const char* xdg : {(const char*)nullptr, "", "relative/data"})
        EXPECT_EQ(userFilesDir(xdg, "/home/p"), "/home/p/.local/share/orbelle") << xdg;
    EXPECT_EQ(userFilesDir(nullptr, ""), "");
    EXPECT_EQ(userFilesDir("/x/data", ""), "/x/data/orbelle");

    const passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    const std::string saved = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const char* value : {"/somewhere/else", "", "relative", (const char*)nullptr}) {
        value ? setenv("HOME", value, 1) : unsetenv("HOME");
        EXPECT_EQ(homeDir(), value && *value == '/' ? value : account->pw_dir) << value;
    }
    saved.empty() ? unsetenv("HOME") : setenv("HOME", saved.c_str(), 1);
}

TEST(UserPaths, MakeDirectoriesCreatesPrivateParentsAndRefusesFiles) {
    ScratchDirectory dir;
    const std::string deep = dir.path + "/home/.local/share/orbelle";
    EXPECT_TRUE(makeDirectories(deep) && makeDirectories(deep)); // the second time already there
    for (const std::string& made : {deep, dir.path + "/home/.local"})
        EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made;
    writeWholeFile("plain", "x");
    EXPECT_FALSE(makeDirectories(dir.path + "/plain") || makeDirectories(dir.path + "/plain/x") ||
                 makeDirectories(""));
}

// An empty data/ folder beside the executable is no installation; one with its marker is. The
// engine then reads the game's relative data names from the root, but with data/ in the working
// directory nothing moves.
TEST(UserPaths, InstalledDataIsFoundAndSourceTreeRunsStayPut) {
    ScratchDirectory dir;
    const std::string bin = dir.path + "/prefix/bin/", root = bin + dataRootFromExecutable;
    ASSERT_TRUE(makeDirectories(root + "/data"));
    EXPECT_EQ(findInstalledDataRoot(bin + "orbelle").rfind(dir.path, 0), std::string::npos);
    writeWholeFile((root + "/" + dataMarkerFile).c_str(), "picture");
    EXPECT_EQ(findInstalledDataRoot(bin + "orbelle"), fs::canonical(root).string());

    TSLSoundSample sample; // the scratch folder has no data/ of its own
    TSLSetDataRoot(ScratchDirectory::sourceDirectory());
    EXPECT_TRUE(sample.LoadFromFile("data/blip.wav"));
    TSLSetDataRoot("");
    dir.linkData();
    setUpUserPaths();
    EXPECT_EQ(fs::current_path().string(), dir.path);
    EXPECT_EQ(tslDataPath("data/bg.tga"), "data/bg.tga");
}
