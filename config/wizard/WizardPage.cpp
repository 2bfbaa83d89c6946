#include "config/wizard/WizardPage.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

#include "common/DBConnect.h"
#include "common/HelpUtil.h"
#include "common/ProgramHooks.h"
#include "config/core/ConfigState.h"
#include "config/core/DBProbe.h"
#include "config/groupedit/frmFieldContent.h"
#include "config/wizard/frmDBSetup1.h"
#include "config/wizard/frmDBSetup2_File.h"
#include "config/wizard/frmDBSetup2_Oracle.h"
#include "config/wizard/frmDBSetup2_SQLServer.h"
#include "config/wizard/frmDBSetup3.h"
#include "config/wizard/frmOfflineDBSetup3.h"

namespace {

constexpr TextPair kCaptionNext{"Next", "下一步"};
constexpr TextPair kCaptionPrevious{"Previous", "上一步"};
constexpr TextPair kCaptionFinish{"Finish", "完成"};
constexpr TextPair kCaptionNote{"Note", "說明"};

constexpr TextPair kLimitTitle{"Error-Add a new data field", "新增存檔欄位失敗"};
constexpr TextPair kLimitFailed{"Failt to add a new data group!", "新增存檔欄位失敗!"};
constexpr TextPair kLimitHead{"A data group can have upto [", "一個存檔群組最多可以處理["};
constexpr TextPair kLimitTail{"] data fields. ", "]個存檔欄位"};

constexpr TextPair kDropTitle{"Database Wizard", "資料庫設定精靈"};
constexpr TextPair kDropUntagged{"These fields have no Tag and will not be saved: ",
                                 "下列欄位未設定 Tag，將不會存檔: "};
constexpr TextPair kDropGroup{"No field has a Tag, so the present fields of the data group will be removed: ",
                              "沒有任何欄位設定 Tag，存檔群組現有的欄位將被移除: "};
constexpr TextPair kDropAsk{"Finish anyway?", "是否仍要完成?"};

constexpr TextPair kConnectTitle{"Error-Connect Database", "資料庫連線失敗"};
constexpr TextPair kConnectFailed{"Fail to connect Database!", "資料庫連線失敗!"};

const SaveGroupRecord* g_target = nullptr;

QString Bracketed(const QStringList& names) {
    QStringList shown;
    for (const QString& n : names) shown << u'[' + n + u']';
    return shown.join(QStringLiteral(", "));
}

}  // namespace

QString NumberCell(int value, int least) {
    return value >= least ? QString::number(value) : QString();
}

int16_t CellNumber(const QString& cell) {
    bool ok = false;
    const short n = cell.trimmed().toShort(&ok);
    return ok ? n : int16_t{-1};
}

QList<FieldRow> ReadFieldRows(const QTreeWidget& list) {
    QList<FieldRow> rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* r = list.topLevelItem(i);
        rows.append({r->text(0), r->text(1), r->text(2), r->text(3), r->text(4), r->text(5), r->text(6)});
    }
    return rows;
}

QTreeWidgetItem* AddFieldRow(QTreeWidget& list, const FieldRow& row) {
    auto* item =
        new QTreeWidgetItem(&list, QStringList{row.FieldName, row.TagName, row.TagField, row.MessageLength,
                                               row.DecimalPlaces, row.DatetimeFormat, row.DataLength});
    return item;
}

void SetHeaders(QTreeWidget& list, std::initializer_list<TextPair> headers) {
    QStringList labels;
    for (const TextPair& h : headers) labels << Tx(h);
    list.setHeaderLabels(labels);
    // The last column takes the rest of the width.
    for (int c = 0; c + 1 < list.columnCount(); ++c) {
        list.resizeColumnToContents(c);
        list.setColumnWidth(c, std::max(list.columnWidth(c) + 16, 64));
    }
}

FieldRow ResultRow(const QString& tagName, const QString& tagType, int messageLength, int decimalPlaces,
                   const QString& datetimeFormat, int dataLength) {
    return {QString(),
            tagName,
            tagType,
            NumberCell(messageLength, 1),
            NumberCell(decimalPlaces, 0),
            datetimeFormat,
            NumberCell(dataLength, 1)};
}

void EditFieldRow(QTreeWidgetItem& row, const QString& tableName, bool csv) {
    const frmDBSetup1& page1 = FormObj<frmDBSetup1>();
    frmFieldContent& dlg = FormObj<frmFieldContent>();
    dlg.LoadFormObj(page1.mDBTypeName, tableName, row.text(0), row.text(1), row.text(2), csv,
                    page1.mbFixDataLength, CellNumber(row.text(6)), CellNumber(row.text(4)), row.text(5),
                    CellNumber(row.text(3)));
    if (dlg.mString != kResultOK) return;
    const FieldRow r = ResultRow(dlg.mTagName, dlg.mTagType, dlg.mMessageLength, dlg.mDecimalPlaces,
                                 dlg.mDatetimeFormat, dlg.mDataLength);
    const QStringList cells{r.TagName,       r.TagField,       r.MessageLength,
                            r.DecimalPlaces, r.DatetimeFormat, r.DataLength};
    for (int c = 1; c <= 6; ++c) row.setText(c, cells[c - 1]);
}

void ShowFieldLimit() {
    MsgLines({Tx(kLimitFailed), Tx(kLimitHead) + QString::number(kMaxFields) + Tx(kLimitTail)},
             MsgStyle::Critical | MsgStyle::OkOnly, Tx(kLimitTitle));
}

WizardFieldRecords& WizardFields() {
    static WizardFieldRecords records;
    return records;
}

void KeepFieldRows(const QList<FieldRow>& rows, bool all) {
    WizardFieldRecords& w = WizardFields();
    const int n = std::min(static_cast<int>(rows.size()), kMaxFields);
    for (int i = 1; i <= n; ++i) {
        const FieldRow& r = rows[i - 1];
        WizardField& f = w.aWizardFields[static_cast<size_t>(i)];
        f.FieldName = r.FieldName;
        f.TagName = r.TagName;
        f.TagField = r.TagField;
        if (all) {
            f.MessageLength = CellNumber(r.MessageLength);
            f.DecimalPlaces = CellNumber(r.DecimalPlaces);
            f.DatetimeFormat = r.DatetimeFormat;
        }
    }
    w.WizardFieldCount = static_cast<int16_t>(n);
}

void SetWizardTarget(const SaveGroupRecord* group) {
    g_target = group;
}

bool ConfirmDroppedFields(const QList<FieldRow>& rows) {
    if (!g_target) return true;
    QStringList untagged;
    bool tagged = false;
    for (const FieldRow& r : rows) {
        if (r.TagName.trimmed().isEmpty())
            untagged << r.FieldName;
        else
            tagged = true;
    }
    QStringList present;
    if (!tagged)
        for (int n = 1; n <= g_target->FieldCount && n <= kMaxFieldSlots; ++n)
            if (const auto& f = g_target->Fields[static_cast<size_t>(n)]) present << f->FieldName;
    if (untagged.isEmpty() && present.isEmpty()) return true;
    QStringList lines;
    if (!untagged.isEmpty()) lines << Tx(kDropUntagged) + Bracketed(untagged);
    if (!present.isEmpty()) lines << Tx(kDropGroup) + Bracketed(present);
    lines << Tx(kDropAsk);
    return MsgBox(lines.join(QStringLiteral("\r\n")),
                  MsgStyle::Question | MsgStyle::YesNo | MsgStyle::DefaultButton2,
                  Tx(kDropTitle)) == MsgAnswer::Yes;
}

WizardPage::WizardPage(QWidget* parent) : ConfigDialog(parent) {}

void WizardPage::BindPageButtons(QPushButton* next, QPushButton* previous, QPushButton* cancel,
                                 QPushButton* help, QPushButton* finish, bool lastPage) {
    next->setEnabled(!lastPage);
    next->setDefault(!lastPage);
    finish->setEnabled(lastPage);
    finish->setDefault(lastPage);
    connect(next, &QPushButton::clicked, this, &WizardPage::cmdNext_Click);
    connect(previous, &QPushButton::clicked, this, &WizardPage::cmdPrevious_Click);
    connect(cancel, &QPushButton::clicked, this, &WizardPage::cmdCancel_Click);
    connect(help, &QPushButton::clicked, this, &WizardPage::cmdHelp_Click);
    connect(finish, &QPushButton::clicked, this, &WizardPage::cmdFinish_Click);
}

void WizardPage::SetPageButtonCaptions() {
    ApplyCaptions(*this, {{"cmdNext", kCaptionNext},
                          {"cmdPrevious", kCaptionPrevious},
                          {"cmdCancel", kCaptionCancel},
                          {"cmdHelp", kCaptionHelp},
                          {"cmdFinish", kCaptionFinish},
                          {"Frame2", kCaptionNote}});
}

void WizardPage::SetFieldPageCaptions(QTreeWidget& list, bool online) {
    SetPageButtonCaptions();
    ApplyCaptions(*this,
                  {{"Frame1", {"Mapping of database fields and Hexvane Tags", "資料庫欄位與圖控 Tag 設定"}},
                   {"lblDsc1",
                    {"1. Please specify the source of the database fields.",
                     "1. 請指定資料庫欄位的儲存資料來源內容。"}},
                   {"lblDsc2",
                    {"2. Data source can be either Tag data or system time. If the source is from Tag data,",
                     "2. 資料來源內容有圖控 Tag 及系統日期時間兩種。若資料來源為圖控 Tag"}},
                   {"lblDsc3",
                    {"please note that Tag name cannot contain more than 8 characters and is case sensitive.",
                     "時，須注意 Tag 名稱有區分大小寫及長度為8字元的限制。"}}});
    SetHeaders(list, {{"Field Name", "欄位名稱"},
                      {"Tag Name", "Tag 名稱"},
                      {"Tag Field", "Tag 屬性"},
                      {"Message Length", "字串長度"},
                      {"DecimalPlaces", "小數位數"},
                      online ? TextPair{"Datetime format", "日期時間資料格式"}
                             : TextPair{"Datetime Format", "日期時間資料格式"},
                      online ? TextPair{"Data Length (for CSV)", "資料長度 (for CSV)"}
                             : TextPair{"Data Length", "資料長度 (for CSV)"}});
}

bool WizardPage::CheckFormObj() {
    mFocusObj = nullptr;
    return true;
}

WizardPage* WizardPage::ShowPage() {
    mNextPage = nullptr;
    exec();
    return mNextPage;
}

void WizardPage::cmdNext_Click() {
    if (!CheckFormObj()) {
        if (mFocusObj) mFocusObj->setFocus();
        return;
    }
    SaveFormObj();
    hide();
    mNextPage = LoadNextPage();
}

void WizardPage::cmdPrevious_Click() {
    mNextPage = PreviousPage();
    if (mNextPage) hide();
}

void WizardPage::cmdFinish_Click() {
    if (!CheckFormObj()) {
        if (mFocusObj) mFocusObj->setFocus();
        return;
    }
    if (!ConfirmFinish()) return;
    SaveFormObj();
    mString = kResultFinish;
    mNextPage = nullptr;
    hide();
}

void WizardPage::cmdCancel_Click() {
    mNextPage = nullptr;
    hide();
}

void WizardPage::cmdHelp_Click() {
    HelpUtil::ShowHelp(HelpTopic());
}

bool WizardConnectionPage::IsOffline() const {
    return offline_->isChecked();
}

void WizardConnectionPage::StartLoading() {
    mFocusObj = nullptr;
    Config().TableNameCount = 0;
    offline_->setChecked(false);
    SetPageButtonCaptions();
}

// The table page: off line the table name is typed, on line it is chosen from the listed tables.
WizardPage* WizardConnectionPage::LoadNextPage() {
    if (IsOffline()) {
        FormObj<frmOfflineDBSetup3>().LoadFormObj();
        return &FormObj<frmOfflineDBSetup3>();
    }
    FormObj<frmDBSetup3>().LoadFormObj();
    return &FormObj<frmDBSetup3>();
}

WizardPage* WizardConnectionPage::PreviousPage() {
    return &FormObj<frmDBSetup1>();
}

WizardConnectionPage* ConnectionPage(const QString& t) {
    if (t == QLatin1String("ACCESS") || t == QLatin1String("ACCESS2007"))
        return &FormObj<frmDBSetup2_Access>();
    if (IsSheetDBType(t)) return &FormObj<frmDBSetup2_Excel>();
    if (t == QLatin1String("SQLSERVER") || t == QLatin1String("MYSQL"))
        return &FormObj<frmDBSetup2_SQLServer>();
    if (t == QLatin1String("ORACLE")) return &FormObj<frmDBSetup2_Oracle>();
    return nullptr;
}

ado::Connection& WizardConnection() {
    ConfigState& cf = Config();
    if (!cf.WizardConnection) cf.WizardConnection = std::make_shared<ado::Connection>();
    return *cf.WizardConnection;
}

bool OpenAndListTables(const QString& typeName, const QString& filePath, const QString& serverName,
                       const QString& serviceName, const QString& databaseName, const QString& userName,
                       const QString& password, const ConnectionMessages& messages) {
    ConfigState& cf = Config();
    ado::Connection& conn = WizardConnection();
    const bool listed = OpenDBConnectionByType(typeName, filePath, serverName, serviceName, databaseName,
                                               userName, password, conn) &&
                        DBProbeUtil::ListDBTables(conn, typeName, cf.TableNameCount, cf.TableNames);
    const QString crlf = QStringLiteral("\r\n");
    if (!listed) {
        MsgLines({Tx(kConnectFailed), messages.connectCheck}, MsgStyle::Critical | MsgStyle::OkOnly,
                 Tx(kConnectTitle));
        return false;
    }
    if (cf.TableNameCount == 0) {
        MsgBox(messages.noTableLines.join(crlf), MsgStyle::Critical | MsgStyle::OkOnly,
               messages.noTableTitle);
        return false;
    }
    return true;
}
