#pragma once
// A sound device that takes every format and plays nothing. The capture clocks the
// presentation itself and writes the music to a file, so blocks may stay queued: the
// streamer simply finds no free header to queue next, and a reset hands them all back.
#include "platform/wave_out.h"

const WaveOutApi* silentWaveOutApi();
