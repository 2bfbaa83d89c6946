#include "config/wizard/DBSetupWizard.h"

#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/wizard/frmDBSetup1.h"
#include "config/wizard/frmDBSetup2_File.h"
#include "config/wizard/frmDBSetup2_Oracle.h"
#include "config/wizard/frmDBSetup2_SQLServer.h"
#include "config/wizard/frmDBSetup3.h"
#include "config/wizard/frmDBSetup5.h"
#include "config/wizard/frmOfflineDBSetup3.h"
#include "config/wizard/frmOfflineDBSetup4.h"

namespace {

// The group that Finish asks about while the wizard runs.
struct TargetScope {
    explicit TargetScope(const SaveGroupRecord* group) { SetWizardTarget(group); }
    ~TargetScope() { SetWizardTarget(nullptr); }
    TargetScope(const TargetScope&) = delete;
    TargetScope& operator=(const TargetScope&) = delete;
};

// Shows the pages one after another from the first, each until it ends, until one names no
// page to follow (Finish, Cancel, or a type without a next page).
void RunPages(bool offline) {
    frmDBSetup1& first = FormObj<frmDBSetup1>();
    first.LoadFormObj(offline);
    for (WizardPage* page = &first; page;) page = page->ShowPage();
}

// True when the wizard ended on the off-line path (the CSV path included).
bool EndedOffline(const QString& t) {
    if (t == QLatin1String("CSV")) return true;
    const WizardConnectionPage* page = ConnectionPage(t);
    return page && page->IsOffline();
}

void ApplyTemplate(xSvcSettings& s, const QString& t) {
    ProgramState& st = State();
    for (int i = 1; i <= st.DBTypeCount && i <= kMaxDBTypes; ++i) {
        const xDBSettings& d = st.Template(i);
        if (d.DBTypeName.toUpper() != t) continue;
        s.dbDBTypeName = t;
        SettingUtil::TakeTemplateKeys(s, d);
        return;
    }
}

void ApplyFileUsage(xSvcSettings& s, const frmDBSetup1& p) {
    s.dbSDataBaseRootDir = p.mDataBaseRootDir;
    s.dbSDirTag.Name = p.mDirTagName;
    s.dbSDirTag.DataType = p.mDirTagType;
    s.dbSFileNameTag.Name = p.mFileNameTagName;
    s.dbSFileNameTag.DataType = p.mFileNameTagType;
    s.dbSIsSaveCSV = p.mbSaveCSV;
    // The CSV answers of an earlier run belong to another group: only a file-layout dialog
    // confirmed in this run changes the group's own.
    if (!p.mbCSVConfirmed) return;
    s.dbCSVFilePath = p.mCSVFilePath;
    s.dbSCSVDataBaseRootDir = p.mCSVDataBaseRootDir;
    s.dbSCSVDirTag.Name = p.mCSVDirTagName;
    s.dbSCSVDirTag.DataType = p.mCSVDirTagType;
    s.dbSCSVFileNameTag.Name = p.mCSVFileNameTagName;
    s.dbSCSVFileNameTag.DataType = p.mCSVFileNameTagType;
}

void ApplyConnection(xSvcSettings& s, const QString& t) {
    if (IsFileDBType(t)) {
        const frmDBSetup2_File& p = IsSheetDBType(t)
                                        ? static_cast<const frmDBSetup2_File&>(FormObj<frmDBSetup2_Excel>())
                                        : FormObj<frmDBSetup2_Access>();
        s.dbFilePath = p.mFullPath.trimmed();
        s.dbFileName = p.mFileName.trimmed();
        s.dbFullPath = p.mFullPath.trimmed();
        s.dbIsDefaultFilePath = 0;
        s.dbDataSource.clear();
        s.dbInitialCatalog.clear();
        s.dbUserID = p.mUserName.trimmed();
        s.dbPassword = p.mPassword.trimmed();
        if (IsSheetDBType(t))
            s.dbSKeepConnectionAliveAfterSaveDataForExcel = p.mKeepConnectionAliveAfterSaveDataForExcel;
        return;
    }
    if (!IsServerDBType(t)) return;
    // A server keeps no file: an old file of the group would be opened, and refused, by the saver.
    s.dbFilePath.clear();
    s.dbFileName.clear();
    s.dbFullPath.clear();
    s.dbIsDefaultFilePath = 0;
    if (t == QLatin1String("ORACLE")) {
        const frmDBSetup2_Oracle& p = FormObj<frmDBSetup2_Oracle>();
        s.dbDataSource = p.mServiceName.trimmed();
        s.dbInitialCatalog.clear();
        s.dbUserID = p.mUserName.trimmed();
        s.dbPassword = p.mPassword.trimmed();
    } else {
        const frmDBSetup2_SQLServer& p = FormObj<frmDBSetup2_SQLServer>();
        s.dbDataSource = p.mPCName.trimmed();
        s.dbInitialCatalog = p.mDataBaseName.trimmed();
        s.dbUserID = p.mUserName.trimmed();
        s.dbPassword = p.mPassword.trimmed();
    }
}

// The rows with a tag become the group's fields 1..n, at most 255.
void ApplyFields(SaveGroupRecord& group, const QList<FieldRow>& rows) {
    group.FieldCount = 0;
    for (const FieldRow& r : rows) {
        const QString tag = r.TagName.trimmed();
        if (tag.isEmpty()) continue;
        if (group.FieldCount >= kMaxFields) break;
        xField& f = group.F(++group.FieldCount);
        f.FieldName = r.FieldName;
        f.TagName = tag;
        f.TagType = r.TagField;
        f.TagMessageLength = CellNumber(r.MessageLength);
        f.DecimalPlaces = CellNumber(r.DecimalPlaces);
        f.DatetimeFormatString = r.DatetimeFormat.trimmed();
        f.TagDataLength = CellNumber(r.DataLength);
    }
}

}  // namespace

namespace DBSetupWizard {

void RunDBSetupWizard(bool tmpIsOfflineConfigDB) {
    const TargetScope none(nullptr);
    RunPages(tmpIsOfflineConfigDB);
}

void TakeConnectionAnswers(xSvcSettings& s, const QString& typeName) {
    ApplyTemplate(s, typeName);
    ApplyConnection(s, typeName);
}

}  // namespace DBSetupWizard

void ApplyDBSetupWizard(SaveGroupRecord& group) {
    WizardFields().WizardFieldCount = 0;
    frmDBSetup5& online = FormObj<frmDBSetup5>();
    frmOfflineDBSetup4& offline = FormObj<frmOfflineDBSetup4>();
    online.mString.clear();
    offline.mString.clear();
    {
        const TargetScope target(&group);
        RunPages(false);
    }
    const frmDBSetup1& page1 = FormObj<frmDBSetup1>();
    const QString t = page1.mDBTypeName;
    const bool endedOffline = EndedOffline(t);
    if ((endedOffline ? offline.mString : online.mString) != kResultFinish) return;

    xSvcSettings& s = group.S();
    DBSetupWizard::TakeConnectionAnswers(s, t);
    ApplyFileUsage(s, page1);
    if (endedOffline) {
        if (t != QLatin1String("CSV")) s.dbTableName = FormObj<frmOfflineDBSetup3>().mTableName;
        ApplyFields(group, ReadFieldRows(*offline.lvFields));
    } else {
        s.dbTableName = FormObj<frmDBSetup3>().mTableName.trimmed();
        ApplyFields(group, ReadFieldRows(*online.lvFields));
    }
    if ((s.dbSIsSaveCSV || s.dbDBTypeName == QLatin1String("CSV")) && page1.mbCSVConfirmed) {
        s.dbSCSVIsFixDataLength = page1.mbFixDataLength;
        s.dbSCSVIsUseFieldTitle = page1.mbUseFieldTitle;
        s.dbSCSVDelimiterCharacter = page1.mDelimiterCharacter;
        s.dbSCSVNewlineCharacter = page1.mNewlineCharacter;
        s.dbSCSVKeepConnectionAliveAfterSaveData = page1.mKeepConnectionAliveAfterSaveData;
    }
}
