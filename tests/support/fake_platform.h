// A scripted platform for tests: a settable clock, held keys, a mouse, recorded message
// boxes, titles and quit requests, and queued events. No window.
#pragma once
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

class FakePlatform : public platform::Backend {
 public:
  FakePlatform() { platform::Install(this); }
  ~FakePlatform() override { platform::Install(nullptr); }

  uint32_t Ticks() override { return now; }
  void ShowMessage(const char* caption, const char* text) override {
    messages.push_back(std::string(caption) + ": " + text);
  }
  int AskYesNo(const char*, const char*) override { return answer; }
  platform::WindowResult CreateGameWindow(const platform::WindowOptions& o) override {
    options = o;
    return windowResult;
  }
  bool CreateGLContext() override { return glContextOk; }
  void DestroyWindow() override { destroyed = true; }
  void SetTitle(const char* t) override { titles.push_back(t); }
  void GetClientSize(int* w, int* h) override { *w = clientWidth; *h = clientHeight; }
  void SwapBuffers() override { ++swaps; }
  void* GetProcAddress(const char*) override { return nullptr; }
  bool ExtensionSupported(const char*) override { return extensionsSupported; }
  void ShowCursor(bool show) override { cursorShown = show; }
  bool PollEvent(platform::Event* e) override {
    if (!events.empty()) {
      *e = events.front();
      events.pop_front();
      return true;
    }
    if (quitPosted) {
      quitPosted = false;
      e->type = platform::Event::Quit;
      e->exitCode = quitCode;
      return true;
    }
    return false;
  }
  bool KeyHeld(int vk) override { return held.count(vk) != 0; }
  void GetMouse(int* x, int* y) override { *x = mouseX; *y = mouseY; }
  void SetMouse(int x, int y) override { mouseX = x; mouseY = y; ++mouseWarps; }
  void PostQuit(int code) override {
    quitPosted = true;
    quitCode = code;
    ++quitRequests;
  }

  uint32_t now = 0;
  int answer = -1;
  platform::WindowResult windowResult = platform::WindowResult::Ok;
  platform::WindowOptions options;
  bool glContextOk = true;
  bool extensionsSupported = true;
  bool destroyed = false;
  bool cursorShown = true;
  int clientWidth = 1024, clientHeight = 768;
  int swaps = 0;
  std::set<int> held;
  int mouseX = 512, mouseY = 384;
  int mouseWarps = 0;
  bool quitPosted = false;
  int quitCode = 0;
  int quitRequests = 0;
  std::deque<platform::Event> events;
  std::vector<std::string> messages;
  std::vector<std::string> titles;
};
