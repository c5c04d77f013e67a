// Image list of the main window: a non-visual member that holds pictures of one size, by index.
#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QSize>

class TListeImages : public QObject {
    Q_OBJECT
    Q_PROPERTY(int count READ count CONSTANT)
    Q_PROPERTY(QSize tailleImages READ tailleImages CONSTANT)

public:
    TListeImages(QSize tailleImages, QList<QIcon> images, QObject* parent = nullptr);

    int count() const { return static_cast<int>(m_images.size()); }
    QSize tailleImages() const { return m_taille; }
    // The picture at this index; a null icon when there is none.
    QIcon image(int index) const { return m_images.value(index); }
    const QList<QIcon>& images() const { return m_images; }

private:
    QSize m_taille;
    QList<QIcon> m_images;
};
