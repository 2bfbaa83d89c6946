// The tag-change queue: the tag manager's change callback appends one entry per change to a
// ring of 512 slots (511 usable) under the named mutex "xTagQueue"; the window thread drains it
// on every pass of the main loop.
#pragma once
#include <QVariant>
#include <cstdint>

struct xTag;

constexpr int16_t kQueueSlots = 512;

// The callback given to the tag manager: records the changed tag's handle, bank index and time.
// Runs on the library's thread; touches no window and shows nothing.
void TagChangeCallback(int32_t handle, int32_t index);

// Empties the ring and opens the mutex.
void InitxTagQueue();
void PutxTagQueue(const xTag& tag);
// Number of entries; an empty variant when the lock fails.
QVariant GetxTagQueueCount();
// Takes the oldest entry; false when the lock fails.
bool GetxTagQueue(xTag& tag);
// Takes entries until the ring is empty and hands each to ProcessTagChange. First ends the
// saver in order when the ring overflowed since the last drain.
void DrainxTagQueue();
// Closes the queue's mutex handle (orderly shutdown).
void ClosexTagQueueMutex();

namespace xTagQueueUtil {
// Called after every put, from the putting thread: wakes the window thread's wait.
void SetWakeUp(void (*wake)());
// A put found the ring full since the start (the window thread ends the saver at its next drain).
bool Overflowed();
// Shows what other threads reported and ends the saver after an overflow (window thread).
void HandleQueueFailures();
// Head and tail positions (tests).
int16_t Head();
int16_t Tail();
}  // namespace xTagQueueUtil
