// The application shell: entry, main loop, window messages, start-up and the frame.
#pragma once
#include "platform/platform.h"

// The whole program; returns the exit status. With a command line (argc > 0) it first reads
// the options and mounts the game data; without one (the tests) it reads the working
// directory as the game always has.
int GameMain(int argc = 0, const char* const* argv = nullptr);
int RunMainLoop();
void ShutdownWindow();
bool InitializeGame();                           // false after a start-up failure (quit posted)
void RenderFrame();
void HandleEvent(const platform::Event& event);  // the window procedure
void ResizeView(int width, int height);
bool InitializeGL(int width, int height);        // false (quit posted) without a GL context

// Exit status of start-up failures: a failure is never reported as success.
constexpr int StartupFailureExit = 1;
