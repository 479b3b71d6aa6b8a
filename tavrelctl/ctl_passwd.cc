#include "ctl_passwd.h"

#include <crypt.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

std::string ctlHashPassword(const std::string& password) {
  const char* setting = crypt_gensalt_ra("$y$", 0, nullptr, 0);
  if (setting == nullptr) setting = crypt_gensalt_ra("$6$", 0, nullptr, 0);
  if (setting == nullptr) return "";
  struct crypt_data data;
  std::memset(&data, 0, sizeof(data));
  const char* hash = crypt_r(password.c_str(), setting, &data);
  std::free(const_cast<char*>(setting));
  // libxcrypt marks a failure with a hash starting with "*".
  if (hash == nullptr || hash[0] == '*') return "";
  return hash;
}

std::string ctlChangeCredentials(const std::string& text, const std::string& user, const std::string& hash,
                                 bool* found) {
  std::istringstream lines(text);
  std::string out;
  *found = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, user.size() + 1, user + ":") == 0) {
      if (!*found && !hash.empty()) out += user + ":" + hash + "\n";
      *found = true;
      continue;
    }
    out += line + "\n";
  }
  if (!*found && !hash.empty()) out += user + ":" + hash + "\n";
  return out;
}

std::string ctlReplaceCredentialsFile(const std::string& path, const std::string& text) {
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(&temp[0]);
  if (fd < 0) return "cannot create a file beside " + path + ": " + std::strerror(errno);
  std::string why;
  size_t done = 0;
  while (why.empty() && done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      why = std::string("cannot write: ") + std::strerror(errno);
    else
      done += static_cast<size_t>(n);
  }
  if (why.empty() && fchmod(fd, S_IRUSR | S_IWUSR) != 0) why = std::string("chmod: ") + std::strerror(errno);
  if (why.empty() && fchown(fd, 0, 0) != 0) why = std::string("chown root: ") + std::strerror(errno);
  if (why.empty() && fsync(fd) != 0) why = std::string("fsync: ") + std::strerror(errno);
  if (close(fd) != 0 && why.empty()) why = std::string("close: ") + std::strerror(errno);
  if (why.empty() && rename(temp.c_str(), path.c_str()) != 0)
    why = "cannot replace " + path + ": " + std::strerror(errno);
  if (!why.empty()) unlink(temp.c_str());
  return why;
}

bool ctlReadPasswordFromTerminal(const std::string& prompt, std::string& password) {
  int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  struct termios saved;
  bool ok = tcgetattr(fd, &saved) == 0;
  if (ok) {
    struct termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHOE | ECHOK | ECHONL));
    ok = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
  }
  if (ok) {
    ssize_t ignored = write(fd, prompt.data(), prompt.size());
    (void)ignored;
    password.clear();
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') password += c;
    tcsetattr(fd, TCSAFLUSH, &saved);
    ignored = write(fd, "\n", 1);
  }
  close(fd);
  return ok;
}
