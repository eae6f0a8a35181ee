#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "game/user_paths.h"

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
