// The main window's settings binding: restores a list of widget properties from the settings
// store when the window is first shown and writes them back when it closes. The window calls
// RestoreSettings() and SaveSettings() from its show, close and destroy handling.
//
// A stored property is named "Widget.Property" and lives in the element "Widget_Property" under
// the base path. Supported properties: ItemIndex of a combo box (-1 for no selection) and Value of
// a spin box (clamped to its range).
#pragma once

#include <QString>
#include <QStringList>

class QWidget;
class TStockAppXml;

class TStockApp {
public:
    TStockApp(TStockAppXml& store, QWidget& window, const QString& basePath = QStringLiteral("FenetrePrincipale\\"),
              const QStringList& storedProps = {QStringLiteral("ChoixPort.ItemIndex"),
                                                QStringLiteral("ChoixParite.ItemIndex"),
                                                QStringLiteral("ChoixBR.ItemIndex"), QStringLiteral("EditId.Value")});

    // Version of the stored layout: stored values are applied only when the file's version is at
    // least this one.
    static constexpr int kFormVersion = 0;

    void RestoreSettings();
    void SaveSettings();

    bool Restored() const { return restored_; }
    bool Saved() const { return saved_; }

    // Path of the element that holds one stored property, e.g. "FenetrePrincipale\ChoixBR_ItemIndex".
    QString ElementPath(const QString& storedProp) const;

private:
    struct TProperty {
        QString widget;
        QString property;
    };
    static TProperty Split(const QString& storedProp);
    bool ReadProperty(const TProperty& prop, int& value) const;
    void WriteProperty(const TProperty& prop, int value) const;

    TStockAppXml& store_;
    QWidget& window_;
    QString basePath_;
    QStringList storedProps_;
    bool restored_ = false;
    bool saved_ = false;
};
