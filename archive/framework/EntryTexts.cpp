// The texts and numbers that describe an entry in the archive list: the method
// name, the attribute letters and the compression ratio.
#include "archive/framework/ZipCommon.h"

namespace mv {

namespace {
std::function<std::string(const std::string&)>& TypeNameHook() {
    static std::function<std::string(const std::string&)> hook;
    return hook;
}
} // namespace

void SetFileTypeNameHook(std::function<std::string(const std::string& fileName)> lookup) {
    TypeNameHook() = std::move(lookup);
}

std::string TZipCommon::FileTypeName(const std::string& fileName) {
    auto& hook = TypeNameHook();
    if (!hook) return {};
    std::string name = hook(fileName);
    if (name.size() > 80) {
        // cut at a character boundary
        size_t cut = 80;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name;
}

uint8_t TZipCommon::CompressRatio(int64_t packed, int64_t unpacked) {
    if (packed <= 0 || unpacked <= 0 || packed >= unpacked) return 0;
    if (unpacked - packed > 100000) {
        packed /= 100;
        unpacked /= 100;
        if (unpacked <= 0) return 0;
    }
    // 64-bit: (unpacked - packed) * 100 does not overflow for any file size
    int64_t r = (unpacked - packed) * 100 / unpacked;
    if (r == 0) r = 1;
    if (r > 100) r = 100;
    return static_cast<uint8_t>(r);
}

std::string TZipCommon::DeflateLevelName(uint16_t flags) {
    bool b1 = flags & 2, b2 = flags & 4;
    if (b1 && b2) return "DeflateS";
    if (b2) return "DeflateF";
    if (b1) return "DeflateX";
    return "DeflateN";
}

void TZipCommon::AttrToText(uint32_t attr, char fill, std::string& text, uint8_t hostOS) const {
    if (!IsValidArcType(FArcType)) {
        text.clear();
        return;
    }
    bool unixStyle = hostOS == 3 && (FArcType == TArcType::atACE || FArcType == TArcType::atRar ||
                                     FArcType == TArcType::atRarExe);
    if (!unixStyle) {
        text.assign(4, fill);
        if (attr & 0x10) text[0] = 'd';
        if (attr & 0x08) text[0] = 'v';
        if (attr & 0x20) text[0] = 'a';
        if (attr & 0x01) text[1] = 'r';
        if (attr & 0x04) text[2] = 's';
        if (attr & 0x02) text[3] = 'h';
        return;
    }
    text.assign(10, fill);
    auto exec = [&](int pos, uint32_t xBit, uint32_t sBit) {
        bool x = attr & xBit, s = attr & sBit;
        if (x && s)
            text[pos] = 's';
        else if (x)
            text[pos] = 'x';
        else if (s)
            text[pos] = 'S';
    };
    if (attr & 0x4000) text[0] = 'd';
    if (attr & 0x100) text[1] = 'r';
    if (attr & 0x80) text[2] = 'w';
    exec(3, 0x40, 0x800);
    if (attr & 0x20) text[4] = 'r';
    if (attr & 0x10) text[5] = 'w';
    exec(6, 0x08, 0x400);
    if (attr & 0x04) text[7] = 'r';
    if (attr & 0x02) text[8] = 'w';
    if (attr & 0x01) text[9] = 'x';
}

void TZipCommon::MethodName(uint16_t methodCode, uint16_t flags, std::string& text) const {
    auto pick = [&](std::initializer_list<const char*> names, const char* other) {
        text = methodCode < names.size() ? names.begin()[methodCode] : other;
    };
    switch (FArcType) {
    case TArcType::atACE:
        pick({"Fastest", "Fast", "Normal", "Good", "Best", "Lzw"}, "Unknown");
        break;
    case TArcType::atArc:
    case TArcType::atArcExe:
        if (methodCode >= 1 && methodCode <= 12)
            text = std::initializer_list<const char*>{"Stored",   "Stored",   "Packed",   "Squeezed",
                                                      "crunched", "crunched", "crunched", "Crunched",
                                                      "Squashed", "Pack10",   "Pack11",   "Pack12"}
                       .begin()[methodCode - 1];
        else
            text = FArcHeaderMethod == 30 ? "Dir" : "Unknown";
        break;
    case TArcType::atArj:
    case TArcType::atArjExe:
        if (methodCode <= 4)
            pick({"Stored", "Most", "2nd Most", "2nd Fast", "Fastest"}, "");
        else
            text = FArjFileType == 3 ? "Dir" : "Unknown";
        break;
    case TArcType::atBh:
    case TArcType::atBhExe:
        if (methodCode == 8)
            text = DeflateLevelName(flags);
        else
            pick({"Stored", "Fused", "Deflate"}, "Unknown");
        break;
    case TArcType::atCab:
        methodCode &= 0x0F;
        pick({"Stored", "MsZIP", "Quantum", "Lzx"}, "Unknown");
        break;
    case TArcType::atGZip:
        if (methodCode == 0)
            text = "Stored";
        else if (methodCode == 8)
            text = "Deflate";
        else if (methodCode == 144)
            text = "LzwMAGIC";
        else if (FGZipMagic == 0x1E1F)
            text = "PackMAGIC";
        else if (FGZipMagic == 0xA01F)
            text = "LzhMAGIC";
        else
            text = "Unknown";
        break;
    case TArcType::atHa:
        if (methodCode <= 2)
            pick({"Cpy", "Asc", "HSC"}, "");
        else if (methodCode == 14)
            text = "Dir";
        else if (methodCode == 15)
            text = "Special";
        else
            text.clear();
        break;
    case TArcType::atJar:
    case TArcType::atZip:
    case TArcType::atZipExe:
    case TArcType::atZipMV:
        if (methodCode == 8)
            text = DeflateLevelName(flags);
        else if (methodCode <= 7)
            pick({"Stored", "Shrunk", "Reduce-1", "Reduce-2", "Reduce-3", "Reduce-4", "Imploded", "Tokened"},
                 "");
        else
            text = (FEntry.ExternalAttr & 0x10) ? "Dir" : "Unknown";
        break;
    case TArcType::atLha:
    case TArcType::atLhaExe:
    case TArcType::atLzh:
    case TArcType::atLzhExe:
        // the method's digit character
        if (methodCode == '0')
            text = "Stored";
        else if (methodCode >= '1' && methodCode <= '6')
            text = "Frozen-" + std::string(1, static_cast<char>(methodCode));
        else
            text = "Unknown";
        break;
    case TArcType::atPak:
    case TArcType::atPakExe:
        if (methodCode == 1 || methodCode == 2)
            text = "Stored";
        else if (methodCode == 3)
            text = "RLE";
        else if (methodCode == 4)
            text = "Squeezed";
        else if (methodCode >= 5 && methodCode <= 7)
            text = "FIXEDLEN";
        else if (methodCode == 8 || methodCode == 9)
            text = "VARIBLE";
        else if (methodCode == 10)
            text = "Crushed";
        else if (methodCode == 11)
            text = "Distill";
        else
            text = "Unknown";
        break;
    case TArcType::atRar:
    case TArcType::atRarExe:
        if (methodCode >= '0' && methodCode <= '5')
            text = std::initializer_list<const char*>{"Stored", "Fastest", "Fast", "Normal", "Good", "Best"}
                       .begin()[methodCode - '0'];
        else
            text = (FEntry.ExternalAttr & 0x10) ? "Dir" : "Unknown";
        break;
    case TArcType::atTar:
        if (methodCode == 0)
            text = "Tarred";
        else {
            const std::string& n = FEntry.FileName;
            bool noName = n.empty() || n.back() == '\\' || n.back() == '/';
            text = noName ? "Dir" : "Unknown";
        }
        break;
    case TArcType::atZoo:
        pick({"Stored", "Fastest", "Greatest"}, "Unknown");
        break;
    default:
        text.clear();
        break;
    }
}

} // namespace mv
