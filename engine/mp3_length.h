// Length of an MP3 file, measured by scanning its frames.
#pragma once

// Milliseconds of audio in the file; 0 when it is missing or holds no MP3 audio.
int mp3LengthMillis(const char* file);
