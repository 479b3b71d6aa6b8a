// Reading and writing a full component configuration file: eth1, 15 VLANs
// and eth2 (17 sections), all 32 range ids and 64 reservation ids used, every
// text field at its full length. Prints the median and worst time of each and
// fails when a median exceeds 1 ms. The file lies on tmpfs when /dev/shm
// exists (the write's fsync is then free); the same write on the build
// directory's disk is printed for comparison.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "model/config_file.h"
#include "model/records.h"
#include "model_test_support.h"

namespace {

const int kVlans = 15;
const int kRounds = 300;
const double kGoalMicroseconds = 1000.0;

using Clock = std::chrono::steady_clock;

// Customer LAN 10.0.0.0/16, VLAN v 10.v.0.0/16, OAM LAN 172.31.0.0/24.
void setUpInterfaces() {
  std::vector<int> vlans;
  for (int v = 1; v <= kVlans; ++v) vlans.push_back(v);
  model_test::resetModel(vlans);
  model_test::setInterface(&CustomerLANIpConfig, "10.0.0.1", "255.255.0.0");
  for (int v = 1; v <= kVlans; ++v) {
    std::string address = "10." + std::to_string(v) + ".0.1";
    model_test::setInterface(&VLANIpConfig[v - 1], address.c_str(), "255.255.0.0");
  }
  model_test::setInterface(&OAMLANIpConfig, "172.31.0.1", "255.255.255.0");
}

// Range i and reservation j go to LAN i % 16 (0 = customer LAN).
std::string fullFile() {
  std::string text;
  for (int lan = 0; lan <= kVlans; ++lan) {
    std::string net = "10." + std::to_string(lan) + ".";
    text += lan == 0 ? "[eth1]\n" : "[eth1." + std::to_string(lan) + "]\n";
    text += "dhcpStatus = 2\ndnsServers = 10.0.0.53, 10.0.0.54\ndomainName = " + std::string(41, 'd') +
            "\nwinsServer = 10.0.0.55\nwinsNodeType = 8\n" + "defaultGateway = " + net +
            "0.1\nleaseTime = 86400\naddrRange = ";
    const char* separator = "";
    for (int i = lan; i < DHCP_MAX_ADDR_RANGES; i += kVlans + 1) {
      text += separator + net + std::to_string(i) + ".100-" + net + std::to_string(i) + ".199";
      separator = ", ";
    }
    text += "\nreservedAddrs = ";
    separator = "";
    for (int j = lan; j < DHCP_MAX_RESERVED_ADDRS; j += kVlans + 1) {
      char mac[24];
      snprintf(mac, sizeof(mac), "00:0A:0B:0C:%02X:%02X", lan, j);
      text += separator + net + "200." + std::to_string(j) + " " + mac + " host-" + std::string(28, 'n') +
              std::to_string(j + 10) + " " + std::string(43, 'x');
      separator = ", ";
    }
    text += "\n";
    if (lan == 0)
      text +=
          "s1Address = 10.0.0.5\ns1PortNumber = 4100\ns1Action = 1\ns1RetryCount = 3\n"
          "s2Address = 10.0.0.6\ns2PortNumber = 7001\ns2Action = 1\ns2RetryCount = 3\n"
          "vlanIds = 1,2,3,4,5,6,7,8,9,10\nspectraTFTPAddress = 10.0.0.7\n"
          "spectraSVPAddress = 10.0.0.8\nrenewTimeLease = 3 2026/12/06 20:27:36\n"
          "startedFromPowerUp = 0\ndhcpServerOnRouter = 0\n";
    text += "\n";
  }
  text +=
      "[eth2]\ndhcpStatus = 2\ndnsServers = \ndomainName = \nwinsServer = \nwinsNodeType = 0\n"
      "defaultGateway = \nleaseTime = 3600\naddrRange = 172.31.0.2-172.31.0.2\nreservedAddrs = \n";
  return text;
}

struct Figures {
  double median, worst;
};

Figures summarize(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2], samples.back()};
}

double microsecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void usePath(const std::string& path) {
  snprintf(g_strT20ConfigFilename, sizeof(g_strT20ConfigFilename), "%s", path.c_str());
}

Figures measureWrites(const std::string& path) {
  usePath(path);
  std::vector<double> samples;
  for (int round = 0; round < kRounds; ++round) {
    Clock::time_point start = Clock::now();
    if (dhcpCompWriteDhcpCompConfigFile(0) != 1) {
      fprintf(stderr, "write failed: %s\n", path.c_str());
      return {1e9, 1e9};
    }
    samples.push_back(microsecondsSince(start));
  }
  return summarize(samples);
}

}  // namespace

int main() {
  bool tmpfs = access("/dev/shm", W_OK) == 0;
  model_test::TempDir disk;
  std::string dir = disk.path();
  std::string shmDir;
  if (tmpfs) {
    char pattern[] = "/dev/shm/tavrel-bench-XXXXXX";
    if (mkdtemp(pattern) != nullptr) shmDir = pattern;
  }
  std::string path = (shmDir.empty() ? dir : shmDir) + "/dhcpcomp.conf";
  std::string text = fullFile();
  model_test::writeFile(path, text);
  usePath(path);

  std::vector<double> reads;
  for (int round = 0; round < kRounds; ++round) {
    setUpInterfaces();
    Clock::time_point start = Clock::now();
    dhcpCompReadDhcpCompConfigFile();
    reads.push_back(microsecondsSince(start));
  }
  Figures read = summarize(reads);
  int sections = 2 + num_of_available_vlans;
  printf("component file: %zu bytes, %d sections, %d ranges, %d reservations\n", text.size(), sections,
         g_NumberOfRanges, g_NumberOfReservedIPs);
  bool complete =
      g_NumberOfRanges == DHCP_MAX_ADDR_RANGES && g_NumberOfReservedIPs == DHCP_MAX_RESERVED_ADDRS;

  Figures write = measureWrites(path);
  bool identical = model_test::readFile(path) == text;
  Figures diskWrite = measureWrites(dir + "/dhcpcomp.conf");
  printf("read : median %8.1f us, worst %8.1f us\n", read.median, read.worst);
  printf("write: median %8.1f us, worst %8.1f us (%s)\n", write.median, write.worst,
         shmDir.empty() ? "disk" : "tmpfs");
  printf("write with fsync on the build disk: median %8.1f us, worst %8.1f us\n", diskWrite.median,
         diskWrite.worst);
  if (!shmDir.empty()) {
    unlink(path.c_str());
    rmdir(shmDir.c_str());
  }
  if (!complete || !identical) {
    printf("FAIL: the file did not read back completely and unchanged\n");
    return 1;
  }
  if (read.median > kGoalMicroseconds || write.median > kGoalMicroseconds) {
    printf("FAIL: goal is 1 ms for each\n");
    return 1;
  }
  return 0;
}
