// Runs tests/sandbox/appliance from the host: the command's status reaches
// the caller, and neither what the command writes nor the daemons it leaves
// (a detached process, dhcpd, a kept telephone, the router) outlive the run
// on the host, whether the command ends or the sandbox is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "test_support.h"

namespace {

using namespace tavrel::test;

// Command lines and network namespaces of every host process.
std::string hostProcesses() {
  std::string text;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string cmdline = readFile("/proc/" + pid + "/cmdline");
    for (char& c : cmdline) c = c == '\0' ? ' ' : c;
    std::error_code gone;  // the process may have ended meanwhile
    text += cmdline + " " + std::filesystem::read_symlink("/proc/" + pid + "/ns/net", gone).string() + "\n";
  }
  return text;
}

// What a run could change on the host if the sandbox leaked: the appliance's
// fixed paths, the host's network namespaces, interfaces and mounts.
std::string hostState() {
  return runCommand(
             "for p in /pq /etc/sysconfig /opt/sbin /var/lib/dhcp /etc/hosts /etc/resolv.conf "
             "/etc/dhclient-eth1.conf /sbin/ifup /sbin/ifdown /root/dhcp.check4 /var/run/dhcpd.pid "
             "/var/run/dhclient-eth1.pid /dev/probe; do "
             "  find $p -printf '%p %y %s %T@\\n' 2>/dev/null || echo \"$p absent\"; done; "
             "find /pq /etc/sysconfig /var/lib/dhcp /etc/hosts -type f -exec md5sum {} + 2>/dev/null; "
             "ip netns list; ip -o link show | awk '{print $2}'; grep -c -e overlay -e tavrel "
             "/proc/self/mountinfo")
      .output;
}

TEST(SandboxHostTest, NothingOfTheRunRemainsOnTheHost) {
  if (geteuid() != 0) GTEST_SKIP() << "the appliance sandbox needs root";
  // In the build tree, which the appliance shows at the same path.
  TempDir shared(binaryDir());
  const std::string before = hostState();
  for (bool killed : {false, true}) {
    SCOPED_TRACE(killed ? "sandbox killed" : "command fails");
    const std::string marker = "tavrel-marker-" + std::to_string(getpid()) + "-" + std::to_string(killed);
    const std::string ready = shared.file("ready"), ns = shared.file("ns");
    unlink(ready.c_str());
    const std::string command =
        "set -e; for d in /pq/etc /pq/bin /pq/lib/remoteprovider /var/lib/dhcp /root; do touch $d/written; "
        "done; echo 10.0.0.1 x >> /etc/hosts; echo n >> /etc/resolv.conf; echo X >> /etc/sysconfig/network; "
        "rm -f /etc/dhclient-eth1.conf; touch /root/dhcp.check4 /dev/probe; /sbin/ifdown eth1; "
        "/sbin/ifup eth1; setsid bash -c 'exec -a " +
        marker +
        " sleep 600' </dev/null >/dev/null 2>&1 & "
        "printf 'ddns-update-style none;\\nsubnet 192.168.1.0 netmask 255.255.255.0 "
        "{ range 192.168.1.100 192.168.1.110; }\\n' > /pq/etc/dhcpd.conf; touch /pq/etc/dhcpd.leases; "
        "/opt/sbin/dhcpd -q -cf /pq/etc/dhcpd.conf -lf /pq/etc/dhcpd.leases; "
        "appliance-phone --keep kept-phone >/dev/null; stat -L -c 'net:[%i]' /run/netns/* > " +
        shellQuote(ns) + "; touch " + shellQuote(ready) + "; " + (killed ? "sleep 600" : "exit 9");
    const std::string run = "env TAVREL_BINARY_DIR=" + shellQuote(binaryDir()) + " " + sourceDir() +
                            "/tests/sandbox/appliance run --router --vlans 100 -- /bin/sh -c " +
                            shellQuote(command) + " 2>" + shellQuote(shared.file("err"));
    if (!killed) {
      const int status = runCommand(run).status;
      if (status == 77) GTEST_SKIP() << readFile(shared.file("err"));
      EXPECT_EQ(9, status) << readFile(shared.file("err"));
    } else {
      pid_t pid = fork();
      if (pid == 0) {
        execl("/bin/sh", "sh", "-c", ("exec " + run).c_str(), static_cast<char*>(nullptr));
        _exit(127);
      }
      ASSERT_TRUE(waitUntil([&] { return fileExists(ready); }, std::chrono::seconds(60)))
          << readFile(shared.file("err"));
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    ASSERT_TRUE(fileExists(ready)) << readFile(shared.file("err"));
    std::set<std::string> namespaces;
    std::istringstream lines(readFile(ns));
    for (std::string line; std::getline(lines, line);) namespaces.insert(line);
    EXPECT_EQ(5u, namespaces.size());  // appliance, LAN, OAM, upstream, telephone
    // The kernel ends the processes right after the run; wait for that.
    EXPECT_TRUE(waitUntil([&] {
      const std::string now = hostProcesses();
      bool left = contains(now, marker);
      for (const auto& n : namespaces) left = left || contains(now, n);
      return !left;
    })) << "processes of the run are still alive";
    EXPECT_EQ(before, hostState());
  }
}

}  // namespace
