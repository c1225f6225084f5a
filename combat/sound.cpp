// The music and effect slots on top of the platform's audio.
#include "combat/sound.h"

#include "platform/platform.h"

void SoundInit() { platform::audio::Init(SoundMixRate, SoundChannels); }

void OpenMusic(const char* path) { platform::audio::OpenMusic(path); }

void PlayMusic(int volume) { platform::audio::PlayMusic(volume, true); }

void StopMusic() { platform::audio::StopMusic(); }

namespace {
EffectRecord lastEffect;
}  // namespace

void OpenEffect(const char* path) {
  lastEffect.path = path;
  platform::audio::OpenEffect(path);
}

void PlayEffect(int volume) {
  lastEffect.volume = volume;
  ++lastEffect.started;
  platform::audio::PlayEffect(volume);
}

const EffectRecord& LastEffect() { return lastEffect; }
