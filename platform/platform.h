// The operating-system seam. Game code reaches the window, the GL context, input, the clock,
// message boxes and audio only through these functions; they forward to the installed
// Backend. The SDL2 backend (platform_sdl.cpp) is the real one; tests install a fake
// (tests/support/fake_platform.h) so game logic runs without a window.
#pragma once
#include <cstdint>

namespace platform {

// Win32 virtual-key codes: the game's key tables are written in them.
enum Key : int {
  KeyReturn = 13, KeyEscape = 27, KeyEnd = 35, KeyHome = 36, KeyLeft = 37, KeyUp = 38,
  KeyRight = 39, KeyDown = 40, KeyPrintScreen = 44, KeyInsert = 45, KeyDelete = 46,
  Key1 = 49, Key2 = 50, KeyA = 65, KeyD = 68, KeyF = 70, KeyN = 78, KeyS = 83, KeyW = 87,
  KeyAdd = 107, KeySubtract = 109,
  KeyF1 = 112, KeyF2 = 113, KeyF3 = 114, KeyF4 = 115, KeyF5 = 116, KeyF6 = 117,
  KeyF7 = 118, KeyF11 = 122, KeyF12 = 123,
};

enum class MouseButton { Left, Right, Middle };

// Game pad buttons by their place on an Xbox-style pad (A is the bottom face button whatever
// it is labelled); a trigger counts as pressed once pulled past half way.
enum class PadButton {
  A, B, X, Y, Back, Start, LeftStick, RightStick, LeftShoulder, RightShoulder,
  DpadUp, DpadDown, DpadLeft, DpadRight, LeftTrigger, RightTrigger,
};

// Where the game pads' sticks point, each axis -1 .. 1 with the dead zone around the centre
// already 0: x grows to the right, y downwards (pushing a stick away from you gives y < 0).
struct PadSticks {
  float leftX = 0, leftY = 0, rightX = 0, rightY = 0;
};

struct Event {
  enum Type { None, Quit, KeyDown, MouseDown, PadDown, Resized, CloseRequest };
  Type type = None;
  int key = 0;                              // KeyDown: virtual-key code
  MouseButton button = MouseButton::Left;   // MouseDown
  PadButton padButton = PadButton::A;       // PadDown
  int width = 0, height = 0;                // Resized: new client size in pixels
  int exitCode = 0;                         // Quit: the code given to PostQuit
};

struct WindowOptions {
  const char* title = "Korvalis";
  int width = 1024, height = 768;           // client area
  bool fullScreen = true;
};

// Result of CreateGameWindow, so start-up can show the numbered messages.
enum class WindowResult { Ok, NoWindow, DisplaySettingsUnreadable, DisplayModeRefused };

class Backend {
 public:
  virtual ~Backend() = default;
  // Clock: milliseconds since the program started (close to zero at start).
  virtual uint32_t Ticks() = 0;
  // Modal boxes. AskYesNo returns 1 for Yes, 0 for No, -1 when no box can be shown.
  virtual void ShowMessage(const char* caption, const char* text) = 0;
  virtual int AskYesNo(const char* caption, const char* text) = 0;
  // Window and GL context.
  virtual WindowResult CreateGameWindow(const WindowOptions& options) = 0;
  virtual bool CreateGLContext() = 0;         // double-buffered RGBA, depth 24, compatibility
  virtual void DestroyWindow() = 0;           // context, display mode, window, then SDL
  virtual void SetTitle(const char* title) = 0;
  virtual void GetClientSize(int* width, int* height) = 0;
  virtual void SwapBuffers() = 0;
  virtual void* GetProcAddress(const char* name) = 0;
  virtual bool ExtensionSupported(const char* name) = 0;
  virtual void ShowCursor(bool show) = 0;
  // Input. Events come from the window between frames; KeyHeld polls the keyboard now.
  virtual bool PollEvent(Event* event) = 0;
  virtual bool KeyHeld(int virtualKey) = 0;
  virtual void GetMouse(int* x, int* y) = 0;  // window client coordinates
  virtual void SetMouse(int x, int y) = 0;    // window client coordinates
  // Game pads: the sticks of every connected pad added up (none connected: all 0). Pads are
  // taken up and let go as they are plugged in and out; their buttons arrive as PadDown.
  virtual PadSticks GetPadSticks() { return PadSticks(); }
  // Quit request: PollEvent returns a Quit event carrying the code once the queue is empty.
  virtual void PostQuit(int exitCode) = 0;
};

// The installed backend (the SDL one unless a test installed another).
Backend& Current();
void Install(Backend* backend);  // nullptr restores the default SDL backend

// Shorthands used all over the game.
inline uint32_t Ticks() { return Current().Ticks(); }
inline void PostQuit(int exitCode) { Current().PostQuit(exitCode); }
// Error box with caption "Error"; the text also goes to stderr.
void ShowError(const char* text);
// Hands the heap's free pages back to the system. The C library returns only the free top of
// its heap; pages freed below blocks still in use stay with the process, which would then
// keep the memory of its busiest moment for good.
void ReturnFreeMemory();

// Audio (SDL2_mixer). Every call is harmless when the device could not be opened or the
// file is missing: the game then stays silent.
namespace audio {
bool Init(int mixRate, int channels);
bool OpenMusic(const char* path);            // replaces any open music
void PlayMusic(int volume255, bool loop);
void StopMusic();                            // stops and closes the music
bool OpenEffect(const char* path);           // the effect slot: a new sound each time (decoded once)
void PlayEffect(int volume255);
int ToMixerVolume(int volume255);            // 0..255 -> 0..128, rounded
void Shutdown();                             // stops every sound and closes the device
}  // namespace audio

}  // namespace platform
