// The store when the disk fails it: a file system without space or without inodes left (a small
// tmpfs mounted for the test), and saves killed at any point, atomic ones and those in place in a
// folder that takes no new file. Afterwards the file always holds a whole tree, old or new.
#include "StockAppXml.h"
#include "test_settings_util.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/mount.h>
#include <sys/prctl.h>
#endif

using namespace settings_test;

namespace {

// A file in the program's own layout whose text with V = 1 is 4090 bytes long, just under one
// page: the longer value of a save then needs a second page.
QByteArray FilePageLong(const QString& value)
{
    const auto start = [](const QString& v) {
        // "</Autre>" follows the text on the same line.
        return Lines({kDeclaration, "<Configuration>", "  <V>" + v + "</V>", "  <Autre>"}).chopped(2);
    };
    const QByteArray end = Lines({"</Autre>", "</Configuration>"});
    const qsizetype filling = 4090 - start("1").size() - end.size();
    return start(value) + QByteArray(filling, 'x') + end;
}

// A tmpfs of 1 MiB mounted on a folder of the test, unmounted at the end.
class FullDiskTest : public ::testing::Test {
protected:
    QTemporaryDir base;
    QString mountPoint;
    bool mounted = false;

    bool Mount(const char* options, std::string& why)
    {
#ifdef __linux__
        mountPoint = base.filePath("fs");
        QDir().mkpath(mountPoint);
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, options) != 0) {
            why = std::string("mounting a tmpfs is not permitted here: ") + std::strerror(errno);
            return false;
        }
        mounted = true;
        return true;
#else
        (void)options;
        why = "tmpfs is Linux only";
        return false;
#endif
    }

    void TearDown() override
    {
#ifdef __linux__
        if (mounted)
            ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
#endif
    }

    QString path() const
    {
        return mountPoint + "/AppVantor.xml";
    }

    // Takes every free page of the file system.
    void FillSpace()
    {
        const int fd = ::open(QFile::encodeName(mountPoint + "/filler").constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const QByteArray page(4096, 'f');
        while (::write(fd, page.constData(), page.size()) > 0) {
        }
        ::close(fd);
    }

    // Takes every free inode.
    void FillInodes()
    {
        for (int i = 0;; ++i) {
            const int fd = ::open(QFile::encodeName(mountPoint + QStringLiteral("/n%1").arg(i)).constData(),
                                  O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd < 0) {
                ASSERT_EQ(errno, ENOSPC);
                return;
            }
            ::close(fd);
        }
    }

    void FreeInodes()
    {
        for (const QString& name : FolderEntries(mountPoint))
            if (name.startsWith('n'))
                QFile::remove(mountPoint + "/" + name);
    }
};

TEST_F(FullDiskTest, NoSpaceLeftKeepsThePreviousFileWhole)
{
    std::string why;
    if (!Mount("size=1M", why))
        GTEST_SKIP() << why;
    const QByteArray before = FilePageLong("1");
    ASSERT_EQ(before.size(), 4090);
    WriteBytes(path(), before);
    ASSERT_NO_FATAL_FAILURE(FillSpace());

    TStockAppXml store(path());
    store.WriteInteger("V", -2147483647);
    EXPECT_EQ(ReadBytes(path()), before);
    EXPECT_EQ(FolderEntries(mountPoint), (QStringList{"AppVantor.xml", "filler"}));

    // With room again the same save goes through.
    QFile::remove(mountPoint + "/filler");
    store.WriteInteger("V", -2147483647);
    EXPECT_EQ(ReadBytes(path()), FilePageLong("-2147483647"));
}

TEST_F(FullDiskTest, NoInodeLeftRewritesTheFileInPlace)
{
    std::string why;
    if (!Mount("size=1M,nr_inodes=64", why))
        GTEST_SKIP() << why;
    WriteBytes(path(), FilePageLong("1"));
    const ino_t inode = Inode(path());
    ASSERT_NO_FATAL_FAILURE(FillInodes());

    // No temporary file can be made, but the file itself still takes the longer text.
    TStockAppXml store(path());
    store.WriteInteger("V", -2147483647);
    EXPECT_EQ(ReadBytes(path()), FilePageLong("-2147483647"));
    EXPECT_EQ(Inode(path()), inode);
    // And the shorter one again: cut to length, nothing left behind.
    store.WriteInteger("V", 1);
    EXPECT_EQ(ReadBytes(path()), FilePageLong("1"));
}

TEST_F(FullDiskTest, NeitherInodeNorSpaceLeftKeepsThePreviousFileWhole)
{
    std::string why;
    if (!Mount("size=1M,nr_inodes=64", why))
        GTEST_SKIP() << why;
    const QByteArray before = FilePageLong("1");
    WriteBytes(path(), before);
    ASSERT_NO_FATAL_FAILURE(FillSpace());
    ASSERT_NO_FATAL_FAILURE(FillInodes());

    // The longer text needs a page that is not there: nothing of the old text is touched.
    TStockAppXml store(path());
    store.WriteInteger("V", -2147483647);
    EXPECT_EQ(ReadBytes(path()), before);
    TStockAppXml again(path());
    EXPECT_FALSE(again.FileWasUnreadable());
    EXPECT_EQ(again.ReadInteger("V", 0), 1);

    // A text that fits in the pages the file already has is written.
    store.WriteInteger("V", 7);
    EXPECT_EQ(ReadBytes(path()), FilePageLong("7"));
    FreeInodes();
    EXPECT_EQ(FolderEntries(mountPoint), (QStringList{"AppVantor.xml", "filler"}));
}

// Saves in a loop in a child process, killed at many points. The two values alternate, one short
// and one long, so that the file grows and shrinks at every save.
struct TKillOutcome {
    int rounds = 0;
    int shortTree = 0;
    int longTree = 0;
    QStringList faults;
};

TElementXml TreeWith(const QString& file, const QString& value)
{
    TStockAppXml store(file);
    store.SetAutoReload(false);
    store.SetAutoFlush(false);
    store.WriteInteger("V", value.toInt());
    return store.Root();
}

TKillOutcome KillSavesRepeatedly(const QString& file, bool unprivileged, int rounds)
{
    const TElementXml shortTree = TreeWith(file, "1");
    const TElementXml longTree = TreeWith(file, "-2147483647");
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayUs(0, 400);
    TKillOutcome outcome;
    for (int round = 0; round < rounds; ++round) {
        int ready[2];
        if (::pipe(ready) != 0)
            break;
        const pid_t pid = ::fork();
        if (pid == 0) {
#ifdef __linux__
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
            ::close(ready[0]);
            if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(100);
            TStockAppXml store(file);
            for (int i = 0; i < 1000000; ++i) {
                store.WriteInteger("V", i % 2 ? -2147483647 : 1);
                if (i == 0 && ::write(ready[1], "r", 1) != 1)
                    ::_exit(101);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        const bool started = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        // A kill at a random point of the save loop.
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(delayUs(random));
        while (std::chrono::steady_clock::now() < until) {
        }
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!started) {
            outcome.faults << QStringLiteral("round %1: the child did not start (status %2)").arg(round).arg(status);
            break;
        }
        ++outcome.rounds;
        TStockAppXml check(file);
        const QString text = QString::fromLatin1(ReadBytes(file).toPercentEncoding(" <>/=\"?"));
        if (check.FileWasUnreadable())
            outcome.faults
                << QStringLiteral("round %1: unreadable file (%2): %3").arg(round).arg(check.UnreadableReason(), text);
        else if (check.Root() == shortTree)
            ++outcome.shortTree;
        else if (check.Root() == longTree)
            ++outcome.longTree;
        else
            outcome.faults << QStringLiteral("round %1: another tree: %2").arg(round).arg(text);
        if (outcome.faults.size() > 5)
            break;
    }
    return outcome;
}

// A folder of its own on a RAM file system where there is one: saves are quick there, so the kills
// spread over every step of a save.
QString KillFolderBase()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isDir() ? QStringLiteral("/dev/shm") : QDir::tempPath();
}

constexpr int kKillRounds = 300;

TEST(KilledSave, AtomicSaveLeavesTheOldOrTheNewTree)
{
    QTemporaryDir dir(KillFolderBase() + "/vantor-kill-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("AppVantor.xml");
    WriteBytes(file, Lines({kDeclaration, "<Configuration>", "  <V>1</V>", "  <Autre a=\"b\">texte</Autre>",
                            "</Configuration>"}));
    const TKillOutcome outcome = KillSavesRepeatedly(file, false, kKillRounds);
    EXPECT_TRUE(outcome.faults.isEmpty()) << outcome.faults.join('\n').toStdString();
    EXPECT_EQ(outcome.rounds, kKillRounds);
    EXPECT_GT(outcome.shortTree, 0);
    EXPECT_GT(outcome.longTree, 0);

    // What the killed saves left (markers, temporary files where the file system names them) goes
    // at the next save once it is old enough.
    const QDateTime anHourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString& name : FolderEntries(dir.path())) {
        QFile left(dir.filePath(name));
        ASSERT_TRUE(left.open(QIODevice::ReadWrite)) << qPrintable(name);
        ASSERT_TRUE(left.setFileTime(anHourAgo, QFileDevice::FileModificationTime));
    }
    TStockAppXml(file).Flush();
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
}

// The folder takes no new file (its user may not write there), the file itself may be written: the
// save goes in place. A kill as the save begins must not leave an empty or cut file.
TEST(KilledSave, SaveInPlaceLeavesTheOldOrTheNewTree)
{
    QTemporaryDir dir(KillFolderBase() + "/vantor-kill-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("AppVantor.xml");
    WriteBytes(file, Lines({kDeclaration, "<Configuration>", "  <V>1</V>", "  <Autre a=\"b\">texte</Autre>",
                            "</Configuration>"}));
    const QByteArray folder = QFile::encodeName(dir.path());
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(folder.constData(), 65534, 65534), 0);
        ASSERT_EQ(::chown(QFile::encodeName(file).constData(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    const ino_t inode = Inode(file);

    const TKillOutcome outcome = KillSavesRepeatedly(file, true, kKillRounds);
    ::chmod(folder.constData(), 0755);
    EXPECT_TRUE(outcome.faults.isEmpty()) << outcome.faults.join('\n').toStdString();
    EXPECT_EQ(outcome.rounds, kKillRounds);
    EXPECT_GT(outcome.shortTree, 0);
    EXPECT_GT(outcome.longTree, 0);
    // Written in place all along: the same file, nothing beside it.
    EXPECT_EQ(Inode(file), inode);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
}

}  // namespace
