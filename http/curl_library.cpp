#include "http/curl_library.h"

#include "loader/late_library.h"

const CurlCalls* curlCalls() {
    static LateLibrary library{ORBELLE_CURL_SONAME, "internet high scores are off this run"};
    // A function-local static: the first caller fills the table, any others wait for it.
    static const CurlCalls calls{
        ORBELLE_LIBRARY_CALL(library, curl_easy_init),
        ORBELLE_LIBRARY_CALL(library, curl_easy_cleanup),
        ORBELLE_LIBRARY_CALL(library, curl_easy_reset),
        ORBELLE_LIBRARY_CALL(library, curl_easy_perform),
        ORBELLE_LIBRARY_CALL(library, curl_easy_setopt),
        ORBELLE_LIBRARY_CALL(library, curl_easy_getinfo),
        ORBELLE_LIBRARY_CALL(library, curl_slist_append),
        ORBELLE_LIBRARY_CALL(library, curl_slist_free_all),
        ORBELLE_LIBRARY_CALL(library, curl_free),
        ORBELLE_LIBRARY_CALL(library, curl_url),
        ORBELLE_LIBRARY_CALL(library, curl_url_cleanup),
        ORBELLE_LIBRARY_CALL(library, curl_url_get),
        ORBELLE_LIBRARY_CALL(library, curl_url_set),
    };
    return library.failed ? nullptr : &calls;
}
