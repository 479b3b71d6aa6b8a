// Stopping processes through PID files, with real child processes of the
// test standing in for the daemons; running commands; file replacement.
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commit.h"
#include "dhcpd.h"
#include "model/records.h"
#include "model/text_file.h"
#include "model_test_support.h"
#include "process.h"
#include "test_support.h"

namespace {

// A child running "sleep" (program); with ignoreTerm it ignores SIGTERM, with
// otherUser it runs as nobody.
pid_t startSleeper(bool ignoreTerm = false, bool otherUser = false,
                   const std::string& program = "/bin/sleep") {
  pid_t pid = fork();
  if (pid == 0) {
    if (ignoreTerm) signal(SIGTERM, SIG_IGN);
    if (otherUser && setuid(65534) != 0) _exit(126);
    execl(program.c_str(), "sleep", "60", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Until exec the child is a copy of this program, not "sleep".
  tavrel::test::waitUntil(
      [&] { return model_test::readFile("/proc/" + std::to_string(pid) + "/comm") == "sleep\n"; });
  return pid;
}

TEST(ProcessControlTest, PidFilesStopOnlyTheirOwnProgram) {
  model_test::TempDir dir;
  std::string marker = dir.file("marker");
  struct Case {
    const char* file;
    std::string before, after;
    bool ignoreTerm, stopped, otherUser = false, replaced = false;
  } cases[] = {
      {"sleep.pid", "", "\r\n", false, true},
      {"sleep.pid", "", "", true, true},                  // ignoring SIGTERM: killed
      {"dhcpd.pid", "", "\n", false, false},              // an unrelated process is left alone
      {"sleep.pid", "", "\n", false, false, true},        // so is another user's
      {"sleep.pid", "", "\n", false, true, false, true},  // its binary replaced: still sleep
      // Only decimal process ids are used; nothing reaches a shell.
      {"sleep.pid", "$(touch " + marker + "); touch " + marker + "\n-1 0 12x 99999999999999 ", "\n", false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + c.file);
    if (c.otherUser && geteuid() != 0) continue;  // needs root to start it
    std::string program = dir.file("sleep"), update = dir.file("sleep.new");
    ASSERT_EQ(0, dhcpUtilCopyFile("/bin/sleep", program.c_str()));
    ASSERT_EQ(0, chmod(program.c_str(), 0755));
    pid_t pid = startSleeper(c.ignoreTerm, c.otherUser, c.replaced ? program : "/bin/sleep");
    ASSERT_GT(pid, 0);
    // As an upgrade replaces a program: a new file renamed over the old.
    if (c.replaced) {
      ASSERT_EQ(0, dhcpUtilCopyFile("/bin/sleep", update.c_str()));
      ASSERT_EQ(0, rename(update.c_str(), program.c_str()));
    }
    std::string pidFile = dir.file(c.file);
    model_test::writeFile(pidFile, c.before + std::to_string(pid) + c.after);
    dhcpCompKillProcess(&pidFile[0]);
    EXPECT_NE(0, access(pidFile.c_str(), F_OK)) << "the PID file is deleted";
    // A stopped process is reaped already: no zombie left.
    EXPECT_EQ(c.stopped ? -1 : 0, waitpid(pid, nullptr, WNOHANG));
    if (!c.stopped) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  EXPECT_NE(0, access(marker.c_str(), F_OK));
  // Nor does the agent stop itself through its own PID file.
  std::string self = dir.file(std::string(program_invocation_short_name) + ".pid");
  model_test::writeFile(self, std::to_string(getpid()) + "\n");
  dhcpCompKillProcess(&self[0]);
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

// A program gets its argument vector as it is, no shell, none of the
// agent's descriptors or blocked signals; its output goes where asked.
TEST(RunProgramTest, ArgumentsReachTheProgramUnchanged) {
  model_test::TempDir dir;
  std::string marker = dir.file("marker"), output = dir.file("output");
  int open = ::open("/dev/null", O_RDONLY);  // inheritable
  ASSERT_GE(open, 0);
  std::string fd = std::to_string(open);
  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &term, &old);
  std::string touch = "$(touch " + marker + ")";
  struct Case {
    std::vector<std::string> argv;
    bool toFile;
    std::string out;
    int status;
  } cases[] = {
      {{"/bin/echo", "a  b", touch, ";", "|"}, false, "a  b " + touch + " ; |\n", 0},
      {{"/bin/sh", "-c", "echo out; echo err >&2; exit 3"}, false, "out\n", 3},
      {{"/bin/sh", "-c", "echo out; echo err >&2"}, true, "out\nerr\n", 0},
      {{"/bin/sh", "-c",
        "test -e /proc/$$/fd/" + fd + " && echo inherited; exec grep SigBlk /proc/self/status"},
       false,
       "SigBlk:\t0000000000000000\n",
       0},
      {{"/bin/sh", "-c", "cut -d' ' -f6 /proc/$$/stat; echo $$"}, true, "", 0},  // new session
      {{dir.file("missing")}, false, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argv.back());
    std::vector<const char*> argv;
    for (const std::string& a : c.argv) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::string got;
    int status = -1;
    if (c.toFile) {
      model_test::writeFile(output, "an earlier, longer output\n");
      ProcessOutput to;
      to.file = output.c_str();
      pid_t pid = 0;
      ASSERT_EQ(0, processSpawn(argv.data(), to, true, &pid));
      status = processWait(pid);
      EXPECT_EQ(-1, processWait(pid)) << "waited for once, it is no child any more";
      got = model_test::readFile(output);
    } else {
      status = dhcpCompRunProgram(argv.data(), &got, 1000);
    }
    EXPECT_EQ(c.status, status == -1 ? -1 : WEXITSTATUS(status));
    if (!c.out.empty()) {
      EXPECT_EQ(c.out, got);
    } else if (status == 0) {
      size_t line = got.find('\n');
      ASSERT_NE(std::string::npos, line) << got;
      EXPECT_EQ(got.substr(0, line + 1), got.substr(line + 1)) << "it leads a session of its own";
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  close(open);
  EXPECT_NE(0, access(marker.c_str(), F_OK));
}

TEST(FileTest, ReplaceKeepsTheModeAndLeavesNoTemporaryFile) {
  model_test::TempDir dir;
  std::string path = dir.file("dhcpd.conf");
  ASSERT_EQ(0, dhcpUtilReplaceFile(path.c_str(), "new\n", 4));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0644u, st.st_mode & 07777);
  ASSERT_EQ(0, chmod(path.c_str(), 0600));
  std::string big(100000, 'x');
  ASSERT_EQ(0, dhcpUtilReplaceFile(path.c_str(), big.data(), big.size()));
  EXPECT_EQ(big, model_test::readFile(path));
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  // Failures keep the old file and clean up.
  EXPECT_EQ(ENOENT, dhcpUtilReplaceFile(dir.file("missing/dhcpd.conf").c_str(), "x", 1));
  std::string blocked = dir.file("blocked");
  ASSERT_EQ(0, mkdir(blocked.c_str(), 0755));
  EXPECT_NE(0, dhcpUtilReplaceFile(blocked.c_str(), "x", 1));
  ASSERT_EQ(0, stat(blocked.c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(2u, dir.entries().size());

  // A copy replaces a longer file completely.
  std::string text(20000, 'c'), from = dir.file("from");
  model_test::writeFile(from, text);
  EXPECT_EQ(0, dhcpUtilCopyFile(from.c_str(), path.c_str()));
  EXPECT_EQ(text, model_test::readFile(path));
  EXPECT_EQ(ENOENT, dhcpUtilCopyFile(dir.file("missing").c_str(), path.c_str()));
  EXPECT_EQ(text, model_test::readFile(path));
}

}  // namespace
