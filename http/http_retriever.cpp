#include "http/http_retriever.h"

#include "http/curl_library.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

HttpLimits httpLimits;

namespace {
const char* const userAgent = "Ravik Software HTTP Retriever 1.0";
const char* const formHeader = "Content-Type: application/x-www-form-urlencoded";
const char* const acceptHeader = "Accept: */*";
// Without this curl may wait for a "100 Continue" that a simple server never sends.
const char* const noExpectHeader = "Expect:";
// A redirect is followed by hand, and only on the same server: a score server, or anyone on
// the path of its plain HTTP, must not send the game's requests to other machines.
const long maxRedirects = 5;

inline CURL* curlOf(void* handle) {
    return static_cast<CURL*>(handle);
}

size_t gatherBody(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<std::pair<std::string*, size_t>*>(user);
    // Returning less than was given ends the transfer: the body is long enough.
    return appendBodyPiece(*self->first, data, size * count, self->second);
}

struct HeaderWatch {
    bool* answered;
    bool* interim;
};

// Notes when the headers of the final response are complete. Interim (1xx) responses are
// passed over: curl goes on to the real answer.
size_t watchHeaders(char* data, size_t size, size_t count, void* user) {
    auto* watch = static_cast<HeaderWatch*>(user);
    size_t length = size * count;
    std::string line(data, length);
    if (line.compare(0, 5, "HTTP/") == 0) {
        size_t space = line.find(' ');
        char kind = space == std::string::npos ? '0' : line[space + 1];
        *watch->interim = kind == '1';
        *watch->answered = false;
    } else if ((line == "\r\n" || line == "\n") && !*watch->interim) {
        *watch->answered = true;
    }
    return length;
}

// Called by curl at least once a second while it waits: non-zero ends the transfer.
int checkGiveUp(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    bool (*giveUp)() = static_cast<HttpRetriever*>(user)->giveUp;
    return giveUp != nullptr && giveUp() ? 1 : 0;
}

std::string urlPart(CURLU* url, CURLUPart part, unsigned flags) {
    const CurlCalls& curl = *curlCalls();
    char* text = nullptr;
    if (curl.urlGet(url, part, &text, flags) != CURLUE_OK)
        return std::string();
    std::string result = text;
    curl.free(text);
    return result;
}

// Scheme, host and port of an absolute URL; empty when it cannot be split.
std::string serverOf(const char* url) {
    const CurlCalls& curl = *curlCalls();
    CURLU* parts = curl.url();
    if (parts == nullptr)
        return std::string();
    std::string server;
    if (curl.urlSet(parts, CURLUPART_URL, url, 0) == CURLUE_OK)
        server = urlPart(parts, CURLUPART_SCHEME, 0) + "://" + urlPart(parts, CURLUPART_HOST, 0) +
                 ":" + urlPart(parts, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    curl.urlCleanup(parts);
    return server;
}
} // namespace

const char* postSchemeForPort(long port) {
    return port == 80 ? "http" : "https";
}

std::string postTargetUrl(const char* url) {
    const CurlCalls* curl = curlCalls();
    if (url == nullptr || curl == nullptr)
        return std::string();
    CURLU* parts = curl->url();
    if (parts == nullptr)
        return std::string();
    std::string target;
    if (curl->urlSet(parts, CURLUPART_URL, url, 0) == CURLUE_OK) {
        std::string host = urlPart(parts, CURLUPART_HOST, 0);
        std::string port = urlPart(parts, CURLUPART_PORT, CURLU_DEFAULT_PORT);
        std::string path = urlPart(parts, CURLUPART_PATH, 0);
        std::string query = urlPart(parts, CURLUPART_QUERY, 0);
        if (!host.empty() && !port.empty()) {
            target = std::string(postSchemeForPort(std::stol(port))) + "://" + host + ":" + port +
                     (path.empty() ? "/" : path);
            if (!query.empty())
                target += "?" + query;
        }
    }
    curl->urlCleanup(parts);
    return target;
}

std::string textFromBody(const std::string& body) {
    std::string text;
    for (size_t start = 0; start < body.size(); start += bodyPieceSize) {
        size_t length = std::min(bodyPieceSize, body.size() - start);
        const char* piece = body.data() + start;
        const void* nul = memchr(piece, '\0', length);
        text.append(piece, nul ? static_cast<const char*>(nul) - piece : length);
    }
    return text;
}

size_t appendBodyPiece(std::string& body, const char* data, size_t length, size_t limit) {
    size_t room = limit - std::min(limit, body.size());
    size_t kept = std::min(length, room);
    body.append(data, kept);
    return kept;
}

char* newResponseText(const std::string& body) {
    std::string text = textFromBody(body);
    char* copy = new char[text.size() + 1];
    memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

HttpRetriever::HttpRetriever() = default;

HttpRetriever::~HttpRetriever() {
    delete[] responseText;
    if (rootHandle != nullptr)
        curlCalls()->easyCleanup(curlOf(rootHandle));
}

// Sets up the handle for one request to url with the time that is left for it.
bool HttpRetriever::prepare(const char* url) {
    request = nullptr;
    if (giveUp != nullptr && giveUp()) {
        lastError = CURLE_ABORTED_BY_CALLBACK;
        return false;
    }
    // Made at the first request: the game's retrievers exist from its start, most of its rounds
    // reach no server, and a handle would load libcurl.
    const CurlCalls* calls = curlCalls();
    if (rootHandle == nullptr && calls != nullptr)
        rootHandle = calls->easyInit();
    if (rootHandle == nullptr) {
        lastError = CURLE_FAILED_INIT;
        return false;
    }
    long timeout = httpLimits.requestMillis;
    if (deadline != std::chrono::steady_clock::time_point{}) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            lastError = CURLE_OPERATION_TIMEDOUT;
            return false;
        }
        timeout = std::min<long>(timeout, left.count());
    }
    CURL* curl = curlOf(rootHandle);
    const auto setOption = calls->easySetopt;
    // A reset keeps the connection and name caches but forgets the last request's options.
    calls->easyReset(curl);
    setOption(curl, CURLOPT_URL, url);
    setOption(curl, CURLOPT_USERAGENT, userAgent);
    setOption(curl, CURLOPT_PROXY, ""); // direct, whatever the environment says
    setOption(curl, CURLOPT_FOLLOWLOCATION, 0L);
    setOption(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    setOption(curl, CURLOPT_NOSIGNAL, 1L);
    setOption(curl, CURLOPT_TIMEOUT_MS, timeout);
    setOption(curl, CURLOPT_CONNECTTIMEOUT_MS, std::min(timeout, httpLimits.connectMillis));
    if (giveUp != nullptr) {
        setOption(curl, CURLOPT_XFERINFOFUNCTION, checkGiveUp);
        setOption(curl, CURLOPT_XFERINFODATA, static_cast<void*>(this));
        setOption(curl, CURLOPT_NOPROGRESS, 0L);
    }
    setOption(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    setOption(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    return true;
}

// Runs the prepared request. Any answer counts, whatever its status; a transfer that breaks
// off once the answer has begun keeps what arrived, as a read error in mid-body does.
bool HttpRetriever::perform() {
    CURL* curl = curlOf(rootHandle);
    const CurlCalls& calls = *curlCalls();
    const auto setOption = calls.easySetopt;
    body.clear();
    answered = false;
    statusIsInterim = false;
    std::pair<std::string*, size_t> sink(&body, httpLimits.maxBodyBytes);
    HeaderWatch watch{&answered, &statusIsInterim};
    setOption(curl, CURLOPT_WRITEFUNCTION, gatherBody);
    setOption(curl, CURLOPT_WRITEDATA, &sink);
    setOption(curl, CURLOPT_HEADERFUNCTION, watchHeaders);
    setOption(curl, CURLOPT_HEADERDATA, &watch);
    CURLcode result = calls.easyPerform(curl);
    // The callbacks' data lives on this stack frame only.
    setOption(curl, CURLOPT_WRITEDATA, nullptr);
    setOption(curl, CURLOPT_HEADERDATA, nullptr);
    if (result != CURLE_OK && !answered && body.empty()) {
        lastError = result;
        return false;
    }
    status = 0;
    calls.easyGetinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    request = rootHandle;
    return true;
}

// Where the answer just read redirects to, when that is on the server it came from (same
// scheme, host and port); empty otherwise.
std::string HttpRetriever::redirectOnSameServer(const std::string& from) {
    if (status < 300 || status > 399)
        return std::string();
    char* location = nullptr;
    curlCalls()->easyGetinfo(curlOf(rootHandle), CURLINFO_REDIRECT_URL, &location);
    if (location == nullptr)
        return std::string();
    const std::string here = serverOf(from.c_str()), there = serverOf(location);
    const bool same = !here.empty() && strcasecmp(here.c_str(), there.c_str()) == 0;
    return same ? std::string(location) : std::string();
}

// A redirect elsewhere, or one too many, is the answer itself, with its 3xx status.
bool HttpRetriever::openGet(const char* url) {
    std::string current = url;
    for (long hop = 0;; ++hop) {
        if (!prepare(current.c_str()) || !perform())
            return false;
        std::string next = redirectOnSameServer(current);
        if (next.empty() || hop == maxRedirects)
            return true;
        current = next;
    }
}

bool HttpRetriever::openPost(const char* url, const char* data, long dataLength) {
    std::string target = postTargetUrl(url);
    if (target.empty()) {
        request = nullptr;
        lastError = CURLE_URL_MALFORMAT;
        return false;
    }
    return sendPost(target.c_str(), data, dataLength);
}

bool HttpRetriever::sendPost(const char* targetUrl, const char* data, long dataLength,
                             const char* contentType) {
    if (data == nullptr)
        data = "";
    if (dataLength == -1)
        dataLength = static_cast<long>(strlen(data));
    if (dataLength < 0) {
        request = nullptr;
        lastError = CURLE_BAD_FUNCTION_ARGUMENT;
        return false;
    }
    if (!prepare(targetUrl))
        return false;
    CURL* curl = curlOf(rootHandle);
    const CurlCalls& calls = *curlCalls();
    const auto setOption = calls.easySetopt;
    const std::string typeHeader =
        contentType ? std::string("Content-Type: ") + contentType : std::string(formHeader);
    curl_slist* headers = calls.slistAppend(nullptr, typeHeader.c_str());
    headers = calls.slistAppend(headers, acceptHeader);
    headers = calls.slistAppend(headers, noExpectHeader);
    setOption(curl, CURLOPT_HTTPHEADER, headers);
    setOption(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(dataLength));
    setOption(curl, CURLOPT_POSTFIELDS, data);
    connection = rootHandle;
    bool sent = perform();
    setOption(curl, CURLOPT_HTTPHEADER, nullptr);
    calls.slistFreeAll(headers);
    return sent;
}

const char* HttpRetriever::retrieve(const char* url, bool usePost, const char* postData,
                                    long postLength) {
    if (url == nullptr) {
        lastError = noUrlError;
        return nullptr;
    }
    bool opened = usePost ? openPost(url, postData, postLength) : openGet(url);
    if (!opened)
        return nullptr;
    char* text = newResponseText(body);
    body.clear();
    body.shrink_to_fit();
    delete[] responseText;
    responseText = text;
    return responseText;
}
