#pragma once
// A small scripted kaVRUNE on a real pseudo-terminal, for the engine tests: a root menu that
// prints a dump, a few section menus with line, Y/N and address questions, defaults, exit and
// store. It records every answer it takes so tests can see what the engine typed.

#include <pty.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeKaVrune final {
 public:
  enum class Kind { Line, YesNo, Address, Refuse, Key };  // Key: five characters, each echoed
  struct Prompt {
    std::string name;  // key of the state
    std::string text;  // printed text; "%" is replaced by the current value
    Kind kind = Kind::Line;
  };

  // Starts at the root menu of Setup Mode when inMenu, else out of it (any key brings its offer).
  explicit FakeKaVrune(bool inMenu = true) : mode_(inMenu ? Mode::Root : Mode::Off) {
    char tmpl[] = "/tmp/kavrune-engine-XXXXXX";
    dir_ = mkdtemp(tmpl);
    char name[256];
    openpty(&master_, &slave_, name, nullptr, nullptr);
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    std::filesystem::create_symlink(name, dir_ + "/com7");
    setenv("KAVRUNE_COM_DIR", dir_.c_str(), 1);
    state_ = {{"IP_Address", "192.168.1.254"}, {"Gateway", "0.0.0.0"}, {"Netmask", "8"},
              {"Baudrate", "9600"},            {"IF_Mode", "4C"},      {"SSID", "a@b"},
              {"Dummy", "0"}};
    menus_[0] = {{"IP_Address", "IP Address (%) ", Kind::Address},
                 {"Gateway", "Set Gateway IP Address (N) ?", Kind::YesNo},
                 {"Netmask", "Netmask: Number of Bits for Host Part (%) ?", Kind::Line}};
    menus_[1] = {{"Baudrate", "Baudrate (%) ?", Kind::Line}, {"IF_Mode", "I/F Mode (%) ?", Kind::Line}};
    menus_[2] = menus_[5] = menus_[6] = {{"Dummy", "Dummy (%) ?", Kind::Line}};
    menus_[4] = {{"SSID", "SSID (%) ?", Kind::Line}};
    thread_ = std::thread([this] { Run(); });
  }

  ~FakeKaVrune() {
    stop_ = true;
    thread_.join();
    close(master_);
    close(slave_);
    std::filesystem::remove_all(dir_);
  }

  static constexpr int ComNumber = 7;

  void SetMenu(int choice, std::vector<Prompt> prompts) {
    std::lock_guard g(lock_);
    menus_[choice] = std::move(prompts);
  }
  void SetSilent(bool silent) { silent_ = silent; }
  // Answers are taken but each reply comes only after this delay.
  void SetReplyDelayMs(int ms) { delayMs_ = ms; }

  std::string Value(const std::string& name) {
    std::lock_guard g(lock_);
    return state_[name];
  }
  std::map<std::string, std::string> Stored() {
    std::lock_guard g(lock_);
    return stored_;
  }
  int StoreCount() const { return stores_; }
  int DefaultsCount() const { return defaults_; }
  int ExitCount() const { return exits_; }
  std::string Received() {
    std::lock_guard g(lock_);
    return received_;
  }
  std::vector<std::pair<std::string, std::string>> Answers() {
    std::lock_guard g(lock_);
    return answers_;
  }
  // Waits until the device has taken this answer to the prompt of that name.
  bool WaitForAnswer(const std::string& name, const std::string& value,
                     std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    std::unique_lock g(lock_);
    return answered_.wait_for(g, timeout, [&] {
      for (const auto& a : answers_)
        if (a.first == name && a.second == value) return true;
      return false;
    });
  }
  bool InRoot() {
    std::lock_guard g(lock_);
    return mode_ == Mode::Root;
  }

 private:
  enum class Mode { Off, Woken, Root, Section };

  void Send(const std::string& text) {
    if (delayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
    for (size_t done = 0; done < text.size();) {
      ssize_t n = write(master_, text.data() + done, text.size() - done);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

  std::string Dump() {
    return "\r\n*** basic parameters\r\nIP addr " + state_["IP_Address"] + ", no gateway set, netmask 255.255.255.0\r\n"
           "*** Channel 1\r\nBaudrate " + state_["Baudrate"] + ", I/F Mode " + state_["IF_Mode"] + ", Flow 00\r\n"
           "*** WLAN\r\nSSID : " + state_["SSID"] + "\r\n"
           "\r\n0 Server configuration\r\n1 Channel 1 configuration\r\n4 WLAN\r\n9 Save and exit\r\nYour choice ? ";
  }

  std::string PromptText() {
    const Prompt& p = menus_[choice_][step_];
    std::string t = p.text;
    if (auto pos = t.find('%'); pos != std::string::npos) t.replace(pos, 1, state_[p.name]);
    if (p.kind == Kind::Address && octet_ > 0) t = ".(" + std::to_string(octet_) + ") " + (octet_ == 3 ? "?" : "");
    return t;
  }

  void NextPrompt() {
    ++step_;
    octet_ = 0;
    if (step_ >= menus_[choice_].size()) {
      mode_ = Mode::Root;
      Send("\r\n" + Dump());
    } else {
      Send("\r\n" + PromptText());
    }
  }

  void Take(const std::string& answer) {
    const Prompt& p = menus_[choice_][step_];
    answers_.push_back({p.name, answer});
    answered_.notify_all();
    switch (p.kind) {
      case Kind::Refuse:
        // Refuses its first twenty answers, more than any walk should try.
        if (++refusals_ <= 20) {
          Send("\r\n" + PromptText());
          return;
        }
        NextPrompt();
        return;
      case Kind::YesNo:
        if (answer == "Y" && p.name == "Gateway") {
          // The gateway's address follows as four numbers.
          menus_[choice_].insert(menus_[choice_].begin() + static_cast<long>(step_) + 1,
                                 {p.name, "Gateway IP (%) ", Kind::Address});
        }
        NextPrompt();
        return;
      case Kind::Address: {
        if (octet_ == 0) pendingAddress_.clear();
        pendingAddress_ += (octet_ ? "." : "") + (answer.empty() ? std::string("#") : answer);
        if (++octet_ < 4) {
          Send(answer + "\r\n" + PromptText());
          return;
        }
        if (pendingAddress_.find('#') == std::string::npos) state_[p.name] = pendingAddress_;
        NextPrompt();
        return;
      }
      case Kind::Key:
      case Kind::Line:
        if (!answer.empty()) state_[p.name] = answer;
        Send(answer);
        NextPrompt();
        return;
    }
  }

  void Feed(char c) {
    std::lock_guard g(lock_);
    received_ += c;
    if (silent_) return;
    switch (mode_) {
      case Mode::Off:
        if (c == 'x' || c == '\r') {
          mode_ = Mode::Woken;
          Send("\r\nPress Enter for Setup Mode\r\n");
        }
        return;
      case Mode::Woken:
        if (c == '\r') {
          mode_ = Mode::Root;
          Send(Dump());
        }
        return;
      case Mode::Root:
        if (c != '\r') {
          line_ += c;
          return;
        }
        if (line_.empty()) {
          Send(Dump());
        } else if (line_ == "7") {
          ++defaults_;
          state_["Baudrate"] = "9600";
          Send("\r\nDefaults restored, Your choice ? ");
        } else if (line_ == "8") {
          ++exits_;
          mode_ = Mode::Off;
          Send("\r\nExit without save ?\r\n");
        } else if (line_ == "9") {
          ++stores_;
          stored_ = state_;
          // It restarts and offers Setup Mode again by itself.
          mode_ = Mode::Woken;
          Send("\r\nParameters stored ...\r\n\r\nkaVRUNE\r\nPress Enter for Setup Mode ");
        } else if (line_.size() == 1 && menus_.count(line_[0] - '0')) {
          mode_ = Mode::Section;
          choice_ = line_[0] - '0';
          step_ = 0;
          octet_ = 0;
          Send("\r\n" + PromptText());
        } else {
          Send("\r\nYour choice ? ");
        }
        line_.clear();
        return;
      case Mode::Section: {
        const Prompt& p = menus_[choice_][step_];
        if (p.kind == Kind::Key) {
          line_ += c;
          if (line_.size() < 5) {
            Send("*");
            return;
          }
          std::string answer = line_;
          line_.clear();
          Take(answer);
          return;
        }
        if (p.kind == Kind::YesNo) {
          if (c == 'Y' || c == 'N') Take(std::string(1, c));
          if (c == '\r') Take("");
          return;
        }
        if (c == '\r') {
          std::string answer = line_;
          line_.clear();
          Take(answer);
        } else {
          line_ += c;
        }
        return;
      }
    }
  }

  void Run() {
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char buf[256];
      ssize_t n = read(master_, buf, sizeof buf);
      for (ssize_t i = 0; i < n; ++i) Feed(buf[i]);
    }
  }

  std::string dir_;
  int master_ = -1, slave_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false}, silent_{false};
  std::atomic<int> delayMs_{0}, stores_{0}, defaults_{0}, exits_{0};
  std::mutex lock_;
  std::condition_variable answered_;
  Mode mode_;
  std::map<std::string, std::string> state_, stored_;
  std::map<int, std::vector<Prompt>> menus_;
  int choice_ = 0;
  size_t step_ = 0;
  int octet_ = 0;
  int refusals_ = 0;
  std::string line_, pendingAddress_, received_;
  std::vector<std::pair<std::string, std::string>> answers_;
};
