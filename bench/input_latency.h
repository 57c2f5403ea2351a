#pragma once

// One Play_InputData at a time, timed call by call, at the sizes a host
// sends, back to back and paced (a 1 ms sleep between calls): what a host
// waits for each input and what it costs the machine, in process or through
// the 64-bit DLL's helper, with either of its hand-overs.

#include "bench_player.h"

namespace bench {

// Prints for each case "Play_InputData BYTES bytes, PACING, HAND-OVER:
// median M us, 90th percentile P us; CPU per call: host H, helper E, Wine
// server S, all A us (N calls)". The cases run in rounds, each in turn and in
// another order each round, so that a busy moment of the machine weighs on
// all alike. Bridged, each round makes the player anew for each hand-over:
// through the events alone (PELSHX_BRIDGE_HANDOVER=event) and adaptive.
void PrintInputLatencies(const Drive& drive, bool bridged);

}  // namespace bench
