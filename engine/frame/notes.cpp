#include "engine/frame/notes.h"

TSLFrameNotes& tslFrameNotes() {
    static TSLFrameNotes notes;
    return notes;
}
