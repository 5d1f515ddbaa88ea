// The string table, the tray menu and the icons as the program loads them.
#include <gtest/gtest.h>

#include "base/win/handles.h"
#include "base/win/texts.h"
#include "resources/resource_ids.h"
#include "tests/harness/win_harness.h"

namespace mrwd {
namespace {

using testing::Cp1251FromUtf8;

TEST(StringTable, LogTextsComeOutAsWindows1251) {
    EXPECT_EQ(LoadText(IDS_SERVER_LOADED), Cp1251FromUtf8("Watchdog сервер загружен."));
    EXPECT_EQ(LoadText(IDS_SERVER_UNLOADED), Cp1251FromUtf8("Watchdog сервер выгружен."));
    EXPECT_EQ(LoadText(IDS_SERVER_ALREADY_RUNNING), Cp1251FromUtf8("Watchdog сервер уже выполняется!"));
    EXPECT_EQ(LoadText(IDS_UNLOADING), Cp1251FromUtf8("Выгрузка Watchdog Server из памяти..."));
    EXPECT_EQ(LoadText(IDS_PROGRAM_STARTED), Cp1251FromUtf8("Программа запущена! Командная строка: \" %s \"."));
    EXPECT_EQ(LoadText(IDS_TIP_ON), Cp1251FromUtf8(" - включен"));
    EXPECT_EQ(LoadText(IDS_TIP_OFF), Cp1251FromUtf8(" - выключен"));
    // "СОМ" here is written in Cyrillic letters, as the status texts have it.
    EXPECT_EQ(LoadText(IDS_MODEM_WORKS), Cp1251FromUtf8("Модем работает на СОМ-порте № %0ld."));
    EXPECT_EQ(LoadText(IDS_MODEM_RESET_DONE), Cp1251FromUtf8("Сброс модема произведён успешно."));
}

TEST(StringTable, EscapesBecomeControlCharacters) {
    EXPECT_EQ(LoadText(IDS_NOTIFY_FAILED),
              Cp1251FromUtf8("Ошибка уведомления!\r\nОписание ошибки: %s\r\nТекст сообщения: %s"));
    EXPECT_EQ(LoadText(IDS_BODY_SOFTWARE_REBOOT),
              Cp1251FromUtf8("Сообщение от Marotel ZedevUdo Server:\r\n\r\n\tПерезагрузка Windows...\r\n\r\n--"
                             "\r\n\r\nТехническая поддержка:\tmailto:%s"));
    EXPECT_EQ(LoadText(IDS_USAGE),
              Cp1251FromUtf8("mrwd.exe [/s] [/i] [/r] [/k]\n  s - запустить как сервис\n  i - установить как "
                             "сервис\n  r - удалить сервис\n  k - выгрузить из памяти."));
}

TEST(StringTable, EveryNumberedTextIsPresent) {
    const UINT ids[] = {8,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                        31, 32, 34, 35, 36, 37, 38, 39, 40, 41, 42, 45, 47, 48, 49, 53, 54, 56, 59, 62, 63, 65,
                        66, 67, 68, 70, 72, 73, 74, 75, 78, 80, 81, 82, 83, 84, 85, 86, 87, 88, 90, 91, 93, 94,
                        95, 96, 97, 98};
    for (UINT id : ids) EXPECT_FALSE(LoadWideText(id).empty()) << "string " << id;
    EXPECT_TRUE(LoadWideText(99).empty());
}

TEST(StringTable, ScreenTextsUseTheAnsiCodePage) {
    // The tests run with the Russian ANSI code page, where both forms agree.
    ASSERT_EQ(::GetACP(), 1251u);
    EXPECT_EQ(LoadScreenText(IDS_TIP_ON), LoadText(IDS_TIP_ON));
}

TEST(TrayMenu, HasTheSixItemsWithBothSwitchesGrayed) {
    UniqueMenu menu(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    ASSERT_TRUE(menu.valid());
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(::GetMenuItemCount(popup), 6);

    const struct {
        UINT id;
        const wchar_t* text;
        bool grayed;
    } expected[] = {{IDM_SETTINGS, L"&Настройки", false}, {0, nullptr, false},
                    {IDM_SWITCH_ON, L"&Включить", true},  {IDM_SWITCH_OFF, L"&Выключить", true},
                    {0, nullptr, false},                  {IDM_UNLOAD, L"&Выгрузить", false}};
    for (int i = 0; i < 6; ++i) {
        const UINT state = ::GetMenuState(popup, i, MF_BYPOSITION);
        if (expected[i].text == nullptr) {
            EXPECT_TRUE(state & MF_SEPARATOR) << "item " << i;
            continue;
        }
        EXPECT_EQ(::GetMenuItemID(popup, i), expected[i].id);
        wchar_t text[64] = {};
        ::GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, expected[i].text);
        EXPECT_EQ((state & MF_GRAYED) != 0, expected[i].grayed) << "item " << i;
    }
}

TEST(Icons, BothStatesLoadInLargeAndSmallSizes) {
    for (UINT id : {IDI_SUPERVISION_ON, IDI_SUPERVISION_OFF}) {
        for (int size : {16, 32, 48}) {
            HICON icon = static_cast<HICON>(
                ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
            ASSERT_NE(icon, nullptr) << "icon " << id << " size " << size;
            ICONINFO info = {};
            ASSERT_TRUE(::GetIconInfo(icon, &info));
            BITMAP bitmap = {};
            ::GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
            EXPECT_EQ(bitmap.bmWidth, size);
            ::DeleteObject(info.hbmColor);
            ::DeleteObject(info.hbmMask);
            ::DestroyIcon(icon);
        }
    }
}

}  // namespace
}  // namespace mrwd
