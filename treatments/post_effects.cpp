#include "treatments/post_effects.h"

#include "engine/image_checks.h"
#include "treatments/ascii_art.h"
#include "treatments/chromatic_aberration.h"
#include "treatments/glitch_slices.h"
#include "treatments/lens_distortion.h"
#include "treatments/radial_blur.h"
#include "treatments/screen_pass.h"

namespace ormel {

void applyPostEffects(Image& image, const Settings& settings, const RowBands& bands) {
    // A size that disagrees with the pixel array is treated as no picture at all.
    if (!isUsableImage(image)) return;
    // Each stage checks its own threshold and takes its own copy when it reads neighbours.
    applyLensDistortion(image, settings, bands);
    applyRadialBlur(image, settings, bands);
    applyGlitchSlices(image, settings, bands);
    applyChromaticAberration(image, settings, bands);
    applyScreenPass(image, settings, bands);
    applyAsciiArt(image, settings, bands);
}

}  // namespace ormel
