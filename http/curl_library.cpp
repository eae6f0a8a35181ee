// Every libcurl call the retriever makes, passed on to the library opened on first use. The
// library and what it pulls in (TLS, name lookup, authentication) cost more to load than the
// game's first frame, and many games end without talking to a score server at all.
#include <curl/curl.h>

#include <cstdarg>

#include "loader/late_library.h"

namespace {
// A function-local static: the first caller opens the library, others wait for it.
void* curlLibrary() {
    static void* const handle = openLateLibrary(ORBELLE_CURL_SONAME);
    return handle;
}

template <class Function> Function lookUp(const char* name) {
    return reinterpret_cast<Function>(lateFunction(curlLibrary(), name));
}

// An option's number tells the type of its one argument, as curl itself reads it.
CURLcode setOption(CURL* handle, CURLoption option, va_list arguments) {
    static const auto own = lookUp<CURLcode (*)(CURL*, CURLoption, ...)>("curl_easy_setopt");
    if (!own)
        return CURLE_FAILED_INIT;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        return own(handle, option, va_arg(arguments, long));
    if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB)
        return own(handle, option, va_arg(arguments, curl_off_t));
    return own(handle, option, va_arg(arguments, void*));
}
} // namespace

#define ORBELLE_PASS_ON(result, function, params, args, failed)                                    \
    result(function) params {                                                                      \
        static const auto own = lookUp<result(*) params>(#function);                               \
        return own ? own args : failed;                                                            \
    }
#define ORBELLE_PASS_ON_VOID(function, params, args)                                               \
    void(function) params {                                                                        \
        static const auto own = lookUp<void(*) params>(#function);                                 \
        if (own)                                                                                   \
            own args;                                                                              \
    }

extern "C" {
// Without the library there is no handle, and the retriever reports its request failed.
ORBELLE_PASS_ON(CURL*, curl_easy_init, (), (), nullptr)
ORBELLE_PASS_ON_VOID(curl_easy_cleanup, (CURL * handle), (handle))
ORBELLE_PASS_ON_VOID(curl_easy_reset, (CURL * handle), (handle))
ORBELLE_PASS_ON(CURLcode, curl_easy_perform, (CURL * handle), (handle), CURLE_FAILED_INIT)
ORBELLE_PASS_ON(curl_slist*, curl_slist_append, (curl_slist * list, const char* text), (list, text),
                nullptr)
ORBELLE_PASS_ON_VOID(curl_slist_free_all, (curl_slist * list), (list))
ORBELLE_PASS_ON_VOID(curl_free, (void* text), (text))
ORBELLE_PASS_ON(CURLU*, curl_url, (), (), nullptr)
ORBELLE_PASS_ON_VOID(curl_url_cleanup, (CURLU * url), (url))
ORBELLE_PASS_ON(CURLUcode, curl_url_get,
                (CURLU * url, CURLUPart part, char** text, unsigned int flags),
                (url, part, text, flags), CURLUE_OUT_OF_MEMORY)
ORBELLE_PASS_ON(CURLUcode, curl_url_set,
                (CURLU * url, CURLUPart part, const char* text, unsigned int flags),
                (url, part, text, flags), CURLUE_OUT_OF_MEMORY)

CURLcode(curl_easy_setopt)(CURL* handle, CURLoption option, ...) {
    va_list arguments;
    va_start(arguments, option);
    const CURLcode result = setOption(handle, option, arguments);
    va_end(arguments);
    return result;
}

// The retriever asks only for values written through one pointer.
CURLcode(curl_easy_getinfo)(CURL* handle, CURLINFO info, ...) {
    static const auto own = lookUp<CURLcode (*)(CURL*, CURLINFO, ...)>("curl_easy_getinfo");
    va_list arguments;
    va_start(arguments, info);
    void* target = va_arg(arguments, void*);
    va_end(arguments);
    return own ? own(handle, info, target) : CURLE_FAILED_INIT;
}
}
