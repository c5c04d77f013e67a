#include "WidgetsVantorVoyants.h"

#include <QPainter>
#include <QRadialGradient>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

TLed::TLed(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground, false);
}

void TLed::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    update();
}

void TLed::setOnColor(const QColor& couleur)
{
    if (couleur == m_onColor)
        return;
    m_onColor = couleur;
    update();
}

void TLed::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF cadre = QRectF(rect()).adjusted(1.0, 1.0, -1.0, -1.0);
    const QColor couleur = displayedColor();
    // A light spot up left gives the lamp its dome.
    QRadialGradient degrade(cadre.center() - QPointF(cadre.width() / 5, cadre.height() / 5), cadre.width() * 0.7);
    degrade.setColorAt(0.0, couleur.lighter(170));
    degrade.setColorAt(0.5, couleur);
    degrade.setColorAt(1.0, couleur.darker(140));
    p.setPen(QPen(QColor(64, 64, 64), 1.0));
    p.setBrush(degrade);
    p.drawEllipse(cadre);
}

TBoutonRond::TBoutonRond(QWidget* parent) : QPushButton(parent)
{
    setText(QString());
    setToolTip(QString());
    setFlat(true);
}

void TBoutonRond::setCouleur(const QColor& couleur)
{
    m_couleur = couleur;
    update();
}

void TBoutonRond::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF cadre = QRectF(rect()).adjusted(1.0, 1.0, -1.0, -1.0);
    if (isDown())
        cadre.translate(0.5, 0.5);
    const QColor fond = isEnabled() ? m_couleur : QColor(160, 160, 160);
    p.setPen(QPen(isDown() ? QColor(32, 32, 32) : QColor(80, 80, 80), 1.0));
    p.setBrush(fond);
    p.drawEllipse(cadre);
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::WindowText), 1.0, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(cadre.adjusted(3.0, 3.0, -3.0, -3.0));
    }
}

TLabelDroite::TLabelDroite(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignTop);
}

void TLabelDroite::setText(const QString& texte)
{
    const int droite = x() + width();  // first column right of the text
    QLabel::setText(texte);
    const QSize taille = sizeHint();
    setGeometry(droite - taille.width(), y(), taille.width(), taille.height());
}
