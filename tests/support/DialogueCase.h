#pragma once
// Seeded dialogue cases for property tests: a kind of unit, a stored state within the device's own
// ranges, timing switches and a set of edits, all drawn from one seed, so that a failing case is
// printed as its seed and replayed alone (KAVRUNE_CASE_SEED=N runs only that case).

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "InProcessSim.h"
#include "SimModel.h"

struct TDialogueCase {
  unsigned Seed = 0;
  TSimProfile Profile;      // the variant (standard / field / random from the seed)
  std::string VariantName;  // "standard", "field", "random"
  bool TakesEarlyEnter = false, TypeAhead = false;
  int LatencyMs = 0, JitterMs = 0;
  // A fault of the unit, where a property takes it: none, or a unit that restarts inside a menu
  // or does not come back after storing.
  TSimFault Fault = TSimFault::None;
  TSimSettings Before;           // a random stored state within the device's own ranges
  TSimSettings Edits;            // section -> write-form key -> value, 1..8 of them, valid for the device;
                                 // sometimes ones the device will not ask for in its mode
  std::string Describe() const;  // one line: seed, variant, switches, the edits (secrets masked)

  // What the device should hold after storing every edit.
  TSimSettings After() const;
  // Whether the device asks for this edit during a walk that answers every other edit (and says
  // Y to the decisions in front of it).
  bool WillAsk(const std::string& section, const std::string& key) const;
  std::size_t EditCount() const;
};

// Deterministic: the same seed always gives the same case. variant "" = chosen by the seed.
// withFaults: about one case in five has a unit that restarts inside a menu or does not come
// back after storing.
TDialogueCase MakeDialogueCase(unsigned seed, const std::string& variant = "", bool withFaults = false);

// The seeds a property test runs: first .. first+count-1, or the one in KAVRUNE_CASE_SEED.
std::vector<unsigned> DialogueCaseSeeds(unsigned first, unsigned count);

// The simulated device of the case in this process as COM com, paced at baud, powered when the
// client opens the port. With KAVRUNE_BUSY_THREADS=N, N threads spin beside it while it lives: a
// loaded machine, on which no outcome may change.
class TDialogueDevice final {
 public:
  TDialogueDevice(const TDialogueCase& c, int com, long baud = 115200);
  ~TDialogueDevice();
  TDialogueDevice(const TDialogueDevice&) = delete;
  TDialogueDevice& operator=(const TDialogueDevice&) = delete;

  TSimSettings Stored() { return m_Sim.Stored(); }
  std::string Transcript() { return m_Sim.Transcript(); }
  // The case and the transcript, for a failure message.
  std::string Explain() { return m_Case.Describe() + "\n" + m_Sim.Transcript(); }
  bool WaitEvent(const std::string& event, std::size_t n = 1) { return m_Sim.WaitEvent(event, n); }
  std::size_t Count(const std::string& event) { return m_Sim.Count(event); }
  InProcessSim& Sim() { return m_Sim; }

 private:
  TDialogueCase m_Case;
  InProcessSim m_Sim;
  std::atomic<bool> m_Busy{true};
  std::vector<std::thread> m_Load;
};
