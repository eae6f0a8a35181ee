// libcurl, reached through a table of its own functions. It is opened on first use: the
// library and what it pulls in (TLS, name lookup, authentication) cost more to load than the
// game's first frame, and many games end without talking to a score server at all
// (loader/late_library.h).
#pragma once

#include <curl/curl.h>

// curl_easy_setopt and curl_easy_getinfo are the library's own variadic functions: each
// caller passes the one argument of the type that its option or info names.
struct CurlCalls {
    decltype(&curl_easy_init) easyInit;
    decltype(&curl_easy_cleanup) easyCleanup;
    decltype(&curl_easy_reset) easyReset;
    decltype(&curl_easy_perform) easyPerform;
    decltype(&curl_easy_setopt) easySetopt;
    decltype(&curl_easy_getinfo) easyGetinfo;
    decltype(&curl_slist_append) slistAppend;
    decltype(&curl_slist_free_all) slistFreeAll;
    decltype(&curl_free) free;
    decltype(&curl_url) url;
    decltype(&curl_url_cleanup) urlCleanup;
    decltype(&curl_url_get) urlGet;
    decltype(&curl_url_set) urlSet;
};

// Every libcurl function the retriever uses; null when libcurl cannot be opened (said once on
// stderr: there are no internet high scores this run). The first call opens it.
const CurlCalls* curlCalls();
