#include "audio/music_synthesis_pass.h"

#include "shader_blobs.h"

namespace {

constexpr PassSlot kMusicSynthesisSlots[] = {{SlotKind::StorageBuffer, "outputFrame", 0, kFloatFrameBytes},
                                             {SlotKind::Constants, "audioData", 0, 0}};

}  // namespace

const PassDescription kMusicSynthesisPass = {
    "AudioProcessCS", PassStage::Compute, {kAudioProcessCS, kAudioProcessCSSize}, kMusicSynthesisSlots, {}, false,
    0,                0};
