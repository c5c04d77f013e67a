// Selectors of the main window: combo boxes with an editable text and radio groups.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// Drop-down list of fixed items with an editable text field. change() is raised only when the
// user picks an item or edits the text, once per pick or edit, never by setCurrentIndex() from
// code, nor when the focus leaves the box or its list is opened and closed. Typed text selects
// the item it names (case ignored), or no item (index -1) when it names none.
class TComboChoix : public QComboBox {
    Q_OBJECT

public:
    explicit TComboChoix(QWidget* parent = nullptr);

    // The text shown whenever no item is selected by the program (at creation, and when the
    // item index is set to -1 from code): for the port box, the driver's own default port.
    void setTexteSansChoix(const QString& texte);
    QString texteSansChoix() const { return m_texteSansChoix; }

signals:
    void change();

private:
    void TexteEdite(const QString& texte);

    QString m_texteSansChoix;
};

// Framed group with a caption and a vertical list of mutually exclusive options.
// clicked() is raised whenever the selected option changes, by the user or from code.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex)

public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    QStringList items() const;
    void setItems(const QStringList& items);

    // Index of the selected option, -1 when none is.
    int itemIndex() const { return m_index; }
    void setItemIndex(int index);

    QRadioButton* bouton(int index) const;

signals:
    void clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceBoutons();
    void BoutonChoisi(int index);

    QButtonGroup* m_groupe;
    QList<QRadioButton*> m_boutons;
    int m_index = -1;
};
