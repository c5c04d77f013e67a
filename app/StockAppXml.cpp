#include "StockAppXml.h"

#include "StockAppFichier.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>

namespace {

const QString kOwnVersion = QStringLiteral("1.0");
const QString kOwnEncoding = QStringLiteral("iso-8859-1");

// Characters an entity may expand to: far above anything a settings file needs, far below what
// an entity expansion attack relies on.
constexpr int kEntityExpansionLimit = 1024;

enum class TCharset { Latin1, Unicode, Other };

// The character set the file is written in, whether a character can be written as it is, and the
// conversion of the finished text.
struct TTarget {
    TCharset charset = TCharset::Latin1;
    QByteArray name;
    // UTF-16 and UTF-32 without a stated byte order start with a byte order mark.
    bool byteOrderMark = false;

    explicit TTarget(const QString& encoding) : name(encoding.toLatin1())
    {
        if (encoding.isEmpty()) {
            charset = TCharset::Unicode;
            return;
        }
        const auto known = QStringConverter::encodingForName(name.constData());
        if (!known) {
            charset = TCharset::Other;
            return;
        }
        charset = *known == QStringConverter::Latin1 ? TCharset::Latin1 : TCharset::Unicode;
        byteOrderMark = *known == QStringConverter::Utf16 || *known == QStringConverter::Utf32;
    }

    bool CanHold(QStringView character) const
    {
        switch (charset) {
        case TCharset::Latin1: return character.size() == 1 && character.at(0).unicode() <= 0xFF;
        case TCharset::Unicode: return true;
        case TCharset::Other: {
            if (character.size() == 1 && character.at(0).unicode() < 0x80)
                return true;
            // Converters of code pages put a substitute in place of what they cannot hold, often
            // without reporting it: only a character that comes back unchanged can be written.
            QStringEncoder encoder(name.constData(), QStringConverter::Flag::Stateless);
            const QByteArray bytes = encoder.encode(character);
            if (!encoder.isValid() || encoder.hasError())
                return false;
            QStringDecoder decoder(name.constData(), QStringConverter::Flag::Stateless);
            const QString back = decoder.decode(bytes);
            return !decoder.hasError() && back == character;
        }
        }
        return false;
    }

    // True when every character of text can be written as it is.
    bool CanHoldAll(QStringView text) const
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i).unicode() < 0x80)
                continue;
            const qsizetype length =
                (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
            if (!CanHold(text.mid(i, length)))
                return false;
            i += length - 1;
        }
        return true;
    }

    QByteArray Encode(const QString& text, bool withMark) const
    {
        if (charset == TCharset::Latin1)
            return text.toLatin1();
        if (!name.isEmpty()) {
            QStringEncoder encoder(name.constData(), withMark && byteOrderMark ? QStringConverter::Flag::WriteBom
                                                                               : QStringConverter::Flag::Default);
            if (encoder.isValid())
                return encoder.encode(text);
        }
        return charset == TCharset::Unicode ? text.toUtf8() : text.toLatin1();
    }
};

// True when every element and attribute name of the tree can be written in the target's charset:
// names, unlike text, cannot be written as character references.
bool NamesFit(const TElementXml& element, const TTarget& target)
{
    if (!target.CanHoldAll(element.name))
        return false;
    for (const auto& attribute : element.attributes)
        if (!target.CanHoldAll(attribute.first))
            return false;
    for (const TElementXml& child : element.children)
        if (!NamesFit(child, target))
            return false;
    return true;
}

// Escapes text or attribute content; characters the file's charset cannot hold become character
// references.
void AppendEscaped(QString& out, const QString& text, bool attribute, const TTarget& target)
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
        if (target.CanHold(character))
            out += character;
        else
            out += QStringLiteral("&#%1;").arg(static_cast<uint>(character.toUcs4().value(0)));
        i += length - 1;
    }
}

void AppendElement(QString& out, const TElementXml& element, int depth, const TTarget& target)
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

    TElementXml root;
    bool rootSeen = false;
    bool declaration = false;
    QString version, encoding;
    std::vector<TElementXml*> open;
    int nodes = 0;

    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            // Reported for every document; only a real declaration carries a version.
            declaration = !reader.documentVersion().isEmpty();
            version = reader.documentVersion().toString();
            encoding = reader.documentEncoding().toString();
            break;
        case QXmlStreamReader::StartElement: {
            if (static_cast<int>(open.size()) >= kMaxDepth) {
                reason = QStringLiteral("elements are nested more than %1 levels deep").arg(kMaxDepth);
                return false;
            }
            const auto attributes = reader.attributes();
            nodes += 1 + static_cast<int>(attributes.size());
            if (nodes > kMaxNodes) {
                reason = QStringLiteral("the file holds more than %1 elements and attributes").arg(kMaxNodes);
                return false;
            }
            TElementXml* element;
            if (open.empty()) {
                root = TElementXml{};
                element = &root;
                rootSeen = true;
            } else {
                open.back()->children.emplace_back();
                element = &open.back()->children.back();
            }
            element->name = reader.qualifiedName().toString();
            element->attributes.reserve(static_cast<size_t>(attributes.size()));
            for (const QXmlStreamAttribute& attribute : attributes)
                element->attributes.emplace_back(attribute.qualifiedName().toString(), attribute.value().toString());
            open.push_back(element);
            break;
        }
        case QXmlStreamReader::EndElement: {
            TElementXml* element = open.back();
            open.pop_back();
            // Between child elements only indentation is expected; keep any real text, trimmed.
            if (!element->children.empty())
                element->text = element->text.trimmed();
            break;
        }
        case QXmlStreamReader::Characters:
            if (!open.empty()) {
                QString& text = open.back()->text;
                if (text.size() + reader.text().size() > kMaxFileSize) {
                    reason = QStringLiteral("the text of an element is too long");
                    return false;
                }
                text += reader.text();
            }
            break;
        default:
            // Comments, processing instructions and the document type are not kept.
            break;
        }
    }
    if (reader.hasError()) {
        reason = QStringLiteral("line %1, column %2: %3")
                     .arg(reader.lineNumber())
                     .arg(reader.columnNumber())
                     .arg(reader.errorString());
        return false;
    }
    if (!rootSeen) {
        reason = QStringLiteral("the file holds no element");
        return false;
    }

    root_ = std::move(root);
    hasDeclaration_ = declaration;
    declVersion_ = version;
    declEncoding_ = encoding;
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
    // A name that the encoding cannot hold would be lost: such a document is written in UTF-8,
    // the encoding a file without declaration is read in.
    if (!NamesFit(root_, TTarget(encoding)))
        encoding = QStringLiteral("UTF-8");
}

QByteArray TStockAppXml::DocumentText() const
{
    QString version, encoding;
    Declaration(version, encoding);
    const TTarget target(encoding);

    QString text;
    text.reserve(512);
    text += QLatin1String("<?xml version=\"") + version + QLatin1Char('"');
    if (!encoding.isEmpty())
        text += QLatin1String(" encoding=\"") + encoding + QLatin1Char('"');
    text += QLatin1String("?>\r\n");
    AppendElement(text, root_, 0, target);
    return target.Encode(text, true);
}

QByteArray TStockAppXml::BlankText() const
{
    QString version, encoding;
    Declaration(version, encoding);
    return TTarget(encoding).Encode(QStringLiteral(" "), false);
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
    // Temporary files of saves that were killed lie beside the file the save replaces.
    StockAppFichier::NettoieTemporaires(StockAppFichier::Cible(fullName_),
                                        QLatin1Char('.') + FileName() + QLatin1Char('.'));
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
