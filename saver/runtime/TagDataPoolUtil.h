// The tag data bank: one entry per tag with a control or status role (the three system tags and
// the role tags of each save group). An entry's 1-based position is the index the tag manager
// hands back with each change and the index by which status tags are written.
#pragma once
#include <QString>
#include <QVariant>
#include <cstdint>

struct xTag;

struct tagDataBank {
    QVariant Value;              // not used
    int32_t DataType = 0;        // never set
    uint16_t xTagID = 65535;     // tag handle
    QString xTagName;            // the bank's key (case counts)
    QString xTagMsg;             // not used
    double xTagDateTime = 0;     // time of the last change taken from the queue
    int16_t xUnadviseTagID = 0;  // result of TagAdvise
    QString ActionLists;         // role items "g,KIND=role", one per line, CR LF between
};

constexpr int32_t kTagDataBankSize = 63335;

// Entry i (1 to TagDataBankCount); null outside that range.
tagDataBank* TagBankEntry(int32_t index);
// Empties the bank (start of a run, tests).
void ResetTagDataBank();

// Puts the tag into the bank with one more role item; its bank index, or 0 when the HMI system
// does not define the tag.
int32_t AddTagRole(xTag& tag, int16_t group, const QString& roleName);
// Builds the bank from the settings; every role tag's UserParm gets its bank index.
void PrepareTagDataBank();
// One warning (a box and a log line) listing the role tags and the field tags, with their group
// and field, that the HMI system does not define.
void CheckTagValue();
// Once more after a start-up that no runtime answered: the warning line on the tags that are
// still not defined.
void SayUndefinedTagsAgain();
// Installs the change callback and advises every bank entry.
void RegisterXTag();
// On a new connection: registers again each named tag without a handle (role tags, with their
// bank entry and roles, and field tags) and advises every bank entry with no advise in force.
void RegisterUndefinedTags();
bool SetTagAdviseCallback();
// Ends the notifications of every bank entry.
void UnadviseAllTags();
// Writes a value to the tag of bank entry i now.
void WriteStatusTag(int32_t index, double value);
