#include "WidgetsVantorUpDown.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>

#include <algorithm>

TUpDown::TUpDown(QWidget* parent) : QWidget(parent), m_haut(new QToolButton(this)), m_bas(new QToolButton(this))
{
    for (QToolButton* b : {m_haut, m_bas}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    m_haut->setArrowType(Qt::UpArrow);
    m_bas->setArrowType(Qt::DownArrow);
    connect(m_haut, &QToolButton::clicked, this, [this] { Pas(+1); });
    connect(m_bas, &QToolButton::clicked, this, [this] { Pas(-1); });
}

void TUpDown::setMinimum(int minimum)
{
    m_minimum = minimum;
    m_maximum = std::max(m_maximum, minimum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
}

void TUpDown::setMaximum(int maximum)
{
    m_maximum = maximum;
    m_minimum = std::min(m_minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
}

QString TUpDown::texteDePosition(int position) const
{
    QLocale langue = locale();
    langue.setNumberOptions(langue.numberOptions() & ~QLocale::OmitGroupSeparator);
    return langue.toString(position);
}

int TUpDown::position() const
{
    if (m_associe) {
        const QString texte = m_associe->text().trimmed();
        bool ok = false;
        QLocale langue = locale();
        int valeur = langue.toInt(texte, &ok);
        if (!ok)
            valeur = QLocale::c().toInt(texte, &ok);
        if (ok && valeur >= m_minimum && valeur <= m_maximum)
            m_position = valeur;
    }
    return m_position;
}

void TUpDown::setPosition(int position)
{
    m_position = std::clamp(position, m_minimum, m_maximum);
    Affiche();
    emit positionChanged(m_position);
}

void TUpDown::setAssocie(QLineEdit* edit)
{
    if (m_associe)
        m_associe->removeEventFilter(this);
    m_associe = edit;
    if (m_associe) {
        m_associe->installEventFilter(this);
        Affiche();
    }
}

void TUpDown::Pas(int delta)
{
    const int actuelle = position();
    const int suivante = std::clamp(actuelle + delta, m_minimum, m_maximum);
    if (suivante != actuelle)
        setPosition(suivante);
}

void TUpDown::Affiche()
{
    if (m_associe)
        m_associe->setText(texteDePosition(m_position));
}

bool TUpDown::eventFilter(QObject* objet, QEvent* event)
{
    if (objet == m_associe && event->type() == QEvent::KeyPress && isEnabled()) {
        const auto* touche = static_cast<QKeyEvent*>(event);
        if (touche->key() == Qt::Key_Up) {
            Pas(+1);
            return true;
        }
        if (touche->key() == Qt::Key_Down) {
            Pas(-1);
            return true;
        }
    }
    return QWidget::eventFilter(objet, event);
}

void TUpDown::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int moitie = height() / 2;
    m_haut->setGeometry(0, 0, width(), moitie);
    m_bas->setGeometry(0, moitie, width(), height() - moitie);
}
