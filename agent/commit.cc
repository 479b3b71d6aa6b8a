// The commit: the single path by which a change of the records reaches the
// files and the running DHCP server, and the check of a new dhcpd.conf by
// dhcpd itself.
//
// The server is restarted only when dhcpd.conf changes, and only with a file
// that dhcpd has accepted ("dhcpd -t") while the old server still served. A
// new server that fails to start is replaced by the previous configuration,
// so the LANs are never left without a server by a change.
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <mutex>
#include <new>
#include <string>

#include "commit.h"
#include "dhcpd.h"
#include "messages.h"
#include "model/config_file.h"
#include "model/dhcpd_conf.h"
#include "model/interface.h"
#include "model/records.h"
#include "model/text_file.h"
#include "model/util.h"
#include "process.h"

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

// Trace copy of the component configuration file after each commit.
const char kConfigTraceFile[] = "/root/dhcp.check4";
const int kStatusAllDevices = 2;

void copyPublishedAddressIfEmpty(uint8_t empty, s_ipAddr* address) {
  if (empty && CustomerLANIpConfig.ipAddress.ipLong != 0) *address = publishedIpAddress;
}

// Commits asked for while a rebuild defers them (by the destructors of the
// range and reservation objects it tears down) are dropped: the rebuild
// commits once at its end, and dhcpd never serves a half-built state.
int g_commitDeferrals = 0;

// The whole text of a file; false when it cannot be read.
bool readWhole(const char* path, std::string* text) {
  char* data = dhcpUtilReadTextFile(path);
  if (data == nullptr) return false;
  *text = data;
  free(data);
  return true;
}

// Brings the records to the state the commit stores: the dynamic parts that
// follow the interfaces and the published address, the customer LAN's
// common settings in its VLANs, and each LAN's gateway in its ranges (and
// their objects). Both files are generated from this one state.
void stageRecords() {
  dhcpCompRefreshPublishedIPAddress();
  if (CustomerLANDhcpCompConfig.defaultGatewayEmpty)
    updateDefaultGatewayDynamic(&CustomerLANDhcpCompConfig, &CustomerLANIpConfig);
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i) {
    if (VLANDhcpCompConfig[i].defaultGatewayEmpty)
      updateDefaultGatewayDynamic(&VLANDhcpCompConfig[i], &VLANIpConfig[i]);
  }
  dhcpCompFillEmptyCallServers();
  dhcpCompFillSecondCallServer(&CustomerLANDhcpCompConfig);
  duplicateCommonPortion();
  syncUpGatewayForAddrRanges(&CustomerLANDhcpCompConfig, &CustomerLANDhcpCompConfig.defaultGateway);
  for (int i = 0; i < num_of_available_vlans && i < DHCP_MAX_VLANS; ++i)
    syncUpGatewayForAddrRanges(&VLANDhcpCompConfig[i], &VLANDhcpCompConfig[i].defaultGateway);
}

// Writes the component configuration file and its trace copy; false when the
// file could not be written (logged by the writer).
bool writeComponentFile(const std::string& text) {
  if (dhcpCompWriteDhcpCompConfigText(text) == 0) return false;
  dhcpUtilCopyFile(g_strT20ConfigFilename, kConfigTraceFile);
  return true;
}

void warnAboutForeignServer() {
  if (CustomerLANDhcpCompConfig.dhcpStatus == kStatusAllDevices && CustomerLANIpConfig.externalDhcpServer &&
      CustomerLANDhcpCompConfig.externalServerWarning) {
    dhcpCompLogEvent(DHCP_MSG_FOREIGN_SERVER);
    CustomerLANDhcpCompConfig.externalServerWarning = 0;
  }
}

// Puts the previous component file back after a failed commit.
void restoreComponentFile(bool haveComponent, const std::string& previousComponent) {
  if (haveComponent &&
      dhcpUtilReplaceFile(g_strT20ConfigFilename, previousComponent.data(), previousComponent.size()) == 0)
    dhcpUtilCopyFile(g_strT20ConfigFilename, kConfigTraceFile);
}

// Puts the previous files back after the new server failed to start, and
// starts the previous configuration.
void restorePrevious(bool haveConf, const std::string& previousConf, bool haveComponent,
                     const std::string& previousComponent) {
  restoreComponentFile(haveComponent, previousComponent);
  if (haveConf) dhcpUtilReplaceFile(DHCPD_CONF_FILE, previousConf.data(), previousConf.size());
  if (dhcpCompRestartDhcpDaemon() == 0)
    syslog(LOG_ERR, "DHCP server started again with the previous configuration.");
  else
    syslog(LOG_ERR, "DHCP server does not start with the previous configuration either.");
}

}  // namespace

void dhcpCompDeferCommits(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  ++g_commitDeferrals;
}

void dhcpCompResumeCommits(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  if (g_commitDeferrals > 0) --g_commitDeferrals;
}

void dhcpCompFillEmptyCallServers(void) {
  copyPublishedAddressIfEmpty(CustomerLANDhcpCompConfig.s1AddressEmpty, &CustomerLANDhcpCompConfig.s1Address);
  copyPublishedAddressIfEmpty(CustomerLANDhcpCompConfig.s2AddressEmpty, &CustomerLANDhcpCompConfig.s2Address);
}

int dhcpCompCommitConfigurationChanges(void) {
  std::lock_guard<std::recursive_mutex> lock(dhcpCompProcessControlMutex());
  if (g_commitDeferrals > 0) return 0;
  dhcpCompSetCommitFailureText("");
  stageRecords();

  std::string conf;
  std::string component;
  try {
    conf = dhcpCompFormatDhcpdConfig();
    component = dhcpCompFormatDhcpCompConfig(0);
  } catch (const std::bad_alloc&) {
    syslog(LOG_ERR, "Out of memory while generating %s; nothing applied.", DHCPD_CONF_FILE);
    dhcpCompSetCommitFailureText("out of memory");
    return DHCP_RC_CONFIG_WRITE_FAILED;
  }
  std::string previousConf;
  bool haveConf = readWhole(DHCPD_CONF_FILE, &previousConf);
  pid_t running = dhcpCompRunningDhcpd();
  // A server found running (one an earlier agent started, too) is watched
  // from now on.
  if (running != 0) dhcpdStarted(running);
  bool unchanged = haveConf && previousConf == conf && running != 0;

  if (!unchanged) {
    std::string said;
    if (dhcpCompCheckDhcpdConfig(conf, &said) != 0) {
      dhcpCompSetCommitFailureText(said);
      // The live file keeps serving; start it when no server runs.
      if (running == 0) dhcpCompStartDhcpDeamon();
      return DHCP_RC_CONFIG_REFUSED;
    }
  }

  std::string previousComponent;
  bool haveComponent = readWhole(g_strT20ConfigFilename, &previousComponent);
  if (!writeComponentFile(component)) {
    dhcpCompSetCommitFailureText(std::string("cannot write ") + g_strT20ConfigFilename);
    return DHCP_RC_CONFIG_WRITE_FAILED;
  }
  warnAboutForeignServer();
  if (unchanged) return 0;

  // The running server does not read dhcpd.conf again: the file is replaced
  // first, so that a failed write costs no outage.
  int rc = dhcpUtilReplaceFile(DHCPD_CONF_FILE, conf.data(), conf.size());
  if (rc != 0) {
    syslog(LOG_ERR, "Cannot write %s (%s); the previous file stays.", DHCPD_CONF_FILE, strerror(rc));
    dhcpCompSetCommitFailureText(std::string("cannot write ") + DHCPD_CONF_FILE + ": " + strerror(rc));
    restoreComponentFile(haveComponent, previousComponent);
    // The live file keeps serving; start it when no server runs.
    if (running == 0) dhcpCompStartDhcpDeamon();
    return DHCP_RC_SERVER_START_FAILED;
  }
  if (dhcpCompRestartDhcpDaemon() == 0) return 0;
  dhcpCompSetCommitFailureText("the DHCP server did not start: " +
                               dhcpCompDhcpdOutput(DHCPD_START_OUTPUT_FILE));
  restorePrevious(haveConf, previousConf, haveComponent, previousComponent);
  return DHCP_RC_SERVER_START_FAILED;
}

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
