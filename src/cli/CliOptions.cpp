#include "CliOptions.h"

#include "CliReport.h"
#include "CliUnits.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "uKaVruneBackups.h"

namespace KaVruneCli {
namespace {

struct TCommand {
  const char* Name;
  const char* Usage;        // after "kavrune-cli NAME"
  const char* Description;  // wrapped at 92 columns
};

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"ports", "",
       "Lists the COM numbers of this machine with their device nodes, free or in use (by whom,\n"
       "where the system tells: \"in use by minicom (PID 1234)\", locked or not), and what is\n"
       "behind each (\"FTDI FT232R USB UART, ttyUSB0\"). Says so on stderr when it finds none.\n"},
      {"read", "--port P [--format xml|json|text] [-o FILE]",
       "Reads the device's settings and prints them: as text on a terminal, as the XML document\n"
       "into a file or a pipe. Nothing on the device changes.\n"},
      {"get", "--port P [--format text|json|xml] [--value] [-o FILE] Section.Key ...",
       "Reads the device and prints the settings named, in the names read --format text shows\n"
       "beside each value (any letter case; the menu's key works too). Nothing on the device\n"
       "changes.\n"},
      {"set",
       "--port P [--dry-run] [--format text|json] [--units FILE] [--report FILE] [-o FILE] Section.Key=Value ... [-]",
       "Writes only the settings named that differ from the device, has it store them and checks\n"
       "them against a second read. Names and values are those read --format text shows in its\n"
       "last column (Channel_1.Baudrate=57600 basic_parameters.IP_addr=10.9.9.9 Security.SNMP=off);\n"
       "each is checked against the device's ranges and lists before the port is opened.\n"
       "A - reads more of them from standard input, one Section.Key=Value a line (empty lines and\n"
       "lines starting with # are skipped): passwords given so stay off the command line, which\n"
       "other users of the machine can see. No output shows a password or key.\n"},
      {"apply", "--port P [--dry-run] [--format text|json] [--units FILE] [--report FILE] [-o FILE] SETTINGS.xml",
       "Writes the settings of a file (a backup from read -o, or a write document) that differ\n"
       "from the device, has it store them and checks them against a second read. A file with an\n"
       "unknown key or a value the device cannot take is refused before the port is opened.\n"
       "On a production line, --units gives each unit values of its own over those of the file,\n"
       "and --report keeps a record of each unit.\n"},
      {"verify", "--port P [--units FILE] [--report FILE] SETTINGS.xml",
       "Reads each unit and names every setting of the file that the unit holds otherwise, as diff\n"
       "prints it (the file's value, then the unit's), with the values of the unit's row of --units\n"
       "over those of the file, as apply would give them. Nothing is written: a production line\n"
       "checks its units with it after apply, or before they ship. Passwords and keys are not\n"
       "compared, nor what the device only reports about itself. Exit status 0 when every unit\n"
       "matches, 10 when one differs; each port gets a summary line (matches, differs, or the\n"
       "failure) when there are several.\n"},
      {"edit", "SETTINGS.xml Section.Key=Value ... [-]",
       "Changes settings in a settings file (either form), with the names, values and checks of\n"
       "set, and writes the file back whole or not at all; no device is needed. Prints what\n"
       "changed; a password or key only as ********. A value set would refuse leaves the file\n"
       "as it was (status 2). A - reads more Section.Key=Value lines from standard input.\n"},
      {"sheet", "(--port P | SETTINGS.xml) [-o SHEET.pdf] [--language de|cs|en] [--operator NAME] [--station NAME]",
       "Makes the settings sheet of a unit (read from the port) or of a settings file, for handing\n"
       "a unit over: the unit's MAC address, firmware and hardware, every setting as the window's\n"
       "pages word it, grouped by page, the time with its zone and the tool's version, and the\n"
       "operator and station where given. A unit's sheet is made of what the unit reported at the\n"
       "read, so it is the record of the unit as left: stamped \"as left, confirmed at\" that time\n"
       "(after apply, run sheet --port for the handover record). Passwords and keys appear only as\n"
       "set or not set. Written as PDF, or as text when SHEET ends in .txt, by the window program\n"
       "kavrune-setup (run without a window; $KAVRUNE_SETUP names another). Without -o the sheet\n"
       "is kavrune-<MAC>-sheet.pdf in the current folder, as the window offers it\n"
       "(kavrune-sheet.pdf when the settings do not name the unit), and the tool says where it\n"
       "went. Nothing on the device changes.\n"},
      {"defaults", "--port P [--store] [-o FILE]",
       "Has the device restore its factory values. Only with --store does the device keep them;\n"
       "without it the device leaves Setup Mode without storing, and nothing on it changes.\n"},
      {"undo", "--port P [--dry-run] [-o FILE]",
       "Takes back the last write to the unit on the port that stored something: applies the backup\n"
       "kept before it, as apply does, and says first which backup (of when) and what changes. A\n"
       "write that stored nothing (stopped, or not stored) keeps no backup. The unit is told by its MAC\n"
       "address; when it is not the unit last written through the port, or none of its backups is\n"
       "kept, nothing is written (status 5). Undo keeps a backup before it writes too, so a second\n"
       "undo re-applies the write the first took back.\n"},
      {"backups", "[--mac M] [--format text|json]",
       "Lists the backups kept before every write that stored something (apply, set, undo,\n"
       "defaults --store), one line each: the unit's MAC address, the time (UTC) and the file,\n"
       "oldest first. They are kept in $XDG_STATE_HOME/kavrune/backups/<MAC>/\n"
       "(~/.local/state/kavrune/backups), the newest 20 of each unit, in the form read -o\n"
       "writes, so apply restores any of them.\n"},
      {"diff", "[--format text|json|xml] X Y",
       "Compares two settings files (either form) or devices (COM<n> or a device node), in any\n"
       "pairing, and prints one line per setting that differs: Channel_1.Baudrate: 9600 -> 115200,\n"
       "with (none) where one side lacks it. Passwords and keys are not compared, nor what the\n"
       "device only reports about itself. Exit status 0 when they are equal, 10 when they differ.\n"},
      {"help", "[COMMAND]", "Prints the overview, or the help of one command.\n"},
  };
  return commands;
}

const TCommand* FindCommand(const std::string& name) {
  for (const TCommand& c : Commands())
    if (name == c.Name) return &c;
  return nullptr;
}

// Each option with the commands that take it; an option whose meaning differs between
// commands has a row per meaning. The help of a command lists exactly its rows, so no option
// is accepted that the help leaves out.
struct TOption {
  const char* Names;  // "-o, --output": the short form, if any, first
  const char* Value;  // "" for a switch
  const char* Commands;
  const char* Help;
};

const std::vector<TOption>& Options() {
  static const std::vector<TOption> options = {
      {"-p, --port", "P", "read apply set defaults undo verify",
       "the device's port: COM<n>, as kavrune-cli ports lists them, or a device node\n"
       "(/dev/ttyUSB0). Repeat it to work on several devices at once"},
      {"-p, --port", "P", "get sheet", "the device's port: COM<n>, as kavrune-cli ports lists them, or a device node"},
      {"--ports", "P1,P2,...", "read apply set defaults undo verify",
       "several devices at once: each gets its own worker, and stdout a summary line\n"
       "per port (port, result, settings changed or, for read, settings read, for verify,\n"
       "settings that differ, seconds)"},
      {"--format", "F", "read",
       "xml: the device's settings document, windows-1250, as the window saves it (the\n"
       "default into a file or a pipe); json: typed values by section and key; text: one\n"
       "line per setting, its name and value in words with the unit, and beside it the\n"
       "Section.Key=value that get and set take (the default on a terminal)"},
      {"--format", "F", "get",
       "text (the default): each setting's name and value in words, and its\n"
       "Section.Key=value; json: typed values by section and key; xml: the settings\n"
       "document's elements"},
      {"--format", "F", "diff",
       "text (the default): \"Section.Key: from -> to\" lines; json: a list of {setting,\n"
       "from, to}; xml: one element per setting with from and to attributes"},
      {"--format", "F", "set apply",
       "text (the default); json: one object on stdout in place of the dry run's lines\n"
       "and the summary: the status, whether anything changed (with --dry-run: would\n"
       "change) and per port the changes (setting, from, to; passwords and keys masked),\n"
       "the settings not asked for or not taken, and the errors. Messages stay on stderr"},
      {"-o, --output", "FILE", "read",
       "save the settings in FILE instead of printing them (whole or not at all); with several\n"
       "ports it is required, and each file gets the port in its name (read-COM7.xml)"},
      {"-o, --output", "FILE", "get", "save the settings in FILE instead of printing them"},
      {"-o, --output", "FILE", "sheet",
       "the sheet's file: PDF, or text when it ends in .txt (default: kavrune-<MAC>-sheet.pdf\n"
       "in the current folder)"},
      {"--language", "L", "sheet", "de, cs or en: the sheet's language (default: the window's, by the user's locale)"},
      {"--operator", "NAME", "sheet", "who made the sheet, named in its head"},
      {"--station", "NAME", "sheet", "where the sheet was made (a bench, a line), named in its head"},
      {"--operator", "NAME", "apply set verify", "who ran the line: each record of --report names them (operator)"},
      {"--station", "NAME", "apply set verify",
       "the station (a bench, a line) the run was made at: each record of --report names it\n"
       "(station)"},
      {"--value", "", "get",
       "print only the values, one a line in the order named, as the text form shows\n"
       "them after \"=\" (for scripts: ip=$(kavrune-cli get --value ...)); an empty line\n"
       "for a setting the unit does not show"},
      {"-o, --output", "FILE", "apply set undo",
       "save the device's settings as it reports them after the write (the XML document\n"
       "read writes); with several ports each file gets the port in its name"},
      {"-o, --output", "FILE", "defaults",
       "save the settings the device shows after the restore (the XML document read writes)"},
      {"--dry-run", "", "apply set undo", "read the device and print what would change; write nothing"},
      {"--mac", "M", "backups",
       "only the backups of this unit (0200008F1C2E, 02-00-00-8F-1C-2E or\n"
       "02:00:00:8F:1C:2E)"},
      {"--format", "F", "backups",
       "text (the default): MAC, time and file, tab-separated; json: a list of {mac,\n"
       "time, file}"},
      {"--units", "FILE", "apply set verify",
       "values of their own for each unit: a CSV file (UTF-8, RFC 4180) whose header\n"
       "names a port column (COM<n>) or a mac column, or both, and Section.Key columns.\n"
       "Each row is one unit; its cells replace the values given for every unit, an empty\n"
       "cell keeps them (not in the IP address or DHCP name columns: see --allow-empty),\n"
       "and {row} in a cell is the row's number (the first row under the\n"
       "header is 1), as in 10.0.0.{row}. A unit is found by its row's MAC address where the\n"
       "row gives one, else by its port. The whole file is checked before any port opens;\n"
       "a fault names its row and column (status 5). A unit that is in no row is left as it\n"
       "is (status 8)"},
      {"--allow-duplicate", "COLUMN", "apply set verify",
       "let rows of --units share a value of the column COLUMN (Section.Key) that is\n"
       "otherwise each unit's own: basic_parameters.IP_addr, basic_parameters.DHCP_device_name.\n"
       "Without it two rows with one value are refused before any port opens (status 5).\n"
       "Repeat it for several columns"},
      {"--allow-empty", "", "apply set verify",
       "let a row of --units leave basic_parameters.IP_addr or\n"
       "basic_parameters.DHCP_device_name empty (or end before it): that unit keeps the value\n"
       "given for every unit there. Without it such a cell is refused, naming its row and\n"
       "column, before any port opens (status 2), since two units left so would share it"},
      {"--report", "FILE", "apply set verify",
       "add one record per unit to FILE, .jsonl (a JSON object a line) or .csv (with a\n"
       "header): UTC time, port, MAC address, firmware, row of --units, outcome (confirmed,\n"
       "not taken, nothing stored, stored not checked, not written, not found; for verify\n"
       "matches, differs, not compared), exit status, the names of the settings changed and\n"
       "seconds; then the run's id, the tool's version, the settings file and its SHA-256, the\n"
       "values of the unit's row (a password's or key's only as \"(set)\") and, for verify,\n"
       "the names of the settings that differ, then --operator and --station. A row of --units\n"
       "whose unit was on no port gets\n"
       "a record \"not found\"; a .jsonl report ends with a summary record (confirmed, for\n"
       "verify the units that match, failed, not found, stored not checked). Each record is on\n"
       "the disk when its unit is done. A report that cannot be opened stops the tool before any\n"
       "port opens (status 5)"},
      {"--store", "", "defaults",
       "have the device store the factory values; without it the device keeps its own\n"
       "settings"},
      {"--timeout", "S", "read get diff sheet verify",
       "seconds the whole command may take, waiting for the device included (1 to 3600,\n"
       "default 60)"},
      {"--timeout", "S", "apply set defaults undo",
       "seconds the whole command may take, waiting for the device included (1 to 3600,\n"
       "default 60); a write it cuts off is stopped and not stored"},
      {"--restart-limit", "S", "apply set defaults undo",
       "seconds the unit may take to come back after it stored (1 to 600, default 15); a\n"
       "unit that does not is reported as stored, not checked (status 9)"},
      {"--log", "FILE", "read set apply defaults undo diff verify",
       "a transcript of the serial dialogue: one line per device line and per answer, with\n"
       "its time; passwords and keys are masked. Several ports: one file each"},
      {"--log", "FILE", "get sheet",
       "a transcript of the serial dialogue: one line per device line and per answer, with\n"
       "its time; passwords and keys are masked"},
      {"--bundle", "FILE", "read get set apply defaults undo",
       "a zip for a bug report, made however the command ends: the transcript (as --log\n"
       "has it, passwords and keys masked), the tool's and the system's versions, the\n"
       "unit's MAC address, firmware and model as read, and the outcome: the exit status\n"
       "and the messages. No password or key goes into it"},
      {"-q, --quiet", "", "read get set apply defaults undo diff backups edit sheet verify",
       "no hints, progress or result line on stderr; errors are still shown"},
      {"-h, --help", "", "ports read get set apply verify edit sheet defaults undo backups diff help", "this text"},
  };
  return options;
}

std::vector<std::string> NamesOf(const TOption& option) {
  std::vector<std::string> names;
  std::istringstream in(option.Names);
  for (std::string name; std::getline(in >> std::ws, name, ',');) names.push_back(name);
  return names;
}

// The long form, by which the parser knows it.
std::string LongName(const TOption& option) { return NamesOf(option).back(); }

bool Named(const TOption& option, const std::string& arg) {
  const auto names = NamesOf(option);
  return std::find(names.begin(), names.end(), arg) != names.end();
}

bool Takes(const TOption& option, const std::string& command) {
  std::istringstream names(option.Commands);
  for (std::string name; names >> name;)
    if (name == command) return true;
  return false;
}

// The option of a command that an argument names, or nothing.
const TOption* FindOption(const std::string& command, const std::string& arg) {
  for (const TOption& o : Options())
    if (Takes(o, command) && Named(o, arg)) return &o;
  return nullptr;
}

bool IsOptionOfAnyCommand(const std::string& arg) {
  return std::any_of(Options().begin(), Options().end(), [&](const TOption& o) { return Named(o, arg); });
}

std::string OptionsHelp(const std::string& command) {
  std::string out;
  for (const TOption& o : Options()) {
    if (!Takes(o, command)) continue;
    std::string names = o.Names;
    if (*o.Value) names += " " + std::string(o.Value);
    out += "  " + names;
    // The texts are paragraphs; they are wrapped here, beside the names, at 80 columns.
    constexpr size_t kColumn = 22, kWidth = 80;
    out += names.size() + 2 < kColumn ? std::string(kColumn - names.size() - 2, ' ') : "\n" + std::string(kColumn, ' ');
    std::istringstream words(o.Help);
    size_t used = kColumn;
    bool first = true;
    for (std::string word; words >> word; first = false) {
      if (!first && used + 1 + word.size() > kWidth) {
        out += "\n" + std::string(kColumn, ' ');
        used = kColumn;
      } else if (!first) {
        out += ' ';
        ++used;
      }
      out += word;
      used += word.size();
    }
    out += '\n';
  }
  return out;
}

bool IsDeviceCommand(const std::string& c) {
  return c == "read" || c == "apply" || c == "defaults" || c == "get" || c == "set" || c == "undo" || c == "verify";
}

std::string CommandHelp(const TCommand& c) {
  const std::string name = c.Name;
  std::string out = "Usage: kavrune-cli " + name + (*c.Usage ? " " + std::string(c.Usage) : "") + "\n" + c.Description;
  if (IsDeviceCommand(name))
    out +=
        "P is COM<n> or a device node; the device is found when it is powered on within the\n"
        "time limit.\n";
  out += "\nOptions:\n" + OptionsHelp(name);
  if (name == "read" || name == "get")
    out +=
        "\nExamples:\n"
        "  kavrune-cli " +
        name +
        (name == "read" ? " --port COM1 -o backup.xml\n  kavrune-cli read --port COM1 --format text\n"
                        : " --port COM1 Channel_1.Baudrate basic_parameters.IP_addr\n");
  return out;
}

const char* kOverview =
    "kavrune-cli reads, writes and restores the settings of a kaVRUNE serial device server\n"
    "over its serial console.\n\n"
    "Usage: kavrune-cli ports\n"
    "  or:  kavrune-cli read     --port P [--format xml|json|text] [-o FILE]\n"
    "  or:  kavrune-cli get      --port P [--format text|json|xml] [--value] Section.Key ...\n"
    "  or:  kavrune-cli set      --port P [--dry-run] [--format json] Section.Key=Value ... [-]\n"
    "  or:  kavrune-cli apply    --port P [--dry-run] [--format json] [-o FILE] SETTINGS.xml\n"
    "  or:  kavrune-cli verify   --port P [--units FILE] [--report FILE] SETTINGS.xml\n"
    "  or:  kavrune-cli edit     SETTINGS.xml Section.Key=Value ... [-]\n"
    "  or:  kavrune-cli sheet    (--port P | SETTINGS.xml) [-o SHEET.pdf] [--language L]\n"
    "                            [--operator NAME] [--station NAME]\n"
    "  or:  kavrune-cli defaults --port P [--store] [-o FILE]\n"
    "  or:  kavrune-cli undo     --port P [--dry-run] [-o FILE]\n"
    "  or:  kavrune-cli backups  [--mac M] [--format text|json]\n"
    "  or:  kavrune-cli diff     [--format text|json|xml] X Y\n"
    "  or:  kavrune-cli help [COMMAND]\n"
    "P is COM<n> or a device node; read, apply, set, verify, defaults and undo take several\n"
    "(--port COM7 --port COM8, or --ports COM7,COM8) and work on all of them at once. Before every\n"
    "write the settings the device had are kept as a backup (kavrune-cli backups lists them).\n"
    "Each command's options are in its own help: kavrune-cli read --help.\n"
    "\n"
    "Options:\n"
    "  --timeout S   seconds the whole command may take, waiting for the device included\n"
    "                (default 60); a write it cuts off is not stored\n"
    "  --log FILE    transcript of the serial dialogue (passwords and keys masked)\n"
    "  --bundle FILE a zip for a bug report: the transcript, versions, the unit, the outcome\n"
    "  --quiet       no hints or progress on stderr\n"
    "  --help        help of a command (kavrune-cli set --help)\n"
    "  --version     the program's version\n"
    "\n"
    "Exit status: 0 done, 1 no device answered, 2 usage (a value on the command line the device\n"
    "would not take included), 3 port error or the line lost, 4 the\n"
    "device did not store the settings, 5 a file could not be read or written (the backup kept\n"
    "before a write too) or holds settings the device cannot take, or undo found no backup of\n"
    "the unit (nothing is sent), 6 the device did not take every setting written,\n"
    "7 the settings were written out but lines of the dump stayed unreadable (named on stderr),\n"
    "8 a unit is in no row of --units and was not written, 9 stored, not checked: the unit\n"
    "stored but did not come back to be read again (read it to confirm), 10 diff or verify\n"
    "found differences, 130 (143)\n"
    "stopped by Ctrl-C (SIGTERM): the device left Setup Mode without storing. With several\n"
    "ports the status is that of the first port that failed.\n"
    "A second Ctrl-C ends the program at once.\n";

// "; did you mean 'read'?" for a slip of a letter or two, as git says it; empty for a word that
// is near none of them.
std::string Guess(const std::string& word, const std::vector<std::string>& candidates) {
  const size_t limit = word.size() <= 3 ? 1 : word.size() <= 8 ? 2 : 3;
  std::string best;
  size_t bestDistance = limit + 1;
  for (const std::string& c : candidates)
    if (const size_t d = EditDistance(word, c); d < bestDistance) best = c, bestDistance = d;
  return best.empty() ? std::string() : "; did you mean '" + best + "'?";
}

std::vector<std::string> CommandNames() {
  std::vector<std::string> names;
  for (const TCommand& c : Commands()) names.push_back(c.Name);
  return names;
}

std::vector<std::string> OptionNames(const std::string& command) {
  std::vector<std::string> names;
  for (const TOption& o : Options())
    if (Takes(o, command))
      for (const std::string& n : NamesOf(o)) names.push_back(n);
  return names;
}

}  // namespace

TUsageError::TUsageError(const std::string& command, const std::string& reason)
    : std::runtime_error(reason), command_(command) {}

std::string TUsageError::Line() const {
  return std::string(what()) + " (try 'kavrune-cli " + (command_.empty() ? "" : command_ + " ") + "--help')";
}

std::string HelpText(const std::string& command) {
  if (command.empty()) return kOverview;
  const TCommand* c = FindCommand(command);
  return c ? CommandHelp(*c) : std::string();
}

TOptions Parse(const std::vector<std::string>& args) {
  TOptions o;
  if (args.empty()) throw TUsageError("", "no command given");
  o.command = args[0];
  if (o.command == "-h" || o.command == "--help") o.command = "help";
  if (o.command == "--version" || o.command == "-V") {
    o.command = "--version";
    return o;
  }
  // For the shell's completion, so its list of names never drifts from the program's.
  if (o.command == "--setting-names") {
    if (args.size() != 2 || (args[1] != "get" && args[1] != "set"))
      throw TUsageError("", "--setting-names takes get or set");
    o.operands = {args[1]};
    return o;
  }
  // The words a setting's value may be, for completion after "Section.Key=".
  if (o.command == "--setting-values") {
    if (args.size() != 2) throw TUsageError("", "--setting-values takes a Section.Key");
    o.operands = {args[1]};
    return o;
  }
  if (!FindCommand(o.command))
    throw TUsageError("", "unknown command \"" + o.command + "\"" + Guess(o.command, CommandNames()));
  const std::string& c = o.command;
  auto usage = [&](const std::string& reason) { return TUsageError(c, reason); };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool looksLikeOption =
        !a.empty() && a[0] == '-' && a != "-" && !(c == "set" && a.find('=') != std::string::npos);
    const TOption* option = looksLikeOption ? FindOption(c, a) : nullptr;
    if (looksLikeOption && !option)
      throw usage(IsOptionOfAnyCommand(a) ? c + " takes no " + a : "unknown option " + a + Guess(a, OptionNames(c)));
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw usage(a + " needs a value");
      return args[++i];
    };
    const std::string name = option ? LongName(*option) : "";
    if (name == "--help") {
      o.operands = {c};
      o.command = "help";
      return o;
    }
    if (name == "--port") {
      o.ports.push_back(value());
    } else if (name == "--ports") {
      const std::string list = value();
      for (size_t at = 0; at <= list.size();) {
        const size_t comma = std::min(list.find(',', at), list.size());
        if (comma > at) o.ports.push_back(list.substr(at, comma - at));
        at = comma + 1;
      }
    } else if (name == "--output") {
      o.output = value();
    } else if (name == "--units") {
      o.units = value();
    } else if (name == "--allow-duplicate") {
      const std::string column = value();
      std::string error;
      const auto rows = FindSettings(column, error);
      if (rows.size() != 1) {
        const std::string guess = NearestSettingName(Trim(column), true);
        throw usage(rows.empty() ? error + (guess.empty() ? std::string() : "; did you mean " + guess + "?")
                                 : column + " holds several settings; name one");
      }
      const auto own = OwnPerUnit();
      if (std::find(own.begin(), own.end(), rows.front()) == own.end()) {
        std::string names;
        for (const TSettingRow* r : own) names += (names.empty() ? "" : " or ") + SettingName(*r);
        throw usage("--allow-duplicate takes " + names + "; rows may share the value of any other column");
      }
      o.allowDuplicate.push_back(rows.front());
    } else if (name == "--allow-empty") {
      o.allowEmpty = true;
    } else if (name == "--report") {
      o.report = value();
      if (!ReportFormatOf(o.report)) throw usage("--report takes a file ending in .jsonl or .csv");
    } else if (name == "--language") {
      o.language = value();
      if (o.language != "de" && o.language != "cs" && o.language != "en") throw usage("--language takes de, cs or en");
    } else if (name == "--operator" || name == "--station") {
      // A name on a record or a sheet: one line, said in words.
      const std::string v = Trim(value());
      if (v.empty() || std::any_of(v.begin(), v.end(), [](unsigned char ch) { return ch < 0x20 || ch == 0x7F; }))
        throw usage(name + " takes a name on one line");
      (name == "--operator" ? o.operatorName : o.station) = v;
    } else if (name == "--log") {
      o.log = value();
    } else if (name == "--bundle") {
      o.bundle = value();
    } else if (name == "--format") {
      o.format = ParseFormat(value());
      if (c == "backups" && o.format == TFormat::Xml) o.format.reset();
      if (!o.format) throw usage(c == "backups" ? "--format takes text or json" : "--format takes xml, json or text");
    } else if (name == "--mac") {
      const std::string v = value();
      o.mac = NormalizeMac(v);
      if (o.mac.empty()) throw usage(v + " is not a MAC address (give it as 02-00-00-8F-1C-2E)");
    } else if (name == "--timeout" || name == "--restart-limit") {
      // Whole seconds within the option's range.
      const long most = name == "--timeout" ? 3600 : 600;
      const std::string v = value();
      char* end = nullptr;
      const long t = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || t < 1 || t > most)
        throw usage(name + " takes seconds from 1 to " + std::to_string(most));
      (name == "--timeout" ? o.timeoutSec : o.restartLimitSec) = static_cast<int>(t);
    } else if (name == "--store") {
      o.store = true;
    } else if (name == "--value") {
      o.valueOnly = true;
    } else if (name == "--dry-run") {
      o.dryRun = true;
    } else if (name == "--quiet") {
      o.quiet = true;
    } else if ((c == "apply" || c == "edit" || c == "sheet" || c == "verify") && o.input.empty()) {
      o.input = a;
    } else if (c == "get" || c == "set" || c == "edit" || c == "diff" || (c == "help" && o.operands.empty())) {
      // set -: the assignments on standard input
      o.operands.push_back(a);
    } else {
      throw usage("unexpected argument \"" + a + "\"");
    }
  }
  if (IsDeviceCommand(c) && o.ports.empty()) throw usage("--port is required");
  if (c == "get" && o.ports.size() > 1) throw usage("get reads one device");
  if (c == "sheet" && o.ports.size() + (o.input.empty() ? 0 : 1) != 1)
    throw usage("sheet takes one device (--port P) or one settings file");
  if (c == "read" && o.ports.size() > 1 && o.output.empty())
    throw usage("reading several devices needs -o FILE (each gets the port in its name)");
  if (c == "apply" && o.input.empty()) throw usage("apply needs a settings file");
  if (c == "verify" && o.input.empty()) throw usage("verify needs the settings file to compare the units with");
  if (c == "edit" && o.operands.empty()) throw usage("edit needs a settings file and Section.Key=Value");
  if (!o.allowDuplicate.empty() && o.units.empty()) throw usage("--allow-duplicate goes with --units");
  if (o.allowEmpty && o.units.empty()) throw usage("--allow-empty goes with --units");
  if ((!o.operatorName.empty() || !o.station.empty()) && c != "sheet" && o.report.empty())
    throw usage(std::string(o.operatorName.empty() ? "--station" : "--operator") + " goes with --report");
  if ((c == "set" || c == "apply") && o.format == TFormat::Xml) throw usage(c + " takes --format text or json");
  if (c == "get" && o.operands.empty()) throw usage("get needs the names of settings (Section.Key)");
  if (o.valueOnly && o.format) throw usage("--value prints the bare values; it takes no --format");
  if (c == "set" && o.operands.empty() && o.units.empty()) throw usage("set needs Section.Key=Value or --units");
  for (const std::string& a : o.operands)
    if ((c == "set" || c == "edit") && a != "-" && a.find('=') == std::string::npos)
      throw usage(a + ": give Section.Key=Value");
  if (c == "diff" && o.operands.size() != 2) throw usage("diff compares two: files or ports");
  if (c == "help" && !o.operands.empty() && HelpText(o.operands.front()).empty())
    throw usage("no command \"" + o.operands.front() + "\"" + Guess(o.operands.front(), CommandNames()));
  return o;
}

}  // namespace KaVruneCli
