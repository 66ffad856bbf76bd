#include "uKaVruneWriter.h"

#include "uCommunicationUtils.h"
#include "uKaVruneModel.h"
#include "uKaVruneUtils.h"

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

      if (found) {
        bool removed = false;
        value = StripControlCharacters(value, removed);
        // A character the device's character set lacks would arrive as another one; rather
        // than store a changed text, stop before anything of this menu is stored.
        if (!FitsCp1250(value))
          throw TWalkStopped{"the value holds a character that windows-1250, the device's character set, cannot hold"};
        value = Utf8ToCp1250(value);
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
          // The device echoes each key character as "*" and asks the next question once the
          // key is complete: a hex key at its length, a passphrase at its line end.
          Answer(keyType == 1 ? value + "\r\n" : value);
          // A hex key too short for the suite is filled up with zeros, one at a time.
          for (int i = 0; i < 100 && !Contains(reply_.substr(EchoEnd(reply_, value)), "?"); ++i) reply_ = Expect("0", 0, "?");
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
