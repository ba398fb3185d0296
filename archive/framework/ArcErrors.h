#pragma once
// The error convention of the archive components: every failure is a number
// that is also the id of its text (25102..26899). Errors that stop an
// operation are raised as E_RAISE, whose message is that text.
#include <stdexcept>
#include <string>

namespace mv {

// Error numbers the frame and the lister use by name.
namespace arcerr {
constexpr int HeaderError = 25108;       // "Erro no cabeçalho do arquivo"
constexpr int WriteError = 25136;        // "Erro de gravação no arquivo"
constexpr int CloseError = 25137;        // "Erro ao fechar o arquivo"
constexpr int FileNotFound = 25172;      // "Arquivo não encontrado"
constexpr int OpenError = 25235;         // "Erro na abertura do arquivo"
constexpr int ReadError = 25236;         // "Erro na leitura do arquivo ou fim de arquivo não esperado"
constexpr int InvalidArcType = 25242;    // "Tipo de arquivo inválido ou não suportado para essa operação"
constexpr int InvalidName = 25243;       // "Nome de arquivo inválido"
constexpr int TooManyVolumes = 25250;    // "Tamanho máximo de volumes é 999"
constexpr int EventNotAssigned = 25270;  // "Envento requerido não foi acionado"
constexpr int PasswordProtected = 25290; // "Proteção por senha"
constexpr int UnknownMethod = 25326;     // "Método de compressão não suportado"
constexpr int UnknownArcType = 25327;    // "Tipo de arquivo desconhecido"
constexpr int VersionNotSupported = 25328; // "Versão não suportada"
constexpr int UserAbort = 25400;           // "Abortado pelo usuário"
} // namespace arcerr

// The text of an error number; "Error #n" for a number without text.
std::string ArcErrorMessage(int number);

// Raised by RaiseError: the message is the text of ErrorCode.
class E_RAISE : public std::runtime_error {
public:
    explicit E_RAISE(int errorCode, std::string fileName = {}, std::string msgEx = {},
                     std::string volumeID = {});
    int ErrorCode() const { return FErrorCode; }
    const std::string& FileName() const { return FFileName; }
    const std::string& MsgEx() const { return FMsgEx; }
    const std::string& VolumeID() const { return FVolumeID; }

private:
    int FErrorCode;
    std::string FFileName;
    std::string FMsgEx;
    std::string FVolumeID;
};

} // namespace mv
