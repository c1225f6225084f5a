// The sounds of the level's moving parts: a mover starting (a clunk and a rising motor hum),
// a mover stopping (a falling hum and a heavy thud), a jump pad's throw (an air blast with a
// rising whoosh) and a teleport (a shimmering sweep with a soft swell). Synthesised like the
// other effects: filtered noise and swept sines under simple envelopes, then normalised.
#include <cmath>

#include "tools/assetgen/sounds.h"
#include "tools/assetgen/synth.h"

namespace {

std::vector<float> MoverStart() {
  std::vector<float> out(Samples(0.7f));
  Rng rng(71);
  Biquad clunk = Biquad::LowPass(420), grind = Biquad::BandPass(900, 3);
  float phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const float t = Seconds(static_cast<int>(i));
    const float noise = rng.Signed();
    const float hit = clunk.Process(noise) * Decay(t, 0.05f) * 1.4f;
    phase += TwoPi * (70 + 50 * Attack(t, 0.5f)) / SampleRate;
    const float hum = (std::sin(phase) + 0.4f * std::sin(2 * phase)) * Attack(t, 0.15f) * 0.5f;
    const float rasp = grind.Process(noise) * Attack(t, 0.2f) * 0.25f;
    out[i] = hit + hum + rasp;
  }
  Normalize(out, 0.85f);
  FadeOut(out, 0.2f);
  return out;
}

std::vector<float> MoverStop() {
  std::vector<float> out(Samples(0.6f));
  Rng rng(73);
  Biquad thud = Biquad::LowPass(260), ring = Biquad::BandPass(540, 8);
  float phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const float t = Seconds(static_cast<int>(i));
    const float noise = rng.Signed();
    phase += TwoPi * (120 - 60 * std::fmin(1.0f, t / 0.12f)) / SampleRate;
    const float hum = std::sin(phase) * Decay(t, 0.06f) * 0.5f;
    const float tt = t - 0.1f;
    const float impact = tt > 0 ? (thud.Process(noise) * 1.6f + ring.Process(noise) * 0.5f) * Decay(tt, 0.09f)
                                : thud.Process(0) + ring.Process(0);
    out[i] = hum + impact;
  }
  Normalize(out, 0.9f);
  FadeOut(out, 0.15f);
  return out;
}

std::vector<float> JumpPad() {
  std::vector<float> out(Samples(0.8f));
  Rng rng(79);
  Biquad blast = Biquad::LowPass(600), whoosh = Biquad::BandPass(400, 2);
  float phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const float t = Seconds(static_cast<int>(i));
    const float noise = rng.Signed();
    const float air = blast.Process(noise) * Decay(t, 0.08f) * 1.3f;
    whoosh.SetBandPass(300 + 2200 * std::fmin(1.0f, t / 0.6f), 2);
    const float rise = whoosh.Process(noise) * Attack(t, 0.05f) * Decay(t, 0.3f) * 1.2f;
    phase += TwoPi * (90 + 300 * t) / SampleRate;
    const float spring = std::sin(phase) * Decay(t, 0.12f) * 0.6f;
    out[i] = air + rise + spring;
  }
  Normalize(out, 0.9f);
  FadeOut(out, 0.2f);
  return out;
}

std::vector<float> Teleport() {
  std::vector<float> out(Samples(1.1f));
  Rng rng(83);
  Biquad shimmer = Biquad::BandPass(3000, 6);
  float phase = 0, phase2 = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const float t = Seconds(static_cast<int>(i));
    const float noise = rng.Signed();
    const float hz = 220 + 1400 * (1 - Decay(t, 0.25f));
    phase += TwoPi * hz / SampleRate;
    phase2 += TwoPi * hz * 1.5f * (1 + 0.01f * std::sin(TwoPi * 7 * t)) / SampleRate;
    const float env = Attack(t, 0.08f) * Decay(t, 0.4f);
    shimmer.SetBandPass(hz * 2, 6);
    out[i] = (std::sin(phase) * 0.5f + std::sin(phase2) * 0.3f + shimmer.Process(noise) * 0.8f) * env;
  }
  Normalize(out, 0.85f);
  FadeOut(out, 0.3f);
  return out;
}

}  // namespace

bool WriteMoverSounds(const std::string& soundDir) {
  return WriteMonoSounds(soundDir, {{"mover_start.wav", MoverStart},
                                    {"mover_stop.wav", MoverStop},
                                    {"jumppad.wav", JumpPad},
                                    {"teleport.wav", Teleport}});
}
