// Fuzz target of the credentials readers: the first line of the input is
// the credentials file (its "\t" standing for line breaks), the rest the
// Authorization header checked against it. Whatever the input, the readers
// neither crash nor accept a header without the file's password.
#include "HTTPBasicAuth.h"
#include "fuzz_target.h"

#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    char tmpl[] = "/tmp/owauthfuzzXXXXXX";
    int fd = mkstemp(tmpl);
    if (fd < 0) __builtin_trap();
    close(fd);
    return std::string(tmpl);
  }();
  std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t newline = input.find('\n');
  std::string file = input.substr(0, newline);
  std::string header = newline == std::string::npos ? std::string() : input.substr(newline + 1);
  std::replace(file.begin(), file.end(), '\t', '\n');
  int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0 || write(fd, file.data(), file.size()) != static_cast<ssize_t>(file.size())) __builtin_trap();
  close(fd);
  OpenWBEM::HTTPBasicAuth auth;
  std::string user;
  if (auth.load(path).error.empty() && auth.verify(header, user) && user.empty()) __builtin_trap();
  return 0;
}
