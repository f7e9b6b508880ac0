#pragma once

#include <functional>

// What every benchmark does before and while it measures: it refuses to run
// outside a lab (all of them open the protocol engine or stream from devices),
// points devsim's helpers at the build, and waits on the real event loop.
namespace BenchLab {

// False, with a message naming the command to use, outside a lab of at least deviceHosts device hosts.
bool inside(const char *program, int deviceHosts = 1);

// DevsimProcess finds devsim and lab.sh through the environment, as under CTest;
// widgets draw offscreen; the debug bus's thousands of lines stay quiet.
void prepareEnvironment();

// Runs the event loop until done() or timeoutMs, checking every pollMs. QTest's
// waits sleep 10 ms between turns of the loop and would halve the 5 ms send tick.
bool waitUntil(const std::function<bool()> &done, int timeoutMs, int pollMs = 100);

} // namespace BenchLab
