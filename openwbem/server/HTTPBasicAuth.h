// HTTP Basic authentication of TCP clients against a credentials file:
// one "user:hash" per line, the hash in crypt(3) form; blank lines and lines
// starting with "#" are ignored. The file must be a regular file owned by the
// user the agent runs as (root) without any access for group or others.
#ifndef OW_SERVER_HTTPBASICAUTH_H
#define OW_SERVER_HTTPBASICAUTH_H

#include <string>
#include <unordered_map>

namespace OpenWBEM {

class HTTPBasicAuth {
 public:
  // Reads the file. Returns "" on success, else why it was refused (the
  // object then accepts no one).
  std::string load(const std::string& path);

  bool loaded() const { return !m_users.empty(); }

  // Loads the file again when it is another file than the one loaded last
  // (device, inode, size or modification time differ), so that a changed
  // password counts from the next request; a file that is now refused or
  // gone accepts no one.
  void reloadIfChanged();

  // Checks an Authorization header value ("Basic base64(user:password)").
  // On success sets user and returns true.
  bool verify(const std::string& authorization, std::string& user) const;

  // The rule for user names of the file: 1 to 64 letters, digits, ".",
  // "_" or "-".
  static bool validUserName(const std::string& user);

  static const char* challenge() { return "Basic realm=\"TavrelAgent\""; }

 private:
  std::unordered_map<std::string, std::string> m_users;  // user -> crypt hash
  std::string m_path;
  std::string m_loadedStamp;  // identity of the file loaded last
};

}  // namespace OpenWBEM

#endif
