// The check of a new dhcpd.conf by dhcpd itself, made before the file
// replaces the live one, and the reason of the last failed commit.
#include <string.h>
#include <sys/wait.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <mutex>
#include <string>

#include "dhcpcompcommit.h"
#include "model/text_file.h"

namespace {

std::mutex& failureMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& failureText() {
  static std::string text;
  return text;
}

// When the last commit began (its failure text is set then, and again when
// it fails).
time_t& lastCommitTime() {
  static time_t when = 0;
  return when;
}

}  // namespace

int dhcpCompCheckDhcpdConfig(const std::string& text, std::string* said) {
  if (said != nullptr) said->clear();
  int rc = dhcpUtilReplaceFile(DHCPD_CONF_CHECK_FILE, text.data(), text.size());
  if (rc != 0) {
    std::string why = std::string("cannot write ") + DHCPD_CONF_CHECK_FILE + ": " + strerror(rc);
    if (said != nullptr) *said = why;
    syslog(LOG_ERR, "New DHCP server configuration not checked (%s); nothing applied.", why.c_str());
    return DHCP_RC_CONFIG_REFUSED;
  }
  // -t: parse the file and exit. Without -q, so that the reasons are printed.
  const char* const args[] = {"-t", "-cf", DHCPD_CONF_CHECK_FILE, nullptr};
  int status = dhcpCompRunDhcpd(args, DHCPD_CHECK_OUTPUT_FILE);
  unlink(DHCPD_CONF_CHECK_FILE);
  if (status == 0) return 0;
  std::string words = dhcpCompDhcpdOutput(DHCPD_CHECK_OUTPUT_FILE);
  if (words.empty())
    words = status == -1 ? "dhcpd could not be run"
                         : "dhcpd exited with status " + std::to_string(WEXITSTATUS(status));
  syslog(LOG_ERR, "DHCP server refused the new configuration; the running one stays: %s", words.c_str());
  if (said != nullptr) *said = words;
  return DHCP_RC_CONFIG_REFUSED;
}

std::string dhcpCompCommitFailureText(void) {
  std::lock_guard<std::mutex> lock(failureMutex());
  return failureText();
}

void dhcpCompSetCommitFailureText(const std::string& text) {
  std::lock_guard<std::mutex> lock(failureMutex());
  failureText() = text;
  lastCommitTime() = time(nullptr);
}

time_t dhcpCompLastCommit(std::string* failure) {
  std::lock_guard<std::mutex> lock(failureMutex());
  *failure = failureText();
  return lastCommitTime();
}
