// The simulated line on a loaded machine: however late its thread runs, it never pauses right
// after ")", ":" or "?" with more to come, where a client would take the unit to wait at a prompt
// and answer into the rest of the line, or before the line end of a heading such as "Main
// menu:". Dialogue tests that failed now and then under load did both.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "InProcessSim.h"
#include "uKaVruneSession.h"

TEST(SimPacing, aHeldUpLineShouldNeverStopWhereAPromptWouldEnd) {
  using namespace std::chrono_literals;
  InProcessSimOptions o;
  o.CharTime = std::chrono::microseconds(1042);  // 9600 baud
  // Before the simulator, so that they outlive its line's thread.
  std::mutex lock;
  std::vector<std::pair<bool, std::string>> writes;  // from the client?, the bytes
  InProcessSim sim(7, o);
  sim.Line().OnBytes = [&](bool fromClient, std::string_view bytes) {
    std::lock_guard g(lock);
    writes.emplace_back(fromClient, std::string(bytes));
  };
  std::atomic<bool> reading{true};
  // The line's thread held up again and again, as a busy machine does.
  std::thread loader([&] {
    while (reading) {
      sim.With([](TSimDevice&) { std::this_thread::sleep_for(9ms); });
      std::this_thread::sleep_for(2ms);
    }
  });
  TKaVruneSession session;
  ASSERT_TRUE(session.Open(7));
  const bool read = session.WaitForDevice(TKaVruneSession::Clock::now() + 30s).Ok();
  reading = false;
  loader.join();
  EXPECT_TRUE(read);
  std::lock_guard g(lock);
  for (size_t i = 0; i + 1 < writes.size(); ++i) {
    const auto& [client, bytes] = writes[i];
    const size_t last = bytes.find_last_not_of(' ');
    if (client || last == std::string::npos || bytes.size() - last > 3) continue;
    const bool promptLike = bytes[last] == ')' || bytes[last] == ':' || bytes[last] == '?';
    // Its line end too: "Main menu:" and a pause read as a question.
    EXPECT_FALSE(promptLike && !writes[i + 1].first)
        << "the line stopped after \"" << bytes << "\" and went on with \"" << writes[i + 1].second << "\"";
  }
}
