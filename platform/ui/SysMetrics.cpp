#include "platform/ui/SysMetrics.h"

#include "platform/ui/Form.h"

#include <QGuiApplication>

namespace mv {

TColor GetSysColor(int index) {
    // 0x00BBGGRR values of the classic grey scheme.
    static constexpr TColor table[] = {
        0xC8D0D4, // 0 scroll bar
        0xA56E3A, // 1 desktop
        0x6A240A, // 2 active caption
        0x808080, // 3 inactive caption
        0xC8D0D4, // 4 menu
        0xFFFFFF, // 5 window
        0x000000, // 6 window frame
        0x000000, // 7 menu text
        0x000000, // 8 window text
        0xFFFFFF, // 9 caption text
        0xC8D0D4, // 10 active border
        0xC8D0D4, // 11 inactive border
        0x808080, // 12 application work space
        0x6A240A, // 13 highlight
        0xFFFFFF, // 14 highlight text
        0xC8D0D4, // 15 button face
        0x99A8AC, // 16 button shadow
        0x808080, // 17 grey text
        0x000000, // 18 button text
        0xC8D0D4, // 19 inactive caption text
        0xFFFFFF, // 20 button highlight
        0x404040, // 21 3-D dark shadow
        0xC8D0D4, // 22 3-D light
        0x000000, // 23 hint text
        0xE1FFFF, // 24 hint background
    };
    if (index < 0 || index >= static_cast<int>(std::size(table))) return 0x808080;
    return table[index];
}

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
        return ScreenWidth();
    case SM_CYSCREEN:
        return ScreenHeight();
    case SM_CYFULLSCREEN:
        return ScreenHeight() - 19;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 16;
    case SM_CYCAPTION:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CYMENU:
        return 19;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 18;
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMINTRACK:
        return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYSMCAPTION:
        return 16;
    case SM_CXSMSIZE:
    case SM_CYSMSIZE:
        return 15;
    case SM_CXMENUSIZE:
    case SM_CYMENUSIZE:
        return 18;
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK:
        return 13;
    case SM_CMONITORS:
        return static_cast<int>(std::max<qsizetype>(1, QGuiApplication::screens().size()));
    default:
        return 0;
    }
}

} // namespace mv
