// HTTP Basic authentication of TCP clients against a credentials file:
// one "user:hash" per line; blank lines and lines starting with "#" are
// ignored. Only yescrypt ("$y$"), SHA-512 ("$6$") and SHA-256 ("$5$") crypt
// hashes count; any other line is skipped and named. The file must be a
// regular file owned by the user the agent runs as (root) without any access
// for group or others. All members are safe to call from several threads.
#ifndef OW_SERVER_HTTPBASICAUTH_H
#define OW_SERVER_HTTPBASICAUTH_H

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace OpenWBEM {

// Reads a file that holds secrets (credentials, a TLS private key): it must
// be a regular file, not a symbolic link, owned by the effective user, with
// no access for group or others, and at most maxBytes long. Returns "" and
// sets text, or says why it was refused (naming the path).
std::string httpReadPrivateFile(const std::string& path, std::size_t maxBytes, std::string& text);

class HTTPBasicAuth {
 public:
  // What a reading of the file gave: "" or why it was refused (the object
  // then accepts no one), and one message per line skipped.
  struct LoadResult {
    std::string error;
    std::vector<std::string> skipped;
    std::size_t users = 0;
  };

  LoadResult load(const std::string& path);

  // Reads the file again when it changed since the last reading (inode,
  // size, modification or change time), looking at most once a second
  // unless now is set (before a password check, which costs far more than
  // the look). Returns true and sets result when it read it.
  bool reloadIfChanged(LoadResult& result, bool now = false);

  // Bumped by every reading: credentials verified under an older one must
  // be verified again.
  unsigned generation() const;

  // Checks an Authorization header value ("Basic base64(user:password)").
  // On success sets user and returns true. An unknown user costs as much
  // as a known one: the password is checked against a stand-in hash made
  // with the settings of the file's first hash.
  bool verify(const std::string& authorization, std::string& user) const;

  // The rule for user names of the file: 1 to 64 letters, digits, ".",
  // "_" or "-".
  static bool validUserName(const std::string& user);

  static const char* challenge() { return "Basic realm=\"TavrelAgent\""; }

 private:
  struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    long mtimeNs = 0, ctimeNs = 0;
    bool operator==(const FileId& o) const {
      return dev == o.dev && ino == o.ino && size == o.size && mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs;
    }
  };
  static FileId idOf(const std::string& path);

  mutable std::mutex m_mutex;
  std::string m_path;
  FileId m_fileId;
  std::chrono::steady_clock::time_point m_lastLook;
  unsigned m_generation = 0;
  std::unordered_map<std::string, std::string> m_users;  // user -> crypt hash
  std::string m_standIn;                                 // hash checked for unknown users
};

}  // namespace OpenWBEM

#endif
