// The image-effect suite: effect and clip properties, image fetches, image memory.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include "host/clip_preferences.h"
#include "host/host_objects.h"
#include "host/plugin_state.h"
#include "host/proxy_scale.h"

namespace ofxhost {

namespace {

std::mutex& imagesMutex() {
    static std::mutex m;
    return m;
}
std::map<PropertySet*, InstanceState*>& liveImages() {
    static std::map<PropertySet*, InstanceState*> m;
    return m;
}

EffectObj* asEffect(OfxImageEffectHandle h) {
    return isHandle(h, HandleKind::Effect) ? reinterpret_cast<EffectObj*>(h) : nullptr;
}
ClipObj* asClip(OfxImageClipHandle h) {
    return isHandle(h, HandleKind::Clip) ? reinterpret_cast<ClipObj*>(h) : nullptr;
}
OfxPropertySetHandle toHandle(PropertySet* p) { return reinterpret_cast<OfxPropertySetHandle>(p); }

OfxStatus getPropertySet(OfxImageEffectHandle h, OfxPropertySetHandle* out) {
    return handOut(asEffect(h), out, &EffectObj::props);
}

OfxStatus getParamSet(OfxImageEffectHandle h, OfxParamSetHandle* out) {
    return handOut(asEffect(h), out, &EffectObj::paramSet);
}

OfxStatus clipDefine(OfxImageEffectHandle h, const char* name, OfxPropertySetHandle* out) {
    EffectObj* e = asEffect(h);
    if (!e) return kOfxStatErrBadHandle;
    if (!e->isDescriptor) return kOfxStatErrUnsupported;
    if (!name || !*name) return kOfxStatErrValue;
    if (e->clip(name)) return kOfxStatErrExists;
    auto c = std::make_unique<ClipObj>();
    initClipDescriptor(*c, name);
    c->owner = e;
    if (out) *out = toHandle(&c->props);
    e->clips.push_back(std::move(c));
    return kOfxStatOK;
}

OfxStatus clipGetHandle(OfxImageEffectHandle h, const char* name, OfxImageClipHandle* clip,
                        OfxPropertySetHandle* props) {
    EffectObj* e = asEffect(h);
    if (!e) return kOfxStatErrBadHandle;
    if (!name || !clip) return kOfxStatErrValue;
    return handOutFound(e->clip(name), clip, props);
}

OfxStatus clipGetPropertySet(OfxImageClipHandle h, OfxPropertySetHandle* out) {
    return handOut(asClip(h), out, &ClipObj::props);
}

// The caller's label when it gives one; otherwise one no other image of
// this process shares, since the host cannot tell whether a provider's
// picture at a time is the one it gave before.
std::string uniqueId(const ClipObj& c, double t) {
    const bool freshEveryFetch = c.owner && c.owner->plugin && c.owner->plugin->hostDescription.likeMlt;
    if (c.labeler && !freshEveryFetch) {
        std::string label = c.labeler(t);
        if (!label.empty()) return label;
    }
    static std::atomic<unsigned long long> serial{0};
    char buf[96];
    std::snprintf(buf, sizeof buf, "@%.17g#%llu", t, ++serial);
    return c.name + buf;
}

bool heldByAction(const InstanceState& s, const ClipObj& c, double t) {
    for (const auto& e : s.actionFrames)
        if (e.clip == c.name && e.time == t) return true;
    return false;
}

OfxStatus clipGetImage(OfxImageClipHandle h, OfxTime time, const OfxRectD*, OfxPropertySetHandle* out) {
    ClipObj* c = asClip(h);
    if (!c) return kOfxStatErrBadHandle;
    if (!out) return kOfxStatErrValue;
    *out = nullptr;
    InstanceState* s = c->owner ? c->owner->instance : nullptr;
    if (!s) return kOfxStatErrBadHandle;   // descriptors hold no images
    FetchRecord rec{c->name, time, false};
    std::shared_ptr<ImageBuffer> buffer;
    bool lazy = false;
    double rodW = 0, rodH = 0;
    double frameTime = time;
    if (c->name == kOfxImageEffectOutputClipName) {
        // Only the frame being rendered has an output image.
        if (s->output && time == s->actionTime) buffer = s->output;
        rodW = s->projectWidth;
        rodH = s->projectHeight;
    } else if (std::isfinite(time) && frameTimeFor(*s, time, &frameTime)) {
        // frameTime: the time whose frame the host hands for the time asked.
        int w = 0, h = 0;
        const ImageLayout layout = presentedLayout(*c);
        if (c->shape && isPlainFloat(layout) && !heldByAction(*s, *c, frameTime) && c->shape(frameTime, &w, &h) &&
            w > 0 && h > 0 && w <= (1 << 16) && h <= (1 << 16)) {
            w = proxySize(w, s->renderScale);
            h = proxySize(h, s->renderScale);
            buffer = std::make_shared<ImageBuffer>(plainFloatBuffer(w, h, layout));
            lazy = true;
            rodW = w;
            rodH = h;
        } else if (std::shared_ptr<const FloatImage> frame = frameAt(*s, *c, frameTime)) {
            buffer = std::make_shared<ImageBuffer>(shareSourceBuffer(frame, layout));
            rodW = frame->width;
            rodH = frame->height;
        }
    }
    if (!buffer) {
        s->fetches.push_back(rec);
        return kOfxStatFailed;
    }
    rec.delivered = true;
    s->fetches.push_back(rec);
    auto img = std::make_unique<ImageObj>();
    PropertySet& p = img->props;
    const ImageBuffer& b = *buffer;
    p.setStrings(kOfxPropType, {kOfxTypeImage}, true, 1);
    p.setStrings(kOfxImageEffectPropPixelDepth, {depthName(b.depth)}, true, 1);
    p.setStrings(kOfxImageEffectPropComponents, {componentsName(b.components)}, true, 1);
    p.setStrings(kOfxImageEffectPropPreMultiplication, {kOfxImageUnPreMultiplied}, true, 1);
    p.setDoubles(kOfxImageEffectPropRenderScale, {s->renderScale, s->renderScale}, true, 2);
    p.setDoubles(kOfxImagePropPixelAspectRatio, {1.0}, true, 1);
    const bool input = c->name != kOfxImageEffectOutputClipName;
    if (input) ++s->inputImagesFetched;
    if (lazy) {
        ImageBuffer* target = buffer.get();
        p.setDeferredPointer(kOfxImagePropData, [s, c, time = frameTime, target]() -> void* {
            ++s->inputImagesRead;
            std::lock_guard<std::mutex> lock(s->latePixelsMutex);
            std::shared_ptr<const FloatImage> frame = provideFrame(*c, time);
            if (!frame || frame->width != target->width() || frame->height != target->height()) {
                // Gone, or another size than announced: zeros of the announced
                // size rather than a bad pointer, and the render reports it.
                ++s->latePixelsMissing;
                frame = std::make_shared<const FloatImage>(target->width(), target->height());
            }
            lendFrame(*target, std::move(frame));
            return target->data;
        });
    } else if (input) {
        // Counted when asked for: a plug-in that knows the picture by its
        // label never asks.
        void* data = b.data;
        p.setDeferredPointer(kOfxImagePropData, [s, data]() -> void* {
            ++s->inputImagesRead;
            return data;
        });
    } else {
        p.setPointers(kOfxImagePropData, {b.data}, true, 1);
    }
    p.setInts(kOfxImagePropBounds, {b.x1, b.y1, b.x2, b.y2}, true, 4);
    const int ox = c->layout.originX, oy = c->layout.originY;
    p.setInts(kOfxImagePropRegionOfDefinition,
              {ox, oy, ox + static_cast<int>(rodW), oy + static_cast<int>(rodH)}, true, 4);
    p.setInts(kOfxImagePropRowBytes, {static_cast<int>(b.rowBytes)}, true, 1);
    p.setStrings(kOfxImagePropField, {kOfxImageFieldNone}, true, 1);
    p.setStrings(kOfxImagePropUniqueIdentifier, {uniqueId(*c, frameTime)}, true, 1);
    img->buffer = std::move(buffer);
    PropertySet* key = &img->props;
    s->images[key] = std::move(img);
    s->peakImages = std::max(s->peakImages, static_cast<int>(s->images.size()));
    {
        std::lock_guard<std::mutex> lock(imagesMutex());
        liveImages()[key] = s;
    }
    *out = toHandle(key);
    return kOfxStatOK;
}

OfxStatus clipReleaseImage(OfxPropertySetHandle h) {
    PropertySet* key = reinterpret_cast<PropertySet*>(h);
    InstanceState* s = nullptr;
    {
        std::lock_guard<std::mutex> lock(imagesMutex());
        auto it = liveImages().find(key);
        if (!h || it == liveImages().end()) return kOfxStatErrBadHandle;
        s = it->second;
        liveImages().erase(it);
    }
    s->images.erase(key);
    return kOfxStatOK;
}

OfxStatus clipGetRegionOfDefinition(OfxImageClipHandle h, OfxTime time, OfxRectD* bounds) {
    ClipObj* c = asClip(h);
    if (!c) return kOfxStatErrBadHandle;
    if (!bounds) return kOfxStatErrValue;
    InstanceState* s = c->owner ? c->owner->instance : nullptr;
    if (!s) return kOfxStatErrBadHandle;
    double w = s->projectWidth, hgt = s->projectHeight;
    if (c->name != kOfxImageEffectOutputClipName) {
        double frameTime = time;
        std::shared_ptr<const FloatImage> f =
            std::isfinite(time) && frameTimeFor(*s, time, &frameTime) ? frameAt(*s, *c, frameTime) : nullptr;
        if (!f) return kOfxStatFailed;
        w = f->width;
        hgt = f->height;
    }
    // Canonical coordinates: a proxy frame's pixels stand for 1 / scale each.
    bounds->x1 = c->layout.originX;
    bounds->y1 = c->layout.originY;
    bounds->x2 = bounds->x1 + w / s->renderScale;
    bounds->y2 = bounds->y1 + hgt / s->renderScale;
    return kOfxStatOK;
}

int abortRender(OfxImageEffectHandle) { return 0; }

struct ImageMemory {
    std::vector<unsigned char> bytes;
    int locks = 0;
};

OfxStatus imageMemoryAlloc(OfxImageEffectHandle, size_t n, OfxImageMemoryHandle* out) {
    if (!out) return kOfxStatErrValue;
    *out = nullptr;
    if (n > (size_t{1} << 34)) return kOfxStatErrMemory;
    auto* m = new (std::nothrow) ImageMemory;
    if (!m) return kOfxStatErrMemory;
    try {
        m->bytes.resize(n);
    } catch (...) {
        delete m;
        return kOfxStatErrMemory;
    }
    registerHandle(m, HandleKind::ImageMemory);
    *out = reinterpret_cast<OfxImageMemoryHandle>(m);
    return kOfxStatOK;
}

OfxStatus imageMemoryFree(OfxImageMemoryHandle h) {
    if (!isHandle(h, HandleKind::ImageMemory)) return kOfxStatErrBadHandle;
    unregisterHandle(h);
    delete reinterpret_cast<ImageMemory*>(h);
    return kOfxStatOK;
}

OfxStatus imageMemoryLock(OfxImageMemoryHandle h, void** ptr) {
    if (!isHandle(h, HandleKind::ImageMemory)) return kOfxStatErrBadHandle;
    if (!ptr) return kOfxStatErrValue;
    auto* m = reinterpret_cast<ImageMemory*>(h);
    ++m->locks;
    *ptr = m->bytes.data();
    return kOfxStatOK;
}

OfxStatus imageMemoryUnlock(OfxImageMemoryHandle h) {
    if (!isHandle(h, HandleKind::ImageMemory)) return kOfxStatErrBadHandle;
    auto* m = reinterpret_cast<ImageMemory*>(h);
    if (m->locks > 0) --m->locks;
    return kOfxStatOK;
}

const OfxImageEffectSuiteV1 kSuite = {
    getPropertySet, getParamSet, clipDefine, clipGetHandle, clipGetPropertySet, clipGetImage,
    clipReleaseImage, clipGetRegionOfDefinition, abortRender, imageMemoryAlloc, imageMemoryFree,
    imageMemoryLock, imageMemoryUnlock,
};

}  // namespace

const void* imageEffectSuite() { return &kSuite; }

bool isLiveImage(PropertySet* p) {
    std::lock_guard<std::mutex> lock(imagesMutex());
    return liveImages().count(p) != 0;
}

void forgetImagesOf(InstanceState* s) {
    std::lock_guard<std::mutex> lock(imagesMutex());
    for (auto it = liveImages().begin(); it != liveImages().end();) {
        if (it->second == s) it = liveImages().erase(it);
        else ++it;
    }
}

std::shared_ptr<const FloatImage> frameAt(InstanceState& s, ClipObj& c, double t) {
    for (const auto& e : s.actionFrames)
        if (e.clip == c.name && e.time == t) return e.frame;
    std::shared_ptr<const FloatImage> frame = provideFrame(c, t);
    // Two frames at most: the action's own (sized the output, fetched again
    // by the plug-in) and the latest, never a whole history as float.
    if (s.actionFrames.size() >= 2) {
        auto victim = s.actionFrames.begin();
        if (victim->time == s.actionTime) ++victim;   // the action's own frame stays
        s.actionFrames.erase(victim);
    }
    s.actionFrames.push_back({c.name, t, frame});
    return frame;
}

std::shared_ptr<const FloatImage> provideFrame(ClipObj& c, double t) {
    // A frame whose buffer does not match its size would be read out of bounds.
    auto usable = [](const FloatImage& img) {
        return !img.empty() && img.rgba.size() == static_cast<size_t>(img.width) * img.height * 4;
    };
    std::shared_ptr<const FloatImage> frame;
    if (c.sharedProvider) {
        std::shared_ptr<const FloatImage> img;
        try {
            img = c.sharedProvider(t);
        } catch (...) {
            img = nullptr;
        }
        if (img && usable(*img)) frame = std::move(img);
    } else if (c.provider) {
        auto img = std::make_shared<FloatImage>();
        bool ok = false;
        try {
            ok = c.provider(t, *img);
        } catch (...) {
            ok = false;
        }
        if (ok && usable(*img)) frame = std::move(img);
    }
    // In a proxy mode the plug-in gets the frame made smaller.
    const InstanceState* s = c.owner ? c.owner->instance : nullptr;
    if (frame && s && s->renderScale != 1.0) frame = std::make_shared<const FloatImage>(proxyImage(*frame, s->renderScale));
    return frame;
}

}  // namespace ofxhost
