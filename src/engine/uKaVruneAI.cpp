#include "uKaVruneAI.h"

#include <chrono>

#include "AfSyncTargets.h"
#include "uCommunicationUtils.h"
#include "uKaVruneUtils.h"

namespace {

using Clock = std::chrono::steady_clock;

// A line that never falls silent must not hold the port lock (and the window's Open/Close)
// for ever; a slow dump at 9600 baud still fits easily.
constexpr auto ListenLimit = std::chrono::seconds(15);

const std::vector<std::string> MenuEnds = {"\r", " )", " ?"};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Blanks(const std::string& text) { return ReplaceAll(text, " ", "_"); }

}  // namespace

// --- dump reader ---------------------------------------------------------------------------

void ParseDumpLine(const std::string& line, const TXmlElement& root, TXmlElement& section) {
  if (line.empty()) return;
  try {
    if (line.rfind("***", 0) == 0) {
      TXmlElement parent = root;
      section = parent.AppendChild(Blanks(Trim(line.substr(3))));
      return;
    }
    if (!section) return;
    // "@" becomes "at" in names only ("@" is no name character); a value keeps it, or an SSID
    // "a@b" would go back to the device as "aatb".
    auto keyName = [](const std::string& text) { return Blanks(ReplaceAll(Trim(text), "@", "at")); };
    if (size_t colon = line.find(':'); colon != std::string::npos) {
      section.AppendChild(keyName(line.substr(0, colon))).SetText(Trim(line.substr(colon + 1)));
      return;
    }
    if (size_t is = line.find(" is "); is != std::string::npos) {
      section.AppendChild(keyName(line.substr(0, is))).SetText(Trim(line.substr(is + 4)));
      return;
    }
    std::string rest = line;
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      std::string group = rest.substr(0, comma);
      rest = comma == std::string::npos ? std::string() : Trim(rest.substr(comma + 1));
      group = Trim(group);
      std::string value;
      if (group == "no gateway set") group = "gateway";
      if (size_t blank = group.rfind(' '); blank != std::string::npos) {
        value = Trim(group.substr(blank + 1));
        group = Trim(group.substr(0, blank));
      }
      for (const char* drop : {"-", "/", "'"}) group = ReplaceAll(group, drop, "");
      group = ReplaceAll(group, "+", "plus");
      group = ReplaceAll(group, "@", "at");
      group = Blanks(Trim(group));
      if (group.empty() || (group[0] >= '0' && group[0] <= '9')) continue;
      section.AppendChild(group).SetText(value);
    }
  } catch (...) {
    try {
      if (section) section.AppendChild(ErrorLineMarker);
    } catch (...) {
    }
  }
}

void ReadDump(TAfCustomSerialPort* port, TDumpContext& context) {
  std::string buffer;
  SendAndCollect(port, "\r", 100, LineIncomplete, NoPurge, buffer);
  if (buffer.empty()) return;
  const std::string heading = "*** basic parameters";
  int pass = 0;
  while (pass < 10 || (!buffer.empty() && pass < 100)) {
    if (Contains(buffer, heading)) context.InMenu = true;
    if (context.InMenu && context.DumpWanted) {
      for (size_t p = buffer.find('\r'); p != std::string::npos; p = buffer.find('\r')) {
        std::string line = Trim(buffer.substr(0, p));
        // Everything before the heading belongs to earlier output: the document is started
        // again for as long as the heading is still ahead in the buffer.
        if (Contains(buffer, heading)) {
          context.Document = TXmlDocument::CreateFromText(TXmlDocument::ReadDocumentText);
          context.Root = context.Document->Root();
          context.Section = TXmlElement();
          context.Document.reset();
        } else if (Contains(buffer, "Your choice ?")) {
          pass = 100;
        }
        ParseDumpLine(Cp1250ToUtf8(line), context.Root, context.Section);
        buffer.erase(0, p + 1);
      }
    }
    std::string piece;
    SendAndCollect(port, "", 100, LineIncomplete, NoPurge, piece);
    buffer += piece;
    ++pass;
  }
}

// --- settings writer -----------------------------------------------------------------------

namespace {

struct TWalkStopped {
  std::string reason;
  bool cancelled = false;
};

class TSectionWalk final {
 public:
  TSectionWalk(TAfCustomSerialPort* port, const TXmlElement& section, int choice, const TWriteControl& control)
      : port_(port), section_(section), choice_(choice), control_(control) {}

  TSectionOutcome Run() {
    try {
      Walk();
      outcome_.Completed = true;
    } catch (const TWalkStopped& stop) {
      outcome_.Cancelled = stop.cancelled;
      outcome_.Reason = stop.reason;
      outcome_.Prompt = prompt_;
    }
    return outcome_;
  }

 private:
  void CheckGoOn() {
    if (control_.Cancelled && control_.Cancelled()) throw TWalkStopped{"cancelled", true};
    if (!port_ || !port_->Active()) throw TWalkStopped{"the port is closed"};
  }

  std::string Expect(const std::string& text, int timeoutMs, const std::string& expected) {
    CheckGoOn();
    std::string answer;
    SendAndExpect(port_, text, timeoutMs, expected, PurgeBoth, answer);
    return answer;
  }
  void Answer(const std::string& text, const std::string& expected = "?") { reply_ = Expect(text, 1000, expected); }

  std::string Collect(const std::string& text) {
    CheckGoOn();
    std::string answer;
    SendAndCollect(port_, text, 1, nullptr, PurgeBoth, answer);
    return answer;
  }

  void Walk() {
    if (!section_) return;
    Answer(std::to_string(choice_) + "\r");
    std::string previousKey;
    int emptyReplies = 0;
    int samePrompt = 0;
    int keyType = 0;
    while (!Contains(reply_, "Your choice ?")) {
      // Bounds of the walk: a keyless prompt is answered with Enter, which keeps the device's
      // value; when even that does not move the device on, give up rather than guess.
      emptyReplies = reply_.empty() ? emptyReplies + 1 : 0;
      if (emptyReplies >= WriteMaxEmptyReplies) throw TWalkStopped{"the device does not answer"};
      if (++outcome_.Steps > WriteMaxSteps) throw TWalkStopped{"the menu does not come to an end"};

      std::string key, value;
      bool found = FindPromptKey(reply_, section_, key, value);
      prompt_ = key;
      samePrompt = key == previousKey ? samePrompt + 1 : 0;
      if (samePrompt >= WriteMaxSamePrompt) throw TWalkStopped{"the device asks the same question again and again"};
      if (control_.Progress) control_.Progress(key, outcome_.Steps);

      if (found) {
        bool removed = false;
        value = Utf8ToCp1250(StripControlCharacters(value, removed));
        if (removed)
          outcome_.Notes.push_back("Control characters were removed from the value of " + key + " in " +
                                   section_.Name() + ".");
        if (!Special(key, value, keyType)) Generic(key, value, previousKey);
      } else {
        Answer("\r");
      }
      previousKey = key;
    }
  }

  void Generic(const std::string& key, const std::string& value, const std::string& previousKey) {
    if (key == previousKey)
      Answer("\r");
    else if (value == "Y" || value == "N")
      Answer(value);
    else
      Answer(value + "\r");
  }

  void SendAddress(const std::string& address) {
    CheckGoOn();
    reply_ = SendIPAddress(port_, address);
  }

  // The answers that need more than one exchange or a converted value; false when the
  // generic answer is to follow.
  bool Special(const std::string& key, const std::string& value, int& keyType) {
    auto split = [](const std::string& v) {
      TSplit s = SplitAt(v, ":");
      return std::pair{s.Head, s.Tail};
    };
    int n = 0;
    switch (choice_) {
      case 0:
        if (key == "IP_Address") {
          SendAddress(value);
          return true;
        }
        if (key == "Set_Gateway_IP_Address") {
          if (value != "0.0.0.0") {
            Answer("Y", ") ");
            SendAddress(value);
          } else {
            Answer("N", ") ");
          }
          return true;
        }
        if (key == "Netmask") {
          Answer(std::to_string(NetmaskHostBits(value)) + "\r");
          return true;
        }
        if (key == "Change_DHCP_device_name") {
          // The question may go on after its "?"; what follows is kept for the next lookup.
          CheckGoOn();
          std::string heard;
          SendAndExpect(port_, "", 1000, "?", NoPurge, heard);
          Answer(value);
          reply_ += heard;
          return true;
        }
        return false;
      case 1:
      case 2:
        if (key == "Change_address_table") {
          Expect("Y", 1000, "?");
          std::string rest = value;
          for (int i = 0; i < 16; ++i) {
            TSplit s = SplitAt(rest, " ");
            rest = s.Tail;
            Answer(s.NonEmpty && TryParseInteger(s.Head, n) ? s.Head + "\r" : "0\r");
          }
          return true;
        }
        if (key == "Remote_IP_Address") {
          if (IsIPv4Address(value))
            SendAddress(value);
          else
            Answer("\r");
          return true;
        }
        if (key == "DisConnTime") {
          auto [first, second] = split(value);
          int m = 0;
          if (TryParseInteger(first, n) && TryParseInteger(second, m)) {
            Expect(first + "\r", 1000, ":");
            Answer(second + "\r");
          } else {
            Answer("\r");
          }
          return true;
        }
        return false;
      case 4:
        if (key == "TX_Data_rate") {
          auto [first, second] = split(value);
          Answer(second + "\r");
          Answer(first + "\r");
          return true;
        }
        if (key == "Key_type_0") {
          keyType = TryParseInteger(value, n) ? n : 0;
          return false;
        }
        if (key == "Enter_Key") {
          // Nothing to type would leave the same prompt in the reply and the walk would come
          // back to it for ever; Enter keeps the device's key, as for a missing key.
          if (value.empty() && keyType != 1) {
            Answer("\r");
            return true;
          }
          for (char c : value) reply_ = Collect(std::string(1, c));
          if (keyType == 1) reply_ = Collect("\r\n");
          for (int i = 0; i < 100 && !Contains(reply_, "?"); ++i) reply_ = Collect("0");
          return true;
        }
        return false;
      case 6:
        if (key == "Enter_Key") {
          Answer(value);
          return true;
        }
        return false;
      default:
        return false;
    }
  }

  TAfCustomSerialPort* port_;
  TXmlElement section_;
  int choice_;
  const TWriteControl& control_;
  std::string reply_;
  std::string prompt_;
  TSectionOutcome outcome_;
};

}  // namespace

TSectionOutcome WriteSection(TAfCustomSerialPort* port, const TXmlElement& section, int choice,
                             const TWriteControl& control) {
  return TSectionWalk(port, section, choice, control).Run();
}

// --- worker --------------------------------------------------------------------------------

struct TKaVruneAI::TShared {
  std::recursive_mutex readResultLock;
  TXmlElement readResult;
  std::recursive_mutex sinkLock;
  IKaVruneSink* sink = nullptr;
  IAfMainThreadDispatcher* dispatcher = nullptr;
};

void TKaVruneAI::TEvents::Set(int e) {
  {
    std::lock_guard guard(lock_);
    set_[static_cast<size_t>(e)] = true;
  }
  changed_.notify_all();
}

void TKaVruneAI::TEvents::Reset(int e) {
  std::lock_guard guard(lock_);
  set_[static_cast<size_t>(e)] = false;
}

bool TKaVruneAI::TEvents::IsSet(int e) const {
  std::lock_guard guard(lock_);
  return set_[static_cast<size_t>(e)];
}

int TKaVruneAI::TEvents::WaitAny(int timeoutMs) {
  std::unique_lock guard(lock_);
  auto any = [this] { return set_[0] || set_[1] || set_[2]; };
  if (!changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), any)) return -1;
  for (int i = 0; i < 3; ++i)
    if (set_[static_cast<size_t>(i)]) return i;
  return -1;
}

TKaVruneAI::TKaVruneAI() : shared_(std::make_shared<TShared>()) {
  port_.SetBaudRate(br9600);
  thread_ = std::thread([this] { Execute(); });
}

TKaVruneAI::~TKaVruneAI() {
  Terminate();
  if (thread_.joinable()) thread_.join();
  SetSink(nullptr);
}

void TKaVruneAI::Terminate() {
  terminated_ = true;
  events_.Set(TEvents::Stop);
}

void TKaVruneAI::SetSink(IKaVruneSink* sink, IAfMainThreadDispatcher* dispatcher) {
  std::lock_guard guard(shared_->sinkLock);
  shared_->sink = sink;
  shared_->dispatcher = dispatcher;
}

void TKaVruneAI::Post(std::function<void(IKaVruneSink&)> call) {
  // The call holds the shared part, not the worker: it may run after the worker is gone.
  auto shared = shared_;
  auto run = [shared, call = std::move(call)] {
    std::lock_guard guard(shared->sinkLock);
    if (shared->sink) call(*shared->sink);
  };
  IAfMainThreadDispatcher* dispatcher;
  {
    std::lock_guard guard(shared->sinkLock);
    dispatcher = shared->dispatcher ? shared->dispatcher : AfMainThreadDispatcher();
  }
  if (dispatcher)
    dispatcher->Post(std::move(run));
  else
    run();
}

void TKaVruneAI::ShowMessage(const std::string& text) {
  Post([text](IKaVruneSink& sink) { sink.ShowMessage(text); });
}

void TKaVruneAI::PostReadDocument() {
  auto shared = shared_;
  Post([shared](IKaVruneSink& sink) {
    std::lock_guard guard(shared->readResultLock);
    // A read requested since this one was stored has released the result; the front end
    // keeps the document it has until the next one arrives.
    if (shared->readResult) sink.DeliverReadDocument(shared->readResult);
  });
}

TXmlElement TKaVruneAI::ReadResult() const {
  std::lock_guard guard(shared_->readResultLock);
  return shared_->readResult;
}

bool TKaVruneAI::IsPortOpen() const {
  // The component guards its own state; waiting for the port lock here would freeze the
  // front end for a whole dump or write.
  return port_.Active();
}

void TKaVruneAI::LockPort() {
  ++portWanted_;
  portLock_.lock();
  --portWanted_;
}

void TKaVruneAI::UnlockPort() { portLock_.unlock(); }

bool TKaVruneAI::OpenPort(uint16_t comNumber) {
  LockPort();
  std::lock_guard guard(portLock_, std::adopt_lock);
  if (port_.Active()) {
    EnterSetupMode(false);
    std::string reply;
    SendAndExpect(&port_, "8\r", 100, "", PurgeBoth, reply);
  }
  inMenu_ = false;
  port_.Close();
  port_.SetComNumber(comNumber);
  if (comNumber != 0) port_.Open();
  bool open = port_.Active();
  if (open) RequestRead();
  return open;
}

void TKaVruneAI::RequestRead() {
  std::lock_guard guard(shared_->readResultLock);
  shared_->readResult = TXmlElement();
  events_.Set(TEvents::Read);
}

void TKaVruneAI::RequestWrite(const TXmlElement& root) {
  std::lock_guard guard(writeRequestLock_);
  writeRequest_ = root;
  ++writeSerial_;
  events_.Set(TEvents::Write);
}

void TKaVruneAI::Execute() {
  while (!terminated_) {
    int which = events_.WaitAny(1000);
    if (which == TEvents::Stop) break;
    try {
      if (which == TEvents::Read)
        ReadDevice();
      else if (which == TEvents::Write)
        WriteDevice();
    } catch (const std::exception& e) {
      // The worker outlives its errors: the failed request is dropped, the dialogue is no
      // longer taken to be at the root menu, and later requests are served.
      ShowMessage(std::string("KaVruneThreat: ") + e.what());
      inMenu_ = false;
      if (which == TEvents::Read) {
        std::lock_guard guard(shared_->readResultLock);
        events_.Reset(TEvents::Read);
      } else if (which == TEvents::Write) {
        std::lock_guard guard(writeRequestLock_);
        if (runningWriteSerial_ == writeSerial_) {
          writeRequest_ = TXmlElement();
          events_.Reset(TEvents::Write);
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool TKaVruneAI::ReadDevice() { return EnterSetupMode(true); }

bool TKaVruneAI::EnterSetupMode(bool dumpWanted) {
  if (inMenu_ && !dumpWanted) return true;
  TDumpContext context;
  context.DumpWanted = dumpWanted;
  {
    std::lock_guard guard(portLock_);
    if (port_.Active()) {
      std::string collected;
      SendAndExpectAny(&port_, "\r", 100, MenuEnds, NoPurge, collected);
      for (int attempt = 0; !context.InMenu && !collected.empty() && attempt < 30; ++attempt) {
        auto start = Clock::now();
        for (;;) {
          std::string more;
          SendAndExpectAny(&port_, "", 100, MenuEnds, NoPurge, more);
          if (more.empty()) break;
          collected += more;
          if (Clock::now() - start > ListenLimit) break;
        }
        if (Contains(collected, "Your choice ?")) {
          context.InMenu = true;
          if (dumpWanted) ReadDump(&port_, context);
        } else {
          SendAndExpectAny(&port_, "\r", 100, MenuEnds, NoPurge, collected);
        }
      }
      if (!context.InMenu) {
        std::string current;
        SendAndCollect(&port_, "xxxxx", 1000, LineIncomplete, NoPurge, current);
        auto start = Clock::now();
        while (!current.empty()) {
          if (current.find_first_not_of('\x07') == std::string::npos)
            ReadDump(&port_, context);
          else if (Contains(current, "Press Enter for Setup Mode") && dumpWanted)
            ReadDump(&port_, context);
          if (Clock::now() - start > ListenLimit) break;
          SendAndCollect(&port_, "", 200, LineIncomplete, NoPurge, current);
        }
      }
    }
  }
  inMenu_ = true;
  const bool reached = context.InMenu;
  if (dumpWanted && reached && context.Root) {
    {
      std::lock_guard guard(shared_->readResultLock);
      shared_->readResult = context.Root;
      context = TDumpContext();
      events_.Reset(TEvents::Read);
    }
    PostReadDocument();
  }
  return reached;
}

bool TKaVruneAI::WriteCancelled() const { return terminated_ || portWanted_ > 0; }

void TKaVruneAI::LeaveMenusWithoutStoring() {
  // Enter keeps each remaining value until the root menu shows; then leave without "9".
  std::string reply;
  int empty = 0;
  for (int i = 0; i < 60 && port_.Active() && !WriteCancelled(); ++i) {
    SendAndExpect(&port_, "\r", 1000, "?", PurgeBoth, reply);
    if (Contains(reply, "Your choice ?")) break;
    empty = reply.empty() ? empty + 1 : 0;
    if (empty >= WriteMaxEmptyReplies) break;
  }
  if (port_.Active() && !WriteCancelled()) SendAndExpect(&port_, "8\r", 100, "?", PurgeBoth, reply);
  inMenu_ = false;
}

void TKaVruneAI::WriteDevice() {
  TXmlElement request;
  uint64_t serial;
  {
    std::lock_guard guard(writeRequestLock_);
    request = writeRequest_;
    serial = runningWriteSerial_ = writeSerial_;
  }
  auto finish = [&](const TWriteReport& report) {
    {
      // A request made while this one ran stays pending.
      std::lock_guard guard(writeRequestLock_);
      if (serial == writeSerial_) {
        writeRequest_ = TXmlElement();
        events_.Reset(TEvents::Write);
      }
    }
    Post([report](IKaVruneSink& sink) { sink.WriteFinished(report); });
  };

  TWriteReport report;
  report.Kind = request.FirstChild("Exit")      ? TWriteKind::Exit
                : request.FirstChild("Defauts") ? TWriteKind::Defaults
                                                : TWriteKind::Settings;
  // The port lock is held for the whole write, so closing or changing the port waits for the
  // current exchange and then finds the write stopped, never a walk on a closing port.
  std::lock_guard guard(portLock_);
  if (!port_.Active() || WriteCancelled()) {
    report.Cancelled = true;
    report.Message = "The port was closed before the settings were written.";
    inMenu_ = false;
    finish(report);
    return;
  }
  if (!EnterSetupMode(false)) {
    ShowMessage("Device cannot set to root menu, please chcek connection and try again.");
    return;
  }
  std::string reply;
  if (report.Kind == TWriteKind::Exit) {
    SendAndExpect(&port_, "8\r", 100, "?", PurgeBoth, reply);
    inMenu_ = false;
    report.Succeeded = !reply.empty();
  } else if (report.Kind == TWriteKind::Defaults) {
    SendAndExpect(&port_, "7\r", 100, "?", PurgeBoth, reply);
    report.Succeeded = Contains(reply, "?");
  } else {
    static const std::pair<const char*, int> sections[] = {
        {"basic_parameters", 0}, {"Expert", 5}, {"Channel_1", 1}, {"Channel_2", 2}, {"WLAN", 4}, {"Security", 6}};
    TWriteControl control;
    control.Cancelled = [this] { return WriteCancelled(); };
    std::vector<std::string> notes;
    for (const auto& [name, choice] : sections) {
      std::string sectionName = name;
      control.Progress = [this, sectionName](const std::string& prompt, int step) {
        Post([sectionName, prompt, step](IKaVruneSink& sink) { sink.WriteProgress(sectionName, prompt, step); });
      };
      TXmlElement section = FindNodePath(request, name, true);
      TSectionOutcome outcome = WriteSection(&port_, section, choice, control);
      notes.insert(notes.end(), outcome.Notes.begin(), outcome.Notes.end());
      if (outcome.Cancelled) {
        // The front end is closing or changing the port; it leaves Setup Mode itself.
        inMenu_ = false;
        report.Cancelled = true;
        report.Message = "Writing was stopped because the port was closed.";
        finish(report);
        return;
      }
      if (!outcome.Completed) {
        LeaveMenusWithoutStoring();
        report.Message = "Writing the section " + sectionName + " failed at the prompt \"" + outcome.Prompt +
                         "\": " + outcome.Reason + ". The settings were not stored.";
        ShowMessage(report.Message);
        finish(report);
        RequestRead();
        return;
      }
    }
    for (const std::string& note : notes) ShowMessage(note);
    if (WriteCancelled()) {
      inMenu_ = false;
      report.Cancelled = true;
      report.Message = "Writing was stopped because the port was closed.";
      finish(report);
      return;
    }
    SendAndExpect(&port_, "9\r", 100, "Parameters stored ...", PurgeBoth, reply);
    inMenu_ = false;
    report.Succeeded = Contains(reply, "Parameters stored ...");
    if (!report.Succeeded) report.Message = "The device did not confirm storing the parameters.";
  }
  finish(report);
  // The window must not keep showing the values from before the write as current.
  if (report.Kind != TWriteKind::Exit) RequestRead();
}
