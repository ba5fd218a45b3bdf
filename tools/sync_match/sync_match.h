#pragma once
// Whether the pictures keep step with the music as a viewer sees and hears them. One recording
// holds the screen, grabbed many times a second (each grab: when, and how bright it was), and
// the sound the listener heard, on the same clock; the presentation played a timeline whose
// brightness steps between dark and bright at known timeline frames. For each step: when the
// new picture first appeared, which music was heard at that moment (where the recorded sound
// lies in the music, tools/sound_match), and so how far the picture was behind the sound.
#include <cstdint>
#include <vector>

#include "tools/sound_match/sound_match.h"

struct PictureGrab {
  double seconds;  // when it was grabbed, on the recording's clock
  double luma;     // its mean brightness
};

struct PictureChange {
  double seconds;  // midway between the last grab before the change and the first after it
  bool bright;     // the picture became bright (else dark)
};

// The changes between dark and bright; the threshold lies halfway between the darkest and the
// brightest grab. None when the grabs hardly differ.
std::vector<PictureChange> pictureChanges(const std::vector<PictureGrab>& grabs);

// The music heard at `seconds` on the recording's clock, the recorded sound's first sample
// heard at `soundStart`: from the offset of the nearest half-second that matched the music.
// False before the music or without any match.
bool musicHeardAt(const SoundMatch& sound, double soundStart, uint32_t rate, double seconds, double* musicSeconds);

struct StepMatch {
  uint32_t frame;       // the timeline frame at which the picture steps
  bool bright;          // the step to bright (else to dark)
  bool seen;            // a change of the recording accounts for it
  double shownSeconds;  // when the change appeared, on the recording's clock
  double behindMs;      // the music heard then minus the step's music time (frame / 60): how far
                        // the picture came after the sound (negative: before it)
};

struct SyncMatch {
  std::vector<StepMatch> steps;
  uint32_t unexplained = 0;  // changes while the music played that no step accounts for
};

// The steps alternate, the first to bright (the picture is dark before it). A change belongs
// to the step of its direction whose music time is nearest the music heard then, within half
// the time between two steps of one direction; a second change for one step is unexplained.
SyncMatch matchSteps(const std::vector<PictureChange>& changes, const std::vector<uint32_t>& stepFrames,
                     const SoundMatch& sound, double soundStart, uint32_t rate);
