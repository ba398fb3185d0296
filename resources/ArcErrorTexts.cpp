#include "resources/ArcErrorTexts.h"

#include <algorithm>
#include <iterator>

namespace mv {

namespace {
// Sorted by number; looked up by binary search.
const ArcErrorTextEntry Table[] = {
    {25102, "O arquivo é somente leitura"},
    {25103, "O arquivo é oculto"},
    {25104, "O arquivo é de sistema"},
    {25105, "O arquivo é um diretório"},
    {25106, "O Arquivo é um VolumeID"},
    {25107, "Atributo de Arquivo Inválido"},
    {25108, "Erro no cabeçalho do arquivo"},
    {25109, "Bloco com erros"},
    {25120, "Erro no código Huffman"},
    {25121, "Encontrado um código inválido"},
    {25122, "Cabeçalho de comentário inválido"},
    {25123, "Não há linha de começo"},
    {25134, "Número de bits incorreto"},
    {25135, "Quebrada a sequência de Múltiplos Volumes"},
    {25136, "Erro de gravação no arquivo"},
    {25137, "Erro ao fechar o arquivo"},
    {25138, "Código incompleto"},
    {25139, "Entrada corrompida"},
    {25150, "Erro ao criar diretório"},
    {25151, "Erro na checagem CRC do arquivo"},
    {25152, "O arquivo contém uma árvore de decodificação inválida"},
    {25153, "Erro na gravação do nome do disco multi-volume"},
    {25154, "Discos não contém labels e nem número de série para comparação"},
    {25155, "Não há espaço suficiente"},
    {25156, "Não foi possível criar o diretório"},
    {25157, "Diretório inválido"},
    {25158, "Diretório inválido... Usando o diretório corrente"},
    {25159, "Disco cheio"},
    {25160, "não está acessível."},
    {25161, "Fim de arquivo não encontrado"},
    {25166, "Final de arquivo não esperado"},
    {25167, "Fim da linha não esperado"},
    {25168, "EOL não encontrado"},
    {25169, "Erro ao apagar os arquivos"},
    {25170, "Erro no comando de execução"},
    {25171, "Mesmo nome de arquivo de entrada e saída"},
    {25172, "Arquivo não encontrado"},
    {25173, "Diferente tamanho de arquivo"},
    {25230, "Atenção, flags desconhecidos"},
    {25235, "Erro na abertura do arquivo"},
    {25236, "Erro na leitura do arquivo ou fim de arquivo não esperado"},
    {25237, "Erro no cabeçalho CRC"},
    {25238, "Erro no cabeçalho ID"},
    {25239, "Quebra de linha inesperada"},
    {25240, "Encontrada linha antes do 'BEGIN'"},
    {25241, "Caracteres ilegais foram descartados"},
    {25242, "Tipo de arquivo inválido ou não suportado para essa operação"},
    {25243, "Nome de arquivo inválido"},
    {25245, "Tamanho inválido em 'send_bits'"},
    {25246, "'bit counts - gencodes' inconsistentes"},
    {25247, "Tamanhos inválidos"},
    {25248, "Cabeçalho local inconsistente"},
    {25249, "Insuficiente 'lookahead'"},
    {25250, "Tamanho máximo de volumes é 999"},
    {25253, "Memória insuficiente"},
    {25255, "Objeto TMemoryStream não inicializado"},
    {25256, "Tamanho máximo do arquivo excedido"},
    {25258, "Objeto TFileStream não inicializado"},
    {25259, "Cabeçalho não encontrado. Arquivo pode estar corrompido"},
    {25260, "Unrar.dll não encontrado"},
    {25261, "Cabinet.dll não encontrado"},
    {25262, "Ace.dll não encontrado"},
    {25264, "Arquivos GZip Multi-Volumes não suportado"},
    {25265, "Muitos diretórios encontrados"},
    {25266, "Nada para decodificar"},
    {25270, "Envento requerido não foi acionado"},
    {25280, "Aspas abertas mas não fechadas"},
    {25281, "Parâmetros abertos mas não fechados"},
    {25290, "Proteção por senha"},
    {25292, "Erro de procura"},
    {25293, "Duplo arquivo de decodificação Shannon-Fano encontrado"},
    {25294, "Pasta desktop não encontrada"},
    {25295, "Erro ao obter SHGetSpecialFolderLocation"},
    {25296, "Erro ao obter alocador de memória Shell"},
    {25297, "Texto ilegal na procura de arquivos"},
    {25298, "Overflow na Pilha"},
    {25299, "Erro de leitura/gravação de 'Stream'"},
    {25324, "Este tipo de arquivo não suporta 'Streaming'"},
    {25325, "Equipamento não suporta cronometragem de alta performance"},
    {25326, "Método de compressão não suportado"},
    {25327, "Tipo de arquivo desconhecido"},
    {25328, "Versão não suportada"},
    {25350, "Erro ao atualizar arquivo"},
    {25400, "Abortado pelo usuário"},
    {25402, "Erro de versão"},
    {25450, "Requer api Win32"},
    {25901, "A Extração deste cabinet requer o primeiro disco do backup"},
    {25902, "Disco anterior do backup"},
    {25903, "Próximo disco do backup"},
    {25904, "Cabinet não pertence a este backup"},
    {25905, "*Por favor insira o primeiro disquete do backup"},
    {25906, "*Por favor insira o último disquete do backup"},
    {26000, "Todos_Arquivos (*.*)|*.*"},
    {26001, "Arquivos Compactados "
            "|*.ace;*.arc;*.arj;*.bh;*.cab;*.enc;*.exe;*.gz;*.ha;*.jar;*.lha;*.lzh;*.pak;*.rar;*.tar;*.uue;*."
            "xxe;*.z;*.zip;*.zoo"},
    {26002, "Executáveis (*.exe)"},
    {26513, "Não há senhas."},
    {26517, "Senha inválida"},
    {26522, "Falha na Senha"},
    {26800, "Arquivo descartado"},
    {26859, "Nada a ser feito"},
    {26899, "Diretório não existente... Criar?"},
};
} // namespace

const char* ArcErrorText(int number) {
    auto it = std::lower_bound(std::begin(Table), std::end(Table), number,
                               [](const ArcErrorTextEntry& e, int n) { return e.number < n; });
    if (it == std::end(Table) || it->number != number) return nullptr;
    return it->text;
}

const ArcErrorTextEntry* ArcErrorTexts(int& count) {
    count = static_cast<int>(std::size(Table));
    return Table;
}

} // namespace mv
