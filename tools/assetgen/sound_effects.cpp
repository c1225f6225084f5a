// The four effect sounds: layers of filtered noise and swept sines under simple
// exponential envelopes, then normalised.
#include <cmath>

#include "tools/assetgen/sounds.h"
#include "tools/assetgen/synth.h"

namespace {

// A sharp rifle crack: a very short broadband snap, a blast that darkens quickly, a low
// punch, the bolt's click and a short room tail.
std::vector<float> RifleCrack() {
  std::vector<float> out(Samples(0.75f));
  Rng rng(11);
  Biquad snapHp = Biquad::HighPass(1800), blast = Biquad::LowPass(5000), tail = Biquad::BandPass(420, 0.8f);
  Biquad clickBp = Biquad::BandPass(3200, 4);
  float phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    float noise = rng.Signed();
    float snap = snapHp.Process(noise) * Decay(t, 0.0035f) * 1.2f;
    blast.SetLowPass(600 + 5000 * Decay(t, 0.03f));
    float body = blast.Process(noise) * Decay(t, 0.05f) * 0.9f;
    phase += TwoPi * (55 + 110 * Decay(t, 0.02f)) / SampleRate;
    float punch = std::sin(phase) * Decay(t, 0.06f) * 0.75f;
    float room = tail.Process(noise) * Attack(t, 0.012f) * Decay(t, 0.2f) * 0.45f;
    float tc = t - 0.07f;
    float click = tc > 0 ? clickBp.Process(noise) * Decay(tc, 0.004f) * 0.5f : clickBp.Process(0);
    out[i] = snap + body + punch + room + click;
  }
  Normalize(out, 0.95f);
  FadeOut(out, 0.03f);
  return out;
}

// A hollow launcher thump: a falling low "bloop", the tube's resonances, a puff of air and
// a metallic clack at the start.
std::vector<float> LauncherThump() {
  std::vector<float> out(Samples(0.8f));
  Rng rng(23);
  Biquad tube1 = Biquad::BandPass(310, 9), tube2 = Biquad::BandPass(690, 7), puff = Biquad::LowPass(350);
  Biquad clack = Biquad::HighPass(2500);
  float phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    float noise = rng.Signed();
    phase += TwoPi * (65 + 160 * Decay(t, 0.05f)) / SampleRate;
    float bloop = std::sin(phase) * Attack(t, 0.004f) * Decay(t, 0.13f) * 1.0f;
    float excite = noise * Decay(t, 0.03f);
    float hollow = (tube1.Process(excite) * 1.6f + tube2.Process(excite) * 0.9f) * Decay(t, 0.12f);
    float air = puff.Process(noise) * Attack(t, 0.006f) * Decay(t, 0.07f) * 0.9f;
    float metal = clack.Process(noise) * Decay(t, 0.0025f) * 0.35f;
    out[i] = bloop + hollow + air + metal;
  }
  Normalize(out, 0.95f);
  FadeOut(out, 0.05f);
  return out;
}

// A short ricochet: the click of the impact, then a whining, falling whistle that slows
// and fades, with a breath of air following the same pitch.
std::vector<float> Ricochet() {
  std::vector<float> out(Samples(0.55f));
  Rng rng(37);
  Biquad clickHp = Biquad::HighPass(1200), airy = Biquad::BandPass(2600, 12);
  float phase = 0, phase2 = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    float noise = rng.Signed();
    float click = clickHp.Process(noise) * Decay(t, 0.004f) * 0.9f;
    float tw = t - 0.012f;
    float whine = 0, air = 0;
    if (tw > 0) {
      float hz = 2900 * (1.0f - 0.5f * std::min(1.0f, tw / 0.42f)) * (1 + 0.012f * std::sin(TwoPi * 28 * tw));
      phase += TwoPi * hz / SampleRate;
      phase2 += TwoPi * hz * 1.51f / SampleRate;
      float env = Attack(tw, 0.015f) * Decay(tw, 0.14f);
      whine = (std::sin(phase) + 0.25f * std::sin(phase2)) * env * 0.55f;
      airy.SetBandPass(hz, 12);
      air = airy.Process(noise) * env * 1.4f;
    } else {
      airy.Process(0);
    }
    out[i] = click + whine + air;
  }
  Normalize(out, 0.9f);
  FadeOut(out, 0.08f);
  return out;
}

// A deep explosion: a crack, a roar whose brightness falls away, a sub-bass drop, a long
// rumbling tail and scattered debris crackle.
std::vector<float> Explosion() {
  std::vector<float> out(Samples(3.2f));
  Rng rng(59);
  Biquad crackHp = Biquad::HighPass(900), roar = Biquad::LowPass(3000, 0.9f), rumbleLp = Biquad::LowPass(110);
  Biquad debrisHp = Biquad::HighPass(2200);
  float phase = 0, brown = 0, debrisEnv = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    float noise = rng.Signed();
    float crack = crackHp.Process(noise) * Decay(t, 0.012f) * 1.0f;
    roar.SetLowPass(140 + 2900 * Decay(t, 0.25f), 0.9f);
    float body = roar.Process(noise) * Attack(t, 0.006f) * Decay(t, 0.45f) * 1.3f;
    brown = brown * 0.995f + noise * 0.1f;
    float rumble = rumbleLp.Process(brown) * Attack(t, 0.05f) * Decay(t, 0.7f) * 1.1f;
    phase += TwoPi * (28 + 40 * Decay(t, 0.18f)) / SampleRate;
    float sub = std::sin(phase) * Attack(t, 0.01f) * Decay(t, 0.4f) * 0.9f;
    // Debris: rare bursts, commoner early on.
    float density = 0.0009f * Decay(t, 0.8f) * (t > 0.12f ? 1.0f : 0.0f);
    if (rng.Unit() < density) debrisEnv = 0.08f + 0.25f * rng.Unit();
    debrisEnv *= 0.9985f;
    float debris = debrisHp.Process(noise) * debrisEnv;
    float x = crack + body + rumble + sub + debris;
    out[i] = std::tanh(x * 0.9f);  // soft saturation keeps the first blast dense
  }
  Normalize(out, 0.95f);
  FadeOut(out, 0.4f);
  return out;
}

}  // namespace

bool WriteSoundEffects(const std::string& soundDir) {
  return WriteMonoSounds(soundDir, {{"shot4.wav", RifleCrack},
                                    {"shoot1.wav", LauncherThump},
                                    {"hit.wav", Ricochet},
                                    {"explos.wav", Explosion}});
}
