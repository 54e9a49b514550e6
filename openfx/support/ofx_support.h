// Everything a plug-in needs from the support layer.
#pragma once

#include "openfx/support/ofx_action_args.h"
#include "openfx/support/ofx_clip.h"
#include "openfx/support/ofx_enums.h"
#include "openfx/support/ofx_exceptions.h"
#include "openfx/support/ofx_image_effect.h"
#include "openfx/support/ofx_image_effect_descriptor.h"
#include "openfx/support/ofx_param_descriptors.h"
#include "openfx/support/ofx_params.h"
#include "openfx/support/ofx_plugin_factory.h"
