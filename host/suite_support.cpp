// The host record, suite lookup, and the memory, multi-thread and message suites.
#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "host/host_objects.h"
#include "host/plugin_state.h"
#include "host/worker_pool.h"
#include "openfx/include/ofxParametricParam.h"

namespace ofxhost {

namespace {

thread_local PluginState* tActive = nullptr;
thread_local unsigned tThreadIndex = 0;
thread_local bool tSpawned = false;

OfxStatus memoryAlloc(void*, size_t n, void** out) {
    if (!out) return kOfxStatErrValue;
    *out = nullptr;
    if (n > (size_t{1} << 34)) return kOfxStatErrMemory;
    unsigned char* p = new (std::nothrow) unsigned char[n ? n : 1];
    if (!p) return kOfxStatErrMemory;
    registerHandle(p, HandleKind::Memory);
    *out = p;
    return kOfxStatOK;
}

OfxStatus memoryFree(void* p) {
    if (!isHandle(p, HandleKind::Memory)) return kOfxStatErrBadHandle;
    unregisterHandle(p);
    delete[] static_cast<unsigned char*>(p);
    return kOfxStatOK;
}

const OfxMemorySuiteV1 kMemory = {memoryAlloc, memoryFree};

OfxStatus multiThread(OfxThreadFunctionV1 func, unsigned n, void* arg) {
    if (!func) return kOfxStatErrValue;
    if (n == 0) n = workerCount();
    // Every index runs once; a plug-in asking for thousands gets them on the
    // host's few workers, which stay up between calls.
    PluginState* active = tActive;
    const unsigned savedIndex = tThreadIndex;
    runOnWorkers(n, [&](unsigned i) {
        if (onWorkerThread()) {
            tSpawned = true;
            tActive = active;
        }
        tThreadIndex = i;
        func(i, n, arg);
    });
    tThreadIndex = savedIndex;
    return kOfxStatOK;
}

OfxStatus numCPUs(unsigned* n) {
    if (!n) return kOfxStatErrValue;
    *n = workerCount();
    return kOfxStatOK;
}

OfxStatus threadIndex(unsigned* i) {
    if (!i) return kOfxStatErrValue;
    *i = tThreadIndex;
    return kOfxStatOK;
}

int isSpawned() { return tSpawned ? 1 : 0; }

struct Mutex {
    std::recursive_mutex m;
};

OfxStatus mutexCreate(OfxMutexHandle* out, int lockCount) {
    if (!out) return kOfxStatErrValue;
    auto* m = new Mutex;
    for (int i = 0; i < lockCount && i < 1024; ++i) m->m.lock();
    registerHandle(m, HandleKind::Mutex);
    *out = reinterpret_cast<OfxMutexHandle>(m);
    return kOfxStatOK;
}

OfxStatus mutexDestroy(const OfxMutexHandle h) {
    if (!isHandle(h, HandleKind::Mutex)) return kOfxStatErrBadHandle;
    unregisterHandle(h);
    delete reinterpret_cast<Mutex*>(h);
    return kOfxStatOK;
}

OfxStatus mutexLock(const OfxMutexHandle h) {
    if (!isHandle(h, HandleKind::Mutex)) return kOfxStatErrBadHandle;
    reinterpret_cast<Mutex*>(h)->m.lock();
    return kOfxStatOK;
}

OfxStatus mutexUnLock(const OfxMutexHandle h) {
    if (!isHandle(h, HandleKind::Mutex)) return kOfxStatErrBadHandle;
    reinterpret_cast<Mutex*>(h)->m.unlock();
    return kOfxStatOK;
}

OfxStatus mutexTryLock(const OfxMutexHandle h) {
    if (!isHandle(h, HandleKind::Mutex)) return kOfxStatErrBadHandle;
    return reinterpret_cast<Mutex*>(h)->m.try_lock() ? kOfxStatOK : kOfxStatFailed;
}

const OfxMultiThreadSuiteV1 kThreads = {multiThread, numCPUs, threadIndex, isSpawned, mutexCreate,
                                        mutexDestroy, mutexLock, mutexUnLock, mutexTryLock};

OfxStatus postFormatted(const char* type, const char* format, va_list ap) {
    if (!format) return kOfxStatErrValue;
    char buf[2048];
    std::vsnprintf(buf, sizeof buf, format, ap);
    postMessage(tActive, std::string(type ? type : "OfxMessageMessage") + ": " + buf);
    // Nobody is there to answer a question in a batch host.
    if (type && std::strcmp(type, kOfxMessageQuestion) == 0) return kOfxStatReplyNo;
    return kOfxStatOK;
}

OfxStatus message(void*, const char* type, const char*, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    OfxStatus st = postFormatted(type, format, ap);
    va_end(ap);
    return st;
}

OfxStatus clearPersistentMessage(void*) { return kOfxStatOK; }

const OfxMessageSuiteV1 kMessage1 = {message};
// A batch host has no place to keep a message on an instance: a persistent
// message is posted like any other.
const OfxMessageSuiteV2 kMessage2 = {message, message, clearPersistentMessage};

const void* fetchSuiteC(OfxPropertySetHandle, const char* name, int version) {
    const void* suite = fetchSuite(name, version);
    if (!suite) noteMissingSuite(name ? name : "(null)", version);
    return suite;
}

PropertySet* makeHostProps(const HostDescription& d) {
    auto* p = new PropertySet;  // lives as long as the process: plug-ins keep the pointer
    p->setStrings(kOfxPropType, {kOfxTypeImageEffectHost}, true, 1);
    p->setStrings(kOfxPropName, {"org.varnok.host"}, true, 1);
    p->setStrings(kOfxPropLabel, {"Varnok host"}, true, 1);
    p->setInts(kOfxPropAPIVersion, {1, 4}, true, 2);
    p->setInts(kOfxPropVersion, {1, 1, 0}, true, 3);
    p->setStrings(kOfxPropVersionLabel, {"1.1"}, true, 1);
    p->setInts(kOfxImageEffectHostPropIsBackground, {1}, true, 1);
    p->setInts(kOfxImageEffectPropSupportsOverlays, {0}, true, 1);
    p->setInts(kOfxImageEffectPropSupportsMultiResolution, {1}, true, 1);
    p->setInts(kOfxImageEffectPropSupportsTiles, {1}, true, 1);
    p->setInts(kOfxImageEffectPropTemporalClipAccess, {d.temporalClipAccess ? 1 : 0}, true, 1);
    p->setStrings(kOfxImageEffectPropSupportedComponents,
                  {kOfxImageComponentRGBA, kOfxImageComponentRGB, kOfxImageComponentAlpha}, true);
    p->setStrings(kOfxImageEffectPropSupportedContexts,
                  {kOfxImageEffectContextFilter, kOfxImageEffectContextGeneral, kOfxImageEffectContextGenerator,
                   kOfxImageEffectContextTransition, kOfxImageEffectContextPaint},
                  true);
    p->setStrings(kOfxImageEffectPropSupportedPixelDepths,
                  {kOfxBitDepthFloat, kOfxBitDepthHalf, kOfxBitDepthShort, kOfxBitDepthByte}, true);
    p->setInts(kOfxImageEffectPropSupportsMultipleClipDepths, {0}, true, 1);
    p->setInts(kOfxImageEffectPropSupportsMultipleClipPARs, {0}, true, 1);
    p->setInts(kOfxImageEffectPropSetableFrameRate, {0}, true, 1);
    p->setInts(kOfxImageEffectPropSetableFielding, {0}, true, 1);
    p->setInts(kOfxImageEffectInstancePropSequentialRender, {0}, true, 1);
    p->setInts(kOfxParamHostPropSupportsCustomInteract, {0}, true, 1);
    p->setInts(kOfxParamHostPropSupportsStringAnimation, {0}, true, 1);
    p->setInts(kOfxParamHostPropSupportsChoiceAnimation, {1}, true, 1);
    p->setInts(kOfxParamHostPropSupportsBooleanAnimation, {1}, true, 1);
    p->setInts(kOfxParamHostPropSupportsCustomAnimation, {0}, true, 1);
    // Curves hold one shape for the whole clip: no keyframes of their own.
    p->setInts(kOfxParamHostPropSupportsParametricAnimation, {0}, true, 1);
    p->setInts(kOfxParamHostPropMaxParameters, {-1}, true, 1);
    p->setInts(kOfxParamHostPropMaxPages, {0}, true, 1);
    p->setInts(kOfxParamHostPropPageRowColumnCount, {0, 0}, true, 2);
    p->setPointers(kOfxPropHostOSHandle, {nullptr}, true, 1);
    return p;
}

}  // namespace

const void* memorySuite() { return &kMemory; }
const void* multiThreadSuite() { return &kThreads; }
const void* messageSuite(int version) {
    if (version == 1) return &kMessage1;
    if (version == 2) return &kMessage2;
    return nullptr;
}

const void* fetchSuite(const char* name, int version) {
    if (!name) return nullptr;
    const std::string n = name;
    if (n == kOfxPropertySuite && version == 1) return propertySuite();
    if (n == kOfxImageEffectSuite && version == 1) return imageEffectSuite();
    if (n == kOfxParameterSuite && version == 1) return parameterSuite();
    if (n == kOfxMemorySuite && version == 1) return memorySuite();
    if (n == kOfxMultiThreadSuite && version == 1) return multiThreadSuite();
    if (n == kOfxMessageSuite) return messageSuite(version);
    if (n == kOfxParametricParameterSuite && version == 1) return parametricSuite();
    return nullptr;
}

OfxHost* hostRecord(const HostDescription& d) {
    // One record per kind of host, kept for the life of the process: a
    // plug-in holds on to the pointer it was given.
    auto make = [](const HostDescription& desc) {
        auto* h = new OfxHost;
        h->host = reinterpret_cast<OfxPropertySetHandle>(makeHostProps(desc));
        h->fetchSuite = fetchSuiteC;
        return h;
    };
    static OfxHost* const temporal = make(HostDescription{true});
    static OfxHost* const noTemporal = make(HostDescription{false});
    return d.temporalClipAccess ? temporal : noTemporal;
}

namespace {
std::mutex gMissingMutex;
std::vector<std::string> gMissingOutsideActions;   // asked for in setHost, before any action
}  // namespace

void noteMissingSuite(const std::string& name, int version) {
    const std::string text = name + " version " + std::to_string(version);
    std::lock_guard<std::mutex> lock(gMissingMutex);
    std::vector<std::string>& list = tActive ? tActive->missingSuites : gMissingOutsideActions;
    if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(text);
}

std::vector<std::string> missingSuitesOf(const PluginState& p) {
    std::lock_guard<std::mutex> lock(gMissingMutex);
    return p.missingSuites;
}

std::vector<std::string> takeMissingSuitesOutsideActions() {
    std::lock_guard<std::mutex> lock(gMissingMutex);
    return std::move(gMissingOutsideActions);
}

void setActivePlugin(PluginState* p) { tActive = p; }
PluginState* activePlugin() { return tActive; }

}  // namespace ofxhost
