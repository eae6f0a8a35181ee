#include "server/http_daemon.h"

#include <microhttpd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <strings.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "server/client_group.h"
#include "server/server_log.h"

namespace {
using Clock = std::chrono::steady_clock;

const int listenBacklog = 4096;
const char* const hiddenQueryKey = "hashcheck=";
const int badRequest = 400, lengthRequired = 411, contentTooLarge = 413, uriTooLong = 414,
          unavailable = 503;
// Room above the connection limit for connections dropped but not yet closed by their loop.
const unsigned droppedRoom = 256;
const auto watchInterval = std::chrono::milliseconds(100);

// Lives from the request line to the end of the answer.
struct RequestRecord {
    Clock::time_point start = Clock::now();
    std::string target; // as sent, still percent-encoded
    std::string method;
    std::string clientAddress;
    int status = 0;           // 0 until answered
    bool headersSeen = false; // from then on, the request counts as in flight
    std::string body;
    size_t bodyReserved = 0; // of the daemon's body budget, given back at the end
    // Made by a worker while the connection is suspended; handed over by resuming it.
    HttpAnswer later;
    bool laterReady = false;
};

HttpDaemon& daemonOf(void* context) {
    return *static_cast<HttpDaemon*>(context);
}

std::string clientAddressOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    char host[NI_MAXHOST] = "?";
    if (info != nullptr && info->client_addr != nullptr) {
        socklen_t length =
            info->client_addr->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        getnameinfo(info->client_addr, length, host, sizeof(host), nullptr, 0, NI_NUMERICHOST);
    }
    return host;
}

std::string headerOf(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? value : "";
}

// The target without the upload's signature: 32 digits that tell a reader of the log nothing.
std::string withoutSignature(const std::string& target) {
    size_t mark = target.find('?');
    if (mark == std::string::npos)
        return target;
    std::string kept = target.substr(0, mark + 1);
    const std::string query = target.substr(mark + 1);
    const char* separator = "";
    for (size_t begin = 0; begin <= query.size();) {
        size_t end = std::min(query.find('&', begin), query.size());
        if (query.compare(begin, strlen(hiddenQueryKey), hiddenQueryKey) != 0) {
            kept += separator + query.substr(begin, end - begin);
            separator = "&";
        }
        begin = end + 1;
    }
    return kept;
}

// Anything unprintable escaped, so that a request cannot forge log lines.
std::string printable(const std::string& text) {
    static const char hexDigits[] = "0123456789abcdef";
    std::string escaped;
    for (unsigned char c : text) {
        if (c > 0x20 && c < 0x7f && c != '\\') {
            escaped += char(c);
        } else {
            const char escape[] = {'\\', 'x', hexDigits[c >> 4], hexDigits[c & 0x0f]};
            escaped.append(escape, sizeof(escape));
        }
    }
    return escaped;
}

// 2026-12-07T19:04:15Z
std::string utcNow() {
    time_t now = time(nullptr);
    tm parts{};
    char text[32] = "";
    if (gmtime_r(&now, &parts) != nullptr)
        strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ ", &parts);
    return text;
}

void logRequest(const HttpDaemon& http, const RequestRecord& record) {
    long long micros =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - record.start).count();
    logLine((http.logTimes ? utcNow() : "") + record.clientAddress + " " +
            printable(record.method) + " " + printable(withoutSignature(record.target)) + " " +
            std::to_string(record.status) + " " + std::to_string(micros) + "\n");
}

Slot* slotOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<Slot*>(info->socket_context) : nullptr;
}

// Called with the request line. The query is read here from the copy kept in the record;
// libmicrohttpd's own reading would fill the connection's memory with one entry per argument,
// and a query of a few hundred arguments would leave it unable to answer at all. Ending the
// query right after its '?' in its buffer, which it reads once this returns, spares that.
void* beginRequest(void*, const char* uri, MHD_Connection*) {
    auto* record = new RequestRecord;
    record->target = uri;
    if (char* query = const_cast<char*>(strchr(uri, '?')))
        query[1] = '\0';
    return record;
}

void endRequest(void* context, MHD_Connection* connection, void** requestContext,
                MHD_RequestTerminationCode) {
    auto* record = static_cast<RequestRecord*>(*requestContext);
    if (record == nullptr)
        return;
    *requestContext = nullptr;
    HttpDaemon& http = daemonOf(context);
    if (http.accessLog && record->status != 0)
        logRequest(http, *record);
    http.bodyBytesHeld -= record->bodyReserved;
    if (record->headersSeen)
        --http.requestsInFlight;
    if (Slot* slot = slotOf(connection))
        markWaiting(http.slots, slot, Clock::now());
    delete record;
}

// Refuses a connection before anything is spent on it when its client group holds all it may
// or every slot is busy with a request; openSlot, once it is open, decides for good.
MHD_Result admit(void* context, const sockaddr* address, socklen_t) {
    return admitConnection(daemonOf(context).slots, clientGroup(address)) ? MHD_YES : MHD_NO;
}

// Each connection gets its slot, which may make room by dropping another, or drop the new one
// itself. Answers leave in more than one write; without TCP_NODELAY the last one waits for the
// client's delayed acknowledgement, about 40 ms.
void connectionChanged(void* context, MHD_Connection* connection, void** socketContext,
                       MHD_ConnectionNotificationCode change) {
    ConnectionSlots& slots = daemonOf(context).slots;
    if (change == MHD_CONNECTION_NOTIFY_CLOSED) {
        if (*socketContext != nullptr)
            closeSlot(slots, static_cast<Slot*>(*socketContext));
        *socketContext = nullptr;
        return;
    }
    const MHD_ConnectionInfo* fd =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const MHD_ConnectionInfo* address =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (fd == nullptr || address == nullptr)
        return;
    int one = 1;
    setsockopt(fd->connect_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    *socketContext =
        openSlot(slots, clientGroup(address->client_addr), fd->connect_fd, Clock::now());
}

// Nothing served here takes a body, so none is ever read into memory.
bool announcesBody(MHD_Connection* connection) {
    std::string length = headerOf(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
    return (!length.empty() && length != "0") ||
           !headerOf(connection, MHD_HTTP_HEADER_TRANSFER_ENCODING).empty();
}

MHD_Result noteLength(void* lengths, MHD_ValueKind, const char* key, const char* value) {
    if (strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0)
        static_cast<std::vector<std::string>*>(lengths)->push_back(value ? value : "");
    return MHD_YES;
}

// Two lengths that differ leave the end of the request in doubt; a proxy in front may have
// taken the other one, and what it sent after would be read here as another request.
bool lengthsDisagree(MHD_Connection* connection) {
    std::vector<std::string> lengths;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, noteLength, &lengths);
    return std::any_of(lengths.begin(), lengths.end(),
                       [&](const std::string& length) { return length != lengths[0]; });
}

const BodyRoute* bodyRouteOf(const HttpDaemon& http, const RequestRecord& record) {
    std::string path = decodeUrlText(record.target.substr(0, record.target.find('?')), false);
    for (const BodyRoute& route : http.bodyRoutes)
        if (route.method == record.method && route.path == path)
            return &route;
    return nullptr;
}

// 0 when the body is to be read, with its memory taken from the budget; else the status that
// refuses it. Its length must be known before it comes, or the budget could not hold.
int admitBody(HttpDaemon& http, MHD_Connection* connection, RequestRecord& record) {
    const BodyRoute* route = bodyRouteOf(http, record);
    if (route == nullptr)
        return contentTooLarge;
    std::string length = headerOf(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (length.empty())
        return lengthRequired;
    unsigned long long bytes = strtoull(length.c_str(), nullptr, 10);
    if (bytes > route->maxBytes)
        return contentTooLarge;
    if (http.bodyBytesHeld.fetch_add(bytes) + bytes > http.bodyBudget) {
        http.bodyBytesHeld -= bytes;
        return unavailable;
    }
    record.bodyReserved = bytes;
    record.body.reserve(bytes);
    return 0;
}

HttpRequest requestOf(MHD_Connection* connection, RequestRecord& record, const std::string& path,
                      QueryParams query) {
    HttpRequest request;
    request.method = record.method;
    request.path = path;
    request.query = std::move(query);
    request.accept = headerOf(connection, MHD_HTTP_HEADER_ACCEPT);
    request.clientAddress = record.clientAddress;
    request.body = std::move(record.body);
    return request;
}

HttpReply refused(int status) {
    HttpReply reply;
    reply.answer = HttpAnswer{status, "text/plain", ""};
    return reply;
}

HttpReply replyFor(HttpDaemon& http, MHD_Connection* connection, RequestRecord& record,
                   bool* closeAfter) {
    *closeAfter = true;
    if (record.target.size() > http.limits.requestLineLength)
        return refused(uriTooLong);
    std::string path;
    QueryParams query;
    if (!parseRequestTarget(record.target, &path, &query))
        return refused(badRequest);
    *closeAfter = false;
    return http.handler(requestOf(connection, record, path, std::move(query)));
}

MHD_Result queueAnswer(MHD_Connection* connection, RequestRecord& record, const HttpAnswer& answer,
                       bool closeAfter) {
    record.status = answer.status;
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    if (closeAfter)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    MHD_Result queued = MHD_queue_response(connection, unsigned(answer.status), response);
    MHD_destroy_response(response);
    return queued;
}

// Runs the reply's work on its pool, and the work that it gives in turn on theirs, until an
// answer comes; finish gets it, or 503 when a pool is full.
void answerOnPools(HttpReply reply, const std::function<void(const HttpAnswer&)>& finish) {
    WorkPool* pool = reply.pool;
    auto job = [work = std::move(reply.work), finish] {
        HttpReply next = work();
        if (next.work && next.pool != nullptr)
            answerOnPools(std::move(next), finish);
        else
            finish(answerNow(std::move(next)));
    };
    if (!submitWork(*pool, std::move(job)))
        finish(HttpAnswer{unavailable, "text/plain", ""});
}

// The connection sleeps, taking no time of its event loop, while workers make the answer;
// the last wakes it, and the next call of serveRequest sends the answer.
void answerLater(MHD_Connection* connection, RequestRecord& record, HttpReply reply) {
    MHD_suspend_connection(connection);
    answerOnPools(std::move(reply), [connection, &record](const HttpAnswer& answer) {
        record.later = answer;
        record.laterReady = true;
        MHD_resume_connection(connection);
    });
}

// The first call comes with the headers: a request without a body is answered at the call
// that ends it, and one whose body is let in collects it from the calls between. The slot
// counts as waiting until the whole request is in, so that the header deadline covers the
// body too.
MHD_Result serveRequest(void* context, MHD_Connection* connection, const char*, const char* method,
                        const char*, const char* uploadData, size_t* uploadSize,
                        void** requestContext) {
    auto* record = static_cast<RequestRecord*>(*requestContext);
    if (record == nullptr)
        return MHD_NO;
    if (record->status != 0) { // answered; whatever body still comes is dropped
        *uploadSize = 0;
        return MHD_YES;
    }
    if (record->laterReady)
        return queueAnswer(connection, *record, record->later, false);
    HttpDaemon& http = daemonOf(context);
    int refusal = 0;
    if (!record->headersSeen) {
        record->headersSeen = true;
        ++http.requestsInFlight;
        record->method = method;
        record->clientAddress = clientAddressOf(connection);
        refusal = lengthsDisagree(connection) ? badRequest
                  : announcesBody(connection) ? admitBody(http, connection, *record)
                                              : 0;
        if (refusal == 0)
            return MHD_YES;
    }
    if (*uploadSize > 0) {
        record->body.append(uploadData, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    if (Slot* slot = slotOf(connection))
        markBusy(http.slots, slot);
    bool closeAfter = true;
    HttpReply reply =
        refusal != 0 ? refused(refusal) : replyFor(http, connection, *record, &closeAfter);
    if (reply.work && reply.pool != nullptr) {
        answerLater(connection, *record, std::move(reply));
        return MHD_YES;
    }
    return queueAnswer(connection, *record, answerNow(std::move(reply)), closeAfter);
}

unsigned threadCount(const ServerLimits& limits) {
    unsigned processors = std::thread::hardware_concurrency();
    return limits.threads > 0 ? limits.threads : (processors > 0 ? processors : 1);
}

void watchHeaders(HttpDaemon& http) {
    std::unique_lock<std::mutex> lock(http.watcherGuard);
    while (!http.watcherWake.wait_for(lock, watchInterval, [&] { return http.stopping; }))
        dropOverdue(http.slots, Clock::now());
}
} // namespace

HttpAnswer answerNow(HttpReply reply) {
    while (reply.work)
        reply = reply.work();
    return reply.answer;
}

bool openListenSocket(HttpDaemon& http, const std::string& address, int port, std::string* error) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int looked = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (looked != 0) {
        *error = gai_strerror(looked);
        return false;
    }
    int fd = socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    // Lets a restarted server take its port back from connections still closing; it does not
    // let two servers listen on one port.
    bool listening = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one)) == 0 &&
                     bind(fd, found->ai_addr, found->ai_addrlen) == 0 &&
                     listen(fd, listenBacklog) == 0;
    freeaddrinfo(found);
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof(bound);
    if (!listening || getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength) != 0) {
        *error = strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    http.listenSocket = fd;
    http.port =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return true;
}

bool startHttpDaemon(HttpDaemon& http, std::string* error) {
    const ServerLimits& limits = http.limits;
    http.slots.total = limits.connections;
    http.slots.perGroup = limits.connectionsPerAddress;
    http.slots.headerTime = std::chrono::seconds(limits.headerSeconds);
    http.daemon = MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC | MHD_ALLOW_SUSPEND_RESUME, 0, admit, &http,
        serveRequest, &http, MHD_OPTION_LISTEN_SOCKET, http.listenSocket,
        MHD_OPTION_THREAD_POOL_SIZE, threadCount(limits), MHD_OPTION_CONNECTION_LIMIT,
        limits.connections + droppedRoom, MHD_OPTION_CONNECTION_TIMEOUT, limits.idleSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits.memoryPerConnection, MHD_OPTION_URI_LOG_CALLBACK,
        beginRequest, &http, MHD_OPTION_NOTIFY_COMPLETED, endRequest, &http,
        MHD_OPTION_NOTIFY_CONNECTION, connectionChanged, &http, MHD_OPTION_END);
    if (http.daemon == nullptr) {
        *error = "cannot start the HTTP service";
        return false;
    }
    http.stopping = false;
    http.watcher = std::thread(watchHeaders, std::ref(http));
    return true;
}

void quiesceHttpDaemon(HttpDaemon& http) {
    if (http.daemon == nullptr)
        return;
    int listening = MHD_quiesce_daemon(http.daemon);
    if (listening >= 0)
        close(listening);
    http.listenSocket = -1;
}

void awaitRequests(HttpDaemon& http, int millis) {
    for (int waited = 0; http.requestsInFlight > 0 && waited < millis; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void stopHttpDaemon(HttpDaemon& http) {
    if (http.daemon != nullptr) {
        {
            std::lock_guard<std::mutex> lock(http.watcherGuard);
            http.stopping = true;
        }
        http.watcherWake.notify_all();
        http.watcher.join();
        MHD_stop_daemon(http.daemon);
        http.daemon = nullptr;
    }
    if (http.listenSocket >= 0)
        close(http.listenSocket);
    http.listenSocket = -1;
}
