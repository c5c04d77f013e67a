#include "StockAppXml.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>
#include <QXmlStreamReader>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kOwnVersion = QStringLiteral("1.0");
const QString kOwnEncoding = QStringLiteral("iso-8859-1");

// Characters an entity may expand to: far above anything a settings file needs, far below what
// an entity expansion attack relies on.
constexpr int kEntityExpansionLimit = 1024;

enum class TCharset { Latin1, Unicode, Other };

// The character set the file is written in, and whether a character can be written as it is.
struct TTarget {
    TCharset charset = TCharset::Latin1;
    QByteArray name;

    explicit TTarget(const QString& encoding) : name(encoding.toLatin1())
    {
        if (encoding.isEmpty()) {
            charset = TCharset::Unicode;
            return;
        }
        const auto known = QStringConverter::encodingForName(name.constData());
        if (!known)
            charset = TCharset::Other;
        else
            charset = *known == QStringConverter::Latin1 ? TCharset::Latin1 : TCharset::Unicode;
    }

    bool CanHold(QStringView character) const
    {
        switch (charset) {
        case TCharset::Latin1: return character.size() == 1 && character.at(0).unicode() <= 0xFF;
        case TCharset::Unicode: return true;
        case TCharset::Other: {
            if (character.size() == 1 && character.at(0).unicode() < 0x80)
                return true;
            QStringEncoder encoder(name.constData(), QStringConverter::Flag::Stateless);
            (void)encoder.encode(character);
            return encoder.isValid() && !encoder.hasError();
        }
        }
        return false;
    }
};

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
        case '"':
            out += attribute ? QLatin1String("&quot;") : QLatin1String("\"");
            continue;
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

bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

// True when the file at path holds exactly these bytes.
bool SameContent(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray current(bytes.size() + 1, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < current.size()) {
        const ssize_t n = ::read(fd, current.data() + got, static_cast<size_t>(current.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    return got == bytes.size() && std::memcmp(current.constData(), bytes.constData(), got) == 0;
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
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
    const QByteArray path = QFile::encodeName(fullName_);
    badFileOnDisk_ = false;
    readOnly_ = false;

    // O_NONBLOCK: a FIFO at the path must not block the program; it is refused below.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        ResetDocument();
        struct stat st {};
        if (error == ENOENT || error == ENOTDIR || ::stat(path.constData(), &st) != 0)
            return;  // no file yet: the first write creates it
        // The file exists but cannot be read: it must not be written over unread.
        readOnly_ = (st.st_mode & 0222) == 0;
        fileWasUnreadable_ = true;
        unreadableReason_ = QString::fromLocal8Bit(::strerror(error));
        badFileOnDisk_ = S_ISREG(st.st_mode);
        return;
    }

    QString reason;
    QByteArray bytes;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = QStringLiteral("the file cannot be examined");
    } else if (readOnly_ = (st.st_mode & 0222) == 0; !S_ISREG(st.st_mode)) {
        reason = QStringLiteral("the path is not a regular file");
    } else if (st.st_size > kMaxFileSize) {
        reason = QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileSize);
    } else {
        // Read at most one byte more than allowed: the file may grow while it is read.
        bytes.resize(static_cast<qsizetype>(st.st_size) + 1);
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
            if (got == bytes.size() && got <= kMaxFileSize)
                bytes.resize(qMin<qsizetype>(got * 2, kMaxFileSize + 1));
        }
        bytes.truncate(got);
        if (got > kMaxFileSize)
            reason = QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileSize);
    }
    ::close(fd);

    if (reason.isEmpty() && ParseDocument(bytes, reason))
        return;

    ResetDocument();
    fileWasUnreadable_ = true;
    unreadableReason_ = reason;
    badFileOnDisk_ = S_ISREG(st.st_mode);
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
                element->attributes.emplace_back(attribute.qualifiedName().toString(),
                                                 attribute.value().toString());
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

QByteArray TStockAppXml::DocumentText() const
{
    QString version = kOwnVersion;
    QString encoding = kOwnEncoding;
    if (hasDeclaration_) {
        version = declVersion_;
        encoding = declEncoding_;
    }
    const TTarget target(encoding);

    QString text;
    text.reserve(512);
    text += QLatin1String("<?xml version=\"") + version + QLatin1Char('"');
    if (!encoding.isEmpty())
        text += QLatin1String(" encoding=\"") + encoding + QLatin1Char('"');
    text += QLatin1String("?>\r\n");
    AppendElement(text, root_, 0, target);

    if (target.charset == TCharset::Latin1)
        return text.toLatin1();
    if (!encoding.isEmpty()) {
        QStringEncoder encoder(target.name.constData());
        if (encoder.isValid())
            return encoder.encode(text);
    }
    return target.charset == TCharset::Unicode ? text.toUtf8() : text.toLatin1();
}

void TStockAppXml::Flush()
{
    if (readOnly_)
        return;
    const QFileInfo info(fullName_);
    QDir().mkpath(info.absolutePath());

    if (badFileOnDisk_) {
        // Keep the unreadable file: nothing may be written over it unless it is safe aside.
        const QByteArray from = QFile::encodeName(fullName_);
        const QByteArray to = QFile::encodeName(fullName_ + QStringLiteral(".bad"));
        if (::rename(from.constData(), to.constData()) != 0)
            return;
        badFileOnDisk_ = false;
    }
    WriteFileAtomically(DocumentText());
}

bool TStockAppXml::WriteFileAtomically(const QByteArray& bytes)
{
    // Write through a symbolic link rather than replacing the link itself.
    QString target = fullName_;
    const QFileInfo link(fullName_);
    if (link.isSymLink()) {
        const QString resolved = link.symLinkTarget();
        if (!resolved.isEmpty())
            target = resolved;
    }
    const QByteArray targetPath = QFile::encodeName(target);

    mode_t mode = NewFileMode();
    struct stat existing {};
    const bool exists = ::stat(targetPath.constData(), &existing) == 0;
    if (exists)
        mode = existing.st_mode & 07777;
    // The file already holds exactly this text (a save without changes): leave it as it is. This
    // spares the disk synchronisation, the costly part of a save.
    if (exists && S_ISREG(existing.st_mode) && existing.st_size == bytes.size() &&
        SameContent(targetPath, bytes))
        return true;

    // Writing in place, as long as the file itself allows it.
    const auto writeInPlace = [&] {
        if (!exists || !S_ISREG(existing.st_mode))
            return false;
        const int inPlace = ::open(targetPath.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (inPlace < 0)
            return false;
        const bool ok = WriteAll(inPlace, bytes) && ::fsync(inPlace) == 0;
        return ::close(inPlace) == 0 && ok;
    };

    QByteArray tempPath = QFile::encodeName(QFileInfo(target).absolutePath()) + "/.AppVantor.xml.XXXXXX";
    const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd < 0)
        return writeInPlace();  // the folder takes no new file
    // The replacement keeps the file's owner and group, so that a save by another user (root, for
    // one) leaves the file writable by those who could write it before. Where the owner cannot be
    // kept, the file is written in place instead.
    if (exists && ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        ::close(fd);
        ::unlink(tempPath.constData());
        return writeInPlace();
    }

    bool ok = WriteAll(fd, bytes);
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempPath.constData(), targetPath.constData()) == 0;
    if (!ok)
        ::unlink(tempPath.constData());
    return ok;
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
