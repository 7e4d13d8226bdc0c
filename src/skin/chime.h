#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The change sound: a short two-tone chime, synthesised.

inline constexpr int kChimeSampleRate = 44100;

// Mono samples of the chime: two bell-like notes, the second a fourth above
// the first, each with a soft attack and an exponential decay.
std::vector<int16_t> ChimeSamples();

// A RIFF/WAVE file of 16-bit mono PCM samples.
std::string EncodeWav(const std::vector<int16_t>& samples, int sampleRate);
