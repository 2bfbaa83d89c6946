// PTSERV32.dll: the tag-manager library as a client of the running HMI runtime (hexvane-sim).
// The exported functions; the link behind them (Link.h) holds the connection, its reader, the
// mirror of the runtime's tags, the kept advises, the notifications and the keeper.
#include "platform/ptserv32/ptserv32.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "platform/hexvane-sim/HexvaneProtocol.h"
#include "platform/ptserv32/Link.h"

namespace {

using ptserv::Link;
using ptserv::Mirror;
using ptserv::MirrorTag;
using ptserv::Tokens;

Link& TheLink() {
    static Link link;
    return link;
}

bool IsOne(const std::optional<Tokens>& a) {
    return a && !a->empty() && (*a)[0] == "1";
}

uint16_t Lookup(const char* name) {
    if (!name || std::strlen(name) > HexvaneWire::MaxText) return PT_NO_TAG;  // no tag has such a name
    std::string key = name;
    bool ascii = true;
    for (char& c : key) {
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (ascii) return TheLink().HandleOfKey(key);
    // Letter case beyond ASCII is the runtime's to judge.
    return TheLink().Find("FIND " + HexvaneWire::EncodeText(name));
}

// Day of the week, 1 Sunday to 7 Saturday.
uint16_t DayOfWeek(int y, int m, int d) {
    static const int offset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return static_cast<uint16_t>((y + y / 4 - y / 100 + y / 400 + offset[(m - 1) % 12] + d) % 7 + 1);
}

void FillTime(const HexvaneWire::WireTime& t, PT_TIME* time) {
    if (!time) return;
    time->wYear = static_cast<uint16_t>(t.year);
    time->wMonth = static_cast<uint16_t>(t.month);
    time->wDayOfWeek = DayOfWeek(t.year, t.month, t.day);
    time->wDay = static_cast<uint16_t>(t.day);
    time->wHour = static_cast<uint16_t>(t.hour);
    time->wMinute = static_cast<uint16_t>(t.minute);
    time->wSecond = static_cast<uint16_t>(t.second);
    time->wMilliseconds = 0;
}

std::string TimeToken(const PT_TIME* time) {
    if (!time) return "-";
    return HexvaneWire::FormatTime(
        {time->wYear, time->wMonth, time->wDay, time->wHour, time->wMinute, time->wSecond});
}

// The longest start of a valid UTF-8 text that holds at most `units` UTF-16 units.
std::size_t Utf8PrefixForUnits(const std::string& s, std::size_t units) {
    std::size_t pos = 0, used = 0;
    while (pos < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[pos]);
        const std::size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        const std::size_t need = len == 4 ? 2 : 1;
        if (used + need > units || pos + len > s.size()) break;
        used += need;
        pos += len;
    }
    return pos;
}

// A text of the mirror (valid UTF-8) into a host's buffer of PT_MESSAGE_BUFFER_BYTES: its first
// PT_MESSAGE_CHARS characters and a NUL.
void CopyText(const std::string& s, char* text) {
    const std::size_t n = Utf8PrefixForUnits(s, PT_MESSAGE_CHARS);
    std::memcpy(text, s.data(), n);
    text[n] = '\0';
}

}  // namespace

extern "C" {

uint16_t RegisterTag(const char* name) {
    return Lookup(name);
}

uint16_t FindTag(const char* name) {
    return Lookup(name);
}

int16_t GetTagValue(uint16_t handle, PT_TIME* time, uint16_t* status, double* value) {
    return TheLink().WithMirror([&](const Mirror& m) {
        const MirrorTag* t = m.Tag(handle);
        if (!t || t->unreadableValue) return false;
        FillTime(t->valueTime, time);
        if (status) *status = t->status;
        if (value) *value = t->value;
        return true;
    })
               ? 1
               : 0;
}

int16_t GetTagMessage(uint16_t handle, PT_TIME* time, uint16_t* status, char* text) {
    if (!text) return 0;
    return TheLink().WithMirror([&](const Mirror& m) {
        const MirrorTag* t = m.Tag(handle);
        if (!t) return false;
        FillTime(t->messageTime, time);
        if (status) *status = t->status;
        CopyText(t->message, text);
        return true;
    })
               ? 1
               : 0;
}

int16_t SetTagValue(uint16_t handle, const PT_TIME* time, uint16_t statusMask, uint16_t statusBits,
                    double* value, int32_t client) {
    if (!value) return 0;
    const auto a = TheLink().CallFor(handle, [&](uint16_t r) {
        return "SETV " + std::to_string(r) + ' ' + TimeToken(time) + ' ' + std::to_string(statusMask) + ' ' +
               std::to_string(statusBits) + ' ' + HexvaneWire::FormatNumber(*value) + ' ' +
               std::to_string(client);
    });
    return IsOne(a) ? 1 : 0;
}

int16_t SetTagMessage(uint16_t handle, const PT_TIME* time, uint16_t statusMask, uint16_t statusBits,
                      const char* text, int32_t client) {
    // A text the runtime would refuse is not sent.
    if (!text || std::strlen(text) > HexvaneWire::MaxText) return 0;
    const auto a = TheLink().CallFor(handle, [&](uint16_t r) {
        return "SETM " + std::to_string(r) + ' ' + TimeToken(time) + ' ' + std::to_string(statusMask) + ' ' +
               std::to_string(statusBits) + ' ' + HexvaneWire::EncodeText(text) + ' ' +
               std::to_string(client);
    });
    return IsOne(a) ? 1 : 0;
}

int16_t SetAdviseCallback(int32_t client, PT_ADVISE_CALLBACK callback) {
    TheLink().SetCallback(client, callback);
    if (!callback) return 1;
    return TheLink().Reachable() ? 1 : 0;
}

int16_t TagAdvise(uint16_t handle, int32_t client, int32_t index) {
    return TheLink().Advise(handle, client, index);
}

int16_t TagUnadvise(uint16_t handle, int16_t adviseId) {
    return TheLink().Unadvise(handle, adviseId);
}

void PtSetWaitHook(PT_WAIT_HOOK hook) {
    TheLink().SetWaitHook(hook);
}

int16_t PtIsLinkLost(void) {
    return TheLink().State().IsLost() ? 1 : 0;
}

uint32_t PtLinkGeneration(void) {
    return TheLink().State().Generation();
}

int16_t PtIsTagPresent(uint16_t handle) {
    return TheLink().IsPresent(handle) ? 1 : 0;
}

int16_t PtTagFaultText(uint16_t handle, char* text) {
    return TheLink().WithMirror([&](const Mirror& m) {
        const MirrorTag* t = m.Tag(handle);
        if (!t || !t->unreadableValue) return false;
        if (text) CopyText(*t->unreadableValue, text);
        return true;
    })
               ? 1
               : 0;
}

int64_t PtMsSinceHeard(void) {
    return TheLink().State().MsSinceHeard();
}

uint32_t PtLinkFault(char* text) {
    std::string why;
    const uint32_t number = TheLink().State().Fault(&why);
    if (text) {
        // Cut at a character.
        std::size_t n = std::min(why.size(), static_cast<std::size_t>(PT_MESSAGE_BUFFER_BYTES - 1));
        if (n < why.size())
            while (n > 0 && (static_cast<unsigned char>(why[n]) & 0xC0) == 0x80) --n;
        std::memcpy(text, why.data(), n);
        text[n] = '\0';
    }
    return number;
}

}  // extern "C"
