#include "WidgetsVantorImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace ImagesVantor {

namespace {

QIcon Dessine(int cote, const std::function<void(QPainter&)>& dessin)
{
    QPixmap image(cote, cote);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        dessin(p);
    }
    return QIcon(image);
}

void Globe(QPainter& p)
{
    const QRectF boule(1.5, 1.5, 13.0, 13.0);
    QRadialGradient mer(QPointF(6.0, 5.0), 9.0);
    mer.setColorAt(0.0, QColor(120, 180, 255));
    mer.setColorAt(1.0, QColor(20, 70, 170));
    p.setPen(QPen(QColor(10, 40, 110), 1.0));
    p.setBrush(mer);
    p.drawEllipse(boule);
    // Meridians and parallels.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(200, 230, 255), 0.8));
    p.drawEllipse(QRectF(5.0, 1.5, 6.0, 13.0));
    p.drawLine(QPointF(8.0, 1.5), QPointF(8.0, 14.5));
    p.drawLine(QPointF(1.5, 8.0), QPointF(14.5, 8.0));
    p.drawLine(QPointF(3.0, 4.5), QPointF(13.0, 4.5));
    p.drawLine(QPointF(3.0, 11.5), QPointF(13.0, 11.5));
}

void Roue(QPainter& p, QPointF centre, double rayon, int dents, const QColor& couleur)
{
    QPainterPath contour;
    for (int i = 0; i < dents * 2; ++i) {
        const double angle = i * M_PI / dents;
        const double r = (i % 2 == 0) ? rayon : rayon * 0.72;
        const QPointF point(centre.x() + r * std::cos(angle), centre.y() + r * std::sin(angle));
        if (i == 0)
            contour.moveTo(point);
        else
            contour.lineTo(point);
    }
    contour.closeSubpath();
    contour.addEllipse(centre, rayon * 0.3, rayon * 0.3);
    contour.setFillRule(Qt::OddEvenFill);
    p.setPen(QPen(couleur.darker(160), 0.8));
    p.setBrush(couleur);
    p.drawPath(contour);
}

void Engrenages(QPainter& p)
{
    Roue(p, QPointF(6.0, 6.0), 5.5, 8, QColor(150, 150, 160));
    Roue(p, QPointF(11.5, 11.0), 4.3, 7, QColor(200, 160, 60));
}

void ModuleGris(QPainter& p)
{
    // A grey box with its connector pins below.
    p.setPen(QPen(QColor(70, 70, 70), 1.0));
    p.setBrush(QColor(170, 170, 170));
    p.drawRoundedRect(QRectF(2.5, 2.5, 11.0, 9.0), 1.5, 1.5);
    p.setBrush(QColor(120, 120, 120));
    p.drawRect(QRectF(4.5, 4.5, 7.0, 3.0));
    p.setPen(QPen(QColor(90, 90, 90), 1.2));
    for (double x : {4.5, 7.0, 9.5, 12.0})
        p.drawLine(QPointF(x, 11.5), QPointF(x, 14.5));
}

void Coche(QPainter& p)
{
    QPen trait(QColor(0, 150, 0), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(trait);
    p.drawPolyline(QPolygonF({QPointF(3.5, 9.5), QPointF(7.5, 14.0), QPointF(15.0, 4.0)}));
}

void Fleche(QPainter& p, double depart)
{
    const QRectF cercle(3.0, 3.0, 12.0, 12.0);
    QPen trait(QColor(0, 150, 0), 2.2, Qt::SolidLine, Qt::FlatCap);
    p.setPen(trait);
    p.setBrush(Qt::NoBrush);
    p.drawArc(cercle, static_cast<int>(depart * 16), 130 * 16);
    // Arrow head at the end of the arc, pointing along it (counter-clockwise).
    const double fin = (depart + 130.0) * M_PI / 180.0;
    const QPointF bout(9.0 + 6.0 * std::cos(fin), 9.0 - 6.0 * std::sin(fin));
    const QPointF tangente(-std::sin(fin), -std::cos(fin));
    const QPointF normale(std::cos(fin), -std::sin(fin));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 150, 0));
    p.drawPolygon(QPolygonF(
        {bout + tangente * 3.5, bout + normale * 3.0 - tangente * 0.5, bout - normale * 3.0 - tangente * 0.5}));
}

void FlechesDoubles(QPainter& p)
{
    Fleche(p, 20.0);
    Fleche(p, 200.0);
}

void Croix(QPainter& p)
{
    QPen trait(QColor(210, 0, 0), 3.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(trait);
    p.drawLine(QPointF(4.0, 4.0), QPointF(14.0, 14.0));
    p.drawLine(QPointF(14.0, 4.0), QPointF(4.0, 14.0));
}

}  // namespace

QList<QIcon> ListeImages()
{
    return {Dessine(16, Globe), Dessine(16, Engrenages), Dessine(16, ModuleGris)};
}

QIcon CocheVerte()
{
    return Dessine(18, Coche);
}

QIcon FlechesCirculaires()
{
    return Dessine(18, FlechesDoubles);
}

QIcon CroixRouge()
{
    return Dessine(18, Croix);
}

}  // namespace ImagesVantor
