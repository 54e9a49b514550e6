// The engine on small pictures with every setting drawn at random inside the
// ranges the plug-in describes, as a host would hand them over.
#include <array>
#include <map>
#include <string>
#include <vector>

#include "pipeline/process_frame.h"
#include "fuzz/fuzz_input.h"
#include "catalogue/param_catalogue.h"
#include "plugin/settings_sampling.h"

namespace {

class FuzzReader : public ormel::ParamReader {
public:
    explicit FuzzReader(varnok_fuzz::FuzzInput& in) {
        for (const auto& spec : ormel::paramCatalogue()) {
            if (ormel::isPresetControl(spec)) continue;
            std::array<double, 3> v = {spec.defaultValue, 0.0, 0.0};
            const bool keepDefault = in.byte() < 96;
            switch (spec.kind) {
                case ormel::ParamKind::Double:
                    if (!keepDefault) v[0] = spec.minimum + in.unit() * (spec.maximum - spec.minimum);
                    break;
                case ormel::ParamKind::Integer:
                    if (!keepDefault)
                        v[0] = in.range(static_cast<int>(spec.minimum), static_cast<int>(spec.maximum));
                    break;
                case ormel::ParamKind::Boolean:
                    if (!keepDefault) v[0] = in.flag() ? 1.0 : 0.0;
                    break;
                case ormel::ParamKind::Choice:
                    if (!keepDefault) v[0] = in.range(0, static_cast<int>(spec.options.size()) - 1);
                    break;
                case ormel::ParamKind::Rgb:
                    v = spec.defaultRgb;
                    if (!keepDefault) v = {in.unit(), in.unit(), in.unit()};
                    break;
                default:
                    break;
            }
            values_[spec.name] = v;
        }
    }
    double getDouble(const std::string& n) const override { return values_.at(n)[0]; }
    int getInt(const std::string& n) const override { return static_cast<int>(values_.at(n)[0]); }
    bool getBool(const std::string& n) const override { return values_.at(n)[0] != 0.0; }
    int getChoice(const std::string& n) const override { return static_cast<int>(values_.at(n)[0]); }
    std::array<double, 3> getRgb(const std::string& n) const override { return values_.at(n); }

private:
    std::map<std::string, std::array<double, 3>> values_;
};

ormel::Image picture(varnok_fuzz::FuzzInput& in, int w, int h) {
    ormel::Image img(w, h);
    // Four levels per channel: pure target colours come up often enough to detect.
    for (auto& p : img.pixels) {
        const uint8_t b = in.byte();
        p = ormel::Pixel{(b & 3) / 3.0f, ((b >> 2) & 3) / 3.0f, ((b >> 4) & 3) / 3.0f, 1.0f};
    }
    return img;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    varnok_fuzz::FuzzInput in(data, size);
    const double time = in.range(-50, 50);
    FuzzReader reader(in);
    ormel::Settings settings = ormel::sampleSettings(reader, time);
    // The processor engine runs the same sort kernels as the OpenCL one; a
    // driver round trip per input would slow fuzzing a hundredfold.
    settings.renderEngine = ormel::RenderEngine::Processor;
    const int w = in.range(1, 32), h = in.range(1, 32);
    const ormel::Image source = picture(in, w, h);
    std::vector<ormel::FrameSample> samples;
    const int earlier = std::min(in.range(0, 3), settings.temporalFrames);
    for (int i = 0; i < earlier; ++i) {
        ormel::FrameSample s;
        s.frame = static_cast<int32_t>(time) - earlier + i;
        // Earlier frames of another size happen when a host changes format mid-clip.
        s.image = in.flag() ? picture(in, w, h) : picture(in, in.range(1, 32), in.range(1, 32));
        samples.push_back(std::move(s));
    }
    ormel::processFrame(source, samples, settings);
    return 0;
}
