#pragma once
// The two kinds of sound file the recording checks read: the music as tarnix-music exports it
// (a stereo WAV at 44,100 Hz, 32-bit float or 16-bit PCM) and a raw recording (16-bit stereo,
// as parec and ffmpeg write it); both become mono floats.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kSoundRate = 44100;

bool readWholeFile(const char* path, std::vector<uint8_t>* bytes);

// Stereo 16-bit little-endian frames to mono floats.
std::vector<float> monoFromPcm16(const uint8_t* data, size_t bytes);

// The music's samples; false with a reason in *error for anything but the exported format.
bool readMusic(const std::vector<uint8_t>& file, std::vector<float>* mono, std::string* error);
