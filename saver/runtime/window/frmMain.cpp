#include "saver/runtime/window/frmMain.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QUrl>
#include <QVBoxLayout>

#include "common/DateUtil.h"
#include "common/FileUtil.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "platform/captions/Captions.h"
#include "saver/SaverState.h"
#include "saver/runtime/FieldValues.h"
#include "saver/runtime/LedgrixMain.h"
#include "saver/runtime/LedgrixRuntimeUtil.h"
#include "saver/runtime/SaverTexts.h"
#include "saver/runtime/window/DrawnImages.h"
#include "saver/runtime/window/frmAbout.h"
#include "saver/runtime/window/frmDummy.h"
#include "saver/writers/Writers.h"

namespace {

constexpr TextPair kTabLog{"Log", "記錄"};
constexpr TextPair kTabTagView{"Tag view", "Tag 監視"};
constexpr TextPair kTabDatabase{"Database", "資料庫"};
constexpr const char* kTabSettings = "基本設定";
constexpr TextPair kLogFile{"Log file: ", "記錄檔案："};
constexpr TextPair kNextSaveTime{"Next saving time: ", "下次存檔時間："};
constexpr TextPair kNumRecSaved{"Number records of saved: ", "已存檔筆數："};
constexpr TextPair kStatus{"Status: ", "狀態："};
constexpr TextPair kSourceDB{"Source database file path:", "參照資料庫檔案路徑："};
constexpr TextPair kTargetDB{"Target database file path:", "目標資料庫檔案路徑："};
constexpr TextPair kSaveMode{"Trigger type: ", "存檔方式："};
constexpr TextPair kStartTime{"Start time: ", "啟動時間："};
constexpr TextPair kModuleName{"Module name: ", "存檔群組名稱："};
constexpr TextPair kNow{"Now: ", "現在時間："};
constexpr TextPair kNote1{"", "註：若參照資料庫路徑與目標資料庫路徑相同時, 此為連續性資料庫"};
constexpr TextPair kNote2{"", "　　若參照資料庫路徑與目標資料庫路徑不相同時, 此為分散資料檔"};
constexpr TextPair kOpenDB{"Open database...", "開啟資料庫..."};
constexpr TextPair kExit{"Exit", "結束"};
constexpr const char* kDBAppend = "強迫存檔";
constexpr TextPair kColItem{"Item", "控制項目"};
constexpr TextPair kColTagName{"Tag name", "Tag 名稱"};
constexpr TextPair kColStatus{"Status", "狀態"};
constexpr TextPair kColDescription{"Description", "動作說明"};
constexpr TextPair kMenuFile{"File(&F)", "檔案 (&F)"};
constexpr TextPair kMenuExit{"Exit", "結束系統"};
constexpr TextPair kMenuHelp{"Help(&H)", "說明 (&H)"};
constexpr TextPair kMenuAbout{"About Ledgrix...", "關於 Ledgrix ..."};

constexpr TextPair kNoCloseText{"The operator can not close the program.", "操作人員不能關閉本程式。"};
constexpr TextPair kNoCloseTitle{"Can not close the program", "無法關閉程式"};

constexpr TextPair kCyclicSaver{"Cyclic Saver（", "週期性存檔（"};
constexpr TextPair kCyclicSaverEnd{"seconds)", "秒)"};
constexpr TextPair kTriggerSaverMore{", Trigger Saver (Tag Name:", ", 事件觸發存檔 ("};
constexpr TextPair kTriggerSaverFirst{"Trigger Saver (Tag Name:", "事件觸發存檔 ("};
constexpr TextPair kTriggerSaverEnd{")", ") 方式"};
constexpr TextPair kSaveCSV{", Save another CSV file", ", 另存一份 CSV 檔案"};

const QString kNone = QStringLiteral("(None)");
const QString kServerPath = QStringLiteral("(無)");

frmMain* g_form = nullptr;

QString BlockCaption(int block, int languageIndex) {
    const int first = block * 8 + 1;
    const int last = first + 7;
    return languageIndex == 1 ? QStringLiteral("存檔群組 No.%1 - No.%2").arg(first).arg(last)
                              : QStringLiteral("Module no.%1 to no.%2").arg(first).arg(last);
}

bool ValidGroup(int g) {
    return g >= 1 && g <= kMaxSaveGroups;
}

}  // namespace

// ---- LogListBox ----

namespace {
class LogLineDelegate : public QStyledItemDelegate {
  public:
    explicit LogLineDelegate(LogListBox* list) : QStyledItemDelegate(list), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(list_->HorizontalExtent(), option.fontMetrics.height() + 2);
    }

  protected:
    // Only the part of a line that can be in view is laid out when it is painted: no more
    // characters than the narrowest glyph fits into the scrolled-to width.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        int narrowest = option->fontMetrics.averageCharWidth();
        for (const QChar c : QStringLiteral(" .,:;'!|il"))
            narrowest = std::min(narrowest, option->fontMetrics.horizontalAdvance(c));
        const int visible = list_->horizontalScrollBar()->value() + list_->viewport()->width();
        const int chars = visible / std::max(1, narrowest) + 2;
        if (option->text.size() > chars) option->text.truncate(chars);
    }

  private:
    LogListBox* list_;
};
}  // namespace

LogListBox::LogListBox(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
    setItemDelegate(new LogLineDelegate(this));
}

void LogListBox::HoldRepaint() {
    if (holding_) return;
    holding_ = true;
    setUpdatesEnabled(false);
    QTimer::singleShot(kRepaintHoldMs, this, [this] { ReleaseRepaint(); });
}

void LogListBox::ReleaseRepaint() {
    // A minimised window shows nothing: its list waits until the window is shown again.
    if (window()->isMinimized()) {
        QTimer::singleShot(kRepaintHoldMs, this, [this] { ReleaseRepaint(); });
        return;
    }
    holding_ = false;
    setUpdatesEnabled(true);
}

void LogListBox::SetHorizontalExtent(int pixels) {
    extent_ = pixels;
    // A scroll bar that comes and goes with the range resizes the viewport, which lays the list
    // out again: with an extent it stays, so setting the range never starts another layout.
    setHorizontalScrollBarPolicy(pixels > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    updateGeometries();
}

void LogListBox::updateGeometries() {
    QListWidget::updateGeometries();
    // Layouts started while the range is set only run the list's own.
    if (adjusting_) return;
    const int needed = extent_ - viewport()->width();
    QScrollBar* bar = horizontalScrollBar();
    if (needed > bar->maximum()) {
        adjusting_ = true;
        bar->setRange(0, needed);
        adjusting_ = false;
    }
}

// ---- frmMain ----

void frmMain::AddCaption(std::function<void(const QString&)> apply, const QString& en, const QString& zh) {
    apply(zh);
    captions_.push_back({std::move(apply), en, zh});
}

void frmMain::AddCaption(std::function<void(const QString&)> apply, TextPair texts) {
    AddCaption(std::move(apply), Tx(texts, 0), Tx(texts, 1));
}

QLabel* frmMain::CaptionLabel(const char* name, TextPair texts, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    AddCaption([label](const QString& t) { label->setText(t); }, texts);
    return label;
}

frmMain::frmMain() {
    setObjectName(QStringLiteral("frmMain"));
    statusImages_ = {DrawnImages::Online(), DrawnImages::Offline()};
    ImageListSpcTag = {QIcon(), QIcon(DrawnImages::RoleWithTag()), QIcon(DrawnImages::RoleEmpty())};

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* all = new QVBoxLayout(central);

    // Shown group
    auto* top = new QHBoxLayout;
    top->addWidget(CaptionLabel("lblModuleNameCaption", kModuleName, central));
    lblModuleName = new QLabel(central);
    lblModuleName->setObjectName(QStringLiteral("lblModuleName"));
    top->addWidget(lblModuleName, 1);
    all->addLayout(top);

    SSTabMain = new QTabWidget(central);
    SSTabMain->setObjectName(QStringLiteral("SSTabMain"));
    all->addWidget(SSTabMain, 1);

    // Tab 0: log
    auto* tabLog = new QWidget;
    auto* logLayout = new QGridLayout(tabLog);
    ListBoxResult = new LogListBox(tabLog);
    ListBoxResult->setObjectName(QStringLiteral("ListBoxResult"));
    ListBoxResult->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    ListBoxResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListBoxResult->setUniformItemSizes(false);
    logLayout->addWidget(ListBoxResult, 0, 0, 1, 2);
    logLayout->addWidget(CaptionLabel("lblLogFileCaption", kLogFile, tabLog), 1, 0);
    lblLogFilePath = new QLabel(tabLog);
    lblLogFilePath->setObjectName(QStringLiteral("lblLogFilePath"));
    logLayout->addWidget(lblLogFilePath, 1, 1);
    logLayout->addWidget(CaptionLabel("lblNextSaveTimeCaption", kNextSaveTime, tabLog), 2, 0);
    lblNextSaveTime = new QLabel(tabLog);
    lblNextSaveTime->setObjectName(QStringLiteral("lblNextSaveTime"));
    logLayout->addWidget(lblNextSaveTime, 2, 1);
    logLayout->addWidget(CaptionLabel("lblNumRecSavedCaption", kNumRecSaved, tabLog), 3, 0);
    lblNumRecSaved = new QLabel(tabLog);
    lblNumRecSaved->setObjectName(QStringLiteral("lblNumRecSaved"));
    logLayout->addWidget(lblNumRecSaved, 3, 1);
    logLayout->setColumnStretch(1, 1);
    SSTabMain->addTab(tabLog, QString());
    AddCaption([this](const QString& t) { SSTabMain->setTabText(0, t); }, kTabLog);

    // Tab 1: tag view
    auto* tabTags = new QWidget;
    auto* tagLayout = new QGridLayout(tabTags);
    ListViewSpcTag = new QTreeWidget(tabTags);
    ListViewSpcTag->setObjectName(QStringLiteral("ListViewSpcTag"));
    ListViewSpcTag->setColumnCount(4);
    ListViewSpcTag->setRootIsDecorated(false);
    ListViewSpcTag->setIconSize(QSize(16, 16));
    for (int c = 0; c < 4; ++c) {
        static constexpr TextPair kColumns[] = {kColItem, kColTagName, kColStatus, kColDescription};
        AddCaption([this, c](const QString& t) { ListViewSpcTag->headerItem()->setText(c, t); }, kColumns[c]);
    }
    ListViewSpcTag->header()->resizeSection(0, 210);
    ListViewSpcTag->header()->resizeSection(1, 100);
    ListViewSpcTag->header()->resizeSection(2, 120);
    tagLayout->addWidget(ListViewSpcTag, 0, 0, 1, 3);
    tagLayout->addWidget(CaptionLabel("lblStatusCaption", kStatus, tabTags), 1, 0);
    lblStatus = new QLabel(tabTags);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    tagLayout->addWidget(lblStatus, 1, 1);
    imgStatus = new QLabel(tabTags);
    imgStatus->setObjectName(QStringLiteral("imgStatus"));
    imgStatus->setFixedSize(32, 32);
    tagLayout->addWidget(imgStatus, 1, 2);
    tagLayout->setColumnStretch(1, 1);
    SSTabMain->addTab(tabTags, QString());
    AddCaption([this](const QString& t) { SSTabMain->setTabText(1, t); }, kTabTagView);

    // Tab 2: database
    auto* tabDB = new QWidget;
    auto* dbLayout = new QGridLayout(tabDB);
    dbLayout->addWidget(CaptionLabel("lblSourceDBCaption", kSourceDB, tabDB), 0, 0, 1, 2);
    txtSourceDB = new QPlainTextEdit(tabDB);
    txtSourceDB->setObjectName(QStringLiteral("txtSourceDB"));
    txtSourceDB->setReadOnly(true);
    txtSourceDB->setMaximumHeight(48);
    dbLayout->addWidget(txtSourceDB, 1, 0);
    cmdOpenSourceDB = new QPushButton(tabDB);
    cmdOpenSourceDB->setObjectName(QStringLiteral("cmdOpenSourceDB"));
    AddCaption([this](const QString& t) { cmdOpenSourceDB->setText(t); }, kOpenDB);
    dbLayout->addWidget(cmdOpenSourceDB, 1, 1);
    dbLayout->addWidget(CaptionLabel("lblTargetDBCaption", kTargetDB, tabDB), 2, 0, 1, 2);
    txtTargetDB = new QPlainTextEdit(tabDB);
    txtTargetDB->setObjectName(QStringLiteral("txtTargetDB"));
    txtTargetDB->setReadOnly(true);
    txtTargetDB->setMaximumHeight(48);
    dbLayout->addWidget(txtTargetDB, 3, 0);
    cmdOpenTargetDB = new QPushButton(tabDB);
    cmdOpenTargetDB->setObjectName(QStringLiteral("cmdOpenTargetDB"));
    AddCaption([this](const QString& t) { cmdOpenTargetDB->setText(t); }, kOpenDB);
    dbLayout->addWidget(cmdOpenTargetDB, 3, 1);
    auto* facts = new QGridLayout;
    facts->addWidget(CaptionLabel("lblSaveModeCaption", kSaveMode, tabDB), 0, 0);
    lblSaveMode = new QLabel(tabDB);
    lblSaveMode->setObjectName(QStringLiteral("lblSaveMode"));
    facts->addWidget(lblSaveMode, 0, 1);
    facts->addWidget(CaptionLabel("lblStartTimeCaption", kStartTime, tabDB), 1, 0);
    lblStartTime = new QLabel(tabDB);
    lblStartTime->setObjectName(QStringLiteral("lblStartTime"));
    facts->addWidget(lblStartTime, 1, 1);
    facts->addWidget(CaptionLabel("lblNumRecSavedinDBCaption", kNumRecSaved, tabDB), 2, 0);
    lblNumRecSavedinDB = new QLabel(tabDB);
    lblNumRecSavedinDB->setObjectName(QStringLiteral("lblNumRecSavedinDB"));
    facts->addWidget(lblNumRecSavedinDB, 2, 1);
    facts->setColumnStretch(1, 1);
    dbLayout->addLayout(facts, 4, 0, 1, 2);
    lblNote1 = CaptionLabel("lblNote1", kNote1, tabDB);
    lblNote2 = CaptionLabel("lblNote2", kNote2, tabDB);
    dbLayout->addWidget(lblNote1, 5, 0, 1, 2);
    dbLayout->addWidget(lblNote2, 6, 0, 1, 2);
    dbLayout->setRowStretch(7, 1);
    SSTabMain->addTab(tabDB, QString());
    AddCaption([this](const QString& t) { SSTabMain->setTabText(2, t); }, kTabDatabase);

    // Tab 3: the settings text (debug only); its caption exists only in Chinese
    auto* tabCfg = new QWidget;
    auto* cfgLayout = new QVBoxLayout(tabCfg);
    txtCfgSetting = new QPlainTextEdit(tabCfg);
    txtCfgSetting->setObjectName(QStringLiteral("txtCfgSetting"));
    txtCfgSetting->setReadOnly(true);
    cfgLayout->addWidget(txtCfgSetting);
    SSTabMain->addTab(tabCfg, QString::fromUtf8(kTabSettings));

    // Bottom row
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(CaptionLabel("lblNowCaption", kNow, central));
    lblNow = new QLabel(central);
    lblNow->setObjectName(QStringLiteral("lblNow"));
    bottom->addWidget(lblNow, 1);
    CmdDBAppend = new QPushButton(QString::fromUtf8(kDBAppend), central);
    CmdDBAppend->setObjectName(QStringLiteral("CmdDBAppend"));
    bottom->addWidget(CmdDBAppend);
    cmdExit = new QPushButton(central);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    AddCaption([this](const QString& t) { cmdExit->setText(t); }, kExit);
    bottom->addWidget(cmdExit);
    all->addLayout(bottom);

    tmrLedgrix = new QTimer(this);
    tmrLedgrix->setObjectName(QStringLiteral("tmrLedgrix"));
    connect(tmrLedgrix, &QTimer::timeout, tmrLedgrix, [] { tmrLedgrix_Timer(); });

    // Menus: the save-group blocks and items stay hidden until mkModuleMenu
    mFile = menuBar()->addMenu(QString());
    mFile->setObjectName(QStringLiteral("mFile"));
    AddCaption([this](const QString& t) { mFile->setTitle(t); }, kMenuFile);
    for (int b = 0; b < 8; ++b) {
        QMenu* block = mFile->addMenu(QString());
        block->setObjectName(QStringLiteral("mFileModule%1To%2").arg(b * 8 + 1).arg(b * 8 + 8));
        AddCaption([block](const QString& t) { block->setTitle(t); }, BlockCaption(b, 0), BlockCaption(b, 1));
        block->menuAction()->setVisible(false);
        mFileModuleBlocks[static_cast<size_t>(b)] = block;
        for (int k = 1; k <= 8; ++k) {
            const int n = b * 8 + k;
            QAction* item = block->addAction(QString());
            item->setObjectName(QStringLiteral("mFileModule%1").arg(n));
            item->setCheckable(true);
            item->setVisible(false);
            connect(item, &QAction::triggered, this, [this, n] { mFileModule_Click(n); });
            mFileModule[static_cast<size_t>(n)] = item;
        }
    }
    mFileSpace1 = mFile->addSeparator();
    mFileSpace1->setObjectName(QStringLiteral("mFileSpace1"));
    mFileExit = mFile->addAction(QString());
    mFileExit->setObjectName(QStringLiteral("mFileExit"));
    mFileExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    AddCaption([this](const QString& t) { mFileExit->setText(t); }, kMenuExit);
    mHelp = menuBar()->addMenu(QString());
    mHelp->setObjectName(QStringLiteral("mHelp"));
    AddCaption([this](const QString& t) { mHelp->setTitle(t); }, kMenuHelp);
    mAbout = mHelp->addAction(QString());
    mAbout->setObjectName(QStringLiteral("mAbout"));
    AddCaption([this](const QString& t) { mAbout->setText(t); }, kMenuAbout);

    connect(CmdDBAppend, &QPushButton::clicked, this, &frmMain::CmdDBAppend_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    connect(cmdOpenSourceDB, &QPushButton::clicked, this, &frmMain::cmdOpenSourceDB_Click);
    connect(cmdOpenTargetDB, &QPushButton::clicked, this, &frmMain::cmdOpenTargetDB_Click);
    connect(mFileExit, &QAction::triggered, this, &frmMain::mFileExit_Click);
    connect(mAbout, &QAction::triggered, this, &frmMain::mAbout_Click);
    connect(SSTabMain, &QTabWidget::currentChanged, this, &frmMain::SSTabMain_Click);

    setWindowTitle(Tx(kSaverCaption, 1));
    resize(720, 520);
}

frmMain::~frmMain() = default;

void frmMain::SetLanguage() {
    if (State().LanguageIndex != 0) return;
    setWindowTitle(Tx(kSaverCaption, 0));
    for (const Caption& c : captions_) c.apply(c.en);
}

QPixmap frmMain::StatusImage(const QString& key) const {
    return key.compare(QStringLiteral("online"), Qt::CaseInsensitive) == 0 ? statusImages_[0]
                                                                           : statusImages_[1];
}

void frmMain::LoadFormObj() {
    SSTabMain->setTabVisible(3, false);
    CmdDBAppend->hide();
    cmdExit->show();

    const QString now = DateUtil::DefaultText(DateUtil::Now());
    lblStartTime->setText(now);
    lblNow->setText(now);

    setWindowTitle(Tx(kSaverCaption, 1));
    SetLanguage();

    mkModuleMenu();
    ShowSaveGroupInfo(1);
    mFileModule[1]->setChecked(true);

    ProgramState& st = State();
    if (st.DebugLevel > 0) {
        SSTabMain->setTabVisible(3, true);
        CmdDBAppend->show();
    }
    if (st.IsUserMode && st.DebugLevel == 0) {
        cmdExit->hide();
        mFileExit->setEnabled(false);
    }
    SSTabMain->setCurrentIndex(0);
}

void frmMain::Form_Load() {
    ProgramState& st = State();
    if (!FileUtil::FileExists(QStringLiteral("PTSERV32.dll"))) {
        st.ErrorText = Tx(kNoLibraryText);
        st.ErrorCaption = Tx(kNoLibraryTitle);
        MsgBox(st.ErrorText, MsgStyle::Critical, st.ErrorCaption);
        EndProcessNow(-1);
    }
    if (st.DebugLevel == 0 && !Saver().IsNT) {
        DummyForm().ShowModal();
        DoEvents();
    }
    DummyForm().ShowModal();
}

void frmMain::Form_Unload(bool& cancel) {
    ProgramState& st = State();
    if (st.IsUserMode) {
        st.ErrorText = Tx(kNoCloseText);
        st.ErrorCaption = Tx(kNoCloseTitle);
        MsgBox(st.ErrorText, MsgStyle::Critical, st.ErrorCaption);
        cancel = true;
        return;
    }
    LedgrixMain::EndInOrder();
}

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // A minimised window shows nothing: its contents are hidden, so that what changes in them
    // (log lines, labels, views) is not laid out or scrolled until the window is shown again.
    if (event->type() == QEvent::WindowStateChange && centralWidget())
        centralWidget()->setVisible(!isMinimized());
}

void frmMain::closeEvent(QCloseEvent* event) {
    bool cancel = false;
    Form_Unload(cancel);
    if (cancel)
        event->ignore();
    else
        event->accept();
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Other programs find a running saver by these captions.
    if (!captionHold_) captionHold_ = std::make_unique<CaptionHold>(windowTitle());
    const ProgramState& st = State();
    if (!settingsCaptionHold_ && !st.dbSCaption.isEmpty() && !st.WorkstationTaskName.isEmpty()) {
        settingsCaptionHold_ = std::make_unique<CaptionHold>(st.dbSCaption + QStringLiteral(" [") +
                                                             st.WorkstationTaskName + u']');
    }
}

void frmMain::cmdExit_Click() {
    LedgrixMain::EndInOrder();
}

void frmMain::mFileExit_Click() {
    LedgrixMain::EndInOrder();
}

void frmMain::CmdDBAppend_Click() {
    const int count = State().SaveGroupCount;
    for (int16_t g = 1; g <= count && g <= kMaxSaveGroups; ++g) {
        DBAppend(g, DateUtil::Now()).Detach();
    }
}

void frmMain::cmdOpenSourceDB_Click() {
    OpenDatabase(false);
}

void frmMain::cmdOpenTargetDB_Click() {
    OpenDatabase(true);
}

void frmMain::OpenDatabase(bool target) {
    const int g = Saver().ShownGroupIndex;
    if (!ValidGroup(g)) return;
    SaveGroupRecord& group = State().Group(g);
    const xSvcSettings& s = group.S();
    const xRuntimeInfo& r = group.R();
    QString path;
    if (s.dbDBTypeName == QStringLiteral("CSV")) {
        path = target && !s.dbSCSVDataBaseRootDir.isEmpty() ? r.LastdbSCSVFullPath : s.dbCSVFullPath;
    } else {
        path = target && !s.dbSDataBaseRootDir.isEmpty() ? r.LastdbSFullPath : s.dbFullPath;
    }
    if (path.isEmpty()) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(FileUtil::ResolvePath(path)));
}

void frmMain::mAbout_Click() {
    frmAbout about(this);
    about.exec();
}

void frmMain::SSTabMain_Click(int currentTab) {
    if (currentTab == 1) RefreshTagView();
}

void frmMain::mkModuleMenu() {
    ProgramState& st = State();
    for (int i = 1; i <= st.SaveGroupCount; ++i) {
        if (!ValidGroup(i)) break;
        if ((i - 1) % 8 == 0)
            mFileModuleBlocks[static_cast<size_t>((i - 1) / 8)]->menuAction()->setVisible(true);
        QAction* item = mFileModule[static_cast<size_t>(i)];
        item->setText(st.Group(i).R().ModuleName);
        item->setVisible(true);
    }
}

void frmMain::mFileModule_Click(int itemIndex) {
    if (!ValidGroup(itemIndex)) return;
    ShowSaveGroupInfo(static_cast<int16_t>(itemIndex));
    mFileModule[static_cast<size_t>(itemIndex)]->setChecked(true);
}

void frmMain::ShowSaveGroupInfo(int16_t groupIndex) {
    if (!ValidGroup(groupIndex)) return;
    ProgramState& st = State();
    SaveGroupRecord& group = st.Group(groupIndex);
    const xSvcSettings& s = group.S();
    const xRuntimeInfo& r = group.R();

    lblModuleName->setText(r.ModuleName);
    if (s.SaveTimeInterval == 0 || r.IsDisableDBAppend)
        lblNextSaveTime->setText(kNone);
    else if (r.IsHighSpeedSaver)
        lblNextSaveTime->setText(
            r.TargetSaveTimeWithMilliSeconds.FormatString(QStringLiteral("yyyy/MM/dd HH:mm:ss.ms AMPM")));
    else
        lblNextSaveTime->setText(DateUtil::DefaultText(r.TargetSaveTime));
    lblNumRecSaved->setText(Numbers::NumberText(r.NumRecordsSaved));
    lblNumRecSavedinDB->setText(Numbers::NumberText(r.NumRecordsSaved));

    // Tag view: one row per tag role, with the tag that plays it
    auto tagOfRole = [&](const QString& upperKey) -> const xTag* {
        if (upperKey == QStringLiteral("DBSENABLETAG")) return &s.dbSEnableTag;
        if (upperKey == QStringLiteral("DBSTRIGGERTAG")) return &s.dbSTriggerTag;
        if (upperKey == QStringLiteral("DBSSTOPTAG")) return &st.StopTag;
        if (upperKey == QStringLiteral("DBSNUMRECORDSSAVEDTAG")) return &s.dbSNumRecordsSavedTag;
        if (upperKey == QStringLiteral("DBSALIVETAG")) return &st.AliveTag;
        if (upperKey == QStringLiteral("DBSDURINGSAVINGTAG")) return &st.DuringSavingTag;
        if (upperKey == QStringLiteral("DBSPURGETAG")) return &s.dbSPurgeTag;
        if (upperKey == QStringLiteral("DBSDIRTAG")) return &s.dbSDirTag;
        if (upperKey == QStringLiteral("DBSFILENAMETAG")) return &s.dbSFileNameTag;
        return nullptr;
    };
    ListViewSpcTag->clear();
    for (size_t i = 0; i < st.TagRoleKeys.size(); ++i) {
        const QString& key = st.TagRoleKeys[i];
        QString name;
        QString part;
        if (const xTag* tag = tagOfRole(key.toUpper())) {
            name = tag->Name;
            part = tag->DataType;
        }
        auto* row = new QTreeWidgetItem(ListViewSpcTag);
        row->setText(0, key);
        row->setIcon(0, ImageListSpcTag[name.isEmpty() ? 2 : 1]);
        const QString upperPart = part.toUpper();
        const bool isMessage = upperPart == QStringLiteral("MESSAGE") || upperPart == QStringLiteral("MSG");
        row->setText(1, !name.isEmpty() && isMessage ? name + QStringLiteral(".msg") : name);
        row->setText(3, st.TagRoleDescriptions[i]);
    }
    RefreshTagView();

    // How the group saves
    QString mode;
    if (s.SaveTimeInterval > 0)
        mode = Tx(kCyclicSaver) + Numbers::NumberText(s.SaveTimeInterval) + Tx(kCyclicSaverEnd);
    if (!s.dbSTriggerTag.Name.isEmpty()) {
        mode += (mode.isEmpty() ? Tx(kTriggerSaverFirst) : Tx(kTriggerSaverMore)) + s.dbSTriggerTag.Name +
                Tx(kTriggerSaverEnd);
    }
    if (s.dbSIsSaveCSV) mode += Tx(kSaveCSV);
    lblSaveMode->setText(mode);

    // Paths: a server database has none to show
    const QString provider = s.dbProvider.toUpper();
    if (provider.contains(QStringLiteral("SQLOLEDB.1")) || provider.contains(QStringLiteral("MSDAORA.1"))) {
        cmdOpenSourceDB->setEnabled(false);
        cmdOpenTargetDB->setEnabled(false);
        txtSourceDB->setPlainText(kServerPath);
        txtTargetDB->setPlainText(kServerPath);
    } else {
        cmdOpenSourceDB->setEnabled(true);
        cmdOpenTargetDB->setEnabled(true);
        QString source = s.dbFullPath;
        QString target = s.dbFullPath;
        if (!s.dbSDataBaseRootDir.isEmpty()) target = r.LastdbSFullPath;
        if (s.dbDBTypeName == QStringLiteral("CSV")) {
            source = s.dbCSVFullPath;
            target = s.dbCSVFullPath;
            if (!s.dbSCSVDataBaseRootDir.isEmpty()) target = r.LastdbSCSVFullPath;
        }
        txtSourceDB->setPlainText(source);
        txtTargetDB->setPlainText(target);
    }

    for (int i = 1; i <= st.SaveGroupCount && ValidGroup(i); ++i)
        mFileModule[static_cast<size_t>(i)]->setChecked(false);
    Saver().ShownGroupIndex = groupIndex;
}

// ---- the one main window ----

frmMain& MainForm() {
    if (!g_form) {
        g_form = new frmMain();
        g_form->Form_Load();
    }
    return *g_form;
}

bool MainFormExists() {
    return g_form != nullptr;
}

void DestroyMainForm() {
    delete g_form;
    g_form = nullptr;
}
