// Map kept as a vector of pairs sorted by key: compact, cache-friendly, and
// fast to look up for the small maps of configuration and CIM data.
#ifndef OPENWBEM_SORTEDVECTORMAP_H
#define OPENWBEM_SORTEDVECTORMAP_H

#include <algorithm>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace OpenWBEM {

template <class Key, class T, class Compare = std::less<Key>>
class SortedVectorMap {
 public:
  typedef Key key_type;
  typedef T data_type;
  typedef T mapped_type;
  typedef std::pair<Key, T> value_type;
  typedef typename std::vector<value_type>::iterator iterator;
  typedef typename std::vector<value_type>::const_iterator const_iterator;
  typedef std::size_t size_type;

  SortedVectorMap() = default;

  size_type size() const { return m_v.size(); }
  bool empty() const { return m_v.empty(); }
  void clear() { m_v.clear(); }
  void swap(SortedVectorMap& other) { m_v.swap(other.m_v); }
  iterator begin() { return m_v.begin(); }
  iterator end() { return m_v.end(); }
  const_iterator begin() const { return m_v.begin(); }
  const_iterator end() const { return m_v.end(); }

  // First entry whose key is not less than k.
  iterator lower_bound(const Key& k) { return std::lower_bound(m_v.begin(), m_v.end(), k, KeyLess()); }
  const_iterator lower_bound(const Key& k) const {
    return std::lower_bound(m_v.begin(), m_v.end(), k, KeyLess());
  }

  iterator find(const Key& k) {
    iterator it = lower_bound(k);
    return (it != m_v.end() && !Compare()(k, it->first)) ? it : m_v.end();
  }
  const_iterator find(const Key& k) const {
    const_iterator it = lower_bound(k);
    return (it != m_v.end() && !Compare()(k, it->first)) ? it : m_v.end();
  }
  size_type count(const Key& k) const { return find(k) != end() ? 1 : 0; }

  // Inserts x unless its key is present; the existing entry is kept.
  // Returns the entry's position and whether x was inserted.
  std::pair<iterator, bool> insert(const value_type& x) {
    iterator it = lower_bound(x.first);
    if (it != m_v.end() && !Compare()(x.first, it->first)) return std::make_pair(it, false);
    return std::make_pair(m_v.insert(it, x), true);
  }

  // The value under k, inserting a default-constructed one if absent.
  T& operator[](const Key& k) {
    iterator it = lower_bound(k);
    if (it == m_v.end() || Compare()(k, it->first)) it = m_v.insert(it, value_type(k, T()));
    return it->second;
  }

  size_type erase(const Key& k) {
    iterator it = find(k);
    if (it == m_v.end()) return 0;
    m_v.erase(it);
    return 1;
  }
  void erase(iterator pos) { m_v.erase(pos); }

 private:
  struct KeyLess {
    bool operator()(const value_type& a, const Key& k) const { return Compare()(a.first, k); }
  };
  std::vector<value_type> m_v;
};

}  // namespace OpenWBEM

#endif
