// The preset side of the effect instance: built-in looks, preset files and
// the reaction to the preset controls. The work itself lives in presets/,
// written against a parameter access that here wraps the instance's handles.
#include "plugin/preset_param_access.h"
#include "plugin/varnok_plugin.h"
#include "presets/preset_apply.h"
#include "presets/preset_buttons.h"
#include "presets/preset_load.h"
#include "presets/preset_save.h"
#include "presets/preset_slots.h"

void VarnokPlugin::applyPresetBase() {
    PresetParamAccess access(*this);
    ormel::applyPresetBase(access);
}

void VarnokPlugin::applyBuiltinPreset(int index) {
    PresetParamAccess access(*this);
    ormel::applyBuiltinPreset(access, index);
}

void VarnokPlugin::savePreset(const std::string& path, double time, const std::string& name) {
    PresetParamAccess access(*this);
    ormel::savePreset(access, path, time, name);
}

bool VarnokPlugin::loadPreset(const std::string& path) {
    PresetParamAccess access(*this);
    return ormel::loadPreset(access, path);
}

std::string VarnokPlugin::currentCustomPresetName() const {
    return ormel::currentCustomPresetName(const_cast<VarnokPlugin*>(this)->fetchStringParam("customPresetName")->getValue(),
                                          const_cast<VarnokPlugin*>(this)->fetchChoiceParam("customPresetSlot")->getValue());
}

void VarnokPlugin::changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) {
    // Every value a load or a look writes comes back here; skip building the
    // parameter access for those.
    if (!ormel::isPresetTrigger(paramName)) return;
    PresetParamAccess access(*this);
    ormel::presetParamChanged(access, paramName, args.time);
}
