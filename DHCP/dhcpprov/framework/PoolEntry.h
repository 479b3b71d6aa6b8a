// An implementation object holds the pool entry of its id (g_AddressRangePool,
// g_reservedAddrPool) while it lives; the pool count follows the objects.
#ifndef TAVREL_DHCPPROV_POOL_ENTRY_H
#define TAVREL_DHCPPROV_POOL_ENTRY_H

#include <stdint.h>

template <class Entry, class Object>
void TavrelTakePoolEntry(Entry& entry, Object* object, int32_t& count) {
  entry.object = object;
  entry.isFree = 0;
  ++count;
}

// The entry is freed only when it still points at object.
template <class Entry, class Object>
void TavrelReleasePoolEntry(Entry& entry, Object* object, int32_t& count) {
  if (entry.object == object) {
    entry.object = nullptr;
    entry.isFree = 1;
  }
  --count;
}

#endif
