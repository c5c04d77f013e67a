// A simulated line of its own for each test, and vantor-cli run against it.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ProgrammeCli.h"
#include "SimVantor.h"

namespace clitest {

using TJson = nlohmann::json;

// The whole content of a file, empty when it cannot be read.
inline std::string ContenuFichier(const std::string& chemin)
{
    std::ifstream f(chemin, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class TBancCli : public ::testing::Test {
protected:
    explicit TBancCli(vantor::sim::BusOptions options = {}) : bus(options) {}

    // vantor-cli COMMAND --port <the simulated line> ARGS...
    TResultat Cli(const std::string& commande, std::vector<std::string> arguments = {})
    {
        std::vector<std::string> tous{commande, "--port", bus.DevicePath()};
        tous.insert(tous.end(), arguments.begin(), arguments.end());
        return TProgrammeCli::Lance(tous);
    }

    // The first JSON document of the output (one per line; a failure adds a last one).
    static TJson Json(const TResultat& r)
    {
        EXPECT_FALSE(r.sortie.empty()) << r.erreurs;
        return TJson::parse(r.sortie.substr(0, r.sortie.find('\n')));
    }
    static TJson DernierJson(const TResultat& r)
    {
        const auto fin = r.sortie.find_last_not_of('\n');
        const auto debut = r.sortie.rfind('\n', fin);
        return TJson::parse(r.sortie.substr(debut == std::string::npos ? 0 : debut + 1));
    }

    // The frames the line carried, without their CRC, as hex text "01 04 00 00 00 02".
    std::vector<std::string> Trames() const
    {
        std::vector<std::string> pdus;
        for (const auto& trame : bus.ReceivedFrames()) {
            std::string texte;
            for (std::size_t i = 0; i + 2 < trame.size(); ++i) {
                char octet[4];
                std::snprintf(octet, sizeof octet, i ? " %02X" : "%02X", trame[i]);
                texte += octet;
            }
            pdus.push_back(texte);
        }
        return pdus;
    }

    vantor::sim::SimBus bus;
};

}  // namespace clitest
