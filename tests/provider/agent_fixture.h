// The fixture of the system tests that drive TavrelAgent over CIM: the agent
// starts before each test and stops after it. Outside the appliance sandbox,
// or without wbemcli and curl, the test is skipped; a sanitizer finding in
// the agent's error output fails it.
#ifndef TAVREL_TESTS_PROVIDER_AGENT_FIXTURE_H
#define TAVREL_TESTS_PROVIDER_AGENT_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cim_client.h"
#include "sandbox_util.h"

namespace provider_test {

class AgentSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tavrel::sandbox::insideAppliance()) GTEST_SKIP() << "needs the appliance sandbox";
    if (tavrel::sandbox::runCommand("command -v wbemcli >/dev/null && command -v curl >/dev/null").status !=
        0)
      GTEST_SKIP() << "wbemcli (sblim-wbemcli) and curl are needed";
    m_agent = std::make_unique<AgentUnderTest>(agentOptions());
    ASSERT_TRUE(m_agent->running()) << m_agent->log();
  }

  void TearDown() override {
    if (m_agent == nullptr) return;
    std::string log;
    m_agent.reset();
    log = tavrel::sandbox::readFile(std::string(getenv("APPLIANCE_SCRATCH")) + "/agent.err");
    EXPECT_EQ(std::string::npos, log.find("runtime error")) << log;
    EXPECT_EQ(std::string::npos, log.find("Sanitizer")) << log;
  }

  // How the agent is set up; a fixture of a particular situation overrides it.
  virtual AgentOptions agentOptions() const { return AgentOptions(); }

  std::unique_ptr<AgentUnderTest> m_agent;
};

}  // namespace provider_test

#endif
