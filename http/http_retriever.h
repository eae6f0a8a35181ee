// Fetches the body behind an absolute URL (GET or form POST) as one NUL-terminated text.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// Bounds that keep a server which hangs or floods from freezing the game or filling its
// memory. Tests shorten them.
struct HttpLimits {
    long connectMillis = 3000;         // giving up on connecting
    long requestMillis = 10000;        // giving up on one whole request
    size_t maxBodyBytes = 1024 * 1024; // what is gathered of a body at most
    long exchangeMillis = 10000;       // one whole download or upload of scores
};
extern HttpLimits httpLimits;

// lastError when retrieve is given no URL at all.
const uint32_t noUrlError = 0xFFFFFFFF;
// The body is read in pieces of this size; each piece gives only what stands before its
// first NUL byte.
const size_t bodyPieceSize = 8191;

// A POST goes out as plain HTTP on port 80 only and as HTTPS on every other port.
const char* postSchemeForPort(long port);
// Where a POST to url really goes: the scheme of its port, host, port, path and query.
// Empty when the URL cannot be split.
std::string postTargetUrl(const char* url);
// The text of a body as the piecewise reading loop gathers it.
std::string textFromBody(const std::string& body);
// Adds to body what fits under limit of one piece as the connection delivers it; returns how
// many bytes were kept.
size_t appendBodyPiece(std::string& body, const char* data, size_t length, size_t limit);
// The text of body as a new NUL-terminated array, for the caller to delete[].
char* newResponseText(const std::string& body);

class HttpRetriever {
  public:
    HttpRetriever();
    ~HttpRetriever();
    HttpRetriever(const HttpRetriever&) = delete;
    HttpRetriever& operator=(const HttpRetriever&) = delete;

    // Follows a redirect only to the server it came from, a few times at most.
    bool openGet(const char* url);
    bool openPost(const char* url, const char* data, long dataLength);
    // The body text, owned by the retriever until its next successful request; null on failure.
    const char* retrieve(const char* url, bool usePost = false, const char* postData = nullptr,
                         long postLength = -1);
    // The POST itself, to a URL whose scheme is already chosen: a form unless another content
    // type is given. The answer's status is in status, its body is not kept.
    bool sendPost(const char* targetUrl, const char* data, long dataLength,
                  const char* contentType = nullptr);

    void* rootHandle = nullptr; // the curl handle, kept for the retriever's whole life
    void* request = nullptr;    // the handle while a request's body is held, else null
    void* connection = nullptr; // the handle once a POST has been made, else null
    char* responseText = nullptr;
    uint32_t lastError = 0;
    // The HTTP status of the last answered request's final response; 0 when there was none.
    long status = 0;
    // When set, requests end by this moment, and none is started after it.
    std::chrono::steady_clock::time_point deadline{};
    // When set, asked before each request and about once a second while one waits: true ends
    // the request at once (lastError CURLE_ABORTED_BY_CALLBACK) and starts no other.
    bool (*giveUp)() = nullptr;

  private:
    bool prepare(const char* url);
    bool perform();
    std::string redirectOnSameServer(const std::string& from);

    std::string body;      // the raw body of the current request
    bool answered = false; // the final response's headers have arrived
    bool statusIsInterim = false;
};
