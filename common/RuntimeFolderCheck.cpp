#include "common/RuntimeFolderCheck.h"

#include <cstring>

#include "common/ProgramHooks.h"
#include "common/ProgramState.h"
#include "common/Texts.h"
#include "platform/captions/Captions.h"

namespace {

const TextPair kTitle{"Cannot use the runtime folder", "無法使用執行資料夾"};
const TextPair kCannotRun{"The program cannot be running.\r\n", "程式無法執行。\r\n"};
const TextPair kFolder{"The runtime folder [", "執行資料夾 ["};
const TextPair kMiddle{"] cannot be used: ", "] 無法使用: "};
const TextPair kUnavailable{"it cannot be made or read [", "無法建立或讀取 ["};
const TextPair kSymbolicLink{"it is a symbolic link, not a folder", "它是符號連結，不是資料夾"};
const TextPair kNotAFolder{"it is not a folder", "它不是資料夾"};
const TextPair kOtherOwner{"it belongs to another user [uid ", "它屬於其他使用者 [uid "};
const TextPair kOpenToOthers{"other users may use it [mode ", "其他使用者也能使用它 [權限 "};
const TextPair kTail{".\r\nPlease remove it, or set LEDGRIX_WINDOW_DIR to a folder of your own (mode 0700).",
                     "。\r\n請刪除此資料夾，或將 LEDGRIX_WINDOW_DIR 設為您自己的資料夾 (權限 0700)。"};

// What is wrong with a folder that is not usable.
QString Why(const RuntimeFolderState& state) {
    switch (state.fault) {
        case RuntimeFolderFault::None:
            break;
        case RuntimeFolderFault::Unavailable:
            return Tx(kUnavailable) + QString::fromLocal8Bit(std::strerror(state.error)) + u']';
        case RuntimeFolderFault::SymbolicLink:
            return Tx(kSymbolicLink);
        case RuntimeFolderFault::NotAFolder:
            return Tx(kNotAFolder);
        case RuntimeFolderFault::OtherOwner:
            return Tx(kOtherOwner) + QString::number(state.owner) + u']';
        case RuntimeFolderFault::OpenToOthers:
            return Tx(kOpenToOthers) + QStringLiteral("%1]").arg(state.mode, 4, 8, QChar(u'0'));
    }
    return {};
}

}  // namespace

QString RuntimeFolderFaultText(const RuntimeFolderState& state) {
    return Tx(kFolder) + QString::fromStdString(LedgrixRuntimeFolderPath()) + Tx(kMiddle) + Why(state);
}

void RefuseUnusableRuntimeFolder() {
    const RuntimeFolderState state = MakeRuntimeFolder();
    if (state.Usable()) return;
    ProgramState& st = State();
    st.ErrorText = Tx(kCannotRun) + RuntimeFolderFaultText(state) + Tx(kTail);
    st.ErrorCaption = Tx(kTitle);
    MsgBox(st.ErrorText, MsgStyle::Critical | MsgStyle::OkOnly, st.ErrorCaption);
    sysExit(-1);
}
