// TavrelAgent: command line, start-up, hosting of the OpenWBEM provider
// agent that serves libTavrel, the main loop and the orderly shutdown.
//
// CIM requests run on the provider agent's threads and change the same
// records, tempBuf and "temp.txt" that the main loop uses. The agent hands
// the provider agent a locker and holds that same lock for its own work on
// the records (start-up, rebuilds, lease refreshes, probe results), so the
// two never run at once; it never holds it across a wait of its own.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <malloc.h>
#include <net/if.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <sysexits.h>
#include <syslog.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "VexShared.h"
#include "ZPX_DHCPServiceProvider/ZPX_DHCPServiceImpl.h"
#include "ZPX_DHCPSettingDataProvider/ZPX_DHCPSettingDataImpl.h"
#include "agent.h"
#include "commit.h"
#include "dhcpd.h"
#include "dynamic.h"
#include "foreign.h"
#include "ip_change.h"
#include "lease_watch.h"
#include "messages.h"
#include "model/config_file.h"
#include "model/interface.h"
#include "model/leases.h"
#include "model/pools.h"
#include "model/records.h"
#include "notify.h"
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
#include "process.h"
#include "router.h"
#include "settings.h"
#include "tavrel_agent_api.h"
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
const char kRemoveFlagFileCommand[] = "/bin/rm -f " TAVREL_IP_CHANGE_FLAG_FILE;
// Allocations from this size on are mapped apart from the heap.
const int kMallocMmapThreshold = 1024 * 1024;
// Service registration: the framework's reserved arguments and flags.
const int kServiceFlags = 3;

// A configuration the agent cannot run with ends the process with
// EX_CONFIG, on which the systemd unit does not restart it.
const int kExitConfigError = EX_CONFIG;

// Reads the agent's configuration file into map, each doubtful line logged
// as a warning. False (logged) when it cannot be read.
bool loadSettings(const OpenWBEM::String& fileName, OpenWBEM::ConfigFile::ConfigMap& map) {
  try {
    OpenWBEM::ConfigFile::loadConfigFile(fileName, map, dhcpCompCheckSetting,
                                         [](const OpenWBEM::ConfigFile::Warning& warning) {
                                           syslog(LOG_WARNING, "%s", warning.message().c_str());
                                         });
  } catch (const OpenWBEM::ConfigException& e) {
    syslog(LOG_ERR, "Cannot load the OpenWBEM configuration: %s", e.getMessage());
    return false;
  }
  return true;
}

// A number setting (checked while the file was read), or the default.
unsigned long numberSetting(const OpenWBEM::ConfigFile::ConfigMap& map, const char* item,
                            unsigned long defaultValue) {
  OpenWBEM::String text = OpenWBEM::ConfigFile::getConfigItem(map, item, "");
  return text.empty() ? defaultValue : strtoul(text.c_str(), nullptr, 10);
}

// The OpenWBEM logger's level; an unknown one was refused (with a warning)
// while the file was read, so the default, error, applies.
void applyLogLevel(const OpenWBEM::ConfigFile::ConfigMap& configMap) {
  if (!logger->setLogLevel(OpenWBEM::ConfigFile::getConfigItem(configMap, kLogLevelItem, "error")))
    logger->setLogLevel(OpenWBEM::Logger::E_ERROR_LEVEL);
}

struct LoopRhythm {
  unsigned passMs = DHCP_LOOP_PASS_MS;
  int routerCheckPasses = DHCP_ROUTER_CHECK_PASSES;
};

LoopRhythm loopRhythm(const OpenWBEM::ConfigFile::ConfigMap& map) {
  LoopRhythm rhythm;
  rhythm.passMs = static_cast<unsigned>(numberSetting(map, kPassLengthItem, DHCP_LOOP_PASS_MS));
  rhythm.routerCheckPasses =
      static_cast<int>(numberSetting(map, kRouterCheckPassesItem, DHCP_ROUTER_CHECK_PASSES));
  return rhythm;
}

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

// Changes into TAVREL_AGENT_WORK_DIR, made 0700 and owned by the agent's
// user (root): no other user can plant a "temp.txt" link or FIFO there.
bool enterPrivateWorkDir() {
  if (mkdir(TAVREL_AGENT_WORK_DIR, S_IRWXU) != 0 && errno != EEXIST) {
    syslog(LOG_ERR, "Cannot create %s: %s", TAVREL_AGENT_WORK_DIR, strerror(errno));
    return false;
  }
  int fd = open(TAVREL_AGENT_WORK_DIR, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  const char* fault = nullptr;
  if (fd < 0 || fstat(fd, &st) != 0)
    fault = strerror(errno);
  else if (st.st_uid != geteuid())
    fault = "owned by another user";
  else if (fchmod(fd, S_IRWXU) != 0 || fchdir(fd) != 0)
    fault = strerror(errno);
  if (fd >= 0) close(fd);
  if (fault != nullptr) {
    syslog(LOG_ERR, "Cannot work in %s: %s", TAVREL_AGENT_WORK_DIR, fault);
    return false;
  }
  return true;
}

void stopSignalHandler(int) {
  tavrelAgentStop(0);
}

void reloadSignalHandler(int) {
  dhcpCompRequestReload();
}

// SIGHUP (systemctl reload) asks the main loop to read the configuration
// files again, in either mode.
void installReloadHandler() {
  struct sigaction action;
  memset(&action, 0, sizeof(action));
  action.sa_handler = reloadSignalHandler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGHUP, &action, nullptr);
}

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
  dhcpCompLogEvent(DHCP_MSG_SERVICE_STOPPED);
  VexServiceStopService();
  killRecordedAgent();
  return status;
}

// libTavrel runs the self-test, reports the status and renews the customer
// LAN's address only when the program that loads it offers them (it refers
// to them weakly); the agent offers them: naming them here takes them in.
__attribute__((used)) const void* const kOfferedToProvider[] = {
    reinterpret_cast<const void*>(&dhcpCompTestDhcpService),
    reinterpret_cast<const void*>(&dhcpCompAgentStatus),
    reinterpret_cast<const void*>(&dhcpcompRenewDynamicIPAddress),
};

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

// The exhaustion alarm thresholds; the clear threshold must not lie above
// the raise threshold.
void readPoolAlarmSettings(const OpenWBEM::ConfigFile::ConfigMap& map) {
  unsigned long raise = numberSetting(map, kPoolRaiseItem, DHCP_POOL_ALARM_RAISE_PERCENT);
  unsigned long clear = numberSetting(map, kPoolClearItem, DHCP_POOL_ALARM_CLEAR_PERCENT);
  if (clear > raise) {
    syslog(LOG_ERR, "%s %lu lies above %s %lu; using %d and %d", kPoolClearItem, clear, kPoolRaiseItem, raise,
           DHCP_POOL_ALARM_RAISE_PERCENT, DHCP_POOL_ALARM_CLEAR_PERCENT);
    raise = DHCP_POOL_ALARM_RAISE_PERCENT;
    clear = DHCP_POOL_ALARM_CLEAR_PERCENT;
  }
  g_poolAlarmRaisePercent = static_cast<int>(raise);
  g_poolAlarmClearPercent = static_cast<int>(clear);
}

// True when the component configuration file exists and holds something;
// else logs message 62004 with the reason. An empty file would silently
// serve the defaults instead of the administrator's configuration.
bool componentFileUsable() {
  struct stat st;
  const char* fault = nullptr;
  if (stat(g_strT20ConfigFilename, &st) != 0)
    fault = strerror(errno);
  else if (st.st_size == 0)
    fault = "the file is empty";
  if (fault == nullptr) return true;
  dhcpCompLogEvent(DHCP_MSG_CONFIG_FILE, g_strT20ConfigFilename, fault);
  return false;
}

// Start-up work from the first interface discovery to the first commit.
// Returns false when the component configuration file cannot be read.
bool bringUpConfiguration() {
  dhcpCompRefreshPublishedIPAddress();
  dhcpCompDiscoverInterfaces();

  if (!componentFileUsable()) return false;
  if (dhcpCompReadDhcpCompConfigFile() == 0) {
    dhcpCompLogEvent(DHCP_MSG_CONFIG_FILE, g_strT20ConfigFilename, strerror(errno));
    return false;
  }
  CustomerLANDhcpCompConfig.externalServerWarning = 1;

  if (CustomerLANIpConfig.staticIP == 0) {
    dhcpCompCheckCustLANDynamicIPStatus();
    g_bCustomerLANWasDynamic = 1;
  }
  bTavrelJustStarted = 0;

  dhcpCompRefreshPublishedIPAddress();
  if (CustomerLANDhcpCompConfig.defaultGatewayEmpty)
    updateDefaultGatewayDynamic(&CustomerLANDhcpCompConfig, &CustomerLANIpConfig);
  dhcpCompFillEmptyCallServers();

  dhcpCompVerifyAllRangesInSubnets();
  dhcpCompCommitConfigurationChanges();

  dhcpCompLeaseFileChanged();
  dhcpCompGetDhcpdServerLeaseInfo();

  // The provider singletons, made after the provider agent has installed the
  // implementation instance managers so that CIM requests find them. They
  // live until the process ends.
  ZPX_DHCPSettingDataImpl::m_pInstance = new ZPX_DHCPSettingDataImpl("Zelkor:ZPX_DHCPSettingData");
  ZPX_DHCPServiceImpl::m_pInstanceDHCPService =
      new ZPX_DHCPServiceImpl("ZPX_System", "ZPX", "ZPX_DHCPService", "DHCPService");
  return true;
}

// The configuration file named with -c, read again on a reload, and the
// provider agent the reload hands its settings to (null while none runs).
OpenWBEM::String g_configFileName;
OpenWBEM::ProviderAgent* g_providerAgent = nullptr;

// SIGHUP: the agent's configuration file, the component file, the
// credentials, certificate and key are read again, and the component file
// committed, as an IP change does. A file that cannot be read leaves the
// running configuration as it is. The main loop's rhythm and the
// probe period take effect at the next start.
void reloadConfiguration() {
  dhcpCompNotifyServiceManager("RELOADING=1");
  syslog(LOG_NOTICE, "Reloading the configuration (%s, %s)", g_configFileName.c_str(),
         g_strT20ConfigFilename);
  OpenWBEM::ConfigFile::ConfigMap configMap;
  if (loadSettings(g_configFileName, configMap)) {
    readPoolAlarmSettings(configMap);
    applyLogLevel(configMap);
  }
  // Credentials, certificate and key, whether or not the settings file read.
  if (g_providerAgent != nullptr) g_providerAgent->reload();
  if (componentFileUsable()) dhcpCompReloadConfiguration();
  dhcpCompNotifyServiceManager("READY=1");
}

// The work of one loop turn under the agent's lock: reaping, a reload or
// the IP-change rebuild when due, and what the supervision is to check.
void runLockedPass(bool reload, bool rebuild) {
  dhcpCompReapDaemons();
  if (reload) reloadConfiguration();
  if (rebuild) {
    dhcpCompIPConfigurationChanged();
    dhcpCompRequestForeignServerProbe();
  }
  dhcpCompSuperviseFromRecords();
}

// True when the IP-change flag file was raised since the last look: its event
// seen by the wait, or the file there. The file is removed.
bool takeFlagFile(bool eventSeen) {
  if (!flagFileExists()) return eventSeen;
  dhcpCompRunCommand("%s", kRemoveFlagFileCommand);
  return true;
}

// What the command line asks for.
enum class Mode { Service, Debug, Usage, BadCommandLine };

Mode parseCommandLine(int argc, char* argv[], std::unique_ptr<CmdLineParser>& parser) {
  try {
    parser.reset(new CmdLineParser(argc, argv, g_options));
  } catch (const OpenWBEM::CmdLineParserException& e) {
    syslog(LOG_ERR, "%s", e.getMessage());
    printUsage(stderr);
    return Mode::BadCommandLine;
  }
  if (parser->isSet(kOptionDebug)) return Mode::Debug;
  if (!parser->isSet(kOptionConfig)) {
    printUsage(stdout);
    return Mode::Usage;
  }
  return Mode::Service;
}

// The process around the agent: its private work directory, child reaping,
// the stop wake-up, no second agent, and the service registration (or, in
// debug mode, its own stop signals). False when the agent cannot run.
bool prepareProcess(bool serviceMode) {
  if (!enterPrivateWorkDir()) return false;
  // The agent reaps the daemons it starts, so a stop can wait for their end.
  dhcpCompInitProcessControl();
  dhcpCompInitStopWakeup();
  dhcpCompInitFlagWatch();
  killRecordedAgent();
  installReloadHandler();
  if (!serviceMode) {
    installDebugStopHandlers();
    return true;
  }
  int rc = VexServiceStartService(TAVREL_AGENT_NAME, 0, 0, tavrelAgentStop, kServiceFlags);
  if (rc != 0) syslog(LOG_ERR, "Can't start VEX Service for TavrelAgent rc = %d", rc);
  return rc == 0;
}

// The settings the agent takes from the OpenWBEM configuration file; sets
// the pool alarm thresholds and creates the logger.
struct AgentSettings {
  OpenWBEM::String callbackURL;
  unsigned probeSeconds = DHCP_FOREIGN_SERVER_PROBE_SECONDS;
};

AgentSettings applySettings(const OpenWBEM::ConfigFile::ConfigMap& configMap) {
  AgentSettings settings;
  settings.callbackURL = OpenWBEM::ConfigFile::getConfigItem(configMap, kCallbackUrlItem, "");
  readPoolAlarmSettings(configMap);
  dhcpCompSetLeaseFileLimit(numberSetting(configMap, kLeaseFileLimitItem, kLeaseFileLimitDefault));
  settings.probeSeconds =
      static_cast<unsigned>(numberSetting(configMap, kProbeIntervalItem, DHCP_FOREIGN_SERVER_PROBE_SECONDS));
  logger = OpenWBEM::Logger::createLogger(
      OpenWBEM::ConfigFile::getConfigItem(configMap, kLogLocationItem, "syslog"), true);
  applyLogLevel(configMap);
  return settings;
}

// The provider agent serving libTavrel over CIM-XML and the binary
// protocol, sharing locker with the agent; null (logged) when it cannot be
// started.
std::unique_ptr<OpenWBEM::ProviderAgent> startProviderAgent(
    const OpenWBEM::ConfigFile::ConfigMap& configMap, const OpenWBEM::String& callbackURL,
    const OpenWBEM::ProviderAgentLockerIFCRef& locker) {
  OpenWBEM::AuthenticatorIFCRef authenticator(OpenWBEM::SharedLibraryRef(),
                                              new OpenWBEM::NonAuthenticatingAuthenticator);
  OpenWBEM::Array<OpenWBEM::RequestHandlerIFCRef> requestHandlers;
  requestHandlers.push_back(
      OpenWBEM::RequestHandlerIFCRef(OpenWBEM::SharedLibraryRef(), new OpenWBEM::XMLExecute));
  requestHandlers.push_back(
      OpenWBEM::RequestHandlerIFCRef(OpenWBEM::SharedLibraryRef(), new OpenWBEM::BinaryRequestHandler));
  OpenWBEM::CppProviderBaseIFCRef provider = OpenWBEM::CppProviderIFC::loadProvider(kProviderLibrary, logger);
  if (!provider || !providerIsLinkedCopy()) {
    syslog(LOG_ERR, "Cannot load the provider library %s%s", kProviderLibrary,
           provider ? " (not the copy TavrelAgent is linked with)" : "");
    return nullptr;
  }
  OpenWBEM::Array<OpenWBEM::CppProviderBaseIFCRef> providers;
  providers.push_back(provider);
  OpenWBEM::Array<OpenWBEM::CIMClass> classes;
  try {
    return std::unique_ptr<OpenWBEM::ProviderAgent>(new OpenWBEM::ProviderAgent(
        configMap, providers, classes, requestHandlers, authenticator, logger, callbackURL, locker));
  } catch (const OpenWBEM::ProviderAgentException& e) {
    syslog(LOG_ERR, "Cannot start the provider agent: %s", e.getMessage());
    return nullptr;
  }
}

// Announces the service and brings up the configuration under the lock,
// so that no CIM request sees it half made. When the component
// configuration cannot be read, the agent is shut down (still under the
// lock) and false returned.
bool startUnderLock(const OpenWBEM::ProviderAgentLockerIFCRef& locker) {
  AgentLock lock(locker);
  uint32_t processId = 0;
  int rc = osGetProcessId(&processId);
  if (rc != 0)
    logger->logError(OpenWBEM::String("Tavrel: osGetProcessId() returns ") +
                     OpenWBEM::String(std::to_string(rc)));
  dhcpCompLogEvent(DHCP_MSG_SERVICE_STARTED);
  syslog(
      LOG_INFO, "%s",
      g_bIntegratedRouterPresent == 1 ? "Integrated Router is Present" : "Integrated Router is NOT Present");
  if (!bringUpConfiguration()) {
    shutdownAgent(kExitConfigError);
    return false;
  }
  dhcpCompCheckPoolAlarms();
  return true;
}

// The watchers on their own threads: dhcpd supervision, the lease file
// watch and the foreign-server probes; the last two work under the lock.
void startWatchers(const OpenWBEM::ProviderAgentLockerIFCRef& locker, unsigned probeSeconds) {
  dhcpCompStartDhcpdSupervision();
  int rc = dhcpCompStartLeaseWatch([&locker] {
    // The file is read and parsed outside the lock; the lock only applies it.
    dhcpCompReadLeaseFileChanges();
    AgentLock lock(locker);
    dhcpCompRefreshLeaseInfo();
    dhcpCompCheckPoolAlarms();
  });
  if (rc != 0)
    syslog(LOG_ERR, "Cannot follow %s (%s): pool alarms wait for the next listing", DHCPD_LEASE_FILE,
           strerror(rc));
  rc = dhcpCompStartForeignServerProbes(probeSeconds, [&locker](const std::function<void()>& f) {
    AgentLock lock(locker);
    f();
  });
  if (rc != 0) syslog(LOG_ERR, "Cannot probe for foreign DHCP servers (%s)", strerror(rc));
}

// Runs the loop until a stop is requested. Flag-file events are coalesced
// into rebuilds; a pass ends every rhythm.passMs with the router
// supervision. The lock is taken only for work on the records: the waits,
// the flag file's removal and the router's pings run without it.
void runMainLoop(const OpenWBEM::ProviderAgentLockerIFCRef& locker, const LoopRhythm& rhythm) {
  using Clock = std::chrono::steady_clock;
  int pingCounter = 0;
  DhcpCompIpChangeCoalescer coalescer;
  DhcpCompLocked locked = [&locker](const std::function<void()>& f) {
    AgentLock lock(locker);
    f();
  };
  auto passLength = std::chrono::milliseconds(rhythm.passMs);
  auto passEnd = Clock::now() + passLength;
  bool eventSeen = false;
  while (!g_dhcpStopService) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(std::min(passEnd, coalescer.due()) -
                                                                      Clock::now());
    if (left.count() > 0) eventSeen = dhcpCompWaitForFlagOrStop(static_cast<unsigned>(left.count()));
    if (g_dhcpStopService) break;
    if (takeFlagFile(eventSeen)) coalescer.flagRaised(Clock::now());
    eventSeen = false;
    bool passEnded = Clock::now() >= passEnd;
    bool rebuild = coalescer.takeDue(Clock::now());
    bool reload = g_dhcpReloadRequested.exchange(0) != 0;
    if (rebuild || passEnded || reload) {
      locked([reload, rebuild] { runLockedPass(reload, rebuild); });
      if (rebuild) coalescer.rebuilt(Clock::now());
    }
    if (passEnded) {
      dhcpCompSuperviseRouterPass(&pingCounter, rhythm.routerCheckPasses, locked);
      passEnd = Clock::now() + passLength;
    }
  }
}

// The orderly stop after the main loop.
int stopAgent(std::unique_ptr<OpenWBEM::ProviderAgent>& providerAgent) {
  dhcpCompNotifyServiceManager("STOPPING=1");
  dhcpCompStopForeignServerProbes();
  dhcpCompStopLeaseWatch();
  dhcpCompStopDhcpdSupervision();
  // The provider agent stops taking requests first: a request waiting for
  // the lock would otherwise restart dhcpd after its final stop.
  g_providerAgent = nullptr;
  providerAgent.reset();
  dhcpCompKillDhcpDaemon();
  return shutdownAgent(0);
}

// The interfaces the agent serves must exist; false (logged) when one is
// missing, as on a host whose LAN interfaces have other names.
bool servedInterfacesExist() {
  bool all = true;
  for (const char* name : {DHCP_CUSTOMER_LAN_IFNAME, DHCP_OAM_LAN_IFNAME}) {
    if (if_nametoindex(name) != 0) continue;
    syslog(LOG_ERR, "Cannot serve %s: no such network interface (TavrelAgent serves %s and %s)", name,
           DHCP_CUSTOMER_LAN_IFNAME, DHCP_OAM_LAN_IFNAME);
    all = false;
  }
  return all;
}

// Messages go to the system log, and a copy to standard error for a person
// or a test reading it; never into the journal, which has them from the
// system log already (systemd names its stream in JOURNAL_STREAM), nor to
// /dev/null.
int logOptions() {
  struct stat st;
  if (fstat(STDERR_FILENO, &st) != 0) return LOG_CONS;
  unsigned long long device = 0, inode = 0;
  const char* journal = getenv("JOURNAL_STREAM");
  if (journal != nullptr && sscanf(journal, "%llu:%llu", &device, &inode) == 2 && device == st.st_dev &&
      inode == st.st_ino)
    return LOG_CONS;
  if (S_ISCHR(st.st_mode) && !isatty(STDERR_FILENO)) return LOG_CONS;
  return LOG_CONS | LOG_PERROR;
}

}  // namespace

int main(int argc, char* argv[]) {
  openlog(TAVREL_AGENT_NAME, logOptions(), LOG_DAEMON);
  // Large answers (a lease listing runs to megabytes) get pages of their
  // own, returned when the answer has been sent. Left to the heap, they
  // would be reused for small objects made meanwhile, which then pin the
  // whole area in memory.
  mallopt(M_MMAP_THRESHOLD, kMallocMmapThreshold);

  std::unique_ptr<CmdLineParser> parser;
  Mode mode = parseCommandLine(argc, argv, parser);
  if (mode == Mode::BadCommandLine || mode == Mode::Usage || !prepareProcess(mode == Mode::Service)) {
    closelog();
    return mode == Mode::Usage ? 0 : 1;
  }

  dhcpCompCreatePIDFile(getpid());
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "%s", DHCP_DEFAULT_CONFIG_FILENAME);
  dhcpCompInit();

  OpenWBEM::String configFileName = parser->getOptionValue(kOptionConfig);
  if (configFileName.empty()) {
    dhcpCompLogEvent(DHCP_MSG_NO_CONFIG_OPTION);
    return 0;
  }
  OpenWBEM::ConfigFile::ConfigMap configMap;
  if (!loadSettings(configFileName, configMap)) return shutdownAgent(kExitConfigError);
  g_configFileName = configFileName;
  AgentSettings settings = applySettings(configMap);
  if (!servedInterfacesExist()) return shutdownAgent(kExitConfigError);

  OpenWBEM::ProviderAgentLockerIFCRef locker(new OpenWBEM::ProviderAgentMutexLocker);
  std::unique_ptr<OpenWBEM::ProviderAgent> providerAgent =
      startProviderAgent(configMap, settings.callbackURL, locker);
  // A setting the provider agent refuses, its class definitions or the
  // provider library missing, a port taken: nothing a restart would mend.
  if (!providerAgent) return shutdownAgent(kExitConfigError);
  g_providerAgent = providerAgent.get();
  if (!startUnderLock(locker)) return kExitConfigError;
  dhcpCompNotifyServiceManager("READY=1");
  startWatchers(locker, settings.probeSeconds);
  runMainLoop(locker, loopRhythm(configMap));
  return stopAgent(providerAgent);
}
