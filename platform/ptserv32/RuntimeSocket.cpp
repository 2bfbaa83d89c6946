#include "platform/ptserv32/RuntimeSocket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/captions/RuntimeFolder.h"

namespace ptserv {

namespace {

std::string Uid(unsigned long uid) {
    return "(uid " + std::to_string(uid) + ')';
}

std::string Why(int error) {
    return std::string(" (") + std::strerror(error) + ')';
}

// What is wrong with the name `path` as the runtime's socket; empty when it is this user's socket
// or nothing stands there.
std::string SocketFault(const std::string& path) {
    const std::string socket = "the runtime's socket " + path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        const int error = errno;
        return error == ENOENT ? std::string() : socket + " cannot be looked at" + Why(error);
    }
    if (S_ISLNK(st.st_mode)) return socket + " is a link";
    if (!S_ISSOCK(st.st_mode)) return socket + " is not a socket";
    if (st.st_uid != ::geteuid()) return socket + " is owned by another user " + Uid(st.st_uid);
    return {};
}

// What is wrong with the process at the other end of `fd`; empty when it runs as this user.
std::string PeerFault(int fd, const std::string& path) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
        const int error = errno;
        return "the runtime at " + path + " cannot be identified" + Why(error);
    }
    if (peer.uid != ::geteuid()) return "the runtime at " + path + " is run by another user " + Uid(peer.uid);
    return {};
}

}  // namespace

int ConnectRuntimeSocket(const std::string& folder, std::string& refusal) {
    refusal.clear();
    const RuntimeFolderState state = CheckRuntimeFolder(folder);
    if (!state.Usable()) {
        refusal = RuntimeFolderRefusal(folder, state);
        return -1;
    }
    const std::string path = folder + "/hexvane.sock";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        refusal = "the runtime's socket " + path + " has a name too long to reach";
        return -1;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    refusal = SocketFault(path);
    if (!refusal.empty()) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    // A link put in the socket's place after the look above would be followed here; the check
    // of the peer's user still holds for whatever end it led to.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    refusal = PeerFault(fd, path);
    if (!refusal.empty()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace ptserv
