#include "WidgetsVantorListeImages.h"

#include <utility>

TListeImages::TListeImages(QSize tailleImages, QList<QIcon> images, QObject* parent)
    : QObject(parent), m_taille(tailleImages), m_images(std::move(images))
{
}
