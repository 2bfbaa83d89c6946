// What the saver makes of its link to the HMI runtime beyond online and offline: a tag that
// cannot be read while the link is up, a tag that left the runtime or came back, and the
// library's reason for a lost link.
#pragma once
#include <QString>
#include <cstdint>

#include "platform/captions/RuntimeFolder.h"

// Whose fault a read of one tag was.
enum class ReadFault { None, Tag, Link };

// The outcome of a read of one tag. A read that fails while the library tells that the link is
// up is the tag's own fault: named once an episode in a warning line, with the text the runtime
// sent where the library has it (a tag known to have left the runtime has had its line); a read
// that succeeds ends the episode. Link: the library says the link is lost, or does not tell.
ReadFault NoteTagRead(bool ok, uint16_t handle, const QString& name);
// On a new connection: each tag the saver holds a handle of that the runtime lacks is named once
// in a warning line, and once again when a later connection has it.
void CheckTagsPresent();
// When the library gives a reason not yet logged for a lost link or a refused connection: the
// line "Error Description = " and the reason. For the line that follows the saver's own line on
// the lost link.
void DescribeLinkFault();
// The library's reason not yet logged, with its own failure line before it: the runtime folder's
// when the folder is not usable, else the lost link's.
void ReportLinkFault();
// A runtime folder that is not usable is named in an error line once an episode; true when it is
// usable.
bool NameUnusableRuntimeFolder(const RuntimeFolderState& folder);
