// The runtime folder shared by all our programs: the caption lock files and the HMI runtime's
// socket live there. Plain C++ so that the tag-manager library can use it without Qt.
#pragma once
#include <unistd.h>
#include <cstdlib>
#include <string>

// $LEDGRIX_WINDOW_DIR, else $XDG_RUNTIME_DIR/ledgrix-windows, else /tmp/ledgrix-windows-<uid>.
// The folder is not created here.
inline std::string LedgrixRuntimeFolderPath() {
    const char* own = std::getenv("LEDGRIX_WINDOW_DIR");
    if (own && *own) return own;
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg) return std::string(xdg) + "/ledgrix-windows";
    return "/tmp/ledgrix-windows-" + std::to_string(static_cast<unsigned long>(getuid()));
}

// The HMI runtime's socket in the runtime folder.
inline std::string HexvaneSocketPath() {
    return LedgrixRuntimeFolderPath() + "/hexvane.sock";
}
