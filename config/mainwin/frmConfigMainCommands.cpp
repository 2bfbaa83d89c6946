// The main window's commands on save groups and fields. They change the in-memory model, keep the
// tree in step and mark the project modified; only the deletion of a group saves at once.
#include <QTreeWidget>
#include <algorithm>

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigState.h"
#include "config/core/SaveGroupModel.h"
#include "config/core/SaveProject.h"
#include "config/forms/FormSupport.h"
#include "config/forms/NameRules.h"
#include "config/groupedit/frmFieldContent.h"
#include "config/groupedit/frmGroupConfig.h"
#include "config/mainwin/frmAddNewSaveGroup.h"
#include "config/mainwin/frmConfigMain.h"
#include "config/mainwin/frmRename.h"
#include "config/wizard/frmAddNewOfflineField.h"

namespace {

constexpr int kCritical = MsgStyle::Critical | MsgStyle::OkOnly;

constexpr TextPair kTooManyGroups{
    "Fail to Add a new data group!\r\nA project can have upto [%1] data groups.",
    "新增存檔群組失敗!\r\n一個專案最多可以處理[%1]個存檔群組。"};
constexpr TextPair kTooManyGroupsTitle{"Error - Add a new data group", "新增存檔群組失敗"};
constexpr TextPair kDeleteGroup{"Are you sure to delete this data group[%1]?", "是否刪除該存檔群組[%1]?"};
constexpr TextPair kDeleteGroupTitle{"Delete Data Group", "刪除存檔群組"};
constexpr TextPair kRenameGroupFailed{"Fail to rename a data group name!", "更名存檔群組失敗!"};
constexpr TextPair kGroupExists{"The new group name[%1] exists.", "存檔群組名稱[%1]已存在。"};
constexpr TextPair kSpecifyGroup{"Please specify the data group name.", "請重新輸入存檔群組名稱!"};
constexpr TextPair kRenameGroupTitle{"Error-Rename a data group name", "更名存檔群組失敗"};
constexpr TextPair kNoTable{
    "Fail to add a new data group!\r\nTable name is not defined for the data group [%1]\r\n"
    "Please specify the database table name!",
    "新增存檔欄位失敗!\r\n本存檔群組[%1]未設定資料表名稱。\r\n請設定資料表名稱!"};
constexpr TextPair kNoTableTitle{"Error-Add a new data group", "新增存檔欄位失敗"};
constexpr TextPair kTooManyFields{
    "Failt to add a new data group!\r\nA data group can have upto [%1] data fields. ",
    "新增存檔欄位失敗!\r\n一個存檔群組最多可以處理[%1]個存檔欄位"};
constexpr TextPair kAddFieldTitle{"Error-Add a new data field", "新增存檔欄位失敗"};
constexpr TextPair kAddFieldFailed{"Fail to add a new data field!", "新增存檔欄位失敗!"};
constexpr TextPair kFieldName{"The field name", "存檔欄位名稱"};
constexpr TextPair kFieldExists{"Data field name [%1] exists!", "存檔欄位名稱[%1]已存在。"};
constexpr TextPair kSpecifyField{"Please specify the data field name!", "請重新輸入存檔欄位名稱!"};

// The first field of the group with exactly this name; 0 when none.
int FieldIndex(SaveGroupRecord& g, const QString& name) {
    for (int k = 1; k <= std::min<int>(g.FieldCount, kMaxFieldSlots); ++k)
        if (g.F(k).FieldName == name) return k;
    return 0;
}

// The source and formats a field dialog answered with.
template <class Dialog>
void TakeFieldSource(const Dialog& dialog, xField& f) {
    f.TagName = dialog.mTagName;
    f.TagType = dialog.mTagType;
    f.TagDataLength = dialog.mDataLength;
    f.DecimalPlaces = dialog.mDecimalPlaces;
    f.DatetimeFormatString = dialog.mDatetimeFormat;
    f.TagMessageLength = dialog.mMessageLength;
}

void Modified() {
    Config().IsModified = -1;
}

}  // namespace

void frmConfigMain::AddNewSaveGroup() {
    ProgramState& st = State();
    if (st.SaveGroupCount >= kMaxSaveGroups) {
        st.ErrorText = Tx(kTooManyGroups).arg(kMaxSaveGroups);
        st.ErrorCaption = Tx(kTooManyGroupsTitle);
        MsgBox(st.ErrorText, kCritical, st.ErrorCaption);
        return;
    }
    frmAddNewSaveGroup& dialog = FormObj<frmAddNewSaveGroup>();
    dialog.LoadFormObj();
    if (dialog.mString != kResultOK) return;
    const QString name = SettingUtil::TrimSpaces(dialog.txtSaveGroupName->text());
    if (name.isEmpty()) return;

    st.SaveGroupCount = static_cast<int16_t>(st.SaveGroupCount + 1);
    SaveGroupRecord& g = st.Group(st.SaveGroupCount);
    g = SaveGroupRecord{};
    g.S().SaveGroupName = name;
    g.S().SvcFilePath = NameRules::NewGroupFilePath(name);
    // The workstation file lists the group by this name.
    g.R().ModuleName = name;
    mkSaveGroupNode(ProjectTag(st.ProjectName), name, QStringLiteral(","));
    FormObj<frmGroupConfig>().LoadFormObj(name, true);
    mkFieldNodes(name, GroupTag(name));
    Modified();
}

void frmConfigMain::EditSaveGroup() {
    const QString tag = SelectedTag();
    if (tag.isEmpty()) return;
    const QStringList items = TagItems(tag);
    if (items[0] == QLatin1String("SAVEGROUP")) {
        FormObj<frmGroupConfig>().LoadFormObj(items[1], false);
        // The editor may have added, deleted or renamed fields.
        mkFieldNodes(items[1], tag);
    } else if (QTreeWidgetItem* node = FindNode(tag)) {
        tvTreeView->setCurrentItem(node);
    }
}

void frmConfigMain::DeleteSaveGroup() {
    ProgramState& st = State();
    const QString tag = SelectedTag();
    const QStringList items = TagItems(tag);
    if (items[0] == QLatin1String("SAVEGROUP")) {
        const QString group = items[1];
        if (MsgBox(Tx(kDeleteGroup).arg(group), MsgStyle::Question | MsgStyle::YesNo,
                   Tx(kDeleteGroupTitle)) == MsgAnswer::Yes) {
            const int16_t i = SaveGroupUtil::GetSaveGroupIndex(group);
            if (i > 0) {
                st.Group(i).IsGroupDeleted = -1;
                st.SaveGroupCount = static_cast<int16_t>(st.SaveGroupCount - 1);
                // The file goes after the next complete save: until then the workstation file on
                // disk still lists it.
                Config().FilesOfRemovedGroups << st.Group(i).S().SvcFilePath;
            }
            delete FindNode(tag);
            st.SaveGroupCount = SaveGroupUtil::RemoveSaveGroup(st.SaveGroups);
            Modified();
        }
    }
    SettingWriter::SaveProject(true, false);
}

void frmConfigMain::RenameSaveGroup() {
    ProgramState& st = State();
    QTreeWidgetItem* node = tvTreeView->currentItem();
    if (!node) return;
    const QStringList items = SelectedItems();
    if (items[0] != QLatin1String("SAVEGROUP")) return;
    const QString old = items[1];

    frmRename& dialog = FormObj<frmRename>();
    ApplyCaptions(dialog, {{"frmRename", {"Rename a data group name", "更名存檔群組"}},
                           {"lblOldCaption", {"Old group name", "原存檔群組名稱"}},
                           {"lblNewCaption", {"New group name", "新存檔群組名稱"}},
                           {"cmdOK", kCaptionOK},
                           {"cmdCancel", kCaptionCancel}});
    dialog.lblOldName->setText(old);
    dialog.txtNewName->setText(old);
    dialog.LoadFormObj();
    if (dialog.mString != kResultOK) return;
    const QString name = SettingUtil::TrimSpaces(dialog.txtNewName->text());
    if (name == old) return;
    if (SaveGroupUtil::SaveGroupExists(name)) {
        MsgLines({Tx(kRenameGroupFailed), Tx(kGroupExists).arg(name), Tx(kSpecifyGroup)}, kCritical,
                 Tx(kRenameGroupTitle));
        return;
    }
    const int16_t i = SaveGroupUtil::GetSaveGroupIndex(old);
    if (i < 1) return;
    xSvcSettings& s = st.Group(i).S();
    const QString file = FileUtil::GetParentFolderName(s.SvcFilePath) + u'\\' + name + QStringLiteral(".svc");
    if (const int16_t owner = SaveGroupUtil::GroupUsingFile(file, i); owner > 0) {
        MsgLines({Tx(kRenameGroupFailed), NameRules::SharedFileLine(name, file, owner), Tx(kSpecifyGroup)},
                 kCritical, Tx(kRenameGroupTitle));
        return;
    }
    s.SaveGroupName = name;
    // The workstation file lists the group by its module name: it follows the name it carried.
    xRuntimeInfo& r = st.Group(i).R();
    if (r.ModuleName == old || SettingUtil::TrimSpaces(r.ModuleName).isEmpty()) r.ModuleName = name;
    RenameNode(node, name, GroupTag(name));
    // The file under the old name stays; the next save writes the group under the new one.
    s.SvcFilePath = file;
    for (int c = 0; c < node->childCount(); ++c) {
        QTreeWidgetItem* field = node->child(c);
        field->setData(0, Qt::UserRole, FieldTag(name, field->text(0)));
    }
    Modified();
}

void frmConfigMain::AddNewField() {
    ProgramState& st = State();
    const QStringList items = SelectedItems();
    const QString kind = items[0];
    if (kind != QLatin1String("SAVEGROUP") && kind != QLatin1String("FIELD")) return;
    const QString group = items[1];
    const int16_t i = SaveGroupUtil::GetSaveGroupIndex(group);
    if (i < 1) return;
    SaveGroupRecord& g = st.Group(i);
    const xSvcSettings& s = g.S();
    const QString table = s.dbTableName;
    const QString type = s.dbDBTypeName;
    if (!type.isEmpty() && type != QLatin1String("CSV") && table.isEmpty()) {
        MsgBox(Tx(kNoTable).arg(group), kCritical, Tx(kNoTableTitle));
        return;
    }
    if (g.FieldCount >= kMaxFields) {
        MsgBox(Tx(kTooManyFields).arg(kMaxFields), kCritical, Tx(kAddFieldTitle));
        return;
    }
    const bool csv = s.dbSIsSaveCSV || type == QLatin1String("CSV");
    frmAddNewOfflineField& dialog = FormObj<frmAddNewOfflineField>();
    dialog.LoadFormObj(true, csv, s.dbSCSVIsFixDataLength, type, group, QString(), QString(), QString(),
                       QString(), true);
    if (dialog.mString != kResultOK) return;
    // The name stands in the field's tag and settings line.
    const QString name = dialog.mFieldName;
    if (!NameRules::IsUsableName(name) || SaveGroupUtil::FieldNameTaken(g, name, type)) {
        const QString why = NameRules::IsUsableName(name) ? Tx(kFieldExists).arg(name)
                                                          : NameRules::UnusableNameLine(Tx(kFieldName), name);
        MsgLines({Tx(kAddFieldFailed), why, Tx(kSpecifyField)}, kCritical, Tx(kAddFieldTitle));
        return;
    }
    g.FieldCount = static_cast<int16_t>(g.FieldCount + 1);
    xField& f = g.F(g.FieldCount);
    f = xField{};
    f.FieldName = name;
    f.IsDeleted = false;
    TakeFieldSource(dialog, f);
    // The field's node, with the selection kept where it was.
    mkFieldNodes(group);
    Modified();
}

void frmConfigMain::EditField(const QString& groupName, const QString& fieldName) {
    const int16_t i = SaveGroupUtil::GetSaveGroupIndex(groupName);
    if (i < 1) return;
    SaveGroupRecord& g = State().Group(i);
    const int k = FieldIndex(g, fieldName);
    if (k == 0) return;
    const xSvcSettings& s = g.S();
    xField& f = g.F(k);
    frmFieldContent& dialog = FormObj<frmFieldContent>();
    dialog.LoadFormObj(s.dbDBTypeName, s.dbTableName, fieldName, f.TagName, f.TagType,
                       s.dbSIsSaveCSV || s.dbDBTypeName == QLatin1String("CSV"), s.dbSCSVIsFixDataLength,
                       f.TagDataLength, f.DecimalPlaces, f.DatetimeFormatString, f.TagMessageLength);
    if (dialog.mString != kResultOK) return;
    TakeFieldSource(dialog, f);
    Modified();
}

void frmConfigMain::DeleteField() {
    const QString tag = SelectedTag();
    const QStringList items = TagItems(tag);
    if (items[0] != QLatin1String("FIELD")) return;
    const QString group = items[1];
    const QString field = items[2];
    if (MsgBox(QStringLiteral("是否刪除該存檔欄位[") + field + QStringLiteral("]?"),
               MsgStyle::Question | MsgStyle::YesNo, QStringLiteral("刪除存檔欄位")) != MsgAnswer::Yes)
        return;
    const int16_t i = SaveGroupUtil::GetSaveGroupIndex(group);
    if (i < 1) return;
    SaveGroupRecord& g = State().Group(i);
    if (const int k = FieldIndex(g, field); k > 0) {
        g.F(k).IsDeleted = true;
        g.FieldCount = static_cast<int16_t>(g.FieldCount - 1);
        g.FieldCount = SaveGroupUtil::RemoveField(g.Fields);
        Modified();
    }
    // The group's node shows the fields it has now.
    mkFieldNodes(group);
}

void frmConfigMain::RenameField() {
    QTreeWidgetItem* node = tvTreeView->currentItem();
    const QStringList items = SelectedItems();
    if (!node || items[0] != QLatin1String("FIELD")) return;
    const QString group = items[1];
    const QString old = items[2];
    const int16_t i = SaveGroupUtil::GetSaveGroupIndex(group);
    if (i < 1) return;

    frmRenameField& dialog = FormObj<frmRenameField>();
    ApplyCaptions(dialog, {{"frmRenameField", {"Rename data field name", "更名存檔欄位"}},
                           {"lblOldCaption", {"Old field name", "原欄位名稱"}},
                           {"lblNewCaption", {"New field name", "新欄位名稱"}},
                           {"cmdOK", kCaptionOK},
                           {"cmdCancel", kCaptionCancel}});
    dialog.lblOldName->setText(old);
    // The dialog has refused a blank, unusable or taken name, and the old name leaves no result.
    dialog.LoadFormObj(group, i, old);
    if (dialog.mString != kResultOK) return;
    const QString name = SettingUtil::TrimSpaces(dialog.txtNewName->text());
    SaveGroupRecord& g = State().Group(i);
    const int k = FieldIndex(g, old);
    if (k == 0) return;
    g.F(k).FieldName = name;
    mkFieldNodes(group, FieldTag(group, name));
    Modified();
}
