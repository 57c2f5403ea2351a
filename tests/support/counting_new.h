#pragma once

// The test program's own global operator new, linked in with this file's
// source: it counts allocations and fails on request.

namespace counting_new {

extern long allocations;              // made so far
extern int allocationsBeforeFailure;  // that still succeed; -1: never fail
extern bool onlyOneFails;             // the failing one alone, else every one from then on
extern int failuresMet;               // allocations refused so far

}  // namespace counting_new
