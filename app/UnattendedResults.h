#pragma once
// The results of /check and /repair in their two forms, tab-separated lines or
// JSON Lines, and the summary that ends the JSON for deployment engines.

#include <string>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "winsupport/ReportWriter.h"

// One fact of a line, under the name the JSON form gives it.
struct Fact {
    const wchar_t* name;
    std::wstring text;
    bool number = false;
};

// One line of the results, in either form: tab-separated, the lead (when
// there is one) and the facts' texts; or a JSON object, the kind and the facts.
struct Record {
    const wchar_t* kind;
    const wchar_t* lead;
    std::vector<Fact> facts;
};

Record ErrorRecord(const std::wstring& reason);
// #MdacRepair, the mode, the local time and the computer's name.
Record Header(CommandMode mode);

// How many lines gave each word, in the order the words first came.
class Counts {
public:
    long long& operator[](const std::wstring& word);
    std::wstring Json() const;

private:
    std::vector<std::pair<std::wstring, long long>> counts_;
};

// What the summary says, gathered while the lines are written.
struct Tally {
    std::wstring mdacVersion, mdacVerdict, jetVersion, jetVerdict;
    Counts files, classes, classesBefore;
    Counts inventory32, inventory64;
    long long repairable = 0;  // broken classes of present files: what /repair registers again
    std::vector<std::wstring> faults;

    void Fault(const std::wstring& what, const std::wstring& state);
};

// Where the results go: the log or the output, in either form, with the
// summary last when JSON is asked for.
class Results {
public:
    explicit Results(const CommandRequest& request) : request_(request) {}
    Results(const Results&) = delete;
    Results& operator=(const Results&) = delete;

    // False when the log cannot be written.
    bool Open();
    void Write(const Record& record);
    Tally& tally() { return tally_; }
    bool Json() const { return request_.json; }
    // Writes the summary, with JSON; failure: why the run could not be done,
    // for the error output. Returns the exit code.
    int Finish(int exitCode, const std::wstring& failure = {});

private:
    const CommandRequest& request_;
    ReportWriter out_;
    bool writable_ = false;  // opened: a console, or the log
    Tally tally_;
};
