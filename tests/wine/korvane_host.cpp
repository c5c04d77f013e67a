// A 32-bit Windows host of korvane.dll that binds nothing at load time: it loads the library
// with LoadLibraryA, finds each of the seventeen exports by its plain name with GetProcAddress,
// and calls it through a stdcall pointer of its exact type. Every call also goes through a
// hand-written trampoline that pushes 32-bit slots and measures the stack pointer after the
// call: a stdcall callee removes its own arguments, so ESP is back where it was before the
// pushes. Narrow arguments get junk in the upper bits of their slots, which the library must
// ignore. The peer on COM5 checks the frames.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "PeerClient.h"
#include "UtilKorvane.h"

#if !defined(_WIN32) || defined(_WIN64)
#error "the host checks the 32-bit stdcall convention"
#endif

// korvane_call_slots(fn, slots, n, &delta): pushes slots[n-1] .. slots[0], calls fn, and stores
// ESP after the call minus ESP before the pushes in delta (0 for a callee that cleans up).
asm(R"(
    .text
    .globl _korvane_call_slots
_korvane_call_slots:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 8(%ebp), %eax
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    movl %esp, %edi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  call *%eax
    movl %esp, %ecx
    subl %edi, %ecx
    movl %edi, %esp
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");
extern "C" std::int32_t korvane_call_slots(void* fn, const std::uint32_t* slots, int n, std::int32_t* delta);

namespace {

using FSetupConnect = std::int32_t(__stdcall*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t);
using FSetupDevice = std::int32_t(__stdcall*)(const char*);
using FSetupAdditional = std::int32_t(__stdcall*)(std::int32_t, std::int32_t, std::int32_t);
using FNoArgument = std::int32_t(__stdcall*)();
using FReadRegisters = std::int32_t(__stdcall*)(std::uint16_t, std::uint16_t, std::uint8_t*, std::uint8_t*);
using FWriteRegister = std::int32_t(__stdcall*)(std::uint16_t, std::uint8_t, std::uint8_t);
using FExchange = std::int32_t(__stdcall*)(std::uint8_t*, std::uint32_t*);
using FDllVersion = std::int32_t(__stdcall*)(char*);

int g_checks = 0;
int g_failures = 0;
const std::uint32_t g_unusedSlot = 0;

void Check(bool ok, const std::string& what)
{
    ++g_checks;
    if (!ok) {
        ++g_failures;
        std::printf("FAILED: %s\n", what.c_str());
    }
}

std::uint32_t Slot(const void* p)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

HMODULE g_dll = nullptr;

void* Export(const char* name)
{
    void* f = reinterpret_cast<void*>(::GetProcAddress(g_dll, name));
    Check(f != nullptr, std::string("GetProcAddress ") + name);
    return f;
}

// Calls through the trampoline and checks that the callee removed exactly its slots.
std::int32_t CallSlots(const char* name, std::initializer_list<std::uint32_t> slots)
{
    std::int32_t delta = -1;
    const std::int32_t r = korvane_call_slots(Export(name), slots.begin(), static_cast<int>(slots.size()), &delta);
    Check(delta == 0, std::string(name) + ": ESP moved by " + std::to_string(delta) + " after "
                          + std::to_string(slots.size()) + " slots (the callee must remove them)");
    return r;
}

template <class F>
F Typed(const char* name)
{
    return reinterpret_cast<F>(Export(name));
}

}  // namespace

int main()
{
    TPeerClient peer;
    g_dll = ::LoadLibraryA("korvane.dll");
    if (g_dll == nullptr) {
        std::printf("FAILED: LoadLibraryA(korvane.dll), error %lu\n", ::GetLastError());
        return 1;
    }

    // The plain names only; decorated ones are not exported.
    const char* names[] = {"MODBUS_SetupConnect",
                           "SetupConnect",
                           "MODBUS_SetupDevice",
                           "MODBUS_SetupAdditional",
                           "MODBUS_OpenPort",
                           "OpenPort",
                           "MODBUS_ClosePort",
                           "ClosePort",
                           "MODBUS_ReadHoldingRegisters",
                           "MODBUS_ReadInputRegisters",
                           "MODBUS_ReadSystemRegisters",
                           "MODBUS_WriteSingleRegister",
                           "MODBUS_WriteSystemRegister",
                           "MODBUS_ResetModule",
                           "MODBUS_exchange",
                           "MODBUS_DllVersion",
                           "Korvane_DllVersion"};
    for (const char* n : names)
        Export(n);
    Check(::GetProcAddress(g_dll, "MODBUS_SetupConnect@16") == nullptr, "no decorated MODBUS_SetupConnect@16");
    Check(::GetProcAddress(g_dll, "_MODBUS_SetupConnect@16") == nullptr, "no decorated _MODBUS_SetupConnect@16");
    Check(Export("SetupConnect") == Export("MODBUS_SetupConnect"), "SetupConnect is MODBUS_SetupConnect");
    Check(Export("OpenPort") == Export("MODBUS_OpenPort"), "OpenPort is MODBUS_OpenPort");
    Check(Export("ClosePort") == Export("MODBUS_ClosePort"), "ClosePort is MODBUS_ClosePort");
    Check(Export("Korvane_DllVersion") == Export("MODBUS_DllVersion"), "Korvane_DllVersion is MODBUS_DllVersion");

    // Typed calls, as a program declares them.
    char text[64] = {};
    Check(Typed<FDllVersion>("MODBUS_DllVersion")(text) == 0, "MODBUS_DllVersion");
    Check(std::strcmp(text, "korvane V3.0. KELDRA S.A. sept 2007.") == 0, "version text");
    Check(Typed<FSetupConnect>("MODBUS_SetupConnect")(-1, -1, -1, 128) == -12, "identifier 128 refused");
    Check(Typed<FSetupConnect>("SetupConnect")(4, 2, 5, 1) == 0, "COM5, no parity, 57600, slave 1");
    Check(Typed<FSetupAdditional>("MODBUS_SetupAdditional")(0, 0, 0) == 0, "no echo");
    Check(Typed<FNoArgument>("MODBUS_OpenPort")() == 0, "port opens");
    std::uint8_t count = 0;
    std::uint8_t data[256] = {};
    peer.Serve(5, 8, AppendCrc({0x01, 0x03, 0x02, 0x12, 0x34}));
    Check(Typed<FReadRegisters>("MODBUS_ReadHoldingRegisters")(0x0006, 1, &count, data) == 0, "typed read");
    Check(peer.Join(5) == AppendCrc({0x01, 0x03, 0x00, 0x06, 0x00, 0x01}), "typed read frame");
    Check(count == 2 && data[0] == 0x12 && data[1] == 0x34, "typed read data");
    peer.Serve(5, 8, AppendCrc({0x01, 0x06, 0x00, 0x10, 0xAB, 0xCD}));
    Check(Typed<FWriteRegister>("MODBUS_WriteSingleRegister")(0x0010, 0xAB, 0xCD) == 0, "typed write");
    Check(peer.Join(5) == AppendCrc({0x01, 0x06, 0x00, 0x10, 0xAB, 0xCD}), "typed write frame");
    std::uint32_t length = 1;
    data[0] = 0x64;
    peer.Serve(5, 4, AppendCrc({0x01, 0x64, 0x00}));
    Check(Typed<FExchange>("MODBUS_exchange")(data, &length) == 0 && length == 2, "typed exchange");
    peer.Join(5);
    Check(Typed<FSetupDevice>("MODBUS_SetupDevice")("") == 0, "empty device name ignored");
    Check(Typed<FNoArgument>("ClosePort")() == 0, "port closes");

    // Every export through 32-bit slots; junk above the narrow arguments.
    Check(CallSlots("MODBUS_DllVersion", {Slot(text)}) == 0, "slots: MODBUS_DllVersion");
    Check(CallSlots("Korvane_DllVersion", {Slot(text)}) == 0, "slots: Korvane_DllVersion");
    Check(CallSlots("MODBUS_SetupConnect", {4, 0xFFFFFFFF, 2, 0xFFFFFFFF}) == 0, "slots: MODBUS_SetupConnect");
    Check(CallSlots("SetupConnect", {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 7}) == 0, "slots: SetupConnect");
    Check(CallSlots("MODBUS_SetupDevice", {Slot("\\\\.\\COM5")}) == 0, "slots: MODBUS_SetupDevice");
    Check(CallSlots("MODBUS_SetupAdditional", {0, 1, 1}) == 0, "slots: MODBUS_SetupAdditional");
    Check(CallSlots("MODBUS_OpenPort", {}) == 0, "slots: MODBUS_OpenPort");
    Check(CallSlots("OpenPort", {}) == 0, "slots: OpenPort");

    const struct {
        const char* name;
        std::uint8_t fn;
    } reads[] = {{"MODBUS_ReadHoldingRegisters", 0x03},
                 {"MODBUS_ReadInputRegisters", 0x04},
                 {"MODBUS_ReadSystemRegisters", 0x41}};
    for (const auto& r : reads) {
        count = 0;
        peer.Serve(5, 8, AppendCrc({0x07, r.fn, 0x02, 0x0A, 0x0B}));
        Check(CallSlots(r.name, {0xDEAD0102, 0xBEEF0001, Slot(&count), Slot(data)}) == 0,
              std::string("slots: ") + r.name);
        Check(peer.Join(5) == AppendCrc({0x07, r.fn, 0x01, 0x02, 0x00, 0x01}), std::string("frame of ") + r.name);
        Check(count == 2 && data[0] == 0x0A && data[1] == 0x0B, std::string("data of ") + r.name);
    }
    const struct {
        const char* name;
        std::uint8_t fn;
    } writes[] = {{"MODBUS_WriteSingleRegister", 0x06}, {"MODBUS_WriteSystemRegister", 0x42}};
    for (const auto& w : writes) {
        const TByteString frame = AppendCrc({0x07, w.fn, 0x00, 0x05, 0x12, 0x34});
        peer.Serve(5, 8, frame);
        Check(CallSlots(w.name, {0x77770005, 0xFFFFFF12, 0xABCDEF34}) == 0, std::string("slots: ") + w.name);
        Check(peer.Join(5) == frame, std::string("frame of ") + w.name);
    }
    peer.Serve(5, 4, AppendCrc({0x07, 0x46}));
    Check(CallSlots("MODBUS_ResetModule", {}) == 0, "slots: MODBUS_ResetModule");
    Check(peer.Join(5) == AppendCrc({0x07, 0x46}), "frame of MODBUS_ResetModule");
    length = 1;
    data[0] = 0x64;
    peer.Serve(5, 4, AppendCrc({0x07, 0x64, 0x00}));
    Check(CallSlots("MODBUS_exchange", {Slot(data), Slot(&length)}) == 0 && length == 2, "slots: MODBUS_exchange");
    peer.Join(5);
    // The measure itself: one slot too many for a function of none stays on the stack.
    std::int32_t extra = 0;
    korvane_call_slots(Export("MODBUS_OpenPort"), &g_unusedSlot, 1, &extra);
    Check(extra == -4, "an extra slot is seen: ESP moved by " + std::to_string(extra));
    Check(CallSlots("MODBUS_ClosePort", {}) == 0, "slots: MODBUS_ClosePort");
    Check(CallSlots("ClosePort", {}) == 0, "slots: ClosePort");

    std::printf("%d passed, %d failed\n", g_checks - g_failures, g_failures);
    return g_failures == 0 ? 0 : 1;
}
