// Fetches the body behind an absolute URL (GET or form POST) as one NUL-terminated text.
#pragma once

#include <cstdint>

class HttpRetriever {
  public:
    HttpRetriever();
    ~HttpRetriever();
    HttpRetriever(const HttpRetriever&) = delete;
    HttpRetriever& operator=(const HttpRetriever&) = delete;

    bool openGet(const char* url);
    bool openPost(const char* url, const char* data, long dataLength);
    // The body text, owned by the retriever until its next successful request; null on failure.
    const char* retrieve(const char* url, bool usePost = false, const char* postData = nullptr,
                         long postLength = -1);

    void* rootHandle = nullptr; // the curl handle, kept for the retriever's whole life
    void* request = nullptr;
    void* connection = nullptr;
    char* responseText = nullptr;
    uint32_t lastError = 0;
};
