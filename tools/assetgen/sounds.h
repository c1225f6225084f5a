// The game's sound effects and music loops, synthesised from scratch.
#pragma once
#include <string>
#include <vector>

// Writes "shot4.wav", "shoot1.wav", "hit.wav" and "explos.wav" (mono, 16-bit, 44.1 kHz).
bool WriteSoundEffects(const std::string& soundDir);
// Writes "mover_start.wav", "mover_stop.wav" (doors and lifts), "jumppad.wav" and
// "teleport.wav" (mono, 16-bit, 44.1 kHz).
bool WriteMoverSounds(const std::string& soundDir);

// Writes "background.mp3" and "matrix.mp3", seamless loops of at least 30 seconds,
// encoded by the lame encoder.
bool WriteMusic(const std::string& soundDir);

// Synthesises the two loops as interleaved stereo at 44.1 kHz (exposed for checking).
std::vector<float> SynthesiseBackgroundLoop();
std::vector<float> SynthesiseMatrixLoop();
