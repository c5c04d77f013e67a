// The settings binding on a stand-in window holding the four communication widgets with the
// design values of the main window: restore at first show, save at close, byte for byte.
#include "StockApp.h"
#include "StockAppXml.h"
#include "test_settings_util.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#ifdef __linux__
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

using namespace settings_test;

namespace {

// The four widgets as the window declares them, one of them inside a group box as in the window.
struct StandInWindow {
    QWidget window;
    QComboBox* port;
    QComboBox* parity;
    QComboBox* baud;
    QSpinBox* id;

    StandInWindow()
    {
        auto* group = new QGroupBox(&window);
        port = new QComboBox(group);
        port->setObjectName("ChoixPort");
        port->setEditable(true);
        for (int i = 1; i <= 12; ++i)
            port->addItem(QStringLiteral("COM%1").arg(i));
        port->setCurrentIndex(-1);
        port->setEditText("COM1");
        parity = new QComboBox(group);
        parity->setObjectName("ChoixParite");
        parity->addItems({"Even", "Odd", "No parity"});
        parity->setCurrentIndex(2);
        baud = new QComboBox(group);
        baud->setObjectName("ChoixBR");
        baud->addItems({"2400", "4800", "9600", "19200", "38400", "57600"});
        baud->setCurrentIndex(3);
        id = new QSpinBox(group);
        id->setObjectName("EditId");
        id->setRange(1, 255);
        id->setValue(1);
    }
};

class BindingTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("AppVantor.xml"); }

    // One run of the program: restore at first show, save at close.
    struct Run {
        StandInWindow w;
        TStockAppXml store;
        TStockApp binding;
        explicit Run(const QString& file) : store(file), binding(store, w.window) { store.Reload(); }
    };
};

TEST_F(BindingTest, FirstRunWithoutFileWritesTheTenLineFile)
{
    Run run(path());
    run.binding.RestoreSettings();
    EXPECT_EQ(run.w.port->currentIndex(), -1);
    EXPECT_EQ(run.w.parity->currentIndex(), 2);
    EXPECT_EQ(run.w.baud->currentIndex(), 3);
    EXPECT_EQ(run.w.id->value(), 1);
    EXPECT_FALSE(QFile::exists(path()));
    run.binding.SaveSettings();
    const QByteArray expected =
        "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
        "<Configuration>\r\n"
        "  <FenetrePrincipale>\r\n"
        "    <FormVersion>0</FormVersion>\r\n"
        "    <ChoixPort_ItemIndex>-1</ChoixPort_ItemIndex>\r\n"
        "    <ChoixParite_ItemIndex>2</ChoixParite_ItemIndex>\r\n"
        "    <ChoixBR_ItemIndex>3</ChoixBR_ItemIndex>\r\n"
        "    <EditId_Value>1</EditId_Value>\r\n"
        "  </FenetrePrincipale>\r\n"
        "</Configuration>\r\n";
    EXPECT_EQ(ReadBytes(path()), expected);
    // The final write of the store at the end of the run leaves the same text.
    run.store.Flush();
    EXPECT_EQ(ReadBytes(path()), expected);
}

TEST_F(BindingTest, RestoresTheStoredSelectionsAndValue)
{
    WriteBytes(path(), WindowFile("0", "2", "0", "5", "17"));
    Run run(path());
    QSignalSpy picked(run.w.port, &QComboBox::activated);
    run.binding.RestoreSettings();
    EXPECT_EQ(run.w.port->currentIndex(), 2);
    EXPECT_EQ(run.w.port->currentText(), "COM3");
    EXPECT_EQ(run.w.parity->currentText(), "Even");
    EXPECT_EQ(run.w.baud->currentText(), "57600");
    EXPECT_EQ(run.w.id->value(), 17);
    EXPECT_EQ(run.w.id->text(), "17");
    EXPECT_EQ(picked.count(), 0);
    // Closing without a change writes the same file back.
    run.binding.SaveSettings();
    EXPECT_EQ(ReadBytes(path()), WindowFile("0", "2", "0", "5", "17"));
}

TEST_F(BindingTest, NegativeOrUnreadableVersionRestoresNothing)
{
    for (const char* version : {"-5", "A", "-1"}) {
        WriteBytes(path(), WindowFile(version, "2", "0", "5", "17"));
        Run run(path());
        run.binding.RestoreSettings();
        EXPECT_TRUE(run.binding.Restored());
        EXPECT_EQ(run.w.port->currentIndex(), -1) << version;
        EXPECT_EQ(run.w.parity->currentIndex(), 2) << version;
        EXPECT_EQ(run.w.baud->currentIndex(), 3) << version;
        EXPECT_EQ(run.w.id->value(), 1) << version;
        run.binding.SaveSettings();
        EXPECT_EQ(ReadBytes(path()), WindowFile("0", "-1", "2", "3", "1")) << version;
    }
}

TEST_F(BindingTest, HigherVersionAndMissingVersionStillRestore)
{
    for (const char* version : std::initializer_list<const char*>{"3", nullptr}) {
        QByteArray file = WindowFile("0", "4", "1", "2", "9");
        if (version)
            file.replace("<FormVersion>0<", QByteArray("<FormVersion>") + version + "<");
        else
            file.replace("    <FormVersion>0</FormVersion>\r\n", "");
        WriteBytes(path(), file);
        Run run(path());
        run.binding.RestoreSettings();
        EXPECT_EQ(run.w.port->currentIndex(), 4);
        EXPECT_EQ(run.w.parity->currentIndex(), 1);
        EXPECT_EQ(run.w.baud->currentIndex(), 2);
        EXPECT_EQ(run.w.id->value(), 9);
    }
}

TEST_F(BindingTest, IdentifierIsClampedToItsRange)
{
    const std::pair<const char*, int> cases[] = {{"300", 255}, {"abc", 1}, {"0", 1}, {"-7", 1}, {"255", 255}, {"", 1}};
    for (const auto& [text, expected] : cases) {
        WriteBytes(path(), WindowFile("0", "0", "0", "0", text));
        Run run(path());
        run.binding.RestoreSettings();
        EXPECT_EQ(run.w.id->value(), expected) << text;
        EXPECT_EQ(run.w.id->text(), QString::number(expected)) << text;
    }
}

TEST_F(BindingTest, IndexBeyondTheListLeavesNoSelection)
{
    WriteBytes(path(), WindowFile("0", "12", "-1", "9", "1"));
    Run run(path());
    run.binding.RestoreSettings();
    EXPECT_EQ(run.w.port->currentIndex(), -1);
    EXPECT_EQ(run.w.parity->currentIndex(), -1);
    EXPECT_EQ(run.w.baud->currentIndex(), -1);
    run.binding.SaveSettings();
    EXPECT_EQ(ReadBytes(path()), WindowFile("0", "-1", "-1", "-1", "1"));

    WriteBytes(path(), WindowFile("0", "11", "x", "5", "1"));
    Run next(path());
    next.binding.RestoreSettings();
    EXPECT_EQ(next.w.port->currentText(), "COM12");
    EXPECT_EQ(next.w.parity->currentIndex(), -1);
    EXPECT_EQ(next.w.baud->currentIndex(), 5);
}

TEST_F(BindingTest, MissingElementKeepsItsWidgetAndIsAppendedLast)
{
    QByteArray file = WindowFile("0", "4", "0", "1", "33");
    file.replace("    <ChoixParite_ItemIndex>0</ChoixParite_ItemIndex>\r\n", "");
    WriteBytes(path(), file);
    Run run(path());
    run.binding.RestoreSettings();
    EXPECT_EQ(run.w.port->currentIndex(), 4);
    EXPECT_EQ(run.w.parity->currentText(), "No parity");
    EXPECT_EQ(run.w.baud->currentIndex(), 1);
    EXPECT_EQ(run.w.id->value(), 33);
    run.binding.SaveSettings();
    EXPECT_EQ(ReadBytes(path()),
              Lines({kDeclaration, "<Configuration>", "  <FenetrePrincipale>", "    <FormVersion>0</FormVersion>",
                     "    <ChoixPort_ItemIndex>4</ChoixPort_ItemIndex>", "    <ChoixBR_ItemIndex>1</ChoixBR_ItemIndex>",
                     "    <EditId_Value>33</EditId_Value>", "    <ChoixParite_ItemIndex>2</ChoixParite_ItemIndex>",
                     "  </FenetrePrincipale>", "</Configuration>"}));
}

TEST_F(BindingTest, OtherContentSurvivesASave)
{
    WriteBytes(path(), Lines({kDeclaration, "<Configuration>", "  <Remarque qui=\"moi\">garder</Remarque>",
                              "  <FenetrePrincipale Etat=\"1\">", "    <Divers/>", "    <EditId_Value>5</EditId_Value>",
                              "  </FenetrePrincipale>", "  <Fin/>", "</Configuration>"}));
    Run run(path());
    run.binding.RestoreSettings();
    EXPECT_EQ(run.w.id->value(), 5);
    run.w.baud->setCurrentIndex(0);
    run.binding.SaveSettings();
    EXPECT_EQ(
        ReadBytes(path()),
        Lines({kDeclaration, "<Configuration>", "  <Remarque qui=\"moi\">garder</Remarque>",
               "  <FenetrePrincipale Etat=\"1\">", "    <Divers/>", "    <EditId_Value>5</EditId_Value>",
               "    <FormVersion>0</FormVersion>", "    <ChoixPort_ItemIndex>-1</ChoixPort_ItemIndex>",
               "    <ChoixParite_ItemIndex>2</ChoixParite_ItemIndex>", "    <ChoixBR_ItemIndex>0</ChoixBR_ItemIndex>",
               "  </FenetrePrincipale>", "  <Fin/>", "</Configuration>"}));
}

TEST_F(BindingTest, MissingFenetrePrincipaleIsAppendedToTheRoot)
{
    WriteBytes(path(), Lines({kDeclaration, "<Configuration>", "  <Autre>1</Autre>", "</Configuration>"}));
    Run run(path());
    run.binding.RestoreSettings();
    run.binding.SaveSettings();
    QByteArray expected = WindowFile("0", "-1", "2", "3", "1");
    expected.replace("<Configuration>\r\n", "<Configuration>\r\n  <Autre>1</Autre>\r\n");
    EXPECT_EQ(ReadBytes(path()), expected);
}

TEST_F(BindingTest, MarksFollowRestoreAndSave)
{
    Run run(path());
    EXPECT_FALSE(run.binding.Restored());
    EXPECT_FALSE(run.binding.Saved());
    run.binding.RestoreSettings();
    EXPECT_TRUE(run.binding.Restored());
    EXPECT_FALSE(run.binding.Saved());
    run.binding.SaveSettings();
    EXPECT_TRUE(run.binding.Saved());
    run.binding.RestoreSettings();
    EXPECT_TRUE(run.binding.Restored());
    EXPECT_FALSE(run.binding.Saved());
}

TEST_F(BindingTest, SaveIsOneMergedUpdateThatHonoursTheStoreSettings)
{
    WriteBytes(path(), Lines({kDeclaration, "<Configuration>", "  <Autre>1</Autre>", "</Configuration>"}));
    Run run(path());
    run.binding.RestoreSettings();
    // Written after the restore by someone else: the save reads the file again and keeps it.
    WriteBytes(path(), Lines({kDeclaration, "<Configuration>", "  <Nouveau/>", "</Configuration>"}));
    run.w.id->setValue(42);
    run.binding.SaveSettings();
    QByteArray expected = WindowFile("0", "-1", "2", "3", "42");
    expected.replace("<Configuration>\r\n", "<Configuration>\r\n  <Nouveau/>\r\n");
    EXPECT_EQ(ReadBytes(path()), expected);
    EXPECT_TRUE(run.store.AutoReload());
    EXPECT_TRUE(run.store.AutoFlush());

    // Without AutoFlush the values only reach the document; without AutoReload the file is not
    // read again first.
    run.store.SetAutoFlush(false);
    run.store.SetAutoReload(false);
    WriteBytes(path(), Lines({kDeclaration, "<Configuration/>"}));
    run.w.id->setValue(43);
    run.binding.SaveSettings();
    EXPECT_FALSE(run.store.AutoReload());
    EXPECT_FALSE(run.store.AutoFlush());
    EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Configuration/>"}));
    run.store.Flush();
    expected.replace("<EditId_Value>42<", "<EditId_Value>43<");
    EXPECT_EQ(ReadBytes(path()), expected);
}

TEST_F(BindingTest, ReadOnlyFileIsRestoredButNeverWritten)
{
    const QByteArray file = WindowFile("0", "6", "1", "4", "8");
    WriteBytes(path(), file);
    ASSERT_TRUE(MakeReadOnly(path()));
    Run run(path());
    run.binding.RestoreSettings();
    EXPECT_TRUE(run.store.IsReadOnly());
    EXPECT_EQ(run.w.port->currentIndex(), 6);
    EXPECT_EQ(run.w.id->value(), 8);
    run.w.id->setValue(99);
    run.binding.SaveSettings();
    run.store.Flush();
    EXPECT_TRUE(run.binding.Saved());
    EXPECT_EQ(ReadBytes(path()), file);
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{"AppVantor.xml"});
}

TEST_F(BindingTest, StoredPropertyNamesFollowTheNamingRule)
{
    WriteBytes(path(), Lines({kDeclaration, "<Configuration>", "  <Reglages>",
                              "    <ChoixBR_ItemIndex>1</ChoixBR_ItemIndex>", "  </Reglages>", "</Configuration>"}));
    StandInWindow w;
    TStockAppXml store(path());
    TStockApp binding(store, w.window, "Reglages", {" ChoixBR . ItemIndex ", "Absent.ItemIndex", "EditId.Inconnue"});
    EXPECT_EQ(binding.ElementPath(" ChoixBR . ItemIndex "), "Reglages\\ChoixBR_ItemIndex");
    binding.RestoreSettings();
    EXPECT_EQ(w.baud->currentIndex(), 1);
    w.baud->setCurrentIndex(4);
    binding.SaveSettings();
    EXPECT_EQ(ReadBytes(path()),
              Lines({kDeclaration, "<Configuration>", "  <Reglages>", "    <ChoixBR_ItemIndex>4</ChoixBR_ItemIndex>",
                     "    <FormVersion>0</FormVersion>", "  </Reglages>", "</Configuration>"}));
}

#ifdef __linux__
// Counts the opens of one file, as the kernel reports them.
class OpenCounter {
public:
    explicit OpenCounter(const QString& file) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (fd_ >= 0)
            // Closes too: the kernel merges an event into an identical one that is still unread.
            ::inotify_add_watch(fd_, QFile::encodeName(file).constData(), IN_OPEN | IN_CLOSE);
    }
    ~OpenCounter()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Valid() const { return fd_ >= 0; }
    // Opens since the last call.
    int Take()
    {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                return opens;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_OPEN)
                    ++opens;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int fd_;
};

// A restore looks up nine values and reads the file once for them; a save reads it once and
// compares it once with the text to write.
TEST_F(BindingTest, RestoreReadsTheFileOnce)
{
    WriteBytes(path(), WindowFile("0", "2", "0", "5", "17"));
    Run run(path());
    OpenCounter opens(path());
    ASSERT_TRUE(opens.Valid());
    opens.Take();
    run.binding.RestoreSettings();
    EXPECT_EQ(opens.Take(), 1);
    EXPECT_EQ(run.w.port->currentIndex(), 2);
    EXPECT_EQ(run.w.id->value(), 17);
    EXPECT_TRUE(run.store.AutoReload());
    run.binding.SaveSettings();
    EXPECT_EQ(opens.Take(), 2);

    // Without AutoReload the restore does not read at all.
    run.store.SetAutoReload(false);
    run.binding.RestoreSettings();
    EXPECT_EQ(opens.Take(), 0);
    EXPECT_FALSE(run.store.AutoReload());
}
#endif

// The default file lies beside the executable whatever the working directory is. This test
// program has a folder of its own in the build tree, so nothing else uses that file.
TEST(BindingDefaultPath, FileBesideTheExecutableFromAnyWorkingDirectory)
{
    const QString besideExe = QCoreApplication::applicationDirPath() + "/AppVantor.xml";
    QFile::remove(besideExe);
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    {
        TStockAppXml store;
        EXPECT_EQ(store.FullName(), besideExe);
        StandInWindow w;
        TStockApp binding(store, w.window);
        store.Reload();
        binding.RestoreSettings();
        w.port->setCurrentIndex(7);
        binding.SaveSettings();
    }
    EXPECT_TRUE(FolderEntries(elsewhere.path()).isEmpty());
    EXPECT_EQ(ReadBytes(besideExe), WindowFile("0", "7", "2", "3", "1"));

    // A second run started from yet another folder finds the same file.
    QTemporaryDir third;
    ASSERT_TRUE(QDir::setCurrent(third.path()));
    {
        TStockAppXml store;
        StandInWindow w;
        TStockApp binding(store, w.window);
        store.Reload();
        binding.RestoreSettings();
        EXPECT_EQ(w.port->currentText(), "COM8");
    }
    QDir::setCurrent(previous);
    EXPECT_TRUE(QFile::remove(besideExe));
}

}  // namespace
