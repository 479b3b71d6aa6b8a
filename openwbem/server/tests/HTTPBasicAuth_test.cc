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
    HTTPBasicAuth::LoadResult result = m_auth.load(m_path);
    m_skipped = result.skipped.size();
    return result.error;
  }

  tavrel::test::TempDir m_dir;
  const std::string m_path = m_dir.file("credentials");
  HTTPBasicAuth m_auth;
  std::size_t m_skipped = 0;
};

TEST_F(HTTPBasicAuthTest, CredentialsFiles) {
  const std::string good = "# management users\n\nadmin:" + hashOf("s3cret") + "\n";
  struct {
    const char* what;
    std::string text;
    mode_t mode;
    bool accepted;
    std::size_t skipped;
  } cases[] = {
      {"valid", good, 0600, true, 0},
      {"yescrypt and SHA-256",
       "y:$y$j9T$testsalttestsalt$pfAFLvFHrImsR76/QtlF.O7fw7ciYOS6Ouu.bd566Q5\n"
       "s:$5$ZpKhr2X5CVawIfFR$C3Dhur75pv7PjNGRoxjqE7/Xu/29oZFIlRU9VbAxuC2\n",
       0600, true, 0},
      {"DES and MD5 lines skipped", good + "des:abhWCwoTZY2c6\nmd5:$1$testsalt$2y5z4UH0v5w5ZpauToVsV/\n",
       0600, true, 2},
      {"readable by others", good, 0644, false, 0},
      {"no users", "# none\n", 0600, false, 0},
      {"no hash", "admin\n", 0600, false, 1},
      {"locked hash", "admin:!" + hashOf("s3cret") + "\n", 0600, false, 1},
      {"bad user name", "ad min:" + hashOf("s3cret") + "\n", 0600, false, 1},
      {"too large", good + std::string(70000, '#'), 0600, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.accepted, load(c.text, c.mode).empty());
    EXPECT_EQ(c.skipped, m_skipped);
  }
  std::string user;
  EXPECT_FALSE(m_auth.verify("Basic ZGVzOnMzY3JldA==", user)) << "des:s3cret";
  EXPECT_FALSE(m_auth.load(m_path + ".missing").error.empty());
}

TEST_F(HTTPBasicAuthTest, AuthorizationHeaders) {
  ASSERT_EQ("", load("admin:" + hashOf("s3cret") + "\n"));
  struct {
    std::string header;
    bool accepted;
  } cases[] = {
      {"Basic YWRtaW46czNjcmV0", true},   // admin:s3cret
      {"Basic b3RoZXI6czNjcmV0", false},  // other:s3cret, an unknown user
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
