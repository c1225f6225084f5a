// The two music loops. Notes are rendered as mono voices and added into a looped stereo
// mix (tails wrap round to the start); effects run twice round the loop so their state
// at the loop point matches. The result repeats without a seam.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/assetgen/sounds.h"
#include "tools/assetgen/synth.h"

extern char** environ;

namespace {

// Notes start this many samples after the loop point (see the loops below).
constexpr int LoopLead = 882;  // 20 ms

// Linear attack, hold, then an exponential-ish release after `hold` seconds.
float Adsr(float t, float attack, float hold, float release) {
  if (t < attack) return t / attack;
  if (t < hold) return 1.0f;
  return std::max(0.0f, 1.0f - (t - hold) / release);
}

// A naive sawtooth, fine for the low, filtered parts it is used for.
float Saw(float phase) { return 2.0f * (phase - std::floor(phase)) - 1.0f; }

std::vector<float> Kick() {
  std::vector<float> v(Samples(0.4f));
  float phase = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    phase += TwoPi * (45 + 110 * Decay(t, 0.03f)) / SampleRate;
    v[i] = std::sin(phase) * Decay(t, 0.22f) + (t < 0.002f ? 0.3f * (1 - t / 0.002f) : 0.0f);
  }
  return v;
}

std::vector<float> Clap(uint32_t seed) {
  std::vector<float> v(Samples(0.3f));
  Rng rng(seed);
  Biquad band = Biquad::BandPass(1700, 0.9f);
  float phase = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    // Three quick bursts and a decaying body, like hands clapping in a room.
    float bursts = 0;
    for (float start : {0.0f, 0.011f, 0.022f}) {
      if (t >= start) bursts += Decay(t - start, 0.006f);
    }
    phase += TwoPi * 185 / SampleRate;
    v[i] = band.Process(rng.Signed()) * (bursts + Decay(t, 0.09f)) * 1.6f + std::sin(phase) * Decay(t, 0.04f) * 0.3f;
  }
  return v;
}

std::vector<float> Hat(uint32_t seed, float length) {
  std::vector<float> v(Samples(length * 4));
  Rng rng(seed);
  Biquad hp = Biquad::HighPass(7500), hp2 = Biquad::HighPass(7500);
  for (size_t i = 0; i < v.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    v[i] = hp2.Process(hp.Process(rng.Signed())) * Decay(t, length);
  }
  return v;
}

// Two detuned saws through a resonant low-pass whose cutoff snaps down after each note
// starts: the driving bass.
std::vector<float> Bass(int note, float duration) {
  std::vector<float> v(Samples(duration + 0.02f));
  Biquad lp = Biquad::LowPass(800, 3.0f);
  float hz = NoteHz(note), p1 = 0, p2 = 0.37f;
  for (size_t i = 0; i < v.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    p1 += hz / SampleRate;
    p2 += hz * 1.006f / SampleRate;
    lp.SetLowPass(180 + 1400 * Decay(t, 0.06f), 3.0f);
    float env = Adsr(t, 0.003f, duration, 0.02f);
    v[i] = lp.Process(Saw(p1) + Saw(p2)) * env * 0.5f;
  }
  return v;
}

// A chord of detuned saws, darkened and slowly swelling.
std::vector<float> Pad(const std::vector<int>& notes, float duration, float attack, float release,
                       float cutoff, float detuneCents, uint32_t seed) {
  std::vector<float> v(Samples(duration + release));
  Rng rng(seed);
  for (int note : notes) {
    for (int k = -1; k <= 1; ++k) {
      float hz = NoteHz(note) * std::pow(2.0f, k * detuneCents / 1200.0f);
      float phase = rng.Unit();
      for (size_t i = 0; i < v.size(); ++i) {
        phase += hz / SampleRate;
        v[i] += Saw(phase);
      }
    }
  }
  Biquad lp = Biquad::LowPass(cutoff, 0.8f), lp2 = Biquad::LowPass(cutoff, 0.6f);
  for (size_t i = 0; i < v.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    v[i] = lp2.Process(lp.Process(v[i])) * Adsr(t, attack, duration, release) * (0.25f / notes.size());
  }
  return v;
}

// A short square-ish pluck for the arpeggio.
std::vector<float> Pluck(int note, float duration) {
  std::vector<float> v(Samples(duration + 0.05f));
  Biquad lp = Biquad::LowPass(3000, 1.5f);
  float hz = NoteHz(note), phase = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    phase += hz / SampleRate;
    float square = (phase - std::floor(phase)) < 0.5f ? 1.0f : -1.0f;
    lp.SetLowPass(500 + 3500 * Decay(t, 0.05f), 1.5f);
    v[i] = lp.Process(square) * Decay(t, 0.12f) * Adsr(t, 0.002f, duration, 0.04f) * 0.35f;
  }
  return v;
}

// A soft FM bell with a long ring.
std::vector<float> Bell(int note, float length) {
  std::vector<float> v(Samples(length));
  float hz = NoteHz(note), pc = 0, pm = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    pc += TwoPi * hz / SampleRate;
    pm += TwoPi * hz * 3.5f / SampleRate;
    float index = 2.2f * Decay(t, 0.35f);
    float attack = std::min(1.0f, t / 0.004f);
    v[i] = std::sin(pc + index * std::sin(pm)) * attack * Decay(t, length * 0.3f) * 0.5f;
  }
  return v;
}

std::vector<float> SoftSine(int note, float duration, float attack, float release) {
  std::vector<float> v(Samples(duration + release));
  float hz = NoteHz(note), phase = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    float t = Seconds(static_cast<int>(i));
    phase += TwoPi * hz / SampleRate;
    v[i] = (std::sin(phase) + 0.15f * std::sin(2 * phase)) * Adsr(t, attack, duration, release);
  }
  return v;
}

// Feedback delay with a darkening filter in the loop.
struct Echo {
  std::vector<float> line;
  size_t at = 0;
  float feedback;
  Biquad tone = Biquad::LowPass(2500);
  Echo(int samples, float fb) : line(samples), feedback(fb) {}
  float operator()(float x) {
    float out = line[at];
    line[at] = x + tone.Process(out) * feedback;
    at = (at + 1) % line.size();
    return out;
  }
};

// A small Schroeder reverberator: four damped combs in parallel, two all-passes in series.
struct Reverb {
  struct Comb {
    std::vector<float> line;
    size_t at = 0;
    float store = 0;
  };
  struct AllPass {
    std::vector<float> line;
    size_t at = 0;
  };
  Comb combs[4];
  AllPass passes[2];
  float feedback, damping;
  Reverb(int spread, float fb, float damp) : feedback(fb), damping(damp) {
    const int combLengths[4] = {1557, 1617, 1491, 1422}, passLengths[2] = {556, 225};
    for (int i = 0; i < 4; ++i) combs[i].line.assign(combLengths[i] + spread, 0.0f);
    for (int i = 0; i < 2; ++i) passes[i].line.assign(passLengths[i] + spread, 0.0f);
  }
  float operator()(float x) {
    float sum = 0;
    for (Comb& c : combs) {
      float out = c.line[c.at];
      c.store = out * (1 - damping) + c.store * damping;
      c.line[c.at] = x + c.store * feedback;
      c.at = (c.at + 1) % c.line.size();
      sum += out;
    }
    for (AllPass& p : passes) {
      float delayed = p.line[p.at];
      float out = delayed - sum;
      p.line[p.at] = sum + delayed * 0.5f;
      p.at = (p.at + 1) % p.line.size();
      sum = out;
    }
    return sum * 0.25f;
  }
};

void AddReverb(LoopMix& mix, float wet, float feedback, float damping) {
  std::vector<float> l = mix.left, r = mix.right;
  Reverb rl(0, feedback, damping), rr(23, feedback, damping);
  ProcessLooped(l, rl);
  ProcessLooped(r, rr);
  for (int i = 0; i < mix.frames; ++i) {
    mix.left[i] += l[i] * wet;
    mix.right[i] += r[i] * wet;
  }
}

// Gentle saturation, then the level set to `peak`.
std::vector<float> Master(const LoopMix& mix, float drive, float peak) {
  std::vector<float> out = Interleave(mix);
  float top = 0;
  for (float s : out) top = std::max(top, std::fabs(s));
  if (top > 0) {
    for (float& s : out) s = std::tanh(s / top * drive);
  }
  Normalize(out, peak);
  return out;
}

}  // namespace

std::vector<float> SynthesiseBackgroundLoop() {
  // 16 bars of 4/4 at 124 beats per minute in D minor: i - VI - VII - V, two bars each.
  const double beat = SampleRate * 60.0 / 124.0;
  const int bars = 16;
  // Every note starts a little after its beat, so the loop point itself falls between
  // notes rather than on the first kick's attack.
  auto at = [&](double beats) { return static_cast<int>(std::lround(beats * beat)) + LoopLead; };
  const int frames = static_cast<int>(std::lround(bars * 4 * beat));
  LoopMix drums(frames), music(frames), arp(frames);

  const std::vector<float> kick = Kick(), clap = Clap(5), closedHat = Hat(7, 0.02f), openHat = Hat(9, 0.07f);
  for (int b = 0; b < bars * 4; ++b) {
    drums.Add(at(b), kick, 0.9f, 0);
    if (b % 2 == 1) drums.Add(at(b), clap, 0.45f, 0.1f);
    drums.Add(at(b + 0.5), openHat, 0.22f, 0.35f);
    for (double s : {0.25, 0.75}) drums.Add(at(b + s), closedHat, 0.12f, -0.3f);
    if (b % 32 == 31) {  // a small fill at the end of each half
      for (double s : {0.25, 0.5, 0.75}) drums.Add(at(b + s), clap, 0.25f, -0.1f);
    }
  }

  const int roots[4] = {38, 34, 36, 33};  // D, B flat, C, A
  const std::vector<int> chords[4] = {{50, 53, 57, 62}, {50, 53, 58, 62}, {52, 55, 60, 64}, {49, 52, 57, 61}};
  const float eighth = static_cast<float>(beat / 2 / SampleRate);
  for (int bar = 0; bar < bars; bar += 2) {
    int c = (bar / 2) % 4;
    // Pulsing eighths, an octave jump on every third, sixteenths in the second half.
    bool busy = bar >= 8;
    int steps = busy ? 32 : 16;
    double step = 8.0 / steps;
    for (int i = 0; i < steps; ++i) {
      int note = roots[c] + ((i % 4 == 2) ? 12 : 0);
      music.Add(at(bar * 4 + i * step), Bass(note, busy ? eighth * 0.45f : eighth * 0.8f), 0.55f, 0);
    }
    float chordSeconds = static_cast<float>(8 * beat / SampleRate);
    music.Add(at(bar * 4), Pad(chords[c], chordSeconds, 0.5f, 1.2f, 900, 9, 100 + bar), 0.55f, -0.5f);
    music.Add(at(bar * 4), Pad(chords[c], chordSeconds, 0.5f, 1.2f, 900, 12, 200 + bar), 0.55f, 0.5f);
    if (busy) {
      const int pattern[8] = {0, 1, 2, 3, 2, 1, 2, 3};
      for (int i = 0; i < 32; ++i) {
        int note = chords[c][pattern[i % 8]] + 12;
        arp.Add(at(bar * 4 + i * 0.25), Pluck(note, eighth * 0.4f), 0.3f, (i % 2) ? 0.4f : -0.4f);
      }
    }
  }
  // Dotted-eighth echo on the arpeggio, crossed between the sides.
  std::vector<float> el = arp.left, er = arp.right;
  Echo echoL(at(0.75) - LoopLead, 0.35f), echoR(at(0.75) - LoopLead, 0.35f);
  ProcessLooped(el, echoR);
  ProcessLooped(er, echoL);
  for (int i = 0; i < arp.frames; ++i) {
    arp.left[i] += er[i] * 0.5f;
    arp.right[i] += el[i] * 0.5f;
  }
  music.AddMix(arp, 1.0f);
  AddReverb(music, 0.25f, 0.78f, 0.4f);
  music.AddMix(drums, 1.0f);
  return Master(music, 1.6f, 0.85f);
}

std::vector<float> SynthesiseMatrixLoop() {
  // 8 bars of 4/4 at 60 beats per minute: Em9 - Cmaj7 - Am9 - Bsus4, two bars each.
  const int bars = 8, frames = bars * 4 * SampleRate;
  LoopMix pads(frames), bells(frames), low(frames);
  const std::vector<int> chords[4] = {
      {52, 55, 59, 62, 66}, {48, 52, 55, 59, 66}, {45, 48, 52, 55, 59}, {47, 52, 54, 57, 59}};
  const int roots[4] = {40, 36, 33, 35};
  Rng rng(2024);
  for (int bar = 0; bar < bars; bar += 2) {
    int c = bar / 2;
    int start = bar * 4 * SampleRate + LoopLead;
    pads.Add(start, Pad(chords[c], 8.0f, 2.5f, 3.0f, 1300, 10, 300 + bar), 0.7f, -0.6f);
    pads.Add(start, Pad(chords[c], 8.0f, 2.5f, 3.0f, 1300, 14, 400 + bar), 0.7f, 0.6f);
    low.Add(start, SoftSine(roots[c], 7.6f, 1.5f, 1.5f), 0.30f, 0);
    // Bells: a slow triplet arpeggio wandering over the chord, an octave up.
    int index = 2;
    for (int i = 0; i < 12; ++i) {
      index = std::min(4, std::max(0, index + static_cast<int>(rng.Next() % 3) - 1));
      float velocity = 0.45f + 0.4f * rng.Unit();
      if (i % 3 == 2 && rng.Unit() < 0.4f) continue;  // leave some gaps
      bells.Add(start + i * 2 * SampleRate / 3, Bell(chords[c][index] + 12, 3.0f), 0.22f * velocity,
                rng.Signed() * 0.7f);
    }
    // A slow, quiet heartbeat.
    for (int b = 0; b < 8; b += 2) {
      low.Add(start + b * SampleRate, Kick(), 0.25f, 0);
      low.Add(start + b * SampleRate + SampleRate * 3 / 10, Kick(), 0.15f, 0);
    }
  }
  std::vector<float> el = bells.left, er = bells.right;
  Echo echoL(SampleRate * 3 / 4, 0.5f), echoR(SampleRate * 3 / 4, 0.5f);
  ProcessLooped(el, echoR);
  ProcessLooped(er, echoL);
  for (int i = 0; i < frames; ++i) {
    bells.left[i] += er[i] * 0.6f;
    bells.right[i] += el[i] * 0.6f;
  }
  LoopMix mix(frames);
  mix.AddMix(pads, 1.0f);
  mix.AddMix(bells, 1.0f);
  AddReverb(mix, 0.6f, 0.86f, 0.3f);
  mix.AddMix(low, 1.0f);
  return Master(mix, 1.2f, 0.8f);
}

namespace {

// Encodes a WAV file to MP3 with the lame encoder; no shell involved.
bool EncodeMp3(const std::string& wavPath, const std::string& mp3Path) {
  const char* lame = KORVALIS_LAME;
  std::vector<std::string> args = {lame, "--silent", "-b", "128", "-q", "2", wavPath, mp3Path};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, lame, nullptr, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "assetgen: cannot run %s\n", lame);
    return false;
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "assetgen: %s failed on %s\n", lame, wavPath.c_str());
    return false;
  }
  return true;
}

bool WriteLoop(const std::string& soundDir, const char* name, const std::vector<float>& samples) {
  std::string mp3 = soundDir + "/" + name, wav = mp3 + ".wav.part";
  bool ok = WriteFileBytes(wav, EncodeWav16(samples, 2)) && EncodeMp3(wav, mp3);
  unlink(wav.c_str());
  return ok;
}

}  // namespace

bool WriteMusic(const std::string& soundDir) {
  bool ok = WriteLoop(soundDir, "background.mp3", SynthesiseBackgroundLoop());
  return WriteLoop(soundDir, "matrix.mp3", SynthesiseMatrixLoop()) && ok;
}
