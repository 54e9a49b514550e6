// Declares the page, the groups and every parameter of the catalogue.
#pragma once

#include "openfx/support/ofx_image_effect_descriptor.h"

void describeParams(OFX::ImageEffectDescriptor& desc);
