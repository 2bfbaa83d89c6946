// Named mutexes with timed waits, owned per thread (a thread that owns one is not blocked by its
// own second wait). Handles are small non-zero numbers; 0 is no mutex.
#pragma once
#include <QString>
#include <cstdint>

namespace MutexUtil {

constexpr uint32_t WAIT_OBJECT_0 = 0;
constexpr uint32_t WAIT_ABANDONED = 128;
constexpr uint32_t WAIT_TIMEOUT = 258;
constexpr uint32_t WAIT_FAILED = 0xFFFFFFFFu;

using MutexHandle = intptr_t;

// Opens the mutex of that name, creating it when no handle to it is open.
MutexHandle CreateMutexA(const QString& name);
uint32_t WaitForSingleObject(MutexHandle handle, uint32_t timeoutMs);
bool ReleaseMutex(MutexHandle handle);
bool CloseHandle(MutexHandle handle);

// Waits for the mutex; true when owned. A failed wait reports itself in a message box, shown
// at once on the window thread and handed to the window thread from any other thread.
bool LockMutex(MutexHandle handle, uint32_t timeoutMs);

// The thread that may show message boxes (the thread that calls this).
void SetWindowThread();
bool OnWindowThread();
// Boxes that other threads left for the window thread: shows them (window thread only).
void ShowDeferredBoxes();
// Queues a box for the window thread (any thread).
void DeferBox(const QString& text, int style, const QString& title);

}  // namespace MutexUtil
