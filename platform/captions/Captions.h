// The window caption registry: which top-level window captions exist on this desktop.
// A window carrying a caption holds a shared lock on that caption's file in the runtime folder;
// several windows may carry the same caption. The lock dies with the process.
#pragma once
#include <QString>

#include "platform/captions/RuntimeFolder.h"

// Makes the runtime folder when it is missing (its parents as needed, the folder itself for the
// owner only), then checks it as CheckRuntimeFolder does.
RuntimeFolderState MakeRuntimeFolder();
// The runtime folder, made when missing; empty when it is not usable.
QString RuntimeFolder();

// The lock file that stands for a caption (any text: the name is an encoding of it); empty when
// the runtime folder is not usable.
QString CaptionLockPath(const QString& caption);

// True when some window, in this or another process, carries exactly this caption (never in a
// runtime folder that is not usable).
bool WindowCaptionExists(const QString& caption);

// The same test in the runtime folder as it is, never made: a folder that is not usable holds no
// caption, and `folder` tells what is wrong with it.
struct CaptionLookup {
    RuntimeFolderState folder;
    bool exists = false;
};
CaptionLookup LookUpCaption(const QString& caption);

// A window's hold on its caption; released by Release, by destruction or by the process ending.
class CaptionHold {
  public:
    CaptionHold() = default;
    explicit CaptionHold(const QString& caption) { Acquire(caption); }
    ~CaptionHold() { Release(); }
    CaptionHold(const CaptionHold&) = delete;
    CaptionHold& operator=(const CaptionHold&) = delete;

    // Takes the caption (giving up one held before); false when the lock file or the runtime
    // folder cannot be used, or the caption is empty.
    bool Acquire(const QString& caption);
    void Release();
    bool IsHeld() const { return fd_ >= 0; }
    QString Caption() const { return caption_; }

  private:
    int fd_ = -1;
    QString caption_;
};
