// The game's sounds: the looping background music and one-shot effects, on the platform's
// audio. Volumes are on a 0-255 scale. Nothing here reports failure: without a device or a
// file the game simply stays silent.
#pragma once

constexpr int SoundMixRate = 44100;  // Hz
constexpr int SoundChannels = 32;
constexpr int MusicVolume = 120;     // of 255

void SoundInit();
void OpenMusic(const char* path);    // the music slot; the music loops
void PlayMusic(int volume);
void StopMusic();                    // stops and closes the music
void OpenEffect(const char* path);   // the effect slot; an effect plays once
void PlayEffect(int volume);

// What the effect slot last played, for the info a test or a diagnostic wants: the path
// opened, the volume and how many effects have been started since the program began.
struct EffectRecord {
  const char* path = "";
  int volume = 0;
  int started = 0;
};
const EffectRecord& LastEffect();
