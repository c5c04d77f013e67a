// The library's exports: one global connection, created at the first call that needs it and
// kept for the life of the process. No exception leaves an export; a fault becomes -1.
#include "korvane.h"

#include <cstring>

#include "UniteKorvane.h"

// The library's C header and the types the program shares give the result codes the same values.
static_assert(KORVANE_OK == kResOk && KORVANE_IO_ERROR == kResIoError && KORVANE_FRAME_ERROR == kResFrameError
              && KORVANE_NO_ANSWER == kResNoAnswer && KORVANE_CRC_ERROR == kResCrcError);
static_assert(KORVANE_BAD_LINE_MODE == kResBadLineMode && KORVANE_BAD_BAUD == kResBadBaud && KORVANE_BAD_ID == kResBadId
              && KORVANE_BAD_PORT == kResBadPort && KORVANE_BAD_PARAM == kResBadParam);
static_assert(KORVANE_EXC_FUNCTION == kResExcFunction && KORVANE_EXC_ADDRESS == kResExcAddress
              && KORVANE_EXC_VALUE == kResExcValue && KORVANE_EXC_DEVICE == kResExcDevice);
static_assert(KORVANE_DATA_AREA_SIZE == kTailleZone);

// On Windows the module definition file names the exports and their second names; elsewhere
// the definitions are made visible here and the second names are aliases of the same entries.
#if defined(_WIN32)
#define KORVANE_EXPORT
#else
#define KORVANE_EXPORT __attribute__((visibility("default")))
#define KORVANE_ALIAS(target) __attribute__((visibility("default"), alias(#target)))
#endif

namespace {

constexpr char kVersion[] = "korvane V3.0. KELDRA S.A. sept 2007.";

TConnexion* g_connexion = nullptr;

TConnexion& Connexion()
{
    if (g_connexion == nullptr)
        g_connexion = new TConnexion();
    return *g_connexion;
}

TZoneSpan Zone(std::uint8_t* data)
{
    return TZoneSpan(data, kTailleZone);
}

template <class F>
std::int32_t Guard(F&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return kResIoError;
    }
}

}  // namespace

extern "C" {

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_SetupConnect(std::int32_t port, std::int32_t lineMode,
                                                             std::int32_t baud, std::int32_t id)
{
    return Guard([&]() -> std::int32_t {
        TConnexion& c = Connexion();
        if (id != -1) {
            if (id < 0 || id > 127)
                return kResBadId;
            c.SetSlaveId(static_cast<std::uint8_t>(id));
        }
        if (port == -1 && lineMode == -1 && baud == -1)
            return kResOk;
        if (c.IsOpen())
            c.Disconnect();
        if (lineMode != -1) {
            if (lineMode < 0 || lineMode > 2)
                return kResBadLineMode;
            c.SetLineMode(lineMode);
        }
        if (baud != -1) {
            if (baud < 0 || baud > 5)
                return kResBadBaud;
            c.SetBaudCode(baud);
        }
        if (port != -1) {
            if (port < 0)
                return kResBadPort;
            if (port != c.GetPortIndex())
                c.SetPortIndex(port);
        }
        return kResOk;
    });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_SetupDevice(const char* name)
{
    return Guard([&]() -> std::int32_t {
        TConnexion& c = Connexion();
        c.SetPortName(name != nullptr ? std::string(name) : std::string());
        return kResOk;
    });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_SetupAdditional(std::int32_t echo, std::int32_t second,
                                                                std::int32_t third)
{
    return Guard([&]() -> std::int32_t {
        TComPort& port = Connexion().Port();
        port.SetEcho(echo != 0);
        port.SetOptions(second != 0, third != 0);
        return kResOk;
    });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_OpenPort()
{
    return Guard([&]() -> std::int32_t { return Connexion().Connect() == kStatusOk ? kResOk : kResIoError; });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_ClosePort()
{
    return Guard([&]() -> std::int32_t {
        Connexion().Disconnect();
        return kResOk;
    });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_ReadHoldingRegisters(std::uint16_t address, std::uint16_t quantity,
                                                                     std::uint8_t* count, std::uint8_t* data)
{
    return Guard(
        [&]() { return Connexion().ReadRegisters(modbus::kReadHolding, address, quantity, *count, Zone(data)); });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_ReadInputRegisters(std::uint16_t address, std::uint16_t quantity,
                                                                   std::uint8_t* count, std::uint8_t* data)
{
    return Guard(
        [&]() { return Connexion().ReadRegisters(modbus::kReadInput, address, quantity, *count, Zone(data)); });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_ReadSystemRegisters(std::uint16_t address, std::uint16_t quantity,
                                                                    std::uint8_t* count, std::uint8_t* data)
{
    return Guard(
        [&]() { return Connexion().ReadRegisters(modbus::kReadSystem, address, quantity, *count, Zone(data)); });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_WriteSingleRegister(std::uint16_t address, std::uint8_t high,
                                                                    std::uint8_t low)
{
    return Guard([&]() { return Connexion().WriteRegister(modbus::kWriteSingle, address, high, low); });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_WriteSystemRegister(std::uint16_t address, std::uint8_t high,
                                                                    std::uint8_t low)
{
    return Guard([&]() { return Connexion().WriteRegister(modbus::kWriteSystem, address, high, low); });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_ResetModule()
{
    return Guard([&]() { return Connexion().ResetModule(); });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_exchange(std::uint8_t* data, std::uint32_t* length)
{
    return Guard([&]() { return Connexion().RawExchange(Zone(data), *length); });
}

KORVANE_EXPORT std::int32_t KORVANE_CALL MODBUS_DllVersion(char* text)
{
    return Guard([&]() -> std::int32_t {
        std::memcpy(text, kVersion, sizeof kVersion);
        return kResOk;
    });
}

#if !defined(_WIN32)
// Second names of four exports: the same entry points.
KORVANE_ALIAS(MODBUS_SetupConnect)
std::int32_t KORVANE_CALL SetupConnect(std::int32_t port, std::int32_t lineMode, std::int32_t baud, std::int32_t id);
KORVANE_ALIAS(MODBUS_OpenPort) std::int32_t KORVANE_CALL OpenPort();
KORVANE_ALIAS(MODBUS_ClosePort) std::int32_t KORVANE_CALL ClosePort();
KORVANE_ALIAS(MODBUS_DllVersion) std::int32_t KORVANE_CALL Korvane_DllVersion(char* text);
#endif

}  // extern "C"
