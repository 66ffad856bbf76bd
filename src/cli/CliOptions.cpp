#include "CliOptions.h"

#include <cstdlib>
#include <map>

namespace KaVruneCli {
namespace {

constexpr const char* kPortHelp = "  --port P      COM<n> or a device node; repeat it, or give --ports P1,P2,P3, to work on\n"
                                  "                several devices at once (one summary line each)\n";
constexpr const char* kCommonHelp =
    "  --timeout S   seconds the whole command may take, waiting for the device included\n"
    "                (default 60); a write it cuts off is not stored\n"
    "  --log FILE    transcript of the serial dialogue (passwords and keys masked)\n"
    "  --quiet       no hints or progress on stderr\n";

const std::map<std::string, std::string>& CommandHelp() {
  static const std::map<std::string, std::string> help = {
      {"ports", "Usage: kavrune-cli ports\n"
                "Lists the COM numbers of this machine with their device nodes, free or in use, and\n"
                "what is behind each (\"FTDI FT232R USB UART, ttyUSB0\").\n"},
      {"read", std::string("Usage: kavrune-cli read --port P [--format xml|json|text] [-o FILE]\n"
                           "Reads the device's settings: the windows-1250 XML document (default), typed JSON, or\n"
                           "Section.Key=value lines. With several ports -o is required; each file gets the port\n"
                           "in its name (read.xml -> read-COM7.xml).\n") +
                   kPortHelp + kCommonHelp},
      {"apply", std::string("Usage: kavrune-cli apply --port P [--dry-run] [-o FILE] SETTINGS.xml\n"
                            "Writes the settings of a file (a backup from read, or a write document) that differ\n"
                            "from the device, has it store them and checks them against a second read.\n"
                            "  --dry-run     read the device and print what would change; write nothing\n"
                            "  -o FILE       the settings after the write\n") +
                    kPortHelp + kCommonHelp},
      {"set", std::string("Usage: kavrune-cli set --port P [--dry-run] [-o FILE] Section.Key=Value ...\n"
                          "Writes only the settings named, in the names and forms read --format text prints\n"
                          "(Channel_1.Baudrate=57600 basic_parameters.IP_addr=10.9.9.9 Security.SNMP=off).\n"
                          "Values are checked against the device's ranges before the port is opened.\n"
                          "  --dry-run     read the device and print what would change; write nothing\n") +
                  kPortHelp + kCommonHelp},
      {"get", std::string("Usage: kavrune-cli get --port P [--format text|json|xml] Section.Key ...\n"
                          "Prints the settings named, as Section.Key=value lines by default.\n") +
                  kCommonHelp},
      {"defaults", std::string("Usage: kavrune-cli defaults --port P [--store] [-o FILE]\n"
                               "Restores the factory values on the device.\n"
                               "  --store       store them; without it the device keeps its own settings\n") +
                       kPortHelp + kCommonHelp},
      {"diff", "Usage: kavrune-cli diff [--format text|json|xml] X Y\n"
               "Compares two settings files (either form) or devices (COM<n> or a device node) and prints\n"
               "one line per setting that differs: Channel_1.Baudrate: 9600 -> 115200. Passwords and\n"
               "keys are not compared, nor what the device only reports about itself.\n"
               "Exit status 0 when they are equal, 10 when they differ.\n"},
      {"help", "Usage: kavrune-cli help [COMMAND]\n"},
  };
  return help;
}

const char* kOverview =
    "kavrune-cli reads, writes and restores the settings of a kaVRUNE serial device server\n"
    "over its serial console.\n\n"
    "Usage: kavrune-cli ports\n"
    "  or:  kavrune-cli read     --port P [--format xml|json|text] [-o FILE]\n"
    "  or:  kavrune-cli get      --port P [--format text|json|xml] Section.Key ...\n"
    "  or:  kavrune-cli set      --port P [--dry-run] Section.Key=Value ...\n"
    "  or:  kavrune-cli apply    --port P [--dry-run] [-o FILE] SETTINGS.xml\n"
    "  or:  kavrune-cli defaults --port P [--store] [-o FILE]\n"
    "  or:  kavrune-cli diff     [--format text|json|xml] X Y\n"
    "  or:  kavrune-cli help [COMMAND]\n"
    "P is COM<n> or a device node; read, apply, set and defaults take several (--port COM7\n"
    "--port COM8, or --ports COM7,COM8) and work on all of them at once.\n"
    "Options:\n"
    "  --timeout S   seconds the whole command may take, waiting for the device included\n"
    "                (default 60); a write it cuts off is not stored\n"
    "  --log FILE    transcript of the serial dialogue (passwords and keys masked)\n"
    "  --quiet       no hints or progress on stderr\n"
    "  --help        help of a command (kavrune-cli set --help)\n"
    "  --version     the program's version\n"
    "Exit status: 0 done, 1 no device answered, 2 usage, 3 port error or the line lost, 4 the\n"
    "device did not store the settings, 5 a file could not be read or written or holds settings\n"
    "the device cannot take (nothing is sent), 6 the device did not take every setting written,\n"
    "7 the settings were written out but lines of the dump stayed unreadable (named on stderr),\n"
    "10 diff found differences, 130 (143) stopped by Ctrl-C (SIGTERM): the device left Setup\n"
    "Mode without storing. With several ports the status is that of the first port that failed.\n"
    "A second Ctrl-C ends the program at once.\n";

bool IsDeviceCommand(const std::string& c) {
  return c == "read" || c == "apply" || c == "defaults" || c == "get" || c == "set";
}

}  // namespace

std::string HelpText(const std::string& command) {
  if (command.empty()) return kOverview;
  const auto it = CommandHelp().find(command);
  return it == CommandHelp().end() ? std::string() : it->second;
}

TOptions Parse(const std::vector<std::string>& args) {
  TOptions o;
  if (args.empty()) throw TUsageError("no command given");
  o.command = args[0];
  if (o.command == "-h" || o.command == "--help") o.command = "help";
  if (o.command == "--version" || o.command == "-V") {
    o.command = "--version";
    return o;
  }
  // For the shell's completion, so its list of names never drifts from the program's.
  if (o.command == "--setting-names") {
    if (args.size() != 2 || (args[1] != "get" && args[1] != "set"))
      throw TUsageError("--setting-names takes get or set");
    o.operands = {args[1]};
    return o;
  }
  if (CommandHelp().count(o.command) == 0) throw TUsageError("unknown command \"" + o.command + "\"");
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw TUsageError(a + " needs a value");
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      o.operands = {o.command};
      o.command = "help";
      return o;
    }
    if (a == "--port" || a == "-p") {
      o.ports.push_back(value());
    } else if (a == "--ports") {
      const std::string list = value();
      for (size_t at = 0; at <= list.size();) {
        const size_t comma = std::min(list.find(',', at), list.size());
        if (comma > at) o.ports.push_back(list.substr(at, comma - at));
        at = comma + 1;
      }
    } else if (a == "-o" || a == "--output") {
      o.output = value();
    } else if (a == "--log") {
      o.log = value();
    } else if (a == "--format") {
      o.format = ParseFormat(value());
      if (!o.format) throw TUsageError("--format takes xml, json or text");
    } else if (a == "--timeout") {
      const std::string v = value();
      char* end = nullptr;
      const long t = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || t < 1 || t > 3600) throw TUsageError("--timeout takes seconds from 1 to 3600");
      o.timeoutSec = static_cast<int>(t);
    } else if (a == "--store" && o.command == "defaults") {
      o.store = true;
    } else if (a == "--dry-run" && (o.command == "apply" || o.command == "set")) {
      o.dryRun = true;
    } else if (a == "--quiet" || a == "-q") {
      o.quiet = true;
    } else if (!a.empty() && a[0] == '-' && !(o.command == "set" && a.find('=') != std::string::npos)) {
      throw TUsageError("unknown option " + a);
    } else if (o.command == "apply" && o.input.empty()) {
      o.input = a;
    } else if (o.command == "get" || o.command == "set" || o.command == "diff" ||
               (o.command == "help" && o.operands.empty())) {
      o.operands.push_back(a);
    } else {
      throw TUsageError("unexpected argument \"" + a + "\"");
    }
  }
  const std::string& c = o.command;
  if (IsDeviceCommand(c) && o.ports.empty()) throw TUsageError("--port is required");
  if (!IsDeviceCommand(c) && !o.ports.empty()) throw TUsageError(c + " takes no --port");
  if (c == "get" && o.ports.size() > 1) throw TUsageError("get reads one device");
  if (c == "read" && o.ports.size() > 1 && o.output.empty())
    throw TUsageError("reading several devices needs -o FILE (each gets the port in its name)");
  if (o.format && c != "read" && c != "get" && c != "diff") throw TUsageError("--format is for read, get and diff");
  if (c == "apply" && o.input.empty()) throw TUsageError("apply needs a settings file");
  if (c == "get" && o.operands.empty()) throw TUsageError("get needs the names of settings (Section.Key)");
  if (c == "set" && o.operands.empty()) throw TUsageError("set needs Section.Key=Value");
  if (c == "diff" && o.operands.size() != 2) throw TUsageError("diff compares two: files or ports");
  if (c == "help" && !o.operands.empty() && HelpText(o.operands.front()).empty())
    throw TUsageError("no command \"" + o.operands.front() + "\"");
  return o;
}

}  // namespace KaVruneCli
