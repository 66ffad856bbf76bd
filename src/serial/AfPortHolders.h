#pragma once
// Who holds a serial port: the CLI names them when a port is in use, the window's port picker
// lists such a port with them.

#include <string>
#include <vector>

struct TPortHolder {
  int Pid = 0;
  std::string Name;  // the program's name as the system gives it ("minicom")
};

// Every other process that has the device node at path (or the node a link at path leads to)
// open, whether it locked it or not; empty where the system does not tell (another user's
// processes, Windows).
std::vector<TPortHolder> PortHolders(const std::string& path);
