#include "StockAppFichier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#include <windows.h>
#endif

namespace StockAppFichier {

namespace {

enum class TOuverture { Ouvert, Absent, PasRegulier, Erreur };

// Opens path (links followed) only when it leads to a regular file. A FIFO or a device is never
// opened: on POSIX the node is examined first, and the open itself does not block should the node
// change in between. lectureSeule: whether the node has the read-only attribute.
TOuverture OuvreRegulier(QFile& file, const QString& path, QIODevice::OpenMode mode, QString& raison,
                         bool* lectureSeule = nullptr)
{
    mode |= QIODevice::Unbuffered;
#if defined(Q_OS_UNIX)
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return TOuverture::Absent;
        raison = QString::fromLocal8Bit(std::strerror(errno));
        return TOuverture::PasRegulier;
    }
    if (lectureSeule)
        *lectureSeule = (st.st_mode & 0222) == 0;
    if (!S_ISREG(st.st_mode))
        return TOuverture::PasRegulier;
    const int access = (mode & QIODevice::WriteOnly) ? O_RDWR : O_RDONLY;
    const int fd = ::open(native.constData(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        raison = QString::fromLocal8Bit(std::strerror(errno));
        return TOuverture::Erreur;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return TOuverture::PasRegulier;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        raison = file.errorString();
        return TOuverture::Erreur;
    }
    return TOuverture::Ouvert;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return TOuverture::Absent;
    if (lectureSeule) {
        const QFileDevice::Permissions anyWrite =
            QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        *lectureSeule = (info.permissions() & anyWrite) == 0;
    }
    if (!info.isFile())
        return TOuverture::PasRegulier;
    file.setFileName(path);
    if (!file.open(mode | QIODevice::ExistingOnly)) {
        raison = file.errorString();
        return TOuverture::Erreur;
    }
    return TOuverture::Ouvert;
#endif
}

// Puts the file's data on the disk. A file system that cannot do it at all does not count as a
// failure; any other error (a write that the disk could not take after all) does.
bool Synchronise(QFileDevice& file)
{
#if defined(Q_OS_UNIX)
    return ::fsync(file.handle()) == 0 || errno == EINVAL || errno == ENOTSUP;
#elif defined(Q_OS_WIN)
    // A file that Qt opened by its Windows handle has no C run-time descriptor to reach it by.
    if (file.handle() < 0)
        return true;
    return ::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()))) != 0;
#else
    return true;
#endif
}

// The replacing file gets the permission bits of the file it replaces, exactly (QSaveFile goes
// through Qt's permission flags, which add the owner's write bit for a user who may write).
void GardePermissions(QFileDevice& file, const QString& replaced)
{
#if defined(Q_OS_UNIX)
    struct stat st {};
    if (::stat(QFile::encodeName(replaced).constData(), &st) == 0)
        (void)::fchmod(file.handle(), st.st_mode & 07777);
#else
    (void)file;
    (void)replaced;
#endif
}

// The replacing file keeps the owner and group of the file it replaces, so that a save by another
// user (root, for one) leaves the file writable by those who could write it before. False when
// they cannot be kept: the caller then writes in place instead.
bool GardeProprietaire(QFileDevice& file, const QString& replaced)
{
#if defined(Q_OS_UNIX)
    struct stat st {};
    if (::stat(QFile::encodeName(replaced).constData(), &st) != 0)
        return false;
    return ::fchown(file.handle(), st.st_uid, st.st_gid) == 0;
#else
    (void)file;
    (void)replaced;
    return true;
#endif
}

// Marks the temporary file of a save under way, so that a cleanup by another instance leaves it
// alone (an advisory lock, released when the file is closed). On Windows the file is held open
// without sharing and cannot be removed anyway.
void MarqueEnCours(QFileDevice& file)
{
#if defined(Q_OS_UNIX)
    (void)::flock(file.handle(), LOCK_EX | LOCK_NB);
#else
    (void)file;
#endif
}

// What follows the name of the file in the name of a marker of a save under way.
QString SuffixeMarque()
{
    return QStringLiteral(".saving-");
}

#if defined(Q_OS_UNIX)
// Marks a save under way beside the file it replaces: an empty file named after the inode of the
// save's temporary file (see NomMarque), held locked while the save runs and removed after it. A
// save that dies leaves it behind, and with it the proof that the temporary file is this program's.
class TMarque {
public:
    TMarque(const QString& target, QFileDevice& temporaire)
    {
        struct stat st {};
        if (::fstat(temporaire.handle(), &st) != 0)
            return;
        const QByteArray path = QFile::encodeName(NomMarque(target, st.st_ino));
        fd_ = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
        if (fd_ < 0)
            return;  // no marker: should this save die, its temporary file stays
        path_ = path;
        (void)::flock(fd_, LOCK_EX | LOCK_NB);
    }
    ~TMarque()
    {
        if (fd_ < 0)
            return;
        (void)::unlink(path_.constData());
        ::close(fd_);
    }
    TMarque(const TMarque&) = delete;
    TMarque& operator=(const TMarque&) = delete;

private:
    int fd_ = -1;
    QByteArray path_;
};

// The state of a folder entry (not followed) when it is a regular file of this user, last changed
// at least kAgeTemporaire seconds before now: a save under way changes its files all along.
bool Perime(const QString& path, const QDateTime& now, struct stat& st)
{
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return QDateTime::fromSecsSinceEpoch(st.st_mtime).secsTo(now) >= kAgeTemporaire;
}

// Removes a stale file unless a save under way holds it (its lock) or it is no longer the file
// that was examined (st).
bool SupprimeSiLibre(const QString& path, const struct stat& st)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat held {};
    bool ok = ::fstat(fd, &held) == 0 && held.st_dev == st.st_dev && held.st_ino == st.st_ino
              && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ok = ok && ::unlink(native.constData()) == 0;
    ::close(fd);
    return ok;
}

// The names QSaveFile gives its temporary files: the file's name, a dot and six ASCII letters.
bool NomDeTemporaire(const QString& name, const QString& prefix)
{
    if (name.size() != prefix.size() + 6 || !name.startsWith(prefix))
        return false;
    const QStringView part = QStringView(name).right(6);
    return std::all_of(part.begin(), part.end(),
                       [](QChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); });
}

// Removes the temporary file that the stale marker at markerPath names, then the marker once no
// such file is left. Only a file that is the temporary itself qualifies: named as QSaveFile names
// them, the inode the marker records, no other link to it (a hard link that a person made to it
// stays), this user's and stale. Returns how many temporary files were removed.
int NettoieMarque(const QDir& folder, const QString& prefix, const QString& markerPath, ino_t inode,
                  const QDateTime& now)
{
    int removed = 0;
    bool left = false;
    const QStringList names = folder.entryList({prefix + QStringLiteral("??????")},
                                               QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive);
    for (const QString& name : names) {
        const QString path = folder.filePath(name);
        struct stat st {};
        if (!NomDeTemporaire(name, prefix) || ::lstat(QFile::encodeName(path).constData(), &st) != 0
            || st.st_ino != inode)
            continue;
        if (st.st_nlink == 1 && Perime(path, now, st) && SupprimeSiLibre(path, st))
            ++removed;
        else
            left = true;
    }
    struct stat marker {};
    if (!left && Perime(markerPath, now, marker))
        (void)SupprimeSiLibre(markerPath, marker);
    return removed;
}
#endif

bool MemeContenu(const QString& path, const QByteArray& bytes)
{
    QFile file;
    QString raison;
    if (OuvreRegulier(file, path, QIODevice::ReadOnly, raison) != TOuverture::Ouvert)
        return false;
    if (file.size() != bytes.size())
        return false;
    const QByteArray current = file.read(bytes.size() + 1);
    return current == bytes;
}

QByteArray Blancs(const QByteArray& blank, qint64 count)
{
    return blank.repeated(static_cast<qsizetype>(count));
}

bool EcritTout(QFile& file, qint64 offset, const QByteArray& bytes)
{
    return file.seek(offset) && file.write(bytes) == bytes.size();
}

}  // namespace

QString Cible(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 64 && info.isSymbolicLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

TNature Nature(const QString& path)
{
    const QFileInfo info(Cible(path));
    if (info.isSymbolicLink())
        return TNature::Autre;  // a loop of links
    if (!info.exists())
        return TNature::Absent;
    return info.isFile() ? TNature::Regulier : TNature::Autre;
}

TLecture Lit(const QString& path, qint64 maxSize)
{
    TLecture lu;
    QFile file;
    QString raison;
    switch (OuvreRegulier(file, path, QIODevice::ReadOnly, raison, &lu.lectureSeule)) {
    case TOuverture::Absent: lu.etat = TLecture::TEtat::Absent; return lu;
    case TOuverture::PasRegulier:
        lu.etat = TLecture::TEtat::PasUnFichier;
        lu.raison = raison.isEmpty() ? QStringLiteral("the path is not a regular file") : raison;
        return lu;
    case TOuverture::Erreur:
        lu.etat = TLecture::TEtat::Illisible;
        lu.raison = raison;
        return lu;
    case TOuverture::Ouvert: break;
    }
    const QString tooLarge = QStringLiteral("the file is larger than %1 bytes").arg(maxSize);
    lu.etat = TLecture::TEtat::Illisible;
    if (file.size() > maxSize) {
        lu.raison = tooLarge;
        return lu;
    }
    // At most one byte more than allowed: the file may grow while it is read.
    QByteArray bytes = file.read(file.size() + 1);
    while (bytes.size() <= maxSize && file.error() == QFileDevice::NoError) {
        const QByteArray more = file.read(qMin<qint64>(qMax<qint64>(bytes.size(), 4096), maxSize + 1 - bytes.size()));
        if (more.isEmpty())
            break;
        bytes += more;
    }
    if (file.error() != QFileDevice::NoError) {
        lu.raison = file.errorString();
        return lu;
    }
    if (bytes.size() > maxSize) {
        lu.raison = tooLarge;
        return lu;
    }
    lu.etat = TLecture::TEtat::Lu;
    lu.octets = std::move(bytes);
    return lu;
}

bool Ecrit(const QString& path, const QByteArray& bytes, const QByteArray& blank)
{
    const QString target = Cible(path);
    const TNature nature = Nature(target);
    if (nature == TNature::Autre)
        return false;
    // The file already holds exactly this text (a save without changes): leave it as it is. This
    // spares the disk synchronisation, the costly part of a save.
    if (nature == TNature::Regulier && MemeContenu(target, bytes))
        return true;

    // Unbuffered, so that a write the disk cannot take shows in write() itself: QSaveFile's
    // commit() would rename a temporary file whose buffered tail failed to reach the disk.
    QSaveFile save(target);
    if (save.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        MarqueEnCours(save);
        if (nature == TNature::Regulier && !GardeProprietaire(save, target)) {
            save.cancelWriting();
            return EcritSurPlace(target, bytes, blank);
        }
        if (nature == TNature::Regulier)
            GardePermissions(save, target);
#if defined(Q_OS_UNIX)
        const TMarque marque(target, save);
#endif
        if (save.write(bytes) == bytes.size() && Synchronise(save) && save.commit())
            return true;
        // Not renamed: the temporary file goes, the previous file stays whole.
        save.cancelWriting();
        return false;
    }
    // The folder takes no new file (no permission, no inode left): the file itself may still
    // take the text in place.
    if (nature == TNature::Regulier)
        return EcritSurPlace(target, bytes, blank);
    return false;
}

bool EcritSurPlace(const QString& path, const QByteArray& bytes, const QByteArray& blank)
{
    QFile file;
    QString raison;
    if (OuvreRegulier(file, path, QIODevice::ReadWrite, raison) != TOuverture::Ouvert)
        return false;
    const qint64 oldSize = file.size();
    const qint64 newSize = bytes.size();
    const qint64 fullSize = qMax(oldSize, newSize);
    const qint64 unit = blank.size();
    if (fullSize != oldSize || fullSize != newSize) {
        // The blanks must make up both differences exactly (a multi-byte encoding).
        if (unit == 0 || (fullSize - oldSize) % unit != 0 || (fullSize - newSize) % unit != 0)
            return false;
    }
    const QByteArray old = file.read(oldSize);
    if (old.size() != oldSize)
        return false;

    // 1. Grow: the old text followed by blanks. A full disk shows here; cutting back restores the
    //    old file exactly.
    if (fullSize > oldSize && !(EcritTout(file, oldSize, Blancs(blank, (fullSize - oldSize) / unit)))) {
        file.resize(oldSize);
        return false;
    }
    // 2. The new text and blanks up to the same length, in one write into space that is already
    //    allocated.
    QByteArray image = bytes;
    if (fullSize > newSize)
        image += Blancs(blank, (fullSize - newSize) / unit);
    if (!EcritTout(file, 0, image)) {
        // Should the write fail after all, put the old text back.
        EcritTout(file, 0, old);
        file.resize(oldSize);
        return false;
    }
    // 3. Cut the blanks after the new text.
    const bool cut = fullSize == newSize || file.resize(newSize);
    return Synchronise(file) && cut;
}

QString MetDeCote(const QString& path)
{
    for (int i = 0; i < kMaxMisDeCote; ++i) {
        QString name = i == 0 ? path + QStringLiteral(".bad") : QStringLiteral("%1.bad.%2").arg(path).arg(i);
        const QFileInfo taken(name);
        if (taken.exists() || taken.isSymLink())
            continue;
        // QFile::rename never replaces an existing file.
        if (QFile::rename(path, name))
            return name;
        // Taken meanwhile by someone else: the next name; any other failure ends here.
        const QFileInfo again(name);
        if (!again.exists() && !again.isSymLink())
            return QString();
    }
    return QString();
}

QString NomMarque(const QString& target, quint64 inode)
{
    return target + SuffixeMarque() + QString::number(inode);
}

int NettoieTemporaires(const QString& target, const QDateTime& now)
{
#if defined(Q_OS_UNIX)
    const QFileInfo cible(target);
    const QDir folder = cible.absoluteDir();
    const QString prefix = cible.fileName() + QLatin1Char('.');
    const QString markerPrefix = cible.fileName() + SuffixeMarque();
    const QStringList markers = folder.entryList({markerPrefix + QLatin1Char('*')},
                                                 QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive);
    int removed = 0;
    for (const QString& marker : markers) {
        bool number = false;
        const quint64 inode = QStringView(marker).mid(markerPrefix.size()).toULongLong(&number);
        const QString markerPath = folder.filePath(marker);
        struct stat st {};
        // A marker of a save that died: this user's, and no longer changed by its save.
        if (number && Perime(markerPath, now, st))
            removed += NettoieMarque(folder, prefix, markerPath, static_cast<ino_t>(inode), now);
    }
    return removed;
#else
    // Without inodes to tell the program's temporary files from others, none is removed.
    (void)target;
    (void)now;
    return 0;
#endif
}

}  // namespace StockAppFichier
