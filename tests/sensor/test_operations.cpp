// The shared write operations: the words and registers each request carries, in order, and the
// stop at the first failure.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "OperationsVantor.h"

namespace {

using TEcriture = std::tuple<int, int, int>;  // register, high byte, low byte

struct TEnregistreur {
    std::vector<TEcriture>* ecritures;
    int echecA = -1;  // the call (0-based) that fails, -1: none
    TResultCode operator()(std::uint8_t registre, std::uint8_t haut, std::uint8_t bas) const
    {
        const bool echoue = static_cast<int>(ecritures->size()) == echecA;
        ecritures->emplace_back(registre, haut, bas);
        return echoue ? kResNoAnswer : kResOk;
    }
};

TEST(OperationsVantor, FilterOfFiveHertzKnownWords)
{
    std::vector<TEcriture> e;
    EXPECT_EQ(EcritFiltreSysteme(5.0, TEnregistreur{&e}), kResOk);
    // A is truncated to binary32: 0x3D8A25FD (rounding would give 0x25FE).
    EXPECT_EQ(e, (std::vector<TEcriture>{{64, 0x3D, 0x8A},
                                         {65, 0x25, 0xFD},
                                         {66, 0x41, 0x87},
                                         {67, 0x8D, 0xDE},
                                         {68, 0xC0, 0xC3},
                                         {69, 0xD4, 0x0B}}));
}

TEST(OperationsVantor, StopsAtTheFirstFailureAndKeepsRegistersInEightBits)
{
    std::vector<TEcriture> e;
    EXPECT_EQ(EcritFiltreSysteme(5.0, TEnregistreur{&e, 2}), kResNoAnswer);
    EXPECT_EQ(e.size(), 3u);  // A whole, then the first word of B, which failed
    e.clear();
    EXPECT_EQ(EcritMotsSysteme("11223344", 255, TEnregistreur{&e}), kResOk);
    EXPECT_EQ(e, (std::vector<TEcriture>{{255, 0x11, 0x22}, {0, 0x33, 0x44}}));
    e.clear();
    EXPECT_EQ(EcritMotsSysteme("ABC", 10, TEnregistreur{&e}), kResOk);  // padded to a whole word
    EXPECT_EQ(e, (std::vector<TEcriture>{{10, 0xAB, 0xC0}}));
    e.clear();
    EXPECT_EQ(EcritMotsSysteme("", 64, TEnregistreur{&e}), kResOk);
    EXPECT_TRUE(e.empty());
}

}  // namespace
