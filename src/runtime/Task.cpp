#include "runtime/Task.h"

#include "runtime/NumberEntry.h"

#include <utility>

namespace tarko {

namespace {

const char* const Magic = "Tarko-Aufgabe 1";
const char* const TitleKey = "Titel: ";
const char* const TextKey = "Aufgabentext:";
const char* const StarterKey = "Startprogramm:";
const char* const CaseKey = "Test";
const char* const HiddenCaseKey = "Versteckter Test";
const char* const InputKey = "Eingabe:";
const char* const OutputKey = "Ausgabe:";
const char* const HashKey = "Ausgabe-Pr\xC3\xBC" "fsumme: ";

void AddBlock(std::string& out, const std::string& key, const std::vector<std::string>& lines)
{
    out += key + "\n";
    for (const std::string& l : lines)
        out += l.empty() ? "|\n" : "| " + l + "\n";
}

bool IsHash(const std::string& s)
{
    if (s.size() != 7 + 64 || s.rfind("sha256:", 0) != 0)
        return false;
    return s.find_first_not_of("0123456789abcdef", 7) == std::string::npos;
}

std::string Trimmed(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

class Reader {
public:
    explicit Reader(std::vector<std::string> lines) : lines(std::move(lines)) {}

    // The lines of the block that starts at the current line; each joined
    // with an LF after it.
    std::string Block()
    {
        std::string text;
        while (at < lines.size() && !lines[at].empty() && lines[at][0] == '|') {
            const std::string& l = lines[at++];
            text += l.substr(l.size() > 1 && l[1] == ' ' ? 2 : 1) + '\n';
        }
        return text;
    }

    void SkipBlank()
    {
        while (at < lines.size() && Trimmed(lines[at]).empty())
            ++at;
    }

    bool AtEnd() const { return at >= lines.size(); }
    const std::string& Line() const { return lines[at]; }
    void Next() { ++at; }
    std::string Where() const { return "Zeile " + std::to_string(at + 1) + ": "; }

private:
    std::vector<std::string> lines;
    size_t at = 0;
};

std::string WithoutLastLineEnd(std::string s)
{
    if (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}

bool ReadCase(Reader& r, bool hidden, Task& task, std::string& error)
{
    TaskCase c;
    c.hidden = hidden;
    r.SkipBlank();
    if (r.AtEnd() || r.Line() != InputKey) {
        error = r.Where() + "\"Eingabe:\" erwartet";
        return false;
    }
    r.Next();
    c.input = r.Block();
    for (const std::string& l : TranscriptLines(c.input)) {
        double value;
        if (!ParseNumberEntry(Trimmed(l), value)) {
            error = r.Where() + "Ung\xC3\xBCltige Zahl " + QuotedText(l) + " in der Eingabe";
            return false;
        }
    }
    r.SkipBlank();
    if (!hidden && !r.AtEnd() && r.Line() == OutputKey) {
        r.Next();
        c.expected = r.Block();
    } else if (hidden && !r.AtEnd() && r.Line().rfind(HashKey, 0) == 0) {
        c.hash = Trimmed(r.Line().substr(std::string(HashKey).size()));
        if (!IsHash(c.hash)) {
            error = r.Where() + "die Pr\xC3\xBC" "fsumme ist keine SHA-256-Summe";
            return false;
        }
        r.Next();
    } else {
        error = r.Where() + (hidden ? "\"Ausgabe-Pr\xC3\xBC" "fsumme:\" erwartet" : "\"Ausgabe:\" erwartet");
        return false;
    }
    task.cases.push_back(std::move(c));
    return true;
}

} // namespace

std::string TaskFileText(const Task& task)
{
    std::string title;
    for (const char ch : task.title)
        title += ch == '\r' || ch == '\n' ? ' ' : ch;
    std::string out = std::string(Magic) + "\n" + TitleKey + title + "\n";
    AddBlock(out, TextKey, TranscriptLines(task.text));
    AddBlock(out, StarterKey, TranscriptLines(task.starter));
    for (const TaskCase& c : task.cases) {
        out += std::string("\n") + (c.hidden ? HiddenCaseKey : CaseKey) + "\n";
        AddBlock(out, InputKey, TranscriptLines(c.input));
        if (c.hidden)
            out += HashKey + c.hash + "\n";
        else
            AddBlock(out, OutputKey, TranscriptLines(c.expected));
    }
    return out;
}

std::optional<Task> ParseTask(const std::string& fileText, std::string& error)
{
    std::string text = fileText;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    Reader r(TranscriptLines(text));
    Task task;
    r.SkipBlank();
    if (r.AtEnd() || Trimmed(r.Line()) != Magic) {
        error = "Das ist keine Tarko-Aufgabe (die erste Zeile muss \"" + std::string(Magic) + "\" sein).";
        return std::nullopt;
    }
    r.Next();
    bool title = false, body = false, starter = false;
    for (r.SkipBlank(); !r.AtEnd(); r.SkipBlank()) {
        const std::string line = r.Line();
        const auto once = [&](bool& seen, const char* what) {
            if (seen)
                error = r.Where() + what + " steht zweimal da";
            return !std::exchange(seen, true);
        };
        if (line.rfind(TitleKey, 0) == 0) {
            if (!once(title, "der Titel"))
                return std::nullopt;
            task.title = Trimmed(line.substr(std::string(TitleKey).size()));
            r.Next();
        } else if (line == TextKey || line == StarterKey) {
            if (!once(line == TextKey ? body : starter, line == TextKey ? "der Aufgabentext" : "das Startprogramm"))
                return std::nullopt;
            r.Next();
            (line == TextKey ? task.text : task.starter) = WithoutLastLineEnd(r.Block());
        } else if (line == CaseKey || line == HiddenCaseKey) {
            r.Next();
            if (!ReadCase(r, line == HiddenCaseKey, task, error))
                return std::nullopt;
        } else {
            error = r.Where() + "unbekannte Angabe " + QuotedText(line);
            return std::nullopt;
        }
    }
    if (task.cases.empty()) {
        error = "Die Aufgabe hat keinen Test.";
        return std::nullopt;
    }
    return task;
}

TaskCase MakeCase(const std::string& input, const std::string& transcript, bool hidden)
{
    TaskCase c;
    c.hidden = hidden;
    for (const std::string& l : TranscriptLines(input))
        c.input += Trimmed(l) + '\n';
    while (c.input.size() >= 2 && c.input.compare(c.input.size() - 2, 2, "\n\n") == 0)
        c.input.pop_back();   // blank lines at the end are no input
    if (c.input == "\n")
        c.input.clear();
    if (hidden)
        c.hash = TranscriptHash(transcript);
    else
        for (const std::string& l : TranscriptLines(transcript))
            c.expected += l + '\n';
    return c;
}

std::string RunEndText(const CaseRun& run)
{
    const std::string where = run.line > 0 ? " in Zeile " + std::to_string(run.line) : std::string();
    switch (run.end) {
    case CaseEnd::CompileError:
        return "\xC3\xBC" "bersetzt nicht, Zeile " + std::to_string(run.line) + ", Spalte " +
               std::to_string(run.column) + ": " + run.message;
    case CaseEnd::Fault:
        return run.message + where;
    case CaseEnd::EndOfInput:
        return "Eingabe zu Ende" + where + ": das Programm will mehr Zahlen, als der Test eingibt";
    case CaseEnd::TimeLimit:
        return "Zeitlimit \xC3\xBC" "berschritten" + where + ": das Programm wird nicht rechtzeitig fertig";
    case CaseEnd::Completed:
        break;
    }
    return {};
}

CaseVerdict JudgeCase(const TaskCase& c, int number, const CaseRun& run)
{
    CaseVerdict v;
    const std::string name = (c.hidden ? "versteckter Test " : "Test ") + std::to_string(number);
    static const char* const statuses[] = {"ok", "compile-error", "fault", "end-of-input", "time-limit"};
    if (run.end != CaseEnd::Completed) {
        v.status = statuses[static_cast<int>(run.end)];
        v.text = "\xE2\x9C\x97 " + name + ": " + RunEndText(run);
        return v;
    }
    if (c.hidden) {
        v.passed = TranscriptHash(run.transcript) == c.hash;
    } else {
        v.difference = FirstDifference(c.expected, run.transcript);
        v.passed = !v.difference;
    }
    v.status = v.passed ? "ok" : "differs";
    if (v.passed)
        v.text = "\xE2\x9C\x93 " + name;
    else if (c.hidden)
        v.text = "\xE2\x9C\x97 " + name + " stimmt nicht";
    else
        v.text = "\xE2\x9C\x97 " + name + ": " + DifferenceText(*v.difference);
    return v;
}

} // namespace tarko
