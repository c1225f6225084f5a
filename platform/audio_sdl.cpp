// Audio on SDL2_mixer: one music slot (streamed, optionally looping) and one effect slot
// that takes a new sound each time. Without a device or without the file every call is a
// harmless no-op, so the game runs on silently.
// Each effect file is decoded once, on its first use, and kept until shut-down: every shot
// and impact opens its effect anew, and decoding the file each time would read the disk in
// the middle of a frame and churn the heap with blocks of a megabyte. One decoded sound plays
// on as many channels at once as it is started on, each at the volume it was started with.
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/platform.h"

namespace platform {
namespace audio {
namespace {

bool opened = false;
Mix_Music* music = nullptr;
std::vector<uint8_t> musicBytes;  // the music streams from these bytes while it plays
Mix_Chunk* effect = nullptr;  // the effect slot: opened, not yet played

// Decoded effects by file name; a file that failed to decode keeps a null entry, so it is
// reported once, not at every shot.
std::vector<std::pair<std::string, Mix_Chunk*>> decoded;

Mix_Chunk* DecodedEffect(const char* path) {
  for (const auto& d : decoded)
    if (d.first == path) return d.second;
  // Sound files come from the game data's search path like every other file.
  std::vector<uint8_t> bytes;
  Mix_Chunk* chunk = nullptr;
  if (!files::ReadFile(path, &bytes))
    std::fprintf(stderr, "No sound from %s: the file is missing\n", path);
  else if (!(chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1)))
    std::fprintf(stderr, "No sound from %s: %s\n", path, Mix_GetError());
  decoded.emplace_back(path, chunk);
  return chunk;
}

}  // namespace

int ToMixerVolume(int volume255) {
  if (volume255 < 0) volume255 = 0;
  if (volume255 > 255) volume255 = 255;
  return (volume255 * MIX_MAX_VOLUME + 127) / 255;
}

bool Init(int mixRate, int channels) {
  if (opened) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "Sound off: %s\n", SDL_GetError());
    return false;
  }
  Mix_Init(MIX_INIT_MP3);
  if (Mix_OpenAudio(mixRate, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
    std::fprintf(stderr, "Sound off: %s\n", Mix_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  Mix_AllocateChannels(channels);
  opened = true;
  return true;
}

bool OpenMusic(const char* path) {
  if (!opened) return false;
  StopMusic();
  if (!files::ReadFile(path, &musicBytes)) {
    std::fprintf(stderr, "No music from %s: the file is missing\n", path);
    return false;
  }
  music = Mix_LoadMUS_RW(SDL_RWFromConstMem(musicBytes.data(), static_cast<int>(musicBytes.size())), 1);
  if (!music) {
    std::fprintf(stderr, "No music from %s: %s\n", path, Mix_GetError());
    musicBytes.clear();
    return false;
  }
  return true;
}

void PlayMusic(int volume255, bool loop) {
  if (!opened || !music) return;
  Mix_VolumeMusic(ToMixerVolume(volume255));
  Mix_PlayMusic(music, loop ? -1 : 1);
}

void StopMusic() {
  if (!opened) return;
  if (music) {
    Mix_HaltMusic();
    Mix_FreeMusic(music);
    music = nullptr;
    musicBytes.clear();
    musicBytes.shrink_to_fit();
  }
}

bool OpenEffect(const char* path) {
  if (!opened) return false;
  effect = DecodedEffect(path);
  return effect != nullptr;
}

void PlayEffect(int volume255) {
  if (!opened || !effect) return;
  // The volume belongs to the channel, set before the sound starts on it: the decoded sound
  // may be playing elsewhere at another volume.
  const int channel = Mix_GroupAvailable(-1);
  if (channel >= 0) {
    Mix_Volume(channel, ToMixerVolume(volume255));
    Mix_PlayChannel(channel, effect, 0);
  }  // else every channel is busy: the effect is dropped
  effect = nullptr;
}

void Shutdown() {
  if (!opened) return;
  StopMusic();
  Mix_HaltChannel(-1);
  for (const auto& d : decoded)
    if (d.second) Mix_FreeChunk(d.second);
  decoded.clear();
  effect = nullptr;
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  opened = false;
}

}  // namespace audio
}  // namespace platform
