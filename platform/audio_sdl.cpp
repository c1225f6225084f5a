// Audio on SDL2_mixer: one music slot (streamed, optionally looping) and one effect slot
// that takes a new sound each time. Without a device or without the file every call is a
// harmless no-op, so the game runs on silently.
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace audio {
namespace {

bool opened = false;
Mix_Music* music = nullptr;
Mix_Chunk* effect = nullptr;  // opened, not yet played

// Effects that were started: freed once their channel has moved on.
struct PlayingEffect {
  Mix_Chunk* chunk;
  int channel;
};
std::vector<PlayingEffect> playing;

void FreeFinishedEffects() {
  for (size_t i = 0; i < playing.size();) {
    const PlayingEffect& p = playing[i];
    if (Mix_Playing(p.channel) && Mix_GetChunk(p.channel) == p.chunk) {
      ++i;
      continue;
    }
    Mix_FreeChunk(p.chunk);
    playing[i] = playing.back();
    playing.pop_back();
  }
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
  music = Mix_LoadMUS(path);
  if (!music) {
    std::fprintf(stderr, "No music from %s: %s\n", path, Mix_GetError());
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
  }
}

bool OpenEffect(const char* path) {
  if (!opened) return false;
  FreeFinishedEffects();
  if (effect) Mix_FreeChunk(effect);  // opened but never played
  effect = Mix_LoadWAV(path);
  if (!effect) {
    std::fprintf(stderr, "No sound from %s: %s\n", path, Mix_GetError());
    return false;
  }
  return true;
}

void PlayEffect(int volume255) {
  if (!opened || !effect) return;
  // The chunk carries its own volume, so a reused channel never keeps an old one.
  Mix_VolumeChunk(effect, ToMixerVolume(volume255));
  int channel = Mix_PlayChannel(-1, effect, 0);
  if (channel < 0) {
    Mix_FreeChunk(effect);  // every channel busy: the effect is dropped
  } else {
    playing.push_back({effect, channel});
  }
  effect = nullptr;
}

void Shutdown() {
  if (!opened) return;
  StopMusic();
  Mix_HaltChannel(-1);
  for (const PlayingEffect& p : playing) Mix_FreeChunk(p.chunk);
  playing.clear();
  if (effect) Mix_FreeChunk(effect);
  effect = nullptr;
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  opened = false;
}

}  // namespace audio
}  // namespace platform
