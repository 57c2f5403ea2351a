#pragma once

// What the benchmarks measure: the plug-in's calls on the paths a host takes
// most, and beside each the same work done without the plug-in. Each case is
// set up once and then run again and again, one call of the plug-in or its
// counterpart per run. The vendor library is the stand-in, with its journal on.
//
// What the counterparts do is taken from the plug-in itself, not written down
// again: the vendor calls it makes for an input are read from the stand-in's
// journal and made again directly, and a record's bytes are read from its log.

#include "bench_player.h"
#include "shxstrm_standin.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Each side forgets the stand-in's journal as often as the other.
class JournalKeeper {
public:
    void Count()
    {
        if (++calls % 1024 == 0) ShxStandin_ForgetCalls();
    }

private:
    int64_t calls = 0;
};

// Play_InputData, or a refused call writing one error record, through the plug-in.
class PluginInput {
public:
    PluginInput(const Drive& drive, int debugLevel) : player(drive, debugLevel) { ShxStandin_Reset(); }
    void operator()()
    {
        player.Input();
        journal.Count();
    }

private:
    StartedPlayer player;
    JournalKeeper journal;
};

class PluginErrorRecord {
public:
    explicit PluginErrorRecord(const Drive& drive) : player(drive, 0) { ShxStandin_Reset(); }
    void operator()() { player.RefusedCall(); }

private:
    StartedPlayer player;
};

// The vendor calls the plug-in makes for its inputs, made again directly: each
// run makes the calls up to and including the next input. Only the input calls
// themselves when asked.
// The counterparts use the player only while they are made: make them before
// the plug-in's case, which keeps the one player.
class SameVendorCalls {
public:
    SameVendorCalls(const Drive& drive, bool inputsOnly);
    void operator()();

private:
    std::vector<ShxCall> calls;
    std::size_t next = 0;
    JournalKeeper journal;
};

// The bytes of one record, appended to its log as a record is: opened to
// append in text mode, written, closed.
class RecordByHand {
public:
    // The record that one input at debug level 2 writes, or one refused call.
    RecordByHand(const Drive& drive, bool errorRecord);
    void operator()() const;

private:
    std::string path;
    std::string text;
};

class RecordAndVendorCallsByHand {
public:
    explicit RecordAndVendorCallsByHand(const Drive& drive) : record(drive, false), vendor(drive, false) {}
    void operator()()
    {
        record();
        vendor();
    }

private:
    RecordByHand record;
    SameVendorCalls vendor;
};

// The comparisons: a plug-in case, its counterpart, and what the two are.
struct Comparison {
    const char* plugin;
    const char* counterpart;
    const char* meaning;
};

extern const Comparison kComparisons[4];

}  // namespace bench
