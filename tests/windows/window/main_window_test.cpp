// The Win32 main window's menus and keys are the app's command table, as the
// Qt window's are (tests/gui): each title and item with its mnemonic and the
// keys it shows, and an accelerator behind each key shown. Its controls use
// the font the window was drawn for. Run under Wine by
// tests/windows/window_test.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <span>
#include <string>
#include <vector>

#include "controls.h"
#include "korvane/app/command_table.h"
#include "main_window.h"

namespace {

using korvane::win32::W;

std::wstring MenuString(HMENU menu, int position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
    return text;
}

// The keys as the menu should show them, read back from an accelerator.
std::wstring KeysOf(const ACCEL& accelerator) {
    std::wstring keys;
    if ((accelerator.fVirt & FCONTROL) != 0) keys += L"Ctrl+";
    if ((accelerator.fVirt & FSHIFT) != 0) keys += L"Maj+";
    if (accelerator.key >= VK_F1 && accelerator.key <= VK_F12) {
        return keys + L"F" + std::to_wstring(accelerator.key - VK_F1 + 1);
    }
    return keys + static_cast<wchar_t>(accelerator.key);
}

TEST(MainWindow, MenusAndKeysComeFromTheCommandTable) {
    korvane::win32::TForm1 form;
    ASSERT_TRUE(form.Create());
    std::map<UINT, std::wstring> shownKeys;  // by command identifier
    const auto check = [&](HMENU menu, std::span<const korvane::Command> items, bool keyed) {
        ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(items.size()));
        for (std::size_t i = 0; i < items.size(); ++i) {
            const korvane::CommandInfo& info = korvane::InfoOf(items[i]);
            const std::wstring text = MenuString(menu, static_cast<int>(i));
            const std::wstring keys = W(korvane::KeyText(info.keys));
            EXPECT_EQ(text, W(korvane::MnemonicText(info.text, info.mnemonic)) +
                                (keyed && !keys.empty() ? L"\t" + keys : L""))
                << info.name;
            if (keyed && !keys.empty()) shownKeys[GetMenuItemID(menu, static_cast<int>(i))] = keys;
        }
    };
    HMENU bar = GetMenu(form.Handle());
    ASSERT_EQ(GetMenuItemCount(bar), static_cast<int>(korvane::MainMenus().size()));
    for (std::size_t m = 0; m < korvane::MainMenus().size(); ++m) {
        const korvane::MenuInfo& info = korvane::MainMenus()[m];
        EXPECT_EQ(MenuString(bar, static_cast<int>(m)),
                  W(korvane::MnemonicText(info.text, info.mnemonic)));
        check(GetSubMenu(bar, static_cast<int>(m)), info.items, true);
    }
    check(form.EntryMenu(), korvane::EntryMenu(), false);

    const int count = CopyAcceleratorTableW(form.Accelerators(), nullptr, 0);
    std::vector<ACCEL> accelerators(static_cast<std::size_t>(count));
    CopyAcceleratorTableW(form.Accelerators(), accelerators.data(), count);
    std::map<UINT, std::wstring> acting;
    for (const ACCEL& accelerator : accelerators) acting[accelerator.cmd] = KeysOf(accelerator);
    EXPECT_EQ(acting, shownKeys);
    EXPECT_EQ(shownKeys.size(), 10u);
    form.Destroy();
}

// Wine ships "MS Sans Serif", as every Western Windows does.
TEST(MainWindow, ControlsUseTheFontTheWindowWasDrawnFor) {
    for (HFONT font : {korvane::win32::UiFont(), korvane::win32::BoldFont()}) {
        LOGFONTW description{};
        ASSERT_NE(GetObjectW(font, sizeof description, &description), 0);
        EXPECT_STREQ(description.lfFaceName, L"MS Sans Serif");
    }
}

}  // namespace
