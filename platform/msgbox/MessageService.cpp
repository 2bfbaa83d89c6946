#include "platform/msgbox/MessageService.h"

namespace {
MessageService* g_installed = nullptr;
}  // namespace

int FirstButtonAnswer(int style) {
    return (style & MsgStyle::Buttons) == MsgStyle::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
}

int SecondButtonAnswer(int style) {
    switch (style & MsgStyle::Buttons) {
        case MsgStyle::YesNo:
            return MsgAnswer::No;
        case MsgStyle::OkCancel:
            return MsgAnswer::Cancel;
        default:
            return MsgAnswer::Ok;  // a box with one button
    }
}

int DefaultAnswer(int style) {
    return (style & MsgStyle::DefaultButton2) ? SecondButtonAnswer(style) : FirstButtonAnswer(style);
}

void InstallMessageService(MessageService* service) {
    g_installed = service;
}

MessageService* InstalledMessageService() {
    return g_installed;
}
