#include "engine/mp3_length.h"

#include <mpg123.h>

namespace {
bool libraryReady() {
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}
// An Info/Xing tag from the encoder (lame writes one) carries the exact frame count and the
// encoder delay and padding, so the length is known without reading the whole file. Only such
// files report an encoder delay; others are scanned frame by frame, as a length guessed from
// the file size can be off by several frames.
bool knowsFrameCount(mpg123_handle* handle) {
    long delay = -1;
    double unused = 0;
    if (mpg123_getstate(handle, MPG123_ENC_DELAY, &delay, &unused) == MPG123_OK && delay >= 0)
        return true;
    return mpg123_scan(handle) == MPG123_OK;
}
} // namespace

int mp3LengthMillis(const char* file) {
    if (!file || !libraryReady())
        return 0;
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (!handle)
        return 0;
    // A damaged or foreign file must not spill decoder warnings onto the terminal.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    long long millis = 0;
    if (mpg123_open(handle, file) == MPG123_OK) {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        // The format comes from the first frame, which also holds the encoder's tag.
        if (mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK && rate > 0 &&
            knowsFrameCount(handle)) {
            const off_t samples = mpg123_length(handle);
            if (samples > 0)
                millis = static_cast<long long>(samples) * 1000 / rate;
        }
        mpg123_close(handle);
    }
    mpg123_delete(handle);
    return static_cast<int>(millis);
}
