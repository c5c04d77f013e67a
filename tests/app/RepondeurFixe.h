// A line peer for the tests: a pseudo-terminal of its own that answers every request frame, under
// the request's address, with one fixed answer PDU (which may be empty). It stands for sensors
// whose answers the simulator does not produce.
#pragma once

#include <atomic>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

#include "UtilKorvane.h"

namespace vantor::test {

class RepondeurFixe {
public:
    explicit RepondeurFixe(std::vector<std::uint8_t> pdu) : m_pdu(std::move(pdu))
    {
        m_maitre = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_maitre < 0 || grantpt(m_maitre) != 0 || unlockpt(m_maitre) != 0)
            throw std::runtime_error("pseudo-terminal");
        m_chemin = ptsname(m_maitre);
        // A descriptor of the slave side of our own, so that the driver's closes never hang up.
        m_esclave = open(m_chemin.c_str(), O_RDWR | O_NOCTTY);
        termios mode{};
        tcgetattr(m_esclave, &mode);
        cfmakeraw(&mode);
        tcsetattr(m_esclave, TCSANOW, &mode);
        m_fil = std::thread([this] { Sert(); });
    }
    ~RepondeurFixe()
    {
        m_fin = true;
        m_fil.join();
        close(m_esclave);
        close(m_maitre);
    }
    const std::string& Chemin() const { return m_chemin; }
    int Requetes() const { return m_requetes; }
    // The request frames received so far, in order.
    std::vector<std::vector<std::uint8_t>> Trames() const
    {
        std::lock_guard<std::mutex> verrou(m_garde);
        return m_trames;
    }

private:
    void Sert()
    {
        std::vector<std::uint8_t> recu;
        while (!m_fin) {
            pollfd attente{m_maitre, POLLIN, 0};
            // A frame ends with 5 ms of silence.
            const int pret = poll(&attente, 1, 5);
            if (pret > 0 && (attente.revents & POLLIN) != 0) {
                std::uint8_t octets[256];
                const ssize_t n = read(m_maitre, octets, sizeof octets);
                if (n > 0)
                    recu.insert(recu.end(), octets, octets + n);
            } else if (pret == 0 && !recu.empty()) {
                TByteString reponse;
                reponse.reserve(m_pdu.size() + 3);
                reponse.push_back(recu[0]);
                for (std::uint8_t octet : m_pdu)
                    reponse.push_back(octet);
                reponse = AppendCrc(std::move(reponse));
                if (write(m_maitre, reponse.data(), reponse.size()) < 0)
                    return;
                {
                    std::lock_guard<std::mutex> verrou(m_garde);
                    m_trames.push_back(recu);
                }
                ++m_requetes;
                recu.clear();
            }
        }
    }

    std::vector<std::uint8_t> m_pdu;
    int m_maitre = -1;
    int m_esclave = -1;
    std::string m_chemin;
    std::thread m_fil;
    std::atomic<bool> m_fin{false};
    std::atomic<int> m_requetes{0};
    mutable std::mutex m_garde;
    std::vector<std::vector<std::uint8_t>> m_trames;
};

}  // namespace vantor::test
