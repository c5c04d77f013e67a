// The XML settings store of the main window: an in-memory element tree bound to one file,
// "AppVantor.xml" beside the executable unless told otherwise. Integer values are addressed by a
// path of element names separated by "\", relative to the root element.
//
// Reading uses QXmlStreamReader into a small element tree of our own; writing lays the tree out
// again: declaration line, two-space indentation, self-closing empty elements, CR LF after every
// line. Content that the program does not know (other elements, attributes) is kept. The file is
// written in the encoding it declares when that is iso-8859-1 or UTF-8 (characters Latin-1 cannot
// hold become character references); a file in any other encoding, and one whose names Latin-1
// cannot hold, is written in UTF-8, so that nothing it held is lost.
//
// The file system side is StockAppFichier: a save replaces the file atomically (QSaveFile), or
// rewrites it in place without truncating it first where its folder takes no new file; a file that
// already holds the text to be written is left untouched. A file that is not well-formed XML, too
// large or too deeply nested is treated as unreadable: the store starts empty, remembers the
// reason, and moves the file aside to the first free name among "AppVantor.xml.bad",
// "AppVantor.xml.bad.1", ... before it first writes over it. A path that is not a regular file (a
// directory, a FIFO, a device, also behind a symbolic link) is never written.
#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// One element of the settings document: name, attributes in file order, text, child elements.
struct TElementXml {
    QString name;
    std::vector<std::pair<QString, QString>> attributes;
    QString text;
    std::vector<TElementXml> children;

    TElementXml* Child(const QString& childName);
    const TElementXml* Child(const QString& childName) const;

    friend bool operator==(const TElementXml&, const TElementXml&) = default;
};

class TStockAppXml {
public:
    // fullName: the settings file; empty means FileName() in the directory of the running
    // executable (independent of the working directory). The file is read once here.
    explicit TStockAppXml(const QString& fullName = QString());

    TStockAppXml(const TStockAppXml&) = delete;
    TStockAppXml& operator=(const TStockAppXml&) = delete;

    // The store never writes on its own destruction: its owner calls Flush() when it wants a
    // final write.
    ~TStockAppXml() = default;

    // Settings of the store.
    static QString FileName() { return QStringLiteral("AppVantor.xml"); }
    static QString RootNodeName() { return QStringLiteral("Configuration"); }
    bool AutoReload() const { return autoReload_; }
    void SetAutoReload(bool on) { autoReload_ = on; }
    bool AutoFlush() const { return autoFlush_; }
    void SetAutoFlush(bool on) { autoFlush_ = on; }

    // Reads the file into the document (an empty document when there is no file or the file is
    // unreadable) and re-evaluates the read-only state.
    void Reload();
    // Writes the whole document to the file unless the store is read-only or the path is not a
    // regular file; an unreadable file is moved aside first, temporary files left by saves that
    // died are removed. Failures are dropped: the previous file then stays whole.
    void Flush();

    bool ValueExists(const QString& path);
    int ReadInteger(const QString& path, int defaultValue);
    void WriteInteger(const QString& path, int value);

    QString FullName() const { return fullName_; }
    // True while the file exists and nobody has write permission on it (mode bits).
    bool IsReadOnly() const { return readOnly_; }

    // True once a read met a file that was not usable XML or not a regular file (see
    // UnreadableReason()).
    bool FileWasUnreadable() const { return fileWasUnreadable_; }
    QString UnreadableReason() const { return unreadableReason_; }

    // Moves the unreadable file aside now rather than at the next write (nothing happens when the
    // store is read-only or the last read found no unreadable regular file). Returns true when it
    // was moved; KeptAsideAs() then names where it lies.
    bool KeepUnreadableAside();
    QString KeptAsideAs() const { return keptAsideAs_; }
    // True while the file on disk is to stay as it is: read-only, not a regular file, or unreadable
    // and not moved aside.
    bool LeavesFileAlone() const { return readOnly_ || notAFile_ || badFileOnDisk_; }

    // The document as it stands, and its text as Flush() would write it (for tests and tools).
    const TElementXml& Root() const { return root_; }
    QByteArray DocumentText() const;
    // One blank in the encoding of DocumentText() (the same byte in both): it may follow the text
    // without changing it.
    QByteArray BlankText() const;

    // Conversion rules of the stored values, shared with the binding.
    static bool ParseInteger(const QString& text, int& value);
    static QString ValidElementName(const QString& name);

    // Limits applied to the file before and while it is parsed.
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;
    static constexpr int kMaxDepth = 64;
    static constexpr int kMaxNodes = 10000;

private:
    void ResetDocument();
    bool ParseDocument(const QByteArray& bytes, QString& reason);
    void Declaration(QString& version, QString& encoding) const;
    static QStringList SplitPath(const QString& path);
    const TElementXml* Find(const QString& path) const;

    QString fullName_;
    bool autoReload_ = true;
    bool autoFlush_ = true;
    bool readOnly_ = false;

    // Document: declaration as read (empty when the program's own is used) and root element.
    QString declVersion_;
    QString declEncoding_;
    bool hasDeclaration_ = false;
    TElementXml root_;

    bool fileWasUnreadable_ = false;
    QString unreadableReason_;
    // Set while the file on disk is the unreadable one: it is moved aside before the next write.
    bool badFileOnDisk_ = false;
    // Set while the path leads to something that is not a regular file: never written.
    bool notAFile_ = false;
    QString keptAsideAs_;
};
