#include "shellext/ContextMenuRules.h"

#include <array>
#include <cstring>
#include <string_view>

namespace mv::shellext {

namespace {

bool IsBlankOrControl(unsigned char c) {
    return c <= ' ';
}

std::string_view TrimView(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlankOrControl(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && IsBlankOrControl(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// The file-name part of a path; trailing separators of a folder are ignored.
std::string_view FileNamePart(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The words of the archive test. "LZH" is accepted beside "LHZ": the program
// reads LZH archives, and leaving them out would hide their extract commands.
constexpr std::array<std::string_view, 17> ArchiveWords = {"ACE", "ARC", "ARJ", "BH",  "CAB", "GZ",
                                                           "HA",  "JAR", "LHA", "LHZ", "LZH", "PAK",
                                                           "RAR", "TAR", "Z",   "ZIP", "ZOO"};

} // namespace

TSelectionNames SelectionNames(const std::string& first) {
    TSelectionNames names;
    names.First = first;
    std::string_view path = first;
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    size_t slash = path.rfind('/');
    std::string_view fileName = path;
    if (slash != std::string_view::npos) {
        names.Folder = std::string(path.substr(0, slash + 1));
        fileName = path.substr(slash + 1);
    }
    size_t dot = fileName.find('.');
    names.Base = std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
    names.Target = names.Folder + names.Base;
    return names;
}

bool IsArchiveName(const std::string& path) {
    std::string_view name = FileNamePart(TrimView(path));
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string ext(name.substr(dot + 1, 3));
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    std::string_view word = TrimView(ext);
    for (std::string_view w : ArchiveWords)
        if (w == word) return true;
    return false;
}

TSelectionKind SelectionKind(const std::vector<std::string>& selection) {
    if (selection.empty()) return TSelectionKind::skNone;
    if (selection.size() > 1) return TSelectionKind::skSeveral;
    return IsArchiveName(selection[0]) ? TSelectionKind::skArchive : TSelectionKind::skSingle;
}

uint32_t MenuCount(TSelectionKind kind) {
    switch (kind) {
    case TSelectionKind::skArchive:
        return 3;
    case TSelectionKind::skSingle:
        return 2;
    case TSelectionKind::skSeveral:
        return 1;
    case TSelectionKind::skNone:
        break;
    }
    return 0;
}

TSelectionKind KindFromMenuCount(uint32_t count) {
    switch (count) {
    case 3:
        return TSelectionKind::skArchive;
    case 2:
        return TSelectionKind::skSingle;
    case 1:
        return TSelectionKind::skSeveral;
    default:
        return TSelectionKind::skNone;
    }
}

const char* KindName(TSelectionKind kind) {
    switch (kind) {
    case TSelectionKind::skArchive:
        return "archive";
    case TSelectionKind::skSingle:
        return "single";
    case TSelectionKind::skSeveral:
        return "several";
    case TSelectionKind::skNone:
        break;
    }
    return "none";
}

bool KindFromName(const std::string& name, TSelectionKind& kind) {
    for (TSelectionKind k : {TSelectionKind::skArchive, TSelectionKind::skSingle, TSelectionKind::skSeveral})
        if (name == KindName(k)) {
            kind = k;
            return true;
        }
    return false;
}

std::vector<TMenuItem> MenuItems(TSelectionKind kind, const TSelectionNames& names) {
    switch (kind) {
    case TSelectionKind::skArchive:
        return {{0, "&Extrair para..."},
                {1, "Ex&trair para pasta " + names.Target},
                {2, "&Transforma em Auto-Extrator (.EXE)"}};
    case TSelectionKind::skSingle:
        if (names.Base.empty()) return {{0, "C&ompactar para ZIP"}};
        return {{0, "C&ompactar para ZIP"}, {1, "Comp&actar para " + names.Base + ".zip"}};
    case TSelectionKind::skSeveral:
        return {{0, "C&ompactar para ZIP"}};
    case TSelectionKind::skNone:
        break;
    }
    return {};
}

const char* HelpText(TSelectionKind kind, uint32_t offset) {
    if (kind == TSelectionKind::skArchive) {
        switch (offset) {
        case 0:
            return "Seleciona uma pasta e extrai todos os arquivos.";
        case 1:
            return "Extrai todos os arquivos para a pasta atual.";
        case 2:
            return "Transforma este arquivo em um Zip Auto-Extrator (.EXE).";
        default:
            return nullptr;
        }
    }
    switch (offset) {
    case 0:
        return "Compacta os items selecionados para um arquivo ZIP.";
    case 1:
        return "Transforma o item selecionado em um arquivo ZIP.";
    default:
        return nullptr;
    }
}

bool CommandArguments(TSelectionKind kind, uint32_t offset, const TSelectionNames& names,
                      const std::string& listFile, std::vector<std::string>& arguments) {
    switch (kind) {
    case TSelectionKind::skArchive:
        if (offset == 0)
            arguments = {"ES", names.First};
        else if (offset == 1)
            arguments = {"E", names.First, names.Target};
        else if (offset == 2)
            arguments = {"SFX", names.First};
        else
            return false;
        return true;
    case TSelectionKind::skSingle:
        if (offset == 0)
            arguments = {"AS", names.First};
        else if (offset == 1)
            arguments = {"A", names.Target + ".zip", names.First};
        else
            return false;
        return true;
    case TSelectionKind::skSeveral:
        if (offset != 0) return false;
        arguments = {"ASQ", listFile, names.Folder};
        return true;
    case TSelectionKind::skNone:
        break;
    }
    return false;
}

std::string RenderCommandLine(const std::string& program, const std::vector<std::string>& arguments) {
    std::string line = "\"" + program + "\"";
    for (const std::string& a : arguments) line += " \"" + a + "\"";
    return line;
}

} // namespace mv::shellext
