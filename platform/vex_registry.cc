// Registry calls of libVexShared over the registry file (format in
// README.md): values, and iteration over keys one or two levels down.
#include "vex_registry.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "VexShared.h"
#include "appliance_files.h"

namespace platform {

namespace {

const char kRegistryFile[] = "registry";
const char kSeparator = '\\';
const unsigned long kUint16Max = 65535;

bool isSafeField(const char* text) {
  return text != nullptr && *text != '\0' && strpbrk(text, "\t\r\n") == nullptr;
}

int readRegistry(std::vector<RegistryEntry>* entries, std::string* text) {
  int rc = readWholeFile(registryPath(), text);
  if (rc == ENOENT) {
    text->clear();
    rc = 0;
  }
  if (rc != 0) return rc;
  *entries = registryParse(*text);
  return 0;
}

// A key iterator's snapshot of the keys it lists.
struct KeyIterator {
  std::vector<std::string> keys;
  size_t next = 0;
};

// Lists the distinct keys `depth` levels below `parent`, in file order.
int beginIteration(VexPdrKeyIterator* iterator, const char* parent, int keySize, int depth, int maxSubKeys,
                   int maxKeys) {
  if (iterator == nullptr) return EINVAL;
  *iterator = nullptr;
  if (parent == nullptr || keySize <= 1 || maxSubKeys <= 0 || maxKeys <= 0) return EINVAL;

  std::string prefix = parent;
  while (!prefix.empty() && prefix.back() == kSeparator) prefix.pop_back();
  if (!prefix.empty()) prefix += kSeparator;

  std::string text;
  std::vector<RegistryEntry> entries;
  int rc = readRegistry(&entries, &text);
  if (rc != 0) return rc;

  auto* it = new KeyIterator;
  std::vector<std::pair<std::string, int>> perFirstLevel;
  for (const RegistryEntry& entry : entries) {
    if (static_cast<int>(it->keys.size()) >= maxKeys) break;
    if (entry.key.compare(0, prefix.size(), prefix) != 0) continue;
    // Cut the key after `depth` components below the prefix.
    size_t end = prefix.size();
    bool deepEnough = true;
    for (int level = 0; level < depth; ++level) {
      if (end >= entry.key.size()) {
        deepEnough = false;
        break;
      }
      size_t sep = entry.key.find(kSeparator, end);
      if (sep == end) {
        deepEnough = false;
        break;
      }
      end = sep == std::string::npos ? entry.key.size() : sep + 1;
    }
    if (!deepEnough) continue;
    std::string key = entry.key.substr(0, end);
    if (!key.empty() && key.back() == kSeparator) key.pop_back();
    if (static_cast<int>(key.size()) >= keySize) continue;
    if (std::find(it->keys.begin(), it->keys.end(), key) != it->keys.end()) continue;

    std::string first = key.substr(0, key.find(kSeparator, prefix.size()));
    auto counted = std::find_if(perFirstLevel.begin(), perFirstLevel.end(),
                                [&](const auto& p) { return p.first == first; });
    if (counted == perFirstLevel.end()) {
      perFirstLevel.emplace_back(first, 0);
      counted = perFirstLevel.end() - 1;
    }
    if (counted->second >= maxSubKeys) continue;
    ++counted->second;
    it->keys.push_back(key);
  }
  *iterator = it;
  return 0;
}

}  // namespace

std::vector<RegistryEntry> registryParse(const std::string& text) {
  std::vector<RegistryEntry> entries;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t newline = text.find('\n', begin);
    size_t end = newline == std::string::npos ? text.size() : newline;
    size_t contentEnd = end;
    if (contentEnd > begin && text[contentEnd - 1] == '\r') --contentEnd;
    if (contentEnd > begin && text[begin] != '#') {
      size_t tab1 = text.find('\t', begin);
      size_t tab2 = tab1 < contentEnd ? text.find('\t', tab1 + 1) : std::string::npos;
      if (tab1 > begin && tab2 < contentEnd) {
        entries.push_back({text.substr(begin, tab1 - begin), text.substr(tab1 + 1, tab2 - tab1 - 1),
                           text.substr(tab2 + 1, contentEnd - tab2 - 1), begin, contentEnd});
      }
    }
    begin = end + 1;
  }
  return entries;
}

std::string registryPath() {
  return appliancePath(kRegistryFile);
}

int registryReadValue(const std::string& key, const std::string& name, std::string* value) {
  std::string text;
  std::vector<RegistryEntry> entries;
  int rc = readRegistry(&entries, &text);
  if (rc != 0) return rc;
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (it->key == key && it->name == name) {
      *value = it->value;
      return 0;
    }
  }
  return ENOENT;
}

}  // namespace platform

using platform::KeyIterator;

int VexGetRegEntryStringEx(int /*area*/, const char* key, const char* valueName, char* buffer,
                           unsigned long bufferSize) {
  if (key == nullptr || valueName == nullptr || buffer == nullptr || bufferSize == 0) {
    return EINVAL;
  }
  buffer[0] = '\0';
  std::string value;
  int rc = platform::registryReadValue(key, valueName, &value);
  if (rc != 0) return rc;
  if (value.size() >= bufferSize) return ERANGE;
  memcpy(buffer, value.c_str(), value.size() + 1);
  return 0;
}

int VexSetRegEntryStringEx(int /*area*/, const char* key, const char* valueName, const char* text) {
  if (!platform::isSafeField(key) || !platform::isSafeField(valueName) || text == nullptr ||
      strpbrk(text, "\r\n") != nullptr) {
    return EINVAL;
  }
  platform::RootLock lock;
  if (lock.status() != 0) return lock.status();

  std::string content;
  std::vector<platform::RegistryEntry> entries;
  int rc = platform::readRegistry(&entries, &content);
  if (rc != 0) return rc;
  std::string line = std::string(key) + '\t' + valueName + '\t' + text;
  auto last = std::find_if(entries.rbegin(), entries.rend(),
                           [&](const auto& e) { return e.key == key && e.name == valueName; });
  if (last != entries.rend()) {
    content.replace(last->lineBegin, last->lineEnd - last->lineBegin, line);
  } else {
    if (!content.empty() && content.back() != '\n') content += '\n';
    content += line + '\n';
  }
  return platform::replaceFileAtomically(platform::registryPath(), content);
}

int VexGetRegEntryUint16Ex(int /*area*/, const char* key, const char* valueName, uint16_t* value) {
  if (key == nullptr || valueName == nullptr || value == nullptr) return EINVAL;
  std::string text;
  int rc = platform::registryReadValue(key, valueName, &text);
  if (rc != 0) return rc;
  // Plain decimal digits only: strtoul alone would accept signs and spaces.
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return EINVAL;
  errno = 0;
  unsigned long number = strtoul(text.c_str(), nullptr, 10);
  if (errno != 0 || number > platform::kUint16Max) return ERANGE;
  *value = static_cast<uint16_t>(number);
  return 0;
}

int VexLevel1PdrKeyIteratorBegin(VexPdrKeyIterator* iterator, const char* key, int keySize, int maxKeys) {
  return platform::beginIteration(iterator, key, keySize, 1, maxKeys, maxKeys);
}

int VexLevel2PdrKeyIteratorBegin(VexPdrKeyIterator* iterator, const char* key, int keySize, int maxSubKeys,
                                 int maxKeys) {
  return platform::beginIteration(iterator, key, keySize, 2, maxSubKeys, maxKeys);
}

int VexPdrKeyIteratorGetNextKey(VexPdrKeyIterator iterator, char* keyBuffer) {
  auto* it = static_cast<KeyIterator*>(iterator);
  if (it == nullptr || keyBuffer == nullptr) return EINVAL;
  if (it->next >= it->keys.size()) return ENOENT;
  const std::string& key = it->keys[it->next++];
  memcpy(keyBuffer, key.c_str(), key.size() + 1);
  return 0;
}

int VexPdrKeyIteratorEnd(VexPdrKeyIterator iterator) {
  delete static_cast<KeyIterator*>(iterator);
  return 0;
}
