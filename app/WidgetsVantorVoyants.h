// Small drawn widgets of the main window: LED lamps, round read/write buttons and large
// right-aligned value labels.
#pragma once

#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

// Round lamp, 17 x 17: its on-colour when active, teal when not.
class TLed : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool active READ isActive WRITE setActive)
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)

public:
    static inline const QColor kCouleurEteinte{0, 128, 128};  // teal
    static inline const QColor kCouleurAllumee{0, 255, 0};    // lime

    explicit TLed(QWidget* parent = nullptr);

    bool isActive() const { return m_active; }
    void setActive(bool active);
    QColor onColor() const { return m_onColor; }
    void setOnColor(const QColor& couleur);
    // The colour drawn: the on-colour when active, teal otherwise.
    QColor displayedColor() const { return m_active ? m_onColor : kCouleurEteinte; }

    QSize sizeHint() const override { return {17, 17}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_active = false;
    QColor m_onColor = kCouleurAllumee;
};

// Small round button without caption, filled with one solid colour that does not change when
// the mouse is over it.
class TBoutonRond : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QColor couleur READ couleur WRITE setCouleur)

public:
    explicit TBoutonRond(QWidget* parent = nullptr);

    QColor couleur() const { return m_couleur; }
    void setCouleur(const QColor& couleur);

    QSize sizeHint() const override { return {17, 17}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_couleur{0, 128, 0};
};

// Right-aligned label that keeps its right edge when its text changes: it grows to the left.
class TLabelDroite : public QLabel {
    Q_OBJECT

public:
    explicit TLabelDroite(QWidget* parent = nullptr);

    void setText(const QString& texte);
};
