// tarko-run: compiles and checks Tarko programs from the command line, prints
// their tokens or code listing, or runs them without a window.
#include "cli/Batch.h"
#include "cli/CliOptions.h"
#include "cli/RunMode.h"
#include "language/Cp1252.h"
#include "language/FrontEndOutput.h"
#include "language/Parser.h"
#include "language/ReadProgram.h"
#include "language/TokenPass.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

using namespace tarko;

namespace {

const char* const usage =
    "Aufruf:\n"
    "  tarko-run [--seed N] [--no-pause] [--steps] [--png AUSGABE.png] DATEI\n"
    "      f\xC3\xBChrt das Programm in DATEI aus\n"
    "  tarko-run --check DATEI     \xC3\xBC" "bersetzt das Programm nur und meldet den ersten Fehler\n"
    "  tarko-run --check [--json] DATEI...\n"
    "      pr\xC3\xBC" "ft mehrere Programme und meldet jeden Fehler\n"
    "  tarko-run --input EIN --expect AUS [--json] [--seed N] [--time-limit S] DATEI...\n"
    "      f\xC3\xBChrt jedes Programm mit den Zahlen aus EIN aus und vergleicht seine\n"
    "      Ausgabe mit AUS; eine Zeile je Datei: \"ok\" oder was abweicht\n"
    "  tarko-run --task-create MUSTER --title TITEL --text DATEI [--starter DATEI]\n"
    "            --case EIN [--case EIN...] [--hidden EIN...] -o AUFGABE\n"
    "      macht eine Aufgabe: f\xC3\xBChrt die Musterl\xC3\xB6sung MUSTER mit jeder Eingabe aus\n"
    "      und speichert, was sie ausgibt (bei --hidden nur eine Pr\xC3\xBC" "fsumme)\n"
    "  tarko-run --task AUFGABE [--json] [--time-limit S] DATEI...\n"
    "      pr\xC3\xBC" "ft jedes Programm mit allen Tests der Aufgabe; eine Zeile je Test\n"
    "  tarko-run --listing DATEI   gibt den erzeugten P-Code aus, eine Anweisung je Zeile\n"
    "  tarko-run --tokens DATEI    gibt die Symbole des Programms aus, eines je Zeile\n"
    "  tarko-run --help            zeigt diese Hilfe\n"
    "  --                          beendet die Optionen: danach ist jedes Argument eine Datei\n"
    "\n"
    "Optionen beim Ausf\xC3\xBChren:\n"
    "  --seed N          Startwert des Zufallsgenerators (ganze Zahl)\n"
    "  --no-pause        \"Pause\" wartet nicht\n"
    "  --steps           jede ausgef\xC3\xBChrte Anweisung ausgeben\n"
    "  --png AUSGABE.png das Grafikbild am Ende als PNG-Datei speichern\n"
    "\n"
    "Pr\xC3\xBC" "fen einer Klasse:\n"
    "  --input EIN       die eingetippten Zahlen, eine je Zeile, f\xC3\xBCr jedes Programm gleich\n"
    "  --expect AUS      die erwartete Ausgabe (wie tarko-run DATEI < EIN sie schreibt);\n"
    "                    in UTF-8 oder Windows-1252; verglichen wird Zeile f\xC3\xBCr Zeile,\n"
    "                    \"Pause\" wartet nicht\n"
    "  --time-limit S    h\xC3\xB6" "chstens S Sekunden je Programm und Test (Vorgabe 10, mehr als 0\n"
    "                    bis 1000000)\n"
    "  --json            die Ergebnisse als JSON-Liste auf der Standardausgabe:\n"
    "                    je Datei \"file\", \"status\" (ok, compile-error, differs, fault,\n"
    "                    end-of-input, time-limit, unreadable) und je nach Fall \"line\",\n"
    "                    \"column\", \"message\", \"output_line\", \"expected\", \"actual\"\n"
    "  Ein Programm, das sich nicht \xC3\xBC" "bersetzen l\xC3\xA4sst, abbricht, mehr Zahlen\n"
    "  verlangt als EIN enth\xC3\xA4lt oder das Zeitlimit \xC3\xBC" "berschreitet, gilt als\n"
    "  nicht bestanden.\n"
    "\n"
    "Programmdateien sind Windows-1252-Text; die Ausgabe ist UTF-8.\n"
    "Laufzeitfehler werden als DATEI:ZEILE: MELDUNG gemeldet.\n"
    "Exit-Status: 0 fehlerfrei (auch nach \"Zuviele Zeilen\"), 1 Fehler im Programm,\n"
    "2 Aufruf- oder Dateifehler, 3 Laufzeitfehler, 4 Eingabe zu Ende.\n"
    "Mit mehreren Dateien und mit --expect: 0 alle bestanden, 1 mindestens eine nicht,\n"
    "2 eine Datei ist nicht lesbar.\n";

// UTF-8 with LF line ends, whatever line ends the Windows-1252 text had.
std::string ToTerminal(const std::string& cp1252)
{
    std::string text;
    text.reserve(cp1252.size());
    for (size_t i = 0; i < cp1252.size(); ++i) {
        if (cp1252[i] == '\r') {
            text += '\n';
            if (i + 1 < cp1252.size() && cp1252[i + 1] == '\n')
                ++i;
        } else {
            text += cp1252[i];
        }
    }
    return Cp1252ToUtf8(text);
}

// Every line end becomes CR LF, as the editor would deliver the text.
std::string WithCrLf(const std::string& bytes)
{
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 16);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            text += "\r\n";
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            text += "\r\n";
        } else {
            text += c;
        }
    }
    return text;
}

constexpr int MaxTimeLimit = 1000000;   // seconds, about 11 days

int UsageError(const std::string& message)
{
    std::cerr << "tarko-run: " << message << "\n"
              << "Hilfe: tarko-run --help\n";
    return 2;
}

bool SetMode(CliOptions& options, CliMode mode, std::string& error)
{
    if (options.mode != CliMode::Run && options.mode != mode) {
        error = "nur eine der Optionen --check, --listing, --tokens ist erlaubt";
        return false;
    }
    options.mode = mode;
    return true;
}

// Fills options from the arguments; false and a German message on a usage error.
// Whether the options found fit together; fills options.file.
bool CheckArguments(CliOptions& options, bool runOption, bool expectOption, std::string& error)
{
    const bool expect = !options.inputPath.empty() || !options.expectPath.empty();
    if (expect) {
        if (options.inputPath.empty() || options.expectPath.empty()) {
            error = "--input und --expect geh\xC3\xB6ren zusammen";
            return false;
        }
        if (options.mode != CliMode::Run) {
            error = "--expect ist nicht mit --check, --listing oder --tokens m\xC3\xB6glich";
            return false;
        }
        if (options.steps || !options.pngPath.empty()) {
            error = "--steps und --png gelten nicht mit --expect";
            return false;
        }
        options.mode = CliMode::Expect;
    } else if (expectOption) {
        error = "--time-limit gilt nur mit --expect";
        return false;
    }
    if (options.files.empty()) {
        error = "keine Programmdatei angegeben";
        return false;
    }
    if (options.files.size() > 1 && options.mode != CliMode::Check && options.mode != CliMode::Expect) {
        error = "nur eine Programmdatei ist erlaubt";
        return false;
    }
    if (runOption && options.mode != CliMode::Run && options.mode != CliMode::Expect) {
        error = "--seed, --no-pause, --steps und --png gelten nur beim Ausf\xC3\xBChren";
        return false;
    }
    if (options.json && options.mode != CliMode::Check && options.mode != CliMode::Expect) {
        error = "--json gilt nur mit --check oder --expect";
        return false;
    }
    options.file = options.files.front();
    return true;
}

// Whether the options of --task-create and --task fit together.
// (--seed and --time-limit apply to both; "Pause" never waits.)
bool CheckTaskArguments(CliOptions& options, std::string& error)
{
    const bool create = options.mode == CliMode::TaskCreate, check = options.mode == CliMode::Task;
    if (!options.inputPath.empty() || !options.expectPath.empty() || options.steps || !options.pngPath.empty()) {
        error = "--input, --expect, --steps und --png gelten nicht mit --task oder --task-create";
        return false;
    }
    if (check && (!options.title.empty() || !options.textPath.empty() || !options.starterPath.empty() ||
                  !options.outPath.empty() || !options.caseInputs.empty())) {
        error = "--title, --text, --starter, --case, --hidden und -o gelten nur mit --task-create";
        return false;
    }
    if (create && (options.files.size() != 1 || options.title.empty() || options.textPath.empty() ||
                   options.outPath.empty() || options.caseInputs.empty())) {
        error = "--task-create braucht eine Musterl\xC3\xB6sung, --title, --text, mindestens ein --case "
                "oder --hidden und -o";
        return false;
    }
    if (create && options.json) {
        error = "--json gilt nur mit --check, --expect oder --task";
        return false;
    }
    if (check && options.files.empty()) {
        error = "keine Programmdatei angegeben";
        return false;
    }
    options.file = options.files.front();
    return true;
}

bool ParseArguments(int argc, char** argv, CliOptions& options, std::string& error)
{
    bool runOption = false;
    bool expectOption = false;
    bool taskOption = false;
    bool optionsEnded = false;   // after "--" every argument is a file, "-x.trk" too
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded) {
            options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            options.mode = CliMode::Help;
            return true;
        } else if (arg == "--check") {
            if (!SetMode(options, CliMode::Check, error))
                return false;
        } else if (arg == "--listing") {
            if (!SetMode(options, CliMode::Listing, error))
                return false;
        } else if (arg == "--tokens") {
            if (!SetMode(options, CliMode::Tokens, error))
                return false;
        } else if (arg == "--seed") {
            if (++i >= argc) {
                error = "--seed erwartet eine ganze Zahl";
                return false;
            }
            const std::string n = argv[i];
            if (n.empty() || n.size() > 19 || n.find_first_not_of("0123456789") != std::string::npos) {
                error = "--seed erwartet eine ganze Zahl, nicht \"" + n + "\"";
                return false;
            }
            options.seed = std::stoull(n);
            runOption = true;
        } else if (arg == "--no-pause") {
            options.noPause = true;
            runOption = true;
        } else if (arg == "--steps") {
            options.steps = true;
            runOption = true;
        } else if (arg == "--png") {
            if (++i >= argc || std::string(argv[i]).empty()) {
                error = "--png erwartet einen Dateinamen";
                return false;
            }
            options.pngPath = argv[i];
            runOption = true;
        } else if (arg == "--input" || arg == "--expect") {
            if (++i >= argc || std::string(argv[i]).empty()) {
                error = arg + " erwartet einen Dateinamen";
                return false;
            }
            (arg == "--input" ? options.inputPath : options.expectPath) = argv[i];
        } else if (arg == "--time-limit") {
            std::string s = ++i < argc ? argv[i] : "";
            for (char& c : s)
                if (c == ',')
                    c = '.';   // a decimal comma as well as a point
            char* end = nullptr;
            const double v = s.empty() ? 0 : std::strtod(s.c_str(), &end);
            if (s.empty() || *end != '\0' || !(v > 0)) {
                error = "--time-limit erwartet eine Anzahl Sekunden gr\xC3\xB6\xC3\x9F" "er als 0";
                return false;
            }
            if (v > MaxTimeLimit) {
                error = "--time-limit erwartet eine Anzahl Sekunden von mehr als 0 bis " +
                        std::to_string(MaxTimeLimit);
                return false;
            }
            options.timeLimit = v;
            expectOption = true;
        } else if (arg == "--task-create" || arg == "--task" || arg == "--title" || arg == "--text" ||
                   arg == "--starter" || arg == "-o" || arg == "--case" || arg == "--hidden") {
            if (++i >= argc || std::string(argv[i]).empty()) {
                error = arg + (arg == "--title" ? " erwartet einen Titel" : " erwartet einen Dateinamen");
                return false;
            }
            const std::string value = argv[i];
            if (arg == "--task-create" || arg == "--task") {
                if (!SetMode(options, arg == "--task" ? CliMode::Task : CliMode::TaskCreate, error))
                    return false;
                (arg == "--task" ? options.taskPath : options.files.emplace_back()) = value;
            } else if (arg == "--case" || arg == "--hidden") {
                options.caseInputs.push_back({value, arg == "--hidden"});
            } else {
                (arg == "--title" ? options.title : arg == "--text" ? options.textPath
                 : arg == "--starter" ? options.starterPath : options.outPath) = value;
            }
            taskOption = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unbekannte Option " + arg;
            return false;
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.mode == CliMode::TaskCreate || options.mode == CliMode::Task)
        return CheckTaskArguments(options, error);
    if (taskOption) {
        error = "--title, --text, --starter, --case, --hidden und -o gelten nur mit --task-create";
        return false;
    }
    return CheckArguments(options, runOption, expectOption, error);
}

// Every file tarko-run reads (programs, and the --input and --expect
// transcripts) only when it is a regular file of at most 4 MiB: a FIFO or
// an endless device would block or exhaust the machine.
TFileRead ReadFile(const std::string& path, std::string& bytes)
{
    return ReadProgramBytes(path, &bytes);
}

void InstallOutput(const std::string& file, const std::string& text, bool listing)
{
    FrontEndOutput out;
    out.compileError = [name = ShownName(file), &text](const std::string& message, int line, int column) {
        ClampErrorPosition(text, line, column);
        std::cerr << name << ':' << line + 1 << ':' << column << ": " << ToTerminal(message) << '\n';
    };
    if (listing)
        out.listing = [](const std::string& text) { std::cout << ToTerminal(text); };
    out.internalError = [](const std::string& text) { std::cerr << ToTerminal(text) << '\n'; };
    SetFrontEndOutput(out);
}

int Tokens(const std::string& text)
{
    bool scanError = false;
    TokenPass(text, [](const std::string& entry) { std::cout << ToTerminal(entry) << '\n'; },
              &scanError);
    return scanError ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    CliOptions options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error))
        return UsageError(error);
    if (options.mode == CliMode::Help) {
        std::cout << usage;
        return 0;
    }
    const ReadProgramFile readProgram = [](const std::string& path, std::string& text) {
        std::string bytes;
        if (const TFileRead read = ReadFile(path, bytes); read != TFileRead::Ok)
            return read;
        text = WithCrLf(bytes);
        return TFileRead::Ok;
    };
    if (options.mode == CliMode::Expect)
        return ExpectFiles(options, readProgram);
    if (options.mode == CliMode::TaskCreate)
        return CreateTask(options, readProgram);
    if (options.mode == CliMode::Task)
        return CheckTask(options, readProgram);
    if (options.mode == CliMode::Check && (options.files.size() > 1 || options.json))
        return CheckFiles(options, readProgram);
    std::string bytes;
    if (const TFileRead read = ReadProgramBytes(options.file, &bytes); read != TFileRead::Ok) {
        std::cerr << "tarko-run: " << ReadFailureMessage(read, ShownName(options.file)) << '\n';
        return 2;
    }
    const std::string text = WithCrLf(bytes);
    InstallOutput(options.file, text, options.mode == CliMode::Listing);

    switch (options.mode) {
    case CliMode::Check:
    case CliMode::Listing:
        return CompileProgram(text) ? 0 : 1;
    case CliMode::Tokens:
        return Tokens(text);
    default:
        break;
    }
#ifdef TARKO_HAVE_RUNMODE
    return RunMode(options, text);
#else
    std::cerr << "tarko-run: Ausf\xC3\xBChren ist noch nicht verf\xC3\xBC" "gbar\n";
    return 2;
#endif
}
