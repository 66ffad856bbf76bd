#include "uKaVruneWriter.h"

#include <set>

#include "uCommunicationUtils.h"
#include "uKaVruneDumpReader.h"
#include "uKaVruneModel.h"
#include "uKaVruneQuestions.h"
#include "uKaVruneUtils.h"

namespace {

struct TWalkStopped {
  std::string reason;
  bool cancelled = false;
  bool restarted = false;
};

// A question the menu of this section asks: a key of the table, or a decision that steers one.
bool KnownQuestion(const std::string& section, const std::string& key) {
  if (key == "Display_current_key") return true;
  for (const TSettingRow& r : SettingRows())
    if (r.Section == section && (r.PromptKey == key || r.ChangeKey == key)) return true;
  return false;
}

bool IsDecision(const std::string& section, const std::string& key) {
  for (const TSettingRow& r : SettingRows())
    if (r.Section == section && r.ChangeKey == key) return true;
  return false;
}

// Answered with one character, Y or N, without a line end.
bool IsYesNo(const std::string& section, const std::string& key) {
  if (IsDecision(section, key) || key == "Display_current_key") return true;
  const TSettingRow* row = FindSettingRow(section, key);
  return row && row->Kind == TSettingKind::Flag;
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t p = text.find(sep, start);
    parts.push_back(text.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) return parts;
    start = p + 1;
  }
}

class TSectionWalk final {
 public:
  TSectionWalk(TDeviceConsole& console, const TXmlElement& section, const std::string& menuKey,
               const TWriteControl& control)
      : section_(section), menuKey_(menuKey), control_(control), console_(console), port_(console.Port()) {}

  TSectionOutcome Run() {
    // The menu's own questions are the ones answered at once when whole; any other waits.
    struct TAsking {
      TDeviceConsole& Console;
      ~TAsking() { Console.SetQuestions(nullptr); }
    } asking{console_};
    if (section_) console_.SetQuestions(&MenuQuestions(section_.Name()));
    try {
      Walk();
    } catch (const TWalkStopped& stop) {
      outcome_.Cancelled = stop.cancelled;
      outcome_.OffScript = !stop.cancelled;
      outcome_.Restarted = stop.restarted;
      outcome_.Reason = stop.reason;
      outcome_.Prompt = prompt_;
      outcome_.Heard = heard_;
    }
    return outcome_;
  }

 private:
  [[noreturn]] void OffScript(const std::string& why) { throw TWalkStopped{why}; }

  void CheckGoOn() {
    if (control_.Cancelled && control_.Cancelled()) throw TWalkStopped{"cancelled", true};
    if (!port_ || !port_->Active()) OffScript("the port is closed");
  }

  // Types keys where the device waits and reads to where it waits next, or leaves the walk.
  TDeviceConsole::TAnswer TypeRaw(const std::string& keys) {
    CheckGoOn();
    TDeviceConsole::TAnswer a = console_.Type(keys);
    heard_ = a.Heard;
    CheckGoOn();  // closing the port or a stop while the device was awaited is no fault of the device
    // Its offer inside a menu: the unit started again (power or cable) and dropped the answers.
    if (console_.State() == TUnitState::Offering) throw TWalkStopped{"the unit restarted", false, true};
    if (a.NotTyped) OffScript("the device went on printing where it was to wait for an answer");
    if (a.Silent) OffScript("the device does not answer");
    if (!a.Echoed) OffScript("the device's echo does not match what was typed");
    if (Contains(a.Text, DumpHeading)) OffScript("the device printed its configuration instead of the menu");
    return a;
  }
  std::string Type(const std::string& keys) {
    TDeviceConsole::TAnswer a = TypeRaw(keys);
    if (!a.AtPrompt) OffScript("the device stopped without asking its next question");
    return a.Text;
  }

  void Walk() {
    if (!section_) return;
    name_ = section_.Name();
    for (const TXmlElement& e : section_.Children())
      if (!IsDecision(name_, e.Name())) pending_.push_back(e.Name());

    if (!console_.AtRootMenu()) OffScript("the device is not at its root menu");
    text_ = Type(menuKey_ + EnterKey);
    if (AtRootPrompt(text_)) OffScript("the menu ended before its questions");
    if (!KnownQuestion(name_, PromptName(LastLine(text_))))
      OffScript("the device asks \"" + Trim(LastLine(text_)) + "\", which is no question of this menu");

    std::string previous;  // the question answered last, as the device printed it
    while (!AtRootPrompt(text_)) {
      if (++outcome_.Steps > WriteMaxSteps) OffScript("the menu does not come to an end");
      const std::string line = LastLine(text_);
      // A refused answer brings its question back; Enter is never refused.
      if (line == previous)
        OffScript(typedValue_ ? "the device did not take the answer" : "the device asks the same question again");
      previous = line;
      const std::string key = PromptName(line);
      prompt_ = key;
      std::string value;
      if (!key.empty() && !GetKeyText(section_, key, value) && DecidesGivenValue(key)) {
        // A value given without its decision: the decision that leads to it is Yes.
        typedValue_ = true;
        text_ = Type(YesKey);
      } else if (!key.empty() && GetKeyText(section_, key, value)) {
        std::erase(pending_, key);
        typedValue_ = true;
        Give(key, Prepared(key, value), line);
      } else {
        typedValue_ = false;
        Keep(key, line);
      }
    }
    outcome_.NotAsked = pending_;
  }

  // The question decides whether a value the section gives is asked next.
  bool DecidesGivenValue(const std::string& key) const {
    std::string unused;
    for (const TSettingRow& r : SettingRows())
      if (r.Section == name_ && r.ChangeKey == key && GetKeyText(section_, r.PromptKey, unused)) return true;
    return false;
  }

  std::string Prepared(const std::string& key, const std::string& given) {
    bool removed = false;
    std::string value = StripControlCharacters(given, removed);
    // A character the device's character set lacks would arrive as another one; rather than
    // store a changed text, stop before anything of this menu is stored.
    if (!FitsCp1250(value))
      OffScript("the value holds a character that windows-1250, the device's character set, cannot hold");
    if (removed)
      outcome_.Notes.push_back("Control characters were removed from the value of " + key + " in " + name_ + ".");
    return Utf8ToCp1250(value);
  }

  // Enter keeps the device's value. An address that takes its numbers one at a time asks for
  // each of the others in turn, each kept with Enter as well.
  void Keep(const std::string& key, const std::string& line) {
    if (key == "Key_type_0") keyType_ = PromptValue(line);
    text_ = Type(EnterKey);
    for (int part = 0; part < 3 && IsAddressPartPrompt(LastLine(text_)); ++part) text_ = Type(EnterKey);
  }

  void Give(const std::string& key, const std::string& value, const std::string& line) {
    if (Special(key, value, line)) return;
    text_ = Type(IsYesNo(name_, key) && (value == YesKey || value == NoKey) ? value : value + EnterKey);
  }

  void Address(const std::string& address) {
    const std::vector<std::string> parts = Split(address, '.');
    if (parts.size() != 4) OffScript("\"" + address + "\" is no address");
    for (size_t i = 0; i < parts.size(); ++i) {
      text_ = Type(parts[i] + EnterKey);
      if (i < 3 && !IsAddressPartPrompt(LastLine(text_)))
        OffScript("the address question did not ask for its next number");
    }
  }

  void HexKey(const std::string& key) {
    TDeviceConsole::TAnswer a = TypeRaw(key);
    // A key shorter than the device's length is filled up with zeros, one at a time, as the
    // device asks for more by waiting.
    for (int i = 0; i < 100 && !a.AtPrompt; ++i) a = TypeRaw("0");
    if (!a.AtPrompt) OffScript("the device did not take the key");
    text_ = a.Text;
  }

  // The answers that need more than one exchange or a converted value; false when the generic
  // answer is to follow. The section says which menu asks: the unit's own menu numbers are the
  // root menu's business.
  bool Special(const std::string& key, const std::string& value, const std::string& line) {
    int n = 0;
    if (name_ == "basic_parameters") {
      if (key == "IP_Address") {
        Address(value);
        return true;
      }
      if (key == "Set_Gateway_IP_Address") {
        if (value == "0.0.0.0") {
          text_ = Type(NoKey);
          return true;
        }
        text_ = Type(YesKey);
        if (AtRootPrompt(text_) || IsAddressPartPrompt(LastLine(text_)))
          OffScript("the device did not ask for the gateway's address");
        Address(value);
        return true;
      }
      if (key == "Netmask") {
        text_ = Type(std::to_string(NetmaskHostBits(value)) + EnterKey);
        return true;
      }
    } else if (name_ == "Channel_1" || name_ == "Channel_2") {
      if (key == "Change_address_table") {
        text_ = Type(YesKey);
        std::string rest = value;
        for (int i = 0; i < 16; ++i) {
          if (AtRootPrompt(text_)) OffScript("the address table ended before its sixteen entries");
          const TSplit s = SplitAt(rest, " ");
          rest = s.Tail;
          text_ = Type((s.NonEmpty && TryParseInteger(s.Head, n) ? s.Head : "0") + EnterKey);
        }
        return true;
      }
      if (key == "Remote_IP_Address") {
        if (IsIPv4Address(value)) Address(value);
        else Keep(key, line);
        return true;
      }
      if (key == "DisConnTime") {
        const TSplit s = SplitAt(value, ":");
        int m = 0;
        if (!TryParseInteger(s.Head, n) || !TryParseInteger(s.Tail, m)) {
          Keep(key, line);
          return true;
        }
        text_ = Type(s.Head + EnterKey);
        if (AtRootPrompt(text_)) OffScript("the device did not ask for the seconds");
        text_ = Type(s.Tail + EnterKey);
        return true;
      }
    } else if (name_ == "WLAN") {
      if (key == "TX_Data_rate") {
        const TSplit s = SplitAt(value, ":");
        text_ = Type(s.Tail + EnterKey);
        if (AtRootPrompt(text_)) OffScript("the device did not ask for the rate");
        text_ = Type(s.Head + EnterKey);
        return true;
      }
      if (key == "Key_type_0") keyType_ = value;
      if (key == "Enter_Key") {
        // A passphrase ends at its line end; a hex key at its length.
        if (keyType_ == "1") text_ = Type(value + EnterKey);
        else if (value.empty()) Keep(key, line);
        else HexKey(value);
        return true;
      }
    } else if (name_ == "Security" && key == "Enter_Key") {
      if (value.empty()) Keep(key, line);
      else HexKey(value);
      return true;
    }
    return false;
  }

  TXmlElement section_;
  std::string menuKey_;
  const TWriteControl& control_;
  TDeviceConsole& console_;
  TAfCustomSerialPort* port_;
  std::string name_;
  std::string text_;   // what the device printed since the last answer: it waits at its last line
  std::string heard_;  // the latest exchange, for the report
  std::string prompt_;
  std::string keyType_ = "0";  // of the WLAN key: as written, else as the device shows it
  bool typedValue_ = false;
  std::vector<std::string> pending_;
  TSectionOutcome outcome_;
};

}  // namespace

TSectionOutcome WriteSection(TDeviceConsole& console, const TXmlElement& section, const std::string& menuKey,
                             const TWriteControl& control) {
  return TSectionWalk(console, section, menuKey, control).Run();
}
