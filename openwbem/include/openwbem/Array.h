// Growable array with value semantics (backed by std::vector).
#ifndef OPENWBEM_ARRAY_H
#define OPENWBEM_ARRAY_H

#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

namespace OpenWBEM {

class String;

template <class T>
class Array {
 public:
  typedef T value_type;
  typedef typename std::vector<T>::size_type size_type;
  typedef typename std::vector<T>::iterator iterator;
  typedef typename std::vector<T>::const_iterator const_iterator;
  typedef T& reference;
  typedef const T& const_reference;

  Array() = default;
  explicit Array(size_type n) : m_v(n) {}
  Array(size_type n, const T& value) : m_v(n, value) {}
  Array(std::initializer_list<T> init) : m_v(init) {}
  template <class It>
  Array(It first, It last) : m_v(first, last) {}

  size_type size() const { return m_v.size(); }
  bool empty() const { return m_v.empty(); }
  void reserve(size_type n) { m_v.reserve(n); }
  void resize(size_type n) { m_v.resize(n); }
  void clear() { m_v.clear(); }

  T& operator[](size_type i) { return m_v[i]; }
  const T& operator[](size_type i) const { return m_v[i]; }
  T& front() { return m_v.front(); }
  const T& front() const { return m_v.front(); }
  T& back() { return m_v.back(); }
  const T& back() const { return m_v.back(); }

  iterator begin() { return m_v.begin(); }
  iterator end() { return m_v.end(); }
  const_iterator begin() const { return m_v.begin(); }
  const_iterator end() const { return m_v.end(); }

  void push_back(const T& x) { m_v.push_back(x); }
  void push_back(T&& x) { m_v.push_back(std::move(x)); }
  void append(const T& x) { m_v.push_back(x); }
  void appendArray(const Array<T>& other) { m_v.insert(m_v.end(), other.m_v.begin(), other.m_v.end()); }
  void pop_back() { m_v.pop_back(); }
  iterator insert(iterator pos, const T& x) { return m_v.insert(pos, x); }
  void insert(size_type index, const T& x) { m_v.insert(m_v.begin() + index, x); }
  iterator erase(iterator pos) { return m_v.erase(pos); }
  // Removes the element at index.
  void remove(size_type index) { m_v.erase(m_v.begin() + index); }
  void swap(Array<T>& other) { m_v.swap(other.m_v); }

  bool operator==(const Array<T>& other) const { return m_v == other.m_v; }
  bool operator!=(const Array<T>& other) const { return m_v != other.m_v; }

 private:
  std::vector<T> m_v;
};

typedef Array<String> StringArray;

}  // namespace OpenWBEM

#endif
