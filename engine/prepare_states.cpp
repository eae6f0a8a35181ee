// The drawing states the first frame went without, gone through once just after it is shown.
#include <GL/gl.h>

#include "engine/engine_state.h"
#include "engine/frame_record.h"
#include "engine/frame_replay.h"

void TSLPrepareDrawingStates(const TSLMaterial& opaque, TSLBlur* overlay) {
    tslEngine().statesPrepared = true;
    if (!tslCanDraw())
        return;
    const TSLPixelBox corner = {0, 0, 2, 2};
    // Scissored to the corner, which is the scissor's first use as well.
    if (opaque.Opaque()) {
        tslClipTo(corner);
        opaque.Apply();
        const double* view = tslEngine().ortho;
        tslDrawQuad(float(view[0]), float(view[2]), float(view[1]), float(view[3]), 0, 1, 1, 0);
        tslClipTo(tslWindowBox());
    }
    if (overlay)
        tslPrepareOverlay(*overlay, corner);
    // The corner holds neither frame now.
    tslForgetShownFrame();
}
