#include "StockApp.h"

#include "StockAppXml.h"

#include <QComboBox>
#include <QSpinBox>
#include <QWidget>

TStockApp::TStockApp(TStockAppXml& store, QWidget& window, const QString& basePath, const QStringList& storedProps)
    : store_(store), window_(window), basePath_(basePath), storedProps_(storedProps)
{
    if (!basePath_.isEmpty() && !basePath_.endsWith(QLatin1Char('\\')))
        basePath_ += QLatin1Char('\\');
}

TStockApp::TProperty TStockApp::Split(const QString& storedProp)
{
    const qsizetype dot = storedProp.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return {storedProp.trimmed(), QString()};
    return {storedProp.left(dot).trimmed(), storedProp.mid(dot + 1).trimmed()};
}

QString TStockApp::ElementPath(const QString& storedProp) const
{
    const TProperty prop = Split(storedProp);
    return basePath_ + TStockAppXml::ValidElementName(prop.widget + QLatin1Char('_') + prop.property);
}

bool TStockApp::ReadProperty(const TProperty& prop, int& value) const
{
    QWidget* widget = window_.findChild<QWidget*>(prop.widget);
    if (!widget)
        return false;
    if (prop.property == QLatin1String("ItemIndex")) {
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            value = combo->currentIndex();
            return true;
        }
    } else if (prop.property == QLatin1String("Value")) {
        if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
            value = spin->value();
            return true;
        }
    }
    return false;
}

void TStockApp::WriteProperty(const TProperty& prop, int value) const
{
    QWidget* widget = window_.findChild<QWidget*>(prop.widget);
    if (!widget)
        return;
    if (prop.property == QLatin1String("ItemIndex")) {
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // Selecting from code: the combo box's user "change" signal stays silent.
            combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : -1);
        }
    } else if (prop.property == QLatin1String("Value")) {
        if (auto* spin = qobject_cast<QSpinBox*>(widget))
            spin->setValue(qBound(spin->minimum(), value, spin->maximum()));
    }
}

void TStockApp::RestoreSettings()
{
    // The restore reads the file once: its nine look-ups see the file as it stands at that moment,
    // exactly as nine reads of an unchanged file would.
    const bool autoReload = store_.AutoReload();
    if (autoReload)
        store_.Reload();
    store_.SetAutoReload(false);

    saved_ = false;
    const int version = store_.ReadInteger(basePath_ + QStringLiteral("FormVersion"), kFormVersion);
    if (version >= kFormVersion) {
        for (const QString& storedProp : storedProps_) {
            const QString path = ElementPath(storedProp);
            if (!store_.ValueExists(path))
                continue;
            WriteProperty(Split(storedProp), store_.ReadInteger(path, 0));
        }
    }
    store_.SetAutoReload(autoReload);
    restored_ = true;
}

void TStockApp::SaveSettings()
{
    // The five values make one merged update of the file: it is read once, the values are set one
    // after the other, and it is written once. The file ends exactly as with five separate
    // read-change-write steps, but with one disk synchronisation instead of five.
    const bool autoReload = store_.AutoReload();
    const bool autoFlush = store_.AutoFlush();
    if (autoReload)
        store_.Reload();
    store_.SetAutoReload(false);
    store_.SetAutoFlush(false);

    store_.WriteInteger(basePath_ + QStringLiteral("FormVersion"), kFormVersion);
    for (const QString& storedProp : storedProps_) {
        int value = 0;
        if (ReadProperty(Split(storedProp), value))
            store_.WriteInteger(ElementPath(storedProp), value);
    }

    store_.SetAutoReload(autoReload);
    store_.SetAutoFlush(autoFlush);
    if (autoFlush)
        store_.Flush();
    saved_ = true;
}
