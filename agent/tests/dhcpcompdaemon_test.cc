// Stopping processes through PID files, with real child processes of the
// test standing in for the daemons.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "dhcpcompdaemon.h"
#include "dhcputil_file.h"
#include "model_test_support.h"
#include "test_support.h"

namespace {

// A child running "sleep"; with ignoreTerm it ignores SIGTERM.
pid_t startSleeper(bool ignoreTerm = false) {
  pid_t pid = fork();
  if (pid == 0) {
    if (ignoreTerm) signal(SIGTERM, SIG_IGN);
    execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Until exec the child is a copy of this program, not "sleep".
  std::string comm = "/proc/" + std::to_string(pid) + "/comm";
  for (int i = 0; i < 400 && model_test::readFile(comm) != "sleep\n"; ++i) usleep(5000);
  return pid;
}

bool alive(pid_t pid) {
  return waitpid(pid, nullptr, WNOHANG) == 0;
}

void endChild(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

class KillProcessTest : public ::testing::Test {
 protected:
  void stopThrough(const std::string& pidFileName, const std::string& content) {
    pidFile_ = dir_.file(pidFileName);
    model_test::writeFile(pidFile_, content);
    dhcpCompKillProcess(&pidFile_[0]);
    EXPECT_NE(0, access(pidFile_.c_str(), F_OK)) << "the PID file is deleted";
  }
  model_test::TempDir dir_;
  std::string pidFile_;
};

TEST_F(KillProcessTest, StopsAndReapsTheFilesProgram) {
  pid_t pid = startSleeper();
  ASSERT_GT(pid, 0);
  stopThrough("sleep.pid", std::to_string(pid) + "\r\n");
  // Reaped already: gone at once, no zombie left.
  EXPECT_EQ(-1, waitpid(pid, nullptr, WNOHANG));
  EXPECT_EQ(ECHILD, errno);
}

TEST_F(KillProcessTest, LeavesAnUnrelatedProcessAlone) {
  pid_t pid = startSleeper();
  ASSERT_GT(pid, 0);
  stopThrough("dhcpd.pid", std::to_string(pid) + "\n");
  EXPECT_TRUE(alive(pid));
  // Nor does the agent stop itself through its own PID file.
  std::string self = std::string(program_invocation_short_name) + ".pid";
  stopThrough(self, std::to_string(getpid()) + "\n");
  endChild(pid);
}

TEST_F(KillProcessTest, OnlyDecimalProcessIdsAreUsed) {
  pid_t pid = startSleeper();
  ASSERT_GT(pid, 0);
  std::string marker = dir_.file("marker");
  stopThrough("sleep.pid", "$(touch " + marker + "); touch " + marker + "\n-1 0 12x 99999999999999 " +
                               std::to_string(pid) + "\n");
  EXPECT_NE(0, access(marker.c_str(), F_OK)) << "nothing reached a shell";
  EXPECT_FALSE(alive(pid));
  if (alive(pid)) endChild(pid);
}

TEST_F(KillProcessTest, ProcessIgnoringSigtermIsKilled) {
  pid_t pid = startSleeper(true);
  ASSERT_GT(pid, 0);
  stopThrough("sleep.pid", std::to_string(pid));
  EXPECT_EQ(-1, waitpid(pid, nullptr, WNOHANG));
}

bool isZombie(pid_t pid) {
  std::string stat = model_test::readFile("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  return close != std::string::npos && stat.compare(close, 4, ") Z ") == 0;
}

// A daemon that detached and ended is reaped; the agent's own children are
// left to the code waiting for them.
TEST(ReapDaemonsTest, AdoptedDaemonZombiesAreReapedOthersAreLeft) {
  ASSERT_EQ(0, dhcpCompInitProcessControl());
  model_test::TempDir dir;
  std::string daemon = dir.file("dhclient");
  ASSERT_EQ(0, dhcpUtilCopyFile("/bin/sleep", daemon.c_str()));
  ASSERT_EQ(0, chmod(daemon.c_str(), 0755));
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  pid_t middle = fork();
  if (middle == 0) {
    pid_t detached = fork();
    if (detached == 0) {
      execl(daemon.c_str(), "dhclient", "0.1", static_cast<char*>(nullptr));
      _exit(127);
    }
    ssize_t written = write(fds[1], &detached, sizeof(detached));
    _exit(written == sizeof(detached) ? 0 : 1);
  }
  pid_t detached = 0;
  ASSERT_EQ(static_cast<ssize_t>(sizeof(detached)), read(fds[0], &detached, sizeof(detached)));
  close(fds[0]);
  close(fds[1]);
  waitpid(middle, nullptr, 0);
  pid_t own = fork();
  if (own == 0) _exit(3);
  ASSERT_TRUE(tavrel::test::waitUntil([&] { return isZombie(detached) && isZombie(own); }));

  dhcpCompReapDaemons();
  EXPECT_NE(0, ::kill(detached, 0));
  int status = 0;
  EXPECT_EQ(own, waitpid(own, &status, 0));
  EXPECT_EQ(3, WEXITSTATUS(status));
}

TEST(RunCommandTest, CommandLongerThanTheBufferIsNotRun) {
  model_test::TempDir dir;
  std::string marker = dir.file("marker");
  EXPECT_EQ(0, dhcpCompRunCommand("touch %s", marker.c_str()));
  EXPECT_EQ(0, access(marker.c_str(), F_OK));
  unlink(marker.c_str());
  std::string padding(DHCP_TEMP_BUF_SIZE, ' ');
  EXPECT_EQ(-1, dhcpCompRunCommand("touch %s%s", marker.c_str(), padding.c_str()));
  EXPECT_NE(0, access(marker.c_str(), F_OK));
}

}  // namespace
