/* The HMI tag-manager library as the saver loads it: PTSERV32.dll in the program folder.
   C calling convention, UTF-8 text; handles and results are 16-bit; a result that is not zero
   means success. The library is a client of the running HMI runtime.
   A handle stands for its tag's name for the whole run: a runtime started again with another tag
   list has the same handle for the same name, and a handle whose name it lacks reads as failed.
   The link mends itself: once a connection has ended or could not be made, or the runtime did
   not answer, the library tries a new connection about once a second, whether or not the host
   calls meanwhile. Every advise the host made is kept under the advise ID that TagAdvise gave,
   valid for the whole run: a new connection makes each again whose tag its runtime has before the
   link counts as back, and the callback runs once for each advised tag whose value, status or
   message differs from the state its last callback delivered. TagUnadvise with that ID ends the
   advise also while the runtime cannot be told; once it returns, no callback of it runs. While
   the runtime does not answer, calls fail at once; while it is merely absent (no socket, or one
   nobody takes) a call of the host tries to connect itself, which costs little. */
#ifndef LEDGRIX_PTSERV32_H
#define LEDGRIX_PTSERV32_H
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* year, month, weekday (1 Sunday .. 7 Saturday), day, hour, minute, second, milliseconds */
typedef struct PT_TIME {
    uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} PT_TIME;

/* A message buffer holds 81 characters; in UTF-8 that is at most 324 bytes, plus a final NUL
   that the caller provides. GetTagMessage writes at most 81 characters (UTF-16 units, a pair
   never split) and a NUL after them: 243 bytes and the NUL at most. Texts are valid UTF-8: what
   the runtime sent that is not becomes U+FFFD. GetTagValue fails for a tag whose last value could
   not be read (see PtTagFaultText); its message still reads. */
#define PT_MESSAGE_CHARS 81
#define PT_MESSAGE_BUFFER_BYTES (PT_MESSAGE_CHARS * 4 + 1)
#define PT_NO_TAG 65535

/* Called with the tag handle and the bank index given to TagAdvise; may run on a thread of the
   library. */
typedef void (*PT_ADVISE_CALLBACK)(int32_t handle, int32_t index);

#if defined(__GNUC__)
#define PT_EXPORT __attribute__((visibility("default")))
#else
#define PT_EXPORT
#endif

PT_EXPORT uint16_t RegisterTag(const char* name);
PT_EXPORT uint16_t FindTag(const char* name);
PT_EXPORT int16_t GetTagValue(uint16_t handle, PT_TIME* time, uint16_t* status, double* value);
PT_EXPORT int16_t GetTagMessage(uint16_t handle, PT_TIME* time, uint16_t* status, char* text);
PT_EXPORT int16_t SetTagValue(uint16_t handle, const PT_TIME* time, uint16_t statusMask, uint16_t statusBits,
                              double* value, int32_t client);
PT_EXPORT int16_t SetTagMessage(uint16_t handle, const PT_TIME* time, uint16_t statusMask,
                                uint16_t statusBits, const char* text, int32_t client);
PT_EXPORT int16_t SetAdviseCallback(int32_t client, PT_ADVISE_CALLBACK callback);
PT_EXPORT int16_t TagAdvise(uint16_t handle, int32_t client, int32_t index);
PT_EXPORT int16_t TagUnadvise(uint16_t handle, int16_t adviseId);

/* Beyond the nine functions: exports a host may look up by name and do without.
   A call that waits for the runtime runs the host's wait hook on the waiting thread about every
   50 ms, with the milliseconds waited so far; a result that is not 0 gives the wait up, and the
   call fails as one the runtime did not answer. After a wait in which it ran, the hook is called
   once more with -1 (its result is not looked at). Calls of the library made inside the hook
   fail at once. NULL removes the hook. */
typedef int (*PT_WAIT_HOOK)(int32_t waitedMs);
PT_EXPORT void PtSetWaitHook(PT_WAIT_HOOK hook);
/* 1 from a failed attempt to reach the runtime (none runs, or the runtime did not answer a call,
   the snapshot or a check of the link) or the loss of the connection (it ended, or the runtime
   sent lines that cannot be read) until a new connection has its snapshot and every kept advise
   again; 0 before the first attempt and while connected. */
PT_EXPORT int16_t PtIsLinkLost(void);
/* How many connections have been made whole (snapshot taken, every kept advise in force again)
   since the library was loaded; 0 before the first. A host that sees it move knows that the
   runtime may now have another tag list. */
PT_EXPORT uint32_t PtLinkGeneration(void);
/* 1 when the runtime of the whole connection has the tag a handle stands for; 0 when it lacks it,
   the handle was never given, or no connection is whole. */
PT_EXPORT int16_t PtIsTagPresent(uint16_t handle);
/* For a tag whose last value from the runtime could not be read (not a finite number, or not a
   number at all): 1, with the text received in `text` (a buffer of PT_MESSAGE_BUFFER_BYTES, NUL
   ended, cut at a character); else 0 and `text` untouched. `text` may be NULL. */
PT_EXPORT int16_t PtTagFaultText(uint16_t handle, char* text);
/* Milliseconds since the last readable line from the runtime, on whichever connection it came;
   -1 before the first. */
PT_EXPORT int64_t PtMsSinceHeard(void);
/* Why the link was last lost or a connection to the runtime refused, in a few English words
   (a buffer of PT_MESSAGE_BUFFER_BYTES, NUL ended; `text` may be NULL), and a number that moves
   with each new reason given; 0 (and an empty text) while none was given. A refusal for the same
   reason again keeps its number. */
PT_EXPORT uint32_t PtLinkFault(char* text);

#ifdef __cplusplus
}
#endif
#endif
