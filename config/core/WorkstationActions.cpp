#include "config/core/WorkstationActions.h"

#include "common/Failure.h"
#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/SettingUtil.h"
#include "common/Settings.h"
#include "common/TextEncoding.h"
#include "config/core/OpenProject.h"

namespace WorkstationUtil {
namespace {

const QString kCRLF = QStringLiteral("\r\n");
const QString kAdd = QStringLiteral("新增工作站");
const QString kRename = QStringLiteral("更名工作站");
const QString kCopy = QStringLiteral("複製工作站");
const QString kDelete = QStringLiteral("刪除工作站");

QString SvlPath(const QString& project, const QString& workstation) {
    return SettingUtil::CfgFolder(project, workstation) + QStringLiteral("\\Ledgrix.svl");
}

QString DataFolder(const QString& project, const QString& workstation) {
    return QStringLiteral("..\\Project\\") + project + QStringLiteral("\\dat\\Ledgrix\\") + workstation;
}

// The error box of an action: title, the action's failure line, the lines of the case, the
// closing line.
bool Refuse(const QString& action, const QStringList& lines, const QString& title = QString()) {
    const QString text = action + QStringLiteral("失敗!") + kCRLF + lines.join(kCRLF) + kCRLF +
                         QStringLiteral("本動作無法執行!");
    MsgBox(text, MsgStyle::Critical | MsgStyle::OkOnly,
           title.isEmpty() ? QStringLiteral("Ledgrix 程式 - ") + action + QStringLiteral("失敗!") : title);
    return false;
}

QString ProjectLine(const QString& project) {
    return QStringLiteral("專案名稱: [") + project + u']';
}

// Names go into paths: refused before anything touches the disk.
bool NamesUsable(const QString& action, const QStringList& names, const QString& title = QString()) {
    for (const QString& name : names)
        if (!ProjectUtil::IsValidName(name))
            return Refuse(action, {ProjectUtil::InvalidNameLine(name, 1)}, title);
    return true;
}

// The preconditions every workstation action starts with: usable names and an existing project.
bool ProjectUsable(const QString& action, const QString& project, const QStringList& workstations,
                   const QString& title = QString()) {
    if (!NamesUsable(action, QStringList{project} + workstations, title)) return false;
    if (SettingUtil::ProjectExists(project)) return true;
    return Refuse(action, {QStringLiteral("找不到所指定的專案名稱[ ") + project + QStringLiteral("]。")},
                  title);
}

bool RefuseMissingWorkstation(const QString& action, const QString& project, const QString& workstation) {
    return Refuse(action, {QStringLiteral("找不到所指定的工作站名稱[") + workstation + QStringLiteral("]。"),
                           ProjectLine(project)});
}

bool Confirm(const QString& text, const QString& title) {
    return MsgBox(text, MsgStyle::Question | MsgStyle::OkCancel, QStringLiteral("Ledgrix 程式 - ") + title) ==
           MsgAnswer::Ok;
}

// The group files of a workstation file's text, by the reader's rule.
QStringList ListedFiles(const QString& svlText, const QString& project, const QString& workstation) {
    QStringList files;
    const int16_t svcDefault = SettingUtil::SvcDefaultPathValue(svlText);
    for (int i = 1; i <= kMaxSaveGroups; ++i) {
        const QString value = SettingUtil::GetSettingValue(
            QStringLiteral("ModuleList"), QStringLiteral("MODULE") + QString::number(i), QString(), svlText);
        if (value.isEmpty()) break;
        const QString file = SettingUtil::SplitModuleLine(value).file;
        if (!file.isEmpty()) files << SettingUtil::ModuleFilePath(file, svcDefault, project, workstation);
    }
    return files;
}

// Files that the running action could not write, each with why; reported when the action ends.
QStringList g_writeFailures;

// Whether one of them is there: a failed write leaves a file as it was, so it was there before.
bool g_failedFileExists = false;

void NoteWriteFailure(const QString& path, const QString& why) {
    g_writeFailures << u'[' + path + u']' + (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
    if (FileUtil::FileExists(path)) g_failedFileExists = true;
}

// One box for the files the action could not write (each was left as it was, or not made); false
// when there were any.
bool ReportWriteFailures(const QString& action) {
    if (g_writeFailures.isEmpty()) return true;
    QStringList lines;
    for (const QString& failure : std::as_const(g_writeFailures))
        lines << QStringLiteral("無法寫入檔案") + failure;
    if (g_failedFileExists) lines << QStringLiteral("原有檔案保持不變。");
    g_writeFailures.clear();
    g_failedFileExists = false;
    MsgBox(action + QStringLiteral("失敗!") + kCRLF + lines.join(kCRLF),
           MsgStyle::Critical | MsgStyle::OkOnly,
           QStringLiteral("Ledgrix 程式 - ") + action + QStringLiteral("失敗!"));
    return false;
}

// The positions in the text where `find` (any letter case) stands as a whole path component.
QList<qsizetype> PathMatches(const QString& text, const QString& find) {
    QList<qsizetype> matches;
    if (find.isEmpty()) return matches;
    for (qsizetype from = 0;;) {
        const qsizetype at = text.indexOf(find, from, Qt::CaseInsensitive);
        if (at < 0) break;
        const qsizetype end = at + find.size();
        if (end == text.size() || text[end] == u'\\' || text[end] == u'/' || text[end] == u'\r' ||
            text[end] == u'\n')
            matches << at;
        from = end;
    }
    return matches;
}

// The files an action will rewrite, each of which must be able to hold the new cfg folder path in
// its own encoding (a Big5 file cannot hold every name): those that cannot are noted before
// anything is changed. False when there are any.
bool CanTakeNewPath(const QStringList& files, const QString& find, const QString& replacement) {
    for (const QString& file : files) {
        QByteArray bytes;
        QString why;
        if (FileUtil::FileExists(file) && FileUtil::ReadFileBytes(file, bytes) &&
            !ReplacePathBytes(bytes, find, replacement, &why))
            NoteWriteFailure(file, why);
    }
    return g_writeFailures.isEmpty();
}

bool IsInside(const QString& path, const QString& folder) {
    return FileUtil::ResolvePath(path).startsWith(FileUtil::ResolvePath(folder) + u'/');
}

}  // namespace

bool PamAddProject(const QString&) {
    return true;
}

bool PamRenameProject(const QString&, const QString&) {
    return true;
}

bool PamDeleteProject(const QString&) {
    return true;
}

bool AddWorkstation(const QString& project, const QString& workstation) {
    if (!ProjectUsable(kAdd, project, {workstation})) return false;
    if (!SettingUtil::ProjectCfgExists(project, workstation))
        return RefuseMissingWorkstation(kAdd, project, workstation);
    g_writeFailures.clear();
    const QString svl = SvlPath(project, workstation);
    bool ok = true;
    QString why;
    // An existing file is replaced in one step: a failure leaves it whole.
    if (!SettingUtil::SvlExists(project, workstation))
        ok = SettingUtil::CreateEmptySvl(project, workstation, false, &why);
    else if (Confirm(QStringLiteral("基本設定檔[") + svl + QStringLiteral("]已存在! ") + kCRLF +
                         QStringLiteral("是否覆蓋此基本設定檔?"),
                     kAdd))
        ok = SettingUtil::CreateEmptySvl(project, workstation, true, &why);
    if (!ok) NoteWriteFailure(svl, why);
    // The data folder is made also when the existing file is kept.
    const QString data = DataFolder(project, workstation);
    if (!FileUtil::FolderExists(data)) FileUtil::MakeFullDir(data);
    return ReportWriteFailures(kAdd) && ok && FileUtil::FolderExists(data);
}

bool RenameWorkstation(const QString& project, const QString& oldName, const QString& newName) {
    const QString errorTitle = QStringLiteral("Ledgrix 程式 -更名工作站失敗!");
    if (!ProjectUsable(kRename, project, {oldName, newName}, errorTitle)) return false;
    if (!SettingUtil::ProjectCfgExists(project, oldName))
        return Refuse(kRename,
                      {QStringLiteral("找不到所指定的舊工作站名稱[") + oldName + QStringLiteral("]。"),
                       ProjectLine(project)});
    if (SettingUtil::ProjectCfgExists(project, newName))
        return Refuse(kRename,
                      {QStringLiteral("所指定的新工作站名稱[") + newName + QStringLiteral("]已存在。"),
                       ProjectLine(project)});
    g_writeFailures.clear();
    const QString oldCfg = SettingUtil::CfgFolder(project, oldName),
                  newCfg = SettingUtil::CfgFolder(project, newName);
    if (!CanTakeNewPath({SvlPath(project, oldName)}, oldCfg, newCfg)) return ReportWriteFailures(kRename);
    bool ok = ReplaceInFileIfExists(SvlPath(project, oldName), oldCfg, newCfg);
    const QString oldData = DataFolder(project, oldName), newData = DataFolder(project, newName);
    if (!FileUtil::FolderExists(newData)) FileUtil::MakeFullDir(newData);
    if (FileUtil::FolderExists(oldData)) {
        // The old folder goes only once its copy is complete.
        ok = FileUtil::CopyFolderTo(oldData, newData, 10) && FileUtil::DeleteFolderAndWait(oldData, 10) && ok;
    }
    return ReportWriteFailures(kRename) && ok;
}

bool CopyWorkstation(const QString& project, const QString& oldName, const QString& newName) {
    if (!ProjectUsable(kCopy, project, {oldName, newName})) return false;
    if (!SettingUtil::ProjectCfgExists(project, oldName))
        return RefuseMissingWorkstation(kCopy, project, oldName);
    const QString oldCfg = SettingUtil::CfgFolder(project, oldName),
                  newCfg = SettingUtil::CfgFolder(project, newName);
    if (FileUtil::IsSamePath(oldCfg, newCfg))
        return Refuse(kCopy, {QStringLiteral("來源工作站與目的工作站相同[") + newName + QStringLiteral("]。"),
                              ProjectLine(project)});
    if (SettingUtil::ProjectCfgExists(project, newName) &&
        !Confirm(QStringLiteral("工作站名稱[") + newName + QStringLiteral("]已存在! ") + kCRLF +
                     QStringLiteral("是否覆蓋此工作站?"),
                 kCopy))
        return false;
    // A workstation without a workstation file has nothing to copy.
    if (!SettingUtil::SvlExists(project, oldName)) return true;
    g_writeFailures.clear();
    if (!CanTakeNewPath(QStringList{SvlPath(project, oldName)} + ModuleListFiles(project, oldName), oldCfg,
                        newCfg))
        return ReportWriteFailures(kCopy);
    // Each copy is written once, with the new folder's paths: the source workstation's files stay
    // as they are, and no copy ever names them.
    const bool ok = CopyWorkstationFiles(project, oldName, project, newName, oldCfg, newCfg);
    return ReportWriteFailures(kCopy) && ok;
}

bool DeleteWorkstation(const QString& project, const QString& workstation) {
    if (!ProjectUsable(kDelete, project, {workstation})) return false;
    if (!SettingUtil::ProjectCfgExists(project, workstation))
        return RefuseMissingWorkstation(kDelete, project, workstation);
    const bool filesGone = DeleteWorkstationFiles(project, workstation);
    return DeleteWorkstationDataFolder(project, workstation, false) && filesGone;
}

QStringList ModuleListFiles(const QString& project, const QString& workstation) {
    return ListedFiles(FileUtil::ReadTextFile(SvlPath(project, workstation)), project, workstation);
}

bool CopyWorkstationFiles(const QString& sourceProject, const QString& sourceWorkstation,
                          const QString& targetProject, const QString& targetWorkstation, const QString& find,
                          const QString& replacement) {
    if (!SettingUtil::SvlExists(sourceProject, sourceWorkstation)) return false;
    const QStringList files = ModuleListFiles(sourceProject, sourceWorkstation);
    const QString targetCfg = SettingUtil::CfgFolder(targetProject, targetWorkstation);
    // Each copy replaces its target whole with its final bytes, or leaves it as it was.
    const auto copy = [&](const QString& from, const QString& to) {
        QString why;
        QByteArray bytes;
        if (FileUtil::ReadFileBytes(from, bytes, &why)) {
            if (const auto rewritten = ReplacePathBytes(bytes, find, replacement, &why))
                if (FileUtil::CopyFileWithBytes(from, to, *rewritten, &why)) return true;
        }
        NoteWriteFailure(to, why);
        return false;
    };
    // The group files first, the workstation file that names them last, and only when every group
    // file is there: a copy cut short never leaves a workstation file naming groups it lacks.
    bool ok = true;
    for (const QString& file : files)
        if (FileUtil::FileExists(file))
            ok = copy(file, targetCfg + u'\\' + FileUtil::GetFileName(file)) && ok;
    return ok && copy(SvlPath(sourceProject, sourceWorkstation), SvlPath(targetProject, targetWorkstation));
}

bool DeleteWorkstationFiles(const QString& project, const QString& workstation) {
    if (!SettingUtil::SvlExists(project, workstation)) return true;
    const QStringList files = ModuleListFiles(project, workstation);
    bool ok = FileUtil::DeleteFileIfExists(SvlPath(project, workstation));
    // A listed file outside the workstation's own folder may belong to another workstation.
    const QString cfg = SettingUtil::CfgFolder(project, workstation);
    for (const QString& file : files)
        if (FileUtil::FileExists(file) && IsInside(file, cfg)) ok = FileUtil::DeleteFileIfExists(file) && ok;
    return ok;
}

bool DeleteWorkstationDataFolder(const QString& project, const QString& workstation, bool noAsk) {
    const QString data = DataFolder(project, workstation);
    if (!FileUtil::FolderExists(data)) return true;
    if (!noAsk && !Confirm(QStringLiteral("是否一併刪除資料目錄夾[") + data + QStringLiteral("]?"), kDelete))
        return true;
    return FileUtil::DeleteFolderIfExists(data);
}

std::optional<QByteArray> ReplacePathBytes(const QByteArray& bytes, const QString& find,
                                           const QString& replacement, QString* why) {
    const TextEncoding::Encoding encoding = TextEncoding::Detect(bytes);
    std::vector<qsizetype> starts;
    const QString text = TextEncoding::Decode(bytes, encoding, &starts);
    const QList<qsizetype> matches = PathMatches(text, find);
    if (matches.isEmpty()) return bytes;
    QByteArray upper;
    if (!TextEncoding::Encode(replacement.toUpper(), encoding, upper, why)) return std::nullopt;
    QByteArray out;
    qsizetype from = 0;
    for (const qsizetype at : matches) {
        const qsizetype begin = starts[static_cast<size_t>(at)];
        out += bytes.mid(from, begin - from) + upper;
        from = starts[static_cast<size_t>(at + find.size())];
    }
    return out + bytes.mid(from);
}

bool ReplaceInFile(const QString& file, const QString& find, const QString& replacement) {
    if (!FileUtil::FileExists(file)) return false;
    QByteArray bytes;
    QString why;
    if (FileUtil::ReadFileBytes(file, bytes, &why)) {
        if (const auto replaced = ReplacePathBytes(bytes, find, replacement, &why)) {
            if (*replaced == bytes) return true;
            try {
                FileUtil::ReplaceFileBytes(*replaced, file);
                return true;
            } catch (const Failure& f) {
                why = f.description;
            }
        }
    }
    NoteWriteFailure(file, why);
    return false;
}

bool ReplaceInFileIfExists(const QString& file, const QString& find, const QString& replacement) {
    return !FileUtil::FileExists(file) || ReplaceInFile(file, find, replacement);
}

}  // namespace WorkstationUtil
