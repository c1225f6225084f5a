// The process entry and the outermost control flow: the full-screen question, the window,
// start-up, the frame loop and the shut-down.
#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/data_setup.h"
#include "app/game.h"
#include "app/headless.h"
#include "combat/sound.h"
#include "core/game_state.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace {

// Reads the options and mounts the data. Returns -1 to go on, else the exit status.
int ReadCommandLine(int argc, const char* const* argv) {
  std::string error;
  if (!ParseCommandLine(argc, argv, &gCommandLine, &error)) {
    std::fprintf(stderr, "korvalis: %s\n%s", error.c_str(), UsageText());
    return UsageExit;
  }
  if (gCommandLine.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (gCommandLine.version) {
    std::fputs(VersionText(), stdout);
    return 0;
  }
  if (!SetUpGameData(&gCommandLine, InstalledDataDirectory(), &error)) {
    std::fprintf(stderr, "korvalis: %s\n", error.c_str());
    files::UnmountAll();
    return UsageExit;
  }
  return -1;
}

}  // namespace

int GameMain(int argc, const char* const* argv) {
  if (argc > 0 && argv) {
    const int status = ReadCommandLine(argc, argv);
    if (status >= 0) return status;
  }
  platform::Backend& p = platform::Current();

  if (gCommandLine.window == WindowChoice::Ask) {
    // No box available (-1) keeps the default: full screen.
    const int answer = p.AskYesNo("Options", "Click Yes to go to full screen (Recommended)");
    if (answer == 0) gGame.fullScreen = false;
  } else {
    gGame.fullScreen = gCommandLine.window == WindowChoice::FullScreen;
  }

  platform::WindowOptions options;
  options.title = "Korvalis";
  options.width = 1024;
  options.height = 768;
  HeadlessWindowSize(&options.width, &options.height);
  options.fullScreen = gGame.fullScreen;
  switch (p.CreateGameWindow(options)) {
    case platform::WindowResult::NoWindow:
      return 1;
    case platform::WindowResult::DisplaySettingsUnreadable:
      // Carries on borderless on the unchanged desktop.
      platform::ShowError("14 Could Not Enum Display Settings");
      break;
    case platform::WindowResult::DisplayModeRefused:
      platform::ShowError("15 Display Mode Not Compatible");
      platform::PostQuit(StartupFailureExit);
      break;
    case platform::WindowResult::Ok:
      break;
  }
  if (gGame.fullScreen) p.ShowCursor(false);

  // A failing step has shown its message and posted a quit request, which ends the loop
  // before the first frame.
  InitializeGame();
  return RunMainLoop();
}

int RunMainLoop() {
  SoundInit();
  OpenMusic("sound/background.mp3");
  PlayMusic(MusicVolume);

  platform::Backend& p = platform::Current();
  HeadlessScript script = HeadlessScriptFromEnvironment();
  int exitCode = 0;
  for (;;) {
    platform::Event event;
    if (p.PollEvent(&event)) {
      if (event.type == platform::Event::Quit) {
        exitCode = event.exitCode;
        break;
      }
      HandleEvent(event);
    } else {
      gGame.camera.UpdateCamera();
      RenderFrame();
      AfterHeadlessFrame(&script);
    }
  }
  ShutdownWindow();
  return exitCode;
}

void ShutdownWindow() {
  // Closes the sound, releases the context and the window (leaving full screen restores the
  // desktop mode) and shuts SDL down.
  if (gGame.fullScreen) platform::Current().ShowCursor(true);
  platform::audio::Shutdown();
  platform::Current().DestroyWindow();
}
