// Looks up one object of the main window by its object name, with its kind. A name that selects no
// object, more than one object, or an object of another kind throws, so that a misspelt name fails
// the test that uses it, with the name in the message, instead of handing back a null pointer.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <stdexcept>
#include <string>

template <class T>
T* ParNom(const QObject& fenetre, const char* nom)
{
    const QList<QObject*> trouves = fenetre.findChildren<QObject*>(QString::fromLatin1(nom));
    const std::string cite = std::string("\"") + nom + "\"";
    if (trouves.isEmpty())
        throw std::logic_error("the window has no object named " + cite);
    if (trouves.size() > 1)
        throw std::logic_error("the window has " + std::to_string(trouves.size()) + " objects named " + cite);
    T* objet = qobject_cast<T*>(trouves.front());
    if (objet == nullptr)
        throw std::logic_error(cite + " is a " + trouves.front()->metaObject()->className() + ", not a "
                               + T::staticMetaObject.className());
    return objet;
}
