// The message boxes as the callers know them: the styles (buttons, icon, default button) and the
// answers they pass and compare, and the service that shows one box. The program installs one
// service (QtMessageService, or a recording one in tests); the shared code reaches it through
// MsgBox.
#pragma once
#include <QString>

// Message box styles and answers, as the callers pass and compare them.
namespace MsgStyle {
constexpr int OkOnly = 0;
constexpr int OkCancel = 1;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;     // the second button is the default
constexpr int Buttons = 0x0F;           // the part of a style that names the buttons
constexpr int FixedPitch = 0x10000000;  // ours: the text in a fixed-width font, so columns line up
}  // namespace MsgStyle
namespace MsgAnswer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace MsgAnswer

// The answer of a box's first and second button, and of its default button.
int FirstButtonAnswer(int style);
int SecondButtonAnswer(int style);
int DefaultAnswer(int style);

class MessageService {
  public:
    virtual ~MessageService() = default;
    // Shows one box and returns the answer (MsgAnswer).
    virtual int Show(const QString& text, int style, const QString& title) = 0;
};

// The program's message service (not owned): the one installed last, none at first.
void InstallMessageService(MessageService* service);
MessageService* InstalledMessageService();
