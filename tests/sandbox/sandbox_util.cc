#include "sandbox_util.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace tavrel::sandbox {

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
