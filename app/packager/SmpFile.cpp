#include "app/packager/SmpFile.h"

#include "app/common/SfxPlaceholders.h"
#include "app/scripts/ScriptFiles.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cctype>

namespace mv {

namespace {

const char* Flag(bool on) {
    return on ? "1" : "0";
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// A value as written: line breaks as "<br>", quoted when blanks or quotes at its ends would be lost.
std::string Encode(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;
        if (value[i] == '\r' || value[i] == '\n') out += "<br>";
        else out += value[i];
    }
    const bool edge = !out.empty() && (std::isspace(static_cast<unsigned char>(out.front())) ||
                                       std::isspace(static_cast<unsigned char>(out.back())) ||
                                       (out.size() >= 2 && out.front() == '"' && out.back() == '"'));
    return edge ? "\"" + out + "\"" : out;
}

std::string DecodeBreaks(const std::string& value) {
    std::string out = value;
    for (size_t at; (at = out.find("<br>")) != std::string::npos;) out.replace(at, 4, "\r\n");
    return out;
}

class TReader {
public:
    explicit TReader(const std::string& path) : ini(path) {}
    // The value, or current when the key is missing.
    std::string Text(const char* section, const std::string& key, const std::string& current) const {
        if (!ini.ValueExists(section, key)) return current;
        return LegacyLineToUtf8(ini.ReadString(section, key, current));
    }
    bool Flag(const char* section, const std::string& key, bool current) const {
        if (!ini.ValueExists(section, key)) return current;
        return ini.ReadString(section, key, "") == "1";
    }
    bool Has(const char* section, const std::string& key) const { return ini.ValueExists(section, key); }

private:
    platform::IniFile ini;
};

// "a|b|c" split at the first "|" into columns; a value without "|" gives an
// empty first column and the whole value in the second.
template <size_t N>
void SplitRow(const std::string& value, std::array<std::string, N>& row) {
    std::string rest = value;
    for (size_t c = 0; c < N; ++c) {
        if (c + 1 == N) {
            row[c] = rest;
            break;
        }
        const size_t bar = rest.find('|');
        if (bar == std::string::npos) {
            // Without a bar at all the value is the second column; a later
            // part without one fills its column and leaves the rest empty.
            for (size_t k = c; k < N; ++k) row[k] = "";
            row[c == 0 ? 1 : c] = rest;
            return;
        }
        row[c] = rest.substr(0, bar);
        rest = rest.substr(bar + 1);
    }
}

} // namespace

std::string SaveSmpFile(const TSfxWizard& wizard, const std::string& path) {
    const std::string name = ReplaceExt(path, ".smp");
    const TSfxSettings& s = wizard.Settings();
    // It may hold a password: readable by its owner only (the writes keep the mode).
    if (!platform::Exists(name)) {
        try {
            platform::Fs().Open(name, platform::OpenMode::CreateNew)->Close();
            platform::Fs().SetPermissions(name, 0600);
        } catch (const platform::FileError&) {
            throw platform::EIniFileException("Unable to write to " + name);
        }
    }
    platform::IniFile ini(name);
    auto put = [&ini](const char* section, const std::string& key, const std::string& value) {
        ini.WriteString(section, key, Encode(value));
    };
    put("Passo1", "ModoBasico", Flag(s.ModoBasico));
    put("Passo1", "ModoProfissional", Flag(s.ModoProfissional));
    put("Passo1", "Versao16", Flag(s.Versao16));
    put("Passo1", "Versao32", Flag(s.Versao32));
    put("Passo3", "Titulo", s.Titulo);
    put("Passo3", "PastaDefault", s.PastaDefault);
    size_t line = 0;
    for (; line < s.Introducao.size(); ++line) put("Passo3", "Introducao" + std::to_string(line), s.Introducao[line]);
    put("Passo3", "Introducao" + std::to_string(line), "EndOfLines");
    put("Passo4", "ModificarPasta", Flag(s.ModificaPasta));
    put("Passo4", "CriarPasta", Flag(s.CriarPasta));
    put("Passo4", "BarraProgresso", Flag(s.BarraProgresso));
    if (s.PerguntarSobrescrever || s.SempreSobrescrever || s.NuncaSobrescrever) {
        put("Passo4", "PerguntarSobrescrever", Flag(s.PerguntarSobrescrever));
        put("Passo4", "SempreSobrescrever", Flag(s.SempreSobrescrever));
        put("Passo4", "NuncaSobrescrever", Flag(s.NuncaSobrescrever));
    }
    put("Passo5", "RgNenhumaProtecao", Flag(s.NenhumaProtecao));
    put("Passo5", "RgProtecaoComSenha", Flag(s.ProtecaoComSenha));
    put("Passo5", "RgProtecaoExclusiva", Flag(s.ProtecaoExclusiva));
    put("Passo5", "Senha", s.ProtecaoComSenha ? s.Senha : "");
    for (size_t i = 0; i < s.Textos.size(); ++i) put("Passo6", "M" + std::to_string(i), s.Textos[i]);
    put("Passo7", "GrupoProgramas", Flag(s.GrupoProgramas));
    put("Passo7", "Titulo", s.GrupoProgramas ? s.TituloRegistro : "");
    put("Passo7", "Extensoes", Flag(s.Extensoes));
    for (size_t i = 1; i <= 10; ++i)
        put("Passo7", "P" + std::to_string(i), s.ProgramGroupGrid[i][0] + "|" + s.ProgramGroupGrid[i][1]);
    for (size_t i = 1; i <= 10; ++i)
        put("Passo7", "E" + std::to_string(i),
            s.ExtensaoGrid[i][0] + "|" + s.ExtensaoGrid[i][1] + "|" + s.ExtensaoGrid[i][2]);
    put("Passo8", "MostrarTexto", Flag(s.MostrarTexto));
    put("Passo8", "Texto", s.MostrarTexto ? s.ArquivoTexto : "");
    put("Passo8", "ExecutarAplicacao", Flag(s.ExecutarAplicacao));
    put("Passo8", "Aplicacao", s.ExecutarAplicacao ? s.Aplicacao : "");
    put("Passo8", "Parametros", s.ExecutarAplicacao ? s.Parametros : "");
    put("Passo8", "Install", Flag(s.Instalacao));
    put("Passo8", "Icone", Trim(s.Icone));
    put("Final", "Destino", Trim(s.Destino));
    return name;
}

bool LoadSmpFile(TSfxWizard& wizard, const std::string& path) {
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    platform::FileInfo info;
    if (ext != ".SMP" || !platform::Fs().StatTarget(path, info) || info.IsDirectory) return false;
    const TReader r(path);
    TSfxSettings& s = wizard.Settings();

    // Choosing a mode acts like clicking it: pages 3 to 7 go back to their defaults first.
    if (r.Flag("Passo1", "ModoBasico", false)) wizard.ChooseBasicMode();
    if (r.Flag("Passo1", "ModoProfissional", false)) wizard.ChooseProfessionalMode();
    s.Versao16 = r.Flag("Passo1", "Versao16", s.Versao16);
    s.Versao32 = r.Flag("Passo1", "Versao32", s.Versao32 && !s.Versao16);
    if (s.Versao16 == s.Versao32) s.Versao32 = !s.Versao16;

    s.Titulo = r.Text("Passo3", "Titulo", s.Titulo);
    if (r.Has("Passo3", "Introducao0")) {
        s.Introducao.clear();
        for (int i = 0; i < SmpMaxIntroLines; ++i) {
            const std::string line = r.Text("Passo3", "Introducao" + std::to_string(i), "");
            if (line == "EndOfLines") break;
            s.Introducao.push_back(line);
        }
    }
    s.PastaDefault = r.Text("Passo3", "PastaDefault", s.PastaDefault);

    s.ModificaPasta = r.Flag("Passo4", "ModificarPasta", s.ModificaPasta);
    s.CriarPasta = r.Flag("Passo4", "CriarPasta", s.CriarPasta);
    s.BarraProgresso = r.Flag("Passo4", "BarraProgresso", s.BarraProgresso);
    if (r.Has("Passo4", "PerguntarSobrescrever") || r.Has("Passo4", "SempreSobrescrever") ||
        r.Has("Passo4", "NuncaSobrescrever")) {
        s.PerguntarSobrescrever = r.Flag("Passo4", "PerguntarSobrescrever", false);
        s.SempreSobrescrever = r.Flag("Passo4", "SempreSobrescrever", false);
        s.NuncaSobrescrever = r.Flag("Passo4", "NuncaSobrescrever", false);
    }

    s.NenhumaProtecao = r.Flag("Passo5", "RgNenhumaProtecao", s.NenhumaProtecao);
    s.ProtecaoComSenha = r.Flag("Passo5", "RgProtecaoComSenha", s.ProtecaoComSenha);
    const std::string senha = Trim(r.Text("Passo5", "Senha", ""));
    if (!senha.empty() && s.ProtecaoComSenha) s.Senha = senha;
    s.ProtecaoExclusiva = r.Flag("Passo5", "RgProtecaoExclusiva", s.ProtecaoExclusiva);

    // Group nodes keep their marker whatever the file holds.
    for (size_t i = 0; i < s.Textos.size(); ++i)
        if (!IsSfxGroupNode(static_cast<int>(i)))
            s.Textos[i] = DecodeBreaks(r.Text("Passo6", "M" + std::to_string(i), s.Textos[i]));

    s.GrupoProgramas = r.Flag("Passo7", "GrupoProgramas", s.GrupoProgramas);
    if (s.GrupoProgramas) s.TituloRegistro = r.Text("Passo7", "Titulo", s.TituloRegistro);
    s.Extensoes = r.Flag("Passo7", "Extensoes", s.Extensoes);
    for (size_t i = 1; i <= 10; ++i) {
        if (s.GrupoProgramas) {
            const std::string v = r.Text("Passo7", "P" + std::to_string(i), "");
            if (!Trim(v).empty()) SplitRow(v, s.ProgramGroupGrid[i]);
        }
        if (s.Extensoes) {
            const std::string v = r.Text("Passo7", "E" + std::to_string(i), "");
            if (!Trim(v).empty()) SplitRow(v, s.ExtensaoGrid[i]);
        }
    }

    s.MostrarTexto = r.Flag("Passo8", "MostrarTexto", s.MostrarTexto);
    if (s.MostrarTexto) s.ArquivoTexto = r.Text("Passo8", "Texto", s.ArquivoTexto);
    wizard.SetExecutarAplicacao(r.Flag("Passo8", "ExecutarAplicacao", s.ExecutarAplicacao));
    if (s.ExecutarAplicacao) {
        s.Aplicacao = r.Text("Passo8", "Aplicacao", s.Aplicacao);
        s.Parametros = r.Text("Passo8", "Parametros", s.Parametros);
        s.Instalacao = r.Flag("Passo8", "Install", s.Instalacao);
    }
    // A missing or unreadable icon falls back to the default one; the load goes on.
    const std::string icon = Trim(r.Text("Passo8", "Icone", ""));
    s.Icone = icon.empty() || !platform::Exists(icon) ? TSfxWizard::DefaultIcon() : icon;

    s.Destino = r.Text("Final", "Destino", s.Destino);
    return true;
}

} // namespace mv
