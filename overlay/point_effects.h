// Effects confined to a small zone round some tracks' centres: a magnifier of
// the source picture, an inversion of its colours and a white flash.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/types.h"
#include "overlay/canvas.h"

namespace ormel {

// One byte per track, 1 = the effect applies. Off or no tracks: none; not
// random: all; otherwise the k tracks with the smallest hash values for this
// slot, k set by the share and the (clamped) bounds.
std::vector<uint8_t> selectPointEffectTracks(const std::vector<Track>& tracks,
                                             const Settings& settings, bool enabled, bool random,
                                             int32_t minTargets, int32_t maxTargets,
                                             float frequency, int32_t salt, int32_t slot);

// Time slots in which the random choice stays the same.
int32_t flashSlot(const Settings& settings);      // advances with pointFlashSpeed
int32_t inversionSlot(const Settings& settings);  // every frame

// Bilinear read with pixel (x, y)'s value at the integer point (x, y),
// clamped to the picture; opaque black for a picture without pixels.
Pixel sampleBilinear(const Image& src, float sx, float sy);

// Layer 4 of the overlay: the three selections, then per track its
// magnifier, inversion and flash.
void drawPointEffects(Canvas canvas, const Image& src, const std::vector<Track>& tracks,
                      const Settings& settings);

}  // namespace ormel
