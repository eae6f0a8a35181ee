#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "game/command_line.h"
#include "tests/support/test_game.h"

// Options for playing come in any number and order, the last window choice winning; --help and
// --version come alone.
TEST(CommandLine, HelpAndVersionPrintAndEndPlayOptionsAreTakenOtherArgumentsAreNamed) {
    const struct {
        std::vector<const char*> args;
        int status;
        const char *out, *err, *options; // window (a, f, w), music off, sound off, replay
    } cases[] = {
        {{"orbelle"}, playOn, "", "", "a00"},
        {{"orbelle", "--help"},
         0,
         "Usage: orbelle [--fullscreen | --window] [--no-music] "
         "[--no-sound] [--replay FILE]\n",
         "",
         "a00"},
        {{"orbelle", "--version"}, 0, "orbelle 1.0\n", "", "a00"},
        {{"orbelle", "--fullscreen", "--no-sound"}, playOn, "", "", "f01"},
        {{"orbelle", "--no-music", "--fullscreen", "--window"}, playOn, "", "", "w10"},
        {{"orbelle", "--window", "--fullscreen"}, playOn, "", "", "f00"},
        {{"orbelle", "--bogus"}, 2, "", "'--bogus'", "a00"},
        {{"orbelle", "-h"}, 2, "", "'-h'", "a00"},
        {{"orbelle", "--help", "x"}, 2, "", "'x'", "a00"},
        {{"orbelle", "--version", "y"}, 2, "", "'y'", "a00"},
        {{"orbelle", "--window", "--help"}, 2, "", "'--help'", "w00"},
        {{"orbelle", "--no-music", "--full"}, 2, "", "'--full'", "a10"},
        {{"orbelle", ""}, 2, "", "''", "a00"},
        {{"orbelle", "--replay", "r.orbr", "--window"}, playOn, "", "", "w00r.orbr"},
        {{"orbelle", "--no-sound", "--replay"}, 2, "", "'--replay'", "a01"},
        {{"orbelle", "--verify", "a", "b"}, 2, "", "'--verify'", "a00"},
    };
    const auto unknown = [](const std::string& quoted) {
        return quoted.empty() ? quoted
                              : "orbelle: unknown argument " + quoted + " (try 'orbelle --help')\n";
    };
    for (const auto& c : cases) {
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        ASSERT_TRUE(out && err);
        RunOptions options;
        const int status = handleCommandLine(int(c.args.size()), const_cast<char**>(c.args.data()),
                                             out, err, options);
        const std::string taken =
            std::string{"afw"[int(options.window)], char('0' + options.noMusic),
                        char('0' + options.noSound)} +
            options.replayFile;
        const std::string said = textOf(out);
        // Of the help, its first line.
        EXPECT_EQ(
            std::make_tuple(status, said.substr(0, said.find('\n') + 1), textOf(err), taken),
            std::make_tuple(c.status, std::string(c.out), unknown(c.err), std::string(c.options)))
            << c.args.back();
    }
}
