#include "engine/frame/frame.h"

#include <SDL.h>

#include "engine/frame/notes.h"
#include "engine/frame/show.h"
#include "engine/frame/sub_buffer.h"

namespace {
// The opaque picture the frame draws first (its backdrop), to go through its state with.
const TSLMaterial* firstOpaque(const std::vector<TSLNotedDraw>& draws) {
    for (const TSLNotedDraw& draw : draws)
        if (draw.kind == tslSpriteDraw && draw.material->Opaque())
            return draw.material;
    return nullptr;
}
} // namespace

void tslBeginFrame() {
    TSLFrameNotes& notes = tslFrameNotes();
    notes.draws.clear();
    notes.noting = !tslEngine().layeredDrawing && tslCanCopySubBuffer();
}

// The later GL states are gone through in the frame after the first one shown: a software
// renderer compiles code at a state's first use, long enough to stall a frame; so it stalls
// neither the first frame nor play. A noted frame goes through them before it is drawn, whole;
// any other after its swap, in the back buffer the next frame draws over.
void tslEndFrame() {
    TSLFrameNotes& notes = tslFrameNotes();
    const bool warm = ++notes.framesShown == 2 && !tslEngine().statesWarmed;
    const bool asked = tslTakeWholeFrameRequest();
    if (notes.noting) {
        notes.noting = false;
        if (warm)
            tslWarmDrawingStates(firstOpaque(notes.draws));
        tslShowNotedFrame(notes.backKept && !asked);
        notes.draws.clear();
        return;
    }
    tslSettleClear(false); // a frame with nothing drawn still shows a cleared screen
    SDL_GL_SwapBuffers();
    notes.backKept = false;
    notes.redrawnShare = 1;
    if (warm)
        tslWarmDrawingStates(nullptr);
}

void TSLWindowEvent(const SDL_Event& event) {
    const bool regained = event.type == SDL_ACTIVEEVENT && event.active.gain;
    if (regained || event.type == SDL_VIDEOEXPOSE || event.type == SDL_VIDEORESIZE)
        tslFrameNotes().wholeAsked = true;
}

bool tslTakeWholeFrameRequest() {
    const bool asked = tslFrameNotes().wholeAsked;
    tslFrameNotes().wholeAsked = false;
    return asked;
}

double tslRedrawnShare() {
    return tslFrameNotes().redrawnShare;
}
