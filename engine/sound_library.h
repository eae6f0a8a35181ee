// The mixer is opened on first use, not when the game starts: loading it and everything it
// pulls in costs more than drawing the first frame.
#pragma once

// Opens the mixer; true when it is there. Safe from any thread, and cheap once done,
// so a helper thread can take the cost before the game first needs them.
bool TSLLoadSoundLibraries();
