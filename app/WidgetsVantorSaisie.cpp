#include "WidgetsVantorSaisie.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace {

// Reads a whole text as a signed decimal integer.
bool LitEntier(const QString& texte, int& valeur)
{
    bool ok = false;
    valeur = texte.trimmed().toInt(&ok, 10);
    return ok;
}

// A printable key that cannot be part of an integer (letters, punctuation).
bool CaractereRefuse(const QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString texte = event->text();
    if (texte.size() != 1 || !texte.at(0).isPrint())
        return false;
    const QChar c = texte.at(0);
    return !(c.isDigit() || c == u'-' || c == u'+');
}

}  // namespace

TSpinEntier::TSpinEntier(QWidget* parent) : QSpinBox(parent) {}

void TSpinEntier::setText(const QString& texte)
{
    lineEdit()->setText(texte);
}

QValidator::State TSpinEntier::validate(QString&, int&) const
{
    // Every text is accepted while typing: what is not an integer reads as the minimum, and
    // the range is applied when the field is left.
    return QValidator::Acceptable;
}

int TSpinEntier::valueFromText(const QString& texte) const
{
    int valeur = 0;
    if (!LitEntier(texte, valeur))
        return minimum();
    return std::clamp(valeur, minimum(), maximum());
}

void TSpinEntier::keyPressEvent(QKeyEvent* event)
{
    if (CaractereRefuse(event)) {
        event->accept();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

TSpinBorne::TSpinBorne(QWidget* parent) : TSpinEntier(parent) {}

QValidator::State TSpinBorne::validate(QString& input, int& pos) const
{
    int valeur = 0;
    if (LitEntier(input, valeur) && (valeur < minimum() || valeur > maximum())) {
        input = QString::number(std::clamp(valeur, minimum(), maximum()));
        pos = static_cast<int>(input.size());
    }
    return QValidator::Acceptable;
}

TSpinNumerique::TSpinNumerique(QWidget* parent) : QDoubleSpinBox(parent) {}

QValidator::State TSpinNumerique::validate(QString& input, int& pos) const
{
    bool ok = false;
    const double valeur = locale().toDouble(input.trimmed(), &ok);
    if (ok && (valeur < minimum() || valeur > maximum())) {
        input = textFromValue(std::clamp(valeur, minimum(), maximum()));
        pos = static_cast<int>(input.size());
        return QValidator::Acceptable;
    }
    return QDoubleSpinBox::validate(input, pos);
}

THexSpin::THexSpin(QWidget* parent) : QSpinBox(parent)
{
    setDisplayIntegerBase(16);
    lineEdit()->setMaxLength(2);
}

QValidator::State THexSpin::validate(QString& input, int&) const
{
    input = input.toUpper();
    for (const QChar c : input) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')))
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

int THexSpin::valueFromText(const QString& texte) const
{
    bool ok = false;
    const int valeur = texte.trimmed().toInt(&ok, 16);
    if (!ok)
        return minimum();
    return std::clamp(valeur, minimum(), maximum());
}

QString THexSpin::textFromValue(int valeur) const
{
    return QString::number(valeur, 16).toUpper();
}

TAffichage::TAffichage(QWidget* parent) : QDoubleSpinBox(parent)
{
    setReadOnly(true);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setDecimals(2);
    setRange(-1e15, 1e15);
}
