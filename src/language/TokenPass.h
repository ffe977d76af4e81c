#pragma once
// The token pass: scans a program text from its start and describes every
// token in one entry: "Bezeichner:" + name, "Zahl:" + number text,
// "Texte:" + text, otherwise the display name alone. The debug view writes
// each entry followed by ", "; tarko-run --tokens prints one entry per line.
#include <functional>
#include <string>

namespace tarko {

// Runs the pass over the unchanged text, handing every entry to out, up to
// and including EOT_Sym or up to a scan error (reported through SyntaxError).
// Returns false only when the very first token failed. *scanError, when
// given, tells whether a scan error ended the pass.
bool TokenPass(const std::string& text, const std::function<void(const std::string& entry)>& out,
               bool* scanError = nullptr);

// The debug view's line after the token dump and after the listing.
inline const std::string DebugViewSeparator = "\r\n----------------\r\n";

} // namespace tarko
