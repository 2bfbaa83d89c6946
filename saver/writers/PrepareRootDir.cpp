// Dispersed database files: the folder and file of a record come from two tags.
#include <QVariant>

#include "common/DBConnect.h"
#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "common/Texts.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace {

const TextPair kOpenError{"Open database error!", "開啟資料庫失敗!"};
const TextPair kOpenErrorString{"Open database connectionstring: ", "資料庫連結字串:"};
const TextPair kOpenErrorCaption{"Open database error", "開啟資料庫失敗"};
const TextPair kTemplateItself{"The dispersed file would be the template database itself: ",
                               "分散檔案將會是範本資料庫本身: "};

// The connection string of the dispersed file P: the generic pieces with the Jet password, the
// data source (or, with an Excel driver, DBQ) naming P.
QString BuildConnectionString(xSvcSettings& s, const QString& P) {
    if (!s.dbDriver.toUpper().contains(QLatin1String("EXCEL"))) s.dbDataSource = P;
    return BuildDBConnectionString(P, s.dbProvider, s.dbDriver, P, s.dbInitialCatalog, s.dbUserID,
                                   s.dbPassword, s.dbPersistSecurityInfo, false, s.dbExtendedProperties);
}

}  // namespace

ado::Task<void> PrepareRootDir(int16_t groupIndex) {
    GroupWork work = co_await GroupWork::Take(groupIndex);
    co_await PrepareRootDir(work);
}

ado::Task<void> PrepareRootDir(GroupWork& work, QString* cause) {
    xSvcSettings& s = work.S();
    xRuntimeInfo& r = work.R();
    if (cause) cause->clear();

    const QString templateName = FileUtil::GetFileName(s.dbFullPath);
    const WriterUtil::DispersedPath path =
        WriterUtil::ResolveDispersedPath(s.dbSDirTag, s.dbSFileNameTag, s.dbSDataBaseRootDir, s.dbFullPath,
                                         templateName, r.ModuleName, QStringLiteral("dbSDB"));
    const QString& D = path.folder;
    QString P = path.full;

    // The open connection goes on while the target file is the same (an Excel one only with
    // keep-alive).
    const auto reused = [&] {
        return WriterUtil::IsOpen(r.conn) && r.LastdbSFullPath == P &&
               (!WriterUtil::IsExcelTarget(s) || s.dbSKeepConnectionAliveAfterSaveDataForExcel == 1);
    };
    if (reused()) co_return;

    // The configured database file is the template of every dispersed file, and never one of
    // them: a path that names it is refused like a bad name, and when the fallback names it too,
    // the record fails.
    QString failure;
    if (FileUtil::IsSameFile(P, s.dbFullPath)) {
        WriteLog(WriterUtil::BadFullPathLine(r.ModuleName, QStringLiteral("dbSDB"), P));
        P = s.dbSDataBaseRootDir + templateName;
        if (FileUtil::IsSameFile(P, s.dbFullPath))
            failure = Tx(kTemplateItself) + P;
        else if (reused())
            co_return;
    }

    if (!FileUtil::FolderExists(D)) FileUtil::MakeFullDir(D);
    // The template is copied through the database engine, which may hold it open for another
    // group meanwhile.
    if (failure.isEmpty() && !FileUtil::FileExists(P)) {
        failure = ado::CopyDatabaseFile(s.dbFullPath, P);
        if (failure.isEmpty()) {
            WriterUtil::ShowTargetPath(P);
            WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                     QStringLiteral(" | ") + QStringLiteral("DBFullPath") + QStringLiteral(" = ") + P);
        }
    }

    const QString connectionString = BuildConnectionString(s, P);
    // The boxes show the string with its password masked.
    const QString shown = ado::MaskPasswords(connectionString);
    if (State().DebugLevel > 0)
        MsgBox(QStringLiteral("準備開啟資料庫:\r\n資料庫連結字串:") + shown, MsgStyle::Information,
               QStringLiteral("準備開啟資料庫"));

    r.rs.reset();
    r.conn = std::make_shared<ado::Connection>();
    const std::shared_ptr<ado::Connection> conn = r.conn;
    bool failed = !failure.isEmpty();
    try {
        if (!failed) co_await conn->OpenAsync(connectionString);
    } catch (const ado::Error& e) {
        failed = true;
        failure = e.Description;
    }
    if (failed) {
        if (cause) *cause = failure;
        WriteLogLines({WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                           QStringLiteral(" | Prepare RootDir Fail!  "),
                       QStringLiteral("Error Description: ") + failure});
        if (State().DebugLevel > 0) {
            MsgBox(QStringLiteral("開啟資料庫失敗!\r\n資料庫連結字串:") + shown +
                       QStringLiteral("\r\n錯誤訊息:") + failure,
                   MsgStyle::Critical, QStringLiteral("開啟資料庫失敗"));
            sysExit(-1);
        }
        co_return;
    }

    auto& props = conn->GetProperties();
    for (const char* name : {"Jet OLEDB:Lock Retry", "Jet OLEDB:Lock Delay"}) {
        if (SettingUtil::IsInCollection(QString::fromLatin1(name), props, true))
            props.Find(QString::fromLatin1(name))->Value = QVariant::fromValue<qint16>(100);
    }

    if (conn->State() != ado::adStateOpen) {
        const int li = State().LanguageIndex;
        if (li == 0 || li == 1) {
            State().ErrorText =
                Tx(kOpenError) + QStringLiteral("\r\n") + Tx(kOpenErrorString) + conn->ConnectionString();
            State().ErrorCaption = Tx(kOpenErrorCaption);
        }
        if (cause) *cause = Tx(kOpenError) + u' ' + Tx(kOpenErrorString) + conn->ConnectionString();
        const QString line = WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                             QStringLiteral(" | Prepare RootDir Fail!  ") + State().ErrorText;
        // The message's own line break stands in the log; the connection string stays on its line.
        const qsizetype lineBreak = line.indexOf(QStringLiteral("\r\n"));
        if (lineBreak < 0)
            WriteLog(line);
        else
            WriteLogLines({line.left(lineBreak), line.mid(lineBreak + 2)});
        if (State().DebugLevel > 0) {
            MsgBox(line, MsgStyle::Critical, State().ErrorCaption);
            sysExit(-1);
        }
    }

    if (r.LastdbSFullPath.toUpper() != P.toUpper() && s.dbSCount2Zero) r.NumRecordsSaved = 0;
    r.LastdbSFilePath = D;
    r.LastdbSFileName = path.file;
    r.LastdbSFullPath = P;
}
