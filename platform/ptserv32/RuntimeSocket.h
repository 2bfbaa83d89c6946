// The runtime's socket "hexvane.sock" in the runtime folder, reached only where no other user can
// stand in for the runtime. Plain C++ (no Qt).
#pragma once
#include <string>

namespace ptserv {

// A connected, non-blocking, close-on-exec socket to the runtime of `folder`, or -1. Used only
// when the folder is usable (CheckRuntimeFolder), the socket there is a socket itself (not a link
// to one elsewhere) owned by this user, and the process listening on it runs as this user. With
// -1, `refusal` says which of these fails, in a few English words naming the folder or the socket,
// the same words each time for the same fault; it is empty when the runtime is merely absent (no
// socket, nobody listening, or its queue of new connections full).
int ConnectRuntimeSocket(const std::string& folder, std::string& refusal);

}  // namespace ptserv
