// The music's constants shared by its shader and the C++ programs: the rate it is computed at,
// the factors that turn its sines' arguments into turns per sample, its notes and its bars.
#ifndef TARNIX_SHADERS_MUSIC_CONSTANTS_H
#define TARNIX_SHADERS_MUSIC_CONSTANTS_H
#include "ParticleConfig.h"

TARNIX_SHARED_CONSTANT uint kMusicSampleRate = 44100;

// Turns per sample of a sine at f hertz as the piece spells it, sin(2 PI f t), sin(t TWOPI f) and
// sin(6.2831 f t), with PI = 3.1415 and TWOPI = 6.2832 (not the exact values: the piece was tuned
// with them); of sin(w t) for w in radians per second; of a cycle per second and per minute. Each
// is a pair of floats whose sum is the value to 2^-48: beats between partials a fraction of a
// hertz apart follow their phases, and one rounding of a rate moves them audibly.
TARNIX_SHARED_CONSTANT float kSinePerSampleHi = 2.2675069e-05f;  // 2 * 3.1415 / (2 pi 44100)
TARNIX_SHARED_CONSTANT float kSinePerSampleLo = -8.07712295e-13f;
TARNIX_SHARED_CONSTANT float kSineUnderPerSampleHi = 2.26757893e-05f;  // 6.2832 / (2 pi 44100)
TARNIX_SHARED_CONSTANT float kSineUnderPerSampleLo = -7.70595136e-14f;
TARNIX_SHARED_CONSTANT float kTonePerSampleHi = 2.26754291e-05f;  // 6.2831 / (2 pi 44100)
TARNIX_SHARED_CONSTANT float kTonePerSampleLo = 4.1805616e-13f;
TARNIX_SHARED_CONSTANT float kRadianPerSampleHi = 3.60895569e-06f;  // 1 / (2 pi 44100)
TARNIX_SHARED_CONSTANT float kRadianPerSampleLo = -6.86232009e-14f;
TARNIX_SHARED_CONSTANT float kSecondPerSampleHi = 2.26757365e-05f;  // 1 / 44100
TARNIX_SHARED_CONSTANT float kSecondPerSampleLo = 4.16098986e-13f;
TARNIX_SHARED_CONSTANT float kMinutePerSampleHi = 3.77928956e-07f;  // 1 / (60 * 44100)
TARNIX_SHARED_CONSTANT float kMinutePerSampleLo = -6.3284813e-15f;
// The sine's turns per second, for a frequency's slow deviation.
TARNIX_SHARED_CONSTANT float kSineTurns = 0.999970496f;  // 2 * 3.1415 / (2 pi)

// mtof(m) = 440 * 2^((m - 69) / 12) of the four notes the piece plays, as floats with a
// correctly rounded power: a driver's pow may be a few ulp off, and the bass's phase would
// carry that error through a hundred seconds.
TARNIX_SHARED_CONSTANT float kNote36 = 65.4063873f;
TARNIX_SHARED_CONSTANT float kNote48 = 130.812775f;
TARNIX_SHARED_CONSTANT float kNote51 = 155.563492f;
TARNIX_SHARED_CONSTANT float kNote53 = 174.61412f;

// The melody: four bars of 23 seconds from 15 s on, in samples.
TARNIX_SHARED_CONSTANT uint kMelodyStartSample = 15 * 44100;
TARNIX_SHARED_CONSTANT uint kMelodyBarSamples = 23 * 44100;
TARNIX_SHARED_CONSTANT float kMelodyPerSample = 2.46475395e-07f;  // 1 / (92 * 44100)
TARNIX_SHARED_CONSTANT float kMelodyBarPerSample = 9.85901579e-07f;  // 1 / (23 * 44100)

#endif  // TARNIX_SHADERS_MUSIC_CONSTANTS_H
