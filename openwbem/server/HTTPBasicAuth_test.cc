// The credentials file and the Basic Authorization header: which are
// accepted.
#include "HTTPBasicAuth.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <crypt.h>
#include <sys/stat.h>

namespace OpenWBEM {
namespace {

std::string hashOf(const char* password) {
  struct crypt_data data = {};
  return crypt_r(password, "$6$testsalt$", &data);
}

class HTTPBasicAuthTest : public ::testing::Test {
 protected:
  std::string load(const std::string& text, mode_t mode = 0600) {
    tavrel::test::writeFile(m_path, text);
    chmod(m_path.c_str(), mode);
    return m_auth.load(m_path);
  }

  tavrel::test::TempDir m_dir;
  const std::string m_path = m_dir.file("credentials");
  HTTPBasicAuth m_auth;
};

TEST_F(HTTPBasicAuthTest, CredentialsFiles) {
  const std::string good = "# management users\n\nadmin:" + hashOf("s3cret") + "\n";
  struct {
    const char* what;
    std::string text;
    mode_t mode;
    bool accepted;
  } cases[] = {
      {"valid", good, 0600, true},
      {"readable by others", good, 0644, false},
      {"no users", "# none\n", 0600, false},
      {"no hash", "admin\n", 0600, false},
      {"locked hash", "admin:!" + hashOf("s3cret") + "\n", 0600, false},
      {"bad user name", "ad min:" + hashOf("s3cret") + "\n", 0600, false},
      {"too large", good + std::string(70000, '#'), 0600, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.accepted, load(c.text, c.mode).empty());
  }
  EXPECT_FALSE(m_auth.load(m_path + ".missing").empty());
}

TEST_F(HTTPBasicAuthTest, AuthorizationHeaders) {
  ASSERT_EQ("", load("admin:" + hashOf("s3cret") + "\n"));
  struct {
    std::string header;
    bool accepted;
  } cases[] = {
      {"Basic YWRtaW46czNjcmV0", true},  // admin:s3cret
      {"basic YWRtaW46czNjcmV0", true},
      {"Basic", false},
      {"Basic !!!!", false},
      {"Basic YWRtaW4=", false},  // "admin", no password
      {"Digest YWRtaW46czNjcmV0", false},
      {"Basic " + std::string(2000, 'A'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    std::string user;
    EXPECT_EQ(c.accepted, m_auth.verify(c.header, user));
    EXPECT_EQ(c.accepted ? "admin" : "", user);
  }
}

}  // namespace
}  // namespace OpenWBEM
