#include "config/wizard/frmDBSetup2_File.h"

#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ProjectTags.h"
#include "config/wizard/frmDBSetup1.h"
#include "config/wizard/frmSelectDBFileName.h"

// The texts in which the database page and the workbook page differ.
struct FilePageTexts {
    TextPair title;
    TextPair frame3;
    TextPair label4;
    TextPair optUser;
    TextPair label1;
    TextPair offline;
    TextPair pathTitle;
    TextPair pathFailed;
    TextPair pathBlank;
    TextPair pathSpecify;
    TextPair connectCheck;  // the line after "Fail to connect Database!"
    TextPair listTitle;
    TextPair listFailed;
    TextPair listHead;
    TextPair listTail;
    TextPair listSpecify;
};

namespace {

const FilePageTexts kAccess{
    {"Database Wizard - Step 2 of 5 Settings of Access", "資料庫設定精靈 - 步驟 5 之 2  Access 內容設定"},
    {"Database location", "資料庫檔案位置"},
    {"Select File", "選擇檔案"},
    {"User Define", "使用者自訂路徑"},
    {"1. Please specify Access database path. Enter user name and password of the database",
     "1. 請指定 Access 資料庫檔案路徑，並輸入該資料庫的使用者名稱及密碼"},
    {"Offline Config", "離線規劃"},
    {"Error-Access Settings", "Access 內容設定錯誤"},
    {"Access Settings error!", "Access 內容設定錯誤!"},
    {"The database file path cannot be blank.", "資料庫檔案路徑不得為空白。"},
    {"Please specify the database file path!", "請重新輸入資料庫檔案路徑!"},
    {"Please make sure Access settings and Database is correct!",
     "請檢查Access設定內容正確或資料庫是否正確!"},
    {"Error-List tables", "列舉資料表失敗"},
    {"Fail to list tables!", "列舉資料表失敗!"},
    {"The database [", "該資料庫["},
    {"] contains no usable data table.", "]中並無可用的資料表。"},
    {"Please specify database name again!", "請重新設定資料庫名稱!"}};

const FilePageTexts kExcel{
    {"Database Wizard - Step 2 of 5 Settings of Excel", "資料庫設定精靈 - 步驟 5 之 2  Excel 內容設定"},
    {"Workbook location", "活頁簿檔案位置"},
    {"Select file", "選擇檔案"},
    {"User define", "使用者自訂路徑"},
    {"1. Please specify Excel database path. Enter user name and password of the database",
     "1. 請指定 Excel 活頁簿檔案路徑，並輸入該活頁簿的使用者名稱及密碼"},
    {"Offline config", "離線規劃"},
    {"Error-Excel Settings", "Excel 內容設定錯誤"},
    {"Excel Settings error!", "Excel 內容設定錯誤!"},
    {"The workbook file path cannot be blank.", "活頁簿檔案路徑不得為空白。"},
    {"Please specify the workbook file path!", "請重新輸入活頁簿檔案路徑!"},
    {"Please make sure Excel settings and workbook is correct!", "請檢查Excel設定內容正確或活頁簿是否正確!"},
    {"Error-List sheets", "列舉工作表失敗"},
    {"Fail to list sheets!", "列舉工作表失敗!"},
    {"The workbook [", "該活頁簿["},
    {"] contains no usable data sheet.", "]中並無可用的工作表。"},
    {"Please specify database name again!", "請重新設定活頁簿名稱!"}};

constexpr const char* kKeepAlive = "每次存檔動作結束後，本程式會關閉與資料庫的連結";

// A file of the project data folder, as the group keeps it.
QString DataFolderFile(const QString& name) {
    return SettingUtil::DataFilePath(State().ProjectName, name);
}

}  // namespace

frmDBSetup2_File::frmDBSetup2_File(bool workbook, QWidget* parent)
    : WizardConnectionPage(parent), texts_(workbook ? kExcel : kAccess), workbook_(workbook) {
    setupUi(this);
    setObjectName(workbook ? QStringLiteral("frmDBSetup2_Excel") : QStringLiteral("frmDBSetup2_Access"));
    chkKeepConnectionAliveAfterSaveDataForExcel->setVisible(workbook);
    BindConnectionPage(*this);
    connect(cmdSelectFile, &QPushButton::clicked, this, &frmDBSetup2_File::cmdSelectFile_Click);
    connect(cmdSelectFilePath, &QPushButton::clicked, this, &frmDBSetup2_File::cmdSelectFilePath_Click);
    connect(optDefaultFilePath, &QRadioButton::toggled, this, &frmDBSetup2_File::optDefaultFilePath_Click);
    connect(optUserFilePath, &QRadioButton::toggled, this, &frmDBSetup2_File::optUserFilePath_Click);
}

void frmDBSetup2_File::LoadFormObj() {
    const frmDBSetup1& page1 = FormObj<frmDBSetup1>();
    LoadFormObj(page1.mDBTypeName, page1.mDBTypeDsc, page1.mDBFilter);
}

void frmDBSetup2_File::LoadFormObj(const QString& tmpDBTypeName, const QString& tmpDBTypeDsc,
                                   const QString& tmpDBFilter) {
    StartLoading();
    mFilePath.clear();
    mUserName.clear();
    mPassword.clear();
    mDBTypeName = tmpDBTypeName;
    mDBTypeDsc = tmpDBTypeDsc;
    mDBFilter = tmpDBFilter;
    if (workbook_) mKeepConnectionAliveAfterSaveDataForExcel = 0;
    txtFilePath->setText(mFilePath);
    txtUserName->setText(mUserName);
    txtPassword->setText(mPassword);
    optDefaultFilePath->setChecked(true);
    lblFileName->clear();
    RefreshFormObj();
    ApplyCaptions(*this, {{"Frame3", texts_.frame3},
                          {"optDefaultFilePath",
                           {"Default（\\PROJECT\\ProjectName\\Dat\\Ledgrix\\）",
                            "預設路徑（\\PROJECT\\ProjectName\\Dat\\Ledgrix\\）"}},
                          {"Label4", texts_.label4},
                          {"cmdSelectFile", {"...", "..."}},
                          {"optUserFilePath", texts_.optUser},
                          {"cmdSelectFilePath", {"...", "..."}},
                          {"Label7",
                           {"Note: Please make sure that the path is accessible at runtime.",
                            "注意: 請確定執行時可以存取此路徑。"}},
                          {"Label1", texts_.label1},
                          {"Label2", {"if necessary.", "(如有需要)。"}},
                          {"Label3", {"User Name", "使用者名稱"}},
                          {"Label6", {"Password", "密碼"}},
                          {"chkOffLineConfigDB", texts_.offline},
                          {"chkKeepConnectionAliveAfterSaveDataForExcel", {kKeepAlive, kKeepAlive}}});
    setWindowTitle(Tx(texts_.title));
    if (workbook_)
        chkKeepConnectionAliveAfterSaveDataForExcel->setChecked(mKeepConnectionAliveAfterSaveDataForExcel !=
                                                                1);
}

void frmDBSetup2_File::RefreshFormObj() {
    const bool user = optUserFilePath->isChecked();
    txtFilePath->setEnabled(user);
    cmdSelectFilePath->setEnabled(user);
    cmdSelectFile->setEnabled(!user);
}

QString frmDBSetup2_File::ChosenPath() const {
    if (optUserFilePath->isChecked()) return txtFilePath->text();
    const QString name = lblFileName->text().trimmed();
    return name.isEmpty() ? QString() : DataFolderFile(name);
}

bool frmDBSetup2_File::CheckFormObj() {
    mFocusObj = nullptr;
    const QString type = FormObj<frmDBSetup1>().mDBTypeName;
    if (optUserFilePath->isChecked()) txtFilePath->setText(txtFilePath->text().trimmed());
    txtUserName->setText(txtUserName->text().trimmed());
    txtPassword->setText(txtPassword->text().trimmed());
    const QString path = ChosenPath();
    if (path.isEmpty()) {
        MsgLines({Tx(texts_.pathFailed), Tx(texts_.pathBlank), Tx(texts_.pathSpecify)},
                 MsgStyle::Critical | MsgStyle::OkOnly, Tx(texts_.pathTitle));
        return false;
    }
    const QString shown = txtFilePath->text();
    return IsOffline() ||
           OpenAndListTables(type, path, QString(), QString(), QString(), txtUserName->text(),
                             txtPassword->text(),
                             {Tx(texts_.connectCheck),
                              Tx(texts_.listTitle),
                              {Tx(texts_.listFailed), Tx(texts_.listHead) + shown + Tx(texts_.listTail),
                               Tx(texts_.listSpecify)}});
}

void frmDBSetup2_File::SaveFormObj() {
    mFileName = lblFileName->text().trimmed();
    mFilePath = txtFilePath->text().trimmed();
    mFullPath = optDefaultFilePath->isChecked() ? DataFolderFile(mFileName) : mFilePath;
    mUserName = txtUserName->text().trimmed();
    mPassword = txtPassword->text().trimmed();
    if (workbook_)
        mKeepConnectionAliveAfterSaveDataForExcel =
            chkKeepConnectionAliveAfterSaveDataForExcel->isChecked() ? 0 : 1;
}

void frmDBSetup2_File::cmdSelectFile_Click() {
    frmSelectDBFileName& picker = FormObj<frmSelectDBFileName>();
    picker.LoadFormObj(mDBTypeName, mDBFilter);
    if (picker.mString == kResultOK) lblFileName->setText(FileUtil::GetFileName(picker.mDBFilePath));
}

void frmDBSetup2_File::cmdSelectFilePath_Click() {
    txtFilePath->setText(TagListUtil::ShowOpenFileDialog(mDBTypeName, mDBTypeDsc, mDBFilter));
}
