#include "StockAppXml.h"

#include "StockAppFichier.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringConverter>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>

namespace {

const QString kOwnVersion = QStringLiteral("1.0");
const QString kOwnEncoding = QStringLiteral("iso-8859-1");

// Characters an entity may expand to: far above anything a settings file needs, far below what
// an entity expansion attack relies on.
constexpr int kEntityExpansionLimit = 1024;

// The settings file is written in one of the two encodings it needs: iso-8859-1 (the program's
// own declaration) or UTF-8 (which holds every character). A file read in any other encoding
// (windows-1252, UTF-16, US-ASCII, ...: QXmlStreamReader reads whatever it can decode) keeps all
// its content, and is written in UTF-8 with a declaration that says so, as is a document whose
// names Latin-1 cannot hold.
enum class TCharset { Latin1, Utf8 };

// The charset a declared encoding names, or nothing when it names neither of the two. No encoding
// declared means UTF-8, as for the reader.
std::optional<TCharset> CharsetOf(const QString& encoding)
{
    if (encoding.isEmpty())
        return TCharset::Utf8;
    const auto known = QStringConverter::encodingForName(encoding.toLatin1().constData());
    if (known == QStringConverter::Latin1)
        return TCharset::Latin1;
    if (known == QStringConverter::Utf8)
        return TCharset::Utf8;
    return std::nullopt;
}

// True when a character (one UTF-16 unit or a surrogate pair) can be written as it is.
bool CanHold(TCharset charset, QStringView character)
{
    return charset == TCharset::Utf8 || (character.size() == 1 && character.at(0).unicode() <= 0xFF);
}

QByteArray Encode(TCharset charset, const QString& text)
{
    return charset == TCharset::Latin1 ? text.toLatin1() : text.toUtf8();
}

// True when every element and attribute name of the tree is Latin-1: names, unlike text, cannot be
// written as character references.
bool NamesAreLatin1(const TElementXml& element)
{
    const auto latin1 = [](const QString& name) {
        return std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    };
    if (!latin1(element.name))
        return false;
    for (const auto& attribute : element.attributes)
        if (!latin1(attribute.first))
            return false;
    return std::all_of(element.children.begin(), element.children.end(), NamesAreLatin1);
}

// Escapes text or attribute content; characters the file's charset cannot hold become character
// references.
void AppendEscaped(QString& out, const QString& text, bool attribute, TCharset target)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); continue;
        case '<': out += QLatin1String("&lt;"); continue;
        case '>': out += QLatin1String("&gt;"); continue;
        case '"': out += attribute ? QLatin1String("&quot;") : QLatin1String("\""); continue;
        case '\r': out += QLatin1String("&#13;"); continue;
        case '\n':
            // Inside an attribute a raw line break would be read back as a blank.
            out += attribute ? QLatin1String("&#10;") : QLatin1String("\r\n");
            continue;
        case '\t':
            if (attribute) {
                out += QLatin1String("&#9;");
                continue;
            }
            break;
        default: break;
        }
        if (c.unicode() < 0x80) {
            out += c;
            continue;
        }
        const qsizetype length =
            (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        const QStringView character = QStringView(text).mid(i, length);
        if (CanHold(target, character))
            out += character;
        else
            out += QStringLiteral("&#%1;").arg(static_cast<uint>(character.toUcs4().value(0)));
        i += length - 1;
    }
}

void AppendElement(QString& out, const TElementXml& element, int depth, TCharset target)
{
    const QString indent(depth * 2, QLatin1Char(' '));
    out += indent;
    out += QLatin1Char('<');
    out += element.name;
    for (const auto& [name, value] : element.attributes) {
        out += QLatin1Char(' ');
        out += name;
        out += QLatin1String("=\"");
        AppendEscaped(out, value, true, target);
        out += QLatin1Char('"');
    }
    if (element.children.empty()) {
        if (element.text.isEmpty()) {
            out += QLatin1String("/>\r\n");
            return;
        }
        out += QLatin1Char('>');
        AppendEscaped(out, element.text, false, target);
    } else {
        out += QLatin1Char('>');
        // Mixed content: the element's own text stays right after its opening tag.
        AppendEscaped(out, element.text, false, target);
        out += QLatin1String("\r\n");
        for (const TElementXml& child : element.children)
            AppendElement(out, child, depth + 1, target);
        out += indent;
    }
    out += QLatin1String("</");
    out += element.name;
    out += QLatin1String(">\r\n");
}

// The tree of one document as the reader goes through it, within the store's limits.
struct TArbreLu {
    TElementXml racine;
    bool racineVue = false;
    // The declaration as read.
    bool declaration = false;
    QString version;
    QString encodage;
    // Why the document was refused (a limit was passed); empty while it is accepted.
    QString raison;

    // Takes the reader's next token; false once a limit stops the reading.
    bool Prend(QXmlStreamReader& reader)
    {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            // Reported for every document; only a real declaration carries a version.
            declaration = !reader.documentVersion().isEmpty();
            version = reader.documentVersion().toString();
            encodage = reader.documentEncoding().toString();
            return true;
        case QXmlStreamReader::StartElement: return Ouvre(reader);
        case QXmlStreamReader::EndElement: Ferme(); return true;
        case QXmlStreamReader::Characters: return AjouteTexte(reader.text());
        default:
            // Comments, processing instructions and the document type are not kept.
            return true;
        }
    }

private:
    std::vector<TElementXml*> ouverts;
    int noeuds = 0;

    bool Ouvre(const QXmlStreamReader& reader)
    {
        if (static_cast<int>(ouverts.size()) >= TStockAppXml::kMaxDepth) {
            raison = QStringLiteral("elements are nested more than %1 levels deep").arg(TStockAppXml::kMaxDepth);
            return false;
        }
        const auto attributes = reader.attributes();
        noeuds += 1 + static_cast<int>(attributes.size());
        if (noeuds > TStockAppXml::kMaxNodes) {
            raison = QStringLiteral("the file holds more than %1 elements and attributes").arg(TStockAppXml::kMaxNodes);
            return false;
        }
        TElementXml* element;
        if (ouverts.empty()) {
            racine = TElementXml{};
            element = &racine;
            racineVue = true;
        } else {
            ouverts.back()->children.emplace_back();
            element = &ouverts.back()->children.back();
        }
        element->name = reader.qualifiedName().toString();
        element->attributes.reserve(static_cast<size_t>(attributes.size()));
        for (const QXmlStreamAttribute& attribute : attributes)
            element->attributes.emplace_back(attribute.qualifiedName().toString(), attribute.value().toString());
        ouverts.push_back(element);
        return true;
    }

    void Ferme()
    {
        TElementXml* element = ouverts.back();
        ouverts.pop_back();
        // Between child elements only indentation is expected; keep any real text, trimmed.
        if (!element->children.empty())
            element->text = element->text.trimmed();
    }

    bool AjouteTexte(QStringView texte)
    {
        if (ouverts.empty())
            return true;
        QString& text = ouverts.back()->text;
        if (text.size() + texte.size() > TStockAppXml::kMaxFileSize) {
            raison = QStringLiteral("the text of an element is too long");
            return false;
        }
        text += texte;
        return true;
    }
};

QString ExecutableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

}  // namespace

TElementXml* TElementXml::Child(const QString& childName)
{
    for (TElementXml& child : children)
        if (child.name == childName)
            return &child;
    return nullptr;
}

const TElementXml* TElementXml::Child(const QString& childName) const
{
    for (const TElementXml& child : children)
        if (child.name == childName)
            return &child;
    return nullptr;
}

TStockAppXml::TStockAppXml(const QString& fullName)
{
    if (fullName.isEmpty()) {
        QString dir = ExecutableDirectory();
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        fullName_ = dir + FileName();
    } else {
        fullName_ = fullName;
    }
    Reload();
}

void TStockAppXml::ResetDocument()
{
    hasDeclaration_ = false;
    declVersion_.clear();
    declEncoding_.clear();
    root_ = TElementXml{};
    root_.name = RootNodeName();
}

void TStockAppXml::Reload()
{
    using TEtat = StockAppFichier::TLecture::TEtat;
    const StockAppFichier::TLecture lu = StockAppFichier::Lit(fullName_, kMaxFileSize);
    readOnly_ = lu.lectureSeule;
    badFileOnDisk_ = false;
    notAFile_ = false;
    if (lu.etat == TEtat::Absent) {
        ResetDocument();  // no file yet: the first write creates it
        return;
    }
    QString reason = lu.raison;
    if (lu.etat == TEtat::Lu && ParseDocument(lu.octets, reason))
        return;

    // The file exists but is of no use: it must not be written over unread.
    ResetDocument();
    fileWasUnreadable_ = true;
    unreadableReason_ = reason;
    notAFile_ = lu.etat == TEtat::PasUnFichier;
    badFileOnDisk_ = !notAFile_;
}

bool TStockAppXml::ParseDocument(const QByteArray& bytes, QString& reason)
{
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    reader.setEntityExpansionLimit(kEntityExpansionLimit);

    TArbreLu lu;
    while (!reader.atEnd() && lu.Prend(reader)) {
    }
    if (!lu.raison.isEmpty()) {
        reason = lu.raison;
        return false;
    }
    if (reader.hasError()) {
        reason = QStringLiteral("line %1, column %2: %3")
                     .arg(reader.lineNumber())
                     .arg(reader.columnNumber())
                     .arg(reader.errorString());
        return false;
    }
    if (!lu.racineVue) {
        reason = QStringLiteral("the file holds no element");
        return false;
    }

    root_ = std::move(lu.racine);
    hasDeclaration_ = lu.declaration;
    declVersion_ = lu.version;
    declEncoding_ = lu.encodage;
    return true;
}

void TStockAppXml::Declaration(QString& version, QString& encoding) const
{
    version = kOwnVersion;
    encoding = kOwnEncoding;
    if (hasDeclaration_) {
        version = declVersion_;
        encoding = declEncoding_;
    }
    // Another encoding than the two the file is written in, or a name that Latin-1 cannot hold
    // (it would be lost): the document is written in UTF-8, the encoding a file without
    // declaration is read in.
    const std::optional<TCharset> charset = CharsetOf(encoding);
    if (!charset || (*charset == TCharset::Latin1 && !NamesAreLatin1(root_)))
        encoding = QStringLiteral("UTF-8");
}

QByteArray TStockAppXml::DocumentText() const
{
    QString version, encoding;
    Declaration(version, encoding);
    const TCharset charset = CharsetOf(encoding).value_or(TCharset::Utf8);

    QString text;
    text.reserve(512);
    text += QLatin1String("<?xml version=\"") + version + QLatin1Char('"');
    if (!encoding.isEmpty())
        text += QLatin1String(" encoding=\"") + encoding + QLatin1Char('"');
    text += QLatin1String("?>\r\n");
    AppendElement(text, root_, 0, charset);
    return Encode(charset, text);
}

QByteArray TStockAppXml::BlankText() const
{
    // The same byte in iso-8859-1 and in UTF-8.
    return QByteArrayLiteral(" ");
}

bool TStockAppXml::KeepUnreadableAside()
{
    if (readOnly_ || !badFileOnDisk_)
        return false;
    const QString kept = StockAppFichier::MetDeCote(fullName_);
    if (kept.isEmpty())
        return false;
    keptAsideAs_ = kept;
    badFileOnDisk_ = false;
    return true;
}

void TStockAppXml::Flush()
{
    if (readOnly_ || notAFile_)
        return;
    const QFileInfo info(fullName_);
    QDir().mkpath(info.absolutePath());

    // Keep the unreadable file: nothing may be written over it unless it is safe aside.
    if (badFileOnDisk_ && !KeepUnreadableAside())
        return;
    // Temporary files of saves that died lie beside the file the save replaces.
    StockAppFichier::NettoieTemporaires(StockAppFichier::Cible(fullName_));
    StockAppFichier::Ecrit(fullName_, DocumentText(), BlankText());
}

QStringList TStockAppXml::SplitPath(const QString& path)
{
    QStringList names = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (QString& name : names)
        name = ValidElementName(name.trimmed());
    names.removeAll(QString());
    return names;
}

const TElementXml* TStockAppXml::Find(const QString& path) const
{
    const QStringList names = SplitPath(path);
    if (names.isEmpty())
        return nullptr;
    const TElementXml* element = &root_;
    for (const QString& name : names) {
        element = element->Child(name);
        if (!element)
            return nullptr;
    }
    return element;
}

bool TStockAppXml::ValueExists(const QString& path)
{
    if (autoReload_)
        Reload();
    return Find(path) != nullptr;
}

int TStockAppXml::ReadInteger(const QString& path, int defaultValue)
{
    if (autoReload_)
        Reload();
    const TElementXml* element = Find(path);
    if (!element)
        return defaultValue;
    int value = -1;
    if (!ParseInteger(element->text, value))
        return -1;
    return value;
}

void TStockAppXml::WriteInteger(const QString& path, int value)
{
    if (readOnly_)
        return;
    if (autoReload_)
        Reload();
    const QStringList names = SplitPath(path);
    if (names.isEmpty())
        return;
    TElementXml* element = &root_;
    for (const QString& name : names) {
        TElementXml* child = element->Child(name);
        if (!child) {
            element->children.emplace_back();
            child = &element->children.back();
            child->name = name;
        }
        element = child;
    }
    element->text = QString::number(value);
    if (autoFlush_)
        Flush();
}

bool TStockAppXml::ParseInteger(const QString& text, int& value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    qsizetype i = 0;
    if (trimmed.at(0) == QLatin1Char('-') || trimmed.at(0) == QLatin1Char('+'))
        i = 1;
    if (i == trimmed.size())
        return false;
    for (qsizetype k = i; k < trimmed.size(); ++k)
        if (trimmed.at(k) < QLatin1Char('0') || trimmed.at(k) > QLatin1Char('9'))
            return false;
    bool ok = false;
    const int parsed = trimmed.toInt(&ok, 10);
    if (!ok)
        return false;
    value = parsed;
    return true;
}

QString TStockAppXml::ValidElementName(const QString& name)
{
    QString valid = name;
    for (qsizetype i = 0; i < valid.size(); ++i) {
        const QChar c = valid.at(i);
        const bool letter = c.isLetter() || c == QLatin1Char('_');
        const bool inner = c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('.');
        if (!(letter || (i > 0 && inner)))
            valid[i] = QLatin1Char('_');
    }
    return valid;
}
