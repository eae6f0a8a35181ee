#include <gtest/gtest.h>

#include <vector>

#include "server/server_options.h"

namespace {
// The status and the options read, as "status port page uploads threads listen db [quiet]
// connections per-address idle memory request-line header store [password-file]", then the
// first line of any complaint.
std::string parsed(std::vector<const char*> args) {
    args.insert(args.begin(), "orbelle-score-server");
    ServerOptions o;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    int status = parseServerOptions(int(args.size()), const_cast<char**>(args.data()), &o);
    testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    return std::to_string(status) + " " + std::to_string(o.port) + " " +
           std::to_string(o.pageSize) + " " + std::to_string(o.uploadsPerMinute) + " " +
           std::to_string(o.limits.threads) + " " + o.listenAddress + " " + o.databasePath +
           (o.quiet ? " quiet " : " ") + std::to_string(o.limits.connections) + " " +
           std::to_string(o.limits.connectionsPerAddress) + " " +
           std::to_string(o.limits.idleSeconds) + " " +
           std::to_string(o.limits.memoryPerConnection) + " " +
           std::to_string(o.limits.requestLineLength) + " " +
           std::to_string(o.limits.headerSeconds) + " " + std::to_string(o.storeMillis) +
           (o.passwordFile.empty() ? "" : " " + o.passwordFile) +
           (err.empty() ? "" : " | " + err.substr(0, err.find('\n')));
}
} // namespace

TEST(ServerOptions, NumbersInTheirRangesAddressesAndFlags) {
    const std::string defaults =
        " 8765 100 120 0 127.0.0.1 orbelle-scores.db 4096 32 10 32768 1024 5 2000";
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{}, "-1" + defaults},
        {{"--port", "65535", "--page-size", "1000", "--upload-limit=0", "--threads", "256",
          "--listen", "::1", "--db", "x.db", "--quiet"},
         "-1 65535 1000 0 256 ::1 x.db quiet 4096 32 10 32768 1024 5 2000"},
        {{"--port", "0", "--page-size", "1", "--max-connections", "1", "--max-per-address", "0",
          "--timeout", "86400", "--connection-memory", "4096", "--max-request-line", "16777216"},
         "-1 0 1 120 0 127.0.0.1 orbelle-scores.db 1 0 86400 4096 16777216 5 2000"},
        {{"--header-timeout", "1", "--store-timeout", "100", "--db", "postgres://h/d",
          "--db-password-file", "pw"},
         "-1 8765 100 120 0 127.0.0.1 postgres://h/d 4096 32 10 32768 1024 1 100 pw"},
        {{"--header-timeout", "3600", "--store-timeout", "60000"},
         "-1 8765 100 120 0 127.0.0.1 orbelle-scores.db 4096 32 10 32768 1024 3600 60000"},
        {{"--header-timeout", "3601"},
         "2" + defaults +
             " | orbelle-score-server: bad value (1 to 3600) for --header-timeout '3601'"},
        {{"--store-timeout", "99"},
         "2" + defaults +
             " | orbelle-score-server: bad value (100 to 60000) for --store-timeout '99'"},
        {{"--db-password-file", "pw"},
         "2" + defaults + " pw | orbelle-score-server: a postgresql:// --db is needed for " +
             "--db-password-file"},
        {{"--max-connections", "0"},
         "2" + defaults +
             " | orbelle-score-server: bad value (1 to "
             "1000000) for --max-connections '0'"},
        {{"--timeout", "0"},
         "2" + defaults +
             " | orbelle-score-server: bad value (1 to 86400) "
             "for --timeout '0'"},
        {{"--connection-memory", "4095"},
         "2" + defaults +
             " | orbelle-score-server: bad value "
             "(4096 to 16777216) for "
             "--connection-memory '4095'"},
        {{"--threads", "257"},
         "2" + defaults +
             " | orbelle-score-server: bad value (0 to 256) "
             "for --threads '257'"},
        {{"--port", "65536"},
         "2" + defaults + " | orbelle-score-server: bad value (0 to 65535) for --port '65536'"},
        {{"--page-size", "0"},
         "2" + defaults +
             " | orbelle-score-server: bad value (1 to 1000) "
             "for --page-size '0'"},
        {{"--page-size", "1001"},
         "2" + defaults +
             " | orbelle-score-server: bad value (1 to "
             "1000) for --page-size '1001'"},
        {{"--port", "+5"},
         "2" + defaults +
             " | orbelle-score-server: bad value (0 to 65535) for "
             "--port '+5'"},
        {{"--port", " 5"},
         "2" + defaults +
             " | orbelle-score-server: bad value (0 to 65535) for "
             "--port ' 5'"},
        {{"--port", "5x"},
         "2" + defaults +
             " | orbelle-score-server: bad value (0 to 65535) for "
             "--port '5x'"},
        {{"--listen", "localhost"},
         "2" + defaults +
             " | orbelle-score-server: bad value (a numeric IPv4 or IPv6 address) "
             "for --listen 'localhost'"},
        {{"--port"}, "2" + defaults + " | orbelle-score-server: missing value for --port"},
        {{"--bogus"}, "2" + defaults + " | orbelle-score-server: unknown option --bogus"},
        {{"stray"}, "2" + defaults + " | orbelle-score-server: unexpected argument stray"},
        {{"--help"}, "0" + defaults},
    };
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(parsed(args), expected) << (args.empty() ? "" : args[0]);
}

namespace {
// "status action name score list verified-only replay-cpu replay-queue | complaint".
std::string action(std::vector<const char*> args) {
    args.insert(args.begin(), "orbelle-score-server");
    ServerOptions o;
    testing::internal::CaptureStderr();
    int status = parseServerOptions(int(args.size()), const_cast<char**>(args.data()), &o);
    std::string err = testing::internal::GetCapturedStderr();
    return std::to_string(status) + " " + std::to_string(int(o.action)) + " " +
           testing::PrintToString(o.moderated.name) + " " + std::to_string(o.moderated.score) +
           " " + std::to_string(o.listCount) + (o.verifiedOnly ? " v " : " ") +
           std::to_string(o.replayCpuMillis) + " " + std::to_string(o.replayQueue) +
           (err.empty() ? "" : " | " + err.substr(0, err.find('\n')));
}
} // namespace

// Names come byte for byte, also ones that look like options or numbers.
TEST(ServerOptions, ActionsTakeNamesAsBytes) {
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{}, "-1 0 \"\" 0 0 2000 16"},
        {{"--verified-only", "--replay-cpu", "10", "--replay-queue=4096"},
         "-1 0 \"\" 0 0 v 10 4096"},
        {{"--remove", "J\xFC\x1B", "-2147483648"}, "-1 2 \"J\\xFC\\x1B\" -2147483648 0 2000 16"},
        {{"--remove=-x", "7", "--db", "x.db"}, "-1 2 \"-x\" 7 0 2000 16"},
        {{"--ban", "--list"}, "-1 3 \"--list\" 0 0 2000 16"},
        {{"--remove", "A"},
         "2 2 \"A\" 0 0 2000 16 | orbelle-score-server: a NAME and a SCORE (a whole number) for "
         "--remove"},
        {{"--ban", "A", "--unban", "B"},
         "2 3 \"A\" 0 0 2000 16 | orbelle-score-server: only one of --list, --remove, --ban and "
         "--unban, not also --unban"},
        {{"--list", "0"},
         "2 1 \"\" 0 0 2000 16 | orbelle-score-server: bad value (1 to 1000000) for --list '0'"},
        {{"--ban", "A", "B"},
         "2 3 \"A\" 0 0 2000 16 | orbelle-score-server: unexpected argument B"},
    };
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(action(args), expected) << (args.empty() ? "" : args[0]);
}
