// Diagnostics log of libVexShared: registered modules append one line per
// entry to their log file in the appliance root (format in README.md).
#include <errno.h>
#include <string.h>

#include <map>
#include <mutex>
#include <string>

#include "VexShared.h"
#include "appliance_files.h"

namespace platform {

namespace {

// All ones is what callers hold before registering; never hand it out.
const uint32_t kInvalidHandle = 0xFFFFFFFFu;

struct DiagModule {
  std::string tag;
  std::string logFile;
};

std::mutex g_diagMutex;
std::map<uint32_t, DiagModule> g_modules;
uint32_t g_nextHandle = 1;

bool isControlCharacter(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

bool hasControlCharacter(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (isControlCharacter(*p)) return true;
  }
  return false;
}

// A log file must stay inside the appliance root.
bool isPlainFileName(const char* name) {
  return name != nullptr && *name != '\0' && strchr(name, '/') == nullptr && strcmp(name, ".") != 0 &&
         strcmp(name, "..") != 0 && !hasControlCharacter(name);
}

}  // namespace

}  // namespace platform

int VexDiagRegisterModule(const char* /*moduleFile*/, const char* moduleTag, int /*reserved*/,
                          const char* logFile, uint32_t* handle) {
  using namespace platform;
  if (handle == nullptr || moduleTag == nullptr || *moduleTag == '\0' || hasControlCharacter(moduleTag) ||
      !isPlainFileName(logFile)) {
    return EINVAL;
  }
  std::lock_guard<std::mutex> lock(g_diagMutex);
  while (g_nextHandle == 0 || g_nextHandle == kInvalidHandle || g_modules.count(g_nextHandle) != 0) {
    ++g_nextHandle;
  }
  *handle = g_nextHandle++;
  g_modules[*handle] = {moduleTag, logFile};
  return 0;
}

int VexDiagAddLogEntry(uint32_t handle, int /*kind*/, uint16_t severity, uint32_t alarm, const char* text) {
  using namespace platform;
  if (text == nullptr) return EINVAL;
  DiagModule module;
  {
    std::lock_guard<std::mutex> lock(g_diagMutex);
    auto it = g_modules.find(handle);
    if (it == g_modules.end()) return ENOENT;
    module = it->second;
  }
  std::string cleanText = text;
  for (char& c : cleanText) {
    if (isControlCharacter(c)) c = ' ';
  }
  // line: tag TAB severity TAB alarm TAB text
  std::string line =
      module.tag + '\t' + std::to_string(severity) + '\t' + std::to_string(alarm) + '\t' + cleanText + '\n';
  return appendToFile(appliancePath(module.logFile), line);
}

int VexDiagDeregisterModule(uint32_t handle) {
  using namespace platform;
  std::lock_guard<std::mutex> lock(g_diagMutex);
  return g_modules.erase(handle) == 1 ? 0 : ENOENT;
}
