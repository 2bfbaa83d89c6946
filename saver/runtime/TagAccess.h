// Typed access to the HMI tag-manager library PTSERV32.dll: loading it, names to handles,
// reading and writing values and messages, notifications, and the conversions of its time
// record and status words. No other code calls the library.
#pragma once
#include <QString>
#include <cstdint>
#include <optional>

#include "common/Settings.h"
#include "platform/ptserv32/ptserv32.h"

// The nine functions of the library.
struct TagLibraryApi {
    decltype(&::RegisterTag) RegisterTag = nullptr;
    decltype(&::FindTag) FindTag = nullptr;
    decltype(&::GetTagValue) GetTagValue = nullptr;
    decltype(&::GetTagMessage) GetTagMessage = nullptr;
    decltype(&::SetTagValue) SetTagValue = nullptr;
    decltype(&::SetTagMessage) SetTagMessage = nullptr;
    decltype(&::SetAdviseCallback) SetAdviseCallback = nullptr;
    decltype(&::TagAdvise) TagAdvise = nullptr;
    decltype(&::TagUnadvise) TagUnadvise = nullptr;
    // Taken when the library has them.
    decltype(&::PtSetWaitHook) SetWaitHook = nullptr;
    decltype(&::PtIsLinkLost) IsLinkLost = nullptr;
    decltype(&::PtLinkGeneration) LinkGeneration = nullptr;
    decltype(&::PtIsTagPresent) IsTagPresent = nullptr;
    decltype(&::PtTagFaultText) TagFaultText = nullptr;
    decltype(&::PtMsSinceHeard) MsSinceHeard = nullptr;
    decltype(&::PtLinkFault) LinkFault = nullptr;
};

namespace TagAccess {
// Loads the library file and takes its nine functions; false (with the reason) when the file
// cannot be loaded or lacks one of them.
bool LoadTagLibrary(const QString& path, QString* error = nullptr);
// Uses the given functions instead of a loaded file (tests).
void SetTagLibrary(const TagLibraryApi& api);
// Forgets the functions: every call fails as with a tag manager that is not there.
void ResetTagLibrary();
bool IsTagLibraryLoaded();
// What the window thread does while a call waits for the HMI runtime (see PtSetWaitHook).
void SetLinkWaitHook(PT_WAIT_HOOK hook);
// Whether the library found that the HMI runtime stopped answering.
bool IsLinkLost();
// Whether the library tells that its link to the HMI runtime is whole: connected, with every
// advise in force (false from a library that does not tell).
bool IsLinkWhole();
// How many connections to the HMI runtime the library has made whole (0 from a library that
// does not tell): when it moves, the runtime may have another tag list.
uint32_t LinkGeneration();
// Whether the runtime of the whole connection has the tag; nothing from a library that does not
// tell.
std::optional<bool> IsTagPresent(uint16_t handle);
// The text the runtime sent for a tag whose value could not be read; false when there is none.
bool TagFaultText(uint16_t handle, QString& text);
// Milliseconds since the library last heard the runtime; -1 before that, or when it does not tell.
int64_t MsSinceHeard();
// The number of the library's last reason for a lost link or a refused connection (0: none, or a
// library that does not tell), with its text.
uint32_t LinkFault(QString* text = nullptr);
}  // namespace TagAccess

uint16_t FindTagHandle(const QString& name);
uint16_t RegisterTagHandle(const QString& name);
// Registers the tag of a settings entry and keeps its handle in its ID; no name gives -1.
void ResolveTagID(xTag& tag);
// The outputs are written only when the read succeeds.
bool ReadTagValue(uint16_t handle, double& value, double& time, int16_t& status);
bool ReadTagMessage(uint16_t handle, QString& text, double& time, int16_t& status);
// time 0 means now; status is a keyword text (see ParseTagStatus).
bool WriteTagValue(uint16_t handle, double value, double time, const QString& status, int32_t client);
bool WriteTagMessage(uint16_t handle, const QString& text, double time, const QString& status,
                     int32_t client);
bool CallSetAdviseCallback(int32_t client, PT_ADVISE_CALLBACK callback);
int16_t CallTagAdvise(uint16_t handle, int32_t client, int32_t index);
bool CallTagUnadvise(uint16_t handle, int16_t adviseId);

QString FormatTagTime(const PT_TIME& time);
double TagTimeToDate(const PT_TIME& time);
void DateToTagTime(double date, PT_TIME& time);
// Status keywords ("ONLINE, HIALARM", ...) to status bits and mask; false for an unknown word or
// a group named twice (both then 0).
bool ParseTagStatus(const QString& text, uint16_t& status, uint16_t& mask);
