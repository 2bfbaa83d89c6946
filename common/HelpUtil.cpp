#include "common/HelpUtil.h"

#include <QDesktopServices>
#include <QMetaObject>
#include <QObject>
#include <QUrl>
#include <algorithm>

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/Texts.h"

namespace HelpUtil {
namespace {

constexpr int kHelpIDCount = 57;

// Dialog names of the HMI system's configuration program, in the order of the help file's topics.
const char* const kHelpIDs[kHelpIDCount] = {
    "frmHmiMain",         "frmNewProj",        "frmProjProperty",  "frmNewWks",          "frmWksProperty",
    "frmTagList",         "frmTagEdit",        "frmTagImport",     "frmTagExport",       "frmTagGroup",
    "frmAnalogTag",       "frmDigitalTag",     "frmStringTag",     "frmCalcTag",         "frmAlarmConfig",
    "frmAlarmGroup",      "frmAlarmSummary",   "frmEventLog",      "frmTrendConfig",     "frmTrendPen",
    "frmHistoryConfig",   "frmReportConfig",   "frmRecipeConfig",  "frmRecipeEdit",      "frmUserAccount",
    "frmUserGroup",       "frmPassword",       "frmSecurityLevel", "frmDriverList",      "frmDriverConfig",
    "frmDeviceConfig",    "frmPortConfig",     "frmScanRate",      "frmNetworkNode",     "frmRedundancy",
    "frmScriptEdit",      "frmScriptFind",     "frmGraphicList",   "frmGraphicProperty", "frmOpenProj",
    "frmSaveProjAs",      "frmBackupProj",     "frmRestoreProj",   "frmCompileProj",     "frmRuntimeOption",
    "frmStartupConfig",   "frmPrinterSetup",   "frmColorPalette",  "frmFontSetting",     "frmSymbolLibrary",
    "frmLanguageSetting", "frmTextTranslate",  "frmOptions",       "frmLicenseInfo",     "frmSystemInfo",
    "frmFindTag",         "frmCrossReference",
};

const TextPair kFileMissingHead{"Help file error!\r\nHelp file[", "說明檔錯誤!\r\n說明檔["};
const TextPair kFileMissingTail{"] is not exist!", "], 找不到。\r\n請檢查說明檔是否存在!"};
const TextPair kFileMissingCaption{"Help file error", "說明檔錯誤"};

}  // namespace

void InitHelpIDTable() {
    ProgramState& st = State();
    st.HelpIDTable.fill(QString());
    for (int i = 0; i < kHelpIDCount; ++i)
        st.HelpIDTable[static_cast<size_t>(i) + 1] = QString::fromLatin1(kHelpIDs[i]);
    st.HelpIDCount = kHelpIDCount;
}

void AddHelpIDs(const QStringList& formNames) {
    ProgramState& st = State();
    for (const QString& name : formNames) {
        if (FindHelpID(name) != 0 || st.HelpIDCount + 1 >= static_cast<int>(st.HelpIDTable.size())) continue;
        st.HelpIDCount = static_cast<int16_t>(st.HelpIDCount + 1);
        st.HelpIDTable[static_cast<size_t>(st.HelpIDCount)] = name;
    }
}

int16_t FindHelpID(const QString& formName) {
    const ProgramState& st = State();
    const QString wanted = formName.toUpper();
    const int count = std::min<int>(st.HelpIDCount, static_cast<int>(st.HelpIDTable.size()) - 1);
    for (int i = 1; i <= count; ++i)
        if (st.HelpIDTable[static_cast<size_t>(i)].toUpper() == wanted) return static_cast<int16_t>(i);
    return 0;
}

void ShowHelp(const QString& formName) {
    ProgramState& st = State();
    if (!FileUtil::FileExists(st.HelpFile)) {
        st.ErrorText = Tx(kFileMissingHead) + st.HelpFile + Tx(kFileMissingTail);
        st.ErrorCaption = Tx(kFileMissingCaption);
        MsgBox(st.ErrorText, MsgStyle::Critical, st.ErrorCaption);
        return;
    }
    if (FindHelpID(formName) == 0) {
        MsgBox(QStringLiteral("HelpID 找不到, 請重新定義 HelpID 的陣列!"), MsgStyle::Critical,
               QStringLiteral("找不到 Help"));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(FileUtil::ResolvePath(st.HelpFile)));
}

void ShowHelp(const QObject& form) {
    QString name = form.objectName();
    if (name.isEmpty()) {
        name = QString::fromLatin1(form.metaObject()->className());
        name = name.mid(name.lastIndexOf(u':') + 1);
    }
    ShowHelp(name);
}

}  // namespace HelpUtil
