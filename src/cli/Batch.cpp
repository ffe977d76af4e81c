#include "cli/Batch.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <fstream>
#include <sstream>

#include "language/Cp1252.h"
#include "language/FrontEndOutput.h"
#include "language/Parser.h"
#include "runtime/Task.h"
#include "runtime/Transcript.h"

#ifdef TARKO_HAVE_RUNMODE
#include "cli/RunMode.h"
#endif

namespace tarko {

namespace {

// The length of the well-formed UTF-8 sequence at text[i], 0 if there is none
// (overlong forms, surrogates and code points beyond U+10FFFF included).
size_t Utf8Sequence(const std::string& text, size_t i)
{
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80)
        return 1;
    const size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    const auto c1 = static_cast<unsigned char>(text[i + 1]);
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90))
        return 0;
    return n;
}

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitFile = 2;

// The outcome of one file.
struct FileResult {
    std::string file;
    std::string status;   // ok, compile-error, differs, fault, end-of-input, time-limit, unreadable
    int line = 0;         // 1-based program line (differs: transcript line); 0 = none
    int column = 0;       // compile errors
    std::string message;  // UTF-8
    bool hasExpected = false, hasActual = false;
    std::string expected, actual;   // differs: both versions of the line
};

// The first compile error of the last compilation, caught instead of printed.
struct CompileError {
    bool seen = false;
    int line = 0, column = 0;
    std::string message;
};

CompileError lastError;

void CatchCompileErrors()
{
    FrontEndOutput out;
    out.compileError = [](const std::string& message, int line, int column) {
        if (lastError.seen)
            return;
        lastError = {true, line, column, Cp1252ToUtf8(message)};
    };
    out.internalError = [](const std::string& text) { std::cerr << Cp1252ToUtf8(text) << '\n'; };
    SetFrontEndOutput(out);
}

// Compiles; a failure fills the result as a compile error.
bool Compile(const std::string& text, FileResult& r)
{
    lastError = {};
    if (CompileProgram(text))
        return true;
    r.status = "compile-error";
    if (lastError.seen) {
        ClampErrorPosition(text, lastError.line, lastError.column);
        r.line = lastError.line + 1;
        r.column = lastError.column;
        r.message = lastError.message;
    } else {
        r.message = "\xC3\x9C" "bersetzung abgebrochen";   // an internal error has been reported
    }
    return false;
}

std::string Quoted(const std::string& utf8, bool json) { return QuotedText(utf8, json); }

void PrintJson(const std::vector<FileResult>& results)
{
    std::string out = "[";
    for (size_t i = 0; i < results.size(); ++i) {
        const FileResult& r = results[i];
        out += i ? ",\n " : "\n ";
        out += "{\"file\": " + Quoted(ShownName(r.file, false), true) + ", \"status\": " + Quoted(r.status, true);
        if (r.line > 0)
            out += (r.status == "differs" ? ", \"output_line\": " : ", \"line\": ") + std::to_string(r.line);
        if (r.column > 0)
            out += ", \"column\": " + std::to_string(r.column);
        if (!r.message.empty())
            out += ", \"message\": " + Quoted(r.message, true);
        if (r.status == "differs") {
            out += ", \"expected\": " + (r.hasExpected ? Quoted(r.expected, true) : "null");
            out += ", \"actual\": " + (r.hasActual ? Quoted(r.actual, true) : "null");
        }
        out += "}";
    }
    out += results.empty() ? "]\n" : "\n]\n";
    std::cout << out;
}

int ExitCode(const std::vector<FileResult>& results)
{
    int code = ExitOk;
    for (const FileResult& r : results) {
        if (r.status == "unreadable")
            code = ExitFile;
        else if (r.status != "ok" && code == ExitOk)
            code = ExitFailed;
    }
    return code;
}

void PrintUnreadable(const std::string& file, TFileRead why)
{
    std::cerr << "tarko-run: " << ReadFailureMessage(why, ShownName(file)) << '\n';
}

#ifdef TARKO_HAVE_RUNMODE

bool IsUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const size_t n = Utf8Sequence(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

// Every line of the input file must be a number a pupil could type (blanks
// around it do not matter; blank lines at the end are no input): a wrong line
// would fail every program alike, or silently give it the next number. The
// first wrong line is named on stderr.
bool CheckInput(const std::string& path, const std::string& input)
{
    std::istringstream in(input);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    while (!lines.empty() && lines.back().find_first_not_of(" \t\r") == std::string::npos)
        lines.pop_back();
    for (size_t i = 0; i < lines.size(); ++i) {
        double value;
        if (ParseInputLine(lines[i], value))
            continue;
        std::string shown = lines[i];
        if (!shown.empty() && shown.back() == '\r')
            shown.pop_back();
        std::cerr << "tarko-run: " << ShownName(path) << ':' << i + 1 << ": Ung\xC3\xBCltige Zahl "
                  << Quoted(IsUtf8(shown) ? shown : Cp1252ToUtf8(shown), false) << '\n';
        return false;
    }
    return true;
}

// False when equal; else the first differing line in r.
bool Differs(const std::string& expected, const std::string& actual, FileResult& r)
{
    const std::optional<TranscriptDifference> d = FirstDifference(expected, actual);
    if (!d)
        return false;
    r.status = "differs";
    r.line = d->line;
    r.hasExpected = d->expected.has_value();
    r.hasActual = d->actual.has_value();
    r.expected = d->expected.value_or("");
    r.actual = d->actual.value_or("");
    return true;
}

std::string LineText(const FileResult& r)
{
    std::string s = ShownName(r.file) + ": ";
    if (r.status == "ok")
        return s + "ok";
    if (r.status == "unreadable")
        return s + r.message;
    if (r.status == "compile-error")
        return s + "\xC3\xBC" "bersetzt nicht, Zeile " + std::to_string(r.line) + ", Spalte " +
               std::to_string(r.column) + ": " + r.message;
    if (r.status == "differs") {
        TranscriptDifference d{r.line, std::nullopt, std::nullopt};
        if (r.hasExpected)
            d.expected = r.expected;
        if (r.hasActual)
            d.actual = r.actual;
        return s + DifferenceText(d);
    }
    std::string where = r.line > 0 ? " in Zeile " + std::to_string(r.line) : std::string();
    return s + r.message + where;
}

#endif

// Reads and compiles one file of a batch; false, with `r` saying why, when it
// cannot be read or does not compile.
bool ReadAndCompile(const std::string& file, ReadProgramFile read, FileResult& r, TFileRead& why)
{
    r.file = file;
    std::string text;
    why = read(file, text);
    if (why != TFileRead::Ok) {
        r.status = "unreadable";
        r.message = "Datei kann nicht ge\xC3\xB6" "ffnet werden" + ReadFailureReason(why);
        return false;
    }
    return Compile(text, r);
}

} // namespace

std::string ShownName(const std::string& name, bool escapeControls)
{
    std::string out;
    for (size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        const size_t n = Utf8Sequence(name, i);
        if (n == 0 || (escapeControls && (c < 0x20 || c == 0x7F))) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
            ++i;
        } else {
            out.append(name, i, n);
            i += n;
        }
    }
    return out;
}

int CheckFiles(const CliOptions& options, ReadProgramFile read)
{
    CatchCompileErrors();
    std::vector<FileResult> results;
    for (const std::string& file : options.files) {
        FileResult r;
        TFileRead why;
        if (ReadAndCompile(file, read, r, why))
            r.status = "ok";
        else if (!options.json && why != TFileRead::Ok)
            PrintUnreadable(file, why);
        else if (!options.json)
            std::cerr << ShownName(file) << ':' << r.line << ':' << r.column << ": " << r.message << '\n';
        results.push_back(r);
    }
    if (options.json)
        PrintJson(results);
    return ExitCode(results);
}

int ExpectFiles(const CliOptions& options, ReadProgramFile read)
{
#ifdef TARKO_HAVE_RUNMODE
    // Of the input and the expected transcript only the line ends do not matter.
    std::string input, expected;
    for (const auto& [path, bytes] : {std::pair{&options.inputPath, &input}, {&options.expectPath, &expected}})
        if (const TFileRead why = read(*path, *bytes); why != TFileRead::Ok) {
            PrintUnreadable(*path, why);
            return ExitFile;
        }
    DropByteOrderMark(input);
    DropByteOrderMark(expected);
    if (!CheckInput(options.inputPath, input))
        return ExitFile;
    // An expected transcript saved as Windows-1252 (an editor on Windows)
    // is taken as such; transcripts are UTF-8.
    if (!IsUtf8(expected))
        expected = Cp1252ToUtf8(expected);
    CatchCompileErrors();
    std::vector<FileResult> results;
    for (const std::string& file : options.files) {
        FileResult r;
        TFileRead why;
        if (ReadAndCompile(file, read, r, why)) {
            const CaseRun run = RunOnInput(options, input);
            static const char* const statuses[] = {"ok", "compile-error", "fault", "end-of-input", "time-limit"};
            static const char* const messages[] = {"", "", "", "Eingabe zu Ende",
                                                   "Zeitlimit \xC3\xBC" "berschritten"};
            r.status = statuses[static_cast<int>(run.end)];
            r.message = run.end == CaseEnd::Fault ? run.message : messages[static_cast<int>(run.end)];
            r.line = run.line;
            if (run.end == CaseEnd::Completed)
                Differs(expected, run.transcript, r);
        }
        if (!options.json)
            std::cout << LineText(r) << '\n' << std::flush;
        results.push_back(r);
    }
    EndGuiApplication();
    if (options.json)
        PrintJson(results);
    return ExitCode(results);
#else
    (void)options;
    (void)read;
    std::cerr << "tarko-run: Ausf\xC3\xBChren ist noch nicht verf\xC3\xBC" "gbar\n";
    return ExitFile;
#endif
}

#ifdef TARKO_HAVE_RUNMODE
namespace {

// A text file in UTF-8 (or Windows-1252, as an editor on Windows saves it),
// as UTF-8 with LF line ends.
bool ReadText(const std::string& path, std::string& utf8)
{
    std::string bytes;
    if (const TFileRead why = ReadProgramBytes(path, &bytes); why != TFileRead::Ok) {
        PrintUnreadable(path, why);
        return false;
    }
    DropByteOrderMark(bytes);
    utf8.clear();
    for (const std::string& line : TranscriptLines(IsUtf8(bytes) ? bytes : Cp1252ToUtf8(bytes)))
        utf8 += line + '\n';
    return true;
}

int Fail(const std::string& message)
{
    std::cerr << "tarko-run: " << message << '\n';
    return ExitFailed;
}

// Writes the file whole or not at all.
bool WriteWhole(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// The JSON of one file's cases.
std::string CasesJson(const std::vector<CaseVerdict>& verdicts, const Task& task)
{
    std::string out = "[";
    for (size_t i = 0; i < verdicts.size(); ++i) {
        const CaseVerdict& v = verdicts[i];
        out += i ? ", " : "";
        out += "{\"case\": " + std::to_string(i + 1) + ", \"hidden\": " + (task.cases[i].hidden ? "true" : "false") +
               ", \"status\": " + Quoted(v.status, true);
        if (v.difference) {
            out += ", \"output_line\": " + std::to_string(v.difference->line);
            out += ", \"expected\": " + (v.difference->expected ? Quoted(*v.difference->expected, true) : "null");
            out += ", \"actual\": " + (v.difference->actual ? Quoted(*v.difference->actual, true) : "null");
        }
        out += ", \"text\": " + Quoted(v.text, true) + "}";
    }
    return out + "]";
}

} // namespace
#endif

int CreateTask(const CliOptions& options, ReadProgramFile read)
{
#ifdef TARKO_HAVE_RUNMODE
    Task task;
    task.title = options.title;
    if (!ReadText(options.textPath, task.text))
        return ExitFile;
    task.text = task.text.substr(0, task.text.empty() ? 0 : task.text.size() - 1);
    if (!options.starterPath.empty()) {
        std::string starter;
        if (const TFileRead why = read(options.starterPath, starter); why != TFileRead::Ok) {
            PrintUnreadable(options.starterPath, why);
            return ExitFile;
        }
        for (const std::string& line : TranscriptLines(Cp1252ToUtf8(starter)))
            task.starter += (task.starter.empty() ? "" : "\n") + line;
    }
    CatchCompileErrors();
    FileResult model;
    TFileRead why;
    if (!ReadAndCompile(options.file, read, model, why)) {
        if (why != TFileRead::Ok) {
            PrintUnreadable(options.file, why);
            return ExitFile;
        }
        return Fail(ShownName(options.file) + ':' + std::to_string(model.line) + ':' + std::to_string(model.column) +
                    ": " + model.message);
    }
    for (const CliOptions::CaseInput& c : options.caseInputs) {
        std::string input;
        if (const TFileRead w = read(c.path, input); w != TFileRead::Ok) {
            PrintUnreadable(c.path, w);
            return ExitFile;
        }
        DropByteOrderMark(input);
        if (!CheckInput(c.path, input))
            return ExitFile;
        const CaseRun run = RunOnInput(options, input);
        if (run.end != CaseEnd::Completed) {
            EndGuiApplication();
            return Fail("die Musterl\xC3\xB6sung besteht " + ShownName(c.path) + " nicht: " + RunEndText(run));
        }
        task.cases.push_back(MakeCase(input, run.transcript, c.hidden));
    }
    EndGuiApplication();
    if (!WriteWhole(options.outPath, TaskFileText(task))) {
        std::cerr << "tarko-run: " << ShownName(options.outPath) << " kann nicht geschrieben werden\n";
        return ExitFile;
    }
    return ExitOk;
#else
    (void)options;
    (void)read;
    return ExitFile;
#endif
}

int CheckTask(const CliOptions& options, ReadProgramFile read)
{
#ifdef TARKO_HAVE_RUNMODE
    std::string text;
    if (!ReadText(options.taskPath, text))
        return ExitFile;
    std::string error;
    const std::optional<Task> task = ParseTask(text, error);
    if (!task) {
        std::cerr << "tarko-run: " << ShownName(options.taskPath) << ": " << error << '\n';
        return ExitFile;
    }
    CatchCompileErrors();
    std::vector<FileResult> results;
    std::string json = "[";
    for (const std::string& file : options.files) {
        FileResult r;
        TFileRead why;
        std::vector<CaseVerdict> verdicts;
        if (ReadAndCompile(file, read, r, why)) {
            r.status = "ok";
            for (size_t i = 0; i < task->cases.size(); ++i) {
                verdicts.push_back(JudgeCase(task->cases[i], static_cast<int>(i) + 1, RunOnInput(options, task->cases[i].input)));
                if (!verdicts.back().passed)
                    r.status = "failed";
                if (!options.json)
                    std::cout << ShownName(file) << ": " << verdicts.back().text << '\n' << std::flush;
            }
        } else if (!options.json) {
            std::cout << LineText(r) << '\n' << std::flush;
        }
        if (options.json) {
            json += results.empty() ? "\n " : ",\n ";
            json += "{\"file\": " + Quoted(ShownName(file, false), true) + ", \"status\": " + Quoted(r.status, true);
            if (r.status == "compile-error")
                json += ", \"line\": " + std::to_string(r.line) + ", \"column\": " + std::to_string(r.column);
            if (!r.message.empty())
                json += ", \"message\": " + Quoted(r.message, true);
            json += ", \"cases\": " + CasesJson(verdicts, *task) + "}";
        }
        results.push_back(r);
    }
    EndGuiApplication();
    if (options.json)
        std::cout << json << (results.empty() ? "]\n" : "\n]\n");
    return ExitCode(results);
#else
    (void)options;
    (void)read;
    return ExitFile;
#endif
}

void DropByteOrderMark(std::string& text)
{
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
}

} // namespace tarko
