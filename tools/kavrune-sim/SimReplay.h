#pragma once
// The unit's side of a transcript (uTranscript.h), played back on a pseudo-terminal, so that a
// dialogue recorded in the field runs again against the tool: the unit's lines go out in their
// order with their pauses (capped), and where the recording has the tool typing, the keys that
// come are checked against the recorded ones. A masked secret matches any text.
//
// The transcript keeps lines, not line ends, so the plan puts them back as the unit puts them:
// a line ends with the unit's line end, except a line the tool answered before its end (a
// prompt), which goes out bare. The unit's echo of an answer typed into such a prompt is cut
// from the prompt and printed key by key as the keys come. After an answer, the unit's next line
// starts on a line of its own unless it begins with that answer's echo. "-- line end <LF><CR>"
// in the transcript gives the unit's line end from there on (CR LF without); a line that ends in
// a spelled-out line end keeps it as it is.

#include <chrono>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

struct TReplayStep {
  static constexpr int AnyText = -1;  // Pattern: masked text, one byte or more
  static constexpr int NoEcho = -2;   // Echo: the unit echoes nothing of this key

  bool Keys = false;  // the tool types (else the unit prints)
  int Line = 0;       // in the transcript, from 1
  std::string Shown;  // the record as the transcript spells it: ">> 8<CR>"
  // Print: what the unit prints, after a pause of Gap.
  std::chrono::milliseconds Gap{0};
  std::string Bytes;
  bool StarsForSecret = false;  // Bytes begin with the stars of the masked answer before: one per key typed
  // Keys: what is to come, byte by byte, and what the unit echoes of each as it comes ('*' per
  // byte of masked text).
  std::vector<int> Pattern;
  std::vector<int> Echo;
  bool Secret = false;  // what comes is not to be shown: the answer to a secret question
};

struct TReplayPlan {
  std::vector<TReplayStep> Steps;
  int Lines = 0;  // of the transcript
};

// The steps of a transcript, recorded pauses capped at maxGap. Raises std::invalid_argument
// ("line 12: ...") for a line that is none of a transcript.
TReplayPlan SimReplayPlan(std::istream& transcript, std::chrono::milliseconds maxGap);

struct TSimReplayOptions {
  std::chrono::milliseconds KeyWait{10000};    // for each key the recording has the tool type
  std::chrono::milliseconds OpenWait{120000};  // for the tool to open the line
  std::chrono::milliseconds Linger{2000};      // after the end, for the tool to close the line
};

class TSimReplay final {
 public:
  // Opens the pseudo-terminal; publish gets the slave's path and may raise.
  TSimReplay(TReplayPlan plan, TSimReplayOptions options, const std::function<void(const std::string&)>& publish);
  ~TSimReplay();
  TSimReplay(const TSimReplay&) = delete;
  TSimReplay& operator=(const TSimReplay&) = delete;

  // Plays the recording to the tool once it has the line open. True when its keys were the
  // recorded ones to the end and it typed nothing more: the recording played out, or the tool
  // closed the line where only the unit's lines were left. Raises on a failing system call.
  bool Run();
  // Ends Run (false). Safe from a signal handler.
  void Stop();
  // Why Run returned false: "at line 87: expected \">> 8<CR>\", came \"9<CR>\"".
  const std::string& Difference() const { return m_Difference; }
  int KeysMatched() const { return m_KeysMatched; }

  // The replay's events, and every byte that crosses the line (fromClient: the tool's).
  std::function<void(const std::string&)> OnEvent;
  std::function<void(bool fromClient, std::string_view bytes)> OnBytes;

 private:
  using TClock = std::chrono::steady_clock;
  enum class TWait { Data, Closed, Timeout, Stopped };

  TWait Fill(TClock::time_point until);
  bool WaitForOpen(std::chrono::milliseconds limit);
  bool Print(std::size_t& at);
  bool Keys(const TReplayStep& step);
  bool Write(const std::string& bytes);
  bool Differs(int line, const std::string& expected, const std::string& came);
  std::string MoreOfTheLine(std::string came);

  TReplayPlan m_Plan;
  TSimReplayOptions m_Options;
  int m_Master = -1;
  int m_Wake[2] = {-1, -1};
  std::string m_In;                // the tool's bytes not yet matched
  bool m_LastCr = false;           // the tool's last byte was CR: an LF after it ends nothing
  std::size_t m_SecretLength = 0;  // keys the last masked answer took
  std::string m_Difference;
  int m_KeysMatched = 0;
};
