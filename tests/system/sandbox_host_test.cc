// Runs tests/sandbox/appliance from the host: the command's status reaches
// the caller, the host's files, namespaces and processes are untouched, and
// everything a run started is gone afterwards, also after a failing command
// or a killed sandbox.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "sandbox_util.h"

extern char** environ;

namespace {

using tavrel::sandbox::fileExists;
using tavrel::sandbox::readFile;
using tavrel::sandbox::runCommand;
using tavrel::sandbox::shellQuote;
using tavrel::sandbox::waitUntil;

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string applianceScript() {
  return env("TAVREL_SOURCE_DIR") + "/tests/sandbox/appliance";
}

// Text of every host process's command line and network namespace.
struct HostProcesses {
  std::string commandLines;
  std::set<std::string> netNamespaces;
};

HostProcesses hostProcesses() {
  HostProcesses result;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) {
    return result;
  }
  while (dirent* entry = readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    std::string cmdline = readFile("/proc/" + pid + "/cmdline");
    for (char& c : cmdline) {
      if (c == '\0') {
        c = ' ';
      }
    }
    result.commandLines += cmdline + "\n";
    char link[64] = {};
    const std::string nsPath = "/proc/" + pid + "/ns/net";
    if (readlink(nsPath.c_str(), link, sizeof link - 1) > 0) {
      result.netNamespaces.insert(link);
    }
  }
  closedir(proc);
  return result;
}

// What a run could change on the host if the sandbox leaked: the appliance's
// fixed paths, the host's network namespaces, interfaces and mounts.
std::string hostState() {
  return runCommand(
             "for p in /pq /etc/sysconfig /opt/sbin /var/lib/dhcp /etc/hosts /etc/resolv.conf "
             "/etc/dhclient-eth1.conf /sbin/ifup /sbin/ifdown /usr/sbin/ifconfig "
             "/root/dhcp.check4 /var/run/dhcpd.pid /var/run/dhclient-eth1.pid /dev/log /dev/probe; do "
             "  find $p -printf '%p %y %s %T@\\n' 2>/dev/null || echo \"$p absent\"; done; "
             "find /pq /etc/sysconfig /var/lib/dhcp /etc/hosts -type f -exec md5sum {} + "
             "2>/dev/null; ip netns list; ip -o link show | awk '{print $2}'; "
             "grep -c -e overlay -e tavrel /proc/self/mountinfo")
      .output;
}

class SandboxHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) {
      GTEST_SKIP() << "the appliance sandbox needs root";
    }
    // A folder of the build tree (the working directory), which the
    // appliance shows at the same path when named as TAVREL_BINARY_DIR.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    buildDir_ = cwd;
    std::string pattern = buildDir_ + "/sandbox-host-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    shared_ = pattern;
  }
  void TearDown() override {
    if (!shared_.empty()) {
      runCommand("rm -rf " + shellQuote(shared_));
    }
  }

  // Runs CMD (a shell text) in a fresh appliance; skips when it cannot exist.
  int runInside(const std::string& options, const std::string& command) {
    const auto result = runCommand(appliance() + " run " + options + " -- /bin/sh -c " + shellQuote(command) +
                                   " 2>" + shellQuote(shared_ + "/err"));
    if (result.status == 77) {
      skipped_ = true;
    }
    return result.status;
  }

  // The sandbox command, with the build folder passed through.
  std::string appliance() const {
    return "env TAVREL_BINARY_DIR=" + shellQuote(buildDir_) + " " + applianceScript();
  }

  std::string buildDir_;
  std::string shared_;
  bool skipped_ = false;
};

TEST_F(SandboxHostTest, CommandStatusEnvironmentAndBuildTree) {
  const std::string probe = shared_ + "/inside";
  const int status = runInside(
      "--vlans 7",
      "[ \"$TAVREL_APPLIANCE\" = 1 ] && [ \"$(pwd)\" = \"$APPLIANCE_SCRATCH\" ] && "
      "[ \"$APPLIANCE_VLANS\" = 7 ] && [ -x \"$APPLIANCE_PEER\" ] && [ -x \"$APPLIANCE_PHONE\" ] && "
      "[ -e /run/netns/$APPLIANCE_NS_UPSTREAM ] && [ \"$(id -u)\" = 0 ] && "
      "echo \"$APPLIANCE_RUN $(hostname)\" > " +
          shellQuote(probe) + " && exit 3");
  if (skipped_) {
    GTEST_SKIP() << readFile(shared_ + "/err");
  }
  EXPECT_EQ(status, 3) << readFile(shared_ + "/err");
  const std::string written = readFile(probe);
  EXPECT_EQ(written.rfind("tvl", 0), 0u) << written;
  EXPECT_NE(written.find(" appliance\n"), std::string::npos);
  EXPECT_EQ(runInside("", "exec /no/such/program"), 127);
}

TEST_F(SandboxHostTest, HostIsNotTouched) {
  const std::string before = hostState();
  const int status =
      runInside("--vlans 100 --router",
                "set -e; for d in /pq/etc /pq/bin /pq/lib/remoteprovider /var/lib/dhcp /root; do "
                "touch $d/written; done; echo 10.0.0.1 x >> /etc/hosts; echo n >> /etc/resolv.conf; "
                "echo X >> /etc/sysconfig/network; rm -f /etc/dhclient-eth1.conf /opt/sbin/dhcpd; "
                "mkdir -p /pq/new; touch /root/dhcp.check4 /dev/probe; logger -t probe written; "
                "printf 'ddns-update-style none;\\nsubnet 192.168.1.0 netmask 255.255.255.0 {}\\n' "
                "> /pq/etc/dhcpd.conf; touch /pq/etc/dhcpd.leases; "
                "/usr/sbin/dhcpd -q -cf /pq/etc/dhcpd.conf -lf /pq/etc/dhcpd.leases; "
                "/sbin/ifdown eth1; /sbin/ifup eth1");
  if (skipped_) {
    GTEST_SKIP() << readFile(shared_ + "/err");
  }
  EXPECT_EQ(status, 0) << readFile(shared_ + "/err");
  EXPECT_EQ(hostState(), before);
}

// How a run ends: the command succeeds, fails, or the sandbox is killed.
enum class Ending { Success, Failure, Killed };

class SandboxCleanupTest : public SandboxHostTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(SandboxCleanupTest, NothingOfTheRunRemains) {
  const std::string marker =
      "tavrel-marker-" + std::to_string(getpid()) + "-" + std::to_string(static_cast<int>(GetParam()));
  const std::string ready = shared_ + "/ready";
  const std::string before = hostState();
  // Leaves daemons behind: a detached process, the router's and the
  // appliance's dhcpd, a kept telephone.
  std::string command = "setsid bash -c 'exec -a " + marker +
                        " sleep 600' </dev/null >/dev/null 2>&1 & "
                        "printf 'ddns-update-style none;\\nsubnet 192.168.1.0 netmask 255.255.255.0 "
                        "{ range 192.168.1.100 192.168.1.110; }\\n' > /pq/etc/dhcpd.conf; "
                        "touch /pq/etc/dhcpd.leases; "
                        "/opt/sbin/dhcpd -q -cf /pq/etc/dhcpd.conf -lf /pq/etc/dhcpd.leases; "
                        "appliance-phone --keep kept-phone >/dev/null && "
                        "stat -L -c 'net:[%i]' /run/netns/* > " +
                        shellQuote(shared_ + "/ns") +
                        " && "
                        "touch " +
                        shellQuote(ready) + "; ";
  switch (GetParam()) {
    case Ending::Success:
      command += "exit 0";
      break;
    case Ending::Failure:
      command += "exit 9";
      break;
    case Ending::Killed:
      command += "sleep 600";
      break;
  }
  const std::string shell = appliance() + " run --router -- /bin/sh -c " + shellQuote(command);
  if (GetParam() == Ending::Killed) {
    pid_t pid = 0;
    const char* argv[] = {"/bin/sh", "-c", shell.c_str(), nullptr};
    // exec: the shell becomes the appliance command itself.
    const std::string execShell = "exec " + shell;
    argv[2] = execShell.c_str();
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    int raw = 0;
    bool ended = false;
    const bool started = waitUntil(
        [&] {
          ended = waitpid(pid, &raw, WNOHANG) == pid;
          return ended || fileExists(ready);
        },
        std::chrono::seconds(60));
    if (!ended) {
      kill(pid, SIGKILL);
      waitpid(pid, &raw, 0);
    }
    if (ended && WIFEXITED(raw) && WEXITSTATUS(raw) == 77) {
      GTEST_SKIP() << "the appliance sandbox cannot be created here";
    }
    ASSERT_TRUE(started && !ended) << "the sandbox did not come up";
  } else {
    const int status = runInside("--router", command);
    if (skipped_) {
      GTEST_SKIP() << readFile(shared_ + "/err");
    }
    EXPECT_EQ(status, GetParam() == Ending::Success ? 0 : 9) << readFile(shared_ + "/err");
    ASSERT_TRUE(fileExists(ready)) << readFile(shared_ + "/err");
  }

  std::set<std::string> namespaces;
  std::istringstream lines(readFile(shared_ + "/ns"));
  for (std::string line; std::getline(lines, line);) {
    namespaces.insert(line);
  }
  EXPECT_EQ(namespaces.size(), 5u);  // appliance, LAN, OAM, upstream, telephone
  // The kernel ends the processes right after the run; wait for that.
  const bool gone = waitUntil([&] {
    const HostProcesses now = hostProcesses();
    if (now.commandLines.find(marker) != std::string::npos) {
      return false;
    }
    for (const auto& ns : namespaces) {
      if (now.netNamespaces.count(ns) != 0) {
        return false;
      }
    }
    return true;
  });
  EXPECT_TRUE(gone) << "processes of the run are still alive";
  EXPECT_EQ(hostState(), before);
}

INSTANTIATE_TEST_SUITE_P(Endings, SandboxCleanupTest,
                         ::testing::Values(Ending::Success, Ending::Failure, Ending::Killed),
                         [](const auto& paramInfo) {
                           switch (paramInfo.param) {
                             case Ending::Success:
                               return "Success";
                             case Ending::Failure:
                               return "Failure";
                             default:
                               return "Killed";
                           }
                         });

TEST_F(SandboxHostTest, RefusesBadOptionsAndSkipsWithoutRoot) {
  const std::string quiet = " -- true 2>/dev/null";
  EXPECT_EQ(runCommand(appliance() + " run --vlans 0" + quiet).status, 2);
  EXPECT_EQ(runCommand(appliance() + " run --vlans 5,5" + quiet).status, 2);
  EXPECT_EQ(runCommand(appliance() + " run --vlans 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17" + quiet).status,
            2);
  EXPECT_EQ(runCommand(appliance() + " run --router-conf /no/such.conf" + quiet).status, 2);
  EXPECT_EQ(runCommand(appliance() + " start 2>/dev/null").status, 2);

  // A router configuration dhcpd refuses is a set-up fault, not a skip.
  const std::string badConf = shared_ + "/router.conf";
  ASSERT_TRUE(tavrel::sandbox::writeFile(badConf, "subnet nonsense {\n"));
  const auto fault = runCommand(appliance() + " run --router-conf " + shellQuote(badConf) + " -- true 2>&1");
  if (fault.status != 77) {
    EXPECT_EQ(fault.status, 125);
    EXPECT_NE(fault.output.find("the upstream router's dhcpd did not start"), std::string::npos)
        << fault.output;
  }

  if (runCommand("command -v setpriv >/dev/null").status != 0) {
    GTEST_SKIP() << "setpriv (util-linux) is not installed";
  }
  const auto unprivileged = runCommand("setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                       applianceScript() + " run -- true 2>&1");
  EXPECT_EQ(unprivileged.status, 77);
  EXPECT_NE(unprivileged.output.find("needs root"), std::string::npos) << unprivileged.output;
}

}  // namespace
