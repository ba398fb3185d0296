#include "app/scripts/ScriptsAppearance.h"

#include "app/settings/Options.h"
#include "platform/IniFile.h"

#include <algorithm>

namespace mv {

namespace {

// FloatRightX and the floating width, per shape, icons only then with captions.
struct TShapeRow {
    int IconValue, IconWidth, CaptionValue, CaptionWidth;
};
constexpr TShapeRow ShapeTable[] = {{0, -1, 0, -1}, {37, 45, 108, 116}, {66, 74, 208, 216}, {95, 103, 308, 316}};

} // namespace

TScriptsAppearance ReadScriptsAppearance(const platform::IniFile& ini) {
    TScriptsAppearance a;
    a.IconsOnly = SimNaoToBool(ini.ReadString(ScriptToolbarSection, "Apenas Icones", "N"));
    a.TabPosition = static_cast<int>(ini.ReadInteger(ScriptFormSection, "Posicao Pastas", tpLeft));
    if (a.TabPosition < tpTop || a.TabPosition > tpRight) a.TabPosition = tpLeft;
    a.TabHeight = static_cast<int>(
        std::clamp<int64_t>(ini.ReadInteger(ScriptFormSection, "Altura Pastas", 30), MinTabHeight, MaxTabHeight));
    a.TabWidth = static_cast<int>(
        std::clamp<int64_t>(ini.ReadInteger(ScriptFormSection, "Largura Pastas", 90), MinTabWidth, MaxTabWidth));
    a.OppositeSide = SimNaoToBool(ini.ReadString(ScriptFormSection, "Lado Oposto", "N"));
    return a;
}

void WriteScriptsAppearance(platform::IniFile& ini, const TScriptsAppearance& a) {
    ini.WriteString(ScriptToolbarSection, "Apenas Icones", BoolToSimNao(a.IconsOnly));
    ini.WriteInteger(ScriptFormSection, "Posicao Pastas", a.TabPosition);
    ini.WriteInteger(ScriptFormSection, "Altura Pastas", a.TabHeight);
    ini.WriteInteger(ScriptFormSection, "Largura Pastas", a.TabWidth);
    ini.WriteString(ScriptFormSection, "Lado Oposto", BoolToSimNao(a.OppositeSide));
}

int FloatRightXOfShape(int shape, bool iconsOnly) {
    if (shape < fsHorizontal || shape > fsThreeColumns) shape = fsHorizontal;
    const TShapeRow& row = ShapeTable[shape];
    return iconsOnly ? row.IconValue : row.CaptionValue;
}

int ShapeOfFloatingWidth(int width, bool iconsOnly) {
    for (int shape = fsVertical; shape <= fsThreeColumns; ++shape)
        if (width == (iconsOnly ? ShapeTable[shape].IconWidth : ShapeTable[shape].CaptionWidth)) return shape;
    return fsHorizontal;
}

int ShapeOfFloatRightX(int floatRightX, bool iconsOnly) {
    for (int shape = fsVertical; shape <= fsThreeColumns; ++shape)
        if (floatRightX == FloatRightXOfShape(shape, iconsOnly)) return shape;
    return fsHorizontal;
}

} // namespace mv
