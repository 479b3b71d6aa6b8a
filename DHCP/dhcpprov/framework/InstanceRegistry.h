// The registry behind every instance manager: live objects by registry key
// (their key values joined by registryKeyOf), in byte-wise key order, with
// one iteration cursor shared by all callers.
#ifndef TAVREL_DHCPPROV_INSTANCE_REGISTRY_H
#define TAVREL_DHCPPROV_INSTANCE_REGISTRY_H

#include <cstddef>
#include <initializer_list>
#include <map>
#include <string>

#include "framework/CFG_Exception.h"

// Longest registry key of an object created over CIM: the key values of the
// classes served are a few dozen characters.
constexpr std::size_t kRegistryKeyMaxLength = 1024;
// Objects clients may create over CIM: association links, and service or
// setting-data objects beside the agent's own.
constexpr std::size_t kAssociationLinksMax = 64;
constexpr std::size_t kExtraSingletonsMax = 64;

// The registry key of an object's key values: joined by a zero byte, which
// no CIM string holds, so that different values never give one key ("ab"
// and "c", "a" and "bc") and the order follows the values.
inline std::string registryKeyOf(std::initializer_list<std::string> values) {
  std::string key;
  for (const std::string& v : values) {
    if (!key.empty() || &v != values.begin()) key += '\0';
    key += v;
  }
  return key;
}

template <class T>
class InstanceRegistry {
 public:
  // Without a capacity the registry is bounded by its owner (the agent's
  // identifier pools); with one it holds at most capacity objects, refuses
  // a second object under a taken key and keys longer than
  // kRegistryKeyMaxLength: for classes whose objects clients create.
  InstanceRegistry() : m_cursor(m_objects.end()) {}
  explicit InstanceRegistry(std::size_t capacity)
      : m_cursor(m_objects.end()), m_capacity(capacity), m_checked(true) {}
  InstanceRegistry(const InstanceRegistry&) = delete;
  InstanceRegistry& operator=(const InstanceRegistry&) = delete;

  // Stores object under key; without a capacity an entry with the same key
  // is replaced. CFG_RegistryRefusal as described above.
  void put(const std::string& key, T* object) {
    if (m_checked) {
      if (key.size() > kRegistryKeyMaxLength)
        throw CFG_RegistryRefusal(CFG_RegistryRefusal::KeyTooLong, kRegistryKeyMaxLength);
      if (m_objects.count(key) != 0)
        throw CFG_RegistryRefusal(CFG_RegistryRefusal::AlreadyExists, m_capacity);
      if (m_objects.size() >= m_capacity) throw CFG_RegistryRefusal(CFG_RegistryRefusal::Full, m_capacity);
    }
    m_objects[key] = object;
  }

  // Erases the entry of key, whichever object it holds. A cursor standing on
  // it moves on to the next entry, so an iteration survives the removal.
  void erase(const std::string& key) {
    typename Map::iterator entry = m_objects.find(key);
    if (entry == m_objects.end()) return;
    if (entry == m_cursor) ++m_cursor;
    m_objects.erase(entry);
  }

  // The object stored under key; CFG_NoInstance when none (or null).
  T* find(const std::string& key) const {
    typename Map::const_iterator entry = m_objects.find(key);
    if (entry == m_objects.end() || entry->second == nullptr) throw CFG_NoInstance();
    return entry->second;
  }

  void startIteration() { m_cursor = m_objects.begin(); }
  bool hasNext() const { return m_cursor != m_objects.end(); }
  // The object at the cursor, which then advances; CFG_NoInstance at the end
  // or on a null entry.
  T* next() {
    if (m_cursor == m_objects.end() || m_cursor->second == nullptr) throw CFG_NoInstance();
    T* object = m_cursor->second;
    ++m_cursor;
    return object;
  }
  void endIteration() { m_cursor = m_objects.end(); }

 private:
  typedef std::map<std::string, T*> Map;
  Map m_objects;
  typename Map::iterator m_cursor;
  std::size_t m_capacity = 0;
  bool m_checked = false;
};

#endif
