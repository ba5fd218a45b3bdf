#pragma once
// How closely a synthesised piece follows the music's references, second by second over its 107
// seconds, on every 49th frame (44,100 is 49 x 900): sample by sample against the shader's own
// arithmetic (reference::makeSoundAtSample), and by the loudness of each second against the
// design's float arithmetic (reference::makeSound), whose phases are a few hundredths of a radian
// off late in the piece but whose loudness is the piece's.
#include <cstdint>

struct MusicAgreement {
  double worstDifference = 0;  // rms of the difference over the reference's rms, in the worst second
  uint32_t worstDifferenceSecond = 0;
  double worstLoudness = 0;  // |rms - reference rms| over the reference rms, in the worst second
  uint32_t worstLoudnessSecond = 0;
};

// `interleaved`: left, right floats of frames 0 .. 107 * 44,100 at least.
MusicAgreement compareWithMusicReferences(const float* interleaved);
