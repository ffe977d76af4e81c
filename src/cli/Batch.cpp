#include "cli/Batch.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "language/Cp1252.h"
#include "language/FrontEndOutput.h"
#include "language/Parser.h"

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

std::string Escaped(const std::string& utf8, bool json)
{
    std::string out;
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, json ? "\\u%04x" : "\\x%02x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

std::string Quoted(const std::string& utf8, bool json) { return '"' + Escaped(utf8, json) + '"'; }

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

// Lines of a transcript: CR LF and LF end a line; the end of the text ends
// the last line, with or without a line end.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (text[i] == '\r')
                ++i;
            lines.push_back(line);
            line.clear();
        } else {
            line += text[i];
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
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
    const std::vector<std::string> want = Lines(expected), got = Lines(actual);
    for (size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
        r.hasExpected = i < want.size();
        r.hasActual = i < got.size();
        if (r.hasExpected && r.hasActual && want[i] == got[i])
            continue;
        r.status = "differs";
        r.line = static_cast<int>(i) + 1;
        r.expected = r.hasExpected ? want[i] : std::string();
        r.actual = r.hasActual ? got[i] : std::string();
        return true;
    }
    return false;
}

std::string Version(bool present, const std::string& text)
{
    return present ? Quoted(text, false) : std::string("nichts (Ausgabe zu Ende)");
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
    if (r.status == "differs")
        return s + "Ausgabezeile " + std::to_string(r.line) + ": erwartet " +
               Version(r.hasExpected, r.expected) + ", erhalten " + Version(r.hasActual, r.actual);
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
            std::istringstream in(input);
            std::ostringstream out;
            CliOptions runOptions = options;
            runOptions.noPause = true;
            const RunReport report = RunCompiled(runOptions, in, out, nullptr, false, options.timeLimit);
            // An abnormal end explains a difference better than the difference.
            r.status = "ok";
            if (report.end == RunEnd::Fault) {
                r.status = "fault";
                r.message = Cp1252ToUtf8(report.fault);
            } else if (report.end == RunEnd::Refused) {
                r.status = "fault";
                r.message = "Interner Fehler 3: falsche Code-Maschine";
            } else if (report.timedOut) {
                r.status = "time-limit";
                r.message = "Zeitlimit \xC3\xBC" "berschritten";
            } else if (report.endOfInput) {
                r.status = "end-of-input";
                r.message = "Eingabe zu Ende";
            }
            if (r.status != "ok")
                r.line = report.line + 1;
            else
                Differs(expected, out.str(), r);
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

void DropByteOrderMark(std::string& text)
{
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
}

} // namespace tarko
