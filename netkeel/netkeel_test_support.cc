#include "netkeel_test_support.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace netkeel_test {

namespace {
const char kRootVariable[] = "TAVREL_PLATFORM_DIR";
}

PlatformRoot::PlatformRoot() : owned_(true) {
  char pattern[] = "/tmp/netkeel-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  path_ = made != nullptr ? made : "";
  if (const char* value = getenv(kRootVariable)) {
    previous_ = value;
    hadPrevious_ = true;
  }
  setenv(kRootVariable, path_.c_str(), 1);
}

PlatformRoot::PlatformRoot(const std::string& existing) : path_(existing) {
  if (const char* value = getenv(kRootVariable)) {
    previous_ = value;
    hadPrevious_ = true;
  }
  setenv(kRootVariable, path_.c_str(), 1);
}

PlatformRoot::~PlatformRoot() {
  if (hadPrevious_) {
    setenv(kRootVariable, previous_.c_str(), 1);
  } else {
    unsetenv(kRootVariable);
  }
  if (owned_ && !path_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
}

void PlatformRoot::writeRegistry(const std::vector<RegistryEntry>& entries) const {
  const std::string target = path_ + "/registry";
  {
    std::ofstream out(target + ".tmp", std::ios::trunc);
    for (const RegistryEntry& entry : entries) {
      out << entry.key << '\t' << entry.valueName << '\t' << entry.value << '\n';
    }
  }
  std::filesystem::rename(target + ".tmp", target);
}

std::vector<Alarm> PlatformRoot::alarms() const {
  std::vector<Alarm> result;
  std::ifstream in(path_ + "/LAN.log");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Alarm alarm;
    std::string severity;
    std::string number;
    if (std::getline(fields, alarm.tag, '\t') && std::getline(fields, severity, '\t') &&
        std::getline(fields, number, '\t')) {
      std::getline(fields, alarm.text);
      alarm.severity = std::stoi(severity);
      alarm.number = static_cast<uint32_t>(std::stoul(number));
      result.push_back(alarm);
    }
  }
  return result;
}

bool runCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return false;
  }
  std::string text;
  char buffer[512];
  size_t length = 0;
  while ((length = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
    text.append(buffer, length);
  }
  const int status = pclose(pipe);
  if (output != nullptr) {
    *output = text;
  }
  return status == 0;
}

}  // namespace netkeel_test
