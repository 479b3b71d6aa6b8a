// sd_notify's datagram protocol: one datagram of "KEY=VALUE" lines to the
// Unix socket in NOTIFY_SOCKET; a leading '@' names an abstract socket.
#include "notify.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int dhcpCompNotifyServiceManager(const char* state) {
  const char* path = getenv("NOTIFY_SOCKET");
  if (path == nullptr || (path[0] != '/' && path[0] != '@') || state == nullptr) return 0;
  struct sockaddr_un address;
  memset(&address, 0, sizeof(address));
  address.sun_family = AF_UNIX;
  size_t length = strlen(path);
  if (length >= sizeof(address.sun_path)) return -1;
  memcpy(address.sun_path, path, length);
  if (path[0] == '@') address.sun_path[0] = '\0';
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  ssize_t sent = sendto(fd, state, strlen(state), MSG_NOSIGNAL, reinterpret_cast<struct sockaddr*>(&address),
                        static_cast<socklen_t>(offsetof(struct sockaddr_un, sun_path) + length));
  close(fd);
  return sent == static_cast<ssize_t>(strlen(state)) ? 1 : -1;
}
