#include "tests/saver/runtime/FakeTagManager.h"

#include <cstring>

#include "saver/runtime/TagAccess.h"

namespace FakeTags {

std::vector<Advice> advised;
std::vector<std::pair<uint16_t, int16_t>> unadvised;
std::function<void()> onAdvise;
PT_ADVISE_CALLBACK callback = nullptr;
int findCalls = 0;
bool linkLost = false;
std::vector<char> rawMessage;
uint32_t generation = 0;
int64_t msSinceHeard = -1;
uint32_t faultNumber = 0;
QString faultText;

namespace {
std::map<QString, Tag> g_tags;

Tag* ByHandle(uint16_t h) {
    for (auto& [n, t] : g_tags)
        if (t.handle == h) return &t;
    return nullptr;
}

uint16_t Find(const char* name) {
    ++findCalls;
    auto it = g_tags.find(QString::fromUtf8(name));
    return it == g_tags.end() || it->second.absent ? PT_NO_TAG : it->second.handle;
}
uint16_t Register(const char* name) {
    return Find(name);
}
int16_t GetValue(uint16_t h, PT_TIME* time, uint16_t* status, double* value) {
    Tag* t = ByHandle(h);
    if (!t || t->failReads || t->absent) return 0;
    *time = t->time;
    *status = 3;
    *value = t->value;
    return 1;
}
int16_t GetMessage(uint16_t h, PT_TIME* time, uint16_t* status, char* text) {
    Tag* t = ByHandle(h);
    if (!t || t->failReads || t->absent) return 0;
    *time = t->time;
    *status = 3;
    if (!rawMessage.empty()) {
        std::memcpy(text, rawMessage.data(), rawMessage.size());
    } else {
        const QByteArray b = t->message.toUtf8();
        std::memcpy(text, b.constData(), static_cast<size_t>(b.size()) + 1);
    }
    return 1;
}
int16_t SetValue(uint16_t h, const PT_TIME* time, uint16_t mask, uint16_t bits, double* value,
                 int32_t client) {
    Tag* t = ByHandle(h);
    if (!t) return 0;
    t->value = *value;
    t->time = *time;
    t->lastMask = mask;
    t->lastBits = bits;
    t->lastClient = client;
    ++t->valueWrites;
    return 1;
}
int16_t SetMessage(uint16_t h, const PT_TIME*, uint16_t, uint16_t, const char* text, int32_t) {
    Tag* t = ByHandle(h);
    if (!t) return 0;
    t->message = QString::fromUtf8(text);
    return 1;
}
int16_t SetCallback(int32_t, PT_ADVISE_CALLBACK cb) {
    callback = cb;
    return 1;
}
int16_t Advise(uint16_t h, int32_t client, int32_t index) {
    advised.push_back({h, client, index});
    if (onAdvise) onAdvise();
    return static_cast<int16_t>(100 + index);
}
int16_t Unadvise(uint16_t h, int16_t id) {
    unadvised.emplace_back(h, id);
    return 1;
}
int16_t LinkLost() {
    return linkLost ? 1 : 0;
}
uint32_t Generation() {
    return generation;
}
int16_t Present(uint16_t h) {
    const Tag* t = ByHandle(h);
    return t && !t->absent && !linkLost ? 1 : 0;
}
int16_t FaultText(uint16_t h, char* text) {
    const Tag* t = ByHandle(h);
    if (!t || t->faultText.isEmpty()) return 0;
    const QByteArray b = t->faultText.toUtf8();
    if (text) std::memcpy(text, b.constData(), static_cast<size_t>(b.size()) + 1);
    return 1;
}
int64_t SinceHeard() {
    return msSinceHeard;
}
uint32_t Fault(char* text) {
    const QByteArray b = faultText.toUtf8();
    if (text) std::memcpy(text, b.constData(), static_cast<size_t>(b.size()) + 1);
    return faultNumber;
}
}  // namespace

void Install() {
    g_tags.clear();
    advised.clear();
    unadvised.clear();
    onAdvise = nullptr;
    callback = nullptr;
    findCalls = 0;
    linkLost = false;
    rawMessage.clear();
    generation = 0;
    msSinceHeard = -1;
    faultNumber = 0;
    faultText.clear();
    TagLibraryApi api;
    api.RegisterTag = &Register;
    api.FindTag = &Find;
    api.GetTagValue = &GetValue;
    api.GetTagMessage = &GetMessage;
    api.SetTagValue = &SetValue;
    api.SetTagMessage = &SetMessage;
    api.SetAdviseCallback = &SetCallback;
    api.TagAdvise = &Advise;
    api.TagUnadvise = &Unadvise;
    api.IsLinkLost = &LinkLost;
    api.LinkGeneration = &Generation;
    api.IsTagPresent = &Present;
    api.TagFaultText = &FaultText;
    api.MsSinceHeard = &SinceHeard;
    api.LinkFault = &Fault;
    TagAccess::SetTagLibrary(api);
}

uint16_t Add(const QString& name, double value, uint16_t handle) {
    Tag t;
    t.handle = handle ? handle : static_cast<uint16_t>(g_tags.size() + 1);
    t.name = name;
    t.value = value;
    g_tags[name] = t;
    return t.handle;
}

Tag& Get(const QString& name) {
    return g_tags[name];
}

bool Has(const QString& name) {
    return g_tags.count(name) > 0;
}

}  // namespace FakeTags
