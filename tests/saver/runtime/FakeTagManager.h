// An in-process tag manager standing in for PTSERV32.dll in the runtime's unit tests.
#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/ptserv32/ptserv32.h"

namespace FakeTags {

struct Tag {
    uint16_t handle = 0;
    QString name;
    double value = 0;
    QString message;
    PT_TIME time{2024, 3, 3, 5, 7, 8, 9, 0};
    bool failReads = false;
    bool absent = false;  // the runtime of the connection lacks it: reads fail
    QString faultText;    // what the runtime sent for a value that could not be read
    int valueWrites = 0;
    uint16_t lastMask = 0, lastBits = 0;
    int32_t lastClient = 0;
};

// Makes the fake the runtime's tag library, with no tags.
void Install();
// Adds a tag; its handle (1, 2, ...; or the given one).
uint16_t Add(const QString& name, double value = 0, uint16_t handle = 0);
Tag& Get(const QString& name);
bool Has(const QString& name);

struct Advice {
    uint16_t handle;
    int32_t client;
    int32_t index;
};
extern std::vector<Advice> advised;
extern std::vector<std::pair<uint16_t, int16_t>> unadvised;
// Called by each advise, when set.
extern std::function<void()> onAdvise;
extern PT_ADVISE_CALLBACK callback;
extern int findCalls;
// What the tag manager answers when asked whether the link to the HMI runtime is lost.
extern bool linkLost;
// A raw buffer the next message read copies (without a final NUL), when set.
extern std::vector<char> rawMessage;
// The connections made whole so far, the milliseconds since the runtime was last heard, and the
// library's last reason for a lost link with its number.
extern uint32_t generation;
extern int64_t msSinceHeard;
extern uint32_t faultNumber;
extern QString faultText;

}  // namespace FakeTags
