#include "support/log_records.h"

#include <cctype>
#include <string_view>

namespace {

// Reads a log's text from the front, one expected part after the other.
class Reader {
public:
    explicit Reader(const std::string& logText) : text(logText) {}

    bool AtEnd() const { return at == text.size(); }

    bool Literal(std::string_view expected)
    {
        if (text.compare(at, expected.size(), expected) != 0) return false;
        at += expected.size();
        return true;
    }

    // "\n[MM-DD hh:mm:ss.cc]\n": digits and separators in their places.
    bool Timestamp()
    {
        const std::string_view shape = "\n[00-00 00:00:00.00]\n";
        if (text.size() - at < shape.size()) return false;
        for (std::size_t i = 0; i < shape.size(); ++i) {
            const char c = text[at + i];
            if (shape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(c)) : c != shape[i]) return false;
        }
        at += shape.size();
        return true;
    }

    // Text up to the next `end`, which is passed over; false when there is none.
    bool Until(char end, std::string& value)
    {
        const std::size_t stop = text.find(end, at);
        if (stop == std::string::npos) return false;
        value = text.substr(at, stop - at);
        at = stop + 1;
        return true;
    }

    // Decimal digits, with a leading '-' when allowed.
    bool Number(bool negativeAllowed, int32_t& value)
    {
        const std::size_t start = at;
        if (negativeAllowed && at < text.size() && text[at] == '-') ++at;
        const std::size_t digits = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
        if (at == digits || at - start > 11) return false;
        value = static_cast<int32_t>(std::stoll(text.substr(start, at - start)));
        return true;
    }

    std::string Fault(std::size_t recordStart, const char* what) const
    {
        return std::string(what) + " in the record at byte " + std::to_string(recordStart) + ": \"" +
               text.substr(recordStart, 80) + "\"";
    }

    std::size_t Position() const { return at; }

private:
    const std::string& text;
    std::size_t at = 0;
};

bool ReadErrorRecord(Reader& in, ErrorRecord& record, const char*& fault)
{
    fault = "no timestamp";
    if (!in.Timestamp()) return false;
    fault = "no ErrCode";
    if (!in.Literal("ErrCode:[") || !in.Number(true, record.code) || !in.Literal("]\n")) return false;
    fault = "no Context";
    if (!in.Literal("Context:[Source File: [") || !in.Until(']', record.source) || !in.Literal(", LINE: [") ||
        !in.Number(false, record.line) || !in.Literal("]]\n"))
        return false;
    fault = "no ErrString";
    return in.Literal("ErrString:[") && in.Until(']', record.text) && in.Literal("\n");
}

bool ReadEntryRecord(Reader& in, EntryRecord& record, const char*& fault)
{
    std::string pair;
    fault = "no timestamp";
    if (!in.Timestamp()) return false;
    fault = "no label:[value] line";
    const std::size_t open = in.Until('\n', pair) ? pair.rfind(":[") : std::string::npos;
    if (open == std::string::npos || pair.back() != ']') return false;
    record.description = pair.substr(0, open);
    record.operation = pair.substr(open + 2, pair.size() - open - 3);
    fault = "no two empty pairs";
    return in.Literal(":[]\n:[]\n");
}

template <typename Record, typename ReadOne>
bool ReadRecords(const std::string& text, std::vector<Record>& records, std::string& fault, ReadOne readOne)
{
    Reader in(text);
    while (!in.AtEnd()) {
        const std::size_t start = in.Position();
        Record record;
        const char* what = "";
        if (!readOne(in, record, what)) {
            fault = in.Fault(start, what);
            return false;
        }
        records.push_back(record);
    }
    return true;
}

}  // namespace

bool ReadErrorRecords(const std::string& text, std::vector<ErrorRecord>& records, std::string& fault)
{
    return ReadRecords(text, records, fault, ReadErrorRecord);
}

bool ReadEntryRecords(const std::string& text, std::vector<EntryRecord>& records, std::string& fault)
{
    return ReadRecords(text, records, fault, ReadEntryRecord);
}
