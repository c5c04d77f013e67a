// The Linux side of the Windows tests: pseudo-terminals linked into the Wine prefix as COM
// ports, played by TPeerPty, and a control channel on loopback TCP through which the Windows
// test program says what each port's peer does. The peer starts the test program itself
// (everything after "--"), tells it the control port in VANTOR_PEER_PORT, and ends with the
// program's exit status.
//
//   korvane_wine_peer --dosdevices <prefix>/dosdevices --com 5 [--com 6 ...] -- wine test.exe
//
// Commands, one line each, answered with one line ("-" stands for no bytes):
//   serve N COUNT HEX   on COM N, read COUNT bytes, then send HEX (nothing for "-"); at once "ok"
//   echo N COUNT HEX    the same, but send back what was read followed by HEX
//   join N              wait for the last serve/echo of COM N; the bytes it read
//   drain N             what the driver wrote and the peer has not read yet
//   receive N COUNT MS  up to COUNT bytes within MS milliseconds
//   send N HEX          send HEX now; "ok"
//   answer N COUNT HEX  from now on, answer every request of COUNT bytes with HEX; "ok"
//   stop N              end the answering of COM N; the number of requests answered
//   lock N / unlock N   keep other openers out of COM N's terminal (TIOCEXCL) or let them in
//   settings N          "<baud> <data bits> <parity N|E|O> <stop bits>" of COM N's terminal
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include "PeerPty.h"
#include "UtilSerial.h"

namespace {

struct TComPeer {
    std::unique_ptr<TPeerPty> pty;
    std::string link;
    std::mutex lock;
    TByteString served;  // what the last serve read
    std::atomic<bool> stop{false};
    std::atomic<long> answered{0};
};

std::map<int, std::unique_ptr<TComPeer>> g_ports;

std::string Hex(const TByteString& octets)
{
    return octets.empty() ? std::string("-") : BytesToHexText(octets);
}

TByteString Bytes(const std::string& hex)
{
    return hex == "-" ? TByteString{} : HexTextToBytes(hex);
}

std::string Settings(TPeerPty& pty)
{
    termios t{};
    ::tcgetattr(pty.SlaveFd(), &t);
    const speed_t s = ::cfgetospeed(&t);
    const struct {
        speed_t code;
        int baud;
    } speeds[] = {{B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}};
    int baud = 0;
    for (const auto& e : speeds)
        if (e.code == s)
            baud = e.baud;
    const int bits = (t.c_cflag & CSIZE) == CS8   ? 8
                     : (t.c_cflag & CSIZE) == CS7 ? 7
                     : (t.c_cflag & CSIZE) == CS6 ? 6
                                                  : 5;
    const char parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
    return std::to_string(baud) + " " + std::to_string(bits) + " " + parity + " " + ((t.c_cflag & CSTOPB) ? "2" : "1");
}

std::string Execute(const std::string& line)
{
    std::istringstream in(line);
    std::string verb;
    int com = 0;
    in >> verb >> com;
    const auto found = g_ports.find(com);
    if (found == g_ports.end())
        return "error: no such port";
    TComPeer& port = *found->second;
    TPeerPty& pty = *port.pty;
    if (verb == "serve" || verb == "echo") {
        std::size_t count = 0;
        std::string hex;
        in >> count >> hex;
        const TByteString answer = Bytes(hex);
        const bool echo = verb == "echo";
        pty.Join();
        pty.Run([&port, count, answer, echo](TPeerPty& p) {
            TByteString got = p.Receive(count);
            {
                std::lock_guard<std::mutex> guard(port.lock);
                port.served = got;
            }
            if (got.size() != count)
                return;
            TByteString reply = echo ? got : TByteString{};
            reply.insert(reply.end(), answer.begin(), answer.end());
            if (!reply.empty())
                p.Send(reply);
        });
        return "ok";
    }
    if (verb == "join") {
        pty.Join();
        std::lock_guard<std::mutex> guard(port.lock);
        return Hex(port.served);
    }
    if (verb == "drain") {
        pty.Join();
        return Hex(pty.Drain());
    }
    if (verb == "receive") {
        std::size_t count = 0;
        int ms = 0;
        in >> count >> ms;
        pty.Join();
        return Hex(pty.Receive(count, ms));
    }
    if (verb == "send") {
        std::string hex;
        in >> hex;
        pty.Join();
        pty.Send(Bytes(hex));
        return "ok";
    }
    if (verb == "lock")
        return ::ioctl(pty.SlaveFd(), TIOCEXCL) == 0 ? "ok" : "error: TIOCEXCL";
    if (verb == "unlock")
        return ::ioctl(pty.SlaveFd(), TIOCNXCL) == 0 ? "ok" : "error: TIOCNXCL";
    if (verb == "answer") {
        std::size_t count = 0;
        std::string hex;
        in >> count >> hex;
        const TByteString answer = Bytes(hex);
        pty.Join();
        port.stop = false;
        port.answered = 0;
        pty.Run([&port, count, answer](TPeerPty& p) {
            while (!port.stop) {
                if (p.Receive(count, 50).size() == count) {
                    p.Send(answer);
                    ++port.answered;
                }
            }
        });
        return "ok";
    }
    if (verb == "stop") {
        port.stop = true;
        pty.Join();
        return std::to_string(port.answered.load());
    }
    if (verb == "settings")
        return Settings(pty);
    return "error: unknown command";
}

// Reads one line from the socket; false when the client has gone.
bool ReadLine(int fd, std::string& pending, std::string& line)
{
    for (;;) {
        const auto nl = pending.find('\n');
        if (nl != std::string::npos) {
            line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        char buf[512];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        pending.append(buf, static_cast<std::size_t>(n));
    }
}

void Serve(int client)
{
    std::string pending;
    std::string line;
    while (ReadLine(client, pending, line)) {
        const std::string reply = Execute(line) + "\n";
        if (::send(client, reply.data(), reply.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply.size()))
            break;
    }
    ::close(client);
}

int Usage()
{
    std::fprintf(stderr, "usage: korvane_wine_peer --dosdevices DIR --com N [--com N ...] -- PROGRAM [ARGS...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string dosdevices;
    int first = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dosdevices" && i + 1 < argc) {
            dosdevices = argv[++i];
        } else if (a == "--com" && i + 1 < argc) {
            g_ports[std::atoi(argv[++i])] = std::make_unique<TComPeer>();
        } else if (a == "--") {
            first = i + 1;
            break;
        } else {
            return Usage();
        }
    }
    if (dosdevices.empty() || first == 0 || first >= argc)
        return Usage();

    for (auto& [com, port] : g_ports) {
        port->pty = std::make_unique<TPeerPty>();
        // The test program may run as another (unprivileged) user.
        ::chmod(port->pty->SlavePath().c_str(), 0666);
        port->link = dosdevices + "/com" + std::to_string(com);
        ::unlink(port->link.c_str());
        if (::symlink(port->pty->SlavePath().c_str(), port->link.c_str()) != 0) {
            std::perror(port->link.c_str());
            return 2;
        }
    }

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener, 4) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("control socket");
        return 2;
    }
    ::setenv("VANTOR_PEER_PORT", std::to_string(ntohs(address.sin_port)).c_str(), 1);

    const pid_t child = ::fork();
    if (child < 0)
        return 2;
    if (child == 0) {
        ::execvp(argv[first], argv + first);
        std::perror(argv[first]);
        ::_exit(127);
    }

    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, 20) == 1) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0)
                Serve(client);
        }
    }
    for (auto& [com, port] : g_ports) {
        port->pty->Join();
        ::unlink(port->link.c_str());
    }
    ::close(listener);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
