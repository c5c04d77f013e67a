// Helpers shared by the settings tests: file bytes in and out, the expected file text, and a way
// to run a piece of code as an unprivileged user (the tests usually run as root, for whom every
// file and folder is writable).
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// File texts show up as readable text in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.toPercentEncoding(" <>/?=\"'!-_.:&;#", "").replace("%0D%0A", "%0D%0A\n").toStdString() << '"';
}
QT_END_NAMESPACE

namespace settings_test {

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

// Joins lines with CR LF after each one, the last included.
inline QByteArray Lines(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines)
        out += line.toLatin1() + "\r\n";
    return out;
}

inline const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>";

// The file with the five values of the window, in the program's own layout.
inline QByteArray WindowFile(const QString& version, const QString& port, const QString& parity, const QString& baud,
                             const QString& id)
{
    return Lines({kDeclaration, "<Configuration>", "  <FenetrePrincipale>",
                  "    <FormVersion>" + version + "</FormVersion>",
                  "    <ChoixPort_ItemIndex>" + port + "</ChoixPort_ItemIndex>",
                  "    <ChoixParite_ItemIndex>" + parity + "</ChoixParite_ItemIndex>",
                  "    <ChoixBR_ItemIndex>" + baud + "</ChoixBR_ItemIndex>",
                  "    <EditId_Value>" + id + "</EditId_Value>", "  </FenetrePrincipale>", "</Configuration>"});
}

// Names in a folder other than "." and "..", hidden ones included (temporary files).
inline QStringList FolderEntries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Leaves every permission to read and none to write: on Windows, the read-only attribute.
inline bool MakeReadOnly(const QString& path)
{
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther);
}

#if !defined(_WIN32)
// The inode of a path, links not followed.
inline ino_t Inode(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

// Runs body in a child process, as user and group "nobody" when started as root; returns the
// body's result (0 for success), or a negative value when the child did not end normally.
inline int RunInChild(const std::function<int()>& body, bool unprivileged)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (unprivileged && ::geteuid() == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(100);
        }
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}
#endif

}  // namespace settings_test
