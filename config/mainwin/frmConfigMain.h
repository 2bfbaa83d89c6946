// The configuration program's main window: the project tree on the left, the content list of the
// selected node on the right, a movable splitter between them, a title strip above both, a status
// bar below, the File and Help menus and the tree's pop-up menu, and the commands that add,
// rename and delete save groups and fields. One instance for the whole run; its close is the
// program's orderly exit.
//
// Every tree node and list row carries a tag: "PROJECT,<project>", "SAVEGROUP,<group>" or
// "FIELD,<group>,<field>"; a tree node's tag is also its key. The tree holds the project node and,
// under it, one node per save group with one node per field.
#pragma once
#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QStringList>
#include <cstdint>

#include "common/Settings.h"
#include "platform/captions/Captions.h"
#include "ui_frmConfigMain.h"

class QLabel;
class QTreeWidgetItem;

class frmConfigMain : public QMainWindow, public Ui::frmConfigMain {
    Q_OBJECT
  public:
    explicit frmConfigMain(QWidget* parent = nullptr);

    // Sets the captions in the current language and holds the window caption.
    void LoadFormObj();
    // Lays the controls out for the splitter at X twips from the left (kept at least 2500 twips
    // from either edge; the clamped value is written back).
    void SizeControls(float& X);
    // The text of the status-bar panel with that key ("Status", "ProjName", "Mode", "Date").
    void SetStatusPanel(const QString& key, const QString& text);

    // Rebuilds the tree from the model and the list for the selected node.
    void mkTreeView();
    // Adds a node under the node keyed `parentTag` (a group under the project, a field under a
    // group) and selects it; null when the parent is missing or cannot hold such a node.
    QTreeWidgetItem* mkSaveGroupNode(const QString& parentTag, const QString& name, const QString& separator);
    // Rebuilds the field nodes of a group from the model, after a command that changed its
    // fields. The selection stays on the node with the tag `select` (by default the selected
    // node) when it still exists, else it moves to the group's node.
    void mkFieldNodes(const QString& groupName, const QString& select = QString());
    // Rebuilds the list and its title for the selected node.
    void mklvNodeContent();
    // The tree node keyed by the tag; null when none.
    QTreeWidgetItem* FindNode(const QString& tag) const;
    // The tag of the selected node; empty when none is selected.
    QString SelectedTag() const;
    // The items of a tag: 0 the kind, 1 the project or group, 2 the field (empty when missing).
    static QStringList TagItems(const QString& tag, const QString& separator = QStringLiteral(","));
    // The tags of a project, a save group and a field node.
    static QString ProjectTag(const QString& project);
    static QString GroupTag(const QString& group);
    static QString FieldTag(const QString& group, const QString& field);

    // The commands on save groups and fields; each acts on the selected node.
    void AddNewSaveGroup();
    void EditSaveGroup();
    void DeleteSaveGroup();
    void RenameSaveGroup();
    void AddNewField();
    void EditField(const QString& groupName, const QString& fieldName);
    void DeleteField();
    void RenameField();

    // Menu handlers.
    void mFile_Click();
    void mFileWizard_Click();
    void mFileOpenProj_Click();
    void mFileSaveProj_Click();
    void mFileContent_Click();
    void mFileSysExit_Click();
    void mHelpAbout_Click();
    void mConfigGroupConnectDB_Click();
    void mConfigTagContent_Click();
    // Sets the pop-up's items for the selected node (captions, visibility, enabling).
    void ConfigurePopup();
    // The right button released over the tree: the pop-up for the selected node at the pointer,
    // then the list rebuilt, whether or not an item was chosen.
    void tvTreeView_MouseUp(Qt::MouseButton button, const QPoint& globalPos);
    void tvTreeView_NodeClick();
    void lvListView_DblClick();

    // The window closes: the per-user window settings are stored and the program ends through
    // the orderly exit. Returns only when the edits cannot be saved and the engineer goes back to
    // correct them.
    void Form_Unload();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The least width of the window: 6000 twips, or what the status-bar panels need.
    void FitStatusPanels();
    void imgSplitter_MouseDown();
    void imgSplitter_MouseMove(float x);
    void imgSplitter_MouseUp();
    // True when the program may end: nothing unsaved that its checks refuse, or the engineer
    // chose to leave without saving.
    bool MayLeave();
    // The items of the selected node's tag.
    QStringList SelectedItems() const;
    // Adds a node under the group's node for each of its named fields.
    void AddFieldNodes(QTreeWidgetItem* groupNode, const QString& groupName, SaveGroupRecord& group);
    // Gives a node a new text and tag (its key) and puts it in its place among its siblings.
    void RenameNode(QTreeWidgetItem* node, const QString& text, const QString& tag);

    bool moving_ = false;
    QString lastNodeTag_;
    int16_t selectedGroupIndex_ = -1;
    QHash<QString, QLabel*> panels_;
    CaptionHold caption_;
    QIcon folderClosed_;  // the group and field nodes, drawn once
    QIcon folderOpen_;
};
