// Pictures of the main window that no style offers: drawn once at start-up.
#pragma once

#include <QIcon>
#include <QList>

namespace ImagesVantor {

// The three 16 x 16 images of the bus scan list: 0 a globe, 1 gears, 2 a grey module.
QList<QIcon> ListeImages();

// 18 x 18 button pictures.
QIcon CocheVerte();          // green check mark
QIcon FlechesCirculaires();  // two green circular arrows
QIcon CroixRouge();          // red cross

}  // namespace ImagesVantor
