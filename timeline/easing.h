#pragma once
// The easing curves that shape the transition from one key to the next.
//
// Every key stores an index into these two tables; the index is also how the curve
// is named in the timeline's JSON text. Slot 0 ("None") has no function: a key with
// easing 0 holds its value until the next key, so evaluation never calls slot 0.
// All curves work in single precision and take the linear position t (0..1 when
// called from evaluation).
#include <cstdint>

using EasingFunction = float (*)(float t);

inline constexpr uint32_t EASING_COUNT = 32;

// Slot 0 is null; slots 1..31 are the curves.
extern const EasingFunction easingFunctions[EASING_COUNT];

// "None", "Linear", "QuadraticIn", ... : the only names the JSON text uses.
extern const char* const easingNames[EASING_COUNT];

// The first index whose name equals `name` byte for byte (case-sensitive), or
// EASING_COUNT when no name matches.
uint32_t findEasingIndex(const char* name);
