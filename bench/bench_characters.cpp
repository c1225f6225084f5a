// Character timings on an offscreen 1024 x 768 context, measured in one run so the ratios
// hold on a noisy machine: loading both characters and their weapon (what start-up does)
// against only reading the bytes of their files, and a frame drawing both characters as the
// game draws its bots (vertex by vertex, and as arrays) against an empty frame, the three
// frames taken in turn. Uses the generated characters of the game folder, or writes test
// characters when the game data has none. An argument sets the number of frames timed.
#include <GL/gl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/game.h"
#include "bench/bench_gl.h"
#include "core/character.h"
#include "core/game_state.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "render/texture.h"
#ifdef KORVALIS_HAVE_LEVEL_BUILDER
#include "support/md3_writer.h"
#endif

namespace {

namespace fs = std::filesystem;


const char* Names[2] = {"fidget", "jack"};

void LoadBoth(CharacterModel* characters) {
  for (int i = 0; i < 2; ++i) {
    characters[i] = CharacterModel();
    if (!characters[i].LoadCharacter(Names[i], Names[i]) ||
        !characters[i].LoadCharacterWeapon("weapons", "grenadel"))
      std::abort();
  }
}

void FreeTextures(CharacterModel* characters) {
  for (int i = 0; i < 2; ++i)
    glDeleteTextures(static_cast<GLsizei>(characters[i].textureFiles.size()), characters[i].textures);
}

// Every file the two loads open.
std::vector<std::string> CharacterFiles() {
  std::vector<std::string> files;
  for (const char* folder : {"fidget", "jack", "weapons"}) {
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path().string());
  }
  return files;
}

void Frame(CharacterModel* characters) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (characters) {
    glLoadIdentity();
    for (int i = 0; i < 2; ++i) {
      glPushMatrix();
      glTranslatef(i == 0 ? -40.0f : 40.0f, -13, -200);
      glScalef(1.5f, 1.5f, 1.5f);
      glRotatef(i == 0 ? 30.0f : 200.0f, 0, 1, 0);
      characters[i].DrawCharacter();
      glPopMatrix();
    }
  }
  platform::Current().SwapBuffers();
}

// Median milliseconds of processor time (all of the renderer's threads) of each body's frame, the bodies run in turn `rounds` times (after a
// few untimed rounds) so a change of the machine's load hits all alike.
std::vector<double> MediansInTurn(int rounds, const std::vector<std::function<void()>>& bodies) {
  std::vector<std::vector<double>> times(bodies.size());
  for (int r = -10; r < rounds; ++r) {
    for (size_t b = 0; b < bodies.size(); ++b) {
      glFinish();
      const double start = ProcessCpuMs();
      bodies[b]();
      glFinish();
      if (r >= 0) times[b].push_back(ProcessCpuMs() - start);
    }
  }
  std::vector<double> medians;
  for (std::vector<double>& t : times) {
    std::sort(t.begin(), t.end());
    medians.push_back(t[t.size() / 2]);
  }
  return medians;
}

void UseArrays(CharacterModel* characters, bool on) {
  for (int i = 0; i < 2; ++i) characters[i].arrayDrawing = on;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  std::string folder = KORVALIS_GAME_DIR;
  if (!fs::exists(folder + "/fidget/fidget_head.md3")) {
#ifdef KORVALIS_HAVE_LEVEL_BUILDER
    folder = (fs::temp_directory_path() / "korvalis_bench_characters").string();
    fs::remove_all(folder);
    WriteTestCharacter(folder, "fidget");
    WriteTestCharacter(folder, "jack");
    WriteTestWeapon(folder, "grenadel");
    std::printf("no generated characters: using the test characters\n");
#else
    std::fprintf(stderr, "bench_characters: no characters in %s\n", folder.c_str());
    return 1;
#endif
  }
  if (!OpenBenchWindow("bench_characters", folder.c_str())) return 1;
  InitializeGL(1024, 768);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);

  const std::vector<std::string> files = CharacterFiles();
  size_t totalBytes = 0;
  const double readBytes = MedianFinishedMs(1, 15, [&files, &totalBytes] {
    totalBytes = 0;
    std::vector<uint8_t> bytes;
    for (const std::string& file : files) {
      if (!ReadWholeFile(file.c_str(), &bytes)) std::abort();
      totalBytes += bytes.size();
    }
  });
  static CharacterModel characters[2];
  const double load = MedianFinishedMs(1, 15, [] {
    FreeTextures(characters);
    LoadBoth(characters);
  });
  for (CharacterModel& c : characters) {
    c.SetTorsoAnimation("TORSO_STAND");
    c.SetLegsAnimation("LEGS_WALK");
  }
  size_t triangles = 0;
  for (CharacterModel& c : characters) {
    for (const Md3Model* m : {&c.head, &c.upper, &c.lower, &c.weapon})
      for (const Md3Mesh& mesh : m->meshes) triangles += mesh.faces.size();
  }

  const std::vector<double> medians = MediansInTurn(
      runs, {[] { Frame(nullptr); }, [] { UseArrays(characters, false), Frame(characters); },
             [] { UseArrays(characters, true), Frame(characters); }});
  const double empty = medians[0], immediate = medians[1], arrays = medians[2];

  // How much of the screen the characters cover (the clear colour is black).
  Frame(characters);
  std::vector<unsigned char> rgb(1024 * 768 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_FRONT);
  glReadPixels(0, 0, 1024, 768, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  size_t covered = 0;
  for (size_t k = 0; k < rgb.size(); k += 3) covered += (rgb[k] | rgb[k + 1] | rgb[k + 2]) != 0;

  std::printf("characters from %s: %zu files, %zu bytes, %zu triangles in both\n", folder.c_str(),
              files.size(), totalBytes, triangles);
  std::printf("load (median of 15):\n");
  std::printf("  read the files' bytes              %8.3f ms\n", readBytes);
  std::printf("  LoadCharacter + weapon, both       %8.3f ms  = %.1fx reading\n", load, load / readBytes);
  std::printf("frame at 1024x768, processor time of all threads (median of %d), the characters covering %zu pixels:\n", runs, covered);
  std::printf("  empty frame (clear + swap)         %8.3f ms\n", empty);
  std::printf("  both, vertex by vertex             %8.3f ms  = %.2fx empty (+%.3f ms)\n", immediate,
              immediate / empty, immediate - empty);
  std::printf("  both, as arrays                    %8.3f ms  = %.2fx empty (+%.3f ms)\n", arrays,
              arrays / empty, arrays - empty);
  platform::Current().DestroyWindow();
  return 0;
}
