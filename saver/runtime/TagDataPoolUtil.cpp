#include "saver/runtime/TagDataPoolUtil.h"

#include <QStringList>
#include <vector>

#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/Texts.h"
#include "saver/SaverState.h"
#include "saver/runtime/SaverWindow.h"
#include "saver/runtime/TagAccess.h"
#include "saver/runtime/xTagQueueUtil.h"
#include "saver/writers/RecordSql.h"
#include "saver/writers/WriterUtil.h"

namespace {

std::vector<tagDataBank> g_bank;  // position 0 is entry 1

const TextPair kUndefinedText{"Please define the tags.", "圖控系統中未定義下列Tag, 請再次確認！"};
const TextPair kUndefinedRoles{"Tags: ", ""};
const TextPair kUndefinedFields{"Field tags: ", "存檔欄位的Tag: "};
const TextPair kUndefinedField{"%1 (save group [%2], field [%3])", "%1 (存檔群組 [%2], 欄位 [%3])"};
const TextPair kUndefinedRole{"%1 (save group [%2], %3)", "%1 (存檔群組 [%2], %3)"};
const TextPair kUndefinedSystemRole{"%1 (%2)", "%1 (%2)"};
const TextPair kUndefinedTitle{"Warnning - Tags donot be defined", "警告 - Tag 在圖控中未定義"};

QString RoleKind(const xTag& tag) {
    const QString t = tag.DataType.toUpper();
    return (t == QLatin1String("MSG") || t == QLatin1String("MESSAGE")) ? QStringLiteral("MSG")
                                                                        : QStringLiteral("VALUE");
}

void AddRoleIfNamed(xTag& tag, int16_t group, const char* role) {
    if (tag.Name.isEmpty()) return;
    tag.UserParm = AddTagRole(tag, group, QLatin1String(role));
}

// The text of the warning on undefined tags; empty when every named tag is defined.
QString UndefinedTagsText() {
    ProgramState& st = State();
    QStringList missing;
    // Each tag is named with its role, a group's also with its group: one name may serve several.
    const auto undefined = [](const xTag& t) { return !t.IsDefined() && !t.Name.isEmpty(); };
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        xSvcSettings& s = st.Group(g).S();
        const std::pair<const xTag*, const char*> roles[] = {
            {&s.dbSEnableTag, "dbSEnableTag"},
            {&s.dbSTriggerTag, "dbSTriggerTag"},
            {&s.dbSNumRecordsSavedTag, "dbSNumRecordsSavedTag"},
            {&s.dbSPurgeTag, "dbSPurgeTag"},
            {&s.dbSDirTag, "dbSDirTag"},
            {&s.dbSFileNameTag, "dbSFileNameTag"},
            {&s.dbSCSVDirTag, "dbSCSVDirTag"},
            {&s.dbSCSVFileNameTag, "dbSCSVFileNameTag"}};
        for (const auto& [tag, role] : roles)
            if (undefined(*tag))
                missing << Tx(kUndefinedRole).arg(tag->Name, s.SaveGroupName, QLatin1String(role));
    }
    const std::pair<const xTag*, const char*> system[] = {{&st.StopTag, "dbSStopTag"},
                                                          {&st.AliveTag, "dbSAliveTag"},
                                                          {&st.DuringSavingTag, "dbSDuringSavingTag"}};
    for (const auto& [tag, role] : system)
        if (undefined(*tag)) missing << Tx(kUndefinedSystemRole).arg(tag->Name, QLatin1String(role));
    // Field tags too: a field whose tag is not defined records -1 in every record.
    QStringList fields;
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        SaveGroupRecord& grp = st.Group(g);
        for (int j = 1; j <= grp.FieldCount; ++j) {
            const xField& f = grp.F(j);
            if (f.TagName.isEmpty() || RecordSql::KindOf(f) == RecordSql::FieldKind::RecordTime) continue;
            if (static_cast<uint16_t>(f.TagID) == PT_NO_TAG)
                fields << Tx(kUndefinedField).arg(f.TagName, grp.S().SaveGroupName, f.FieldName);
        }
    }
    if (missing.isEmpty() && fields.isEmpty()) return {};
    QString text = Tx(kUndefinedText);
    if (!missing.isEmpty()) text += QStringLiteral("\r\n") + Tx(kUndefinedRoles) + missing.join(u',');
    if (!fields.isEmpty())
        text += QStringLiteral("\r\n") + Tx(kUndefinedFields) + fields.join(QStringLiteral(", "));
    return text;
}

// Advises every bank entry with a handle that can be advised and no advise in force (at start
// all of them; later those that were defined since, or whose advise the runtime refused).
void AdviseTags(bool debugBoxes) {
    const int32_t count = Saver().TagDataBankCount;
    for (int32_t i = 1; i <= count; ++i) {
        tagDataBank* e = TagBankEntry(i);
        if (!e || e->xTagID < 1 || e->xTagID > 32767 || e->xUnadviseTagID != 0) continue;
        if (debugBoxes && State().DebugLevel > 0)
            MsgBox(QStringLiteral("i=%1,myTagID=%2,myTagName=%3").arg(i).arg(e->xTagID).arg(e->xTagName),
                   MsgStyle::OkOnly, QStringLiteral("Ledgrix"));
        e->xUnadviseTagID = CallTagAdvise(e->xTagID, Window().ClientHandle(), i);
    }
}

}  // namespace

tagDataBank* TagBankEntry(int32_t index) {
    if (index < 1 || index > Saver().TagDataBankCount || index > static_cast<int32_t>(g_bank.size()))
        return nullptr;
    return &g_bank[static_cast<size_t>(index - 1)];
}

void ResetTagDataBank() {
    g_bank.clear();
    Saver().TagDataBankCount = 0;
}

int32_t AddTagRole(xTag& tag, int16_t group, const QString& roleName) {
    const QString item = QString::number(group) + u',' + RoleKind(tag) + u'=' + roleName;
    if (!tag.IsDefined()) return 0;
    for (size_t i = 0; i < g_bank.size(); ++i) {
        tagDataBank& e = g_bank[i];
        if (e.xTagName == tag.Name) {
            if (!e.ActionLists.isEmpty()) e.ActionLists += QLatin1String("\r\n");
            e.ActionLists += item;
            return static_cast<int32_t>(i + 1);
        }
    }
    if (static_cast<int32_t>(g_bank.size()) >= kTagDataBankSize) return 0;
    tagDataBank e;
    e.xTagName = tag.Name;
    e.xTagID = tag.Handle();
    e.ActionLists = item;
    g_bank.push_back(e);
    Saver().TagDataBankCount = static_cast<int32_t>(g_bank.size());
    return Saver().TagDataBankCount;
}

namespace {

// Each role tag of the workstation (group 0) and of its groups, with its group and role, in the
// bank's order.
template <typename Visit>
void ForEachRoleTag(Visit visit) {
    ProgramState& st = State();
    visit(st.AliveTag, 0, "dbSAliveTag");
    visit(st.DuringSavingTag, 0, "dbSDuringSavingTag");
    visit(st.StopTag, 0, "dbSStopTag");
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        xSvcSettings& s = st.Group(g).S();
        visit(s.dbSEnableTag, g, "dbSEnableTag");
        visit(s.dbSTriggerTag, g, "dbSTriggerTag");
        visit(s.dbSDirTag, g, "dbSDirTag");
        visit(s.dbSFileNameTag, g, "dbSFileNameTag");
        visit(s.dbSNumRecordsSavedTag, g, "dbSNumRecordsSavedTag");
        visit(s.dbSPurgeTag, g, "dbSPurgeTag");
    }
}

}  // namespace

void PrepareTagDataBank() {
    ForEachRoleTag([](xTag& tag, int16_t group, const char* role) { AddRoleIfNamed(tag, group, role); });
}

void CheckTagValue() {
    const QString text = UndefinedTagsText();
    if (text.isEmpty()) return;
    // Tags listed while no runtime answered are registered again once one does.
    Saver().TagsCheckedWithoutRuntime = !TagAccess::IsLinkWhole();
    WriteLog(WriterUtil::NowText() + QStringLiteral(" | Warning | Ledgrix.System | ") +
             QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
    MsgBox(text, MsgStyle::Information | MsgStyle::OkOnly, Tx(kUndefinedTitle));
}

void SayUndefinedTagsAgain() {
    if (!Saver().TagsCheckedWithoutRuntime) return;
    Saver().TagsCheckedWithoutRuntime = false;
    const QString text = UndefinedTagsText();
    if (!text.isEmpty())
        WriteLog(WriterUtil::NowText() + QStringLiteral(" | Warning | Ledgrix.System | ") +
                 QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
}

bool SetTagAdviseCallback() {
    return CallSetAdviseCallback(Window().ClientHandle(), &TagChangeCallback);
}

void RegisterXTag() {
    if (!SetTagAdviseCallback())
        MsgBox(QStringLiteral("SetAdvisecallback Error"), MsgStyle::OkOnly, QStringLiteral("Ledgrix"));
    const int32_t count = Saver().TagDataBankCount;
    if (State().DebugLevel > 0)
        MsgBox(QStringLiteral("aTagDataBank_l=") + QString::number(count), MsgStyle::OkOnly,
               QStringLiteral("Ledgrix"));
    AdviseTags(true);
}

void RegisterUndefinedTags() {
    ProgramState& st = State();
    const auto again = [](xTag& tag, int16_t group, const char* role) {
        if (tag.Name.isEmpty() || tag.IsDefined()) return;
        ResolveTagID(tag);
        if (role) AddRoleIfNamed(tag, group, role);
    };
    ForEachRoleTag(again);
    for (int16_t g = 1; g <= st.SaveGroupCount; ++g) {
        SaveGroupRecord& grp = st.Group(g);
        xSvcSettings& s = grp.S();
        again(s.dbSCSVDirTag, g, nullptr);
        again(s.dbSCSVFileNameTag, g, nullptr);
        for (int j = 1; j <= grp.FieldCount; ++j) {
            xField& f = grp.F(j);
            if (!f.TagName.isEmpty() && RecordSql::KindOf(f) != RecordSql::FieldKind::RecordTime &&
                static_cast<uint16_t>(f.TagID) == PT_NO_TAG)
                f.TagID = static_cast<int16_t>(FindTagHandle(f.TagName));
        }
    }
    AdviseTags(false);
}

void UnadviseAllTags() {
    for (int32_t i = 1; i <= Saver().TagDataBankCount; ++i) {
        tagDataBank* e = TagBankEntry(i);
        if (!e) continue;
        const uint16_t h = FindTagHandle(e->xTagName);
        if (h != PT_NO_TAG) CallTagUnadvise(h, e->xUnadviseTagID);
    }
}

void WriteStatusTag(int32_t index, double value) {
    tagDataBank* e = TagBankEntry(index);
    if (!e) return;
    if (e->xTagID == PT_NO_TAG) e->xTagID = FindTagHandle(e->xTagName);
    if (e->xTagID == PT_NO_TAG) return;
    WriteTagValue(e->xTagID, value, 0, QString(), Window().ClientHandle());
}
