// The message catalogue's alarms as the appliance's alarm path and the
// system log get them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <syslog.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "messages.h"
#include "model_test_support.h"

namespace {

TEST(MessagesTest, AlarmsReachTheAlarmPathAndTheLogWithOneText) {
  model_test::TempDir root;
  setenv("TAVREL_PLATFORM_DIR", root.path().c_str(), 1);
  openlog("messages_test", LOG_PERROR, LOG_DAEMON);  // a copy of each line on stderr
  const std::string longName = "%s" + std::string(120, 'x');
  struct Case {
    std::function<void()> raise;
    const char* id;
    const char* severity;
    std::string text;
  } cases[] = {
      {[] { dhcpCompRaiseAlarm(DHCP_ALARM_POOL_RECOVERED, "eth1 192.168.1.30-192.168.1.33", 75); }, "60011",
       "4", "DHCP pool has room again, eth1 192.168.1.30-192.168.1.33 (75%)"},
      {[] { dhcpCompRaiseAlarm(DHCP_ALARM_FOREIGN_OFFERS_DROPPED, size_t{3}); }, "60012", "2",
       "Foreign DHCP servers: 3 further offers of this probe not recorded"},
      // Cut to DHCP_ALARM_TEXT_SIZE - 1 characters in both, a "%" taken as it is.
      {[&] { dhcpCompRaiseAlarm(DHCP_ALARM_POOL_REMOVED, longName.c_str()); }, "60011", "4",
       "DHCP pool removed, " + longName.substr(0, DHCP_ALARM_TEXT_SIZE - 20)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    unlink(root.file("LAN.log").c_str());
    testing::internal::CaptureStderr();
    c.raise();
    EXPECT_EQ(std::string("messages_test: {") + c.id + "} {" + c.text + "}\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(std::string("NETKEEL\t") + c.severity + "\t" + c.id + "\t" + c.text + "\n",
              model_test::readFile(root.file("LAN.log")));
  }
  openlog(nullptr, 0, LOG_USER);  // the defaults again
  unsetenv("TAVREL_PLATFORM_DIR");
}

}  // namespace
