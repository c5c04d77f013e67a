// The store against the file system: read-only files, folders that take no new file, atomic
// replacement, symbolic links (also to FIFOs and devices), unreadable files kept aside under names
// of their own, temporary files of killed saves, and hostile files that must neither crash nor
// hang the program.
#include "StockAppFichier.h"
#include "StockAppXml.h"
#include "test_settings_util.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace settings_test;

namespace {

// Hostile files must be dealt with quickly: well under this bound, even under sanitizers.
constexpr qint64 kBoundMs = 3000;

class FilesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("AppVantor.xml"); }
    QByteArray cpath() const { return QFile::encodeName(path()); }

    mode_t Mode() const
    {
        struct stat st {};
        ::stat(cpath().constData(), &st);
        return st.st_mode & 07777;
    }
};

TEST_F(FilesTest, ReadOnlyFileIsReadAndNeverWritten)
{
    const QByteArray file = "<Configuration><V>5</V></Configuration>";
    for (mode_t mode : {0444, 0400, 0000}) {
        WriteBytes(path(), file);
        ASSERT_EQ(::chmod(cpath().constData(), mode), 0);
        TStockAppXml store(path());
        EXPECT_EQ(store.ReadInteger("V", 0), 5) << mode;
        EXPECT_TRUE(store.IsReadOnly()) << mode;
        store.WriteInteger("V", 6);
        store.WriteInteger("W", 1);
        store.Flush();
        EXPECT_EQ(ReadBytes(path()), file) << mode;
        EXPECT_EQ(Mode(), mode);
        EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
        ASSERT_EQ(::chmod(cpath().constData(), 0644), 0);
        QFile::remove(path());
    }
}

TEST_F(FilesTest, ReadOnlyStateIsEvaluatedAtEachRead)
{
    WriteBytes(path(), "<Configuration><V>5</V></Configuration>");
    ASSERT_EQ(::chmod(cpath().constData(), 0444), 0);
    TStockAppXml store(path());
    store.Reload();
    EXPECT_TRUE(store.IsReadOnly());
    // Any write bit (owner, group or other) makes the file writable.
    ASSERT_EQ(::chmod(cpath().constData(), 0464), 0);
    store.Reload();
    EXPECT_FALSE(store.IsReadOnly());
    store.WriteInteger("V", 6);
    EXPECT_EQ(store.ReadInteger("V", 0), 6);
    EXPECT_EQ(Mode(), 0464u);  // the replaced file keeps its permissions
    // The file turns read-only between two writes: the second one leaves it alone.
    ASSERT_EQ(::chmod(cpath().constData(), 0444), 0);
    store.WriteInteger("V", 7);
    EXPECT_EQ(store.ReadInteger("V", 0), 6);
    // No file: never read-only.
    ASSERT_EQ(::chmod(cpath().constData(), 0644), 0);
    QFile::remove(path());
    store.Reload();
    EXPECT_FALSE(store.IsReadOnly());
}

TEST_F(FilesTest, PathThatCannotHoldAFileWritesNothing)
{
    // A parent "folder" that is a regular file: no directory can be created there.
    WriteBytes(dir.filePath("plain"), "x");
    TStockAppXml store(dir.filePath("plain/sub/AppVantor.xml"));
    store.WriteInteger("V", 1);
    store.Flush();
    EXPECT_EQ(store.ReadInteger("V", 9), 9);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"plain"});
    EXPECT_EQ(ReadBytes(dir.filePath("plain")), "x");
}

TEST_F(FilesTest, SaveReplacesTheFileWithoutLeavingTemporaries)
{
    WriteBytes(path(), "<Configuration><V>1</V></Configuration>");
    ASSERT_EQ(::chmod(cpath().constData(), 0640), 0);
    TStockAppXml store(path());
    for (int i = 0; i < 5; ++i)
        store.WriteInteger("V", i);
    EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Configuration>", "  <V>4</V>", "</Configuration>"}));
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
    EXPECT_EQ(Mode(), 0640u);
}

TEST_F(FilesTest, UnchangedTextIsNotRewritten)
{
    const auto inode = [this] {
        struct stat st {};
        ::stat(cpath().constData(), &st);
        return st.st_ino;
    };
    TStockAppXml store(path());
    store.WriteInteger("V", 4);
    const auto first = inode();
    store.WriteInteger("V", 4);
    store.Flush();
    EXPECT_EQ(inode(), first);
    store.WriteInteger("V", 5);
    EXPECT_NE(inode(), first);
    EXPECT_EQ(store.ReadInteger("V", 0), 5);

    // The comparison is made with the file as it is now, not as it was read: another writer's
    // text of the same length is still replaced by the final write.
    store.Reload();
    WriteBytes(path(), Lines({kDeclaration, "<Configuration>", "  <V>6</V>", "</Configuration>"}));
    store.Flush();
    EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Configuration>", "  <V>5</V>", "</Configuration>"}));
}

TEST_F(FilesTest, NewFileFollowsTheUmask)
{
    const mode_t previous = ::umask(022);
    TStockAppXml store(path());
    store.WriteInteger("V", 1);
    ::umask(previous);
    EXPECT_EQ(Mode(), 0644u);
}

// A save that fails half-way (here: the file size limit of the process, as a full disk would)
// leaves the previous file whole.
TEST_F(FilesTest, FailedSaveLeavesThePreviousFileWhole)
{
    QByteArray file = "<Configuration><V>1</V>";
    for (int i = 0; i < 20; ++i)
        file += "<Autre>une valeur assez longue</Autre>";
    file += "</Configuration>";
    WriteBytes(path(), file);
    const QString target = path();
    const int result = RunInChild(
        [&] {
            ::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit limit {
                100, 100
            };
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 10;
            TStockAppXml store(target);
            store.WriteInteger("V", 2);
            return 0;
        },
        false);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(path()), file);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
}

// Checks run as an unprivileged user, in a folder of that user's own under /tmp: a folder without
// write permission takes no new file, but an existing writable file in it is still updated.
TEST(FilesUnprivileged, FolderWithoutWritePermission)
{
    const int result = RunInChild(
        [] {
            char name[] = "/tmp/vantor-settings-XXXXXX";
            if (!::mkdtemp(name))
                return 20;
            const QString folder = QString::fromLocal8Bit(name);
            const QString file = folder + "/AppVantor.xml";
            int code = 0;
            // No file and a folder that refuses new files: nothing is written, nothing breaks.
            ::chmod(name, 0555);
            {
                TStockAppXml store(file);
                store.WriteInteger("V", 1);
                store.Flush();
                if (QFile::exists(file))
                    code = 21;
                else if (store.ReadInteger("V", 8) != 8)
                    code = 22;
            }
            // An existing writable file in that folder is written in place.
            ::chmod(name, 0755);
            WriteBytes(file, "<Configuration><V>1</V></Configuration>");
            ::chmod(name, 0555);
            if (code == 0) {
                TStockAppXml store(file);
                store.WriteInteger("V", 2);
                if (ReadBytes(file) != Lines({kDeclaration, "<Configuration>", "  <V>2</V>", "</Configuration>"}))
                    code = 23;
                else if (FolderEntries(folder) != QStringList{"AppVantor.xml"})
                    code = 24;
            }
            // A file without write permission for anyone stays as it is.
            ::chmod(QFile::encodeName(file).constData(), 0444);
            if (code == 0) {
                TStockAppXml store(file);
                store.WriteInteger("V", 3);
                if (store.ReadInteger("V", 0) != 2)
                    code = 25;
            }
            // A file its user may write but not read is not written over unread: it is kept aside.
            ::chmod(name, 0755);
            ::chmod(QFile::encodeName(file).constData(), 0200);
            if (code == 0) {
                TStockAppXml store(file);
                if (!store.FileWasUnreadable())
                    code = 26;
                store.WriteInteger("V", 4);
                ::chmod(QFile::encodeName(file + ".bad").constData(), 0600);
                if (ReadBytes(file + ".bad")
                    != Lines({kDeclaration, "<Configuration>", "  <V>2</V>", "</Configuration>"}))
                    code = 27;
                else if (store.ReadInteger("V", 0) != 4)
                    code = 28;
            }
            QDir(folder).removeRecursively();
            return code;
        },
        true);
    EXPECT_EQ(result, 0);
}

TEST_F(FilesTest, WritesThroughASymbolicLink)
{
    const QString real = dir.filePath("reel.xml");
    WriteBytes(real, "<Configuration><V>1</V></Configuration>");
    ASSERT_TRUE(QFile::link(real, path()));
    TStockAppXml store(path());
    store.WriteInteger("V", 2);
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(ReadBytes(real), Lines({kDeclaration, "<Configuration>", "  <V>2</V>", "</Configuration>"}));
}

TEST_F(FilesTest, MalformedFileIsKeptAsideBeforeTheFirstWrite)
{
    const QByteArray bad = "<Configuration><FenetrePrincipale><EditId_Value>7</EditId_Value></Configuration>";
    WriteBytes(path(), bad);
    TStockAppXml store(path());
    store.Reload();
    EXPECT_TRUE(store.FileWasUnreadable());
    EXPECT_FALSE(store.UnreadableReason().isEmpty());
    EXPECT_FALSE(store.ValueExists("FenetrePrincipale\\EditId_Value"));
    EXPECT_EQ(store.ReadInteger("FenetrePrincipale\\EditId_Value", 1), 1);
    // Reading alone changes nothing on disk.
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});

    store.WriteInteger("FenetrePrincipale\\EditId_Value", 3);
    EXPECT_EQ(ReadBytes(path() + ".bad"), bad);
    EXPECT_EQ(ReadBytes(path()),
              Lines({kDeclaration, "<Configuration>", "  <FenetrePrincipale>", "    <EditId_Value>3</EditId_Value>",
                     "  </FenetrePrincipale>", "</Configuration>"}));
    // Later writes and the final flush do not touch the kept file again.
    store.WriteInteger("FenetrePrincipale\\EditId_Value", 4);
    store.Flush();
    EXPECT_EQ(ReadBytes(path() + ".bad"), bad);
    EXPECT_EQ(store.ReadInteger("FenetrePrincipale\\EditId_Value", 0), 4);
    EXPECT_TRUE(store.FileWasUnreadable());  // stays set for the warning
    EXPECT_EQ(FolderEntries(dir.path()), (QStringList{"AppVantor.xml", "AppVantor.xml.bad"}));
}

TEST_F(FilesTest, WellFormedFileLeavesNoUnreadableMark)
{
    WriteBytes(path(), "<Configuration/>");
    TStockAppXml store(path());
    store.Reload();
    EXPECT_FALSE(store.FileWasUnreadable());
    EXPECT_TRUE(store.UnreadableReason().isEmpty());
}

TEST_F(FilesTest, MalformedReadOnlyFileIsLeftAlone)
{
    WriteBytes(path(), "pas du XML");
    ASSERT_EQ(::chmod(cpath().constData(), 0444), 0);
    TStockAppXml store(path());
    store.WriteInteger("V", 1);
    store.Flush();
    EXPECT_TRUE(store.FileWasUnreadable());
    EXPECT_EQ(ReadBytes(path()), "pas du XML");
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});

    // Too large to be read, and read-only: left alone as well.
    ASSERT_EQ(::truncate(cpath().constData(), TStockAppXml::kMaxFileSize + 1), 0);
    TStockAppXml large(path());
    EXPECT_TRUE(large.FileWasUnreadable());
    EXPECT_TRUE(large.IsReadOnly());
    large.WriteInteger("V", 1);
    large.Flush();
    EXPECT_EQ(QFileInfo(path()).size(), TStockAppXml::kMaxFileSize + 1);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
}

// Each hostile file: read within the time bound, reported unreadable, the store empty, and the
// first write keeps the file aside and writes a sound one.
class HostileTest : public FilesTest {
protected:
    void ExpectRejectedQuickly(const char* what)
    {
        QElapsedTimer timer;
        timer.start();
        TStockAppXml store(path());
        store.Reload();
        EXPECT_TRUE(store.FileWasUnreadable()) << what;
        EXPECT_TRUE(store.Root().children.empty()) << what;
        EXPECT_EQ(store.ReadInteger("FenetrePrincipale\\EditId_Value", 1), 1) << what;
        store.WriteInteger("FenetrePrincipale\\EditId_Value", 2);
        EXPECT_LT(timer.elapsed(), kBoundMs) << what;
        EXPECT_TRUE(QFile::exists(path() + ".bad")) << what;
        EXPECT_EQ(store.ReadInteger("FenetrePrincipale\\EditId_Value", 0), 2) << what;
        EXPECT_FALSE(store.FileWasUnreadable() && QFile(path()).size() > 200) << what;
    }
};

TEST_F(HostileTest, HugeFileIsNotRead)
{
    // 300 MB, sparse: costs no disk space, but reading it all would take time and memory.
    const int fd = ::open(cpath().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 300LL * 1024 * 1024), 0);
    ::close(fd);
    ExpectRejectedQuickly("huge");
}

TEST_F(HostileTest, FileJustAboveTheLimit)
{
    QByteArray file = "<Configuration><A>";
    file += QByteArray(TStockAppXml::kMaxFileSize, 'x');
    file += "</A></Configuration>";
    WriteBytes(path(), file);
    ExpectRejectedQuickly("above the limit");
}

TEST_F(HostileTest, DeepNesting)
{
    QByteArray file;
    for (int i = 0; i < 200000; ++i)
        file += "<a>";
    WriteBytes(path(), file);
    ExpectRejectedQuickly("deep, unclosed");

    file = "<Configuration>";
    for (int i = 0; i < TStockAppXml::kMaxDepth; ++i)
        file += "<a>";
    for (int i = 0; i < TStockAppXml::kMaxDepth; ++i)
        file += "</a>";
    file += "</Configuration>";
    WriteBytes(path(), file);
    QFile::remove(path() + ".bad");
    ExpectRejectedQuickly("deep, well-formed");
}

TEST_F(HostileTest, NestingUpToTheLimitIsAccepted)
{
    QByteArray file = "<Configuration>";
    for (int i = 1; i < TStockAppXml::kMaxDepth; ++i)
        file += "<a>";
    for (int i = 1; i < TStockAppXml::kMaxDepth; ++i)
        file += "</a>";
    file += "</Configuration>";
    WriteBytes(path(), file);
    TStockAppXml store(path());
    store.Reload();
    EXPECT_FALSE(store.FileWasUnreadable()) << qPrintable(store.UnreadableReason());
}

TEST_F(HostileTest, EntityExpansion)
{
    QByteArray file = "<?xml version=\"1.0\"?>\n<!DOCTYPE Configuration [\n<!ENTITY l0 \"lollollollol\">\n";
    for (int i = 1; i < 10; ++i)
        file += QStringLiteral("<!ENTITY l%1 \"&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;\">\n")
                    .arg(i)
                    .arg(i - 1)
                    .toLatin1();
    file += "]>\n<Configuration><V>&l9;</V></Configuration>\n";
    WriteBytes(path(), file);
    ExpectRejectedQuickly("billion laughs");
}

TEST_F(HostileTest, BinaryJunkAndNulBytes)
{
    std::mt19937 random(1234);
    QByteArray junk(64 * 1024, '\0');
    for (char& c : junk)
        c = static_cast<char>(random());
    WriteBytes(path(), junk);
    ExpectRejectedQuickly("junk");

    QFile::remove(path() + ".bad");
    WriteBytes(path(), QByteArray("<Configuration><V>1\0\0</V></Configuration>", 42));
    ExpectRejectedQuickly("NUL bytes");

    QFile::remove(path() + ".bad");
    WriteBytes(path(), QByteArray());
    ExpectRejectedQuickly("empty file");
}

TEST_F(HostileTest, TooManyElements)
{
    QByteArray file = "<Configuration>";
    for (int i = 0; i <= TStockAppXml::kMaxNodes; ++i)
        file += "<a/>";
    file += "</Configuration>";
    WriteBytes(path(), file);
    ExpectRejectedQuickly("many elements");
}

TEST_F(HostileTest, PathThatIsNoRegularFile)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("AppVantor.xml"));
    QElapsedTimer timer;
    timer.start();
    {
        TStockAppXml store(path());
        store.WriteInteger("V", 1);
        store.Flush();
        EXPECT_TRUE(store.FileWasUnreadable());
    }
    EXPECT_TRUE(QFileInfo(path()).isDir());
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});

    // A named pipe with no writer: reading it must not block.
    ASSERT_TRUE(QDir(dir.path()).rmdir("AppVantor.xml"));
    ASSERT_EQ(::mkfifo(cpath().constData(), 0644), 0);
    {
        TStockAppXml store(path());
        store.Reload();
        EXPECT_TRUE(store.FileWasUnreadable());
    }
    EXPECT_LT(timer.elapsed(), kBoundMs);
}


// What lies at a path without following a link: its type and, for a device, its number.
struct TNoeud {
    mode_t type = 0;
    dev_t device = 0;
    bool operator==(const TNoeud&) const = default;
};
TNoeud Noeud(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {static_cast<mode_t>(st.st_mode & S_IFMT), S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? st.st_rdev : 0};
}

// The node a link leads to stays as it is, receives nothing, and nothing appears beside it or in the
// program's folder.
class LinkedNodeTest : public FilesTest {
protected:
    QTemporaryDir outside;

    void SaveThroughTheLink(const QString& node)
    {
        ASSERT_TRUE(QFile::link(node, path()));
        const TNoeud before = Noeud(node);
        QElapsedTimer timer;
        timer.start();
        {
            TStockAppXml store(path());
            EXPECT_TRUE(store.FileWasUnreadable());
            store.WriteInteger("FenetrePrincipale\\EditId_Value", 2);
            store.Flush();
            EXPECT_EQ(store.ReadInteger("FenetrePrincipale\\EditId_Value", 1), 1);
        }
        EXPECT_LT(timer.elapsed(), kBoundMs);
        EXPECT_EQ(Noeud(node), before);
        EXPECT_TRUE(QFileInfo(path()).isSymLink());
        EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
        EXPECT_EQ(FolderEntries(outside.path()), QStringList{QFileInfo(node).fileName()});
    }
};

TEST_F(LinkedNodeTest, FifoOutsideTheFolderIsNeitherReplacedNorWritten)
{
    const QString fifo = outside.filePath("tube");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    // A reader waits on the FIFO: a byte written to it would arrive here.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    SaveThroughTheLink(fifo);
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0);
    ::close(reader);
}

TEST_F(LinkedNodeTest, DeviceNodeIsNeitherReplacedNorWritten)
{
    // A node of its own for the null device, so that a failure cannot harm the real one.
    const QString node = outside.filePath("nul");
    if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "creating a device node is not permitted here";
    SaveThroughTheLink(node);
    EXPECT_EQ(Noeud(node).type, static_cast<mode_t>(S_IFCHR));
}

TEST_F(FilesTest, FifoInTheFolderStaysAFifo)
{
    ASSERT_EQ(::mkfifo(cpath().constData(), 0644), 0);
    {
        TStockAppXml store(path());
        store.WriteInteger("V", 1);
        store.Flush();
        EXPECT_TRUE(store.FileWasUnreadable());
    }
    EXPECT_EQ(Noeud(path()).type, static_cast<mode_t>(S_IFIFO));
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
}

// A regular file read normally is turned into a FIFO before the write (the store does not read
// again): still nothing is written there.
TEST_F(FilesTest, NodeThatChangesBeforeTheWriteIsNotReplaced)
{
    WriteBytes(path(), "<Configuration><V>1</V></Configuration>");
    TStockAppXml store(path());
    store.SetAutoReload(false);
    QFile::remove(path());
    ASSERT_EQ(::mkfifo(cpath().constData(), 0644), 0);
    store.WriteInteger("V", 2);
    store.Flush();
    EXPECT_EQ(Noeud(path()).type, static_cast<mode_t>(S_IFIFO));
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
}

TEST_F(FilesTest, EachUnreadableFileIsKeptUnderANameOfItsOwn)
{
    const QByteArray first = "<Configuration><V>1</V>";
    const QByteArray second = "pas du XML";
    const QByteArray third = QByteArray("\0\1\2", 3);
    const QByteArray sound = Lines({kDeclaration, "<Configuration>", "  <V>9</V>", "</Configuration>"});
    for (const QByteArray& broken : {first, second, third}) {
        WriteBytes(path(), broken);
        TStockAppXml store(path());
        EXPECT_TRUE(store.FileWasUnreadable());
        store.WriteInteger("V", 9);
        EXPECT_EQ(ReadBytes(path()), sound);
    }
    EXPECT_EQ(ReadBytes(path() + ".bad"), first);
    EXPECT_EQ(ReadBytes(path() + ".bad.1"), second);
    EXPECT_EQ(ReadBytes(path() + ".bad.2"), third);
    EXPECT_EQ(FolderEntries(dir.path()),
              (QStringList{"AppVantor.xml", "AppVantor.xml.bad", "AppVantor.xml.bad.1", "AppVantor.xml.bad.2"}));

    // The first free name is taken; a name held by a dangling link is not free either.
    QFile::remove(path() + ".bad.1");
    ASSERT_TRUE(QFile::remove(path() + ".bad"));
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), path() + ".bad"));
    WriteBytes(path(), second);
    {
        TStockAppXml store(path());
        store.WriteInteger("V", 9);
    }
    EXPECT_EQ(ReadBytes(path() + ".bad.1"), second);
    EXPECT_TRUE(QFileInfo(path() + ".bad").isSymLink());
    EXPECT_EQ(ReadBytes(path() + ".bad.2"), third);
}

TEST_F(FilesTest, KeptAsideAsNamesWhereTheFileLies)
{
    WriteBytes(path() + ".bad", "ancien");
    WriteBytes(path(), "pas du XML");
    TStockAppXml store(path());
    EXPECT_TRUE(store.LeavesFileAlone());  // until it is moved aside
    EXPECT_TRUE(store.KeptAsideAs().isEmpty());
    EXPECT_TRUE(store.KeepUnreadableAside());
    EXPECT_EQ(store.KeptAsideAs(), path() + ".bad.1");
    EXPECT_FALSE(store.LeavesFileAlone());
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(ReadBytes(path() + ".bad.1"), "pas du XML");
    EXPECT_EQ(ReadBytes(path() + ".bad"), "ancien");
    // Nothing more to move.
    EXPECT_FALSE(store.KeepUnreadableAside());

    // Read-only: neither moved nor written.
    WriteBytes(path(), "pas du XML");
    ASSERT_EQ(::chmod(cpath().constData(), 0444), 0);
    TStockAppXml readOnly(path());
    EXPECT_FALSE(readOnly.KeepUnreadableAside());
    EXPECT_TRUE(readOnly.KeptAsideAs().isEmpty());
    EXPECT_TRUE(readOnly.LeavesFileAlone());
    EXPECT_EQ(ReadBytes(path()), "pas du XML");
}

// Temporary files of saves that died: the next save removes those that a marker of the program's
// proves to be its own, and nothing else.
class LeftOverTest : public FilesTest {
protected:
    const QDateTime anHourAgo = QDateTime::currentDateTime().addSecs(-3600);

    static void Make(const QString& file, const QDateTime& changed)
    {
        WriteBytes(file, Lines({kDeclaration, "<Configuration/>"}));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(changed, QFileDevice::FileModificationTime));
    }

    // What a save of target that died leaves: the temporary file target + "." + letters, changed
    // at tempChanged, and the marker that names it, changed at markerChanged.
    static void MakeLeftOver(const QString& target, const QString& letters, const QDateTime& tempChanged,
                             const QDateTime& markerChanged)
    {
        const QString temporary = target + "." + letters;
        Make(temporary, tempChanged);
        Make(StockAppFichier::NomMarque(target, Inode(temporary)), markerChanged);
    }

    QString Marker(const QString& letters) const
    {
        return QFileInfo(StockAppFichier::NomMarque(path(), Inode(path() + "." + letters))).fileName();
    }

    // Names a person may give, letters that look random among them, and files of earlier versions.
    const QStringList usersFiles{"AppVantor.xml.BackUp", "AppVantor.xml.backup", "AppVantor.xml.Before",
                                 "AppVantor.xml.BACKUP", "AppVantor.xml.bad",    "AppVantor.xml.AbCdEfG",
                                 "AppVantor.xml.AbCdE",  "AppVantor.xml.Ab-dEf", "AppVantor.xml.QwErTy",
                                 "AppVantor.xml.OldOne", "Autre.xml.hTspEc",     ".AppVantor.xml.a1B2c3"};
};

TEST_F(LeftOverTest, ATemporaryFileOfASaveThatDiedIsRemovedByTheNextSave)
{
    WriteBytes(path(), Lines({kDeclaration, "<Configuration>", "  <V>1</V>", "</Configuration>"}));
    MakeLeftOver(path(), "hTspEc", anHourAgo, anHourAgo);
    // A save that died after its temporary file became the file: the marker names the file.
    Make(StockAppFichier::NomMarque(path(), Inode(path())), anHourAgo);
    ASSERT_EQ(FolderEntries(dir.path()).size(), 4);

    TStockAppXml store(path());
    store.WriteInteger("V", 2);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
    EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Configuration>", "  <V>2</V>", "</Configuration>"}));
}

TEST_F(LeftOverTest, ASaveWithoutChangesClearsThemToo)
{
    const QByteArray file = Lines({kDeclaration, "<Configuration>", "  <V>1</V>", "</Configuration>"});
    WriteBytes(path(), file);
    MakeLeftOver(path(), "ZyXwVu", anHourAgo, anHourAgo);
    TStockAppXml store(path());
    store.WriteInteger("V", 1);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
    EXPECT_EQ(ReadBytes(path()), file);
}

// A save under way in another instance: its marker or its temporary file changed just now, or the
// temporary file locked.
TEST_F(LeftOverTest, TheFilesOfASaveUnderWayAreKept)
{
    WriteBytes(path(), Lines({kDeclaration, "<Configuration/>"}));
    const QDateTime now = QDateTime::currentDateTime();
    MakeLeftOver(path(), "FrEshM", anHourAgo, now);
    MakeLeftOver(path(), "FrEshT", now, anHourAgo);
    MakeLeftOver(path(), "LoCkEd", anHourAgo, anHourAgo);
    const int held = ::open(QFile::encodeName(path() + ".LoCkEd").constData(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    TStockAppXml store(path());
    store.WriteInteger("V", 1);
    ::close(held);

    QStringList expected{"AppVantor.xml",  "AppVantor.xml.FrEshM", Marker("FrEshM"), "AppVantor.xml.FrEshT",
                         Marker("FrEshT"), "AppVantor.xml.LoCkEd", Marker("LoCkEd")};
    expected.sort();
    EXPECT_EQ(FolderEntries(dir.path()), expected);
}

// Whatever their names, files that no marker proves to be the program's survive any number of
// saves; so do a file that a stale marker names under another link too (a person's hard link), a
// link and a folder.
TEST_F(LeftOverTest, OtherFilesSurviveAnyNumberOfSaves)
{
    WriteBytes(path(), Lines({kDeclaration, "<Configuration/>"}));
    for (const QString& name : usersFiles)
        Make(dir.filePath(name), anHourAgo);
    MakeLeftOver(path(), "hTspEc", anHourAgo, anHourAgo);
    ASSERT_EQ(
        ::link(QFile::encodeName(path() + ".hTspEc").constData(), QFile::encodeName(path() + ".HrdLnk").constData()),
        0);
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("cible");
    WriteBytes(target, "garder");
    ASSERT_TRUE(QFile::link(target, path() + ".LiNkEd"));
    Make(StockAppFichier::NomMarque(path(), Inode(path() + ".LiNkEd")), anHourAgo);
    ASSERT_TRUE(QDir(dir.path()).mkdir("AppVantor.xml.DiReCt"));
    const QStringList before = FolderEntries(dir.path());

    TStockAppXml store(path());
    for (int i = 0; i < 20; ++i) {
        store.WriteInteger("V", i);
        ASSERT_EQ(FolderEntries(dir.path()).join(' '), before.join(' ')) << "save " << i;
    }
    EXPECT_EQ(ReadBytes(target), "garder");
    for (const QString& name : usersFiles)
        EXPECT_EQ(ReadBytes(dir.filePath(name)), Lines({kDeclaration, "<Configuration/>"})) << qPrintable(name);
}

TEST_F(LeftOverTest, AnotherUsersFilesAreKept)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file to another user";
    WriteBytes(path(), Lines({kDeclaration, "<Configuration/>"}));
    MakeLeftOver(path(), "hTspEc", anHourAgo, anHourAgo);
    ASSERT_EQ(::chown(QFile::encodeName(dir.filePath("AppVantor.xml.hTspEc")).constData(), 65534, 65534), 0);
    TStockAppXml store(path());
    store.WriteInteger("V", 1);
    EXPECT_EQ(FolderEntries(dir.path()), (QStringList{"AppVantor.xml", "AppVantor.xml.hTspEc", Marker("hTspEc")}));
}

// Through a link the temporary files and markers lie beside the file the link leads to, named
// after it.
TEST_F(LeftOverTest, BesideTheFileALinkLeadsTo)
{
    QTemporaryDir real;
    const QString file = real.filePath("reel.xml");
    WriteBytes(file, Lines({kDeclaration, "<Configuration/>"}));
    ASSERT_TRUE(QFile::link(file, path()));
    MakeLeftOver(file, "hTspEc", anHourAgo, anHourAgo);
    TStockAppXml store(path());
    store.WriteInteger("V", 1);
    EXPECT_EQ(FolderEntries(real.path()), QStringList{"reel.xml"});
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
}

}  // namespace
