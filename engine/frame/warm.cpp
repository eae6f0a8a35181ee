// The drawing states the first frame went without, gone through once.
#include "engine/frame/frame.h"

#include "engine/frame/draw_notes.h"
#include "engine/frame/notes.h"
#include "engine/framebuffer.h"
#include "engine/overlay.h"

namespace {
// The whole capture, a patch of it and the overlay drawn from it, scissored to the corner.
void warmOverlay(TSLBlur& overlay, const TSLPixelBox& corner) {
    const TSLEngineState& state = tslEngine();
    const int width = state.windowWidth, height = state.windowHeight;
    if (!overlay.material || width < corner.right || height < corner.top ||
        !tslFramebufferCalls().usable)
        return;
    tslCaptureOverlay(overlay, 0, width, height);
    tslCaptureOverlayAgain(overlay, 0, width, height, corner);
    tslClipTo(corner);
    tslDrawCapturedOverlay(overlay);
    tslClipTo(tslWindowBox());
}
} // namespace

void tslWarmDrawingStates(const TSLMaterial* opaque) {
    tslEngine().statesWarmed = true;
    // The corner holds neither frame now.
    tslFrameNotes().backKept = false;
    if (!tslCanDraw())
        return;
    const TSLPixelBox corner = {0, 0, 2, 2};
    // Scissored to the corner, which is the scissor's first use as well.
    if (opaque && opaque->Opaque()) {
        tslClipTo(corner);
        opaque->Apply();
        const double* view = tslEngine().ortho;
        tslDrawQuad(float(view[0]), float(view[2]), float(view[1]), float(view[3]), 0, 1, 1, 0);
        tslClipTo(tslWindowBox());
    }
    for (TSLBlur* overlay : tslEngine().overlays)
        warmOverlay(*overlay, corner);
}
