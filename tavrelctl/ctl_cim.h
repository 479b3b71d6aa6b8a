// tavrelctl's commands that ask the agent: each speaks CIM-XML through
// CIMXMLClient and prints its answer; CIM errors and unreachable agents
// are thrown to main, which reports them.
#ifndef TAVRELCTL_CTL_CIM_H
#define TAVRELCTL_CTL_CIM_H

#include <string>

#include "CIMXMLClient.h"
#include "ctl_args.h"
#include "ctl_output.h"
#include "openwbem/CIMInstance.h"

// The instance's properties as fields, in the agent's order; numbers,
// booleans and nulls keep their kind for JSON.
CtlRecord ctlRecordOf(const OpenWBEM::CIMInstance& instance);

// Runs a command that asks the agent (not check, passwd or help); its
// exit status.
int ctlRunCimCommand(const CtlCommandLine& line, OpenWBEM::CIMXMLClient& client, std::string& out);

#endif
