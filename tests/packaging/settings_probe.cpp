// Saves one value with the program's settings store, in the settings file beside this executable,
// as the program does at close: `settings_probe N` writes N as the stored slave identifier. Prints
// nothing when the file it met was readable, whether or not the save could be made (the store
// reports no failure); status 2 for a missing argument.
#include <cstdio>
#include <cstdlib>

#include "StockAppXml.h"

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 2;
    TStockAppXml store;
    if (store.FileWasUnreadable())
        std::printf("unreadable: %s\n", qPrintable(store.UnreadableReason()));
    store.WriteInteger(QStringLiteral("FenetrePrincipale\\EditId_Value"), std::atoi(argv[1]));
    return 0;
}
