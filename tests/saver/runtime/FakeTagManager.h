// An in-process tag manager standing in for PTSERV32.dll in the runtime's unit tests.
#pragma once
#include <QString>
#include <cstdint>
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
extern PT_ADVISE_CALLBACK callback;
extern int findCalls;
// What the tag manager answers when asked whether the link to the HMI runtime is lost.
extern bool linkLost;
// A raw buffer the next message read copies (without a final NUL), when set.
extern std::vector<char> rawMessage;

}  // namespace FakeTags
