// kavrune-sim: a kaVRUNE device on a pseudo-terminal, for trying the engine without hardware.
// The device and its line live in the simulator's library (SimDevice, SimLine); this is the
// program around them: options, the published name, the transcript and the signals.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "AfComNames.h"
#include "SimDevice.h"
#include "SimLine.h"
#include "SimReplay.h"
#include "uTranscript.h"

namespace {

struct TArgs {
  int Com = 0;
  std::string Link;
  long Baud = 9600;
  bool Unpaced = false;
  std::string State;
  std::string Log;
  TSimFault Fault = TSimFault::None;
  long FaultAfter = 4;
  long BootWindowMs = 3000;
  bool BootWindowGiven = false;
  long RestartDelayMs = -1;  // -1: the variant's
  long OfferDelayMs = -1;
  long HeadingPauseMs = 0;
  long PartPauseMs = -1;  // -1: the variant's
  long AdapterHoldMs = -1;
  bool LfCr = false;
  bool KeepsEmptyText = false;
  long SetupDelayMs = -1;
  std::string DhcpForm;  // empty: the variant's
  std::string StoredText;  // empty: the variant's
  long WarmRestartPauseMs = 0;
  bool PowerOnStart = false;
  bool ControlStdin = false;
  long JitterMs = 0;
  long Seed = 1;
  bool Echo = false;
  std::string Variant = "standard";
  std::string Model;  // empty: the variant's own
  std::string Mac = "0200008F1C2E";
  bool TakesEarlyEnter = false;
  bool TypeAhead = false;
  long LatencyMs = 0;
  std::string Replay;  // a transcript to play instead of simulating a unit
  long MaxGapMs = 1000;
  long KeyWaitMs = 10000;
};

constexpr const char* kUsage =
    "Usage: kavrune-sim [--com N | --link PATH] [--baud B] [--unpaced] [--state FILE] [--log FILE]\n"
    // One line: the shell completion reads the faults from it.
    "                   [--fault silent|no-menu|hangup-mid-dump|noise|chatter|refuse-answers|store-unconfirmed|"
    "restart-in-walk|no-return|corrupt-digit|status-line|wrong-root-prompt|no-store-entry|cut-prompt|"
    "wrong-menu|dump-in-menu|continue-after-dump|no-exit-entry|exit-ignored]\n"
    "                   [--fault-after N]\n"
    "                   [--boot-window-ms MS] [--restart-delay-ms MS] [--offer-delay-ms MS]\n"
    "                   [--heading-pause-ms MS] [--part-pause-ms MS]\n"
    "                   [--lf-cr] [--adapter-hold-ms MS] [--setup-delay-ms MS] [--keeps-empty-text]\n"
    "                   [--dhcp-form two-parts|one-part|bracketed]\n"
    "                   [--stored-text TEXT] [--warm-restart-pause-ms MS]\n"
    "                   [--power-on-start] [--control-stdin]\n"
    "                   [--jitter MS] [--seed N] [--echo]\n"
    "                   [--variant standard|field|random] [--model standard|no-wlan] [--mac MAC]\n"
    "                   [--takes-early-enter] [--type-ahead] [--latency MS]\n"
    "   or: kavrune-sim [--com N | --link PATH] [--log FILE] --replay TRANSCRIPT\n"
    "                   [--max-gap-ms MS] [--key-wait-ms MS]\n";

void Help() {
  std::cout << "kavrune-sim: a kaVRUNE device on a pseudo-terminal, published as COM N.\n"
            << kUsage
            << "  --com N            publish the port as comN in $KAVRUNE_COM_DIR (default ~/.config/kavrune/com)\n"
               "  --link PATH        publish the port under PATH instead\n"
               "  --baud B           pace the output at the character time of B baud (default 9600)\n"
               "  --unpaced          no pacing\n"
               "  --state FILE       settings kept across runs, written when the device stores\n"
               "  --log FILE         a transcript of the line\n"
               "  --fault F          misbehave as the named fault:\n"
               "                       silent, no-menu, hangup-mid-dump, noise, chatter, refuse-answers,\n"
               "                       store-unconfirmed, and\n"
               "                       restart-in-walk: restarts (banner and offer, as at power-on; what\n"
               "                         was not stored is lost) right after the Nth key it takes inside a\n"
               "                         section menu\n"
               "                       no-return: stores on 9 and says so, then prints nothing and ignores\n"
               "                         every key until it is powered off and on\n"
               "                       corrupt-digit: once a menu walk, the first typed digit that follows\n"
               "                         another digit arrives as another one (chosen by --seed), which the\n"
               "                         unit echoes and takes\n"
               "                       status-line: 100 ms after the Nth question it prints\n"
               "                         \"LAN link up\" on a line of its own and the prompt it waits at again\n"
               "                       wrong-root-prompt: after a section menu's last question it asks\n"
               "                         \"Press Enter to continue ? \" and shows the root menu on Enter\n"
               "                       no-store-entry: its root menu has no \"9 Save and exit\" line;\n"
               "                         9 still stores\n"
               "                       cut-prompt: the Nth question comes without its ending; the unit\n"
               "                         waits there all the same\n"
               "                       wrong-menu: a section's key opens another menu: the Server\n"
               "                         configuration menu, and 0 the Expert settings menu\n"
               "                       dump-in-menu: a section's key prints the dump, as Enter does at\n"
               "                         the root menu, and then the menu's first question\n"
               "                       continue-after-dump: below its first root menu since power-on\n"
               "                         it asks \"Press Enter to continue ? \"; Enter shows the menu\n"
               "                       no-exit-entry: its root menu has no \"8 Exit without save\"\n"
               "                         line; 8 still leaves\n"
               "                       exit-ignored: answers 8 with its root menu again and stays in\n"
               "                         Setup Mode\n"
               "  --fault-after N    N of restart-in-walk, status-line and cut-prompt, counted from power-on (default 4)\n"
               "  --boot-window-ms   how long \"Press Enter for Setup Mode\" is offered, at power-on\n"
               "                     and at every restart (default: the variant's, else 3000)\n"
               "  --restart-delay-ms silence between \"Parameters stored\" and the banner; 0: the\n"
               "                     banner and offer right behind it (default: the variant's, 300)\n"
               "  --offer-delay-ms   the offer comes this long after the rest of the banner; keys\n"
               "                     before it are not heard (default 0)\n"
               "  --heading-pause-ms the line pauses this long right after a menu's heading (\"Change\n"
               "                     Setup:\", \"Main menu:\"), before its line end (default 0: never)\n"
               "  --part-pause-ms MS the line pauses this long inside the question asked in two parts,\n"
               "                     \"Change DHCP device name (not set) ? (N) ? \", right after its first\n"
               "                     \"? \" (default: the variant's, 0)\n"
               "  --dhcp-form F      how that question is asked: two-parts (as above), one-part (the\n"
               "                     choice alone, \"Change DHCP device name (N) ? \", as older units ask\n"
               "                     it) or bracketed (\"... name [not set] ? (N) ? \": words the tool\n"
               "                     does not know) (default: the variant's, two-parts)\n"
               "  --lf-cr            every line ends LF CR, the offer's too\n"
               "  --adapter-hold-ms MS  the adapter holds the last byte of the offer's line end MS\n"
               "                     after the unit put it out; the unit takes keys meanwhile (default 0)\n"
               "  --setup-delay-ms MS  the unit prints its dump MS after the Enter at its offer; keys\n"
               "                     meanwhile wait and are answered once its menu is out, as late again\n"
               "                     (an Enter typed twice brings a second dump, late) (default 0)\n"
               "  --keeps-empty-text a name or password given nothing after \"Change ... ? Y\" is kept\n"
               "                     (else it is left empty)\n"
               "  --stored-text TEXT what the unit says once it has stored (default: the variant's,\n"
               "                     \"Parameters stored ...\"), e.g. \"PARAMETERS STORED\"\n"
               "  --warm-restart-pause-ms MS  after a store the unit starts again without its\n"
               "                     banner, and the line pauses MS inside its offer, after \"Press Ent\";\n"
               "                     the offer stays open that much longer (default 0: it restarts as at\n"
               "                     power-on)\n"
               "  --power-on-start   power the device on at once, without waiting for a client\n"
               "  --jitter MS        output in bursts with random pauses of up to MS between them, falling\n"
               "                     anywhere, right after a \"? \" that more of a question follows too\n"
               "  --seed N           seed of the pauses, of the random variant and of corrupt-digit's\n"
               "                     digit (default 1): the same seed, the same pauses and the same unit\n"
               "  --echo             the line echoes every byte sent to the device at once\n"
               "  --variant V        the kind of unit: standard (default), field (texts and layouts of\n"
               "                     units found in the field), random (each difference drawn from --seed)\n"
               "  --model M          standard, or no-wlan: no WLAN menu (4 is an unknown choice), no WLAN\n"
               "                     section and no network mode (default: the variant's)\n"
               "  --mac MAC          the unit's MAC address, 0200008F1C2E or 02-00-00-8F-1C-2E (default)\n"
               "  --takes-early-enter  an Enter that arrives while the banner is still going out is\n"
               "                     taken (else it is ignored)\n"
               "  --type-ahead       keys are taken while the device is still printing its own text\n"
               "                     (else they are lost; the echo of typed keys does not count)\n"
               "  --latency MS       the first byte of every answer to received input comes MS late\n"
               "  --control-stdin    read commands from standard input, one a line:\n"
               "                     \"power\" (power cycle), \"quit\"\n"
               "  --replay FILE      play the unit's side of a transcript the tool wrote (kavrune-cli --log,\n"
               "                     the window's transcript.txt) instead of simulating a unit: its lines in\n"
               "                     order, and where it has the tool typing, check that the keys that come\n"
               "                     are the recorded ones (masked secrets match any text). The first\n"
               "                     difference ends it: its line in FILE, what was expected and what\n"
               "                     came, on stderr and in the --log, status 1. Status 0 when the tool\n"
               "                     closes the line, or the recording is played out, with every key\n"
               "                     matched. A line \"-- line end <LF><CR>\" in FILE gives the unit's\n"
               "                     line end (CR LF without); every other option of the unit is ignored\n"
               "  --max-gap-ms MS    --replay: the longest pause kept of the recorded ones (default 1000)\n"
               "  --key-wait-ms MS   --replay: how long to wait for each key the tool is to type\n"
               "                     (default 10000)\n"
               "It prints the pseudo-terminal's path, then \"ready\", and runs until SIGINT or SIGTERM\n"
               "(or \"quit\"). The end of standard input stops nothing.\n";
  std::exit(0);
}

[[noreturn]] void Usage(const std::string& problem) {
  std::cerr << "kavrune-sim: " << problem << "\n" << kUsage;
  std::exit(2);
}

long NumberArg(const char* text, const char* option) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno || !end || *end || v < 0) Usage(std::string("bad number for ") + option);
  return v;
}

TArgs ParseArgs(int argc, char** argv) {
  TArgs a;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    auto next = [&]() -> const char* {
      if (i + 1 >= argc) Usage("missing value for " + opt);
      return argv[++i];
    };
    if (opt == "--com") a.Com = static_cast<int>(NumberArg(next(), "--com"));
    else if (opt == "--link") a.Link = next();
    else if (opt == "--baud") a.Baud = NumberArg(next(), "--baud");
    else if (opt == "--unpaced") a.Unpaced = true;
    else if (opt == "--state") a.State = next();
    else if (opt == "--log") a.Log = next();
    else if (opt == "--fault") {
      const char* word = next();
      if (!SimParseFault(word, a.Fault)) Usage(std::string("unknown fault ") + word);
    } else if (opt == "--fault-after") a.FaultAfter = NumberArg(next(), "--fault-after");
    else if (opt == "--boot-window-ms") {
      a.BootWindowMs = NumberArg(next(), "--boot-window-ms");
      a.BootWindowGiven = true;
    } else if (opt == "--restart-delay-ms") a.RestartDelayMs = NumberArg(next(), "--restart-delay-ms");
    else if (opt == "--offer-delay-ms") a.OfferDelayMs = NumberArg(next(), "--offer-delay-ms");
    else if (opt == "--heading-pause-ms") a.HeadingPauseMs = NumberArg(next(), "--heading-pause-ms");
    else if (opt == "--part-pause-ms") a.PartPauseMs = NumberArg(next(), "--part-pause-ms");
    else if (opt == "--lf-cr") a.LfCr = true;
    else if (opt == "--keeps-empty-text") a.KeepsEmptyText = true;
    else if (opt == "--adapter-hold-ms") a.AdapterHoldMs = NumberArg(next(), "--adapter-hold-ms");
    else if (opt == "--setup-delay-ms") a.SetupDelayMs = NumberArg(next(), "--setup-delay-ms");
    else if (opt == "--dhcp-form") {
      a.DhcpForm = next();
      if (a.DhcpForm != "two-parts" && a.DhcpForm != "one-part" && a.DhcpForm != "bracketed")
        Usage("unknown DHCP form " + a.DhcpForm + " (two-parts, one-part, bracketed)");
    }
    else if (opt == "--stored-text") {
      a.StoredText = next();
      if (a.StoredText.empty() || a.StoredText.find_first_of("\r\n") != std::string::npos)
        Usage("--stored-text takes the words of one line");
    } else if (opt == "--warm-restart-pause-ms") a.WarmRestartPauseMs = NumberArg(next(), "--warm-restart-pause-ms");
    else if (opt == "--power-on-start") a.PowerOnStart = true;
    else if (opt == "--control-stdin") a.ControlStdin = true;
    else if (opt == "--jitter") a.JitterMs = NumberArg(next(), "--jitter");
    else if (opt == "--seed") a.Seed = NumberArg(next(), "--seed");
    else if (opt == "--echo") a.Echo = true;
    else if (opt == "--variant") {
      a.Variant = next();
      TSimProfile unused;
      if (!SimProfileFor(a.Variant, 1, unused)) Usage("unknown variant " + a.Variant + " (standard, field, random)");
    } else if (opt == "--model") {
      a.Model = next();
      TSimProfile unused;
      if (!SimParseModel(a.Model, unused)) Usage("unknown model " + a.Model + " (standard, no-wlan)");
    } else if (opt == "--mac") {
      const char* mac = next();
      if (!SimParseMac(mac, a.Mac))
        Usage(std::string("bad MAC address ") + mac + " (12 hex digits, or 6 bytes with dashes)");
    } else if (opt == "--takes-early-enter") a.TakesEarlyEnter = true;
    else if (opt == "--type-ahead") a.TypeAhead = true;
    else if (opt == "--latency") a.LatencyMs = NumberArg(next(), "--latency");
    else if (opt == "--replay") a.Replay = next();
    else if (opt == "--max-gap-ms") a.MaxGapMs = NumberArg(next(), "--max-gap-ms");
    else if (opt == "--key-wait-ms") a.KeyWaitMs = NumberArg(next(), "--key-wait-ms");
    else if (opt == "--help" || opt == "-h") Help();
    else Usage("unknown option " + opt);
  }
  if (a.Com && !a.Link.empty()) Usage("--com and --link exclude each other");
  if (a.Baud <= 0) Usage("baud rate must be positive");
  return a;
}

void MakeDirectories(const std::string& path) {
  for (std::size_t pos = 1; pos != std::string::npos;) {
    pos = path.find('/', pos + 1);
    const std::string part = path.substr(0, pos);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      throw std::runtime_error("Cannot create directory " + part + ": " + std::strerror(errno));
  }
}

// The published name of the port; replaced atomically so a reader never sees it missing.
class TLink final {
 public:
  explicit TLink(std::string path) : m_Path(std::move(path)) {}
  TLink(const TLink&) = delete;
  TLink& operator=(const TLink&) = delete;
  ~TLink() {
    if (m_Path.empty()) return;
    ::unlink(m_Path.c_str());
    ::unlink((m_Path + ".unit").c_str());
  }
  // Beside the link, for port lists: the unit the port leads to.
  void Describe(const std::string& unit) {
    if (!m_Path.empty()) std::ofstream(m_Path + ".unit") << unit << "\n";
  }
  void Publish(const std::string& target) {
    if (m_Path.empty()) return;
    const std::string temp = m_Path + ".new" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), m_Path.c_str()) != 0)
      throw std::runtime_error("Cannot publish " + m_Path + ": " + std::strerror(errno));
  }

 private:
  std::string m_Path;
};

TSimLine* g_Line = nullptr;
TSimReplay* g_Replay = nullptr;

extern "C" void OnSignal(int) {
  if (g_Line) g_Line->Stop();
  if (g_Replay) g_Replay->Stop();
}

void CatchSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
}

// --replay: the transcript's unit on the line instead of a simulated one. 0 when the tool's keys
// matched, 1 at the first difference, 2 for a transcript that cannot be played.
int Replay(const TArgs& args, const std::string& linkPath, std::optional<TTranscript>& log) {
  std::ifstream in(args.Replay, std::ios::binary);
  if (!in) {
    std::cerr << "kavrune-sim: cannot read the transcript " << args.Replay << "\n";
    return 2;
  }
  TReplayPlan plan;
  try {
    plan = SimReplayPlan(in, std::chrono::milliseconds(args.MaxGapMs));
  } catch (const std::invalid_argument& e) {
    std::cerr << "kavrune-sim: " << args.Replay << ", " << e.what() << "\n";
    return 2;
  }
  TLink link(linkPath);
  std::string slave;
  TSimReplay replay(std::move(plan), {std::chrono::milliseconds(args.KeyWaitMs)}, [&](const std::string& path) {
    slave = path;
    link.Publish(path);
  });
  replay.OnEvent = [&log](const std::string& text) {
    if (log) log->Event(text);
  };
  replay.OnBytes = [&log](bool fromClient, std::string_view data) {
    if (log) log->Record(fromClient, std::string(data));
  };
  g_Replay = &replay;
  CatchSignals();
  std::cout << slave << "\n" << std::flush;
  std::cout << "ready\n" << std::flush;
  const bool matched = replay.Run();
  g_Replay = nullptr;
  const std::string verdict =
      matched ? "the tool's keys matched the recording to its end (" + std::to_string(replay.KeysMatched()) + " answers)"
              : "the replay differs " + replay.Difference();
  if (log) log->Event(verdict);
  std::cerr << "kavrune-sim: " << args.Replay << ": " << verdict << "\n";
  return matched ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const TArgs args = ParseArgs(argc, argv);
  try {
    ::signal(SIGPIPE, SIG_IGN);

    std::string linkPath = args.Link;
    if (args.Com > 0) {
      const std::string dir = ComLinkDirectory();
      MakeDirectories(dir);
      linkPath = dir + "/com" + std::to_string(args.Com);
    }

    std::optional<TTranscript> log;
    if (!args.Log.empty()) {
      log.emplace(args.Log);
      if (!log->IsOpen()) throw std::runtime_error("Cannot open log file " + args.Log);
    }
    auto event = [&log](const std::string& text) {
      if (log) log->Event(text);
    };
    if (!args.Replay.empty()) return Replay(args, linkPath, log);

    const auto charTime =
        args.Unpaced ? std::chrono::microseconds(0) : std::chrono::microseconds(10'000'000 / args.Baud);
    TSimSettings stored = args.State.empty() ? SimDefaults() : LoadState(args.State);
    TSimDevice::TOptions options;
    options.Fault = args.Fault;
    options.BootWindow = std::chrono::milliseconds(args.BootWindowMs);
    options.CharTime = charTime;
    options.Echo = args.Echo;
    options.Profile = SimProfileFor(args.Variant, static_cast<unsigned>(args.Seed));
    if (!args.Model.empty()) SimParseModel(args.Model, options.Profile);
    // What the command line gives goes before the variant's own.
    if (args.BootWindowGiven) options.Profile.OfferWindowMs = 0;
    if (args.RestartDelayMs >= 0) options.Profile.RestartDelayMs = static_cast<int>(args.RestartDelayMs);
    if (args.OfferDelayMs >= 0) options.Profile.OfferDelayMs = static_cast<int>(args.OfferDelayMs);
    options.Profile.HeadingPauseMs = static_cast<int>(args.HeadingPauseMs);
    if (args.PartPauseMs >= 0) options.Profile.PartPauseMs = static_cast<int>(args.PartPauseMs);
    if (args.KeepsEmptyText) options.Profile.KeepsEmptyText = true;
    if (args.LfCr) {
      options.Profile.LineEnd = "\n\r";
      options.Profile.OfferEnd = TSimOfferEnd::LfCr;
    }
    if (args.AdapterHoldMs >= 0) options.Profile.AdapterHoldMs = static_cast<int>(args.AdapterHoldMs);
    if (args.SetupDelayMs >= 0) options.Profile.SetupDelayMs = static_cast<int>(args.SetupDelayMs);
    if (!args.DhcpForm.empty())
      options.Profile.DhcpForm = args.DhcpForm == "one-part"    ? TSimDhcpForm::OnePart
                                 : args.DhcpForm == "bracketed" ? TSimDhcpForm::Bracketed
                                                                : TSimDhcpForm::TwoParts;
    if (!args.StoredText.empty()) options.Profile.StoredText = args.StoredText;
    options.Profile.WarmRestartPauseMs = static_cast<int>(args.WarmRestartPauseMs);
    options.FaultAfter = static_cast<unsigned>(args.FaultAfter);
    options.Seed = static_cast<unsigned>(args.Seed);
    options.Mac = args.Mac;
    options.TakesEarlyEnter = args.TakesEarlyEnter;
    options.TypeAhead = args.TypeAhead;
    options.Latency = std::chrono::milliseconds(args.LatencyMs);
    TSimDevice device(std::move(stored), options);
    device.OnEvent = event;
    if (!args.State.empty()) device.OnStore = [&](const TSimSettings& s) { SaveState(s, args.State); };

    TLink link(linkPath);
    std::string slave;
    TSimLine line(device,
                  {charTime, std::chrono::milliseconds(args.JitterMs), static_cast<unsigned>(args.Seed),
                   args.PowerOnStart, args.ControlStdin ? STDIN_FILENO : -1},
                  [&](const std::string& path) {
                    slave = path;
                    link.Publish(path);
                  });
    std::string dashed;
    for (std::size_t at = 0; at < args.Mac.size(); at += 2) dashed += (at ? "-" : "") + args.Mac.substr(at, 2);
    link.Describe(dashed);
    line.OnEvent = event;
    line.OnBytes = [&log](bool fromClient, std::string_view data) {
      if (log) log->Record(fromClient, std::string(data));
    };
    g_Line = &line;
    CatchSignals();

    std::cout << slave << "\n" << std::flush;
    std::cout << "ready\n" << std::flush;
    line.Run();
    g_Line = nullptr;
    event("exit");
  } catch (const std::exception& e) {
    std::cerr << "kavrune-sim: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
