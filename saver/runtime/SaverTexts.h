// Texts that more than one part of the saver shows.
#pragma once
#include "common/Texts.h"

// The saver's main window caption, also the caption other savers look for.
inline constexpr TextPair kSaverCaption{"Ledgrix for Windows", "Ledgrix 資料庫存檔工具程式"};
// The tag-manager library is missing from the program folder.
inline constexpr TextPair kNoLibraryText{
    "The program cannot be running.\r\nThe file [PTSERV32.dll] is not exist.",
    "程式無法執行。\r\n找不到檔案 [PTSERV32.dll]。\r\n請將 PTSERV32.dll 放在程式資料夾中!"};
inline constexpr TextPair kNoLibraryTitle{"Programm error", "程式錯誤"};
// Another saver already runs.
inline constexpr TextPair kRunningText{"Ledgrix is running!", "Ledgrix 已經在執行中!"};
inline constexpr TextPair kRunningTitle{"Ledgrix", "Ledgrix 資料庫存檔工具程式"};
// The saver's line on a lost link to the HMI runtime.
inline constexpr TextPair kLinkLost{" | Error | Ledgrix.System | Ledgrix can not connect with Hexvane!",
                                    " | Error | Ledgrix.System | Ledgrix 無法與 Hexvane 連線!"};
