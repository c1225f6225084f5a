// Sound synthesis building blocks: noise, oscillators, filters, envelopes, a looped
// stereo mix buffer and the 16-bit PCM WAV encoder.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/picture.h"  // Rng

constexpr int SampleRate = 44100;
constexpr float TwoPi = 6.28318530718f;

// A second-order filter (the usual cookbook forms), processed one sample at a time.
struct Biquad {
  float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  float x1 = 0, x2 = 0, y1 = 0, y2 = 0;

  static Biquad LowPass(float hz, float q = 0.7071f);
  static Biquad HighPass(float hz, float q = 0.7071f);
  static Biquad BandPass(float hz, float q);  // peak gain 1
  // Recomputes the coefficients while keeping the state, for swept filters.
  void SetLowPass(float hz, float q = 0.7071f);
  void SetBandPass(float hz, float q);
  float Process(float x) {
    float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

inline float Seconds(int sample) { return static_cast<float>(sample) / SampleRate; }
inline int Samples(float seconds) { return static_cast<int>(seconds * SampleRate + 0.5f); }
float NoteHz(int midiNote);

// Envelopes, at `t` seconds into a sound: an exponential fall by 1/e every `seconds`, and a
// linear rise from 0 to 1 over the first `seconds`.
inline float Decay(float t, float seconds) { return std::exp(-t / seconds); }
inline float Attack(float t, float seconds) { return t >= seconds ? 1.0f : t / seconds; }

// Scales the buffer so its largest magnitude is `peak`.
void Normalize(std::vector<float>& samples, float peak);
// Fades the last `seconds` linearly to silence.
void FadeOut(std::vector<float>& samples, float seconds);

// A stereo loop `frames` long: whatever is added past the end wraps to the start, so
// every note's tail continues across the loop point.
struct LoopMix {
  int frames = 0;
  std::vector<float> left, right;

  explicit LoopMix(int frameCount) : frames(frameCount), left(frameCount), right(frameCount) {}
  // Adds a mono voice at `start` (in samples), panned -1 (left) .. 1 (right).
  void Add(int start, const std::vector<float>& voice, float gain, float pan);
  void AddMix(const LoopMix& other, float gain);
};

// Runs a stateful effect over the loop twice and keeps the second pass, so the effect's
// state at the loop point is what it would be when the music repeats.
template <typename Effect>
void ProcessLooped(std::vector<float>& samples, Effect& effect) {
  for (float x : samples) effect(x);
  for (float& x : samples) x = effect(x);
}

// 16-bit PCM WAV bytes (interleaved when stereo); samples are clamped to -1 .. 1.
std::vector<uint8_t> EncodeWav16(const std::vector<float>& interleaved, int channels);

// A mono sound effect and the file it is written to.
struct NamedSound {
  const char* fileName;
  std::vector<float> (*make)();
};
// Writes each sound as a mono WAV into `soundDir`; false when any file could not be written
// (the others are still written).
bool WriteMonoSounds(const std::string& soundDir, const std::vector<NamedSound>& sounds);
std::vector<float> Interleave(const LoopMix& mix);
