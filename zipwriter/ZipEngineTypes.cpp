#include "zipwriter/ZipEngineTypes.h"

#include "resources/StringTable.h"

#include <mutex>

namespace mv {

namespace {
// The component's own table, loaded by number without the language base.
const TStringEntry ZipEngineStrings[] = {
    {176, "Abrir um Arquivo Zip"},
    {177,
     "Arquivos Zip (*.ZIP)|*.zip|Arquivos SFX (*.EXE)|*.exe|Arquivos Jar (*.JAR)|*.jar|Todos os Arquivos "
     "(*.*)|*.*"},
    {178, "Pasta de destino cancelada pelo usuário"},
    {179, "Índice %d está fora do tamanho"},
    {181, "Usuário abortou a operação"},
    {182, "Arquivo Zip incompleto"},
    {183, "Não é um arquivo Zip válido!"},
    {184, "Por favor insira disco "},
    {185, " da série Multi-Volume."},
    {186, "Usuário cancelou a entrada do nome do arquivo."},
    {187, "Usuário cancelou a operação."},
    {190, "\nErro de procura"},
    {191, "\x18Origem de procura inválida (%d)"},
    {192, "\x10"
          "Estouro de pilha"},
    {202, "Não foi possível copiar de "},
    {203, "Erro"},
    {204, "Não há espaço o suficiente para gravar o arquivo"},
};

void RegisterOnce() {
    static std::once_flag once;
    std::call_once(once, [] { RegisterRawStrings(ZipEngineStrings); });
}
} // namespace

std::string ZipEngineText(int number) {
    RegisterOnce();
    // The language tables hold other texts at these small numbers only after a
    // language base is added, so the raw lookup finds the component's own.
    for (const auto& e : ZipEngineStrings)
        if (e.Number == number) return e.Text;
    return LoadStr(number);
}

std::string ZipEngineTextInt(int number, long long value) {
    std::string t = ZipEngineText(number);
    auto p = t.find("%d");
    if (p != std::string::npos) t.replace(p, 2, std::to_string(value));
    return t;
}

std::string BadZipText(const std::string& reason) {
    return ZipEngineText(183) + " (" + reason + ")";
}

} // namespace mv
