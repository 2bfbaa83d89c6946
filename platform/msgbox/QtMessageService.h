// Message boxes of the running programs: a QMessageBox per box, or, when the environment
// variable LEDGRIX_MSGBOX is "stderr" (headless runs), one line per box on standard error
// "MSGBOX|<style>|<title>|<text>" with the line ends of the text written as \n. A headless box
// takes its answer from LEDGRIX_MSGBOX_ANSWERS (comma-separated "ok", "cancel", "yes", "no",
// one per box in order), else its default button's answer. With LEDGRIX_MSGBOX "window" each box
// is a real window that its scripted answer closes. A box of style MsgStyle::FixedPitch shows its
// text in a fixed-width font, as written (the headless line leaves that bit out of the style).
#pragma once
#include <QString>
#include <memory>

#include "platform/msgbox/MessageService.h"

class QMessageBox;

class QtMessageService : public MessageService {
  public:
    int Show(const QString& text, int style, const QString& title) override;

    // The one line written for a box in the headless mode (without the line end).
    static QString StderrLine(const QString& text, int style, const QString& title);
    static bool UseStderr();
    // The answer of a headless box to a scripted word: "ok" and "yes" press the first button,
    // "cancel" and "no" the second (the only one of an OK box); any other word, or none, the
    // default button.
    static int ScriptedAnswer(const QString& word, int style);
    // The window of a box: icon, title, text and buttons of its style, owned by the window that
    // opens it, and at least as wide as its title bar needs.
    static std::unique_ptr<QMessageBox> MakeBox(const QString& text, int style, const QString& title);

  private:
    QString NextScriptedWord();
    int answered_ = 0;  // scripted answers used so far
};

// Installs one program-wide QtMessageService as the message service.
void InstallQtMessageService();
