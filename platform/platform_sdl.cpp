// The SDL2 backend of the platform seam: window and display mode, the OpenGL context,
// message boxes, key and mouse events in Win32 virtual-key codes, held-key polling, the
// mouse-look cursor, game pads (game_pads_sdl.cpp) and the millisecond clock.
#include <GL/gl.h>
#include <SDL.h>

#include <csignal>
#include <cstdio>

#include "platform/game_pads_sdl.h"
#include "platform/platform.h"

namespace platform {
namespace {

// SDL key code -> Win32 virtual-key code; 0 when the game has no use for the key.
int VirtualKeyFromSdl(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return KeyF1 + (key - SDLK_F1);
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KeyReturn;
    case SDLK_ESCAPE: return KeyEscape;
    case SDLK_SPACE: return 32;
    case SDLK_END: return KeyEnd;
    case SDLK_HOME: return KeyHome;
    case SDLK_LEFT: return KeyLeft;
    case SDLK_UP: return KeyUp;
    case SDLK_RIGHT: return KeyRight;
    case SDLK_DOWN: return KeyDown;
    case SDLK_PRINTSCREEN: return KeyPrintScreen;
    case SDLK_INSERT: return KeyInsert;
    case SDLK_DELETE: return KeyDelete;  // SDL gives 127 here
    case SDLK_KP_PLUS: return KeyAdd;
    case SDLK_KP_MINUS: return KeySubtract;
    default: return 0;
  }
}

// The reverse, for polling held keys.
SDL_Keycode SdlFromVirtualKey(int vk) {
  if (vk >= 'A' && vk <= 'Z') return SDLK_a + (vk - 'A');
  if (vk >= '0' && vk <= '9') return SDLK_0 + (vk - '0');
  if (vk >= KeyF1 && vk <= KeyF1 + 11) return SDLK_F1 + (vk - KeyF1);
  switch (vk) {
    case KeyReturn: return SDLK_RETURN;
    case KeyEscape: return SDLK_ESCAPE;
    case 32: return SDLK_SPACE;
    case KeyEnd: return SDLK_END;
    case KeyHome: return SDLK_HOME;
    case KeyLeft: return SDLK_LEFT;
    case KeyUp: return SDLK_UP;
    case KeyRight: return SDLK_RIGHT;
    case KeyDown: return SDLK_DOWN;
    case KeyPrintScreen: return SDLK_PRINTSCREEN;
    case KeyInsert: return SDLK_INSERT;
    case KeyDelete: return SDLK_DELETE;
    case KeyAdd: return SDLK_KP_PLUS;
    case KeySubtract: return SDLK_KP_MINUS;
    default: return SDLK_UNKNOWN;
  }
}

// SIGINT (Ctrl+C) and SIGTERM end the game like closing the window, whatever the video
// driver: the handler only notes the signal, and PollEvent turns it into a close request
// between frames, so the game leaves through its normal shut-down with status 0. A signal
// the parent set to be ignored (nohup, a background job) stays ignored.
volatile std::sig_atomic_t closeSignalled = 0;

void OnCloseSignal(int) { closeSignalled = 1; }

void CatchCloseSignals() {
  const int signals[] = {SIGINT, SIGTERM};
  for (int signal : signals) {
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
  }
}

// Starts SDL's video. With an X display and no driver asked for, only X11 will do: when the
// X server is slow to answer (seen under heavy load: the connection is made but its set-up
// fails), SDL would pass over X11 and start its offscreen driver, and the game would run
// with no window at all. A busy X server is given more tries instead.
constexpr int X11Attempts = 20;
constexpr Uint32 X11RetryMs = 250;

bool StartVideo() {
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  const char* display = SDL_getenv("DISPLAY");
  if ((asked && *asked) || !display || !*display) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0) return true;
    std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
    return false;
  }
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  for (int attempt = 1;; ++attempt) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0) return true;
    std::fprintf(stderr, "SDL video: X display %s not ready (%s), attempt %d of %d\n", display,
                 SDL_GetError(), attempt, X11Attempts);
    if (attempt == X11Attempts) return false;
    SDL_Delay(X11RetryMs);
  }
}

class SdlBackend : public Backend {
 public:
  uint32_t Ticks() override {
    EnsureTimer();
    return SDL_GetTicks();
  }

  void ShowMessage(const char* caption, const char* text) override {
    // The box belongs to the game window when there is one, so it stays above a full-screen
    // window; the mouse is freed and shown while it is open. Fails quietly when no display
    // exists (ShowError has already printed the text).
    const bool grabbed = window_ && SDL_GetWindowGrab(window_);
    const int cursor = SDL_ShowCursor(SDL_QUERY);
    if (grabbed) SDL_SetWindowGrab(window_, SDL_FALSE);
    SDL_ShowCursor(SDL_ENABLE);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, window_);
    SDL_ShowCursor(cursor);
    if (grabbed) SDL_SetWindowGrab(window_, SDL_TRUE);
  }

  int AskYesNo(const char* caption, const char* text) override {
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
    };
    SDL_MessageBoxData data = {};
    data.flags = SDL_MESSAGEBOX_INFORMATION;
    data.title = caption;
    data.message = text;
    data.numbuttons = 2;
    data.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) return -1;  // no box available
    return pressed;  // 1 Yes, 0 No, -1 closed without an answer
  }

  WindowResult CreateGameWindow(const WindowOptions& options) override {
    EnsureTimer();
    // The window class (X11 WM_CLASS) is the game's name, not the executable's.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", options.title, 0);
    if (!StartVideo()) return WindowResult::NoWindow;
    pads_.Start();
    CatchCloseSignals();  // after SDL, which installs handlers of its own
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    WindowResult result = WindowResult::Ok;
    Uint32 flags = SDL_WINDOW_OPENGL;
    fullScreen_ = false;
    if (options.fullScreen) {
      // Full screen at the requested size, keeping the desktop's colour depth.
      SDL_DisplayMode desktop;
      if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        result = WindowResult::DisplaySettingsUnreadable;
        flags |= SDL_WINDOW_BORDERLESS;  // carry on borderless on the unchanged desktop
      } else {
        SDL_DisplayMode wanted = desktop;
        wanted.w = options.width;
        wanted.h = options.height;
        if (!SDL_GetClosestDisplayMode(0, &wanted, &mode_) || mode_.w != options.width ||
            mode_.h != options.height) {
          result = WindowResult::DisplayModeRefused;
          flags |= SDL_WINDOW_BORDERLESS;
        } else {
          flags |= SDL_WINDOW_FULLSCREEN;
          fullScreen_ = true;
        }
      }
    } else {
      flags |= SDL_WINDOW_RESIZABLE;
    }

    window_ = SDL_CreateWindow(options.title, 0, 0, options.width, options.height, flags);
    if (!window_) {
      std::fprintf(stderr, "SDL window: %s\n", SDL_GetError());
      return WindowResult::NoWindow;
    }
    if (fullScreen_) {
      SDL_SetWindowDisplayMode(window_, &mode_);
      // SDL reports success even when it silently gave another size: check.
      int w = 0, h = 0;
      SDL_GetWindowSize(window_, &w, &h);
      if (w != options.width || h != options.height) result = WindowResult::DisplayModeRefused;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    offscreen_ = driver && SDL_strcmp(driver, "offscreen") == 0;
    SDL_StopTextInput();  // key-down events are all the game reads
    SDL_RaiseWindow(window_);
    return result;
  }

  bool CreateGLContext() override {
    // Without a game window, a context the caller already made current (an offscreen test
    // or tool) stands in for the window's; with neither there is nothing to draw with.
    if (!window_) return SDL_GL_GetCurrentContext() != nullptr;
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
      std::fprintf(stderr, "SDL GL context: %s\n", SDL_GetError());
      return false;
    }
    if (SDL_GL_MakeCurrent(window_, context_) != 0) {
      std::fprintf(stderr, "SDL GL make current: %s\n", SDL_GetError());
      return false;
    }
    // Never wait for the display's vertical blank: the loop draws frames back to back and
    // the game tick keeps its own pace. A driver setting may still force synchronisation;
    // failing to set the interval is harmless.
    SDL_GL_SetSwapInterval(0);
    return true;
  }

  void DestroyWindow() override {
    if (context_) {
      SDL_GL_MakeCurrent(window_, nullptr);
      SDL_GL_DeleteContext(context_);
      context_ = nullptr;
    }
    if (window_) {
      // Leaving full screen restores the desktop mode.
      SDL_SetWindowGrab(window_, SDL_FALSE);
      SDL_DestroyWindow(window_);
      window_ = nullptr;
    }
    pads_.Stop();
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    SDL_Quit();  // the last of SDL: the display mode is back and nothing else is open
    timerStarted_ = false;
  }

  void SetTitle(const char* title) override {
    if (window_) SDL_SetWindowTitle(window_, title);
  }

  void GetClientSize(int* width, int* height) override {
    *width = 0;
    *height = 0;
    if (window_) SDL_GetWindowSize(window_, width, height);
  }

  void SwapBuffers() override {
    if (!window_) return;
    // The offscreen driver's swap is a no-op that never hands the frame to the renderer:
    // Mesa then queues every frame's drawing (megabytes each) until something waits for
    // it, so memory grows without end, and the shut-down after a signal or a close waits
    // for the whole backlog. Waiting here keeps one frame in flight, as a real swap does.
    if (offscreen_) glFinish();
    SDL_GL_SwapWindow(window_);
  }

  void* GetProcAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }

  bool ExtensionSupported(const char* name) override {
    return context_ && SDL_GL_ExtensionSupported(name) == SDL_TRUE;
  }

  void ShowCursor(bool show) override {
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    // A hidden cursor is kept inside the window for mouse look.
    if (window_) SDL_SetWindowGrab(window_, show ? SDL_FALSE : SDL_TRUE);
  }

  bool PollEvent(Event* event) override {
    if (closeSignalled) {
      closeSignalled = 0;
      *event = Event();
      event->type = Event::CloseRequest;
      return true;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      *event = Event();
      if (pads_.HandleEvent(e, event)) return true;
      switch (e.type) {
        case SDL_QUIT:
          event->type = Event::CloseRequest;
          return true;
        case SDL_KEYDOWN: {
          // A held key repeats its key-down, as Win32 does.
          int vk = VirtualKeyFromSdl(e.key.keysym.sym);
          if (vk == 0) break;
          event->type = Event::KeyDown;
          event->key = vk;
          return true;
        }
        case SDL_MOUSEBUTTONDOWN:
          if (e.button.button == SDL_BUTTON_LEFT) {
            event->button = MouseButton::Left;
          } else if (e.button.button == SDL_BUTTON_RIGHT) {
            event->button = MouseButton::Right;
          } else if (e.button.button == SDL_BUTTON_MIDDLE) {
            event->button = MouseButton::Middle;
          } else {
            break;
          }
          event->type = Event::MouseDown;
          return true;
        case SDL_WINDOWEVENT:
          if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            event->type = Event::Resized;
            event->width = e.window.data1;
            event->height = e.window.data2;
            return true;
          }
          if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            event->type = Event::CloseRequest;
            return true;
          }
          break;
        default:
          break;
      }
    }
    // The quit request is seen once nothing else is waiting.
    if (quitPosted_) {
      quitPosted_ = false;
      *event = Event();
      event->type = Event::Quit;
      event->exitCode = quitCode_;
      return true;
    }
    return false;
  }

  bool KeyHeld(int virtualKey) override {
    SDL_Keycode key = SdlFromVirtualKey(virtualKey);
    if (key == SDLK_UNKNOWN) return false;
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    SDL_Scancode code = SDL_GetScancodeFromKey(key);
    return code > 0 && code < count && state[code] != 0;
  }

  void GetMouse(int* x, int* y) override {
    // Without the keyboard focus the mouse belongs to other windows: report the rest point
    // (the centre) so mouse look neither turns nor pulls the cursor back.
    if (window_ && !(SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS)) {
      GetClientSize(x, y);
      *x /= 2;
      *y /= 2;
      return;
    }
    SDL_GetMouseState(x, y);
  }

  void SetMouse(int x, int y) override {
    if (window_) SDL_WarpMouseInWindow(window_, x, y);
  }

  PadSticks GetPadSticks() override { return pads_.Sticks(); }

  void PostQuit(int exitCode) override {
    // A failure code is never overwritten by a later request with code 0.
    if (!quitPosted_ || exitCode > quitCode_) quitCode_ = exitCode;
    quitPosted_ = true;
  }

 private:
  void EnsureTimer() {
    if (!timerStarted_) {
      SDL_InitSubSystem(SDL_INIT_TIMER);
      timerStarted_ = true;
    }
  }

  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  SDL_DisplayMode mode_ = {};
  GamePadsSdl pads_;
  bool fullScreen_ = false;
  bool offscreen_ = false;      // SDL's offscreen video driver (headless runs)
  bool timerStarted_ = false;
  bool quitPosted_ = false;
  int quitCode_ = 0;
};

}  // namespace

Backend* CreateSdlBackend() {
  static SdlBackend backend;
  return &backend;
}

}  // namespace platform
