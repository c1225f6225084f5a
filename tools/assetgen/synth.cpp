// Filters, envelopes, the loop mix and the WAV encoder.
#include "tools/assetgen/synth.h"

#include <algorithm>
#include <cmath>

namespace {

void Coefficients(Biquad& f, float b0, float b1, float b2, float a0, float a1, float a2) {
  f.b0 = b0 / a0;
  f.b1 = b1 / a0;
  f.b2 = b2 / a0;
  f.a1 = a1 / a0;
  f.a2 = a2 / a0;
}

float ClampHz(float hz) { return std::min(std::max(hz, 10.0f), SampleRate * 0.45f); }

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

void Biquad::SetLowPass(float hz, float q) {
  float w = TwoPi * ClampHz(hz) / SampleRate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
  Coefficients(*this, (1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

void Biquad::SetBandPass(float hz, float q) {
  float w = TwoPi * ClampHz(hz) / SampleRate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
  Coefficients(*this, alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::LowPass(float hz, float q) {
  Biquad f;
  f.SetLowPass(hz, q);
  return f;
}

Biquad Biquad::HighPass(float hz, float q) {
  Biquad f;
  float w = TwoPi * ClampHz(hz) / SampleRate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
  Coefficients(f, (1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
  return f;
}

Biquad Biquad::BandPass(float hz, float q) {
  Biquad f;
  f.SetBandPass(hz, q);
  return f;
}

float NoteHz(int midiNote) { return 440.0f * std::pow(2.0f, (midiNote - 69) / 12.0f); }

void Normalize(std::vector<float>& samples, float peak) {
  float top = 0;
  for (float s : samples) top = std::max(top, std::fabs(s));
  if (top == 0) return;
  for (float& s : samples) s *= peak / top;
}

void FadeOut(std::vector<float>& samples, float seconds) {
  int n = std::min(static_cast<int>(samples.size()), Samples(seconds));
  for (int i = 0; i < n; ++i) samples[samples.size() - 1 - i] *= static_cast<float>(i) / n;
}

void LoopMix::Add(int start, const std::vector<float>& voice, float gain, float pan) {
  // Constant-power panning.
  float angle = (pan + 1) * 0.25f * 3.14159265f;
  float gl = gain * std::cos(angle), gr = gain * std::sin(angle);
  int at = ((start % frames) + frames) % frames;
  for (float s : voice) {
    left[at] += s * gl;
    right[at] += s * gr;
    if (++at == frames) at = 0;
  }
}

void LoopMix::AddMix(const LoopMix& other, float gain) {
  for (int i = 0; i < frames && i < other.frames; ++i) {
    left[i] += other.left[i] * gain;
    right[i] += other.right[i] * gain;
  }
}

std::vector<float> Interleave(const LoopMix& mix) {
  std::vector<float> out(static_cast<size_t>(mix.frames) * 2);
  for (int i = 0; i < mix.frames; ++i) {
    out[i * 2] = mix.left[i];
    out[i * 2 + 1] = mix.right[i];
  }
  return out;
}

std::vector<uint8_t> EncodeWav16(const std::vector<float>& interleaved, int channels) {
  const uint32_t dataBytes = static_cast<uint32_t>(interleaved.size()) * 2;
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  for (char c : std::string("RIFF")) out.push_back(c);
  Put32(out, 36 + dataBytes);
  for (char c : std::string("WAVEfmt ")) out.push_back(c);
  Put32(out, 16);  // PCM format chunk size
  Put16(out, 1);   // PCM
  Put16(out, channels);
  Put32(out, SampleRate);
  Put32(out, SampleRate * channels * 2);  // bytes per second
  Put16(out, channels * 2);               // block align
  Put16(out, 16);                         // bits per sample
  for (char c : std::string("data")) out.push_back(c);
  Put32(out, dataBytes);
  for (float s : interleaved) {
    long v = std::lround(std::min(1.0f, std::max(-1.0f, s)) * 32767.0f);
    Put16(out, static_cast<uint16_t>(static_cast<int16_t>(v)));
  }
  return out;
}

bool WriteMonoSounds(const std::string& soundDir, const std::vector<NamedSound>& sounds) {
  bool ok = true;
  for (const NamedSound& sound : sounds)
    ok = WriteFileBytes(soundDir + "/" + sound.fileName, EncodeWav16(sound.make(), 1)) && ok;
  return ok;
}
