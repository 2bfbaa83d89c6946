#include "saver/runtime/CheckSettings.h"

#include <algorithm>

#include "common/DateUtil.h"
#include "common/FileUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"
#include "platform/captions/Captions.h"
#include "saver/SaverState.h"
#include "saver/runtime/FieldValues.h"
#include "saver/runtime/LedgrixMain.h"
#include "saver/runtime/SaverWindow.h"
#include "saver/runtime/TagAccess.h"
#include "saver/writers/WriterUtil.h"

namespace {

const TextPair kGroupName{"Save Group Name: ", "存檔群組名稱: "};
const TextPair kSettingTitle{"Setting error", "設定錯誤"};
const TextPair kNoTarget{"Setting Error!\r\nPlease specify dbFilepath or dbDataSource.\r\n",
                         "設定錯誤!\r\n請指定 dbFilepath 或 dbDataSource。\r\n"};
const TextPair kNoFile{"Setting error!\r\ndbFilePath:", "設定錯誤!\r\ndbFilePath:"};
const TextPair kNoFile2{"\r\nSpecify file path is not exist!\r\n", "\r\n指定的檔案路徑不存在!\r\n"};
const TextPair kExcelPurgeLog{" | Purge function is not support in Excel!",
                              " | Excel 不支援刪除過期資料功能!"};
const TextPair kExcelPurge{"Now you select database is Excel, \r\nand it doesnot support purge function!\r\n",
                           "目前選擇的資料庫是 Excel, \r\n不支援刪除過期資料功能!\r\n"};
const TextPair kBatchLog{" | Cannot not use Batch saving!", " | 無法使用分散存檔!"};
const TextPair kBatch{"Can not use Batch saving.\r\n", "無法使用分散存檔。\r\n"};
const TextPair kRootLog{" | dbSDataBaseRootDir is Error!!", " | dbSDataBaseRootDir 錯誤!!"};
const TextPair kRoot{"Setting error!\r\ndbSDataBaseRootDir:", "設定錯誤!\r\ndbSDataBaseRootDir:"};
const TextPair kRoot2{"\r\nSpecify file path is not legal!\r\n", "\r\n指定的檔案路徑不合法!\r\n"};
const TextPair kPurgeLog{" | Purge Function is not support!", " | 不支援刪除過期資料功能!"};
const TextPair kPurge{"Purge function is not support!\r\n", "不支援刪除過期資料功能!\r\n"};
const TextPair kPurgeTitle{"Warnning -  Setting error", "警告 - 設定錯誤"};
const TextPair kRunningLog{" is running.", " 正在執行中。"};
const TextPair kRunning{"Setting file [", "設定檔 ["};
const TextPair kRunning2{"] is running!", "] 正在執行中!"};
const TextPair kRunningTitle{"The model is running", "設定檔正在執行中"};
const TextPair kBlankDelimiter{"dbSCSVDelimiterCharacter is blank: \",\" is used.",
                               "dbSCSVDelimiterCharacter 設定為空: 使用 \",\"。"};
const TextPair kBlankNewline{"dbSCSVNewlineCharacter is blank or unknown: CRLF is used.",
                             "dbSCSVNewlineCharacter 設定為空或無法辨識: 使用 CRLF。"};
const TextPair kCycleLong{"Setting error!\r\nSaveTimeInterval:", "設定錯誤!\r\nSaveTimeInterval:"};
const TextPair kCycleLong2{"\r\nThe cycle is too long to be scheduled!\r\n",
                           "\r\n存檔週期太長, 無法排程!\r\n"};
const TextPair kCycleLongLog{" is too long to be scheduled!", " 太長, 無法排程!"};
const TextPair kCycleNone{"\r\nThe cycle cannot be scheduled: the group saves on its trigger only.\r\n",
                          "\r\n存檔週期無法排程: 此群組只以觸發方式存檔。\r\n"};
const TextPair kCycleNoneLog{" cannot be scheduled: the group saves on its trigger only.",
                             " 無法排程: 此群組只以觸發方式存檔。"};
const TextPair kRecordsOnlyOnce{
    " | Group [%1] has neither a cycle (SaveTimeInterval=0) nor a trigger tag: it records only with /ONCE.",
    " | 群組 [%1] 沒有存檔週期 (SaveTimeInterval=0) 也沒有觸發 Tag: 只在 /ONCE 時存檔。"};

void Log(const QString& line) {
    Saver().LogLine = line;
    WriteLog(Saver().LogLine);
}

void Warn(const QString& text, const QString& title) {
    MsgBox(text, MsgStyle::Exclamation | MsgStyle::OkOnly, title);
}

// The cycle as the group file gives it: a cycle the schedule cannot hold (beyond the whole
// seconds it counts) ends the saver; one the reader left out (negative, or below a millisecond)
// is reported, and the group runs on its trigger only.
void CheckCycle(const xSvcSettings& s, const QString& moduleName, const QString& groupName) {
    const QString text = SettingUtil::GetSettingValue(
        QStringLiteral("Basic"), QStringLiteral("SaveTimeInterval"), QStringLiteral("0"), s.dbSettingString);
    const double cycle = Numbers::LeadingNumber(text);
    const QString logHead = WriterUtil::NowText() + QStringLiteral(" | Error | Ledgrix.") + moduleName +
                            QStringLiteral(" | SaveTimeInterval=") + text;
    if (cycle > 0 && !Numbers::ToInt32(cycle)) {
        Log(logHead + Tx(kCycleLongLog));
        LedgrixMain::Fatal(Tx(kCycleLong) + text + Tx(kCycleLong2) + groupName, Tx(kSettingTitle));
    }
    if (cycle != 0 && s.SaveTimeInterval == 0) {
        Log(logHead + Tx(kCycleNoneLog));
        Warn(Tx(kCycleLong) + text + Tx(kCycleNone) + groupName, Tx(kSettingTitle));
    }
}

// A group that writes CSV lines gets the default delimiter and line end in place of a blank one
// (or an unknown line-end text), with a warning: records run together are no file to read.
void CheckCsvSeparators(xSvcSettings& s, const QString& moduleName) {
    if (s.dbDBTypeName != QLatin1String("CSV") && !s.dbSIsSaveCSV) return;
    const QString head =
        WriterUtil::NowText() + QStringLiteral(" | Warning | Ledgrix.") + moduleName + QStringLiteral(" | ");
    if (s.dbSCSVDelimiterCharacter.isEmpty()) {
        s.dbSCSVDelimiterCharacter = QStringLiteral(",");
        Log(head + Tx(kBlankDelimiter));
    }
    if (s.dbSCSVNewlineCharacter.isEmpty()) {
        s.dbSCSVNewlineCharacter = QStringLiteral("\r\n");
        Log(head + Tx(kBlankNewline));
    }
}

void RemovePurgeTag(xSvcSettings& s) {
    s.dbSPurgeTag.Name.clear();
    s.dbSPurgeTag.ID = -1;
}

}  // namespace

void CheckSaveGroupSettings() {
    ProgramState& st = State();
    SettingUtil::LoadSaveGroupSettings();
    for (int16_t i = 1; i <= st.SaveGroupCount; ++i) {
        SaveGroupRecord& grp = st.Group(i);
        xSvcSettings& s = grp.S();
        xRuntimeInfo& r = grp.R();
        const QString groupName = Tx(kGroupName) + s.SaveGroupName;

        CheckCycle(s, r.ModuleName, groupName);
        if (!(s.SaveTimeInterval > 0) && s.dbSTriggerTag.Name.isEmpty())
            Log(WriterUtil::NowText() + QStringLiteral(" | Warning | Ledgrix.") + r.ModuleName +
                Tx(kRecordsOnlyOnce).arg(r.ModuleName));
        CheckCsvSeparators(s, r.ModuleName);
        // The timer is always positive, whatever the fastest group's cycle rounds to.
        if (r.IsHighSpeedSaver && s.SaveTimeIntervalWithMilliSeconds.ToDouble() < st.TimerInterval)
            st.TimerInterval = std::max<int32_t>(
                1,
                static_cast<int32_t>(Numbers::RoundHalfEven(s.SaveTimeIntervalWithMilliSeconds.ToDouble())));

        for (xTag* t : {&s.dbSEnableTag, &s.dbSTriggerTag, &s.dbSNumRecordsSavedTag, &s.dbSDirTag,
                        &s.dbSFileNameTag, &s.dbSCSVDirTag, &s.dbSCSVFileNameTag, &s.dbSPurgeTag})
            ResolveTagID(*t);

        if (s.dbDBTypeName != QLatin1String("CSV") && s.dbDataSource.isEmpty()) {
            if (s.dbFullPath.isEmpty()) LedgrixMain::Fatal(Tx(kNoTarget) + groupName, Tx(kSettingTitle));
            if (FileUtil::FolderExists(s.dbFullPath) || FileUtil::FileExists(s.dbFullPath)) {
                if (!s.dbDriver.toUpper().contains(QLatin1String("EXCEL"))) s.dbDataSource = s.dbFullPath;
            } else {
                LedgrixMain::Fatal(Tx(kNoFile) + s.dbFullPath + Tx(kNoFile2) + groupName, Tx(kSettingTitle));
            }
        }

        for (int j = 1; j <= grp.FieldCount; ++j) {
            xField& f = grp.F(j);
            f.TagID = static_cast<int16_t>(FindTagHandle(f.TagName));
            DoEvents();
        }

        const QString logHead = WriterUtil::NowText() + QStringLiteral(" | Error | Ledgrix.") + r.ModuleName;
        if (s.dbSDataBaseRootDir.isEmpty()) {
            if (WriterUtil::IsExcelTarget(s) && !s.dbSPurgeTag.Name.isEmpty()) {
                RemovePurgeTag(s);
                s.dbSPurgeKeepDays = -1;
                Log(logHead + Tx(kExcelPurgeLog));
                Warn(Tx(kExcelPurge) + groupName, Tx(kSettingTitle));
            }
        } else {
            const QString provider = s.dbProvider.toUpper();
            if (provider.contains(QLatin1String("SQLOLEDB.1")) ||
                provider.contains(QLatin1String("MSDAORA.1"))) {
                Log(logHead + Tx(kBatchLog));
                LedgrixMain::Fatal(Tx(kBatch) + groupName, Tx(kSettingTitle));
            }
            if (!FileUtil::IsValidPath(s.dbSDataBaseRootDir)) {
                Log(WriterUtil::NowText() + QStringLiteral(" | Error | Ledgrixx.") + r.ModuleName +
                    Tx(kRootLog));
                LedgrixMain::Fatal(Tx(kRoot) + s.dbSDataBaseRootDir + Tx(kRoot2) + groupName,
                                   Tx(kSettingTitle));
            }
            s.dbSPurgeKeepDays = -1;
            if (!s.dbSPurgeTag.Name.isEmpty()) {
                RemovePurgeTag(s);
                Log(logHead + Tx(kPurgeLog));
                Warn(Tx(kPurge) + groupName, Tx(kPurgeTitle));
            }
        }
    }

    const QString caption = FormatNameWithTags(st.dbSCaption, st.WorkstationTaskName, QString());
    if (WindowCaptionExists(caption)) {
        Log(WriterUtil::NowText() + QStringLiteral(" | Error | Ledgrix.System | ") + caption +
            Tx(kRunningLog));
        const QString text = Tx(kRunning) + st.WorkstationTaskName + Tx(kRunning2);
        st.ErrorText = text;
        st.ErrorCaption = Tx(kRunningTitle);
        MsgBox(text, MsgStyle::Critical | MsgStyle::OkOnly, Tx(kRunningTitle));
        LedgrixMain::sysExit(0);
    }
    // Shown with its password masked; the group keeps its text for the lookups that follow.
    Window().ShowSettingsText(SettingUtil::MaskPasswordSettings(st.Group(1).S().dbSettingString));
}
