// What the Windows desktop is told about the program: on Qt's windows platform under Wine, the
// window is found by its exact caption among the top-level windows, belongs to this process, and
// has the frame of a window of fixed size (no sizing border, no maximise box).
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "FenetreEssai.h"

namespace {

const wchar_t kLegende[] = L"Vantor user application software. V1.0";

std::wstring Texte(HWND fenetre)
{
    wchar_t texte[256] = {};
    ::GetWindowTextW(fenetre, texte, 256);
    return texte;
}

TEST(BureauWindows, TheWindowIsKnownByItsExactCaptionWithAFixedFrame)
{
    ASSERT_EQ(QGuiApplication::platformName(), "windows");
    FenetreEssai essai;
    TFenetrePrincipale& f = essai.Cree();
    EXPECT_EQ(::FindWindowW(nullptr, kLegende), nullptr);
    f.show();
    // Wine starts its desktop process for the first window: a generous bound.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f, 20000));

    const HWND fenetre = ::FindWindowW(nullptr, kLegende);
    ASSERT_NE(fenetre, nullptr);
    EXPECT_EQ(fenetre, reinterpret_cast<HWND>(f.winId()));
    EXPECT_TRUE(Texte(fenetre) == kLegende);
    DWORD processus = 0;
    ::GetWindowThreadProcessId(fenetre, &processus);
    EXPECT_EQ(processus, ::GetCurrentProcessId());
    EXPECT_TRUE(::IsWindowVisible(fenetre));

    const LONG_PTR style = ::GetWindowLongPtrW(fenetre, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    RECT client{};
    ASSERT_TRUE(::GetClientRect(fenetre, &client));
    EXPECT_EQ(client.right - client.left, f.width());
    EXPECT_EQ(client.bottom - client.top, f.height());

    // A caption that is not exactly the program's finds nothing.
    EXPECT_EQ(::FindWindowW(nullptr, L"Vantor user application software. V1.0 "), nullptr);
    EXPECT_TRUE(f.close());
}

}  // namespace
