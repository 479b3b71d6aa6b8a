// Reports to systemd: one datagram to the socket NOTIFY_SOCKET names, a
// path or an abstract name ("@..."); nothing without a manager.
#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "dhcpcompnotify.h"
#include "test_support.h"

namespace {

// A datagram socket bound to address (a leading '@' names an abstract one).
int boundSocket(const std::string& address) {
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  struct sockaddr_un sa = {};
  sa.sun_family = AF_UNIX;
  memcpy(sa.sun_path, address.data(), address.size());
  if (address[0] == '@') sa.sun_path[0] = '\0';
  socklen_t length = static_cast<socklen_t>(offsetof(struct sockaddr_un, sun_path) + address.size());
  if (fd >= 0 && bind(fd, reinterpret_cast<struct sockaddr*>(&sa), length) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

TEST(NotifyTest, StateReachesTheManagersSocketOnly) {
  tavrel::test::TempDir dir;
  const std::string abstractName = "@tavrel-notify-test-" + std::to_string(getpid());
  struct {
    const char* socketVariable;  // null: unset
    int result;
  } cases[] = {{nullptr, 0}, {"relative/notify", 0}, {"", 0}, {"path", 1}, {"abstract", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.socketVariable ? c.socketVariable : "unset");
    std::string address = c.socketVariable ? c.socketVariable : "";
    if (address == "path") address = dir.file("notify");
    if (address == "abstract") address = abstractName;
    int fd = c.result == 1 ? boundSocket(address) : -1;
    ASSERT_TRUE(c.result == 0 || fd >= 0) << strerror(errno);
    if (c.socketVariable)
      setenv("NOTIFY_SOCKET", address.c_str(), 1);
    else
      unsetenv("NOTIFY_SOCKET");
    EXPECT_EQ(c.result, dhcpCompNotifyServiceManager("READY=1"));
    if (fd >= 0) {
      char got[32] = "";
      EXPECT_EQ(7, recv(fd, got, sizeof(got) - 1, MSG_DONTWAIT));
      EXPECT_STREQ("READY=1", got);
      close(fd);
    }
  }
  unsetenv("NOTIFY_SOCKET");
}

}  // namespace
