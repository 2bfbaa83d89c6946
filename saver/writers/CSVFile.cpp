// CSV files of a save group: opening or creating, the title check and numbered backups.
#include <QFile>
#include <QFileInfo>

#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "saver/writers/CSVText.h"
#include "saver/writers/WriterUtil.h"
#include "saver/writers/Writers.h"

namespace {

// An existing file with content; an empty file counts as a new one.
bool HasContent(const QString& path) {
    if (!FileUtil::FileExists(path)) return false;
    return QFileInfo(FileUtil::ResolvePath(path)).size() > 0;
}

QString BackupBase(const QString& path) {
    const QString name = FileUtil::GetFileName(path);
    const int dot = name.lastIndexOf(u'.');
    if (dot < 0) return path;
    return path.left(path.size() - (name.size() - dot - 1)) + QStringLiteral("bak");
}

// Moves the file to the first free "<name>.bakN" (N = 1 .. 99; the 99th is overwritten once
// all exist). The original is removed only after its copy is there.
void MoveToBackup(const QString& path) {
    const QString base = BackupBase(path);
    QString candidate;
    for (int n = 1; n <= 99; ++n) {
        candidate = base + QString::number(n);
        if (!FileUtil::FileExists(candidate)) break;
    }
    if (!FileUtil::CopyFileOverwrite(path, candidate, 10, false))
        throw Failure(75, QStringLiteral("The backup copy could not be made: ") + candidate);
    if (!FileUtil::DeleteFileWait(path, 10))
        throw Failure(75, QStringLiteral("The old file could not be removed: ") + path);
}

// A file found cut short: it begins with the whole title line when the group writes one, and
// its last line is whole, so that no part of a line is left standing.
bool CutFileIsWhole(const QString& path, const xSvcSettings& s, const QString& title) {
    const QByteArray head = (title + s.dbSCSVNewlineCharacter).toUtf8();
    const QByteArray end = s.dbSCSVNewlineCharacter.toUtf8();
    QFile f(FileUtil::ResolvePath(path));
    if (!f.open(QIODevice::ReadOnly)) throw Failure(53, QStringLiteral("File not found: ") + path);
    if (s.dbSCSVIsUseFieldTitle && f.read(head.size()) != head) return false;
    return f.size() >= end.size() && f.seek(f.size() - end.size()) && f.read(end.size()) == end;
}

// Whether an existing file is appended to as it is: with check flag 0 always, else when it passes
// the title check and, found cut short, is whole.
bool Appendable(int16_t groupIndex, const QString& path, int16_t checkFlag, const QString& title) {
    if (checkFlag == 0) return true;
    if (checkFlag == kCheckCutFile && !CutFileIsWhole(path, State().Group(groupIndex).S(), title))
        return false;
    return !CSVTitleLineDiffers(groupIndex, path);
}

// Creates the file (replacing), with the title line when the group asks for it.
std::shared_ptr<TextFileStream> CreateWithTitle(const QString& path, const xSvcSettings& s,
                                                const QString& title) {
    auto stream =
        std::make_shared<TextFileStream>(path, TextFileStream::Mode::Create, s.dbSCSVNewlineCharacter);
    if (s.dbSCSVIsUseFieldTitle) stream->Write(title + s.dbSCSVNewlineCharacter);
    return stream;
}

void FailureBoxes(const QString& description, const QString& path, const QString& title) {
    MsgBox(QStringLiteral("開啟CSV檔案失敗!\r\nCSV檔案路徑: ") + path + QStringLiteral("\r\n錯誤訊息:") +
               description + QStringLiteral("\r\n請檢查檔案是否已經被其他應用程式開啟。"),
           MsgStyle::Critical, title);
}

}  // namespace

bool CSVTitleLineDiffers(int16_t groupIndex, const QString& filePath) {
    SaveGroupRecord& g = State().Group(groupIndex);
    const QString first = FileUtil::ReadFirstLine(filePath);
    return CSVText::CountItems(first, g.S().dbSCSVDelimiterCharacter) != g.FieldCount;
}

void PrepareCSVDB(int16_t& groupIndex, int16_t checkFlag, int16_t /*unused*/) {
    SaveGroupRecord& g = State().Group(groupIndex);
    xSvcSettings& s = g.S();
    xRuntimeInfo& r = g.R();
    const QString P = s.dbCSVFullPath;
    try {
        const QString title = GetCSVTitleLine(groupIndex);
        if (!P.isEmpty()) {
            if (HasContent(P)) {
                if (r.CSVFSO) {
                    // the open stream stays in use
                } else if (Appendable(groupIndex, P, checkFlag, title)) {
                    r.CSVFSO = std::make_shared<TextFileStream>(P, TextFileStream::Mode::Append,
                                                                s.dbSCSVNewlineCharacter);
                } else {
                    r.CSVFSO.reset();
                    MoveToBackup(P);
                    r.CSVFSO = CreateWithTitle(P, s, title);
                }
            } else {
                const QString folder = FileUtil::GetParentFolderName(P);
                if (!folder.isEmpty() && !FileUtil::FolderExists(folder)) FileUtil::MakeFullDir(folder);
                r.CSVFSO = CreateWithTitle(P, s, title);
            }
        }
        WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                 QStringLiteral(" | Prepare CSVDB OK! CSV file path = ") + P);
    } catch (const Failure& e) {
        r.CSVFSO.reset();
        WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                 QStringLiteral(" | PrepareCSVDB Fail!  "));
        WriteLog(QStringLiteral("Error Description = ") + e.description);
        if (State().DebugLevel > 0) {
            MsgBox(e.description, MsgStyle::Critical, QStringLiteral("Prepare CSVDB"));
            FailureBoxes(e.description, P, QStringLiteral("開啟CSV資料檔案失敗 (Prepare CSVDB)"));
        }
    }
}

void PrepareCSVRootDir(int16_t groupIndex, int16_t checkFlag) {
    SaveGroupRecord& g = State().Group(groupIndex);
    xSvcSettings& s = g.S();
    xRuntimeInfo& r = g.R();

    const WriterUtil::DispersedPath path = WriterUtil::ResolveDispersedPath(
        s.dbSCSVDirTag, s.dbSCSVFileNameTag, s.dbSCSVDataBaseRootDir, s.dbCSVFullPath,
        s.SaveGroupName + QStringLiteral(".csv"), r.ModuleName, QStringLiteral("dbSCSVDB"));
    const QString& D = path.folder;
    const QString& P = path.full;

    if (s.dbSCSVKeepConnectionAliveAfterSaveData == 1 && P == r.LastdbSCSVFullPath && r.CSVFSO) return;

    try {
        if (!FileUtil::FolderExists(D)) FileUtil::MakeFullDir(D);
        const QString title = GetCSVTitleLine(groupIndex);
        bool created = false;
        if (HasContent(P)) {
            if (Appendable(groupIndex, P, checkFlag, title)) {
                r.CSVFSO = std::make_shared<TextFileStream>(P, TextFileStream::Mode::Append,
                                                            s.dbSCSVNewlineCharacter);
            } else {
                r.CSVFSO.reset();
                MoveToBackup(P);
                r.CSVFSO = CreateWithTitle(P, s, title);
                created = true;
            }
        } else {
            r.CSVFSO = CreateWithTitle(P, s, title);
            created = true;
        }
        if (created) {
            if (s.dbDBTypeName == QLatin1String("CSV")) WriterUtil::ShowTargetPath(P);
            WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                     QStringLiteral(" | ") + QStringLiteral("DBFullPath") + QStringLiteral(" = ") + P);
        }
        r.LastdbSCSVFilePath = D;
        r.LastdbSCSVFileName = path.file;
        r.LastdbSCSVFullPath = P;
        WriteLog(WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                 QStringLiteral(" | Prepare CSVRootDir OK! CSV file path = ") + P);
    } catch (const Failure& e) {
        r.CSVFSO.reset();
        WriteLogLines({WriterUtil::NowText() + QStringLiteral(" | Message | Ledgrix.") + r.ModuleName +
                           QStringLiteral(" | Prepare CSV RootDir Fail!  "),
                       QStringLiteral("Eoor Description: ") + e.description});
        if (State().DebugLevel > 0) {
            FailureBoxes(e.description, P, QStringLiteral("開啟CSV檔案失敗 (Prepare CSVDRootDir)"));
            sysExit(-1);
        }
    }
}
