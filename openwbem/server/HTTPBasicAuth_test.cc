// The credentials file and the Basic Authorization header: which are
// accepted.
#include "HTTPBasicAuth.h"

#include <gtest/gtest.h>

#include <crypt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace OpenWBEM {
namespace {

// "Basic " + base64("admin:s3cret") and of "admin:wrong".
const char kRight[] = "Basic YWRtaW46czNjcmV0";
const char kWrong[] = "Basic YWRtaW46d3Jvbmc=";

std::string hashOf(const char* password) {
  struct crypt_data data = {};
  return crypt_r(password, "$6$testsalt$", &data);
}

class HTTPBasicAuthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/owauthXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_path = std::string(tmpl) + "/credentials";
  }
  void TearDown() override {
    unlink(m_path.c_str());
    rmdir(m_path.substr(0, m_path.rfind('/')).c_str());
  }

  std::string load(const std::string& text, mode_t mode = 0600) {
    unlink(m_path.c_str());
    std::ofstream(m_path) << text;
    chmod(m_path.c_str(), mode);
    return m_auth.load(m_path);
  }

  std::string m_path;
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
      {"readable by the group", good, 0640, false},
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
      {kRight, true},
      {std::string("basic ") + (kRight + 6), true},
      {kWrong, false},
      {"", false},
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
