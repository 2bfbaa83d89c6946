#include "config/core/ProjectTags.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "common/ADOUtil.h"
#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigState.h"
#include "config/core/ConfigWindows.h"

namespace TagListUtil {

namespace {

// The tag names of the workstation's tag database in name order, those of class "SYSTEM" only with
// `includeSystem`; nothing when there is no tag database or it cannot be read.
std::optional<QStringList> ReadTagNames(const QString& project, const QString& workstation,
                                        bool includeSystem) {
    const QString base = QStringLiteral("..\\Project\\") + project + u'\\' + workstation;
    QString path = base + QStringLiteral(".pam.mir");
    if (!FileUtil::FileExists(path)) path = base + QStringLiteral(".pam");
    if (!FileUtil::FileExists(path)) return std::nullopt;
    const auto conn = ADOUtil::OpenMLDBConn(path);
    if (!conn) return std::nullopt;
    QStringList names;
    try {
        ado::Recordset rs;
        rs.Open(QStringLiteral("SELECT * FROM [Tag] ORDER BY TagName"), *conn, ado::adOpenKeyset,
                ado::adLockPessimistic, -1);
        const auto rows = ADOUtil::CopyRecordset(&rs);
        if (!rows) return std::nullopt;
        for (rows->MoveFirst(); !rows->EOF_(); rows->MoveNext()) {
            const QString cls = SettingUtil::NullToEmpty(rows->Value(QStringLiteral("Class")));
            if (includeSystem || cls.toUpper() != QLatin1String("SYSTEM"))
                names << SettingUtil::NullToEmpty(rows->Value(QStringLiteral("TagName")));
        }
    } catch (const ado::Error& e) {
        if (State().DebugLevel != 0)
            MsgBox(QStringLiteral("列舉 Tag 名稱失敗!\r\n無法開啟資料庫連結[") + path +
                       QStringLiteral("]或資料表[TAG]。\r\n資料庫連結字串:") + conn->ConnectionString() +
                       QStringLiteral("\r\n錯誤代碼:") + QString::number(e.Number) +
                       QStringLiteral("\r\n錯誤說明:") + e.Description +
                       QStringLiteral("\r\n請檢查資料庫是否正確!"),
                   MsgStyle::Critical | MsgStyle::OkOnly, QStringLiteral("列舉Tag 名稱失敗"));
        return std::nullopt;
    }
    // Tag names are listed as the HMI system lists them, without regard to letter case.
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

}  // namespace

int16_t LoadProjectTagList(const QString& project, const QString& workstation, TagListBox& box,
                           bool includeSystem) {
    const auto names = ReadTagNames(project, workstation, includeSystem);
    if (!names) return 0;
    box.Clear();
    for (const QString& name : *names) box.AddItem(name);
    if (box.Count() > 0) box.SetCurrentIndex(0);
    return static_cast<int16_t>(names->size());
}

std::optional<QStringList> ProjectTagNames(const QString& project, const QString& workstation) {
    return ReadTagNames(project, workstation, true);
}

void RestoreProgramFolder() {
    const ConfigState& cf = Config();
    const QString folder = cf.SavedAppPath.isEmpty() ? cf.AppPath : cf.SavedAppPath;
    if (!folder.isEmpty()) QDir::setCurrent(folder);
}

QString ShowOpenFileDialog(const QString&, const QString& description, const QString& pattern) {
    for (;;) {
        const QString folder =
            FileUtil::ResolvePath(SettingUtil::DataFilePath(State().ProjectName, QString()));
        const auto chosen = Windows().OpenFile(folder, description, pattern);
        RestoreProgramFolder();
        if (!chosen) return QString();
        // A name typed for a file that does not exist opens the dialog again.
        if (FileUtil::FileExists(*chosen))
            return QFileInfo(FileUtil::ResolvePath(*chosen)).absoluteFilePath();
    }
}

}  // namespace TagListUtil
