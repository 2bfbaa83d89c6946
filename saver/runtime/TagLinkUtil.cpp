#include "saver/runtime/TagLinkUtil.h"

#include <utility>
#include <vector>

#include "common/DateUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/RuntimeFolderCheck.h"
#include "common/Texts.h"
#include "saver/SaverState.h"
#include "saver/runtime/SaverTexts.h"
#include "saver/runtime/TagAccess.h"
#include "saver/runtime/TagDataPoolUtil.h"
#include "saver/writers/RecordSql.h"

namespace {

const TextPair kUnreadable{" | Warning | Ledgrix.System | The tag %1 can not be read",
                           " | Warning | Ledgrix.System | 無法讀取 Tag %1"};
const TextPair kReceived{"; Hexvane sent [%1]", "; Hexvane 送來 [%1]"};
const TextPair kLeft{
    " | Warning | Ledgrix.System | The tag %1 is no longer in Hexvane; it reads as failed "
    "until it is back.",
    " | Warning | Ledgrix.System | Hexvane 中已沒有 Tag %1; 在它回來之前都讀取失敗。"};
const TextPair kBack{" | Message | Ledgrix.System | The tag %1 is in Hexvane again.",
                     " | Message | Ledgrix.System | Tag %1 已回到 Hexvane。"};
const TextPair kFullStop{".", "。"};

QString Now() {
    return DateUtil::Format(DateUtil::Now(), QStringLiteral("yyyy/MM/dd HH:mm:ss AMPM"));
}

bool IsHandle(uint16_t h) {
    return h >= 1 && h < PT_NO_TAG;
}

// Every tag the saver holds a handle of, once: the tag data bank's, the fields' and the CSV
// folder and file-name tags.
std::vector<std::pair<uint16_t, QString>> HeldTags() {
    std::vector<std::pair<uint16_t, QString>> tags;
    const auto add = [&tags](uint16_t h, const QString& name) {
        if (!IsHandle(h)) return;
        for (const auto& t : tags)
            if (t.first == h) return;
        tags.emplace_back(h, name);
    };
    for (int32_t i = 1; i <= Saver().TagDataBankCount; ++i)
        if (const tagDataBank* e = TagBankEntry(i)) add(e->xTagID, e->xTagName);
    ProgramState& st = State();
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        SaveGroupRecord& grp = st.Group(g);
        for (int j = 1; j <= grp.FieldCount; ++j) {
            const xField& f = grp.F(j);
            if (!f.TagName.isEmpty() && RecordSql::KindOf(f) != RecordSql::FieldKind::RecordTime)
                add(static_cast<uint16_t>(f.TagID), f.TagName);
        }
        for (const xTag* t : {&grp.S().dbSCSVDirTag, &grp.S().dbSCSVFileNameTag})
            if (t->IsDefined()) add(t->Handle(), t->Name);
    }
    return tags;
}

}  // namespace

ReadFault NoteTagRead(bool ok, uint16_t handle, const QString& name) {
    SaverState& sv = Saver();
    if (ok) {
        sv.TagsFaulted.erase(handle);
        return ReadFault::None;
    }
    if (!TagAccess::IsLinkWhole()) return ReadFault::Link;
    // A tag that the runtime lacks is named when the connection is found new.
    if (sv.TagsAbsent.count(handle) || TagAccess::IsTagPresent(handle) == false) return ReadFault::Tag;
    if (!sv.TagsFaulted.insert(handle).second) return ReadFault::Tag;
    QString line = Now() + Tx(kUnreadable).arg(name);
    QString received;
    if (TagAccess::TagFaultText(handle, received)) line += Tx(kReceived).arg(received);
    WriteLog(line + Tx(kFullStop));
    return ReadFault::Tag;
}

void CheckTagsPresent() {
    SaverState& sv = Saver();
    for (const auto& [handle, name] : HeldTags()) {
        const std::optional<bool> present = TagAccess::IsTagPresent(handle);
        if (!present) return;  // a library that does not tell
        if (!*present && sv.TagsAbsent.insert(handle).second) {
            WriteLog(Now() + Tx(kLeft).arg(name));
        } else if (*present && sv.TagsAbsent.erase(handle)) {
            WriteLog(Now() + Tx(kBack).arg(name));
        }
    }
}

void DescribeLinkFault() {
    QString why;
    const uint32_t number = TagAccess::LinkFault(&why);
    if (number == 0 || number == Saver().LinkFaultSeen) return;
    Saver().LinkFaultSeen = number;
    WriteLog(QStringLiteral("Error Description = ") + why);
}

void ReportLinkFault() {
    const uint32_t number = TagAccess::LinkFault();
    if (number == 0 || number == Saver().LinkFaultSeen) return;
    const RuntimeFolderState folder = CheckRuntimeFolder(LedgrixRuntimeFolderPath());
    if (folder.Usable()) {
        WriteLog(Now() + Tx(kLinkLost));
    } else {
        // A connection refused for the folder names it again.
        Saver().RuntimeFolderNamed = false;
        NameUnusableRuntimeFolder(folder);
    }
    DescribeLinkFault();
}

bool NameUnusableRuntimeFolder(const RuntimeFolderState& folder) {
    SaverState& sv = Saver();
    if (folder.Usable()) {
        sv.RuntimeFolderNamed = false;
        return true;
    }
    if (!sv.RuntimeFolderNamed) {
        sv.RuntimeFolderNamed = true;
        WriteLog(Now() + QStringLiteral(" | Error | Ledgrix.System | ") + RuntimeFolderFaultText(folder) +
                 Tx(kFullStop));
    }
    return false;
}
