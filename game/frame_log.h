// Optional diagnostic log for pacing measurements and end-to-end tests:
// ORBELLE_FRAME_LOG=<file> appends "start <micros>" when the game starts, then one line per
// drawn frame: the monotonic time in microseconds, " first" on the first frame, and the mode
// flags and score of that frame. Off (and free) when the variable is unset.
#pragma once

void openFrameLog();
// At the start of each frame pass; the first frame's line waits for logFrameShown.
void logFrame();
// After the frame's buffer swap: writes the first frame's line, stamped with that moment.
void logFrameShown();
