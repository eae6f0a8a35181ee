// Libraries the game can do without (sound, internet scores). By default they are opened on
// first use instead of with the program: loading them and all they pull in takes longer than
// the first frame. A build with ORBELLE_LATE_LIBRARIES off links them as usual. Either way the
// callers reach them only through a table of the library's own function pointers, filled with
// ORBELLE_LIBRARY_CALL.
#pragma once

struct LateLibrary {
    const char* soname;
    const char* loss; // what the player goes without this run when the library is missing
    void* handle = nullptr;
    bool tried = false;
    bool failed = false; // told on stderr; the library is not used this run
};

// The opened library; nullptr when it cannot be opened. The first failure is told on stderr
// with the reason and what is lost; later calls say nothing more.
void* openLateLibrary(LateLibrary& library);
// The library's own function of that name; nullptr when the library or the function is
// missing, which marks the library failed and is told on stderr once.
void* lateSymbol(LateLibrary& library, const char* name);

#if ORBELLE_LATE_LIBRARIES
// The table entry for function: its address in the library opened at run time, with the type
// that the library's header gives it.
#define ORBELLE_LIBRARY_CALL(library, function)                                                    \
    reinterpret_cast<decltype(&function)>(lateSymbol(library, #function))
#else
#define ORBELLE_LIBRARY_CALL(library, function) (static_cast<void>(library), &function)
#endif
