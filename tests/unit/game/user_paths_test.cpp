#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "game/user_paths.h"
#include "tests/support/test_game.h"

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
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : account->pw_dir;
    for (const char* value : {"/somewhere/else", "", "relative", (const char*)nullptr}) {
        value ? setenv("HOME", value, 1) : unsetenv("HOME");
        EXPECT_EQ(homeDir(), value && *value == '/' ? value : account->pw_dir) << value;
    }
    setenv("HOME", home.c_str(), 1);
}

// An older version kept config.txt beside hisc.dat: it moves once, whole (also to another file
// system, /dev/shm where that is one, which takes a copy), and never over a newer one.
TEST(UserPaths, OldConfigMovesOnceWholeAndNeverOverwrites) {
    ScratchDirectory dir;
    const std::string settings = std::string(5000, ' ') + "1024 768 32 0 1 1\nshake 0";
    for (const std::string& oldFolder : {dir.path + "/dat", "/dev/shm/" + dir.path.substr(5)}) {
        const std::string oldFile = oldFolder + "/config.txt",
                          newFile = dir.path + "/cfg/config.txt";
        ASSERT_TRUE(makeDirectories(oldFolder) && makeDirectories(dir.path + "/cfg"));
        std::filesystem::remove(newFile);
        writeWholeFile(oldFile.c_str(), settings);
        EXPECT_TRUE(moveOldConfig(oldFile, newFile)) << oldFolder;
        EXPECT_EQ(readWholeFile(newFile.c_str()), settings) << oldFolder;
        EXPECT_FALSE(std::filesystem::exists(oldFile)) << oldFolder;

        writeWholeFile(oldFile.c_str(), "640 480 16 1 1 1");
        EXPECT_FALSE(moveOldConfig(oldFile, newFile));
        EXPECT_EQ(readWholeFile(newFile.c_str()), settings);
        EXPECT_EQ(readWholeFile(oldFile.c_str()), "640 480 16 1 1 1");
        std::filesystem::remove_all(oldFolder);
    }
    EXPECT_FALSE(moveOldConfig(dir.path + "/none.txt", dir.path + "/other.txt"));
    // Into a folder the player may not write, from another file system: no move, nothing lost
    // (root gives up its rights for this in a child of its own).
    const std::string shm = "/dev/shm/" + dir.path.substr(5) + "-old";
    ASSERT_TRUE(makeDirectories(shm) && makeDirectories(dir.path + "/locked"));
    writeWholeFile((shm + "/config.txt").c_str(), "640 480 16 1 1 1");
    ASSERT_EQ(chmod((dir.path + "/locked").c_str(), 0555) + chmod(dir.path.c_str(), 0755) +
                  chmod(shm.c_str(), 0777),
              0);
    const pid_t child = fork();
    if (child == 0)
        _exit((geteuid() != 0 || setuid(65534) == 0) &&
                      !moveOldConfig(shm + "/config.txt", dir.path + "/locked/config.txt")
                  ? 0
                  : 1);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0) << "the move did not fail as it should";
    EXPECT_EQ(readWholeFile((shm + "/config.txt").c_str()), "640 480 16 1 1 1");
    std::filesystem::remove_all(shm);
}

// An installed game looks for its data beside its own folder first, so that a prefix moved
// elsewhere still finds it, then where it was installed; started by name alone (found on
// PATH), only there.
TEST(UserPaths, InstalledDataIsLookedForBesideTheProgramFirst) {
    const std::vector<std::string> moved = installedDataCandidates("/opt/o/bin/orbelle");
    ASSERT_FALSE(moved.empty());
    EXPECT_EQ(moved[0].rfind("/opt/o/", 0), 0u) << moved[0];
    EXPECT_EQ(installedDataCandidates("orbelle").size(), moved.size() - 1);
}
