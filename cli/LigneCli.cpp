#include "LigneCli.h"

#include "EchecCli.h"
#include "LineCodes.h"
#include "korvane.h"

namespace {

int g_adresse = 0;

void OuvrePort()
{
    if (MODBUS_OpenPort() != kResOk)
        throw TEchecCli(kResIoError);
}

void Verifie(TResultCode code)
{
    if (code != kResOk)
        throw TEchecCli(code);
}

}  // namespace

void OuvreLigne(const TOptionsCli& o)
{
    g_adresse = o.id;
    if (o.portIndex >= 0) {
        Verifie(MODBUS_SetupConnect(o.portIndex, o.codeParite, o.codeBaud, o.id > 0 ? o.id : -1));
    } else {
        Verifie(MODBUS_SetupDevice(o.port.c_str()));
        Verifie(MODBUS_SetupConnect(-1, o.codeParite, o.codeBaud, o.id > 0 ? o.id : -1));
    }
    OuvrePort();
}

void FermeLigne()
{
    MODBUS_ClosePort();
}

void ChangeIdentifiant(int id)
{
    Verifie(MODBUS_SetupConnect(-1, -1, -1, id));
    g_adresse = id;
}

int AdresseLigne()
{
    return g_adresse;
}

void ChangeReglageLigne(int codeParite, int codeBaud)
{
    Verifie(MODBUS_SetupConnect(-1, codeParite, codeBaud, -1));
    OuvrePort();
}

void ChangeBaudLigne(int codeBaud)
{
    Verifie(MODBUS_SetupConnect(-1, -1, codeBaud, -1));
    OuvrePort();
}

int CodeBaud(int baud)
{
    return BaudCode(baud).value_or(-1);
}
