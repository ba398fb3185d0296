// The texts of the vendor zip library's result codes. Kept apart from the event
// handlers: the zip writer component's own texts (its codes 1050 to 1054) are
// read from its table here.
#include "app/common/LangStr.h"
#include "app/mainwindow/VendorBinding.h"
#include "zipwriter/ZipEngineTypes.h"

namespace mv {

namespace {

int TextNumber(int code) {
    if (code >= 1 && code <= 12) return 97;
    switch (code) {
    case 13:
        return 308;
    case 14:
        return 96;
    case 102:
    case 113:
    case 114:
        return 317;
    case 103:
        return 92;
    case 104:
        return 316;
    case 106:
        return 94;
    case 107:
        return 90;
    case 109:
    case 110:
    case 111:
    case 119:
        return 95;
    case 112:
        return 335;
    case 320:
        return 606;
    case 500:
        return 294;
    case 502:
        return 297;
    case 503:
    case 505:
    case 507:
    case 508:
        return 307;
    case 504:
    case 506:
        return 303;
    case 510:
    case 515:
        return 311;
    case 511:
        return 298;
    case 512:
    case 513:
        return 601;
    case 514:
        return 312;
    case 516:
        return 305;
    case 517:
    case 518:
    case 528:
        return 295;
    case 519:
        return 296;
    case 527:
        return 293;
    case 999:
        return 320;
    default:
        return 0;
    }
}

} // namespace

std::string VendorErrorText(int code, const std::string& context) {
    if (code <= 0 || code == 118 || code == 509 || code == 526) return {};
    std::string text;
    if (code == 1050 || code == 1052)
        text = ZipEngineText(183);
    else if (code == 1051)
        text = ZipEngineText(182);
    else if (code == 1054)
        text = ZipEngineText(181);
    else if (const int n = TextNumber(code))
        text = LoadLangStr(n);
    else
        text = LoadLangStr(321) + "  #" + std::to_string(code);
    if (!text.empty() && !context.empty()) text += " (" + context + ")";
    return text;
}

} // namespace mv
