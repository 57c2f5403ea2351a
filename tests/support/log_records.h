#pragma once

// The plug-in's log records read back from a log's text, for the tests and the
// soak run alike. A log holds nothing but whole records, one after the other:
// "\n[MM-DD hh:mm:ss.cc]" and three "\nlabel:[value]" lines, then "\n".

#include <cstdint>
#include <string>
#include <vector>

struct ErrorRecord {
    int32_t code = 0;
    std::string source;
    int32_t line = 0;
    std::string text;  // the ErrString value
};

// A runtime record as the player writes it for an operation: its description
// and name, then two empty pairs.
struct EntryRecord {
    std::string description;
    std::string operation;
};

// The records of a text read with "\n" line breaks. False, with `fault` saying
// where and what, when anything in the text is not a whole record.
bool ReadErrorRecords(const std::string& text, std::vector<ErrorRecord>& records, std::string& fault);
bool ReadEntryRecords(const std::string& text, std::vector<EntryRecord>& records, std::string& fault);
