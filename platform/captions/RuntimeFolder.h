// The runtime folder shared by all our programs: the caption lock files and the HMI runtime's
// socket live there. Plain C++ so that the tag-manager library can use it without Qt.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// What makes a runtime folder unusable. Whoever else may write to it could plant a false
// runtime socket or caption locks there.
enum class RuntimeFolderFault {
    None,
    Unavailable,   // missing, or cannot be made or looked at (error)
    SymbolicLink,  // the name is a symbolic link
    NotAFolder,
    OtherOwner,    // owned by another user (owner)
    OpenToOthers,  // group or others have permission bits (mode)
};

struct RuntimeFolderState {
    RuntimeFolderFault fault = RuntimeFolderFault::None;
    int error = 0;
    unsigned long owner = 0;
    unsigned mode = 0;
    bool Usable() const { return fault == RuntimeFolderFault::None; }
};

// The folder itself, not what a symbolic link points to: usable only as a real folder owned by
// this user with no permission for group or others.
inline RuntimeFolderState CheckRuntimeFolder(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();  // a trailing '/' follows links
    RuntimeFolderState s;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        s.fault = RuntimeFolderFault::Unavailable;
        s.error = errno;
    } else if (S_ISLNK(st.st_mode)) {
        s.fault = RuntimeFolderFault::SymbolicLink;
    } else if (!S_ISDIR(st.st_mode)) {
        s.fault = RuntimeFolderFault::NotAFolder;
    } else if (st.st_uid != ::geteuid()) {
        s.fault = RuntimeFolderFault::OtherOwner;
        s.owner = st.st_uid;
    } else if ((st.st_mode & 077) != 0) {
        s.fault = RuntimeFolderFault::OpenToOthers;
        s.mode = st.st_mode & 07777;
    }
    return s;
}

// "the runtime folder <path> cannot be used: <what is wrong>", for the command-line tools.
inline std::string RuntimeFolderRefusal(const std::string& path, const RuntimeFolderState& s) {
    std::string why;
    switch (s.fault) {
        case RuntimeFolderFault::None:
            return {};
        case RuntimeFolderFault::Unavailable:
            why = std::string("it cannot be made or read (") + std::strerror(s.error) + ')';
            break;
        case RuntimeFolderFault::SymbolicLink:
            why = "it is a symbolic link, not a folder";
            break;
        case RuntimeFolderFault::NotAFolder:
            why = "it is not a folder";
            break;
        case RuntimeFolderFault::OtherOwner:
            why = "it belongs to another user (uid " + std::to_string(s.owner) + ')';
            break;
        case RuntimeFolderFault::OpenToOthers: {
            char mode[16];
            std::snprintf(mode, sizeof mode, "%04o", s.mode);
            why = std::string("other users may use it (mode ") + mode + ')';
            break;
        }
    }
    return "the runtime folder " + path + " cannot be used: " + why;
}
