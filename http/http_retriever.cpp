#include "http/http_retriever.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

HttpLimits httpLimits;

namespace {
const char* const userAgent = "Ravik Software HTTP Retriever 1.0";
const char* const formHeader = "Content-Type: application/x-www-form-urlencoded";
const char* const acceptHeader = "Accept: */*";
// Without this curl may wait for a "100 Continue" that a simple server never sends.
const char* const noExpectHeader = "Expect:";
const long maxRedirects = 10;

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

// Notes when the headers of the final response are complete. Interim (1xx) and redirect
// (3xx) responses are passed over: curl goes on to the real answer.
size_t watchHeaders(char* data, size_t size, size_t count, void* user) {
    auto* watch = static_cast<HeaderWatch*>(user);
    size_t length = size * count;
    std::string line(data, length);
    if (line.compare(0, 5, "HTTP/") == 0) {
        size_t space = line.find(' ');
        char kind = space == std::string::npos ? '0' : line[space + 1];
        *watch->interim = kind == '1' || kind == '3';
        *watch->answered = false;
    } else if ((line == "\r\n" || line == "\n") && !*watch->interim) {
        *watch->answered = true;
    }
    return length;
}

std::string urlPart(CURLU* url, CURLUPart part, unsigned flags) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK)
        return std::string();
    std::string result = text;
    curl_free(text);
    return result;
}
} // namespace

const char* postSchemeForPort(long port) {
    return port == 80 ? "http" : "https";
}

std::string postTargetUrl(const char* url) {
    if (url == nullptr)
        return std::string();
    CURLU* parts = curl_url();
    if (parts == nullptr)
        return std::string();
    std::string target;
    if (curl_url_set(parts, CURLUPART_URL, url, 0) == CURLUE_OK) {
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
    curl_url_cleanup(parts);
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
        curl_easy_cleanup(curlOf(rootHandle));
}

// Sets up the handle for one request to url with the time that is left for it.
bool HttpRetriever::prepare(const char* url) {
    request = nullptr;
    // Made at the first request: the game's retrievers exist from its start, most of its rounds
    // reach no server, and a handle would load libcurl.
    if (rootHandle == nullptr)
        rootHandle = curl_easy_init();
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
    // A reset keeps the connection and name caches but forgets the last request's options.
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent);
    curl_easy_setopt(curl, CURLOPT_PROXY, ""); // direct, whatever the environment says
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, maxRedirects);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeout);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, std::min(timeout, httpLimits.connectMillis));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    return true;
}

// Runs the prepared request. Any answer counts, whatever its status; a transfer that breaks
// off once the answer has begun keeps what arrived, as a read error in mid-body does.
bool HttpRetriever::perform() {
    CURL* curl = curlOf(rootHandle);
    body.clear();
    answered = false;
    statusIsInterim = false;
    std::pair<std::string*, size_t> sink(&body, httpLimits.maxBodyBytes);
    HeaderWatch watch{&answered, &statusIsInterim};
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, gatherBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, watchHeaders);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &watch);
    CURLcode result = curl_easy_perform(curl);
    // The callbacks' data lives on this stack frame only.
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, nullptr);
    if (result != CURLE_OK && !answered && body.empty()) {
        lastError = result;
        return false;
    }
    status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    request = rootHandle;
    return true;
}

bool HttpRetriever::openGet(const char* url) {
    if (!prepare(url))
        return false;
    return perform();
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

bool HttpRetriever::sendPost(const char* targetUrl, const char* data, long dataLength) {
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
    curl_slist* headers = curl_slist_append(nullptr, formHeader);
    headers = curl_slist_append(headers, acceptHeader);
    headers = curl_slist_append(headers, noExpectHeader);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(dataLength));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, data);
    connection = rootHandle;
    bool sent = perform();
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
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
