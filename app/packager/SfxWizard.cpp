#include "app/packager/SfxWizard.h"

#include "app/common/LangStr.h"
#include "app/common/SfxPlaceholders.h"
#include "platform/AppPaths.h"
#include "platform/FileSystem.h"

namespace mv {

namespace {

// Per entry of the text array: its tree caption and its default text (string
// numbers); group nodes have the marker as their default.
struct TTextEntry {
    int Caption;
    int Default;
};
constexpr int Marker = 510;
constexpr std::array<TTextEntry, SfxTextCount> TextEntries = {{
    {526, Marker}, {527, 470}, {528, 471}, {529, 472}, {530, 0},                                     // messages
    {531, Marker}, {532, 473}, {533, 474}, {534, 475}, {535, 476}, {536, 477}, {537, 478}, {538, 479}, // questions
    {539, Marker}, {540, 480}, {541, 481}, {542, 482}, {543, 483}, {544, 484},                         // phrases
    {545, Marker}, {0, 187},   {546, 121}, {547, 284}, {548, 425}, {549, 485}, {550, 232}, {551, 233}, // buttons
    {552, 287},    {553, 486}, {554, 487}, {555, 172}, {556, 488}, {557, 489},
}};

} // namespace

bool IsSfxGroupNode(int index) {
    return index == 0 || index == 5 || index == 13 || index == 19;
}

int SfxTextCaption(int index) {
    return index >= 0 && index < SfxTextCount ? TextEntries[static_cast<size_t>(index)].Caption : 0;
}

std::string SfxDefaultText(int index) {
    if (index < 0 || index >= SfxTextCount) return {};
    const int n = TextEntries[static_cast<size_t>(index)].Default;
    return n ? LoadLangStr(n) : std::string();
}

int SfxFolderMenuCaption(int item) {
    return item >= 0 && item < SfxFolderMenuCount ? 565 + item : 0;
}

std::string SfxFolderMenuPlaceholder(int item) {
    switch (item) {
    case 0: return "<Windows>\\";
    case 1: return "<WindowsSystem>\\";
    case 2: return "<Temp>\\";
    case 3: return LoadLangStr(505) + "\\";
    case 4: return LoadLangStr(502) + "\\";
    case 5: return LoadLangStr(503) + "\\";
    case 6: return "<HD>\\";
    default: return {};
    }
}

TSfxWizard::TSfxWizard() {
    ResetWizard({});
}

std::string TSfxWizard::DefaultIcon() {
    return platform::JoinPath(platform::ResourceDir(), "sp.ico");
}

void TSfxWizard::ResetPages() {
    auto& s = FSettings;
    s.ModificaPasta = s.CriarPasta = s.BarraProgresso = true;
    s.PerguntarSobrescrever = true;
    s.SempreSobrescrever = s.NuncaSobrescrever = false;
    s.NenhumaProtecao = true;
    s.ProtecaoComSenha = s.ProtecaoExclusiva = false;
    s.Senha.clear();
    for (int i = 0; i < SfxTextCount; ++i) s.Textos[static_cast<size_t>(i)] = SfxDefaultText(i);
    s.GrupoProgramas = false;
    s.TituloRegistro.clear();
    s.Extensoes = false;
    s.MostrarTexto = false;
    s.ExecutarAplicacao = false;
    s.Instalacao = false;
    s.Icone = DefaultIcon();
    FEditorIndex = -1;
    FEditorEnabled = false;
    FEditorText.clear();
}

void TSfxWizard::ResetWizard(const std::string& archiveName) {
    FSettings = TSfxSettings();
    FSettings.Titulo = LoadLangStr(467);
    FSettings.Introducao = {LoadLangStr(468)};
    ResetPages();
    FSettings.ProgramGroupGrid[0] = {LoadLangStr(513), LoadLangStr(514)};
    FSettings.ExtensaoGrid[0] = {LoadLangStr(515), LoadLangStr(513), LoadLangStr(516)};
    FSettings.Destino = archiveName.empty() ? std::string() : ReplaceExt(archiveName, SfxExtension);
    FStep = 1;
}

void TSfxWizard::Forward() {
    if (FStep >= 8) return;
    ++FStep;
    if (Basic() && FStep == 3) FStep = 8;
}

void TSfxWizard::Back() {
    if (FStep <= 1) return;
    --FStep;
    if (Basic() && FStep == 7) FStep = 2;
}

std::string TSfxWizard::Caption() const {
    if (FStep == 8) return LoadLangStr(512);
    return LoadLangStr(511) + " " + std::to_string(FStep) + (Basic() ? "..2" : "..7");
}

void TSfxWizard::ChooseBasicMode() {
    FSettings.ModoBasico = true;
    FSettings.ModoProfissional = false;
    ResetPages();
}

void TSfxWizard::ChooseProfessionalMode() {
    FSettings.ModoBasico = false;
    FSettings.ModoProfissional = true;
    ResetPages();
}

// Group nodes are known by their place in the tree, not by their text: a text
// loaded from a settings file of another language must not make them editable.
void TSfxWizard::SelectText(int index) {
    if (index < 0 || index >= SfxTextCount || IsSfxGroupNode(index)) {
        FEditorIndex = -1;
        FEditorEnabled = false;
        FEditorText.clear();
        return;
    }
    FEditorIndex = index;
    FEditorEnabled = true;
    FEditorText = FSettings.Textos[static_cast<size_t>(index)];
}

void TSfxWizard::LeaveEditor() {
    if (FEditorIndex >= 0 && FEditorEnabled) FSettings.Textos[static_cast<size_t>(FEditorIndex)] = FEditorText;
}

std::string& TSfxWizard::FolderTargetText(TSfxFolderTarget target) {
    switch (target) {
    case TSfxFolderTarget::Readme: return FSettings.ArquivoTexto;
    case TSfxFolderTarget::Application: return FSettings.Aplicacao;
    case TSfxFolderTarget::Parameters: return FSettings.Parametros;
    case TSfxFolderTarget::DefaultFolder: break;
    }
    return FSettings.PastaDefault;
}

void TSfxWizard::AppendPlaceholder(TSfxFolderTarget target, int item) {
    FolderTargetText(target) += SfxFolderMenuPlaceholder(item);
}

void TSfxWizard::SetExecutarAplicacao(bool on) {
    FSettings.ExecutarAplicacao = on;
    if (!on) FSettings.Instalacao = false;
}

void TSfxWizard::SetDestinationFromDialog(const std::string& path) {
    FSettings.Destino = ReplaceExt(path, SfxExtension);
}

} // namespace mv
