// An inotify watch of one directory for a few file names in it: a name that
// is created, written, closed after writing or renamed into the directory.
#ifndef TAVREL_AGENT_DIRECTORY_WATCH_H
#define TAVREL_AGENT_DIRECTORY_WATCH_H

#include <string>
#include <vector>

class DirectoryWatch {
 public:
  DirectoryWatch(std::string directory, std::vector<std::string> names);
  DirectoryWatch(const DirectoryWatch&) = delete;
  DirectoryWatch& operator=(const DirectoryWatch&) = delete;
  ~DirectoryWatch() { close(); }

  // Starts watching; 0, or the error number (EBUSY when it watches already).
  int open();
  void close();
  // The descriptor to wait on (readable when events are pending), -1 when
  // not open.
  int fd() const { return m_fd; }
  // Reads every pending event; true when one names a watched name.
  bool changed();

 private:
  std::string m_directory;
  std::vector<std::string> m_names;
  int m_fd = -1;
};

#endif
