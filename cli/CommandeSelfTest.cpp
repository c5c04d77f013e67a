// selftest: runs the sensor's self test and watches the status word's self-test bits.
#include "AutoTestCli.h"
#include "Commandes.h"
#include "LigneCli.h"
#include "Plateforme.h"
#include "RenduCli.h"

int CommandeSelfTest(const TOptionsCli& o, TSortieCli& sortie)
{
    InstalleInterruption();
    const auto delai = o.delaiMs > 0 ? std::chrono::milliseconds(o.delaiMs) : kDelaiAutoTest;
    TAutoTest t;
    {
        const TLigneOuverte ligne(o);
        t = LanceAutoTest(delai);
    }

    if (sortie.Json()) {
        sortie.Ecrit(TJson{{"command", "selftest"},
                           {"line", JsonLigne(o)},
                           {"pass", t.reussi},
                           {"bits_seen", t.vu},
                           {"duration_ms", t.duree.count()},
                           {"status", TexteMot(t.etat)}});
    } else {
        sortie.Ligne("self test     " + sortie.Verdict(t.reussi) + " (" + std::to_string(t.duree.count())
                     + " ms, status " + TexteMot(t.etat) + ")");
    }
    if (!t.reussi)
        throw TEchecCli("self test failed: the sensitive element test bits are still set after "
                        + std::to_string(t.duree.count()) + " ms");
    return 0;
}
