#include "config/mainwin/frmConfigMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "common/DateUtil.h"
#include "common/Numbers.h"
#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/SettingUtil.h"
#include "config/core/ConfigMain.h"
#include "config/core/ConfigState.h"
#include "config/core/DBProbe.h"
#include "config/core/OpenProject.h"
#include "config/core/SaveGroupModel.h"
#include "config/core/SaveProject.h"
#include "config/forms/ConfigImages.h"
#include "config/forms/FormSupport.h"
#include "config/groupedit/frmGroupConfig.h"
#include "config/mainwin/frmAboutLedgrixConfig.h"
#include "config/mainwin/frmBasicConfig.h"
#include "config/wizard/DBSetupWizard.h"

namespace {

const QString kCRLF = QStringLiteral("\r\n");
constexpr float kTwipsPerPixel = 15.f;
constexpr float kDragLimit = 500;     // the drag bar stays this far from either edge
constexpr float kLayoutLimit = 2500;  // the splitter stays this far from either edge
constexpr float kListOffset = 40;
constexpr float kWidthAllowance = 140;
constexpr float kTitleOffset = 10;
constexpr float kTitleShortening = 40;
constexpr float kDragBarShortening = 20;
constexpr int kMinimumWidth = 400;      // 6000 twips
constexpr int kPanelGap = 6;            // between two status-bar panels, and at the ends
constexpr int kSizeGripAllowance = 20;  // the status bar's size grip
const QString kViewModeReport = QStringLiteral("3");

constexpr TextPair kProjectNode{"Project [", "專案 ["};
constexpr TextPair kProjectTitle{"Project : ", "圖控專案 : "};
constexpr TextPair kWorkstationTitle{", Workstation : ", ", 工作站名稱 : "};
constexpr TextPair kGroupTitle{"DataGroupName : ", "存檔群組名稱 : "};
constexpr TextPair kFieldTitle{", DataFieldName : ", ", 存檔欄位名稱 : "};
constexpr TextPair kProjectColumns[] = {{"Data Group Name", "存檔群組名稱"},
                                        {"Database ", "資料庫種類"},
                                        {"File Usage", "檔案切割方式"},
                                        {"Saving Interval", "存檔間隔"}};
constexpr TextPair kFieldColumns[] = {{"Field Name", "欄位名稱"},
                                      {"Tag Name", "圖控 Tag 名稱"},
                                      {"Tag Field", "圖控 Tag 屬性"},
                                      {"Message Length", "字串長度"},
                                      {"Decimal Places", "小數點位數"},
                                      {"Datetime Format String", "日期時間格式"},
                                      {"Data Length (for CSV)", "資料長度 (for CSV)"}};
constexpr TextPair kContent{"Content", "內容"};
constexpr TextPair kDelete{"Delete", "刪除"};
constexpr TextPair kRename{"Rename", "更名"};
constexpr TextPair kMultiple{"Multiple DataBase", "分散資料檔"};
constexpr TextPair kSingle{"Single DataBase", "單一資料庫"};

constexpr TextPair kSaveTitle{"Save Project", "儲存專案"};
constexpr TextPair kLeaveWithoutSaving{
    "The changes cannot be saved as they are.\r\nLeave LedgrixConfig without saving them?\r\nChoose No to go "
    "back and correct the settings.",
    "變更的設定無法儲存。\r\n是否不儲存變更就結束 LedgrixConfig?\r\n請選擇「否」返回並修正設定。"};

// A menu item's caption in both languages.
struct MenuCaption {
    const char* item;
    TextPair text;
};

constexpr MenuCaption kMenuCaptions[] = {
    {"mFile", {"File(&F)", "檔案(&F)"}},
    {"mFileOpenProj", {"Open project(&O)", "開啟專案(&O)"}},
    {"mFileSaveProj", {"Save project(&S)", "儲存專案(&S)"}},
    {"mFileContent", {"Basic settings...", "基本設定"}},
    {"mFileSysExit", {"Exit(&X)", "結束(&X)"}},
    {"mHelp", {"Help(&H)", "說明(&H)"}},
    {"mHelpContent", {"Content(&C)...", "內容(&C)..."}},
    {"mHelpIndex", {"Index(&I)...", "索引(&I)..."}},
    {"mHelpAbout", {"About LedgrixConfig...", "關於 LedgrixConfig(&A)..."}},
};

constexpr MenuCaption kPopupCaptions[] = {
    {"mConfigSystemBasic", {"Basic Settings", "內容"}},
    {"mConfigGroupContent", {"Group Content", "內容"}},
    {"mConfigGroupConnectDB", {"Connect Database", "資料庫連線測試"}},
    {"mConfigGroupAddNew", {"Add a new data Group", "新增存檔群組"}},
    {"mConfigTagAddNew1", {"Add a new data field", "新增存檔欄位"}},
    {"mConfigGroupDelete", {"Delete", "刪除"}},
    {"mConfigGroupRename", {"Rename", "更名"}},
    {"mConfigTagContent", {"Content", "內容"}},
    {"mConfigTagAddNew", {"Add a new data field", "新增存檔欄位"}},
    {"mConfigTagDelete", {"Delete", "刪除"}},
    {"mConfigTagRename", {"Rename", "更名"}},
};

// Which pop-up items each node kind shows.
struct PopupItem {
    const char* item;
    bool project, group, field;
};
constexpr PopupItem kPopupItems[] = {
    {"mConfigSystemBasic", true, false, false},  {"mConfigBar1", true, false, false},
    {"mConfigGroupContent", false, true, false}, {"mConfigGroupConnectDB", false, true, false},
    {"mConfigBar5", false, true, false},         {"mConfigGroupAddNew", true, true, false},
    {"mConfigTagAddNew1", false, true, false},   {"mConfigBar2", false, true, false},
    {"mConfigGroupDelete", false, true, false},  {"mConfigGroupRename", false, true, false},
    {"mConfigBar3", false, false, false},        {"mConfigTagContent", false, false, true},
    {"mConfigBar6", false, false, true},         {"mConfigTagAddNew", false, false, true},
    {"mConfigBar4", false, false, true},         {"mConfigTagDelete", false, false, true},
    {"mConfigTagRename", false, false, true},
};

int Px(float twips) {
    return qRound(std::max(0.f, twips) / kTwipsPerPixel);
}

QString TagOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

// Children are kept in name order, letter case ignored.
void InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child) {
    QStringList names;
    for (int i = 0; i < parent->childCount(); ++i) names << parent->child(i)->text(0);
    names << child->text(0);
    SortIgnoringCase(names);
    parent->insertChild(static_cast<int>(names.indexOf(child->text(0))), child);
}

QTreeWidgetItem* NewNode(const QString& tag, const QString& text, const QIcon& image) {
    auto* node = new QTreeWidgetItem(QStringList{text});
    node->setData(0, Qt::UserRole, tag);
    node->setIcon(0, image);
    return node;
}

// The menus' captions in that language.
void SetMenuCaptions(const QWidget& window, int languageIndex) {
    for (const MenuCaption& c : kMenuCaptions) {
        if (auto* m = window.findChild<QMenu*>(QLatin1String(c.item)))
            m->setTitle(Tx(c.text, languageIndex));
        else if (auto* a = window.findChild<QAction*>(QLatin1String(c.item)))
            a->setText(Tx(c.text, languageIndex));
    }
}

QString Number(int value) {
    return QString::number(value);
}

// The columns 2 to 7 of a field row; a field without a tag has its name only.
QStringList FieldRow(const xField& f) {
    QStringList row{f.FieldName};
    if (f.TagName.isEmpty()) return row;
    const bool value = f.TagType == QLatin1String("VAL") || f.TagType == QLatin1String("VALUE");
    row << f.TagName << f.TagType << (f.TagMessageLength > 0 ? Number(f.TagMessageLength) : QString())
        << (value && f.DecimalPlaces >= 0 ? Number(f.DecimalPlaces) : QString()) << f.DatetimeFormatString
        << (f.TagDataLength > 0 ? Number(f.TagDataLength) : QString());
    return row;
}

}  // namespace

frmConfigMain::frmConfigMain(QWidget* parent)
    : QMainWindow(parent),
      folderClosed_(ConfigImage(QStringLiteral("NodeClose"))),
      folderOpen_(ConfigImage(QStringLiteral("NodeOpen"))) {
    setupUi(this);
    setMinimumWidth(kMinimumWidth);
    for (QAction* a : findChildren<QAction*>())
        if (a->objectName().contains(QLatin1String("Bar"))) a->setSeparator(true);
    // The design's menu captions are the Chinese ones until LoadFormObj sets them.
    SetMenuCaptions(*this, 1);
    mFileWizard->setText(QStringLiteral("啟動精靈"));
    mConfigPop->setTitle(QStringLiteral("規畫快顯功能表"));

    QPalette bar = picSplitter->palette();
    bar.setColor(QPalette::Window, palette().color(QPalette::Dark));
    picSplitter->setPalette(bar);
    lvListView->header()->setSectionsMovable(false);

    const QString date = DateUtil::Format(DateUtil::Now(), DateUtil::ShortDateFormat());
    for (const auto& [key, text] :
         {std::pair{"Status", QStringLiteral("Welcom to LedgrixConfig")}, std::pair{"ProjName", QString()},
          std::pair{"Mode", QStringLiteral("Config")}, std::pair{"Date", date}}) {
        auto* panel = new QLabel(text, this);
        panel->setObjectName(QString::fromLatin1(key));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panels_.insert(panel->objectName(), panel);
        sbStatusBar->addWidget(panel, QLatin1String(key) == QLatin1String("Status") ? 1 : 0);
    }
    FitStatusPanels();

    picMain->installEventFilter(this);
    imgSplitter->installEventFilter(this);
    tvTreeView->viewport()->installEventFilter(this);
    tvTreeView->setContextMenuPolicy(Qt::PreventContextMenu);

    connect(mFile, &QMenu::aboutToShow, this, &frmConfigMain::mFile_Click);
    connect(mFileWizard, &QAction::triggered, this, &frmConfigMain::mFileWizard_Click);
    connect(mFileOpenProj, &QAction::triggered, this, &frmConfigMain::mFileOpenProj_Click);
    connect(mFileSaveProj, &QAction::triggered, this, &frmConfigMain::mFileSaveProj_Click);
    connect(mFileContent, &QAction::triggered, this, &frmConfigMain::mFileContent_Click);
    connect(mFileSysExit, &QAction::triggered, this, &frmConfigMain::mFileSysExit_Click);
    connect(mHelpAbout, &QAction::triggered, this, &frmConfigMain::mHelpAbout_Click);
    connect(mConfigSystemBasic, &QAction::triggered, this, &frmConfigMain::mFileContent_Click);
    connect(mConfigGroupContent, &QAction::triggered, this, &frmConfigMain::EditSaveGroup);
    connect(mConfigGroupConnectDB, &QAction::triggered, this, &frmConfigMain::mConfigGroupConnectDB_Click);
    connect(mConfigGroupAddNew, &QAction::triggered, this, &frmConfigMain::AddNewSaveGroup);
    connect(mConfigTagAddNew1, &QAction::triggered, this, &frmConfigMain::AddNewField);
    connect(mConfigGroupDelete, &QAction::triggered, this, &frmConfigMain::DeleteSaveGroup);
    connect(mConfigGroupRename, &QAction::triggered, this, &frmConfigMain::RenameSaveGroup);
    connect(mConfigTagContent, &QAction::triggered, this, &frmConfigMain::mConfigTagContent_Click);
    connect(mConfigTagAddNew, &QAction::triggered, this, &frmConfigMain::AddNewField);
    connect(mConfigTagDelete, &QAction::triggered, this, &frmConfigMain::DeleteField);
    connect(mConfigTagRename, &QAction::triggered, this, &frmConfigMain::RenameField);
    connect(tvTreeView, &QTreeWidget::currentItemChanged, this, &frmConfigMain::tvTreeView_NodeClick);
    connect(tvTreeView, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* node) { node->setIcon(0, folderOpen_); });
    connect(tvTreeView, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* node) { node->setIcon(0, folderClosed_); });
    connect(lvListView, &QTreeWidget::itemDoubleClicked, this, &frmConfigMain::lvListView_DblClick);
}

void frmConfigMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    float x = static_cast<float>(imgSplitter->x()) * kTwipsPerPixel;
    SizeControls(x);
}

void frmConfigMain::LoadFormObj() {
    setWindowTitle(LedgrixConfigMain::MainCaption());
    caption_.Acquire(windowTitle());
    lblTitle->setText(QStringLiteral("LedgrixConfig"));
    SetMenuCaptions(*this, State().LanguageIndex);
}

void frmConfigMain::SetStatusPanel(const QString& key, const QString& text) {
    if (QLabel* panel = panels_.value(key)) panel->setText(text);
    FitStatusPanels();
}

void frmConfigMain::FitStatusPanels() {
    // The window is at least 6000 twips wide, and wider when the panels need it to show their
    // whole texts side by side.
    int panels = 0;
    for (const QLabel* panel : std::as_const(panels_)) panels += panel->minimumSizeHint().width();
    const QMargins margins = sbStatusBar->contentsMargins();
    const int spacing = sbStatusBar->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing);
    const int grip = sbStatusBar->isSizeGripEnabled() ? kSizeGripAllowance : 0;
    const int least = panels + static_cast<int>(panels_.size() + 1) * std::max(spacing, kPanelGap) +
                      margins.left() + margins.right() + grip;
    setMinimumWidth(std::max(kMinimumWidth, least));
    if (width() < minimumWidth()) resize(minimumWidth(), height());
}

// ---- Layout and splitter ----

void frmConfigMain::SizeControls(float& X) {
    const float width = static_cast<float>(picMain->width()) * kTwipsPerPixel;
    const float height = static_cast<float>(picMain->height()) * kTwipsPerPixel;
    if (X < kLayoutLimit) X = kLayoutLimit;
    if (X > width - kLayoutLimit) X = width - kLayoutLimit;
    const float titles = static_cast<float>(picTitles->height()) * kTwipsPerPixel;
    const float listLeft = X + kListOffset;
    const float listWidth = width - (X + kWidthAllowance);
    const float paneHeight = height - titles;
    picTitles->setGeometry(0, 0, picMain->width(), picTitles->height());
    tvTreeView->setGeometry(0, Px(titles), Px(X), Px(paneHeight));
    imgSplitter->setGeometry(Px(X), Px(titles), std::max(1, Px(kListOffset)), Px(paneHeight));
    lvListView->setGeometry(Px(listLeft), Px(titles), Px(listWidth), Px(paneHeight));
    lblTitle->setGeometry(lblTitle->x(), lblTitle->y(), Px(X), lblTitle->height());
    lblListView->setGeometry(Px(listLeft + kTitleOffset), lblListView->y(), Px(listWidth - kTitleShortening),
                             lblListView->height());
}

void frmConfigMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (width() < minimumWidth()) resize(minimumWidth(), height());
}

void frmConfigMain::imgSplitter_MouseDown() {
    picSplitter->setGeometry(imgSplitter->x(), imgSplitter->y(), std::max(1, imgSplitter->width() / 2),
                             std::max(0, imgSplitter->height() - Px(kDragBarShortening)));
    picSplitter->raise();
    picSplitter->setVisible(true);
    moving_ = true;
}

void frmConfigMain::imgSplitter_MouseMove(float x) {
    if (!moving_) return;
    const float width = static_cast<float>(picMain->width()) * kTwipsPerPixel;
    float p = static_cast<float>(imgSplitter->x()) * kTwipsPerPixel + x;
    if (p < kDragLimit)
        p = kDragLimit;
    else if (p > width - kDragLimit)
        p = width - kDragLimit;
    picSplitter->move(Px(p), picSplitter->y());
}

void frmConfigMain::imgSplitter_MouseUp() {
    float x = static_cast<float>(picSplitter->x()) * kTwipsPerPixel;
    SizeControls(x);
    picSplitter->setVisible(false);
    moving_ = false;
}

bool frmConfigMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // The layout follows the window's size once it is shown; imgSplitter starts at its design
    // position (3300 twips).
    if (watched == picMain && type == QEvent::Resize && isVisible()) {
        float x = static_cast<float>(imgSplitter->x()) * kTwipsPerPixel;
        SizeControls(x);
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QMainWindow::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == imgSplitter) {
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            imgSplitter_MouseDown();
        else if (type == QEvent::MouseMove)
            imgSplitter_MouseMove(static_cast<float>(mouse->position().x()) * kTwipsPerPixel);
        else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton && moving_)
            imgSplitter_MouseUp();
    } else if (watched == tvTreeView->viewport() && mouse->button() == Qt::RightButton) {
        // The pop-up works on the selected node: a right click does not select another one.
        if (type == QEvent::MouseButtonRelease)
            tvTreeView_MouseUp(Qt::RightButton, mouse->globalPosition().toPoint());
        if (type != QEvent::MouseMove) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Tree and list ----

QTreeWidgetItem* frmConfigMain::FindNode(const QString& tag) const {
    for (QTreeWidgetItemIterator it(tvTreeView); *it; ++it)
        if (TagOf(*it) == tag) return *it;
    return nullptr;
}

QString frmConfigMain::SelectedTag() const {
    return TagOf(tvTreeView->currentItem());
}

QStringList frmConfigMain::TagItems(const QString& tag, const QString& separator) {
    QStringList items = tag.split(separator);
    while (items.size() < 3) items << QString();
    return items;
}

QString frmConfigMain::ProjectTag(const QString& project) {
    return QStringLiteral("PROJECT,") + project;
}

QString frmConfigMain::GroupTag(const QString& group) {
    return QStringLiteral("SAVEGROUP,") + group;
}

QString frmConfigMain::FieldTag(const QString& group, const QString& field) {
    return QStringLiteral("FIELD,") + group + u',' + field;
}

QStringList frmConfigMain::SelectedItems() const {
    return TagItems(SelectedTag());
}

void frmConfigMain::RenameNode(QTreeWidgetItem* node, const QString& text, const QString& tag) {
    QTreeWidgetItem* parent = node->parent();
    const bool current = tvTreeView->currentItem() == node;
    const bool expanded = node->isExpanded();
    node->setText(0, text);
    node->setData(0, Qt::UserRole, tag);
    if (parent) {
        const QSignalBlocker quiet(tvTreeView);
        parent->removeChild(node);
        InsertSorted(parent, node);
    }
    node->setExpanded(expanded);
    if (current) tvTreeView->setCurrentItem(node);
}

void frmConfigMain::mkTreeView() {
    ProgramState& st = State();
    {
        const QSignalBlocker quiet(tvTreeView);
        tvTreeView->clear();
        QTreeWidgetItem* project =
            NewNode(ProjectTag(st.ProjectName),
                    Tx(kProjectNode) + st.ProjectName + QStringLiteral(" - ") + st.WorkstationName + u']',
                    QIcon(ConfigImage(QStringLiteral("ProjName"))));
        tvTreeView->addTopLevelItem(project);
        for (int i = 1; i <= std::min<int>(st.SaveGroupCount, kMaxSaveGroups); ++i) {
            SaveGroupRecord& g = st.Group(i);
            const QString name = g.S().SaveGroupName;
            if (name.isEmpty()) break;
            if (g.IsGroupDeleted != 0) continue;
            QTreeWidgetItem* group = NewNode(GroupTag(name), name, folderClosed_);
            InsertSorted(project, group);
            AddFieldNodes(group, name, g);
        }
        project->setExpanded(true);
        tvTreeView->setCurrentItem(project);
    }
    mklvNodeContent();
}

void frmConfigMain::AddFieldNodes(QTreeWidgetItem* groupNode, const QString& groupName,
                                  SaveGroupRecord& group) {
    for (int k = 1; k <= std::min<int>(group.FieldCount, kMaxFieldSlots); ++k) {
        const QString field = group.F(k).FieldName;
        const QString fieldTag = FieldTag(groupName, field);
        if (field.isEmpty() || FindNode(fieldTag)) continue;
        InsertSorted(groupNode, NewNode(fieldTag, field, folderClosed_));
    }
}

void frmConfigMain::mkFieldNodes(const QString& groupName, const QString& select) {
    const QString wanted = select.isEmpty() ? SelectedTag() : select;
    QTreeWidgetItem* groupNode = FindNode(GroupTag(groupName));
    const int16_t index = SaveGroupUtil::GetSaveGroupIndex(groupName);
    if (!groupNode) return;
    {
        const QSignalBlocker quiet(tvTreeView);
        const bool expanded = groupNode->isExpanded();
        qDeleteAll(groupNode->takeChildren());
        if (index > 0) AddFieldNodes(groupNode, groupName, State().Group(index));
        groupNode->setExpanded(expanded);
    }
    QTreeWidgetItem* target = FindNode(wanted);
    tvTreeView->setCurrentItem(target ? target : groupNode);
}

QTreeWidgetItem* frmConfigMain::mkSaveGroupNode(const QString& parentTag, const QString& name,
                                                const QString& separator) {
    const QStringList items = TagItems(parentTag, separator);
    const QString kind = items[0].toUpper();
    QString tag;
    if (kind == QLatin1String("PROJECT"))
        tag = GroupTag(name);
    else if (kind == QLatin1String("SAVEGROUP"))
        tag = FieldTag(items[1], name);
    else
        return nullptr;
    QTreeWidgetItem* parent = FindNode(parentTag);
    if (!parent) return nullptr;
    QTreeWidgetItem* node = NewNode(tag, name, folderClosed_);
    InsertSorted(parent, node);
    tvTreeView->setCurrentItem(node);
    return node;
}

void frmConfigMain::tvTreeView_NodeClick() {
    if (tvTreeView->currentItem() && SelectedTag() != lastNodeTag_) mklvNodeContent();
}

void frmConfigMain::mklvNodeContent() {
    ProgramState& st = State();
    lvListView->clear();
    lvListView->setColumnCount(0);
    lblListView->clear();
    lastNodeTag_.clear();
    QTreeWidgetItem* node = tvTreeView->currentItem();
    if (!node) return;
    const QString tag = TagOf(node);
    if (tag.isEmpty()) {
        MsgBox(QStringLiteral("系統內部錯誤!\r\n被選中節點的夾帶資訊是為空。\r\n請洽本公司技術部支援!"),
               MsgStyle::Critical | MsgStyle::OkOnly, QStringLiteral("系統內部錯誤"));
        return;
    }
    lastNodeTag_ = tag;
    const QStringList items = TagItems(tag);
    const QString kind = items[0].toUpper();
    const QString group = items[1];
    QString title;
    std::vector<QStringList> rows;
    QStringList rowTags;
    QStringList columns;
    if (kind == QLatin1String("PROJECT")) {
        title = Tx(kProjectTitle) + group + Tx(kWorkstationTitle) + st.WorkstationName;
        for (const TextPair& c : kProjectColumns) columns << Tx(c);
        for (int i = 1; i <= std::min<int>(st.SaveGroupCount, kMaxSaveGroups); ++i) {
            const xSvcSettings& s = st.Group(i).S();
            const auto type = SettingUtil::FindDBSettingsByTypeName(s.dbDBTypeName);
            rows.push_back({s.SaveGroupName, type ? type->DBTypeDsc : QString(),
                            Tx(s.dbSDataBaseRootDir.isEmpty() ? kSingle : kMultiple),
                            Numbers::NumberText(s.SaveTimeInterval)});
            rowTags << GroupTag(s.SaveGroupName);
        }
    } else if (kind == QLatin1String("SAVEGROUP") || kind == QLatin1String("FIELD")) {
        const QString field = items[2];
        title = Tx(kGroupTitle) + group;
        if (kind == QLatin1String("FIELD")) title += Tx(kFieldTitle) + field;
        for (const TextPair& c : kFieldColumns) columns << Tx(c);
        // A group or field that is not (or no longer) in the model shows an empty list.
        const int16_t index = SaveGroupUtil::GetSaveGroupIndex(group);
        if (kind == QLatin1String("SAVEGROUP") && index > 0) {
            SaveGroupRecord& g = st.Group(index);
            for (int k = 1; k <= std::min<int>(g.FieldCount, kMaxFieldSlots); ++k) {
                rows.push_back(FieldRow(g.F(k)));
                rowTags << FieldTag(group, g.F(k).FieldName);
            }
        } else if (xField f;
                   kind == QLatin1String("FIELD") && SaveGroupUtil::GetFieldSettings(group, field, f)) {
            rows.push_back(FieldRow(f));
            rowTags << FieldTag(group, field);
        }
    } else {
        return;
    }
    lvListView->setHeaderLabels(columns);
    for (size_t r = 0; r < rows.size(); ++r) {
        auto* row = new QTreeWidgetItem(lvListView, rows[r]);
        row->setData(0, Qt::UserRole, rowTags[static_cast<int>(r)]);
    }
    for (int c = 0; c < lvListView->columnCount(); ++c) {
        lvListView->resizeColumnToContents(c);
        lvListView->setColumnWidth(c, lvListView->columnWidth(c) + 8);  // titles clear of the next
    }
    lblListView->setText(title);
}

// ---- Menus and pop-up ----

void frmConfigMain::mFile_Click() {
    mFileSaveProj->setEnabled(Config().IsModified != 0);
}

void frmConfigMain::mFileWizard_Click() {
    // The wizard's answers are not applied here: the model and the files stay as they are.
    DBSetupWizard::RunDBSetupWizard(false);
}

void frmConfigMain::mFileOpenProj_Click() {
    ProjectUtil::OpenProject(QString(), false);
}

void frmConfigMain::mFileSaveProj_Click() {
    SettingWriter::SaveProject(true, true);
}

void frmConfigMain::mFileContent_Click() {
    FormObj<frmBasicConfig>().LoadFormObj();
}

void frmConfigMain::mFileSysExit_Click() {
    if (MayLeave()) LedgrixConfigMain::sysExit(0);
}

void frmConfigMain::mHelpAbout_Click() {
    frmAboutLedgrixConfig::ShowModal(this);
}

void frmConfigMain::mConfigGroupConnectDB_Click() {
    const QStringList items = SelectedItems();
    if (items[0] != QLatin1String("SAVEGROUP")) return;
    const int16_t index = SaveGroupUtil::GetSaveGroupIndex(items[1]);
    if (index > 0) DBProbeUtil::TestDBConnection(State().Group(index), true);
}

void frmConfigMain::mConfigTagContent_Click() {
    const QStringList items = SelectedItems();
    if (items[0] == QLatin1String("FIELD")) EditField(items[1], items[2]);
}

void frmConfigMain::ConfigurePopup() {
    const QStringList items = SelectedItems();
    const QString kind = items[0];
    for (const MenuCaption& c : kPopupCaptions)
        if (auto* a = findChild<QAction*>(QLatin1String(c.item))) a->setText(Tx(c.text));
    const int column = kind == QLatin1String("PROJECT") ? 0 : kind == QLatin1String("SAVEGROUP") ? 1 : 2;
    if (kind != QLatin1String("PROJECT") && kind != QLatin1String("SAVEGROUP") &&
        kind != QLatin1String("FIELD"))
        return;
    for (const PopupItem& p : kPopupItems)
        if (auto* a = findChild<QAction*>(QLatin1String(p.item)))
            a->setVisible(column == 0 ? p.project : column == 1 ? p.group : p.field);

    const QString name = items[column == 1 ? 1 : 2];
    const QString bracketed = u'(' + name + u')';
    if (column == 1) {
        selectedGroupIndex_ = SaveGroupUtil::GetSaveGroupIndex(name);
        mConfigGroupDelete->setText(Tx(kDelete) + bracketed);
        mConfigGroupRename->setText(Tx(kRename) + bracketed);
        mConfigGroupContent->setText(Tx(kContent) + bracketed + QStringLiteral("..."));
        const QString table = SaveGroupUtil::GetSaveGroupTableName(name);
        const bool found = selectedGroupIndex_ > 0;
        const QString type = found ? State().Group(selectedGroupIndex_).S().dbDBTypeName : QString();
        mConfigGroupConnectDB->setEnabled(found && !table.isEmpty());
        mConfigTagAddNew1->setEnabled(found &&
                                      (type == QLatin1String("CSV") ||
                                       (!type.isEmpty() && !table.isEmpty() && table != QLatin1String("$"))));
    } else if (column == 2) {
        mConfigTagContent->setText(Tx(kContent) + bracketed + QStringLiteral("..."));
        mConfigTagDelete->setText(Tx(kDelete) + bracketed);
        mConfigTagRename->setText(Tx(kRename) + bracketed);
    }
}

void frmConfigMain::tvTreeView_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
    if (button != Qt::RightButton || !tvTreeView->currentItem()) return;
    ConfigurePopup();
    mConfigPop->exec(globalPos);
    mklvNodeContent();
}

void frmConfigMain::lvListView_DblClick() {
    QTreeWidgetItem* row = lvListView->currentItem();
    if (!row || !row->isSelected()) return;
    const QStringList items = TagItems(TagOf(row));
    if (items[0] == QLatin1String("SAVEGROUP")) {
        FormObj<frmGroupConfig>().LoadFormObj(items[1], false);
        mkFieldNodes(items[1]);
    } else if (items[0] == QLatin1String("FIELD"))
        EditField(items[1], items[2]);
    mklvNodeContent();
}

// ---- Closing ----

bool frmConfigMain::MayLeave() {
    ConfigState& cf = Config();
    if (State().ProjectName.isEmpty() || !cf.IsProjectLoaded || cf.IsModified == 0) return true;
    QString why;
    if (SettingWriter::CheckSaveGroups(why)) return true;
    // Saving would refuse the settings: the engineer goes back to correct them or leaves
    // without saving, knowing why.
    if (MsgBox(why + kCRLF + kCRLF + Tx(kLeaveWithoutSaving),
               MsgStyle::Question | MsgStyle::YesNo | MsgStyle::DefaultButton2,
               Tx(kSaveTitle)) != MsgAnswer::Yes)
        return false;
    cf.IsModified = 0;
    return true;
}

void frmConfigMain::Form_Unload() {
    if (!MayLeave()) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || !qobject_cast<QDialog*>(w)) continue;
        w->close();
        w->deleteLater();
    }
    QSettings settings(QStringLiteral("LedgrixConfig"), QStringLiteral("LedgrixConfig"));
    settings.beginGroup(QStringLiteral("Settings"));
    if (!isMinimized()) {
        const QRect frame = frameGeometry();
        const auto twips = [](int px) { return QString::number(static_cast<int>(px * kTwipsPerPixel)); };
        settings.setValue(QStringLiteral("MainLeft"), twips(frame.x()));
        settings.setValue(QStringLiteral("MainTop"), twips(frame.y()));
        settings.setValue(QStringLiteral("MainWidth"), twips(frame.width()));
        settings.setValue(QStringLiteral("MainHeight"), twips(frame.height()));
    }
    settings.setValue(QStringLiteral("ViewMode"), kViewModeReport);
    settings.endGroup();
    settings.sync();  // the orderly exit ends the process at once
    LedgrixConfigMain::sysExit(0);
}

void frmConfigMain::closeEvent(QCloseEvent* event) {
    event->ignore();
    Form_Unload();
}
