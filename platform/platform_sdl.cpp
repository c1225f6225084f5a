// Placeholder until the SDL2 backend lands: a backend that has no window.
#include "platform/platform.h"

namespace platform {
namespace {
class NullBackend : public Backend {
 public:
  uint32_t Ticks() override { return 0; }
  void ShowMessage(const char*, const char*) override {}
  int AskYesNo(const char*, const char*) override { return -1; }
  WindowResult CreateGameWindow(const WindowOptions&) override { return WindowResult::NoWindow; }
  bool CreateGLContext() override { return false; }
  void DestroyWindow() override {}
  void SetTitle(const char*) override {}
  void GetClientSize(int* w, int* h) override { *w = 1024; *h = 768; }
  void SwapBuffers() override {}
  void* GetProcAddress(const char*) override { return nullptr; }
  bool ExtensionSupported(const char*) override { return false; }
  void ShowCursor(bool) override {}
  bool PollEvent(Event*) override { return false; }
  bool KeyHeld(int) override { return false; }
  void GetMouse(int* x, int* y) override { *x = 512; *y = 384; }
  void SetMouse(int, int) override {}
  void PostQuit(int) override {}
};
}  // namespace
Backend* CreateSdlBackend() {
  static NullBackend backend;
  return &backend;
}
}  // namespace platform
