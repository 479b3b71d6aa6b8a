// Helpers shared by the model's tests: a fresh set of records, interface
// addresses and data files.
#ifndef TAVREL_AGENT_TESTS_MODEL_TEST_SUPPORT_H
#define TAVREL_AGENT_TESTS_MODEL_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "model/records.h"
#include "test_support.h"

namespace model_test {

using tavrel::test::readFile;
using tavrel::test::TempDir;
using tavrel::test::writeFile;

// Records as the agent initialises them, with the given VLAN ids, no
// integrated router and empty pools.
void resetModel(const std::vector<int>& vlans = {});

// Deletes the range and reservation objects left in the pools; each frees
// its slot and pool entry (and commits).
void deleteObjects();

// Gives an IP record an address, mask and the network derived from them.
void setInterface(s_ethIpConfig* eth, const char* address, const char* netmask);

// Fills an address from text (converted).
s_ipAddr address(const char* text);

// A data file of tests/data/agent.
std::string dataFile(const std::string& name);

// The router's call servers of an IP record as "s1:port,action,retry;s2:...".
std::string callServers(const s_ethIpConfig& eth);

// Waits until the appliance's system log shows text; false when it does not.
bool logged(const std::string& text);

}  // namespace model_test

#endif
