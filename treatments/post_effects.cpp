#include "treatments/post_effects.h"

#include "engine/image_checks.h"
#include "treatments/ascii_art.h"
#include "treatments/chromatic_aberration.h"
#include "treatments/glitch_slices.h"
#include "treatments/lens_distortion.h"
#include "treatments/radial_blur.h"
#include "treatments/screen_pass.h"

namespace ormel {

namespace {

// Every stage before the per-pixel pass, in place. Each checks its own
// threshold and takes its own copy when it reads neighbours.
void applyStagesBeforeScreen(Image& image, const Settings& settings, const RowBands& bands, PostStages stages) {
    applyLensDistortion(image, settings, bands);
    if (stages.radialBlur) applyRadialBlur(image, settings, bands);
    applyGlitchSlices(image, settings, bands);
    applyChromaticAberration(image, settings, bands);
}

}  // namespace

void applyPostEffectsInto(Image& image, const Settings& settings, const RowBands& bands, const PictureRows& out,
                          PostStages stages) {
    if (!isUsableImage(image) || !out.fits(image)) return;
    applyStagesBeforeScreen(image, settings, bands, stages);
    if (asciiArtRuns(settings)) {
        applyScreenPass(image, settings, bands);
        applyAsciiArt(image, settings, bands);
        copyToPictureRows(image, out, bands);
        return;
    }
    // The last stage that changes the picture writes it where it is wanted.
    applyScreenPassInto(image, settings, bands, out);
}

void applyPostEffects(Image& image, const Settings& settings, const RowBands& bands, PostStages stages) {
    // A size that disagrees with the pixel array is treated as no picture at all.
    if (!isUsableImage(image)) return;
    applyStagesBeforeScreen(image, settings, bands, stages);
    applyScreenPass(image, settings, bands);
    applyAsciiArt(image, settings, bands);
}

}  // namespace ormel
