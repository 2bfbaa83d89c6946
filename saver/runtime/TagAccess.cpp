#include "saver/runtime/TagAccess.h"

#include <dlfcn.h>

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <cstring>

#include "common/DateUtil.h"

namespace {

TagLibraryApi g_api;
void* g_handle = nullptr;

template <typename Fn>
bool Take(void* lib, const char* name, Fn& slot, QString* error) {
    slot = reinterpret_cast<Fn>(dlsym(lib, name));
    if (slot) return true;
    if (error)
        *error = QStringLiteral("The tag-manager library has no function [%1].").arg(QLatin1String(name));
    return false;
}

struct StatusKeyword {
    const char* word;
    uint16_t bits;
    uint16_t mask;
    int group;
};

// quality, fault, alarm, acknowledge
constexpr StatusKeyword kStatusWords[] = {
    {"UNKNOWN", 0, 7, 0},    {"UNCERTAIN", 1, 7, 0},  {"OFFLINE", 2, 7, 0},    {"ONLINE", 3, 7, 0},
    {"FAULT", 8, 8, 1},      {"NOFAULT", 0, 8, 1},    {"NOALARM", 0, 112, 2},  {"HIALARM", 16, 112, 2},
    {"LOALARM", 32, 112, 2}, {"HHALARM", 48, 112, 2}, {"LLALARM", 64, 112, 2}, {"ACK", 128, 128, 3},
    {"NOACK", 0, 128, 3},
};

}  // namespace

namespace TagAccess {

bool LoadTagLibrary(const QString& path, QString* error) {
    void* lib = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        if (error) *error = QString::fromLocal8Bit(dlerror());
        return false;
    }
    TagLibraryApi api;
    const bool ok =
        Take(lib, "RegisterTag", api.RegisterTag, error) && Take(lib, "FindTag", api.FindTag, error) &&
        Take(lib, "GetTagValue", api.GetTagValue, error) &&
        Take(lib, "GetTagMessage", api.GetTagMessage, error) &&
        Take(lib, "SetTagValue", api.SetTagValue, error) &&
        Take(lib, "SetTagMessage", api.SetTagMessage, error) &&
        Take(lib, "SetAdviseCallback", api.SetAdviseCallback, error) &&
        Take(lib, "TagAdvise", api.TagAdvise, error) && Take(lib, "TagUnadvise", api.TagUnadvise, error);
    if (!ok) {
        dlclose(lib);
        return false;
    }
    api.SetWaitHook = reinterpret_cast<decltype(api.SetWaitHook)>(dlsym(lib, "PtSetWaitHook"));
    api.IsLinkLost = reinterpret_cast<decltype(api.IsLinkLost)>(dlsym(lib, "PtIsLinkLost"));
    api.LinkGeneration = reinterpret_cast<decltype(api.LinkGeneration)>(dlsym(lib, "PtLinkGeneration"));
    api.IsTagPresent = reinterpret_cast<decltype(api.IsTagPresent)>(dlsym(lib, "PtIsTagPresent"));
    api.TagFaultText = reinterpret_cast<decltype(api.TagFaultText)>(dlsym(lib, "PtTagFaultText"));
    api.MsSinceHeard = reinterpret_cast<decltype(api.MsSinceHeard)>(dlsym(lib, "PtMsSinceHeard"));
    api.LinkFault = reinterpret_cast<decltype(api.LinkFault)>(dlsym(lib, "PtLinkFault"));
    g_api = api;
    g_handle = lib;  // stays loaded for the life of the process
    return true;
}

void SetTagLibrary(const TagLibraryApi& api) {
    g_api = api;
}

void ResetTagLibrary() {
    g_api = TagLibraryApi{};
}

bool IsTagLibraryLoaded() {
    return g_api.FindTag != nullptr;
}

void SetLinkWaitHook(PT_WAIT_HOOK hook) {
    if (g_api.SetWaitHook) g_api.SetWaitHook(hook);
}

bool IsLinkLost() {
    return g_api.IsLinkLost && g_api.IsLinkLost() != 0;
}

bool IsLinkWhole() {
    return g_api.IsLinkLost && g_api.IsLinkLost() == 0;
}

uint32_t LinkGeneration() {
    return g_api.LinkGeneration ? g_api.LinkGeneration() : 0;
}

std::optional<bool> IsTagPresent(uint16_t handle) {
    if (!g_api.IsTagPresent) return std::nullopt;
    return g_api.IsTagPresent(handle) != 0;
}

bool TagFaultText(uint16_t handle, QString& text) {
    if (!g_api.TagFaultText) return false;
    char buffer[PT_MESSAGE_BUFFER_BYTES + 1];
    std::memset(buffer, 0, sizeof buffer);
    if (g_api.TagFaultText(handle, buffer) == 0) return false;
    text = QString::fromUtf8(buffer, static_cast<qsizetype>(std::strlen(buffer)));
    return true;
}

int64_t MsSinceHeard() {
    return g_api.MsSinceHeard ? g_api.MsSinceHeard() : -1;
}

uint32_t LinkFault(QString* text) {
    if (!g_api.LinkFault) return 0;
    char buffer[PT_MESSAGE_BUFFER_BYTES + 1];
    std::memset(buffer, 0, sizeof buffer);
    const uint32_t number = g_api.LinkFault(buffer);
    if (text) *text = QString::fromUtf8(buffer, static_cast<qsizetype>(std::strlen(buffer)));
    return number;
}

}  // namespace TagAccess

uint16_t FindTagHandle(const QString& name) {
    if (!g_api.FindTag) return PT_NO_TAG;
    return g_api.FindTag(name.toUtf8().constData());
}

uint16_t RegisterTagHandle(const QString& name) {
    if (!g_api.RegisterTag) return PT_NO_TAG;
    return g_api.RegisterTag(name.toUtf8().constData());
}

void ResolveTagID(xTag& tag) {
    tag.ID =
        tag.Name.isEmpty() ? static_cast<int16_t>(-1) : static_cast<int16_t>(RegisterTagHandle(tag.Name));
}

bool ReadTagValue(uint16_t handle, double& value, double& time, int16_t& status) {
    if (!g_api.GetTagValue) return false;
    PT_TIME t{};
    uint16_t st = 0;
    double v = 0;
    if (g_api.GetTagValue(handle, &t, &st, &v) == 0) return false;
    value = v;
    status = static_cast<int16_t>(st);
    time = TagTimeToDate(t);
    return true;
}

bool ReadTagMessage(uint16_t handle, QString& text, double& time, int16_t& status) {
    if (!g_api.GetTagMessage) return false;
    // 81 blanks; the rest of the buffer stays NUL so that a full buffer still ends.
    char buffer[PT_MESSAGE_BUFFER_BYTES + 1];
    std::memset(buffer, 0, sizeof buffer);
    std::memset(buffer, ' ', PT_MESSAGE_CHARS);
    PT_TIME t{};
    uint16_t st = 0;
    if (g_api.GetTagMessage(handle, &t, &st, buffer) == 0) return false;
    buffer[PT_MESSAGE_BUFFER_BYTES] = '\0';
    text = QString::fromUtf8(buffer, static_cast<qsizetype>(std::strlen(buffer)));
    status = static_cast<int16_t>(st);
    time = TagTimeToDate(t);
    return true;
}

bool WriteTagValue(uint16_t handle, double value, double time, const QString& status, int32_t client) {
    uint16_t bits = 0, mask = 0;
    if (!ParseTagStatus(status, bits, mask)) return false;
    if (!g_api.SetTagValue) return false;
    PT_TIME t{};
    DateToTagTime(time == 0 ? DateUtil::Now() : time, t);
    double v = value;
    return g_api.SetTagValue(handle, &t, mask, bits, &v, client) != 0;
}

bool WriteTagMessage(uint16_t handle, const QString& text, double time, const QString& status,
                     int32_t client) {
    uint16_t bits = 0, mask = 0;
    if (!ParseTagStatus(status, bits, mask)) return false;
    if (!g_api.SetTagMessage) return false;
    PT_TIME t{};
    DateToTagTime(time == 0 ? DateUtil::Now() : time, t);
    return g_api.SetTagMessage(handle, &t, mask, bits, text.toUtf8().constData(), client) != 0;
}

bool CallSetAdviseCallback(int32_t client, PT_ADVISE_CALLBACK callback) {
    if (!g_api.SetAdviseCallback) return false;
    return g_api.SetAdviseCallback(client, callback) != 0;
}

int16_t CallTagAdvise(uint16_t handle, int32_t client, int32_t index) {
    if (!g_api.TagAdvise) return 0;
    return g_api.TagAdvise(handle, client, index);
}

bool CallTagUnadvise(uint16_t handle, int16_t adviseId) {
    if (!g_api.TagUnadvise) return false;
    return g_api.TagUnadvise(handle, adviseId) != 0;
}

QString FormatTagTime(const PT_TIME& time) {
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return QString::number(time.wYear) + u'/' + two(time.wMonth) + u'/' + two(time.wDay) + u' ' +
           two(time.wHour) + u':' + two(time.wMinute) + u':' + two(time.wSecond);
}

double TagTimeToDate(const PT_TIME& time) {
    // The date its text (FormatTagTime) reads as, without going through the text. The tags of a
    // record mostly share their time: the last one is kept.
    thread_local PT_TIME last{};
    thread_local double lastDate = 0;
    if (time.wYear == last.wYear && time.wMonth == last.wMonth && time.wDay == last.wDay &&
        time.wHour == last.wHour && time.wMinute == last.wMinute && time.wSecond == last.wSecond)
        return lastDate;
    DateUtil::Fields f;
    f.year = time.wYear;
    f.month = time.wMonth;
    f.day = time.wDay;
    f.hour = time.wHour;
    f.minute = time.wMinute;
    f.second = time.wSecond;
    lastDate = DateUtil::FromFields(f).value_or(0.0);
    last = time;
    return lastDate;
}

void DateToTagTime(double date, PT_TIME& time) {
    const auto f = DateUtil::ToFields(date);
    if (!f) {
        time = PT_TIME{};
        return;
    }
    time.wYear = static_cast<uint16_t>(f->year);
    time.wMonth = static_cast<uint16_t>(f->month);
    time.wDayOfWeek = static_cast<uint16_t>(f->weekday);
    time.wDay = static_cast<uint16_t>(f->day);
    time.wHour = static_cast<uint16_t>(f->hour);
    time.wMinute = static_cast<uint16_t>(f->minute);
    time.wSecond = static_cast<uint16_t>(f->second);
    time.wMilliseconds = 0;
}

bool ParseTagStatus(const QString& text, uint16_t& status, uint16_t& mask) {
    status = 0;
    mask = 0;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return true;
    const QStringList words = trimmed.toUpper().replace(u',', u' ').split(u' ', Qt::SkipEmptyParts);
    int named[4] = {0, 0, 0, 0};
    uint16_t bits = 0, m = 0;
    for (const QString& w : words) {
        const StatusKeyword* found = nullptr;
        for (const auto& k : kStatusWords)
            if (w == QLatin1String(k.word)) found = &k;
        if (!found) return false;
        if (found->bits == 0 && (found->mask == 8 || found->mask == 128))
            bits = static_cast<uint16_t>(bits & ~found->mask);
        else
            bits = static_cast<uint16_t>(bits | found->bits);
        m = static_cast<uint16_t>(m | found->mask);
        ++named[found->group];
    }
    for (int n : named)
        if (n > 1) return false;
    status = bits;
    mask = m;
    return true;
}
