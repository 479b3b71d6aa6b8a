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

// yescrypt, SHA-512 and SHA-256 crypt: the schemes whose whole password
// counts and whose cost can be set.
bool acceptedHash(const std::string& hash) {
  if (hash.size() > kMaxHashBytes) return false;
  for (const char* prefix : {"$y$", "$6$", "$5$"})
    if (hash.compare(0, 3, prefix) == 0) return true;
  return false;
}

// A hash of a password nobody knows, made with the settings (scheme, cost,
// salt) of hash, so that checking it costs what checking hash costs.
std::string standInFor(const std::string& hash) {
  std::size_t last = hash.rfind('$');
  auto data = std::make_unique<crypt_data>();
  const char* made = crypt_r("\x01stand-in\x01", hash.substr(0, last + 1).c_str(), data.get());
  return made && made[0] != '*' ? std::string(made) : hash;
}

std::string readWhole(int fd, std::size_t maxBytes, std::string& error) {
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
    if (text.size() > maxBytes) {
      error = "larger than " + std::to_string(maxBytes) + " bytes";
      return std::string();
    }
  }
}

long nanosecondsOf(const struct timespec& t) {
  return static_cast<long>(t.tv_sec) * 1000000000L + t.tv_nsec;
}

}  // namespace

bool HTTPBasicAuth::validUserName(const std::string& user) {
  return validUser(user);
}

std::string httpReadPrivateFile(const std::string& path, std::size_t maxBytes, std::string& text) {
  text.clear();
  if (path.empty()) return "no file configured";
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return "cannot open " + path + ": " +
           (errno == ELOOP ? std::string("a symbolic link") : std::string(std::strerror(errno)));
  struct stat st;
  std::string error;
  if (::fstat(fd, &st) != 0)
    error = std::strerror(errno);
  else if (!S_ISREG(st.st_mode))
    error = "not a regular file";
  else if (st.st_uid != ::geteuid())
    error = "not owned by uid " + std::to_string(::geteuid());
  else if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
    error = "accessible to group or others (mode must be 0600 or stricter)";
  if (error.empty()) text = readWhole(fd, maxBytes, error);
  ::close(fd);
  return error.empty() ? std::string() : path + ": " + error;
}

HTTPBasicAuth::FileId HTTPBasicAuth::idOf(const std::string& path) {
  FileId id;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtimeNs = nanosecondsOf(st.st_mtim);
    id.ctimeNs = nanosecondsOf(st.st_ctim);
  }
  return id;
}

HTTPBasicAuth::LoadResult HTTPBasicAuth::load(const std::string& path) {
  LoadResult result;
  FileId id = idOf(path);
  std::string text;
  result.error = httpReadPrivateFile(path, kMaxFileBytes, text);
  std::unordered_map<std::string, std::string> users;
  std::size_t lineNo = 0;
  std::size_t pos = 0;
  while (result.error.empty() && pos < text.size()) {
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
    const char* why = !validUser(user) ? "is not \"user:crypt-hash\""
                      : !acceptedHash(hash)
                          ? "is skipped: only yescrypt ($y$), SHA-512 ($6$) and SHA-256 ($5$) "
                            "hashes are accepted"
                          : nullptr;
    if (why)
      result.skipped.push_back(path + ": line " + std::to_string(lineNo) + " " + why);
    else
      users[user] = hash;
  }
  if (result.error.empty() && users.empty()) result.error = path + ": no users";
  if (!result.error.empty()) users.clear();
  std::string standIn = users.empty() ? std::string() : standInFor(users.begin()->second);
  result.users = users.size();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_path = path;
  m_fileId = id;
  m_lastLook = std::chrono::steady_clock::now();
  m_users.swap(users);
  m_standIn.swap(standIn);
  ++m_generation;
  return result;
}

bool HTTPBasicAuth::reloadIfChanged(LoadResult& result, bool now) {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto at = std::chrono::steady_clock::now();
    if (m_path.empty() || (!now && at - m_lastLook < std::chrono::seconds(1))) return false;
    m_lastLook = at;
    if (idOf(m_path) == m_fileId) return false;
    path = m_path;
  }
  result = load(path);
  return true;
}

unsigned HTTPBasicAuth::generation() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_generation;
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
  std::string stored;
  bool known = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_users.find(name);
    known = it != m_users.end();
    stored = known ? it->second : m_standIn;
  }
  if (stored.empty()) return false;
  // crypt runs outside the lock, for unknown users too.
  auto data = std::make_unique<crypt_data>();
  const char* hashed = crypt_r(pair.c_str() + colon + 1, stored.c_str(), data.get());
  if (!hashed || hashed[0] == '*') return false;
  bool same =
      std::strlen(hashed) == stored.size() && CRYPTO_memcmp(hashed, stored.data(), stored.size()) == 0;
  if (!same || !known) return false;
  user = name;
  return true;
}

}  // namespace OpenWBEM
