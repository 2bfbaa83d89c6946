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

ado::Task<void> PrepareRootDir(GroupWork& work) {
    xSvcSettings& s = work.S();
    xRuntimeInfo& r = work.R();

    const WriterUtil::DispersedPath path = WriterUtil::ResolveDispersedPath(
        s.dbSDirTag, s.dbSFileNameTag, s.dbSDataBaseRootDir, s.dbFullPath,
        FileUtil::GetFileName(s.dbFullPath), r.ModuleName, QStringLiteral("dbSDB"));
    const QString& D = path.folder;
    const QString& P = path.full;

    if (WriterUtil::IsOpen(r.conn)) {
        if (!WriterUtil::IsExcelTarget(s)) {
            if (r.LastdbSFullPath == P) co_return;
        } else if (s.dbSKeepConnectionAliveAfterSaveDataForExcel == 1 && r.LastdbSFullPath == P) {
            co_return;
        }
    }

    if (!FileUtil::FolderExists(D)) FileUtil::MakeFullDir(D);
    // The configured database file is the template of every dispersed file. It is copied through
    // the database engine, which may hold it open for another group meanwhile.
    QString failure;
    if (!FileUtil::FileExists(P)) {
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
        WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                 QStringLiteral(" | Prepare RootDir Fail!  ") + QStringLiteral("\r\nError Description: ") +
                 failure);
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
        const QString line = WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                             QStringLiteral(" | Prepare RootDir Fail!  ") + State().ErrorText;
        WriteLog(line);
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
