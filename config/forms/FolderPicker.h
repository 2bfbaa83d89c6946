// What the project and workstation pickers share: a list of the folders found on disk with the
// first one preselected, the chosen name in a label, and OK, which leaves True in mbuttonOK.
// They read the disk only.
#pragma once
#include <QString>
#include <QStringList>

#include "config/forms/FormSupport.h"

class QLabel;
class QListWidget;
class QPushButton;

// The folders directly in a folder (Windows form, resolved without regard to letter case),
// sorted without regard to letter case. Files are not listed, nor folders whose name holds a
// dot (the pickers list names without an extension). A missing folder gives an empty list.
QStringList ListSubfolders(const QString& folder);

// The texts that make a picker a project or a workstation picker.
struct PickerTexts {
    TextPair caption;    // the window caption
    TextPair nameLabel;  // Label1, the label of the chosen name
    // The message when OK finds no name chosen: title and three lines.
    TextPair title;
    TextPair failed;
    TextPair noneChosen;
    TextPair chooseOne;
};

class FolderPicker : public ConfigDialog {
    Q_OBJECT
  public:
    bool mbuttonOK = false;  // True after OK; False after Cancel or a new load

    // True when a name is chosen; otherwise the picker's message and False. mFocusObj stays empty.
    bool CheckFormObj() override;
    // Leaves True in mbuttonOK and the trimmed name in the form's name variable.
    void SaveFormObj() override;
    void cmdCancel_Click() override;
    // A click on the list copies the selected item's text into the name label; a double click
    // does the same and runs OK.
    void List_Click();
    void List_DblClick();

  protected:
    explicit FolderPicker(QWidget* parent);
    // The controls of the form, bound once after its layout is made.
    void Bind(const PickerTexts& texts, QListWidget* list, QLabel* name, QLabel* total, QPushButton* ok,
              QPushButton* cancel, QPushButton* help);
    // Resets the results, sets the captions, lists the folders of `folder`, preselects the first
    // and shows the form modally; returns when it is hidden.
    void LoadFolder(const QString& folder);

    virtual void SetName(const QString& name) = 0;  // the form's own name variable

  private:
    PickerTexts texts_{};
    QListWidget* list_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* total_ = nullptr;
};
