// tavrelctl's argument parsing and its table and JSON output: one table of
// inputs and the exact text each gives.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ctl_args.h"
#include "ctl_output.h"

namespace {

// The parse of a command line as one text: "command [words] {options}",
// or "error: why".
std::string parsed(const std::vector<std::string>& args) {
  CtlCommandLine line;
  std::string why;
  if (!ctlParseArgs(args, line, why)) return "error: " + why;
  std::string out = line.command + " [";
  for (size_t i = 0; i < line.words.size(); ++i) out += (i ? " " : "") + line.words[i];
  out += "] {";
  for (const auto& o : line.options) out += o.first + (o.second.empty() ? "" : "=" + o.second) + ";";
  return out + "}";
}

const CtlRecord kRange = {{"InstanceID", "0", CtlField::Text},
                          {"StartAddress", "192.168.1.100", CtlField::Text},
                          {"AddressType", "1", CtlField::Number},
                          {"Caption", "", CtlField::Null}};
const CtlRecord kOdd = {{"InstanceID", "10", CtlField::Text},
                        {"StartAddress", "a\"b\\c\n\x01", CtlField::Text},
                        {"dhcpServerOnRouter", "TRUE", CtlField::Boolean}};

struct Row {
  std::function<std::string()> produce;
  std::string expected;
};

TEST(TavrelctlTest, CommandLinesAndOutputs) {
  const Row rows[] = {
      // Commands of one and two words, options anywhere, "--" ends them.
      {[] { return parsed({"status"}); }, "status [] {}"},
      {[] {
         return parsed({"--json", "ranges"});
       },
       "ranges [] {--json;}"},
      {[] {
         return parsed({"range", "add", "192.168.1.200", "192.168.1.220", "--json"});
       },
       "range add [192.168.1.200 192.168.1.220] {--json;}"},
      {[] {
         return parsed({"set", "leaseTime=7200", "domainName=lan"});
       },
       "set [leaseTime=7200 domainName=lan] {}"},
      {[] {
         return parsed({"reservation", "add", "192.168.1.50", "02:00:00:00:00:51", "desk", "--", "--x"});
       },
       "reservation add [192.168.1.50 02:00:00:00:00:51 desk --x] {}"},
      {[] {
         return parsed({"--url", "https://admin@10.0.0.1", "--insecure", "leases", "--lan=oam"});
       },
       "leases [] {--insecure;--lan=oam;--url=https://admin@10.0.0.1;}"},
      {[] {
         return parsed({"test", "eth1.100", "--vendor", "Zelkor-p4100-A"});
       },
       "test [eth1.100] {--vendor=Zelkor-p4100-A;}"},
      {[] {
         return parsed({"passwd", "--delete", "cimadmin"});
       },
       "passwd [cimadmin] {--delete;}"},
      {[] {
         return parsed({"ranges", "--help"});
       },
       "help [] {}"},
      // Usage errors: each names what is wrong.
      {[] { return parsed({}); }, "error: no command given"},
      {[] { return parsed({"frobnicate"}); }, "error: unknown command \"frobnicate\""},
      {[] {
         return parsed({"range", "move", "1"});
       },
       "error: unknown command \"range move\""},
      {[] {
         return parsed({"range", "add", "192.168.1.200"});
       },
       "error: usage: tavrelctl range add START END"},
      {[] { return parsed({"set"}); }, "error: usage: tavrelctl set NAME=VALUE..."},
      {[] {
         return parsed({"status", "--vendor", "x"});
       },
       "error: unknown option --vendor for status"},
      {[] {
         return parsed({"status", "--json=yes"});
       },
       "error: option --json takes no value"},
      {[] {
         return parsed({"status", "--url"});
       },
       "error: option --url needs a value"},
      {[] {
         return parsed({"leases", "--lan", "dsp"});
       },
       "error: leases: --lan is customer or oam"},
      {[] {
         return parsed({"status", "--password-file", "/p"});
       },
       "error: --password-file needs --url"},
      {[] {
         return parsed({"passwd", "u", "--stdin", "--delete"});
       },
       "error: passwd: --delete and --stdin exclude each other"},
      // NAME=VALUE words.
      {[] {
         std::string n, v;
         return ctlSplitAssignment("vlanIds=100,200=x", n, v) ? n + "|" + v : "no";
       },
       "vlanIds|100,200=x"},
      {[] {
         std::string n, v;
         return ctlSplitAssignment("=5", n, v) ? n + "|" + v : "no";
       },
       "no"},
      // Table: aligned columns, "-" for null, empty and missing fields.
      {[] {
         return ctlFormatTable({kRange, kOdd}, {"InstanceID", "StartAddress", "Caption", "Missing"});
       },
       "InstanceID  StartAddress   Caption  Missing\n"
       "0           192.168.1.100  -        -\n"
       "10          a\"b\\c\\n?       -        -\n"},
      {[] { return ctlFormatProperties(kRange); },
       "InstanceID = 0\nStartAddress = 192.168.1.100\nAddressType = 1\nCaption = \n"},
      // JSON: kinds kept, strings escaped.
      {[] {
         return ctlJsonArray({kRange, kOdd});
       },
       "[\n  {\"InstanceID\": \"0\", \"StartAddress\": \"192.168.1.100\", \"AddressType\": 1, \"Caption\": "
       "null},\n"
       "  {\"InstanceID\": \"10\", \"StartAddress\": \"a\\\"b\\\\c\\n\\u0001\", \"dhcpServerOnRouter\": "
       "true}\n]"},
      {[] { return ctlJsonArray({}); }, "[]"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.expected, row.produce());
}

}  // namespace
