// TavrelAgent: command line, start-up, hosting of the OpenWBEM provider
// agent that serves libTavrel, the main loop and the orderly shutdown.
//
// CIM requests run on the provider agent's threads and change the same
// records, tempBuf and "temp.txt" that the main loop uses. The agent hands
// the provider agent a locker and takes that same lock for its own work
// once the provider agent exists, so the two never run at once.
#include <dlfcn.h>
#include <malloc.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "VexShared.h"
#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceImpl.h"
#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataImpl.h"
#include "dhcpcomp.h"
#include "dhcpcompagent.h"
#include "dhcpcompcommit.h"
#include "dhcpcompdaemon.h"
#include "openwbem/Array.h"
#include "openwbem/BinaryRequestHandler.h"
#include "openwbem/CIMClass.h"
#include "openwbem/CmdLineParser.h"
#include "openwbem/ConfigFile.h"
#include "openwbem/CppProviderIFC.h"
#include "openwbem/Logger.h"
#include "openwbem/NonAuthenticatingAuthenticator.h"
#include "openwbem/ProviderAgent.h"
#include "openwbem/ProviderAgentLockerIFC.h"
#include "openwbem/XMLExecute.h"
#include "torvo.h"

using OpenWBEM::CmdLineParser;

enum { kOptionHelp = 0, kOptionDebug = 1, kOptionConfig = 2 };

CmdLineParser::Option g_options[] = {
    {kOptionConfig, 'c', "config", CmdLineParser::E_REQUIRED_ARG, 0,
     "Sets the config file.  Command line options take precedence over config file options."},
    {kOptionDebug, 'd', "debug", CmdLineParser::E_OPTIONAL_ARG, 0, "Debug mode - do not fork"},
    {kOptionHelp, 'h', "help", CmdLineParser::E_OPTIONAL_ARG, 0, "Help for this component."},
    {0, 0, 0, CmdLineParser::E_NO_ARG, 0, 0}};

namespace {

const char kVersion[] = "V42.10.55.84";
const char kProviderLibrary[] = "/pq/lib/remoteprovider/libTavrel.so";
const char kProviderSoname[] = "libTavrel.so";
const char kRemoveFlagFileCommand[] = "rm -f " TAVREL_IP_CHANGE_FLAG_FILE;
const unsigned kLoopSleepSeconds = 5;
// Allocations from this size on are mapped apart from the heap.
const int kMallocMmapThreshold = 1024 * 1024;
// Service registration: the framework's reserved arguments and flags.
const int kServiceFlags = 3;

const char kCallbackUrlItem[] = "owcimomd.callback_url";
const char kLogLocationItem[] = "owcimomd.log_location";
const char kLogLevelItem[] = "owcimomd.log_level";

void printUsage(FILE* out) {
  fprintf(out, "TavrelAgent Version: %s\n", kVersion);
  fprintf(out,
      "Usage: TavrelAgent [-h] [-d] [-c config_file]\n"
      "       -h    help\n"
      "       -d    debug (do not fork!)\n"
      "       -c    provider configuration file name\n");
}

// Holds the lock shared with the provider agent for one stretch of work.
class AgentLock {
 public:
  explicit AgentLock(const OpenWBEM::ProviderAgentLockerIFCRef& locker) : m_locker(locker) {
    m_locker->lock();
  }
  ~AgentLock() { m_locker->unlock(); }
  AgentLock(const AgentLock&) = delete;
  AgentLock& operator=(const AgentLock&) = delete;

 private:
  const OpenWBEM::ProviderAgentLockerIFCRef& m_locker;
};

void stopSignalHandler(int) { tavrelAgentStop(0); }

// In debug mode no service framework turns SIGTERM and SIGINT into a stop
// request; the agent does it itself so that Ctrl-C still stops dhcpd.
void installDebugStopHandlers() {
  struct sigaction action;
  memset(&action, 0, sizeof(action));
  action.sa_handler = stopSignalHandler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

// Stops the agent recorded in the PID file (never the calling process) and
// removes the file.
void killRecordedAgent() {
  char pidFile[] = TAVREL_AGENT_PID_FILE;
  dhcpCompKillProcess(pidFile);
}

// Shutdown from the release of the process resources on: the semaphore, the
// notification and the log, the service registration and the PID file.
// dhcpCompKillProcess never signals the calling process, so the PID file
// naming the agent itself is only removed and main goes on to return.
int shutdownAgent(int status) {
  dhcpCompCleanupBeforeExit();
  syslog(LOG_NOTICE, "{%d} {TavrelAgent Service stopped.}", DHCP_MSG_SERVICE_STOPPED);
  VexServiceStopService();
  killRecordedAgent();
  return status;
}

// True when the library at kProviderLibrary is the copy of libTavrel the
// agent is linked with (found by its soname). A second copy would keep
// instance registries of its own, and objects the agent creates would never
// be seen over CIM.
bool providerIsLinkedCopy() {
  void* loaded = dlopen(kProviderLibrary, RTLD_NOW | RTLD_NOLOAD);
  void* linked = dlopen(kProviderSoname, RTLD_NOW | RTLD_NOLOAD);
  bool same = loaded != nullptr && loaded == linked;
  if (loaded != nullptr) dlclose(loaded);
  if (linked != nullptr) dlclose(linked);
  return same;
}

bool flagFileExists() {
  FILE* f = fopen(TAVREL_IP_CHANGE_FLAG_FILE, "r");
  if (f == nullptr) return false;
  fclose(f);
  return true;
}

// Start-up work from the first interface discovery to the first commit.
// Returns false when the component configuration file cannot be read.
bool bringUpConfiguration() {
  dhcpCompRefreshPublishedIPAddress();
  dhcpCompDiscoverInterfaces();

  if (dhcpCompReadDhcpCompConfigFile() == 0) {
    syslog(LOG_ERR, "{%d} {Cannot open TavrelAgent config file: %s.}", DHCP_MSG_CONFIG_FILE,
           g_strT20ConfigFilename);
    return false;
  }
  CustomerLANDhcpCompConfig.externalServerWarning = 1;

  if (CustomerLANIpConfig.staticIP == 0) {
    // dhcpCompCheckCustLANDynamicIPStatus() takes over the DHCP-client
    // addressed customer LAN here once that handling exists.
    g_bCustomerLANWasDynamic = 1;
  }
  bTavrelJustStarted = 0;

  dhcpCompRefreshPublishedIPAddress();
  if (CustomerLANDhcpCompConfig.defaultGatewayEmpty)
    updateDefaultGatewayDynamic(&CustomerLANDhcpCompConfig, &CustomerLANIpConfig);
  // Empty call-server addresses stand for the published address; the commit
  // below fills them in from it.

  dhcpCompVerifyAllRangesInSubnets();
  dhcpCompCommitConfigurationChanges();

  dhcpCompLeaseFileChanged();
  dhcpCompGetDhcpdServerLeaseInfo();

  // The provider singletons, made after the provider agent has installed the
  // implementation instance managers so that CIM requests find them. They
  // live until the process ends.
  ZPX_DHCPSettingDataImpl::m_pInstance =
      new ZPX_DHCPSettingDataImpl("Zelkor:ZPX_DHCPSettingData");
  ZPX_DHCPServiceImpl::m_pInstanceDHCPService =
      new ZPX_DHCPServiceImpl("ZPX_System", "ZPX", "ZPX_DHCPService", "DHCPService");
  return true;
}

// One pass of the main loop after its sleep.
void runLoopPass() {
  if (flagFileExists()) {
    dhcpCompRunCommand("%s", kRemoveFlagFileCommand);
    // dhcpCompIPConfigurationChanged() takes over here once the IP-change
    // handling exists. Until then the addresses are rediscovered, the ranges
    // checked against them and the configuration committed again.
    dhcpCompDiscoverInterfaces();
    dhcpCompVerifyAllRangesInSubnets();
    dhcpCompCommitConfigurationChanges();
  }
  // Supervision of the integrated router's DHCP server goes here once it
  // exists: every tenth pass while g_bIntegratedRouterPresent is set and the
  // customer LAN is a DHCP client with the router's vendor text,
  // dhcpcompCheckDhcpServerPingable() and, when unreachable, message 62008
  // and dhcpcompRenewDynamicIPAddress().
}

}  // namespace

int main(int argc, char* argv[]) {
  bool serviceMode = true;
  openlog(TAVREL_AGENT_NAME, LOG_CONS | LOG_PERROR, LOG_DAEMON);
  // Large answers (a lease listing runs to megabytes) get pages of their
  // own, returned when the answer has been sent. Left to the heap, they
  // would be reused for small objects made meanwhile, which then pin the
  // whole area in memory.
  mallopt(M_MMAP_THRESHOLD, kMallocMmapThreshold);

  std::unique_ptr<CmdLineParser> parser;
  try {
    parser.reset(new CmdLineParser(argc, argv, g_options));
  } catch (const OpenWBEM::CmdLineParserException& e) {
    syslog(LOG_ERR, "%s", e.getMessage());
    printUsage(stderr);
    closelog();
    return 1;
  }

  if (parser->isSet(kOptionDebug)) {
    serviceMode = false;
  } else if (!parser->isSet(kOptionConfig)) {
    printUsage(stdout);
    closelog();
    return 0;
  }

  // The agent reaps the daemons it starts, so a stop can wait for their end.
  dhcpCompInitProcessControl();
  dhcpCompInitStopWakeup();
  killRecordedAgent();

  if (serviceMode) {
    int rc = VexServiceStartService(TAVREL_AGENT_NAME, 0, 0, tavrelAgentStop, kServiceFlags);
    if (rc != 0) {
      syslog(LOG_ERR, "Can't start VEX Service for TavrelAgent rc = %d", rc);
      closelog();
      return 1;
    }
  } else {
    installDebugStopHandlers();
  }

  dhcpCompCreatePIDFile(getpid());
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "%s",
           DHCP_DEFAULT_CONFIG_FILENAME);
  dhcpCompInit();

  OpenWBEM::String configFileName = parser->getOptionValue(kOptionConfig);
  if (configFileName.empty()) {
    syslog(LOG_ERR, "{%d} {TavrelAgent must use -c option to specify location of Config file.}",
           DHCP_MSG_NO_CONFIG_OPTION);
    return 0;
  }

  OpenWBEM::ConfigFile::ConfigMap configMap;
  try {
    OpenWBEM::ConfigFile::loadConfigFile(configFileName, configMap);
  } catch (const OpenWBEM::ConfigException& e) {
    syslog(LOG_ERR, "Cannot load the OpenWBEM configuration: %s", e.getMessage());
    return shutdownAgent(1);
  }

  OpenWBEM::String callbackURL = OpenWBEM::ConfigFile::getConfigItem(configMap, kCallbackUrlItem, "");
  logger = OpenWBEM::Logger::createLogger(
      OpenWBEM::ConfigFile::getConfigItem(configMap, kLogLocationItem, "syslog"), true);
  OpenWBEM::String logLevel = OpenWBEM::ConfigFile::getConfigItem(configMap, kLogLevelItem, "error");
  if (!logger->setLogLevel(logLevel))
    syslog(LOG_ERR, "Unknown %s \"%s\"; logging at level %s", kLogLevelItem, logLevel.c_str(),
           OpenWBEM::Logger::levelName(logger->getLogLevel()));

  OpenWBEM::AuthenticatorIFCRef authenticator(OpenWBEM::SharedLibraryRef(),
                                              new OpenWBEM::NonAuthenticatingAuthenticator);
  OpenWBEM::Array<OpenWBEM::RequestHandlerIFCRef> requestHandlers;
  requestHandlers.push_back(
      OpenWBEM::RequestHandlerIFCRef(OpenWBEM::SharedLibraryRef(), new OpenWBEM::XMLExecute));
  requestHandlers.push_back(OpenWBEM::RequestHandlerIFCRef(OpenWBEM::SharedLibraryRef(),
                                                           new OpenWBEM::BinaryRequestHandler));
  OpenWBEM::CppProviderBaseIFCRef provider =
      OpenWBEM::CppProviderIFC::loadProvider(kProviderLibrary, logger);
  if (!provider || !providerIsLinkedCopy()) {
    syslog(LOG_ERR, "Cannot load the provider library %s%s", kProviderLibrary,
           provider ? " (not the copy TavrelAgent is linked with)" : "");
    return shutdownAgent(1);
  }
  OpenWBEM::Array<OpenWBEM::CppProviderBaseIFCRef> providers;
  providers.push_back(provider);
  OpenWBEM::Array<OpenWBEM::CIMClass> classes;
  OpenWBEM::ProviderAgentLockerIFCRef locker(new OpenWBEM::ProviderAgentMutexLocker);

  std::unique_ptr<OpenWBEM::ProviderAgent> providerAgent;
  try {
    providerAgent.reset(new OpenWBEM::ProviderAgent(configMap, providers, classes, requestHandlers,
                                                    authenticator, logger, callbackURL, locker));
  } catch (const OpenWBEM::ProviderAgentException& e) {
    syslog(LOG_ERR, "Cannot start the provider agent: %s", e.getMessage());
    return shutdownAgent(1);
  }

  {
    AgentLock lock(locker);
    uint32_t processId = 0;
    int rc = osGetProcessId(&processId);
    if (rc != 0)
      logger->logError(OpenWBEM::String("Tavrel: osGetProcessId() returns ") +
                       OpenWBEM::String(std::to_string(rc)));
    syslog(LOG_NOTICE, "{%d} {TavrelAgent Service started.}", DHCP_MSG_SERVICE_STARTED);
    syslog(LOG_INFO, "%s",
           g_bIntegratedRouterPresent == 1 ? "Integrated Router is Present"
                                           : "Integrated Router is NOT Present");
    if (!bringUpConfiguration()) return shutdownAgent(0);
  }
  dhcpCompStartDhcpdSupervision();

  while (!g_dhcpStopService) {
    dhcpCompSleepUnlessStopped(kLoopSleepSeconds);
    AgentLock lock(locker);
    runLoopPass();
  }

  dhcpCompStopDhcpdSupervision();
  AgentLock lock(locker);
  dhcpCompKillDhcpDaemon();
  return shutdownAgent(0);
}
