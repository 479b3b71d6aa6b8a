// Reports to systemd: one datagram to the socket NOTIFY_SOCKET names, a
// path or an abstract name ("@..."); nothing without a manager.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "notify.h"
#include "test_support.h"

TEST(NotifyTest, StateReachesTheManagersSocketOnly) {
  tavrel::test::TempDir dir;
  const std::string name = "@tavrel-notify-" + std::to_string(getpid());
  for (const std::string& address : {dir.file("notify"), name, std::string("relative"), std::string()}) {
    SCOPED_TRACE(address);
    bool listening = address[0] == '/' || address[0] == '@';
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    struct sockaddr_un sa = {};
    sa.sun_family = AF_UNIX;
    address.copy(sa.sun_path, sizeof(sa.sun_path) - 1);
    sa.sun_path[0] = address[0] == '@' ? '\0' : sa.sun_path[0];
    socklen_t length = static_cast<socklen_t>(offsetof(struct sockaddr_un, sun_path) + address.size());
    ASSERT_TRUE(!listening || bind(fd, reinterpret_cast<struct sockaddr*>(&sa), length) == 0);
    setenv("NOTIFY_SOCKET", address.c_str(), 1);
    EXPECT_EQ(listening ? 1 : 0, dhcpCompNotifyServiceManager("READY=1"));
    char got[16] = "";
    EXPECT_EQ(listening ? 7 : -1, recv(fd, got, sizeof(got) - 1, MSG_DONTWAIT));
    EXPECT_STREQ(listening ? "READY=1" : "", got);
    close(fd);
  }
  unsetenv("NOTIFY_SOCKET");
}
