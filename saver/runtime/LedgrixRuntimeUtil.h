// The runtime main procedure and the main loop: linking to the tag manager, preparing the save
// groups, the initial status tags, the first target times, and the passes that drain the tag
// queue, apply the live-alone rule and save the cyclic records that are due.
#pragma once
#include <QString>
#include <cstdint>

#include "common/DatetimeWithMilliSeconds.h"
#include "common/Numbers.h"

// Takes over once the settings are loaded and checked. Returns only in the timer form.
void RuntimeMain();
// One tick of the main window's timer (the timer form's pass).
void tmrLedgrix_Timer();
// Saves one record of the group stamped with its target time and marks the slot as saved.
void DoCyclicSave(int16_t& group);
// Closes the group's open connection and logs it.
void CloseDBConnection(int16_t& group);
// Shows the link to the tag manager as online or offline; offline may ask whether to quit.
void SetLinkState(bool online, bool ask);

// The due test of a cyclic group.
enum class Due { NotYet, Save, Skip };
// Seconds schedule: d whole seconds from the target to now; save when 0 <= d <= half a cycle.
Due SecondsDue(double now, double target, double interval);
// Millisecond schedule: the same on milliseconds with fixed-point halves.
Due MilliSecondsDue(const DatetimeWithMilliSeconds& now, const DatetimeWithMilliSeconds& target,
                    Numbers::Fixed4 intervalMs);

namespace LedgrixRuntime {
enum class PassForm { Loop, Timer };
// One pass of the main loop without the processing of window messages.
void Pass(PassForm form);
// Milliseconds until the earliest due target of the enabled cyclic groups (0 when one is due,
// -1 when no group is cyclic).
qint64 MillisecondsToNextTarget();
// The loop form: passes for ever, waiting between them for a window message, a tag change or
// the next target, whichever comes first.
[[noreturn]] void LoopForm();
// A span of whole seconds as the outage line reads it ("5 s", "1 min 15 s", "4 h 2 min 3 s").
QString SpanText(long long seconds);
// The caption of a saver that runs with this workstation settings file.
QString WorkstationCaption();
}  // namespace LedgrixRuntime
