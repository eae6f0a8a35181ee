#include "server/server_options.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>

#include "server/score_request.h"
#include "server/score_store.h"

#ifndef ORBELLE_VERSION
#define ORBELLE_VERSION "unknown"
#endif

namespace {
const char* const program = "orbelle-score-server";
const int usageStatus = 2;

enum OptionId {
    optListen = 256,
    optPort,
    optDb,
    optConnections,
    optPerAddress,
    optTimeout,
    optMemory,
    optRequestLine,
    optThreads,
    optUploadLimit,
    optPageSize,
    optHeaderTimeout,
    optStoreTimeout,
    optPasswordFile,
    optQuiet,
    optVersion,
    optVerifiedOnly,
    optReplayCpu,
    optReplayQueue,
    optList,
    optRemove,
    optBan,
    optUnban,
};

const option longOptions[] = {
    {"listen", required_argument, nullptr, optListen},
    {"port", required_argument, nullptr, optPort},
    {"db", required_argument, nullptr, optDb},
    {"max-connections", required_argument, nullptr, optConnections},
    {"max-per-address", required_argument, nullptr, optPerAddress},
    {"timeout", required_argument, nullptr, optTimeout},
    {"connection-memory", required_argument, nullptr, optMemory},
    {"max-request-line", required_argument, nullptr, optRequestLine},
    {"threads", required_argument, nullptr, optThreads},
    {"upload-limit", required_argument, nullptr, optUploadLimit},
    {"page-size", required_argument, nullptr, optPageSize},
    {"header-timeout", required_argument, nullptr, optHeaderTimeout},
    {"store-timeout", required_argument, nullptr, optStoreTimeout},
    {"db-password-file", required_argument, nullptr, optPasswordFile},
    {"quiet", no_argument, nullptr, optQuiet},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, optVersion},
    {"verified-only", no_argument, nullptr, optVerifiedOnly},
    {"replay-cpu", required_argument, nullptr, optReplayCpu},
    {"replay-queue", required_argument, nullptr, optReplayQueue},
    {"list", required_argument, nullptr, optList},
    {"remove", required_argument, nullptr, optRemove},
    {"ban", required_argument, nullptr, optBan},
    {"unban", required_argument, nullptr, optUnban},
    {nullptr, 0, nullptr, 0},
};

const char* optionName(int id) {
    for (const option& known : longOptions)
        if (known.val == id)
            return known.name;
    return "?";
}

void printHelp(const ServerOptions& d) {
    const ServerLimits& l = d.limits;
    printf("usage: %s [OPTION]...\n"
           "Keeps the internet top ten of Orbelle and serves it over HTTP.\n\n"
           "  --listen ADDR            numeric IPv4 or IPv6 address to listen on (%s)\n"
           "  --port N                 TCP port, 0 for any free one (%d)\n"
           "  --db FILE|URI            SQLite database file, created when missing, or a\n"
           "                           postgresql:// URI of a database that several servers\n"
           "                           may share (%s)\n"
           "  --db-password-file FILE  PostgreSQL's password, read from the file's first line;\n"
           "                           never put one in the URI, where ps shows it\n"
           "  --max-connections N      open connections in all (%u)\n"
           "  --max-per-address N      connections per client (an IPv4 address or an IPv6\n"
           "                           /64), 0 for no limit (%u)\n"
           "  --timeout SECONDS        an idle connection is closed after this (%u)\n"
           "  --header-timeout SECONDS a request's line and headers must arrive within this\n"
           "                           of the connection's opening or last answer (%u)\n"
           "  --store-timeout MS       a request waits this long for the database, then\n"
           "                           gets 503 (%u)\n"
           "  --connection-memory N    bytes per connection; larger headers are refused (%zu)\n"
           "  --max-request-line N     longest request target in bytes (%zu)\n"
           "  --threads N              event loops, 0 for one per processor (%u)\n"
           "  --upload-limit N         uploads a minute per client, 0 for no limit (%u)\n"
           "  --page-size N            entries on the web page and in scores.json (%u)\n"
           "  --verified-only          rank lines, page and scores.json list only entries\n"
           "                           that a replay proves\n"
           "  --replay-cpu MS          CPU time the check of one replay may take (%u)\n"
           "  --replay-queue N         replays waiting for their check, 503 past it (%u)\n"
           "  --quiet                  no access log on standard error\n"
           "  --help                   this text\n"
           "  --version                the version\n\n"
           "Acting on the database and exiting, also while a server runs on it:\n"
           "  --list N                 the best N entries: rank, score, replay, name\n"
           "  --remove NAME SCORE      takes out the entry and its replay\n"
           "  --ban NAME               the name's uploads get 403 from now on\n"
           "  --unban NAME             lets the name upload again\n"
           "A NAME is taken byte for byte: $'J\\xfcrgen' in bash names a Latin-1 name.\n",
           program, d.listenAddress.c_str(), d.port, d.databasePath.c_str(), l.connections,
           l.connectionsPerAddress, l.idleSeconds, l.headerSeconds, d.storeMillis,
           l.memoryPerConnection, l.requestLineLength, l.threads, d.uploadsPerMinute, d.pageSize,
           d.replayCpuMillis, d.replayQueue);
}

int badCommandLine(const char* what, const char* option, const char* value) {
    fprintf(stderr, "%s: %s %s%s%s%s\nTry '%s --help'.\n", program, what, option, value ? " '" : "",
            value ? value : "", value ? "'" : "", program);
    return usageStatus;
}

bool parseNumber(const char* text, unsigned long low, unsigned long high, unsigned long* number) {
    char* end = nullptr;
    errno = 0;
    unsigned long value = strtoul(text, &end, 10);
    bool digitsOnly = text[0] >= '0' && text[0] <= '9';
    if (!digitsOnly || errno != 0 || *end != '\0' || value < low || value > high)
        return false;
    *number = value;
    return true;
}

bool isNumericAddress(const char* text) {
    unsigned char bytes[16];
    return inet_pton(AF_INET, text, bytes) == 1 || inet_pton(AF_INET6, text, bytes) == 1;
}

// Range of each numeric option.
struct NumberRange {
    int id;
    unsigned long low, high;
};

const NumberRange numberRanges[] = {
    {optPort, 0, 65535},
    {optConnections, 1, 1000000},
    {optPerAddress, 0, 1000000},
    {optTimeout, 1, 86400},
    {optMemory, 4096, 1 << 24},
    {optRequestLine, 64, 1 << 24},
    {optThreads, 0, 256},
    {optUploadLimit, 0, 1000000},
    {optPageSize, 1, serverMaxListLength},
    {optHeaderTimeout, 1, 3600},
    {optStoreTimeout, 100, 60000},
    {optReplayCpu, 10, 60000},
    {optReplayQueue, 1, 4096},
    {optList, 1, 1000000},
};

void storeNumber(int id, unsigned long value, ServerOptions* options) {
    ServerLimits& limits = options->limits;
    switch (id) {
    case optPort:
        options->port = int(value);
        break;
    case optConnections:
        limits.connections = unsigned(value);
        break;
    case optPerAddress:
        limits.connectionsPerAddress = unsigned(value);
        break;
    case optTimeout:
        limits.idleSeconds = unsigned(value);
        break;
    case optMemory:
        limits.memoryPerConnection = value;
        break;
    case optRequestLine:
        limits.requestLineLength = value;
        break;
    case optThreads:
        limits.threads = unsigned(value);
        break;
    case optUploadLimit:
        options->uploadsPerMinute = unsigned(value);
        break;
    case optPageSize:
        options->pageSize = unsigned(value);
        break;
    case optHeaderTimeout:
        limits.headerSeconds = unsigned(value);
        break;
    case optStoreTimeout:
        options->storeMillis = unsigned(value);
        break;
    case optReplayCpu:
        options->replayCpuMillis = unsigned(value);
        break;
    case optReplayQueue:
        options->replayQueue = unsigned(value);
        break;
    case optList:
        options->listCount = unsigned(value);
        break;
    }
}

const struct {
    int id;
    ServerAction action;
} actionOptions[] = {{optList, ServerAction::list},
                     {optRemove, ServerAction::remove},
                     {optBan, ServerAction::ban},
                     {optUnban, ServerAction::unban}};

// One action a run. --remove takes the score from the word after the name.
int takeAction(int found, int argc, char** argv, ServerOptions* options) {
    for (const auto& known : actionOptions) {
        if (known.id != found)
            continue;
        if (options->action != ServerAction::serve)
            return badCommandLine("only one of --list, --remove, --ban and --unban, not also",
                                  ("--" + std::string(optionName(found))).c_str(), nullptr);
        options->action = known.action;
    }
    if (found == optList)
        return keepRunning;
    options->moderated.name = optarg;
    if (found != optRemove)
        return keepRunning;
    if (optind >= argc || !parseScoreText(argv[optind], &options->moderated.score))
        return badCommandLine("a NAME and a SCORE (a whole number) for", "--remove",
                              optind < argc ? argv[optind] : nullptr);
    ++optind;
    return keepRunning;
}

int applyOption(int found, int argc, char** argv, ServerOptions* options) {
    int status = keepRunning;
    for (const auto& known : actionOptions)
        if (known.id == found && (status = takeAction(found, argc, argv, options)) != keepRunning)
            return status;
    for (const NumberRange& range : numberRanges) {
        if (range.id != found)
            continue;
        unsigned long value = 0;
        if (!parseNumber(optarg, range.low, range.high, &value)) {
            char what[80];
            snprintf(what, sizeof(what), "bad value (%lu to %lu) for", range.low, range.high);
            std::string name = std::string("--") + optionName(found);
            return badCommandLine(what, name.c_str(), optarg);
        }
        storeNumber(found, value, options);
        return keepRunning;
    }
    switch (found) {
    case optList:
    case optRemove:
    case optBan:
    case optUnban:
        return keepRunning;
    case optVerifiedOnly:
        options->verifiedOnly = true;
        return keepRunning;
    case optListen:
        if (!isNumericAddress(optarg))
            return badCommandLine("bad value (a numeric IPv4 or IPv6 address) for", "--listen",
                                  optarg);
        options->listenAddress = optarg;
        return keepRunning;
    case optDb:
        options->databasePath = optarg;
        return keepRunning;
    case optPasswordFile:
        options->passwordFile = optarg;
        return keepRunning;
    case optQuiet:
        options->quiet = true;
        return keepRunning;
    case 'h':
        printHelp(ServerOptions());
        return 0;
    case optVersion:
        printf("%s %s\n", program, ORBELLE_VERSION);
        return 0;
    }
    return usageStatus;
}
} // namespace

int parseServerOptions(int argc, char** argv, ServerOptions* options) {
    opterr = 0;
    optind = 1;
    int found = 0;
    while ((found = getopt_long(argc, argv, "+:h", longOptions, nullptr)) != -1) {
        if (found == '?')
            return badCommandLine("unknown option", argv[optind - 1], nullptr);
        if (found == ':')
            return badCommandLine("missing value for", argv[optind - 1], nullptr);
        int status = applyOption(found, argc, argv, options);
        if (status != keepRunning)
            return status;
    }
    if (optind < argc)
        return badCommandLine("unexpected argument", argv[optind], nullptr);
    if (!options->passwordFile.empty() && !isPostgresLocation(options->databasePath))
        return badCommandLine("a postgresql:// --db is needed for", "--db-password-file", nullptr);
    return keepRunning;
}
