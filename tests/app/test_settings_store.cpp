// The XML store on its own: file text byte for byte, merging into existing content, integer text
// rules, declarations and encodings, AutoReload and AutoFlush.
#include "StockAppXml.h"
#include "test_settings_util.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>

using namespace settings_test;

namespace {

class StoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("AppVantor.xml"); }
};

TEST_F(StoreTest, WritesOwnLayoutWhenNoFileExists)
{
    TStockAppXml store(path());
    EXPECT_EQ(store.FullName(), path());
    EXPECT_FALSE(store.ValueExists("FenetrePrincipale\\FormVersion"));
    EXPECT_FALSE(QFile::exists(path()));

    store.WriteInteger("FenetrePrincipale\\FormVersion", 0);
    EXPECT_EQ(ReadBytes(path()),
              Lines({kDeclaration, "<Configuration>", "  <FenetrePrincipale>", "    <FormVersion>0</FormVersion>",
                     "  </FenetrePrincipale>", "</Configuration>"}));
    store.WriteInteger("Autre\\Niveau\\Valeur", -42);
    EXPECT_EQ(ReadBytes(path()),
              Lines({kDeclaration, "<Configuration>", "  <FenetrePrincipale>", "    <FormVersion>0</FormVersion>",
                     "  </FenetrePrincipale>", "  <Autre>", "    <Niveau>", "      <Valeur>-42</Valeur>",
                     "    </Niveau>", "  </Autre>", "</Configuration>"}));
    EXPECT_FALSE(store.FileWasUnreadable());
}

TEST_F(StoreTest, EmptyDocumentIsOneSelfClosingRoot)
{
    TStockAppXml store(path());
    store.Flush();
    EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Configuration/>"}));
}

TEST_F(StoreTest, CreatesMissingDirectories)
{
    const QString deep = dir.filePath("a/b/c/AppVantor.xml");
    TStockAppXml store(deep);
    store.WriteInteger("FenetrePrincipale\\EditId_Value", 7);
    EXPECT_EQ(store.ReadInteger("FenetrePrincipale\\EditId_Value", 0), 7);
    EXPECT_TRUE(QFile::exists(deep));
}

TEST_F(StoreTest, IntegerTextRules)
{
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"5", 5},
        {"-12", -12},
        {"0", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"+3", 3},
        {" 7\r\n", 7},
        {"", -1},
        {"abc", -1},
        {"1.5", -1},
        {"0x10", -1},
        {"12abc", -1},
        {"-", -1},
        {"2147483648", -1},
        {"1 2", -1},
    };
    for (const Case& c : cases) {
        WriteBytes(path(), QByteArray("<Configuration><V>") + c.text + "</V></Configuration>");
        TStockAppXml store(path());
        EXPECT_TRUE(store.ValueExists("V")) << c.text;
        EXPECT_EQ(store.ReadInteger("V", 99), c.expected) << "text \"" << c.text << "\"";
    }
    TStockAppXml store(path());
    EXPECT_EQ(store.ReadInteger("Absent", 99), 99);
    EXPECT_EQ(store.ReadInteger("V\\Absent", -7), -7);
}

TEST_F(StoreTest, WritesPlainDecimalText)
{
    TStockAppXml store(path());
    for (int value : {0, -1, 255, INT_MIN, INT_MAX}) {
        store.WriteInteger("V", value);
        EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Configuration>", "  <V>" + QString::number(value) + "</V>",
                                            "</Configuration>"}));
    }
}

TEST_F(StoreTest, PathsNeedEveryEnclosingElement)
{
    WriteBytes(path(), "<Configuration><A><B>1</B></A><C/></Configuration>");
    TStockAppXml store(path());
    EXPECT_TRUE(store.ValueExists("A"));
    EXPECT_TRUE(store.ValueExists("A\\B"));
    EXPECT_TRUE(store.ValueExists("A\\\\B"));
    EXPECT_TRUE(store.ValueExists("C"));
    EXPECT_FALSE(store.ValueExists("B"));
    EXPECT_FALSE(store.ValueExists("C\\B"));
    EXPECT_FALSE(store.ValueExists(""));
    EXPECT_EQ(store.ReadInteger("C", 5), -1);  // empty text is not an integer
}

TEST_F(StoreTest, MergesIntoExistingContent)
{
    WriteBytes(path(),
               "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
               "<!-- edited by hand -->\n"
               "<Configuration lang=\"fr\" note='a &amp; b &lt;c&gt; \"q\"'>\n"
               "\t<Extra x=\"1\"></Extra>\n"
               "<FenetrePrincipale><EditId_Value>9</EditId_Value>"
               "<Autre a=\"b\">x &lt; y &amp; z</Autre></FenetrePrincipale>\n"
               "<Apres>mot</Apres><v:Nom xmlns:v=\"urn:vantor\" v:a=\"1\"><![CDATA[<b>]]></v:Nom>"
               "</Configuration>\n");
    TStockAppXml store(path());
    EXPECT_EQ(store.ReadInteger("FenetrePrincipale\\EditId_Value", 0), 9);
    store.WriteInteger("FenetrePrincipale\\FormVersion", 0);
    store.WriteInteger("FenetrePrincipale\\EditId_Value", 12);
    EXPECT_EQ(ReadBytes(path()),
              Lines({kDeclaration, "<Configuration lang=\"fr\" note=\"a &amp; b &lt;c&gt; &quot;q&quot;\">",
                     "  <Extra x=\"1\"/>", "  <FenetrePrincipale>", "    <EditId_Value>12</EditId_Value>",
                     "    <Autre a=\"b\">x &lt; y &amp; z</Autre>", "    <FormVersion>0</FormVersion>",
                     "  </FenetrePrincipale>", "  <Apres>mot</Apres>",
                     "  <v:Nom xmlns:v=\"urn:vantor\" v:a=\"1\">&lt;b&gt;</v:Nom>", "</Configuration>"}));
}

TEST_F(StoreTest, KeepsTextLineBreaksAndMixedContent)
{
    WriteBytes(path(),
               "<Configuration><M a=\"l1&#10;l2&#9;t\">un\ndeux</M>"
               "<P>avant<E/>apres</P></Configuration>");
    TStockAppXml store(path());
    store.WriteInteger("V", 1);
    const QByteArray written = ReadBytes(path());
    EXPECT_EQ(written, Lines({kDeclaration, "<Configuration>", "  <M a=\"l1&#10;l2&#9;t\">un", "deux</M>",
                              "  <P>avantapres", "    <E/>", "  </P>", "  <V>1</V>", "</Configuration>"}));
    // Reading the written file gives the same document back.
    TStockAppXml again(path());
    again.Reload();
    EXPECT_EQ(again.DocumentText(), written);
}

TEST_F(StoreTest, KeepsDeclarationAndEncodingOfTheFileRead)
{
    // UTF-8: "é" stays two bytes.
    WriteBytes(path(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Configuration n=\"\xC3\xA9\"/>");
    {
        TStockAppXml store(path());
        store.WriteInteger("V", 3);
        EXPECT_EQ(ReadBytes(path()),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Configuration n=\"\xC3\xA9\">\r\n"
                  "  <V>3</V>\r\n</Configuration>\r\n");
    }
    // Latin-1 under another spelling: "é" stays one byte.
    WriteBytes(path(), "<?xml version=\"1.0\" encoding=\"latin1\"?><Configuration n=\"\xE9\"/>");
    {
        TStockAppXml store(path());
        store.WriteInteger("V", 3);
        EXPECT_EQ(ReadBytes(path()),
                  "<?xml version=\"1.0\" encoding=\"latin1\"?>\r\n<Configuration n=\"\xE9\">\r\n"
                  "  <V>3</V>\r\n</Configuration>\r\n");
    }
    // No declaration: the program's own one is written.
    WriteBytes(path(), "<Configuration><V>1</V></Configuration>");
    {
        TStockAppXml store(path());
        store.WriteInteger("V", 2);
        EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Configuration>", "  <V>2</V>", "</Configuration>"}));
    }
}

TEST_F(StoreTest, CharactersOutsideLatin1BecomeReferences)
{
    // A UTF-8 file with a Greek letter, then saved as Latin-1 once its declaration is gone.
    WriteBytes(path(), "<Configuration n=\"\xCE\xA9\">\xCE\xA9</Configuration>");
    TStockAppXml store(path());
    store.Flush();
    EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Configuration n=\"&#937;\">&#937;</Configuration>"}));
    store.Reload();
    EXPECT_EQ(store.Root().text, QString(QChar(0x3A9)));
}

TEST_F(StoreTest, ReloadWithoutFileEmptiesTheDocument)
{
    WriteBytes(path(), "<Configuration a=\"1\"><V>4</V></Configuration>");
    TStockAppXml store(path());
    EXPECT_EQ(store.ReadInteger("V", 0), 4);
    QFile::remove(path());
    store.Reload();
    EXPECT_TRUE(store.Root().children.empty());
    EXPECT_TRUE(store.Root().attributes.empty());
    EXPECT_EQ(store.ReadInteger("V", 0), 0);
}

TEST_F(StoreTest, EachWriteReloadsTheFileFirst)
{
    TStockAppXml store(path());
    store.WriteInteger("A", 1);
    // Another program (or instance) edits the file between two writes.
    WriteBytes(path(), "<Configuration><Autre>x</Autre><A>5</A></Configuration>");
    store.WriteInteger("B", 2);
    EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Configuration>", "  <Autre>x</Autre>", "  <A>5</A>",
                                        "  <B>2</B>", "</Configuration>"}));
    EXPECT_EQ(store.ReadInteger("A", 0), 5);
}

TEST_F(StoreTest, AutoFlushOffKeepsWritesInMemory)
{
    TStockAppXml store(path());
    EXPECT_TRUE(store.AutoReload());
    EXPECT_TRUE(store.AutoFlush());
    store.SetAutoFlush(false);
    store.SetAutoReload(false);
    store.WriteInteger("A", 1);
    store.WriteInteger("B", 2);
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(store.ReadInteger("A", 0), 1);
    store.Flush();
    EXPECT_EQ(ReadBytes(path()),
              Lines({kDeclaration, "<Configuration>", "  <A>1</A>", "  <B>2</B>", "</Configuration>"}));
}

TEST_F(StoreTest, KeepsTheRootNameOfTheFile)
{
    WriteBytes(path(), "<Reglages><V>3</V></Reglages>");
    TStockAppXml store(path());
    EXPECT_EQ(store.ReadInteger("V", 0), 3);
    store.WriteInteger("V", 4);
    EXPECT_EQ(ReadBytes(path()), Lines({kDeclaration, "<Reglages>", "  <V>4</V>", "</Reglages>"}));
}

TEST(StoreNames, ElementNamesReplaceInvalidCharacters)
{
    EXPECT_EQ(TStockAppXml::ValidElementName("ChoixPort_ItemIndex"), "ChoixPort_ItemIndex");
    EXPECT_EQ(TStockAppXml::ValidElementName("a b<c"), "a_b_c");
    EXPECT_EQ(TStockAppXml::ValidElementName("1abc"), "_abc");
    EXPECT_EQ(TStockAppXml::ValidElementName("x-1.y"), "x-1.y");
}

}  // namespace
