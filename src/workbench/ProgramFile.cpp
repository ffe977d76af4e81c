#include "workbench/ProgramFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarko {

namespace {

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

TWriteResult Failure(int error, const QString& name)
{
    return {false, error, FileErrorReason(error, name)};
}

// A fresh name beside `target` that no file has yet; hidden, so that a
// leftover after a crash does not clutter the pupil's folder.
QString SiblingName(const QString& target, const char* purpose)
{
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
           QLatin1String(purpose) + QLatin1Char('-') +
           QString::number(QRandomGenerator::global()->generate(), 36);
}

// Writes everything, then forces it to the disk; errno on failure.
int WriteAll(int fd, std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += size_t(n);
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Creates a new file beside `target` holding `bytes`; with `like` its mode
// and owner are those of the replaced file, else the umask decides as for
// any new file. Returns errno, 0 when the file is complete on disk.
int WriteSibling(const QString& target, const char* purpose, std::string_view bytes,
                 const struct stat* like, QString& created)
{
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        created = SiblingName(target, purpose);
        fd = ::open(Native(created).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    if (like) {
        // An owner change needs privileges the user seldom has; the mode is what protects the text.
        if (::fchown(fd, like->st_uid, like->st_gid) != 0)
            (void)!::fchown(fd, uid_t(-1), like->st_gid);
        ::fchmod(fd, like->st_mode & 07777);
    }
    int error = WriteAll(fd, bytes);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        ::unlink(Native(created).constData());
    return error;
}

// The file a name stands for: a symbolic link leads to its target, even a
// target that does not exist yet.
QString ResolveLinks(const QString& name)
{
    const QFileInfo info(name);
    if (!info.isSymLink())
        return info.absoluteFilePath();
    if (info.exists())
        return info.canonicalFilePath();
    const QString target = info.symLinkTarget();
    return target.isEmpty() ? info.absoluteFilePath() : target;
}

// A second name for the current file, to become the backup once the new
// text has taken the file's name. A folder that cannot hold hard links gets
// a copy instead. Returns errno.
int KeepCurrentVersion(const QString& target, const struct stat& current, QString& kept)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        kept = SiblingName(target, "alt");
        if (::link(Native(target).constData(), Native(kept).constData()) == 0)
            return 0;
        if (errno != EEXIST)
            break;
    }
    QFile file(target);
    if (!file.open(QIODevice::ReadOnly))
        return EACCES;
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return EIO;
    return WriteSibling(target, "alt", std::string_view(old.constData(), size_t(old.size())), &current, kept);
}

// For a file whose folder takes no new file (a shared class folder, say)
// while the file itself may be written: the text is rewritten in place,
// and the old text put back should that fail. Returns errno.
int RewriteInPlace(const QString& target, std::string_view bytes)
{
    QFile file(target);
    if (!file.open(QIODevice::ReadOnly))
        return EACCES;
    const QByteArray old = file.readAll();
    file.close();
    const int fd = ::open(Native(target).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = ::ftruncate(fd, 0) == 0 ? WriteAll(fd, bytes) : errno;
    if (error != 0 && ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0)
        (void)WriteAll(fd, std::string_view(old.constData(), size_t(old.size())));
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// In a folder with the sticky bit only the owner of a file (or of the
// folder) may replace or remove it.
bool MayReplace(const QString& target, const struct stat& current)
{
    struct stat folder {};
    if (::stat(Native(QFileInfo(target).absolutePath()).constData(), &folder) != 0)
        return true;
    const uid_t user = ::geteuid();
    return !(folder.st_mode & S_ISVTX) || user == 0 || current.st_uid == user || folder.st_uid == user;
}

void SyncFolder(const QString& target)
{
    const int fd = ::open(Native(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString BackupName(const QString& name)
{
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > slash)
        return name.left(dot) + QStringLiteral(".tr_");
    return name + QStringLiteral(".tr_");
}

QString FileErrorReason(int error, const QString& name)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei.");
    case EFBIG:
        return QStringLiteral("Die Datei ist zu groß für den verfügbaren Speicherplatz.");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("Der zugeteilte Speicherplatz ist aufgebraucht.");
#endif
    case EACCES:
    case EPERM:
        return QStringLiteral("Es fehlt die Berechtigung, hier zu schreiben.");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ENOENT:
        return QStringLiteral("Der Ordner %1 existiert nicht.").arg(QFileInfo(name).absolutePath());
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner.");
    case EISDIR:
        return QStringLiteral("Unter diesem Namen steht ein Ordner.");
    case ENAMETOOLONG:
        return QStringLiteral("Der Name ist zu lang.");
    case ELOOP:
        return QStringLiteral("Der Name führt über zu viele Verknüpfungen.");
    case EIO:
        return QStringLiteral("Beim Zugriff auf den Datenträger ist ein Fehler aufgetreten.");
    case EINVAL:
        return QStringLiteral("Unter diesem Namen steht keine gewöhnliche Datei.");
    default:
        return QStringLiteral("Das System meldet den Fehler Nummer %1.").arg(error);
    }
}

TWriteResult WriteProgramFile(const QString& name, std::string_view bytes)
{
    const QString target = ResolveLinks(name);
    const QByteArray native = Native(target);
    struct stat current {};
    const bool exists = ::stat(native.constData(), &current) == 0;
    if (!exists && errno != ENOENT)
        return Failure(errno, target);
    if (exists && S_ISDIR(current.st_mode))
        return Failure(EISDIR, target);
    if (exists && !S_ISREG(current.st_mode))
        return Failure(EINVAL, target);
    // A file the user may not change stays as it is, although the folder
    // would let it be replaced.
    if (exists && ::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) != 0)
        return Failure(errno, target);

    // Where the file may be written but not replaced, it is rewritten in
    // place; no backup can be made there either.
    const auto inPlace = [&]() -> TWriteResult {
        if (const int error = RewriteInPlace(target, bytes))
            return Failure(error, target);
        return {true, 0, QString()};
    };
    if (exists && !MayReplace(target, current))
        return inPlace();

    QString written;
    if (const int error = WriteSibling(target, "neu", bytes, exists ? &current : nullptr, written)) {
        if (exists && (error == EACCES || error == EPERM))
            return inPlace();
        return Failure(error, target);
    }

    // A name that is its own backup name keeps no backup: the rename below
    // replaces it in one step, so it is never missing.
    const QString backup = BackupName(target);
    QString kept;
    if (exists && backup != target) {
        if (const int error = KeepCurrentVersion(target, current, kept)) {
            ::unlink(Native(written).constData());
            return Failure(error, target);
        }
    }
    if (::rename(Native(written).constData(), native.constData()) != 0) {
        const int error = errno;
        ::unlink(Native(written).constData());
        if (!kept.isEmpty())
            ::unlink(Native(kept).constData());
        return Failure(error, target);
    }
    // The new text is in place; a backup that cannot take its name leaves
    // the older backup, as a failed backup never stops a save.
    if (!kept.isEmpty() && ::rename(Native(kept).constData(), Native(backup).constData()) != 0)
        ::unlink(Native(kept).constData());
    SyncFolder(target);
    return {true, 0, QString()};
}

} // namespace tarko
