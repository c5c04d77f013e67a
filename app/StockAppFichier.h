// The settings file on the file system: reading it without ever blocking on something that is not
// a regular file, replacing it atomically (QSaveFile) or, where its folder takes no new file,
// rewriting it in place without ever truncating it first, moving an unreadable file aside under a
// name that is still free, and clearing the temporary files that earlier saves which died left.
//
// Nothing here knows XML: the store hands over the bytes to write and the bytes of one blank in the
// file's encoding, which may stand at the end of its text without changing what the text means.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace StockAppFichier {

// What a path leads to once symbolic links are followed.
enum class TNature {
    Absent,    // nothing (also a link that leads nowhere): a write creates the file
    Regulier,  // a regular file
    Autre,     // a directory, a FIFO, a device, a socket, a loop of links: never opened for writing
};
TNature Nature(const QString& path);

// The path that a write really changes: symbolic links followed, as many as there are.
QString Cible(const QString& path);

struct TLecture {
    enum class TEtat {
        Absent,        // no file
        Lu,            // octets holds the whole file
        Illisible,     // a regular file that cannot be read or is too large
        PasUnFichier,  // not a regular file: left as it is
    };
    TEtat etat = TEtat::Absent;
    QByteArray octets;
    QString raison;  // why the file was not read, for the warning
    // The file exists and nobody has write permission on it (the read-only attribute on Windows).
    bool lectureSeule = false;
};
// Reads the whole file, at most maxSize bytes; only a regular file is ever opened.
TLecture Lit(const QString& path, qint64 maxSize);

// Writes bytes as the new content of the file at path (through symbolic links). Nothing is written
// over a node that is not a regular file, and a file that already holds exactly these bytes is left
// untouched. blank: one blank in the file's encoding, used while rewriting in place. Returns true
// when the file holds the bytes afterwards; on failure the previous file is whole.
bool Ecrit(const QString& path, const QByteArray& bytes, const QByteArray& blank);

// Rewrites an existing regular file in place: first grown with blanks to the larger of its old and
// new length, then overwritten by the new bytes and blanks in one write, then cut to length. At
// every instant the file holds either the old or the new text, followed by blanks; a disk that is
// full shows while growing, before anything of the old text is touched, and the file is cut back.
bool EcritSurPlace(const QString& path, const QByteArray& bytes, const QByteArray& blank);

// Moves the file at path aside to the first free name among path + ".bad", ".bad.1", ".bad.2", ...
// (never over an existing one). Returns the new name, or an empty string when nothing was moved.
QString MetDeCote(const QString& path);
constexpr int kMaxMisDeCote = 1000;

// A save through a temporary file first puts a marker beside the file it replaces: an empty file
// named NomMarque(target, inode of the temporary file), locked while the save runs and removed
// after it. A save that dies (killed, or the machine stopped) leaves its marker behind, and so the
// proof that the temporary file it names is this program's.
QString NomMarque(const QString& target, quint64 inode);

// Removes the temporary files that saves of target which died left behind in its folder, and their
// markers. Only files that a stale marker names are removed: a name QSaveFile gives (target + "."
// + six letters), the inode the marker records, no other link to it, this user's, last changed
// (like the marker) at least kAgeTemporaire seconds before now, and not locked by a save under way.
// Any other file stays, whatever its name. On systems without inodes (Windows) nothing is removed.
// Returns how many temporary files were removed.
int NettoieTemporaires(const QString& target, const QDateTime& now = QDateTime::currentDateTimeUtc());
constexpr int kAgeTemporaire = 60;

}  // namespace StockAppFichier
