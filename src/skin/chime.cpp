#include "skin/chime.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Note {
  double start;      // seconds
  double frequency;  // Hz
  double decay;      // seconds for the level to fall to 1/e
};

// E6 then A6: a bright, friendly "ding-dong" upwards.
constexpr Note kNotes[] = {{0.0, 1318.51, 0.22}, {0.16, 1760.0, 0.32}};
constexpr double kLength = 0.9;  // seconds
constexpr double kAttack = 0.004;
constexpr double kLevel = 0.42;  // of full scale, per note

double NoteAt(const Note& note, double t) {
  double local = t - note.start;
  if (local < 0) return 0;
  double envelope = std::exp(-local / note.decay) * std::min(1.0, local / kAttack);
  // A little of the octave and of an inharmonic partial makes it sound like
  // a small bell rather than a beep.
  double phase = 2 * kPi * note.frequency * local;
  double tone = std::sin(phase) + 0.3 * std::sin(2 * phase) * std::exp(-local / 0.08) +
                0.12 * std::sin(2.76 * phase) * std::exp(-local / 0.05);
  return envelope * tone / 1.42;
}

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xff);
  out += static_cast<char>((value >> 8) & 0xff);
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xffff);
  Put16(out, value >> 16);
}

}  // namespace

std::vector<int16_t> ChimeSamples() {
  const int count = static_cast<int>(kLength * kChimeSampleRate);
  std::vector<int16_t> samples(count);
  for (int i = 0; i < count; ++i) {
    double t = static_cast<double>(i) / kChimeSampleRate;
    double value = 0;
    for (const Note& note : kNotes) value += kLevel * NoteAt(note, t);
    // The last 50 ms fade to silence so that the sound ends without a click.
    double tail = (kLength - t) / 0.05;
    value *= std::clamp(tail, 0.0, 1.0);
    samples[i] = static_cast<int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767));
  }
  return samples;
}

std::string EncodeWav(const std::vector<int16_t>& samples, int sampleRate) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  Put32(out, 36 + dataBytes);
  out += "WAVEfmt ";
  Put32(out, 16);  // size of the format chunk
  Put16(out, 1);   // PCM
  Put16(out, 1);   // mono
  Put32(out, static_cast<uint32_t>(sampleRate));
  Put32(out, static_cast<uint32_t>(sampleRate) * 2);  // bytes per second
  Put16(out, 2);                                      // bytes per frame
  Put16(out, 16);                                     // bits per sample
  out += "data";
  Put32(out, dataBytes);
  for (int16_t sample : samples) Put16(out, static_cast<uint16_t>(sample));
  return out;
}
