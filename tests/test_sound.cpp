// Sound on SDL's disk and dummy audio drivers: music loops at its volume, effects play
// once at their own volumes from one decoding per file, and missing files or a missing device leave the game silent and running.
// Each test runs in its own process (test discovery), so the mixer starts fresh.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "combat/sound.h"
#include "platform/platform.h"

namespace {

std::string TempPath(const char* name) {
  return std::string(KORVALIS_BINARY_DIR) + "/test_sound_" + std::to_string(getpid()) + "_" + name;
}

void Put16(std::vector<uint8_t>& b, int v) {
  b.push_back(static_cast<uint8_t>(v & 0xff));
  b.push_back(static_cast<uint8_t>((v >> 8) & 0xff));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, static_cast<int>(v & 0xffff));
  Put16(b, static_cast<int>(v >> 16));
}

// A mono 16-bit 44.1 kHz square wave of the given length and amplitude.
std::string WriteTone(const char* name, int milliseconds, int amplitude) {
  const int samples = 44100 * milliseconds / 1000;
  std::vector<uint8_t> b;
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  Put32(b, 36 + samples * 2);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, 1);
  Put32(b, 44100);
  Put32(b, 44100 * 2);
  Put16(b, 2);
  Put16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  Put32(b, samples * 2);
  for (int i = 0; i < samples; ++i) Put16(b, (i / 50) % 2 ? amplitude : -amplitude);
  std::string path = TempPath(name);
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(b.data(), 1, b.size(), f);
  std::fclose(f);
  return path;
}

// Peak of the s16 samples written by the disk driver from byte offset `from` on.
int PeakFrom(const std::string& path, long from) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  std::fseek(f, from, SEEK_SET);
  int peak = 0;
  int16_t s[1024];
  size_t n;
  while ((n = std::fread(s, 2, 1024, f)) > 0) {
    for (size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
  }
  std::fclose(f);
  return peak;
}

long FileSize(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fclose(f);
  return size;
}

class DiskAudio : public ::testing::Test {
 protected:
  void SetUp() override {
    out = TempPath("mix.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    SoundInit();
    int rate = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_EQ(Mix_QuerySpec(&rate, &format, &channels), 1) << "no disk audio device";
    ASSERT_EQ(rate, SoundMixRate);
    ASSERT_EQ(format, AUDIO_S16LSB);
    ASSERT_EQ(Mix_AllocateChannels(-1), SoundChannels);
  }
  void TearDown() override {
    for (const std::string& f : files) std::remove(f.c_str());
    std::remove(out.c_str());
  }
  std::string Tone(const char* name, int ms, int amplitude) {
    files.push_back(WriteTone(name, ms, amplitude));
    return files.back();
  }
  std::string out;
  std::vector<std::string> files;
};

TEST(SoundVolume, ScaleOf255BecomesMixerScale) {
  using platform::audio::ToMixerVolume;
  EXPECT_EQ(ToMixerVolume(0), 0);
  EXPECT_EQ(ToMixerVolume(100), 50);
  EXPECT_EQ(ToMixerVolume(120), 60);
  EXPECT_EQ(ToMixerVolume(155), 78);
  EXPECT_EQ(ToMixerVolume(255), 128);
  EXPECT_EQ(ToMixerVolume(300), 128);
  EXPECT_EQ(ToMixerVolume(-5), 0);
}

TEST_F(DiskAudio, MusicLoopsAtItsVolume) {
  OpenMusic(Tone("music.wav", 150, 16000).c_str());
  PlayMusic(MusicVolume);
  EXPECT_EQ(Mix_VolumeMusic(-1), 60);
  SDL_Delay(600);  // four times the music's length
  EXPECT_TRUE(Mix_PlayingMusic());
  // Heard at 60/128 of its amplitude, mixed to both channels.
  const int peak = PeakFrom(out, FileSize(out) / 2);
  EXPECT_GT(peak, 16000 * 60 / 128 - 1000);
  EXPECT_LT(peak, 16000 * 60 / 128 + 1000);

  StopMusic();
  EXPECT_FALSE(Mix_PlayingMusic());
  StopMusic();  // twice is harmless

  // Switching music (the slow-motion key) replaces the stream.
  OpenMusic(Tone("other.wav", 100, 8000).c_str());
  PlayMusic(MusicVolume);
  EXPECT_TRUE(Mix_PlayingMusic());
}

TEST_F(DiskAudio, EffectsPlayOnce) {
  const std::string shot = Tone("shot.wav", 100, 20000);
  OpenEffect(shot.c_str());
  PlayEffect(255);
  EXPECT_EQ(Mix_Playing(-1), 1);
  // The file is decoded once: gone from the disk, it still plays, on its own channel and
  // at its own volume while the first start plays on at full volume.
  std::remove(shot.c_str());
  OpenEffect(shot.c_str());
  PlayEffect(100);
  EXPECT_EQ(Mix_Playing(-1), 2);
  EXPECT_EQ(Mix_Volume(0, -1), 128);
  EXPECT_EQ(Mix_Volume(1, -1), 50);
  SDL_Delay(400);
  EXPECT_EQ(Mix_Playing(-1), 0);
  EXPECT_GT(PeakFrom(out, 0), 20000 - 1000);

  // Many effects at once: beyond the channels they are dropped, never a crash.
  for (int i = 0; i < 100; ++i) {
    OpenEffect(shot.c_str());
    PlayEffect(155);
  }
  EXPECT_EQ(Mix_Playing(-1), SoundChannels);
}

TEST_F(DiskAudio, MissingFilesAreSilentAndHarmless) {
  OpenMusic("sound/no-such-music.mp3");
  PlayMusic(MusicVolume);
  EXPECT_FALSE(Mix_PlayingMusic());
  StopMusic();
  OpenEffect("sound/no-such-effect.wav");
  PlayEffect(255);
  PlayEffect(255);
  EXPECT_EQ(Mix_Playing(-1), 0);

  // Not a sound file at all.
  const std::string junk = TempPath("junk.wav");
  files.push_back(junk);
  FILE* f = std::fopen(junk.c_str(), "wb");
  std::fputs("RIFF\x10\0\0\0WAVEjunk", f);
  std::fclose(f);
  OpenEffect(junk.c_str());
  PlayEffect(255);
  OpenMusic(junk.c_str());
  PlayMusic(MusicVolume);
  EXPECT_EQ(Mix_Playing(-1), 0);
  EXPECT_FALSE(Mix_PlayingMusic());
}

TEST(SoundWithoutDevice, EveryCallIsHarmless) {
  // Before any initialisation, and with a device that cannot be opened.
  OpenMusic("sound/background.mp3");
  PlayMusic(MusicVolume);
  OpenEffect("sound/hit.wav");
  PlayEffect(100);
  StopMusic();
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SoundInit();
  EXPECT_FALSE(Mix_QuerySpec(nullptr, nullptr, nullptr));
  OpenMusic("sound/background.mp3");
  PlayMusic(MusicVolume);
  OpenEffect("sound/hit.wav");
  PlayEffect(100);
  StopMusic();
}

}  // namespace
