// The mixer is opened on first use, not when the game starts: loading it and everything it
// pulls in costs more than drawing the first frame.
#pragma once

// Opens the mixer; true when it is there. Cheap once done.
bool TSLLoadSoundLibraries();
