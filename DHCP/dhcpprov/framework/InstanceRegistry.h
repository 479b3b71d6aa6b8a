// The registry behind every instance manager: live objects by registry key
// (the concatenation of their key values), in byte-wise key order, with one
// iteration cursor shared by all callers.
#ifndef TAVREL_DHCPPROV_INSTANCE_REGISTRY_H
#define TAVREL_DHCPPROV_INSTANCE_REGISTRY_H

#include <map>
#include <string>

#include "framework/CFG_Exception.h"

template <class T>
class InstanceRegistry {
 public:
  InstanceRegistry() : m_cursor(m_objects.end()) {}
  InstanceRegistry(const InstanceRegistry&) = delete;
  InstanceRegistry& operator=(const InstanceRegistry&) = delete;

  // Stores object under key; an entry with the same key is replaced.
  void put(const std::string& key, T* object) { m_objects[key] = object; }

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
};

#endif
