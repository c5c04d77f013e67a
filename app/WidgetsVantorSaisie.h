// Number fields of the main window: integer, bounded integer, decimal and hexadecimal spin boxes
// and the read-only displays of the monitoring values.
#pragma once

#include <QDoubleSpinBox>
#include <QSpinBox>

class QKeyEvent;

// Integer spin box (EditId). Text that is not an integer reads as the minimum; the value is
// clamped to the range when set from code and when the field loses focus, not while typing.
class TSpinEntier : public QSpinBox {
    Q_OBJECT

public:
    explicit TSpinEntier(QWidget* parent = nullptr);

    // Puts a text in the field as if it had been typed; value() reads it at once.
    void setText(const QString& texte);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& texte) const override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Integer spin box that replaces a value beyond its range by the nearer limit as soon as the
// text changes (typing 300 into a 1 ... 127 field shows 127).
class TSpinBorne : public TSpinEntier {
    Q_OBJECT

public:
    explicit TSpinBorne(QWidget* parent = nullptr);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
};

// Decimal spin box with a fixed number of decimals that replaces a value beyond its range by
// the nearer limit as soon as the text changes.
class TSpinNumerique : public QDoubleSpinBox {
    Q_OBJECT

public:
    explicit TSpinNumerique(QWidget* parent = nullptr);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
};

// Hexadecimal spin box: uppercase digits, no prefix, no leading zeros, at most two characters.
// Text that is not a number reads as the minimum.
class THexSpin : public QSpinBox {
    Q_OBJECT

public:
    explicit THexSpin(QWidget* parent = nullptr);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& texte) const override;
    QString textFromValue(int valeur) const override;
};

// Read-only display of a decimal value with two decimals, without buttons.
class TAffichage : public QDoubleSpinBox {
    Q_OBJECT

public:
    explicit TAffichage(QWidget* parent = nullptr);
};
