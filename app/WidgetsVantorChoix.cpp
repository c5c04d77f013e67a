#include "WidgetsVantorChoix.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

TComboChoix::TComboChoix(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    // When the editing of its text ends (the focus leaves the box, its list opens, Return is
    // pressed), an editable QComboBox selects the item that its text names and reports that as
    // picked (activated). Here the box shows a text without a selected item on purpose (the
    // port box: "COM1", the driver's own default), and only the user's picks and edits may
    // select: the line edit's end of editing is kept away from the box.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
    connect(this, &QComboBox::activated, this, &TComboChoix::change);
    connect(lineEdit(), &QLineEdit::textEdited, this, &TComboChoix::TexteEdite);
    // Typed text never gets here: the selection it makes is set with signals blocked.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0 && !m_texteSansChoix.isEmpty())
            setEditText(m_texteSansChoix);
    });
}

void TComboChoix::setTexteSansChoix(const QString& texte)
{
    m_texteSansChoix = texte;
    if (currentIndex() < 0)
        setEditText(texte);
}

void TComboChoix::TexteEdite(const QString& texte)
{
    const int index = findText(texte, Qt::MatchFixedString);
    if (index != currentIndex()) {
        // Selecting an item (or none) rewrites the field: keep what the user typed.
        QLineEdit* edit = lineEdit();
        const int curseur = edit->cursorPosition();
        {
            const QSignalBlocker bloque(this);
            setCurrentIndex(index);
        }
        if (edit->text() != texte) {
            edit->setText(texte);
            edit->setCursorPosition(curseur);
        }
    }
    emit change();
}

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), m_groupe(new QButtonGroup(this))
{
    m_groupe->setExclusive(true);
    connect(m_groupe, &QButtonGroup::idToggled, this, [this](int id, bool coche) {
        if (coche)
            BoutonChoisi(id);
    });
}

QStringList TRadioGroup::items() const
{
    QStringList textes;
    for (const QRadioButton* b : m_boutons)
        textes << b->text();
    return textes;
}

void TRadioGroup::setItems(const QStringList& items)
{
    qDeleteAll(m_boutons);
    m_boutons.clear();
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items.at(i), this);
        b->setObjectName(objectName() + QStringLiteral("_%1").arg(i));
        m_groupe->addButton(b, i);
        m_boutons << b;
        b->show();
    }
    // An index given before the items selects its option now.
    const int index = m_index;
    m_index = -1;
    if (index >= 0 && index < m_boutons.size()) {
        const QSignalBlocker bloque(m_groupe);
        m_boutons.at(index)->setChecked(true);
        m_index = index;
    }
    PlaceBoutons();
}

void TRadioGroup::setItemIndex(int index)
{
    if (m_boutons.isEmpty()) {
        m_index = index;  // applied when the items arrive
        return;
    }
    if (index < 0 || index >= m_boutons.size()) {
        if (m_index < 0)
            return;
        m_groupe->setExclusive(false);
        for (QRadioButton* b : m_boutons)
            b->setChecked(false);
        m_groupe->setExclusive(true);
        m_index = -1;
        emit clicked();
        return;
    }
    m_boutons.at(index)->setChecked(true);
}

QRadioButton* TRadioGroup::bouton(int index) const
{
    return (index >= 0 && index < m_boutons.size()) ? m_boutons.at(index) : nullptr;
}

void TRadioGroup::BoutonChoisi(int index)
{
    if (index == m_index)
        return;
    m_index = index;
    emit clicked();
}

void TRadioGroup::resizeEvent(QResizeEvent* event)
{
    QGroupBox::resizeEvent(event);
    PlaceBoutons();
}

void TRadioGroup::PlaceBoutons()
{
    // The options share the height below the caption evenly, one per row.
    if (m_boutons.isEmpty())
        return;
    const int haut = fontMetrics().height();
    const int disponible = height() - haut - 4;
    const int rang = disponible / static_cast<int>(m_boutons.size());
    for (int i = 0; i < m_boutons.size(); ++i) {
        QRadioButton* b = m_boutons.at(i);
        const int h = b->sizeHint().height();
        b->setGeometry(8, haut + i * rang + (rang - h) / 2, width() - 12, h);
    }
}
