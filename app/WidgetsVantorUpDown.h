// Up-down control: a pair of arrow buttons attached to the right of an edit field.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// Keeps an integer position within a range, changes it by 1 per click or arrow key, stops at the
// limits, and shows it in the attached field with digit grouping from 1000 on. A number typed
// into the field is taken as the position.
class TUpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int position READ position WRITE setPosition)

public:
    explicit TUpDown(QWidget* parent = nullptr);

    int minimum() const { return m_minimum; }
    void setMinimum(int minimum);
    int maximum() const { return m_maximum; }
    void setMaximum(int maximum);

    // The position; a valid number within the range typed into the attached field counts.
    int position() const;
    void setPosition(int position);

    void setAssocie(QLineEdit* edit);
    QLineEdit* associe() const { return m_associe; }
    QString texteDePosition(int position) const;

    QSize sizeHint() const override { return {15, 21}; }

signals:
    void positionChanged(int position);

protected:
    bool eventFilter(QObject* objet, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Pas(int delta);
    void Affiche();

    QToolButton* m_haut;
    QToolButton* m_bas;
    QLineEdit* m_associe = nullptr;
    int m_minimum = 0;
    int m_maximum = 100;
    mutable int m_position = 0;
};
