// The generated game data: every picture decodes with our bitmap decoder and has the shape
// its texture upload needs, the masks let the scene through where they should, the sounds
// and music load in the mixer, the music loops cleanly, and the generator is deterministic.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/game_state.h"
#include "platform/files.h"
#include "render/text.h"
#include "render/texture.h"
#include "support/gl_context.h"

namespace {

const std::string GameDir = KORVALIS_GAME_DIR;

// In the order of the game's HUD texture slots: colour and mask of each overlay.
const char* const HudFiles[] = {"hud-famas1.bmp",    "hud-famas2.bmp",       "hud-launcher1.bmp",
                                "hud-launcher2.bmp", "hud-nightvision2.bmp", "hud-nightvision1.bmp"};
const char* const EffectFiles[] = {"P1.bmp", "P2.bmp", "P3.bmp", "P4.bmp", "P5.bmp", "P7.bmp"};
const char* const SoundFiles[] = {"sound/shot4.wav", "sound/shoot1.wav", "sound/hit.wav", "sound/explos.wav"};
const char* const MusicFiles[] = {"sound/background.mp3", "sound/matrix.mp3"};

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

std::vector<uint8_t> Bytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(path.c_str(), &bytes)) << path;
  return bytes;
}

// Decodes a generated bitmap after checking it is the plain 24-bit bottom-up form.
ImageData Picture(const char* name) {
  std::vector<uint8_t> b = Bytes(GameDir + "/" + name);
  ImageData image;
  if (b.size() < 54) {
    ADD_FAILURE() << name << " is too short";
    return image;
  }
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Le32(b, 14), 40u) << name << ": info header size";
  EXPECT_GT(static_cast<int32_t>(Le32(b, 22)), 0) << name << ": bottom-up";
  EXPECT_EQ(Le16(b, 28), 24) << name << ": bits per pixel";
  EXPECT_EQ(Le32(b, 30), 0u) << name << ": uncompressed";
  std::string error;
  EXPECT_TRUE(DecodeBmp(b.data(), b.size(), &image, &error)) << name << ": " << error;
  EXPECT_EQ(image.channels, 3);
  return image;
}

const uint8_t* Pixel(const ImageData& image, int x, int row) {
  return &image.pixels[(static_cast<size_t>(row) * image.width + x) * 3];
}

bool IsBlack(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

// Opens the mixer on SDL's dummy driver for the length of a test.
class Mixer {
 public:
  Mixer() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ok_ = SDL_Init(SDL_INIT_AUDIO) == 0 && Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) == 0;
    Mix_Init(MIX_INIT_MP3);
  }
  ~Mixer() {
    Mix_CloseAudio();
    Mix_Quit();
    SDL_Quit();
  }
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

}  // namespace

TEST(HudPictures, DecodeWithWidthsForTheOverlayAndMasksThatLetTheSceneThrough) {
  for (const char* name : HudFiles) {
    ImageData image = Picture(name);
    ASSERT_GT(image.width, 0) << name;
    EXPECT_EQ(image.width % 4, 0) << name << ": uploaded with unpack alignment 4";
  }
  // Rows are in stored order: row 0 is the bottom of the screen, the last row the top.
  for (const char* weapon : {"famas", "launcher"}) {
    ImageData colour = Picture((std::string("hud-") + weapon + "1.bmp").c_str());
    ImageData mask = Picture((std::string("hud-") + weapon + "2.bmp").c_str());
    ASSERT_EQ(colour.width, mask.width);
    ASSERT_EQ(colour.height, mask.height);
    const int w = mask.width, h = mask.height;
    // The upper-left quarter of the screen is untouched scene.
    for (int row = h / 2; row < h; ++row) {
      for (int x = 0; x < w / 2; ++x) {
        ASSERT_EQ(Pixel(mask, x, row)[0], 255) << weapon << " mask at " << x << "," << row;
      }
    }
    // The silhouette sits at the lower right, and the colour layer adds nothing where the
    // scene shows through (it would brighten the whole screen otherwise).
    long dark = 0, sumX = 0, sumRow = 0, lit = 0;
    for (int row = 0; row < h; ++row) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* m = Pixel(mask, x, row);
        const uint8_t* c = Pixel(colour, x, row);
        if (m[0] == 255) {
          ASSERT_TRUE(IsBlack(c)) << weapon << " colour at " << x << "," << row;
        }
        if (m[0] == 0) {
          ++dark;
          sumX += x;
          sumRow += row;
          if (c[0] + c[1] + c[2] > 60) ++lit;
        }
        ASSERT_TRUE(m[0] == m[1] && m[1] == m[2]) << weapon << " mask is grey";
      }
    }
    ASSERT_GT(dark, w * h / 50) << weapon << " silhouette";
    EXPECT_GT(sumX / dark, w / 2) << weapon << " is on the right";
    EXPECT_LT(sumRow / dark, h / 2) << weapon << " is at the bottom of the screen";
    EXPECT_GT(lit, dark / 2) << weapon << " is drawn, not just masked";
  }
  // Night vision: open in the middle, closed in the corners, a green glow inside.
  ImageData mask = Picture("hud-nightvision1.bmp"), glow = Picture("hud-nightvision2.bmp");
  const int w = mask.width, h = mask.height;
  EXPECT_EQ(Pixel(mask, w / 2, h / 2)[0], 255);
  for (int corner = 0; corner < 4; ++corner) {
    int x = (corner & 1) ? w - 1 : 0, row = (corner & 2) ? h - 1 : 0;
    EXPECT_TRUE(IsBlack(Pixel(mask, x, row))) << "mask corner " << corner;
    EXPECT_TRUE(IsBlack(Pixel(glow, x, row))) << "glow corner " << corner;
  }
  const uint8_t* centre = Pixel(glow, w / 2, h / 2 + 1);
  EXPECT_GT(centre[1], centre[0]);
  EXPECT_GT(centre[1], centre[2]);
  EXPECT_LT(centre[1], 128) << "a faint glow, not a wash";
}

// The real pictures through the real overlay: the scene stays untouched at the upper left,
// the weapon covers part of the lower right, night vision closes the corners.
TEST(HudPictures, OverlayShowsTheWeaponAtTheLowerRightOfTheScreen) {
  GLTestContext ctx;
  REQUIRE_GL(ctx);
  ResetGameStateKeepingGL();
  for (int slot = 0; slot < 6; ++slot) {
    CreateHudTexture(gGame.hudTextures, (GameDir + "/" + HudFiles[slot]).c_str(), slot);
    ASSERT_NE(gGame.hudTextures[slot], 0u) << HudFiles[slot];
  }
  glEnable(GL_TEXTURE_2D);
  glColor3f(1, 1, 1);
  struct Quarter {
    long changed = 0, total = 0;
  };
  // Counts the pixels the overlay changed from the grey scene, per screen quarter
  // (0 upper left, 1 upper right, 2 lower left, 3 lower right).
  auto draw = [&](Quarter quarters[4]) {
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawHudOverlay();
    std::vector<uint8_t> pixels = ctx.ReadPixels();
    for (int row = 0; row < ctx.height(); ++row) {
      for (int x = 0; x < ctx.width(); ++x) {
        const uint8_t* p = &pixels[(static_cast<size_t>(row) * ctx.width() + x) * 4];
        bool lower = row < ctx.height() / 2;  // rows come bottom first
        Quarter& q = quarters[(lower ? 2 : 0) + (x >= ctx.width() / 2 ? 1 : 0)];
        ++q.total;
        if (std::abs(p[0] - 128) + std::abs(p[1] - 128) + std::abs(p[2] - 128) > 12) ++q.changed;
      }
    }
  };
  for (int weapon : {WeaponRifle, WeaponLauncher}) {
    gGame.currentWeapon = weapon;
    Quarter q[4];
    draw(q);
    EXPECT_EQ(q[0].changed, 0) << "weapon " << weapon << " touches the upper left";
    EXPECT_GT(q[3].changed, q[3].total / 10) << "weapon " << weapon << " at the lower right";
    EXPECT_GT(q[3].changed, q[1].changed * 4) << "weapon " << weapon << " sits low";
  }
  gGame.nightVision = true;
  Quarter q[4];
  draw(q);
  std::vector<uint8_t> pixels = ctx.ReadPixels();
  const uint8_t* corner = &pixels[0];
  EXPECT_EQ(corner[0] + corner[1] + corner[2], 0) << "the corner is closed";
  const uint8_t* centre = &pixels[(static_cast<size_t>(ctx.height() / 2) * ctx.width() + ctx.width() / 2) * 4];
  EXPECT_GT(centre[1], 128) << "green glow over the scene";
  EXPECT_GT(centre[1], centre[0] + 10);
  glDeleteTextures(6, gGame.hudTextures);
}

TEST(EffectPictures, PowerOfTwoSquaresThatFadeToBlackAtTheBorder) {
  for (const char* name : EffectFiles) {
    ImageData image = Picture(name);
    ASSERT_GT(image.width, 0) << name;
    EXPECT_EQ(image.width & (image.width - 1), 0) << name << ": uploaded as one level";
    EXPECT_EQ(image.height & (image.height - 1), 0) << name;
    // Added onto the scene: the square's edge must add nothing.
    for (int i = 0; i < image.width; ++i) {
      ASSERT_TRUE(IsBlack(Pixel(image, i, 0)) && IsBlack(Pixel(image, i, image.height - 1))) << name;
    }
    for (int i = 0; i < image.height; ++i) {
      ASSERT_TRUE(IsBlack(Pixel(image, 0, i)) && IsBlack(Pixel(image, image.width - 1, i))) << name;
    }
    int brightest = 0;
    for (uint8_t v : image.pixels) brightest = std::max<int>(brightest, v);
    EXPECT_GT(brightest, 100) << name << " shows something";
  }
}

TEST(Sounds, EffectsArePcm16At44kHzAndLoadInTheMixer) {
  Mixer mixer;
  ASSERT_TRUE(mixer.ok()) << Mix_GetError();
  for (const char* name : SoundFiles) {
    std::vector<uint8_t> b = Bytes(GameDir + "/" + name);
    ASSERT_GE(b.size(), 44u) << name;
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le16(b, 20), 1) << name << ": PCM";
    EXPECT_EQ(Le32(b, 24), 44100u) << name;
    EXPECT_EQ(Le16(b, 34), 16) << name;
    const uint32_t dataBytes = Le32(b, 40);
    ASSERT_EQ(44u + dataBytes, b.size()) << name;
    const int channels = Le16(b, 22);
    const double seconds = dataBytes / (2.0 * channels * 44100);
    EXPECT_GT(seconds, 0.2) << name;
    EXPECT_LT(seconds, 5.0) << name;
    // Loud enough, and silent at the end so it never stops on a click.
    int peak = 0;
    for (size_t at = 44; at < b.size(); at += 2) peak = std::max(peak, std::abs(static_cast<int16_t>(Le16(b, at))));
    EXPECT_GT(peak, 20000) << name;
    EXPECT_LT(std::abs(static_cast<int16_t>(Le16(b, b.size() - 2))), 64) << name;
    Mix_Chunk* chunk = Mix_LoadWAV((GameDir + "/" + name).c_str());
    EXPECT_NE(chunk, nullptr) << name << ": " << Mix_GetError();
    if (chunk) Mix_FreeChunk(chunk);
  }
}

TEST(Music, LoopsLastAtLeastThirtySecondsAndWrapWithoutAClick) {
  Mixer mixer;
  ASSERT_TRUE(mixer.ok()) << Mix_GetError();
  int rate = 0, channels = 0;
  Uint16 format = 0;
  ASSERT_TRUE(Mix_QuerySpec(&rate, &format, &channels));
  for (const char* name : MusicFiles) {
    const std::string path = GameDir + "/" + name;
    Mix_Music* music = Mix_LoadMUS(path.c_str());
    ASSERT_NE(music, nullptr) << name << ": " << Mix_GetError();
    EXPECT_GE(Mix_MusicDuration(music), 30.0) << name;
    Mix_FreeMusic(music);

    // Decode the whole file the way playback does and look at the loop point.
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    ASSERT_NE(chunk, nullptr) << name << ": " << Mix_GetError();
    ASSERT_EQ(format, AUDIO_S16SYS);
    const int16_t* s = reinterpret_cast<const int16_t*>(chunk->abuf);
    const long frames = chunk->alen / (2 * channels);
    EXPECT_GE(frames, 30L * rate) << name;
    // The encoder's delay and padding are trimmed: sound from the first frame to the last.
    bool soundAtStart = false;
    for (long f = 0; f < 64 && !soundAtStart; ++f) soundAtStart = s[f * channels] != 0;
    EXPECT_TRUE(soundAtStart) << name << " starts with a gap";
    bool soundAtEnd = false;
    for (long f = frames - 64; f < frames && !soundAtEnd; ++f) soundAtEnd = s[f * channels] != 0;
    EXPECT_TRUE(soundAtEnd) << name << " ends with a gap";
    // The step across the loop point is no bigger than the steps the music itself takes
    // around it.
    for (int c = 0; c < channels; ++c) {
      auto at = [&](long f) { return static_cast<int>(s[((f + frames) % frames) * channels + c]); };
      int around = 0;
      for (long f = -2000; f < 2000; ++f) {
        if (f != -1) around = std::max(around, std::abs(at(f + 1) - at(f)));
      }
      EXPECT_LE(std::abs(at(0) - at(-1)), around) << name << " clicks at the loop point";
    }
    Mix_FreeChunk(chunk);
  }
}

static long RecordedSize(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  return size;
}

// Looped playback through the mixer, recorded by SDL's disk driver running faster than real
// time: after the last decoded sample comes the first one again, with nothing in between.
TEST(Music, LoopedPlaybackRunsRoundTheLoopPointSampleForSample) {
  const std::string record = std::string(KORVALIS_BINARY_DIR) + "/test_assets_" + std::to_string(getpid()) + ".raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", record.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "1", 1);  // milliseconds per buffer
  for (const char* name : MusicFiles) {
    const std::string path = GameDir + "/" + name;
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024), 0) << Mix_GetError();
    int rate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    ASSERT_TRUE(rate == 44100 && format == AUDIO_S16SYS && channels == 2);
    Mix_Chunk* decoded = Mix_LoadWAV(path.c_str());
    Mix_Music* music = Mix_LoadMUS(path.c_str());
    ASSERT_TRUE(decoded && music) << Mix_GetError();
    const long frames = decoded->alen / 4;
    // The device records silence from the moment it opens, faster than real time, so on a
    // busy machine seconds of it may come before the music starts.
    const long silentFrames = RecordedSize(record) / 4;
    Mix_PlayMusic(music, -1);
    // Wait for the loop point plus a second, at most a minute.
    const long wanted = (silentFrames + frames + 2 * 44100) * 4;
    for (int waited = 0; waited < 60000 && RecordedSize(record) < wanted; waited += 50)
      SDL_Delay(50);
    Mix_HaltMusic();
    Mix_CloseAudio();
    std::vector<uint8_t> bytes = Bytes(record);
    const int16_t* out = reinterpret_cast<const int16_t*>(bytes.data());
    const int16_t* in = reinterpret_cast<const int16_t*>(decoded->abuf);
    const long outFrames = static_cast<long>(bytes.size() / 4);
    ASSERT_GE(outFrames * 4, wanted) << name << ": recording too short";
    // Where the music starts in the recording.
    long start = -1;
    for (long at = 0; at + 64 < outFrames && at < silentFrames + 44100 && start < 0; ++at) {
      if (std::memcmp(out + at * 2, in, 64 * 4) == 0) start = at;
    }
    ASSERT_GE(start, 0) << name << ": the start of the music is not in the recording";
    long mismatches = 0;
    for (long k = -2000; k < 2000; ++k) {
      long o = start + frames + k, d = (k + frames) % frames;
      if (out[o * 2] != in[d * 2] || out[o * 2 + 1] != in[d * 2 + 1]) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0) << name << ": the loop point is not seamless";
    Mix_FreeMusic(music);
    Mix_FreeChunk(decoded);
    Mix_Quit();
    SDL_Quit();
    unlink(record.c_str());
  }
}

TEST(Generator, WritesTheSameBytesOnEveryRunAndRefusesBadUse) {
  const std::string tool = std::string(KORVALIS_BINARY_DIR) + "/tools/korvalis_assetgen";
  const std::string base = std::string(KORVALIS_BINARY_DIR) + "/test_assets_" + std::to_string(getpid());
  const std::string dirs[2] = {base + "_a", base + "_b"};
  for (const std::string& dir : dirs) {
    ASSERT_EQ(std::system(("'" + tool + "' '" + dir + "'").c_str()), 0) << dir;
  }
  std::vector<std::string> names;
  for (const char* n : HudFiles) names.push_back(n);
  for (const char* n : EffectFiles) names.push_back(n);
  for (const char* n : SoundFiles) names.push_back(n);
  for (const char* n : MusicFiles) names.push_back(n);
  for (const std::string& name : names) {
    std::vector<uint8_t> first = Bytes(dirs[0] + "/" + name), second = Bytes(dirs[1] + "/" + name);
    EXPECT_FALSE(first.empty()) << name;
    EXPECT_TRUE(first == second) << name << " differs between runs";
    EXPECT_TRUE(first == Bytes(GameDir + "/" + name)) << name << " differs from the built data";
  }
  // Only the named files are written (no leftovers from encoding).
  EXPECT_NE(access((dirs[0] + "/sound/background.mp3.wav.part").c_str(), F_OK), 0);
  for (const std::string& dir : dirs) {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  EXPECT_NE(std::system(("'" + tool + "' >/dev/null 2>&1").c_str()), 0) << "no output dir";
  EXPECT_NE(std::system(("'" + tool + "' /proc/no-such-place >/dev/null 2>&1").c_str()), 0)
      << "unwritable output dir";
}
