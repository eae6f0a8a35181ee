// Libraries opened at run time, on first use, instead of with the program: some pull in so much
// that loading them would delay the first frame.
#pragma once

// The library of that soname, opened lazily and kept to itself; nullptr when it is missing.
void* openLateLibrary(const char* soname);
// The library's own function of that name; nullptr when the library or the name is missing.
void* lateFunction(void* library, const char* name);
