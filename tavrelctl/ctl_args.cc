#include "ctl_args.h"

#include <cstring>

namespace {

// Options every command takes.
const char* const kGlobalWithValue[] = {"--url", "--password-file", "--config", "--socket"};
const char* const kGlobalFlags[] = {"--insecure", "--json"};

// One command: its name (one or two words), the words it takes, its own
// options (those ending in "=" take a value), and its usage.
struct CommandSpec {
  const char* name;
  int minWords;
  int maxWords;  // -1: any number
  std::vector<const char*> options;
  const char* usage;
};

const CommandSpec kCommands[] = {
    {"status", 0, 0, {}, "status"},
    {"settings", 0, 0, {}, "settings"},
    {"set", 1, -1, {}, "set NAME=VALUE..."},
    {"ranges", 0, 0, {}, "ranges"},
    {"range add", 2, 2, {}, "range add START END"},
    {"range set", 2, -1, {}, "range set ID NAME=VALUE..."},
    {"range del", 1, 1, {}, "range del ID"},
    {"reservations", 0, 0, {}, "reservations"},
    {"reservation add", 3, 4, {}, "reservation add IP MAC NAME [DESCRIPTION]"},
    {"reservation del", 1, 1, {}, "reservation del ID"},
    {"leases", 0, 0, {"--lan="}, "leases [--lan customer|oam]"},
    {"pools", 0, 0, {}, "pools"},
    {"foreign", 0, 0, {}, "foreign"},
    {"renew", 0, 0, {}, "renew"},
    {"test", 1, 1, {"--vendor=", "--mac="}, "test INTERFACE [--vendor TEXT] [--mac MAC]"},
    {"check", 0, 0, {"--component="}, "check [--component FILE] [--config FILE]"},
    {"passwd", 1, 1, {"--stdin", "--delete"}, "passwd USER [--stdin] | passwd --delete USER"},
    {"version", 0, 0, {}, "version"},
    {"help", 0, 0, {}, "help"},
};

bool listed(const char* const* begin, const char* const* end, const std::string& word) {
  for (const char* const* p = begin; p != end; ++p)
    if (word == *p) return true;
  return false;
}

// "--x" when spec takes it: 1 without a value, 2 with one; 0 otherwise.
int optionKind(const CommandSpec& spec, const std::string& word) {
  if (listed(std::begin(kGlobalFlags), std::end(kGlobalFlags), word)) return 1;
  if (listed(std::begin(kGlobalWithValue), std::end(kGlobalWithValue), word)) return 2;
  for (const char* o : spec.options) {
    std::string text(o);
    if (text == word) return 1;
    if (text == word + "=") return 2;
  }
  return 0;
}

const CommandSpec* findCommand(const std::vector<std::string>& words, size_t* used) {
  for (const CommandSpec& spec : kCommands) {
    std::string name(spec.name);
    size_t space = name.find(' ');
    if (space == std::string::npos) {
      if (!words.empty() && words[0] == name) {
        *used = 1;
        return &spec;
      }
    } else if (words.size() >= 2 && words[0] == name.substr(0, space) && words[1] == name.substr(space + 1)) {
      *used = 2;
      return &spec;
    }
  }
  return nullptr;
}

}  // namespace

bool ctlParseArgs(const std::vector<std::string>& args, CtlCommandLine& out, std::string& why) {
  out = CtlCommandLine();
  // Options may stand anywhere; "--" ends them. First the words, to find
  // the command whose options apply.
  std::vector<std::string> words;
  std::vector<std::pair<std::string, std::string>> options;
  const CommandSpec* spec = nullptr;
  size_t used = 0;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      words.push_back(a);
      continue;
    }
    if (a == "--help") {
      out.command = "help";
      return true;
    }
    std::string name = a;
    std::string value;
    bool inlineValue = false;
    size_t eq = a.find('=');
    if (eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    // The command is known once its words are: options name it later.
    if (spec == nullptr) spec = findCommand(words, &used);
    CommandSpec none{"", 0, 0, {}, ""};
    int kind = optionKind(spec != nullptr ? *spec : none, name);
    if (kind == 0) {
      why = "unknown option " + name + (spec != nullptr ? std::string(" for ") + spec->name : "");
      return false;
    }
    if (kind == 1 && inlineValue) {
      why = "option " + name + " takes no value";
      return false;
    }
    if (kind == 2 && !inlineValue) {
      if (i + 1 >= args.size()) {
        why = "option " + name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    options.emplace_back(name, value);
  }
  if (words.empty()) {
    why = "no command given";
    return false;
  }
  spec = findCommand(words, &used);
  if (spec == nullptr) {
    why = "unknown command \"" + words[0] +
          (words.size() > 1 && (words[0] == "range" || words[0] == "reservation") ? " " + words[1] : "") +
          "\"";
    return false;
  }
  for (const auto& o : options) {
    if (optionKind(*spec, o.first) == 0) {
      why = "unknown option " + o.first + " for " + spec->name;
      return false;
    }
    out.options[o.first] = o.second;
  }
  out.command = spec->name;
  out.words.assign(words.begin() + static_cast<long>(used), words.end());
  int count = static_cast<int>(out.words.size());
  if (count < spec->minWords || (spec->maxWords >= 0 && count > spec->maxWords)) {
    why = std::string("usage: tavrelctl ") + spec->usage;
    return false;
  }
  if (out.command == "passwd" && out.has("--delete") && out.has("--stdin")) {
    why = "passwd: --delete and --stdin exclude each other";
    return false;
  }
  if (out.command == "leases" && out.has("--lan") && out.option("--lan") != "customer" &&
      out.option("--lan") != "oam") {
    why = "leases: --lan is customer or oam";
    return false;
  }
  if (out.has("--password-file") && !out.has("--url")) {
    why = "--password-file needs --url";
    return false;
  }
  if (out.has("--url") && out.has("--socket")) {
    why = "--url and --socket exclude each other";
    return false;
  }
  return true;
}

std::string ctlUsage() {
  std::string text =
      "usage: tavrelctl [--url http(s)://USER@HOST:PORT [--password-file FILE] [--insecure]]\n"
      "                 [--socket PATH] [--config FILE] [--json] COMMAND\n"
      "commands:\n";
  for (const CommandSpec& spec : kCommands) text += std::string("  ") + spec.usage + "\n";
  return text;
}

bool ctlSplitAssignment(const std::string& word, std::string& name, std::string& value) {
  size_t eq = word.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  name = word.substr(0, eq);
  value = word.substr(eq + 1);
  return true;
}
