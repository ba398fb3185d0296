#pragma once
// The archive components' error numbers by name (25102..26899): the one place
// where these numbers are written (a test scans the sources for others). Each
// has its text in resources/ArcErrorTexts.cpp. Constants only, so that every
// layer can name them, the codecs included.

namespace mv {

// Every error number the archive components raise or report.
namespace arcerr {
constexpr int HeaderError = 25108;           // "Erro no cabeçalho do arquivo"
constexpr int BlockError = 25109;            // "Bloco com erros"
constexpr int HuffmanError = 25120;          // "Erro no código Huffman"
constexpr int NoBeginLine = 25123;           // "Não há linha de começo"
constexpr int BitCountError = 25134;         // "Número de bits incorreto"
constexpr int BrokenVolumeSequence = 25135;  // "Quebrada a sequência de Múltiplos Volumes"
constexpr int WriteError = 25136;            // "Erro de gravação no arquivo"
constexpr int CloseError = 25137;            // "Erro ao fechar o arquivo"
constexpr int IncompleteCode = 25138;        // "Código incompleto"
constexpr int CorruptEntry = 25139;          // "Entrada corrompida"
constexpr int CrcError = 25151;              // "Erro na checagem CRC do arquivo"
constexpr int BadDecodeTree = 25152;         // "O arquivo contém uma árvore de decodificação inválida"
constexpr int VolumeLabelWriteError = 25153; // "Erro na gravação do nome do disco multi-volume"
constexpr int NoVolumeLabels = 25154; // "Discos não contém labels e nem número de série para comparação"
constexpr int NotEnoughSpace = 25155;     // "Não há espaço suficiente"
constexpr int CannotCreateFolder = 25156; // "Não foi possível criar o diretório"
constexpr int DiskFull = 25159;           // "Disco cheio"
constexpr int ArchiveEndNotFound = 25161; // "Fim de arquivo não encontrado"
constexpr int NoEndLine = 25168;          // "EOL não encontrado"
constexpr int DeleteError = 25169;        // "Erro ao apagar os arquivos"
constexpr int FileNotFound = 25172;       // "Arquivo não encontrado"
constexpr int OpenError = 25235;          // "Erro na abertura do arquivo"
constexpr int ReadError = 25236;          // "Erro na leitura do arquivo ou fim de arquivo não esperado"
constexpr int HeaderCrcError = 25237;     // "Erro no cabeçalho CRC"
constexpr int HeaderIdError = 25238;      // "Erro no cabeçalho ID"
constexpr int LineBeforeBegin = 25240;    // "Encontrada linha antes do 'BEGIN'"
constexpr int InvalidArcType = 25242; // "Tipo de arquivo inválido ou não suportado para essa operação"
constexpr int InvalidName = 25243;    // "Nome de arquivo inválido"
constexpr int InconsistentBitCounts = 25246; // "'bit counts - gencodes' inconsistentes"
constexpr int InvalidLengths = 25247;        // "Tamanhos inválidos"
constexpr int LocalHeaderMismatch = 25248;   // "Cabeçalho local inconsistente"
constexpr int TooManyVolumes = 25250;        // "Tamanho máximo de volumes é 999"
constexpr int OutOfMemory = 25253;           // "Memória insuficiente"
constexpr int TooLarge = 25256;              // "Tamanho máximo do arquivo excedido"
constexpr int NoHeader = 25259;              // "Cabeçalho não encontrado. Arquivo pode estar corrompido"
constexpr int EventNotAssigned = 25270;      // "Envento requerido não foi acionado"
constexpr int OpenQuotes = 25280;            // "Aspas abertas mas não fechadas"
constexpr int OpenParentheses = 25281;       // "Parâmetros abertos mas não fechados"
constexpr int PasswordProtected = 25290;     // "Proteção por senha"
constexpr int SeekError = 25292;             // "Erro de procura"
constexpr int DuplicateShannonFano = 25293;  // "Duplo arquivo de decodificação Shannon-Fano encontrado"
constexpr int StackOverflow = 25298;         // "Overflow na Pilha"
constexpr int UnknownMethod = 25326;         // "Método de compressão não suportado"
constexpr int UnknownArcType = 25327;        // "Tipo de arquivo desconhecido"
constexpr int VersionNotSupported = 25328;   // "Versão não suportada"
constexpr int UpdateError = 25350;           // "Erro ao atualizar arquivo"
constexpr int UserAbort = 25400;             // "Abortado pelo usuário"
constexpr int VersionError = 25402;          // "Erro de versão"
constexpr int BadPassword = 26517;           // "Senha inválida"
constexpr int PasswordFailed = 26522;        // "Falha na Senha"
constexpr int Discarded = 26800;             // "Arquivo descartado"
constexpr int NothingToDo = 26859;           // "Nada a ser feito"
constexpr int CreateTempDir = 26899;         // "Diretório não existente... Criar?"
} // namespace arcerr

} // namespace mv
