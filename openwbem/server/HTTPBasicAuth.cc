#include "HTTPBasicAuth.h"

#include <crypt.h>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace OpenWBEM {

namespace {

// A credentials file names a handful of management users.
constexpr std::size_t kMaxFileBytes = 64 * 1024;
constexpr std::size_t kMaxUserBytes = 64;
constexpr std::size_t kMaxHashBytes = CRYPT_OUTPUT_SIZE - 1;
// Longest Authorization value looked at: base64 of user, ":" and password.
constexpr std::size_t kMaxAuthorizationBytes = 1024;

bool validUser(const std::string& user) {
  if (user.empty() || user.size() > kMaxUserBytes) return false;
  for (unsigned char c : user)
    if (!std::isalnum(c) && c != '.' && c != '_' && c != '-') return false;
  return true;
}

std::string readWhole(int fd, std::string& error) {
  std::string text;
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::strerror(errno);
      return std::string();
    }
    if (n == 0) return text;
    text.append(buf, static_cast<std::size_t>(n));
    if (text.size() > kMaxFileBytes) {
      error = "larger than " + std::to_string(kMaxFileBytes) + " bytes";
      return std::string();
    }
  }
}

// What tells one version of a file from another.
std::string stampOf(const struct stat& st) {
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) +
         ":" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

}  // namespace

void HTTPBasicAuth::reloadIfChanged() {
  if (m_path.empty()) return;
  struct stat st;
  std::string stamp = ::stat(m_path.c_str(), &st) == 0 ? stampOf(st) : std::string();
  if (stamp == m_loadedStamp) return;
  std::string path = m_path;
  load(path);
}

bool HTTPBasicAuth::validUserName(const std::string& user) {
  return validUser(user);
}

std::string HTTPBasicAuth::load(const std::string& path) {
  m_users.clear();
  m_path = path;
  m_loadedStamp.clear();
  if (path.empty()) return "no credentials file configured";
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
  struct stat st;
  std::string error;
  const bool statted = ::fstat(fd, &st) == 0;
  if (statted) m_loadedStamp = stampOf(st);
  if (!statted)
    error = std::strerror(errno);
  else if (!S_ISREG(st.st_mode))
    error = "not a regular file";
  else if (st.st_uid != ::geteuid())
    error = "not owned by uid " + std::to_string(::geteuid());
  else if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
    error = "accessible to group or others (mode must be 0600 or stricter)";
  std::string text = error.empty() ? readWhole(fd, error) : std::string();
  ::close(fd);
  if (!error.empty()) return path + ": " + error;

  std::size_t lineNo = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t colon = line.find(':');
    std::string user = line.substr(0, colon);
    std::string hash = colon == std::string::npos ? std::string() : line.substr(colon + 1);
    if (!validUser(user) || hash.empty() || hash.size() > kMaxHashBytes || hash[0] == '*' || hash[0] == '!') {
      m_users.clear();
      return path + ": line " + std::to_string(lineNo) + " is not \"user:crypt-hash\"";
    }
    m_users[user] = hash;
  }
  if (m_users.empty()) return path + ": no users";
  return std::string();
}

bool HTTPBasicAuth::verify(const std::string& authorization, std::string& user) const {
  if (authorization.size() > kMaxAuthorizationBytes || authorization.size() < 6 ||
      strncasecmp(authorization.c_str(), "Basic ", 6) != 0)
    return false;
  std::string encoded = authorization.substr(6);
  while (!encoded.empty() && encoded.front() == ' ') encoded.erase(0, 1);
  while (!encoded.empty() && encoded.back() == ' ') encoded.pop_back();
  if (encoded.empty() || encoded.size() % 4 != 0) return false;
  std::vector<unsigned char> decoded(encoded.size() / 4 * 3 + 1);
  int n = EVP_DecodeBlock(decoded.data(), reinterpret_cast<const unsigned char*>(encoded.data()),
                          static_cast<int>(encoded.size()));
  if (n < 0) return false;
  // EVP_DecodeBlock counts the padding as data bytes.
  std::size_t len = static_cast<std::size_t>(n);
  for (std::size_t i = encoded.size(); i > 0 && encoded[i - 1] == '=' && len > 0; --i) --len;
  std::string pair(reinterpret_cast<const char*>(decoded.data()), len);
  std::size_t colon = pair.find(':');
  if (colon == std::string::npos || pair.find('\0') != std::string::npos) return false;
  std::string name = pair.substr(0, colon);
  auto it = m_users.find(name);
  if (it == m_users.end()) return false;
  auto data = std::make_unique<crypt_data>();
  const char* hashed = crypt_r(pair.c_str() + colon + 1, it->second.c_str(), data.get());
  if (!hashed || hashed[0] == '*') return false;
  const std::string& stored = it->second;
  if (std::strlen(hashed) != stored.size() || CRYPTO_memcmp(hashed, stored.data(), stored.size()) != 0)
    return false;
  user = name;
  return true;
}

}  // namespace OpenWBEM
