#include "SimDevice.h"

#include <cctype>
#include <cstdio>
#include <utility>

namespace {

using A = TSimAnswer;

// Twelve hex digits with sep between the bytes (none: as they are).
std::string Spelled(const std::string& mac, const char* sep) {
  std::string shown;
  for (std::size_t at = 0; at < mac.size(); at += 2) shown += (at ? sep : "") + mac.substr(at, 2);
  return shown;
}

// The unit's own address plus one, as a second interface of the unit would have it.
std::string Alternate(const std::string& mac) {
  char last[3];
  std::snprintf(last, sizeof last, "%02X", (std::stoi(mac.substr(10), nullptr, 16) + 1) & 0xFF);
  return mac.substr(0, 10) + last;
}

std::string Banner(const TSimProfile& p, const std::string& mac) {
  std::string product = "kaVRUNE serial device server\r\n", macLine, altLine, version;
  switch (p.Banner) {
    case TSimBanner::MacAddressLine: {
      const char* sep = p.MacWithDashes ? "-" : "";
      macLine = "MAC address " + Spelled(mac, sep) + "\r\n";
      altLine = "Alternate MAC address " + Spelled(Alternate(mac), sep) + "\r\n";
      version = "Software version V1.0.0.1\r\n";
      break;
    }
    case TSimBanner::Labelled:
      macLine = "MAC: " + Spelled(mac, ":") + "\r\n";
      altLine = "Alternate MAC: " + Spelled(Alternate(mac), ":") + "\r\n";
      version = "Version: V1.0.0.1\r\n";
      break;
    case TSimBanner::ProductLine:
      product = "*** kaVRUNE  MAC " + Spelled(mac, "-") + "\r\n";
      altLine = "Alternate MAC " + Spelled(Alternate(mac), "-") + "\r\n";
      version = "Firmware V6.7.0.2 (091201)\r\n";
      break;
  }
  return "\r\n\r\n" + product + macLine + (p.AlternateMacInBanner ? altLine : "") + version + "\r\n";
}

const char kOffer[] = "Press Enter for Setup Mode ";

const char kRootMenuSections[] =
    "0 Server configuration\r\n"
    "1 Channel 1 configuration\r\n"
    "2 Channel 2 configuration\r\n";
const char kRootMenuWlan[] = "4 WLAN configuration\r\n";
const char kRootMenuRest[] =
    "5 Expert settings\r\n"
    "6 Security\r\n"
    "7 Factory defaults\r\n"
    "8 Exit without save\r\n"
    "9 Save and exit\r\n"
    "\r\nYour choice ? ";

// What an asynchronous status message of the unit looks like between two prompts.
const char kStatusLine[] = "\r\nLAN link up\r\n";
// How long after the question it follows the status line of status-line comes.
constexpr std::chrono::milliseconds kStatusAfter{100};

const char kRateQuestion[] = "Rate (0=1, 1=2, 2=5.5, 3=11, 4=18, 5=24, 6=36, 7=54 Mbps)";

std::vector<long> Numbers(const std::string& text, char sep, std::size_t count) {
  std::vector<long> values(count, 0);
  std::size_t i = 0, start = 0;
  while (i < count && start <= text.size()) {
    auto end = text.find(sep, start);
    if (end == std::string::npos) end = text.size();
    long v;
    if (SimParseDecimal(text.substr(start, end - start), v)) values[i] = v;
    ++i;
    start = end + 1;
  }
  return values;
}

std::string Join(const std::vector<long>& values, const char* sep) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) text += (i ? sep : "") + std::to_string(values[i]);
  return text;
}

}  // namespace

bool SimParseFault(std::string_view word, TSimFault& fault) {
  static const std::pair<std::string_view, TSimFault> faults[] = {{"none", TSimFault::None},
                                                                  {"silent", TSimFault::Silent},
                                                                  {"no-menu", TSimFault::NoMenu},
                                                                  {"hangup-mid-dump", TSimFault::HangupMidDump},
                                                                  {"noise", TSimFault::Noise},
                                                                  {"chatter", TSimFault::Chatter},
                                                                  {"refuse-answers", TSimFault::RefuseAnswers},
                                                                  {"store-unconfirmed", TSimFault::StoreUnconfirmed},
                                                                  {"restart-in-walk", TSimFault::RestartInWalk},
                                                                  {"no-return", TSimFault::NoReturn},
                                                                  {"corrupt-digit", TSimFault::CorruptDigit},
                                                                  {"status-line", TSimFault::StatusLine},
                                                                  {"wrong-root-prompt", TSimFault::WrongRootPrompt},
                                                                  {"no-store-entry", TSimFault::NoStoreEntry},
                                                                  {"cut-prompt", TSimFault::CutPrompt},
                                                                  {"wrong-menu", TSimFault::WrongMenu},
                                                                  {"dump-in-menu", TSimFault::DumpInMenu},
                                                                  {"continue-after-dump", TSimFault::ContinueAfterDump},
                                                                  {"no-exit-entry", TSimFault::NoExitEntry},
                                                                  {"exit-ignored", TSimFault::ExitIgnored}};
  for (const auto& [name, f] : faults)
    if (name == word) {
      fault = f;
      return true;
    }
  return false;
}

TSimDevice::TSimDevice(TSimSettings stored, TOptions options)
    : m_Stored(std::move(stored)), m_Current(m_Stored), m_Options(options) {}

void TSimDevice::Emit(std::string_view text) {
  const std::string& end = m_Options.Profile.LineEnd;
  for (std::size_t at = 0; at < text.size();) {
    const auto crlf = text.find("\r\n", at);
    if (crlf == std::string_view::npos) {
      m_Out.append(text.substr(at));
      break;
    }
    m_Out.append(text.substr(at, crlf - at)).append(end);
    at = crlf + 2;
  }
  m_OwnEnd = m_Out.size();
  ++m_Emits;
  const auto last = text.rfind("\r\n");
  m_LastPrompt = last == std::string_view::npos ? text : text.substr(last + 2);
}

void TSimDevice::Echo(std::string_view text) { m_Out.append(text); }

bool TSimDevice::Printing(TClock::time_point now) const {
  if (m_OwnEnd == 0) return false;
  // It answers late, or the line holds its text back (a pause inside a question, a burst's gap).
  if (now < m_HeldUntil || now < m_LineHeldUntil) return true;
  // Unpaced, its text is on the line the moment it is made. Paced, it goes out at the line's
  // pace: text made since the line last looked, or due to go out later than now, is still being
  // printed; text the line is late with (this process held up) is no longer the unit's doing.
  return m_Options.CharTime.count() > 0 && (m_Emits != m_ScheduledEmits || now < m_OutBy);
}

void TSimDevice::Event(const std::string& text) {
  if (OnEvent) OnEvent(text);
}

void TSimDevice::Consume(std::size_t count) {
  m_Out.erase(0, count);
  m_OwnEnd -= std::min(count, m_OwnEnd);
  if (m_HangupAt) *m_HangupAt -= std::min(count, *m_HangupAt);
  // Bytes taken past the pause (by a test, not the line) leave no pause behind.
  if (m_PauseAt && count > *m_PauseAt) m_PauseAt.reset();
  else if (m_PauseAt) *m_PauseAt -= count;
}

void TSimDevice::PowerOn(TClock::time_point now) {
  m_Out.clear();
  m_OwnEnd = 0;
  m_HangupAt.reset();
  m_PauseAt.reset();
  Boot(now);
}

void TSimDevice::Boot(TClock::time_point now, bool warm) {
  m_Current = m_Stored;
  m_Line.clear();
  m_MenuKeys = m_Prompts = 0;
  m_StatusDue.reset();
  m_ContinueShown = false;
  m_KeysWaiting.clear();
  m_OfferPause = std::chrono::milliseconds(warm ? m_Options.Profile.WarmRestartPauseMs : 0);
  Event(warm ? "warm restart" : "power-on");
  if (m_Options.Fault == TSimFault::Silent) {
    m_Mode = TSimMode::DataMode;
    return;
  }
  Emit(warm ? std::string("\r\n") : Banner(m_Options.Profile, m_Options.Mac));
  if (m_Options.Profile.OfferDelayMs > 0) {
    // Keys are not heard until the offer is out.
    m_Mode = TSimMode::Booting;
    m_OfferAt = now + m_Options.CharTime * m_Out.size() + std::chrono::milliseconds(m_Options.Profile.OfferDelayMs);
    return;
  }
  Offer(now);
}

void TSimDevice::Offer(TClock::time_point now) {
  // A warm start's line pauses inside the offer's words, after "Press Ent".
  if (m_OfferPause.count() > 0) PauseHere(m_Out.size() + 9, static_cast<int>(m_OfferPause.count()));
  Emit(kOffer);
  // The line end after the offer is the firmware's own, whatever its other lines end with.
  if (m_Options.Profile.OfferEnd != TSimOfferEnd::None) {
    m_Out += m_Options.Profile.OfferEnd == TSimOfferEnd::CrLf ? "\r\n" : "\n\r";
    m_OwnEnd = m_Out.size();
    if (m_Options.Profile.AdapterHoldMs > 0 && !m_PauseAt) PauseHere(m_Out.size() - 1, m_Options.Profile.AdapterHoldMs, true);
  }
  if (m_Options.Fault == TSimFault::Chatter) {
    m_Mode = TSimMode::Chatter;
    return;
  }
  m_Mode = TSimMode::Offer;
  // The offer stays open for the window after it has reached the line.
  const int window = m_Options.Profile.OfferWindowMs;
  m_WindowEnd = now + m_Options.CharTime * m_Out.size() + m_OfferPause +
                (window > 0 ? std::chrono::milliseconds(window) : m_Options.BootWindow);
}

void TSimDevice::PowerOff() {
  m_Mode = TSimMode::Off;
  m_StatusDue.reset();
  m_Out.clear();
  m_OwnEnd = 0;
  m_HangupAt.reset();
  m_PauseAt.reset();
  m_KeysWaiting.clear();
}

std::optional<TSimDevice::TClock::time_point> TSimDevice::NextDeadline() const {
  if (m_Mode == TSimMode::Offer && m_Options.Fault != TSimFault::NoMenu) return m_WindowEnd;
  if (m_Mode == TSimMode::Restarting) return m_RestartAt;
  if (m_Mode == TSimMode::Booting) return m_OfferAt;
  if (m_Mode == TSimMode::Entering || !m_KeysWaiting.empty()) return m_EnterAt;
  return m_StatusDue;
}

void TSimDevice::PromptShown(TClock::time_point now) {
  if (++m_Prompts != m_Options.FaultAfter) return;
  if (m_Options.Fault == TSimFault::StatusLine)
    m_StatusDue = now + m_Options.Latency + m_Options.CharTime * m_Out.size() + kStatusAfter;
  // The line loses the question's ending and the blanks after it.
  if (m_Options.Fault == TSimFault::CutPrompt) {
    while (!m_Out.empty() && std::string_view(" ?):").find(m_Out.back()) != std::string_view::npos) m_Out.pop_back();
    m_OwnEnd = std::min(m_OwnEnd, m_Out.size());
    Event("cut prompt");
  }
}

void TSimDevice::Tick(TClock::time_point now) {
  // A status message does not wait for the keys: it comes wherever the console waits then.
  if (m_StatusDue && now >= *m_StatusDue) {
    m_StatusDue.reset();
    if (m_Mode == TSimMode::Question || m_Mode == TSimMode::RootMenu || m_Mode == TSimMode::Continue) {
      Event("status line");
      Emit(kStatusLine + m_LastPrompt);
    }
  }
  if (m_Mode == TSimMode::Offer && m_Options.Fault != TSimFault::NoMenu && now >= m_WindowEnd) {
    m_Mode = TSimMode::DataMode;
    Event("offer closed");
  } else if (m_Mode == TSimMode::Restarting && now >= m_RestartAt) {
    if (m_Options.Profile.WarmRestartPauseMs > 0) Boot(now, true);
    else PowerOn(now);
  } else if (m_Mode == TSimMode::Booting && now >= m_OfferAt) {
    Offer(now);
  } else if (m_Mode == TSimMode::Entering && now >= m_EnterAt) {
    EnterSetupMode();
    // What came meanwhile is read once the root menu is out, and answered as late again.
    m_EnterAt = now + m_Options.CharTime * m_Out.size() + std::chrono::milliseconds(m_Options.Profile.SetupDelayMs);
  } else if (m_Mode == TSimMode::RootMenu && !m_KeysWaiting.empty() && now >= m_EnterAt) {
    const std::string keys = std::exchange(m_KeysWaiting, {});
    for (char c : keys) RootMenuKey(c, now);
  } else if (m_Mode == TSimMode::Chatter && m_Out.size() < 256) {
    Emit("Link down, retrying connection " + std::to_string(++m_ChatterCount) + "\r\n");
  }
}

void TSimDevice::Receive(std::string_view bytes, TClock::time_point now) {
  Tick(now);
  const bool idle = m_Out.empty();
  // The line's copy comes at once: whole, ahead of the unit's own echo and answer.
  if (m_Options.Echo) Echo(bytes);
  for (char c : bytes) {
    const bool printing = Printing(now);
    if (m_Mode == TSimMode::Entering || (m_Mode == TSimMode::RootMenu && !m_KeysWaiting.empty())) {
      // Busy entering Setup Mode: the key waits in its input.
      Event("key while printing");
      m_KeysWaiting += c;
      continue;
    }
    // Tests hold the client to never typing ahead: every key that comes while the device still
    // prints is an event, whether the device takes it or not.
    if (printing && m_Mode != TSimMode::Offer && m_Mode != TSimMode::Off) Event("key while printing");
    if (printing && !m_Options.TypeAhead && m_Mode != TSimMode::Offer) continue;  // lost
    const unsigned emits = m_Emits;
    bool restarted = false;
    switch (m_Mode) {
      case TSimMode::Offer:
        if (printing && !(c == '\r' && m_Options.TakesEarlyEnter)) break;  // the banner is not out yet
        if (c == '\n') break;
        if (c == '\r' && m_Options.Fault != TSimFault::NoMenu) {
          if (m_Options.Profile.SetupDelayMs > 0) {
            m_Mode = TSimMode::Entering;
            m_EnterAt = now + std::chrono::milliseconds(m_Options.Profile.SetupDelayMs);
          } else {
            EnterSetupMode();
          }
        } else {
          Echo("\a");
        }
        break;
      case TSimMode::RootMenu: RootMenuKey(c, now); break;
      case TSimMode::Question:
        QuestionInput(c);
        if (c != '\n' && m_Options.Fault == TSimFault::RestartInWalk && ++m_MenuKeys == m_Options.FaultAfter) {
          Event("restart");
          Boot(now);
          restarted = true;  // a booting unit hears nothing of what follows
        }
        break;
      case TSimMode::Continue:
        if (c == '\r') PrintRootMenu();
        else if (c != '\n') Echo("\a");
        break;
      default: break;  // off, data mode, restarting, chatter: the console does not listen
    }
    if (restarted) break;
    if (m_Mode == TSimMode::Question && m_Emits != emits) PromptShown(now);
  }
  if (idle && !m_Out.empty() && m_Options.Latency.count() > 0) m_HeldUntil = now + m_Options.Latency;
}

void TSimDevice::RootMenuKey(char c, TClock::time_point now) {
  if (c == '\r') {
    const std::string choice = m_Line;
    m_Line.clear();
    RootMenuChoice(choice, now);
  } else if ((c == '\b' || c == 0x7F) && !m_Line.empty()) {
    m_Line.pop_back();
    Echo("\b \b");
  } else if (c >= 0x20 && c < 0x7F && m_Line.size() < 8) {
    m_Line += c;
    Echo(std::string_view(&c, 1));
  }
}

void TSimDevice::EnterSetupMode() {
  Event("setup mode");
  PrintDump();
}

void TSimDevice::PrintDump() {
  const std::string text = DumpText();
  if (m_Options.Fault == TSimFault::HangupMidDump) m_HangupAt = m_Out.size() + text.size() / 2;
  Emit(text);
  PrintRootMenu();
  if (m_Options.Fault == TSimFault::ContinueAfterDump && !m_ContinueShown) {
    m_ContinueShown = true;
    Event("continue after dump");
    m_Mode = TSimMode::Continue;
    Emit("\r\nPress Enter to continue ? ");
  }
}

std::string TSimDevice::DumpText() {
  std::string text = "\r\n";
  bool first = true;
  for (const auto& line : SimDumpLines(m_Current, m_Options.Profile)) {
    std::string l = line;
    // Noise goes into the setting lines only, so the dump can still be recognised.
    if (m_Options.Fault == TSimFault::Noise && !first) {
      static const char noise[] = {'\0', '\a', '\x1B', '\x7F', '\xFE', '\xFF', '~', '^'};
      std::string noisy;
      for (char c : l) {
        noisy += c;
        if (m_Noise() % 20 == 0) noisy += noise[m_Noise() % sizeof noise];
      }
      l = noisy;
    }
    first = false;
    text += l + "\r\n";
  }
  return text;
}

void TSimDevice::PrintRootMenu() {
  m_Mode = TSimMode::RootMenu;
  m_Line.clear();
  const std::string& heading = m_Options.Profile.RootHeading;
  if (heading.empty()) {
    Emit("\r\n\r\n");
  } else {
    Emit("\r\n" + heading);
    if (m_Options.Profile.HeadingPauseMs > 0) PauseHere(m_Out.size(), m_Options.Profile.HeadingPauseMs);
    Emit("\r\n");
  }
  std::string rest = kRootMenuRest;
  if (m_Options.Fault == TSimFault::NoStoreEntry) rest.erase(rest.find("9 Save and exit\r\n"), 17);
  if (m_Options.Fault == TSimFault::NoExitEntry) rest.erase(rest.find("8 Exit without save\r\n"), 21);
  Emit(std::string(kRootMenuSections) + (m_Options.Profile.Wlan ? kRootMenuWlan : "") + rest);
}

void TSimDevice::RootMenuChoice(const std::string& choice, TClock::time_point now) {
  if (choice.empty()) {
    PrintDump();
    return;
  }
  long n = -1;
  if (!SimParseDecimal(choice, n)) n = -1;
  const TSimSectionInfo* info = SimSectionByMenu(static_cast<int>(n));
  if (info && info->Group == TSimGroup::WLAN && !m_Options.Profile.Wlan) info = nullptr;
  if (info && m_Options.Fault == TSimFault::WrongMenu) {
    info = SimSectionByMenu(info->MenuChoice == 0 ? 5 : 0);
    Event("wrong menu");
  }
  if (info) {
    StartMenu(*info);
  } else if (n == 7) {
    m_Current = SimDefaults();
    Event("defaults");
    Emit("\r\nFactory defaults restored");
    if (m_Options.Profile.DefaultsReprintDump) PrintDump();
    else PrintRootMenu();
  } else if (n == 8 && m_Options.Fault == TSimFault::ExitIgnored) {
    Event("exit ignored");
    PrintRootMenu();
  } else if (n == 8) {
    Event("exit without save");
    Emit("\r\n" + m_Options.Profile.ExitText + "\r\n");
    m_Mode = TSimMode::DataMode;
  } else if (n == 9 && m_Options.Fault == TSimFault::StoreUnconfirmed) {
    // A unit whose parameter memory fails answers, but not with the words that mean stored.
    Event("store failed");
    Emit("\r\nParameter memory busy\r\n");
    PrintRootMenu();
  } else if (n == 9) {
    m_Stored = m_Current;
    Event("store");
    try {
      if (OnStore) OnStore(m_Stored);
    } catch (const std::exception& e) {
      Emit(std::string("\r\n") + e.what());
    }
    Emit("\r\n" + m_Options.Profile.StoredText + "\r\n");
    if (m_Options.Profile.SaysRestarting) Emit("Restarting ...\r\n");
    if (m_Options.Fault == TSimFault::NoReturn) {
      Event("no return");
      m_Mode = TSimMode::DataMode;  // deaf until powered off and on
      return;
    }
    if (m_Options.Profile.RestartDelayMs == 0) {
      Boot(now, m_Options.Profile.WarmRestartPauseMs > 0);  // at once: right behind the confirmation
      return;
    }
    m_Mode = TSimMode::Restarting;
    m_RestartAt = now + m_Options.Latency + m_Options.CharTime * m_Out.size() +
                  std::chrono::milliseconds(m_Options.Profile.RestartDelayMs);
  } else {
    Emit("\r\nYour choice ? ");
  }
}

TSimSection& TSimDevice::Section() { return m_Current.Sections[m_Section->Name]; }

const TSimSettingDef& TSimDevice::Def() const { return SimSettingDefs()[m_DefIndex]; }

void TSimDevice::StartMenu(const TSimSectionInfo& info) {
  Event(std::string("menu ") + info.Name);
  m_Section = &info;
  m_Answers.clear();
  m_DefIndex = 0;
  m_Corrupted = false;
  m_Mode = TSimMode::Question;
  if (m_Options.Fault == TSimFault::DumpInMenu) {
    Event("dump in menu");
    Emit(DumpText());
  }
  Emit("\r\n");
  AskNext();
}

void TSimDevice::AskNext() {
  const auto& defs = SimSettingDefs();
  for (; m_DefIndex < defs.size(); ++m_DefIndex) {
    const auto& def = defs[m_DefIndex];
    if (def.Group != m_Section->Group || !def.Question) continue;
    if (!m_Options.Profile.Wlan && def.Key == std::string_view("Network_mode")) continue;
    const bool asked = def.Kind == A::AddressTable && m_Options.Profile.TableInAnyUdpMode
                           ? SimIsUdp(Section())
                           : !def.Asked || def.Asked(Section(), m_Answers);
    if (asked) {
      Ask();
      return;
    }
  }
  if (m_Options.Fault == TSimFault::WrongRootPrompt) {
    m_Mode = TSimMode::Continue;
    Emit("\r\nPress Enter to continue ? ");
    return;
  }
  PrintRootMenu();
}

void TSimDevice::Ask() {
  m_Step = 0;
  m_Line.clear();
  m_Parts.clear();
  m_Key.clear();
  const auto& def = Def();
  const auto& profile = m_Options.Profile;
  std::string question = SimQuestionText(def, Section());
  if (def.Kind == A::Address && profile.AddressByNumber) {
    unsigned o[4] = {0, 0, 0, 0};
    SimParseAddress(Section()[def.Key], o);
    question = std::string(def.Question) + " : (" + std::to_string(o[0]) + ") ";
  } else if (def.Kind == A::Netmask && profile.NetmaskWithoutQuestionMark) {
    question.erase(question.size() - 2);  // the "? " after the host bits
  }
  // The DHCP name's choice: its second part after the first "? ", or the choice alone.
  std::size_t second = def.Kind == A::Decision ? question.find(") ? (") : std::string::npos;
  if (second != std::string::npos && profile.DhcpForm == TSimDhcpForm::OnePart) {
    question = std::string(def.Question) + " (N) ? ";
    second = std::string::npos;
  } else if (second != std::string::npos && profile.DhcpForm == TSimDhcpForm::Bracketed) {
    question[question.rfind('(', second)] = '[';
    question[second] = ']';
  }
  Emit("\r\n" + question);
  if (second != std::string::npos && profile.PartPauseMs > 0)
    PauseHere(m_Out.size() - (question.size() - second - 4), profile.PartPauseMs);
}

void TSimDevice::PauseHere(std::size_t at, int ms, bool adapters) {
  m_PauseAt = at;
  m_PauseLength = std::chrono::milliseconds(ms);
  m_PauseIsAdapters = adapters;
}

void TSimDevice::ReAsk() { Ask(); }

void TSimDevice::Accept(const std::string& value) {
  const auto& def = Def();
  if (def.Kind == A::Decision || def.Kind == A::ShowKey) m_Answers[def.Key] = value;
  else Section()[def.Key] = value;
  KeepAndNext();
}

void TSimDevice::KeepAndNext() {
  ++m_DefIndex;
  AskNext();
}

bool TSimDevice::SingleCharacterStep() const {
  switch (Def().Kind) {
    case A::YesNo:
    case A::Decision:
    case A::ShowKey: return true;
    case A::Gateway:
    case A::AddressTable: return m_Step == 0;
    default: return false;
  }
}

bool TSimDevice::HexKeyStep() const {
  const auto& def = Def();
  if (def.Kind == A::HexKey) return true;
  if (def.Kind != A::WlanKey) return false;
  auto& wlan = const_cast<TSimDevice*>(this)->Section();
  return wlan["Key_type_0"] == "0" && SimWlanHexKeyLength(wlan) > 0;
}

void TSimDevice::QuestionInput(char c) {
  if (c == '\n') return;  // a CR LF line end counts once
  const auto& def = Def();

  if (m_Options.Fault == TSimFault::RefuseAnswers) {
    if (c == '\r' || SingleCharacterStep()) ReAsk();
    return;
  }

  if (SingleCharacterStep()) {
    if (c == '\r') {
      KeepAndNext();
      return;
    }
    const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (up != 'Y' && up != 'N') {
      ReAsk();
      return;
    }
    Echo(std::string(1, Raw() ? c : up));
    switch (def.Kind) {
      case A::ShowKey:
        if (up == 'Y') {
          const std::string key = Section()["Enter_Key"];
          Emit("\r\nCurrent key: " + (key.empty() ? std::string("not set") : key));
        }
        Accept(std::string(1, up));
        break;
      case A::Gateway:
        if (up == 'N') {
          Accept("0.0.0.0");
        } else {
          m_Step = 1;
          unsigned o[4] = {0, 0, 0, 0};
          SimParseAddress(Section()[def.Key], o);
          Emit(std::string("\r\nGateway IP addr ") + (m_Options.Profile.AddressByNumber ? ": (" : "(") +
               std::to_string(o[0]) + ") ");
        }
        break;
      case A::AddressTable:
        if (up == 'N') {
          KeepAndNext();
        } else {
          m_Step = 1;
          const auto entries = Numbers(Section()[def.Key], ' ', 16);
          Emit("\r\nDev addr 0 (" + std::to_string(entries[0]) + ") ? ");
        }
        break;
      default: Accept(std::string(1, up)); break;
    }
    return;
  }

  if (HexKeyStep()) {
    // A CR before the key is complete abandons the entry and keeps the stored key.
    if (c == '\r') {
      KeepAndNext();
      return;
    }
    if (!std::isxdigit(static_cast<unsigned char>(c))) {
      Echo("\a");
      return;
    }
    m_Key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Echo(Raw() ? std::string_view(&c, 1) : std::string_view("*"));
    long bits = 0;
    const std::size_t needed = def.Kind == A::HexKey
                                   ? (SimParseDecimal(Section()["Key_length_in_bits"], bits) ? bits / 4 : 32)
                                   : static_cast<std::size_t>(SimWlanHexKeyLength(Section()));
    if (m_Key.size() >= needed) Accept(m_Key);
    return;
  }

  if (c == '\r') {
    LineComplete();
  } else if (c == '\b' || c == 0x7F) {
    if (!m_Line.empty()) {
      m_Line.pop_back();
      Echo("\b \b");
    }
  } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || m_Line.size() >= 80) {
    // Texts are windows-1250: every byte from 20h up but DEL is a character.
    Echo("\a");
  } else {
    const bool hidden = def.Kind == A::Secret || def.Kind == A::WlanKey;
    const auto digit = [](char d) { return d >= '0' && d <= '9'; };
    if (m_Options.Fault == TSimFault::CorruptDigit && !hidden && !m_Corrupted && digit(c) && !m_Line.empty() &&
        digit(m_Line.back())) {
      c = static_cast<char>('0' + (c - '0' + 1 + m_Options.Seed % 9) % 10);
      m_Corrupted = true;
      Event("corrupt digit");
    }
    m_Line += c;
    Echo(hidden && !Raw() ? std::string_view("*") : std::string_view(&c, 1));
  }
}

void TSimDevice::LineComplete() {
  const auto& def = Def();
  const std::string line = m_Line;
  m_Line.clear();
  const std::string current = Section()[def.Key];
  long v = 0;

  switch (def.Kind) {
    case A::Number:
      if (line.empty()) KeepAndNext();
      else if (SimParseDecimal(line, v) && (!def.Accepts || def.Accepts(v, Section()))) Accept(std::to_string(v));
      else ReAsk();
      return;
    case A::Netmask:
      if (line.empty()) KeepAndNext();
      else if (SimParseDecimal(line, v) && v <= 32) Accept(SimNetmaskFromHostBits(static_cast<int>(v)));
      else ReAsk();
      return;
    case A::HexByte:
      if (line.empty()) KeepAndNext();
      else if (line.size() <= 2 && SimParseHex(line, v)) Accept(SimHexByte(v));
      else ReAsk();
      return;
    case A::Text:
    case A::Secret:
    case A::WlanKey:
      // A name or password asked for after "Change ... ? Y" is the new one: none is none. Any
      // other text is kept with Enter.
      if (line.empty() && std::string_view(def.Key).starts_with("Enter_new_") && !m_Options.Profile.KeepsEmptyText)
        Accept("");
      else if (line.empty()) KeepAndNext();
      else if (line.size() <= def.MaxLength) Accept(line);
      else ReAsk();
      return;
    case A::Address:
    case A::Gateway: {
      const std::size_t octet = def.Kind == A::Gateway ? m_Step - 1 : m_Step;
      unsigned cur[4] = {0, 0, 0, 0};
      SimParseAddress(current, cur);
      if (line.empty()) {
        if (octet == 0 && !m_Options.Profile.AddressByNumber) {
          KeepAndNext();  // Enter on the first number keeps the whole address
          return;
        }
        v = cur[octet];
      } else if (!SimParseDecimal(line, v) || v > 255) {
        ReAsk();
        return;
      }
      m_Parts.push_back(v);
      if (octet < 3) {
        ++m_Step;
        Emit(".(" + std::to_string(cur[octet + 1]) + ") ");
      } else {
        Accept(Join(m_Parts, "."));
      }
      return;
    }
    case A::Time: {
      const auto cur = Numbers(current, ':', 2);
      if (m_Step == 0) {
        if (line.empty()) KeepAndNext();
        else if (SimParseDecimal(line, v) && v <= 23) {
          m_Parts = {v};
          m_Step = 1;
          Emit(":");
        } else ReAsk();
      } else {
        if (line.empty()) v = cur[1];
        else if (!SimParseDecimal(line, v) || v > 59) {
          ReAsk();
          return;
        }
        Accept(std::to_string(m_Parts[0]) + ":" + std::to_string(v));
      }
      return;
    }
    case A::DataRate: {
      const auto cur = Numbers(current, ':', 2);
      if (m_Step == 0) {
        if (line.empty()) v = cur[1];
        else if (!SimParseDecimal(line, v) || v > 1) {
          ReAsk();
          return;
        }
        m_Parts = {v};
        m_Step = 1;
        Emit(std::string("\r\n") + kRateQuestion + " (" + std::to_string(cur[0]) + ") ? ");
      } else {
        if (line.empty()) v = cur[0];
        else if (!SimParseDecimal(line, v) || v > 7) {
          Emit(std::string("\r\n") + kRateQuestion + " (" + std::to_string(cur[0]) + ") ? ");
          return;
        }
        Accept(std::to_string(v) + ":" + std::to_string(m_Parts[0]));
      }
      return;
    }
    case A::AddressTable: {
      const auto cur = Numbers(current, ' ', 16);
      const std::size_t entry = m_Step - 1;
      if (line.empty()) v = cur[entry];
      else if (!SimParseDecimal(line, v) || v > 255) {
        Emit("\r\nDev addr " + std::to_string(entry) + " (" + std::to_string(cur[entry]) + ") ? ");
        return;
      }
      m_Parts.push_back(v);
      if (entry < 15) {
        ++m_Step;
        Emit("\r\nDev addr " + std::to_string(entry + 1) + " (" + std::to_string(cur[entry + 1]) + ") ? ");
      } else {
        Accept(Join(m_Parts, " "));
      }
      return;
    }
    default: KeepAndNext(); return;
  }
}
