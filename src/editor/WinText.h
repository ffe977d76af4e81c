#pragma once
// The one place where text crosses between Qt (QString, one character per
// line break) and the language system (Windows-1252 bytes, CR LF line breaks).
#include <QString>
#include <string>
#include <string_view>

class QTextDocument;

namespace tarko {

// Windows-1252 bytes with every line break (LF, CR LF, lone CR, U+2028,
// U+2029) written as CR LF. A character without a Windows-1252 byte becomes
// '?'; each UTF-16 unit counts, so a character outside the BMP becomes "??"
// and offsets stay in step with the editor's. *unstorable (when given)
// receives every such character once, in order of first appearance.
std::string ToWinText(const QString& text, QString* unstorable = nullptr);

// The same conversion appended to a reused buffer (no allocation once the
// buffer has grown); returns the number of characters replaced by '?'.
int AppendWinText(std::string& out, const QChar* text, qsizetype length);

// The index of the first character of `text` that has no Windows-1252 byte
// (for a character outside the BMP, its first UTF-16 unit); -1 when every
// character can be stored. Line breaks count as storable.
qsizetype FirstUnstorable(QStringView text);

// Qt text from Windows-1252 bytes; CR LF, lone CR and lone LF all become
// the document's line break '\n'.
QString FromWinText(std::string_view text);

// Offsets: a document position counts a line break as one character, a
// Windows-text offset counts it as two (CR LF).
int WinOffsetFromDocPos(const QTextDocument& doc, int docPos);
// An offset on the LF of a CR LF maps to the end of its line, like the CR.
int DocPosFromWinOffset(const QTextDocument& doc, int winOffset);

} // namespace tarko
