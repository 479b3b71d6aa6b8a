#include "sandbox_util.h"

#include <crypt.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace tavrel::sandbox {

const char kCimUser[] = "cimadmin";
const char kCimPassword[] = "Tavrel-test-1";

std::string cimUrl(unsigned short port, const char* scheme) {
  return std::string(scheme) + "://" + kCimUser + ":" + kCimPassword + "@127.0.0.1:" + std::to_string(port);
}

bool writeCredentialsFile(const std::string& path) {
  struct crypt_data data = {};
  const char* hash = crypt_r(kCimPassword, "$6$tavreltest$", &data);
  if (hash == nullptr || hash[0] == '*') return false;
  ::unlink(path.c_str());
  return writeFile(path, std::string(kCimUser) + ":" + hash + "\n") &&
         ::chmod(path.c_str(), S_IRUSR | S_IWUSR) == 0;
}

bool writeTestCertificate(const std::string& certPath, const std::string& keyPath) {
  return runCommand("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -keyout " +
                    shellQuote(keyPath) + " -out " + shellQuote(certPath) + " 2>/dev/null")
             .status == 0;
}

CommandResult runCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return result;
  }
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
    result.output.append(chunk, got);
  }
  const int raw = pclose(pipe);
  if (raw == -1) {
    result.status = -1;
  } else if (WIFEXITED(raw)) {
    result.status = WEXITSTATUS(raw);
  } else if (WIFSIGNALED(raw)) {
    result.status = 128 + WTERMSIG(raw);
  }
  return result;
}

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  return static_cast<bool>(out);
}

bool fileExists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

bool insideAppliance() {
  const char* flag = std::getenv("TAVREL_APPLIANCE");
  return flag != nullptr && std::string(flag) == "1";
}

}  // namespace tavrel::sandbox
