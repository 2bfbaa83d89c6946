// The library's connection reaches the runtime's socket only where no other user can stand in
// for the runtime, and names what it refused.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/captions/RuntimeFolder.h"
#include "platform/ptserv32/Connection.h"

namespace {

// A socket listening at `path`; -1 when it cannot be made.
int Listen(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
        ::listen(fd, 8) == 0)
        return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

class RuntimeSocket : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/ledgrix-socket-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        root = name;
        folder = root + "/run";
        socket = folder + "/hexvane.sock";
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    }
    void TearDown() override {
        for (const int fd : listening) ::close(fd);
        std::filesystem::remove_all(root);
    }
    int ListenAt(const std::string& path) {
        const int fd = Listen(path);
        if (fd >= 0) listening.push_back(fd);
        return fd;
    }

    std::string root, folder, socket;
    std::vector<int> listening;
    ptserv::Connection connection;
};

}  // namespace

TEST_F(RuntimeSocket, OnlyTheUsersOwnSocketInAUsableFolderIsUsed) {
    // Merely absent: nothing there, or a socket nobody listens on any more. Nothing refused.
    EXPECT_FALSE(connection.Open(folder));
    EXPECT_EQ(connection.Refusal(), "");
    ::close(Listen(socket));
    EXPECT_FALSE(connection.Open(folder));
    EXPECT_EQ(connection.Refusal(), "");
    ASSERT_EQ(::unlink(socket.c_str()), 0);

    ASSERT_GE(ListenAt(socket), 0);
    EXPECT_TRUE(connection.Open(folder));
    EXPECT_EQ(connection.Refusal(), "");
    connection.Close();

    // A link to a runtime listening elsewhere is not followed.
    const std::string elsewhere = root + "/elsewhere.sock";
    ASSERT_GE(ListenAt(elsewhere), 0);
    ASSERT_EQ(::rename(socket.c_str(), (root + "/kept.sock").c_str()), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), socket.c_str()), 0);
    EXPECT_FALSE(connection.Open(folder));
    EXPECT_EQ(connection.Refusal(), "the runtime's socket " + socket + " is a link");
    ASSERT_EQ(::unlink(socket.c_str()), 0);

    // A folder others may write to is not used, whatever socket it holds; nor a folder removed.
    ASSERT_EQ(::rename((root + "/kept.sock").c_str(), socket.c_str()), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    EXPECT_FALSE(connection.Open(folder));
    EXPECT_EQ(connection.Refusal(),
              "the runtime folder " + folder + " cannot be used: other users may use it (mode 0777)");
    std::filesystem::remove_all(folder);
    EXPECT_FALSE(connection.Open(folder));
    EXPECT_EQ(connection.Refusal(),
              "the runtime folder " + folder +
                  " cannot be used: it cannot be made or read (No such file or directory)");
}

// Another user's socket, or a runtime run by another user: staged only where the test may act as
// another user.
TEST_F(RuntimeSocket, AnotherUsersRuntimeIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to stand in for another user";
    constexpr uid_t other = 65534;
    ASSERT_GE(ListenAt(socket), 0);
    ASSERT_EQ(::chown(socket.c_str(), other, other), 0);
    EXPECT_FALSE(connection.Open(folder));
    EXPECT_EQ(connection.Refusal(),
              "the runtime's socket " + socket + " is owned by another user (uid 65534)");
    ASSERT_EQ(::unlink(socket.c_str()), 0);

    // The socket is this user's, but the process listening on it is not.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, socket.c_str(), sizeof addr.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
                        ::setgid(other) == 0 && ::setuid(other) == 0 && ::listen(fd, 8) == 0;
        const char byte = ok ? '1' : '0';
        (void)!::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    EXPECT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, '1');
    EXPECT_FALSE(connection.Open(folder));
    EXPECT_EQ(connection.Refusal(), "the runtime at " + socket + " is run by another user (uid 65534)");
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
}
