// The engine layer: window, OpenGL drawing, text, held keys, sound and music on SDL 1.2.
// Everything the game draws, plays or asks about held keys goes through this header.
#pragma once

#include <memory>
#include <string>
#include <vector>

union SDL_Event;

// ---- set-up and frame bracketing -------------------------------------------------------------

// Opens the window and the OpenGL context. Returns false when no window could be opened
// (no display); in headless mode it opens nothing and returns true.
bool TSLInit(int width, int height, int colourDepth, bool flag);
// The picture TSLInit gives the window as its icon, read like the textures. SDL takes an icon
// only before the window opens, so this comes first; without it the window has none.
void TSLSetWindowIcon(const char* file);
void TSLOrtho2d(double left, double right, double bottom, double top);
// Bracket one frame. On a software renderer whose window keeps its back buffer, what is drawn
// between the two is drawn at TSLEndRender, and only where it changed from the frame before;
// anywhere else it is drawn at once and the buffers swapped.
void TSLBeginRender();
void TSLEndRender();
// Every event the game takes from SDL's queue, so the engine learns of those that cost the
// window part of its picture or change it (an expose, regained focus, a restore, a new size):
// the next frame is then drawn whole.
void TSLWindowEvent(const SDL_Event& event);

// Switches the window between full screen and a window of its own; the GL context, its
// textures and the picture stay, and the next frame is drawn and shown whole. False, with
// nothing changed, when the video system refuses. Headless, only the answer of
// TSLIsFullScreen changes.
bool TSLToggleFullScreen();
bool TSLIsFullScreen();

// Headless mode: the same objects and state, nothing drawn, no window, no sound device.
// Tests switch it on before TSLInit.
void TSLSetHeadless(bool headless);
bool TSLIsHeadless();

// What PrintText printed since the last TSLBeginRender (or since the start), in call order.
// Kept in every mode, so tests can read back the texts of a frame.
struct TSLPrintedText {
    float x;
    float y;
    std::string text;
};
const std::vector<TSLPrintedText>& TSLPrintedTexts();
void TSLClearPrintedTexts();

// ---- materials -------------------------------------------------------------------------------

// The render mode that draws with the alpha test instead of blending (GL_ALPHA_TEST).
const int tslAlphaTestRenderMode = 3008;

class TSLMaterial {
  public:
    TSLMaterial();
    // name is kept as the very pointer given: callers compare material identity by it.
    TSLMaterial(const char* name, float red, float green, float blue, float alpha,
                const char* textureFile);
    virtual ~TSLMaterial();
    TSLMaterial(const TSLMaterial&) = delete;
    TSLMaterial& operator=(const TSLMaterial&) = delete;

    void SetDiffuseColor(float red, float green, float blue, float alpha);
    // Binds texture, colour and render mode for drawing (no-op when headless).
    void Apply() const;
    // True when drawing with it hides whatever lies underneath: a fully opaque texture in
    // blending mode at full alpha.
    bool Opaque() const;

    const char* name = "";
    int renderMode = 0; // 0: alpha blending; tslAlphaTestRenderMode: alpha test
    float diffuse[4] = {1, 1, 1, 1};
    unsigned texture = 0;       // OpenGL texture name, 0 when none was loaded
    bool opaqueTexture = false; // every pixel of the texture has full alpha
    int textureWidth = 0;
    int textureHeight = 0;
};

class TSLMaterialLibrary {
  public:
    TSLMaterialLibrary();
    ~TSLMaterialLibrary();
    TSLMaterialLibrary(const TSLMaterialLibrary&) = delete;
    TSLMaterialLibrary& operator=(const TSLMaterialLibrary&) = delete;

    TSLMaterial* NewMaterial(const char* name, float red, float green, float blue, float alpha,
                             const char* textureFile);
    // The material made under that name (compared by characters); null when there is none.
    TSLMaterial* GetMaterial(const char* name);

  private:
    std::vector<TSLMaterial*> materials;
};

// ---- sprites ---------------------------------------------------------------------------------

class TSLPolygon {
  public:
    TSLPolygon(float x, float y, float depth, float width, float height, float unused);
    virtual ~TSLPolygon();
    virtual void Render();
    void StrafeVertical(float distance) { y += distance; }
    void StrafeHorizontal(float distance) { x += distance; }

    float x, y, depth, width, height;
    TSLMaterial* material = nullptr;
    bool visible = true;
    float radius = 0;
};

// What the overlay captured last; the engine's own.
struct TSLOverlayCapture;

// A full-screen overlay: captures what has been drawn so far and draws it back softened,
// tinted by its own material.
class TSLBlur : public TSLPolygon {
  public:
    TSLBlur(float x, float y, float depth, float width, float height, float unused,
            int textureSize);
    ~TSLBlur() override;
    using TSLPolygon::Render;
    virtual void Render(int windowWidth, int windowHeight);

    TSLMaterial overlayMaterial;
    // Side of the square capture texture, used only where the GL context has no framebuffer
    // objects; the capture is otherwise half the window's size.
    int textureSize;
    const std::unique_ptr<TSLOverlayCapture> capture;
};

// ---- text ------------------------------------------------------------------------------------

class TSLText : public TSLMaterial {
  public:
    TSLText();
    ~TSLText() override;
    void MakeRasterFont();
    // One line of text whose bottom-left corner is at logical (x, y).
    void PrintText(float x, float y, const char* text);

  private:
    unsigned fontBase = 0; // the atlas texture
};

// ---- fog (constructed, otherwise idle) --------------------------------------------------------

class TSLFog {
  public:
    TSLFog(float mode, float start, float end, float density, float red, float green, float blue);
    float values[7];
};

// ---- keys ------------------------------------------------------------------------------------

class TSLKeyhandler {
  public:
    // True while the key with this SDL symbol is held.
    bool IsKeydown(int sym);

    // Test seam: SDL_PushEvent does not change SDL's key state, so tests hold keys here.
    static void SetTestKey(int sym, bool held);
    static void ClearTestKeys();
    // Keys held on another device that stands in for the keyboard (a gamepad).
    static void SetDeviceKey(int sym, bool held);
};

// ---- sound and music -------------------------------------------------------------------------

// Opens the audio device; without one the game goes on silently.
void TSLSoundInit();
// Silences music and sounds, or gives them back; a choice made before the audio device is
// open holds once it is.
void TSLSetMuted(bool muted);
bool TSLIsMuted();

class TSLSoundSample {
  public:
    TSLSoundSample();
    ~TSLSoundSample();
    bool LoadFromFile(const char* file);
    // Before the first LoadFromFile the sound waits and plays once the sample is loaded.
    void Play();
    // How often Play was called; lets tests count sounds without a sound card.
    int playCount = 0;

  private:
    void* chunk = nullptr;
    bool loadTried = false;
    bool playWhenLoaded = false;
};

class TSLMusic {
  public:
    TSLMusic();
    ~TSLMusic();
    void PlayFile(const char* file);
    // Length and position of the track last started, in milliseconds; 0 when none.
    // Once the track has ended GetTime equals GetLength.
    int GetLength();
    int GetTime();
    // Holds the track where it is, clock and sound, until Resume; a new track plays at once.
    void Pause();
    void Resume();

    // Test seam: pretend the current track has played to its end.
    void FinishForTest();
    // The file last passed to PlayFile (empty when none).
    const std::string& CurrentFile() const { return currentFile; }

  private:
    void* track = nullptr;
    std::string currentFile;
    int lengthMillis = 0;
    unsigned startTicks = 0;
    unsigned pausedTicks = 0; // when Pause held the track; its clock stands there
    bool finished = false;
    bool paused = false;
};
