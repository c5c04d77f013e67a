// A window whose button, clicked, makes an object in a slot of its own; with --fuite the slot
// drops it (a leak of program code called from Qt's signal machinery), otherwise the window
// owns it. Run under LeakSanitizer with the project's suppressions: the leak must be reported
// by this slot's name, and nothing must be reported without it, so that the suppressions hide
// Qt's own allocations and no allocation of the program.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstring>

namespace {

class TSondeFuite : public QWidget {
public:
    explicit TSondeFuite(bool fuite) : fuite_(fuite)
    {
        auto* disposition = new QVBoxLayout(this);
        bouton_ = new QPushButton(QStringLiteral("Clique"), this);
        disposition->addWidget(bouton_);
        connect(bouton_, &QPushButton::clicked, this, &TSondeFuite::Clique);
    }

    QPushButton* Bouton() const { return bouton_; }

    void Clique()
    {
        auto* objet = new QObject;
        objet->setObjectName(QStringLiteral("oublie"));
        if (!fuite_)
            objet->setParent(this);
    }

private:
    bool fuite_;
    QPushButton* bouton_ = nullptr;
};

}  // namespace

int main(int argc, char* argv[])
{
    const bool fuite = argc > 1 && std::strcmp(argv[1], "--fuite") == 0;
    QApplication application(argc, argv);
    TSondeFuite fenetre(fuite);
    fenetre.show();
    if (!QTest::qWaitForWindowExposed(&fenetre))
        return 2;
    QTest::mouseClick(fenetre.Bouton(), Qt::LeftButton);
    QTimer::singleShot(0, &application, &QApplication::quit);
    return application.exec();
}
