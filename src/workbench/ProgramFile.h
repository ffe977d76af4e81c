#pragma once
// Writing a program file so that no failure can cost the user a version:
// the new text goes to a temporary file beside the program first, and only
// once it is completely on disk does the old file become the backup and the
// new one take its name.
#include <QString>
#include <string_view>

namespace tarko {

// The backup name: the extension replaced by ".tr_", or ".tr_" appended.
QString BackupName(const QString& name);

struct TWriteResult {
    bool ok = false;
    int error = 0;   // errno of the step that failed
    QString reason;  // that failure in German, one sentence
};

// Writes `bytes` as the file `name`. A symbolic link is followed, so the
// link's target receives the text and its backup goes beside the target.
// The replaced file's permissions stay; the previous version becomes the
// backup (none for a name that is its own backup name). On failure nothing
// on disk has changed. A writable file in a folder that takes no new file
// is rewritten in place, without backup; should that fail, its old text is
// written back.
TWriteResult WriteProgramFile(const QString& name, std::string_view bytes);

// The German sentence for an errno of a file operation on `name`.
QString FileErrorReason(int error, const QString& name);

} // namespace tarko
