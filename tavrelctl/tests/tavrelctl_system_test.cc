// tavrelctl against the real TavrelAgent in the appliance sandbox: every
// command once over root's Unix socket, a refusal, --json read back, the
// offline check of a good and of a faulty file, the self-test on a
// telephones-only LAN and passwd followed by a login over HTTP.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "agent_runner.h"

namespace {

using namespace tavrel::test;

struct Ctl {
  int status = -1;
  std::string out;
  std::string err;
};

// tavrelctl with the given arguments (shell words), standard input from
// input when given.
Ctl tavrelctl(const std::string& args, const std::string& input = "") {
  const std::string err = scratchDir() + "/tavrelctl.err";
  std::string command = binaryDir() + "/bin/tavrelctl " + args + " 2>" + err;
  if (!input.empty()) command = "printf '%s\\n' " + shellQuote(input) + " | " + command;
  CommandResult r = runCommand(command);
  return {r.status, r.output, readFile(err)};
}

// A field of the first JSON object of text, read back by python's json.
std::string jsonField(const std::string& json, const std::string& expression) {
  const std::string file = scratchDir() + "/answer.json";
  writeFile(file, json);
  return runCommand(
             "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print(eval(\"d\" + "
             "sys.argv[2]))' " +
             file + " " + shellQuote(expression))
      .output;
}

class TavrelctlSystemTest : public CimSystemTest {
 protected:
  std::string ok(const std::string& args) const {
    Ctl r = tavrelctl(args);
    EXPECT_EQ(0, r.status) << args << ": " << r.err;
    return r.out;
  }
};

TEST_F(TavrelctlSystemTest, EveryCommandOverTheUnixSocket) {
  const std::string status = ok("status");
  EXPECT_THAT(
      status,
      AllOf(HasSubstr("agent: up, version "), HasSubstr("dhcpd: process "),
            ::testing::ContainsRegex("serving since [^\n]* \\(0m [0-9]{2}s\\)\n"), HasSubstr("last commit: "),
            HasSubstr("eth1           192.168.1.1/255.255.255.0  static      telephones only"),
            HasSubstr("eth1:192.168.1.100-192.168.1.199")));
  EXPECT_THAT(ok("settings"), HasSubstr("leaseTime = 3600\n"));
  EXPECT_EQ("", ok("set leaseTime=1234 domainName=example.lan"));
  EXPECT_THAT(ok("settings"),
              AllOf(HasSubstr("leaseTime = 1234\n"), HasSubstr("domainName = example.lan\n")));
  EXPECT_THAT(readFile(kDhcpdConf), HasSubstr("default-lease-time 1234;"));

  // A refusal: the agent's message, its error tag, the status in words.
  Ctl refused = tavrelctl("set s2OtherPort=10000");
  EXPECT_EQ(1, refused.status);
  EXPECT_THAT(refused.err,
              AllOf(HasSubstr("message: The value of s2OtherPort must be <= 9999"), HasSubstr("error tag: #"),
                    HasSubstr("CIM status: 4 CIM_ERR_INVALID_PARAMETER")));
  EXPECT_THAT(ok("settings"), HasSubstr("s2OtherPort = 4100\n"));

  EXPECT_EQ("range 1 added\n", ok("range add 192.168.1.200 192.168.1.220"));
  EXPECT_EQ("", ok("range set 1 EndAddress=192.168.1.230"));
  EXPECT_THAT(ok("ranges"), HasSubstr("192.168.1.200  192.168.1.230"));
  EXPECT_EQ("", ok("range del 1"));
  EXPECT_THAT(ok("ranges"), Not(HasSubstr("192.168.1.200")));

  EXPECT_EQ("reservation 0 added\n",
            ok("reservation add 192.168.1.50 02:00:00:00:00:51 deskphone 'Front desk'"));
  EXPECT_THAT(ok("reservations"), HasSubstr("02:00:00:00:00:51  deskphone"));
  EXPECT_EQ("", ok("reservation del 0"));
  EXPECT_EQ("none\n", ok("reservations"));

  phoneLease("--vendor Zelkor-p4100-A --mac 02:00:00:00:00:61");
  EXPECT_THAT(ok("leases --lan customer"), HasSubstr("02:00:00:00:00:61"));
  EXPECT_EQ("none\n", ok("leases --lan oam"));
  EXPECT_THAT(ok("pools"), HasSubstr("eth1:192.168.1.100-192.168.1.199"));
  EXPECT_EQ("none\n", ok("foreign"));
  EXPECT_EQ("", ok("renew"));
  EXPECT_THAT(ok("version"), HasSubstr("tavrelctl = "));

  // --json carries the CIM property names and types.
  EXPECT_EQ("1234\n", jsonField(ok("settings --json"), "['leaseTime']"));
  EXPECT_EQ("192.168.1.100\n", jsonField(ok("ranges --json"), "[0]['StartAddress']"));
  EXPECT_EQ("('eth1', '172.31.0.1/255.255.255.0')\n",
            jsonField(ok("status --json"), "['lans'][0]['InterfaceName'], d['lans'][-1]['Address']"));

  // Exit statuses of a usage error and of an agent that is not there.
  EXPECT_EQ(2, tavrelctl("range add 192.168.1.200").status);
  EXPECT_EQ(3, tavrelctl("status --socket /var/run/nothing.socket").status);
}

// The sample's customer LAN serves telephones only: a telephone's vendor
// class gets an offer of our server with the call servers (option 128), a
// client without one gets nothing from us.
TEST_F(TavrelctlSystemTest, SelfTestOnATelephonesOnlyLan) {
  const std::string phone = ok("--json test eth1 --vendor Zelkor-p4100-A");
  EXPECT_EQ("True\n", jsonField(phone, "['ownServerAnswered']")) << phone;
  EXPECT_EQ("('192.168.1.1', True, 3600)\n",
            jsonField(phone,
                      "['servers'][0]['serverAddress'], d['servers'][0]['ownServer'], "
                      "d['servers'][0]['leaseTime']"));
  EXPECT_THAT(jsonField(phone, "['servers'][0]['option128']"), HasSubstr("192.168.1.5"));
  EXPECT_THAT(jsonField(phone, "['servers'][0]['offeredAddress']"), HasSubstr("192.168.1.1"));
  const std::string pc = ok("test eth1");
  EXPECT_THAT(pc, HasSubstr("the appliance's own DHCP server does not answer this client on eth1"));

  Ctl unknown = tavrelctl("test eth7");
  EXPECT_EQ(1, unknown.status);
  EXPECT_THAT(unknown.err, AllOf(HasSubstr("no LAN eth7"), HasSubstr("CIM_ERR_INVALID_PARAMETER")));
  // A LAN whose link is down: nothing can be sent, which is not "no answer".
  ASSERT_EQ(0, runCommand("ip link set eth2 down").status);
  Ctl down = tavrelctl("test eth2");
  runCommand("ip link set eth2 up");
  EXPECT_EQ(1, down.status);
  EXPECT_THAT(down.err, HasSubstr("cannot send on eth2: Network is down"));
}

TEST_F(TavrelctlSystemTest, PasswdThenLoginOverHttp) {
  const std::string url = "--url http://newadmin@127.0.0.1:5988 --password-file " + scratchDir() + "/pw";
  writeFile(scratchDir() + "/pw", "New-secret-9\n");
  EXPECT_EQ(1, tavrelctl("settings " + url).status);
  Ctl added = tavrelctl("passwd newadmin --stdin", "New-secret-9");
  ASSERT_EQ(0, added.status) << added.err;
  EXPECT_THAT(added.out, HasSubstr("added newadmin"));
  EXPECT_THAT(readFile("/pq/etc/tavrel-cim.passwd"), AllOf(HasSubstr("cimadmin:"), HasSubstr("newadmin:$")));
  EXPECT_EQ("0600 0\n", runCommand("stat -c '%a %u' /pq/etc/tavrel-cim.passwd | sed 's/^/0/'").output);
  EXPECT_THAT(ok("settings " + url), HasSubstr("leaseTime = 3600"));
  // HTTPS: the sandbox's self-signed certificate is refused unless
  // --insecure.
  const std::string tls = "--url https://newadmin@127.0.0.1 --password-file " + scratchDir() + "/pw settings";
  EXPECT_THAT(ok(tls + " --insecure"), HasSubstr("leaseTime = 3600"));
  Ctl unverified = tavrelctl(tls);
  EXPECT_EQ(3, unverified.status);
  EXPECT_THAT(unverified.err, HasSubstr("certificate"));
  EXPECT_EQ(0, tavrelctl("passwd --delete newadmin").status);
  Ctl gone = tavrelctl("settings " + url);
  EXPECT_EQ(1, gone.status);
  EXPECT_THAT(gone.err, HasSubstr("CIM_ERR_ACCESS_DENIED"));
}

// The offline check needs no agent.
TEST(TavrelctlCheckTest, GoodFileAndThreeProblems) {
  if (!insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
  ASSERT_TRUE(installAgent());
  std::string text = readFile(sourceDir() + "/agent/dhcpcomp-sample.conf");
  auto replace = [&text](const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    ASSERT_NE(std::string::npos, at) << from;
    text.replace(at, from.size(), to);
  };
  writeFile(kComponentFile, text);
  Ctl good = tavrelctl("check");
  EXPECT_EQ(0, good.status) << good.out << good.err;
  EXPECT_THAT(good.out, HasSubstr("no problems"));

  replace("leaseTime = 3600\n", "leaseTime = an hour\n");                               // line 8
  replace("addrRange = 192.168.1.100-192.168.1.199", "addrRange = 10.9.9.1-10.9.9.9");  // line 9
  replace("vlanIds = \n", "vlanIds = \nphoneColour = green\n");                         // line 20
  const std::string file = scratchDir() + "/faulty.conf";
  writeFile(file, text);
  Ctl bad = tavrelctl("check --component " + file);
  EXPECT_EQ(1, bad.status);
  EXPECT_THAT(bad.out, AllOf(HasSubstr(file + ":8: leaseTime = an hour: "),
                             HasSubstr(file + ":9: addrRange = 10.9.9.1"),
                             HasSubstr(file + ":20: phoneColour = green: unknown key")));
  EXPECT_EQ(
      file,
      jsonField(tavrelctl("check --json --component " + file).out, "[0]['file']").substr(0, file.size()));

  // The agent's own settings: a misspelt key, found by the agent's key table.
  const std::string settings = scratchDir() + "/agent.conf";
  std::string agentConf = readFile(kAgentConfig);
  writeFile(settings, agentConf + "tavrel_agent.pas_ms = 10\n");
  const std::string line = std::to_string(std::count(agentConf.begin(), agentConf.end(), '\n') + 1);
  Ctl typo = tavrelctl("check --config " + settings);
  EXPECT_EQ(1, typo.status);
  EXPECT_THAT(typo.out, HasSubstr(settings + ":" + line + ": tavrel_agent.pas_ms = 10: unknown key"))
      << typo.err;
}

}  // namespace
