// A corpus of well-formed settings files in several encodings, with and without declaration, whose
// element names, attribute names, texts and attribute values hold characters far outside Latin-1:
// after a save, reading the file again gives the very tree that was read, and a second save
// writes the same bytes.
#include "StockAppXml.h"
#include "test_settings_util.h"

#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace settings_test;

namespace {

// The text of this source file is UTF-8: its string literals are UTF-8 bytes.
QByteArray Encoded(const char* encoding, const char* utf8, bool byteOrderMark = false)
{
    QStringEncoder encoder(encoding,
                           byteOrderMark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    EXPECT_TRUE(encoder.isValid()) << encoding;
    return encoder.encode(QString::fromUtf8(utf8));
}

struct TCas {
    const char* what;
    QByteArray bytes;
};

std::vector<TCas> Corpus()
{
    return {
        {"UTF-8 without declaration, CJK names",
         "<Configuration><名前 属性=\"値\">テキスト</名前><V>1</V></Configuration>"},
        {"UTF-8 without declaration, Greek element and attribute names",
         "<Configuration><Ωμέγα α=\"β γ\">δ</Ωμέγα></Configuration>"},
        {"UTF-8 with byte order mark, no declaration, Cyrillic names",
         "\xEF\xBB\xBF<Конфигурация><Ключ>Значение</Ключ></Конфигурация>"},
        {"UTF-8 declared",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuration><Ключ a=\"ж\">Значение</Ключ>"
         "<FenetrePrincipale><EditId_Value>5</EditId_Value></FenetrePrincipale></Configuration>"},
        {"declaration without encoding, Hangul names, characters beyond the BMP in values",
         "<?xml version=\"1.0\"?><Configuration><한국어 b=\"&#x1F600;𝒳\">&#x1F600;😀</한국어></Configuration>"},
        {"Latin-1 declared, Latin-1 names, references to what Latin-1 cannot hold",
         Encoded("ISO-8859-1",
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Configuration>"
                 "<Clé valeur=\"été &#x3A9;\">àé &#937; &#x4E2D;</Clé></Configuration>")},
        {"windows-1252 declared, a name with a letter outside Latin-1",
         Encoded("windows-1252",
                 "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Configuration>"
                 "<Œuvre prix=\"€ 5\">‰ &#x3A9;</Œuvre></Configuration>")},
        {"UTF-16 declared, with byte order mark",
         "\xFF\xFE"
             + Encoded("UTF-16LE",
                       "<?xml version=\"1.0\" encoding=\"UTF-16\"?><Configuration>"
                       "<名前 属性=\"値\">テキスト</名前></Configuration>")},
        {"UTF-16BE declared, no byte order mark", Encoded("UTF-16BE",
                                                          "<?xml version=\"1.0\" encoding=\"UTF-16BE\"?><Configuration>"
                                                          "<Ωμέγα>δ</Ωμέγα></Configuration>")},
        {"US-ASCII declared, references only",
         "<?xml version=\"1.0\" encoding=\"US-ASCII\"?><Configuration a=\"&#233;\">&#233;&#937;</Configuration>"},
        {"no declaration, Latin-1 names, CDATA with markup and letters outside Latin-1",
         "<Configuration><Données><![CDATA[<b>Ω & ß]]></Données></Configuration>"},
        {"namespaces with prefixes outside Latin-1",
         "<Configuration xmlns:ж=\"urn:ж\"><ж:Элемент ж:атрибут=\"1\"><ж:в/></ж:Элемент></Configuration>"},
        {"blanks, line breaks, quotes and markup characters in values",
         "<Configuration a=\"x&#9;y&#10;z &quot;q&quot; 'é' &lt;&amp;&gt; Ω\">"
         "<T>  début\r\nfin &#13; ]]&gt; Ω  </T></Configuration>"},
    };
}

class EncodingTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("AppVantor.xml"); }
};

TEST_F(EncodingTest, EveryFileOfTheCorpusReadsBackAsTheSameTree)
{
    for (const TCas& cas : Corpus()) {
        SCOPED_TRACE(cas.what);
        WriteBytes(path(), cas.bytes);
        TStockAppXml store(path());
        ASSERT_FALSE(store.FileWasUnreadable()) << qPrintable(store.UnreadableReason());
        const TElementXml read = store.Root();
        store.Flush();
        const QByteArray written = ReadBytes(path());

        TStockAppXml again(path());
        EXPECT_FALSE(again.FileWasUnreadable()) << qPrintable(again.UnreadableReason()) << "\n"
                                                << written.toPercentEncoding(" <>/=\"?").toStdString();
        EXPECT_TRUE(again.Root() == read) << written.toPercentEncoding(" <>/=\"?").toStdString();
        EXPECT_EQ(again.DocumentText(), written);

        // A value written by the program joins the tree; the rest stays as it was.
        again.WriteInteger("FenetrePrincipale\\EditId_Value", 42);
        TStockAppXml third(path());
        EXPECT_FALSE(third.FileWasUnreadable());
        EXPECT_EQ(third.ReadInteger("FenetrePrincipale\\EditId_Value", 0), 42);
        TElementXml expected = read;
        TElementXml* fenetre = expected.Child("FenetrePrincipale");
        if (!fenetre) {
            expected.children.emplace_back();
            fenetre = &expected.children.back();
            fenetre->name = "FenetrePrincipale";
        }
        TElementXml* id = fenetre->Child("EditId_Value");
        if (!id) {
            fenetre->children.emplace_back();
            id = &fenetre->children.back();
            id->name = "EditId_Value";
        }
        id->text = "42";
        EXPECT_TRUE(third.Root() == expected);
    }
}

// Known answers: names outside Latin-1 in a file without declaration make the file UTF-8, with a
// declaration that says so; texts keep their letters. Names in Latin-1 keep the program's own
// Latin-1 declaration and references.
TEST_F(EncodingTest, NamesOutsideLatin1AreWrittenInUtf8)
{
    WriteBytes(path(), "<Configuration><名前 属性=\"値\">テキスト</名前></Configuration>");
    TStockAppXml store(path());
    store.WriteInteger("V", 1);
    EXPECT_EQ(ReadBytes(path()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<Configuration>\r\n"
              "  <名前 属性=\"値\">テキスト</名前>\r\n"
              "  <V>1</V>\r\n"
              "</Configuration>\r\n");

    WriteBytes(path(), "<Configuration><Clé>Ω</Clé></Configuration>");
    TStockAppXml latin(path());
    latin.Flush();
    EXPECT_EQ(ReadBytes(path()), QByteArray(kDeclaration) + "\r\n<Configuration>\r\n  <Cl\xE9>&#937;</Cl\xE9>\r\n"
                                                            "</Configuration>\r\n");
}

// A name that the declared encoding cannot hold (here one the program writes itself) makes the
// file UTF-8 rather than be lost.
TEST_F(EncodingTest, DeclaredEncodingThatCannotHoldANameGivesWayToUtf8)
{
    WriteBytes(path(), "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><Configuration/>");
    TStockAppXml store(path());
    store.WriteInteger(QString::fromUtf8("Ωμέγα"), 3);
    EXPECT_EQ(ReadBytes(path()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<Configuration>\r\n"
              "  <Ωμέγα>3</Ωμέγα>\r\n"
              "</Configuration>\r\n");
    TStockAppXml again(path());
    EXPECT_EQ(again.ReadInteger(QString::fromUtf8("Ωμέγα"), 0), 3);
}

// A file in another encoding than iso-8859-1 and UTF-8 is read whole and written in UTF-8, with a
// declaration that says so: every character it held is kept.
TEST_F(EncodingTest, OtherEncodingsAreWrittenInUtf8)
{
    const std::vector<TCas> others{
        {"UTF-16 with byte order mark",
         Encoded("UTF-16", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><Configuration a=\"é\">€ Ω</Configuration>",
                 true)},
        {"windows-1252", Encoded("windows-1252",
                                 "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Configuration a=\"é\">€ &#937;"
                                 "</Configuration>")},
        {"US-ASCII, references only",
         "<?xml version=\"1.0\" encoding=\"US-ASCII\"?><Configuration a=\"&#233;\">&#8364; &#937;</Configuration>"},
    };
    for (const TCas& cas : others) {
        SCOPED_TRACE(cas.what);
        WriteBytes(path(), cas.bytes);
        TStockAppXml store(path());
        ASSERT_FALSE(store.FileWasUnreadable()) << qPrintable(store.UnreadableReason());
        store.WriteInteger("V", 1);
        EXPECT_EQ(ReadBytes(path()),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                  "<Configuration a=\"é\">€ Ω\r\n"
                  "  <V>1</V>\r\n"
                  "</Configuration>\r\n");
    }
}

}  // namespace
