#include "app/packager/SfxBuild.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/SfxPlaceholders.h"
#include "archive/libraries/vendorzip/VendorZip.h"
#include "archive/readers/ReaderFactory.h"
#include "controls/toolkit/files/CopyFile.h"
#include "platform/AppPaths.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <cstring>

namespace mv {

namespace {

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

std::string MmSs() {
    const std::time_t now = std::time(nullptr);
    std::tm t {};
    localtime_r(&now, &t);
    char text[8];
    std::snprintf(text, sizeof text, "%02d%02d", t.tm_min, t.tm_sec);
    return text;
}

// The extracted archive's names are stored relative to the extraction folder.
struct TStoredNames {
    std::string Folder;
    void operator()(uint32_t event, void* block) const {
        if (event != vzev::StoredName) return;
        auto* b = static_cast<TVzStoredNameBlock*>(block);
        const std::string source(b->SourcePath, strnlen(b->SourcePath, VzNameSize));
        const std::string prefix = Folder + "/";
        if (source.rfind(prefix, 0) != 0) return;
        std::string relative = source.substr(prefix.size());
        const std::string proposed(b->Name, strnlen(b->Name, VzNameSize));
        if (!proposed.empty() && proposed.back() == '/') relative += "/";
        std::memset(b->Name, 0, VzNameSize);
        std::memcpy(b->Name, relative.data(), std::min(relative.size(), VzNameSize - 1));
    }
};

} // namespace

std::string ExclusivePassword(const std::string& programFolder) {
    return programFolder + "Mv" + MmSs();
}

std::string SfxDestination(const std::string& typed, const std::string& archive) {
    const std::string t = Trim(typed);
    return ReplaceExt(t.empty() ? archive : t, SfxExtension);
}

std::string VendorResultText(int code, const std::string& context) {
    if (code <= 0 || code == 118 || code == 509 || code == 526) return {};
    std::string text = LoadLangStr(321) + "  #" + std::to_string(code);
    if (!context.empty()) text += " (" + context + ")";
    return text;
}

TSfxSetup MakeSfxSetup(const TSfxSettings& s, const std::string& stubFolder, const std::string& exclusivePassword) {
    TSfxSetup u;
    const auto text = [&s](int i) { return PlaceholdersToSfxCodes(s.Textos[static_cast<size_t>(i)]); };
    // A slot whose box is ticked gets its default text when the user emptied it; unticked, nothing.
    const auto boxed = [&](int i, bool box) {
        if (!box) return std::string();
        const std::string t = text(i);
        return t.empty() ? PlaceholdersToSfxCodes(SfxDefaultText(i)) : t;
    };
    u.Stub = platform::JoinPath(stubFolder, s.Versao16 ? "VzSfx16.bin" : "VzSfx32.bin");
    u.Strings[1] = s.Titulo;
    std::string intro;
    for (size_t i = 0; i < s.Introducao.size(); ++i) intro += (i ? "\r\n" : "") + s.Introducao[i];
    u.Messages[3] = intro;
    u.Folder = Trim(s.PastaDefault).empty() ? "%e" : PlaceholdersToSfxCodes(s.PastaDefault);
    u.Existing = s.SempreSobrescrever ? 2 : s.NuncaSobrescrever ? 1 : 0;
    u.Messages[0] = text(1);
    u.Messages[1] = text(2);
    u.Messages[2] = text(3);
    u.Messages[4] = text(4);
    u.Messages[5] = boxed(6, s.ModificaPasta);
    for (int i = 7; i <= 10; ++i) u.Messages[static_cast<size_t>(i - 1)] = text(i);
    u.Messages[10] = boxed(11, s.CriarPasta);
    u.Messages[11] = text(12);
    u.Messages[12] = text(14);
    u.Strings[0] = boxed(15, s.BarraProgresso);
    for (int i = 16; i <= 18; ++i) u.Strings[static_cast<size_t>(i - 14)] = text(i);
    for (int i = 20; i <= 32; ++i) u.Buttons[static_cast<size_t>(i - 20)] = text(i);

    if (s.GrupoProgramas && !Trim(s.TituloRegistro).empty()) {
        u.HasGroup = true;
        u.Group = s.TituloRegistro;
        for (size_t r = 1; r <= 10; ++r)
            if (!Trim(s.ProgramGroupGrid[r][0]).empty())
                u.GroupItems += PlaceholdersToSfxCodes(s.ProgramGroupGrid[r][0]) + "|" + s.ProgramGroupGrid[r][1] + "\r\n";
    }
    if (s.Extensoes) {
        u.HasAssociations = true;
        for (size_t r = 1; r <= 10; ++r)
            if (!Trim(s.ExtensaoGrid[r][0]).empty() && !Trim(s.ExtensaoGrid[r][1]).empty())
                u.Associations += PlaceholdersToSfxCodes(s.ExtensaoGrid[r][1]) + "|" + s.ExtensaoGrid[r][0] + "|" +
                                  s.ExtensaoGrid[r][2] + "\r\n";
    }
    // "No readme" and "nothing to run" are passed as empty values, so that no
    // earlier build's settings can reach this installer.
    if (s.MostrarTexto && !Trim(s.ArquivoTexto).empty()) u.Readme = PlaceholdersToSfxCodes(s.ArquivoTexto);
    if (s.ExecutarAplicacao && !Trim(s.Aplicacao).empty()) {
        const std::string app = PlaceholdersToSfxCodes(s.Aplicacao);
        u.ExecuteAfter.push_back(app);
        if (!Trim(s.Parametros).empty()) u.ExecuteAfter.push_back(app + " | " + PlaceholdersToSfxCodes(s.Parametros));
        u.InstallMode = s.Instalacao;
    } else {
        u.ExecuteAfter.push_back("");
    }
    u.Icon = s.Icone;
    if (s.ProtecaoExclusiva) {
        u.DefaultPassword = u.EncryptionPassword = exclusivePassword;
    } else if (s.ProtecaoComSenha && !Trim(s.Senha).empty()) {
        u.EncryptionPassword = Trim(s.Senha);
    }
    return u;
}

int TSfxBuilder::Box(const std::string& text, uint8_t kind, uint16_t buttons) {
    return MessageBox ? MessageBox(text, kind, buttons) : ShowMessageBox(text, kind, buttons, 0, -1, -1);
}

void TSfxBuilder::Status(const std::string& text) {
    if (OnStatus) OnStatus(text);
}

void TSfxBuilder::Progress(int percent) {
    if (OnProgress) OnProgress(percent);
}

bool TSfxBuilder::Build(TSfxWizard& wizard, const std::string& archive) {
    TSfxSettings& s = wizard.Settings();
    PlaySoundRes("BEEP");
    s.Destino = SfxDestination(s.Destino, archive);
    const std::string destination = s.Destino;
    if (platform::Exists(destination) &&
        Box(LoadLangStr(640) + " \"" + destination + "\" " + LoadLangStr(641) + "\r\r" + LoadLangStr(642), 3,
            mbYesNo) != 6)
        return false;

    Status(LoadLangStr(519));
    Progress(0);
    const std::string tempRoot = TempFolder.empty() ? platform::Fs().TempDirectory() : TempFolder;
    FExtractionFolder.clear();
    FOutputFolder.clear();
    uint32_t handle = 0;
    bool done = false;
    try {
        [&] {
            // A folder of its own for each build: never one left by an earlier run.
            FExtractionFolder = platform::Fs().CreateTempDirectory(tempRoot, "QX");
            TArcType type = TArcType::atNA;
            auto reader = NewReaderFor(archive, &type);
            int errors = 0;
            if (reader) {
                reader->SetExtractDir(FExtractionFolder);
                reader->SetFileSpec({"*.*"});
                reader->SetRecurseDirs(true);
                reader->SetUseStoredDirs(true);
                reader->SetRestoreFileAttr(true);
                reader->OnError = [&errors](TObject*, const std::string&, const std::string&, const std::string&,
                                            int) { ++errors; };
                try {
                    reader->Extract();
                } catch (const std::exception&) {
                    ++errors;
                }
                if (reader->FailedCount() > 0) ++errors;
            }
            // An installer missing some of the archive's files must not be built and reported as a success.
            if (!reader || errors) {
                Box(LoadLangStr(42) + "\r" + archive, 1, mbOKOnly);
                return;
            }

            VendorZipInitDLL();
            handle = VzCreateVendorZipA();
            VzSetVendorZipWindow(handle, [this, folder = FExtractionFolder](uint32_t event, void* block) {
                TStoredNames{folder}(event, block);
                if (event == vzev::Progress) Progress(static_cast<TVzProgressBlock*>(block)->Percent);
                if (ProcessMessages && event == vzev::Progress) ProcessMessages();
            });
            const TSfxSetup u = MakeSfxSetup(s, StubFolder, ExclusivePassword(platform::ProgramDir()));
            VzSetSfxBinaryModuleA(handle, u.Stub.c_str());
            VzSetSfxStringsA(handle, 1, u.Strings[1].c_str());
            VzSetSfxMessagesA(handle, 3, u.Messages[3].c_str());
            VzSetSfxDefaultUnzipToFolderA(handle, u.Folder.c_str());
            VzSetSfxExistingFileBehavior(handle, u.Existing);
            for (int i : {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12})
                VzSetSfxMessagesA(handle, i, u.Messages[static_cast<size_t>(i)].c_str());
            for (int i : {0, 2, 3, 4}) VzSetSfxStringsA(handle, i, u.Strings[static_cast<size_t>(i)].c_str());
            for (int i = 0; i <= 12; ++i) VzSetSfxButtonsA(handle, i, u.Buttons[static_cast<size_t>(i)].c_str());
            VzSetSfxProgramGroupA(handle, u.Group.c_str());
            VzSetSfxProgramGroupItemsA(handle, u.GroupItems.c_str());
            VzSetSfxExtensionsToAssociateA(handle, u.Associations.c_str());
            VzSetSfxReadmeFileA(handle, u.Readme.c_str());
            for (const auto& run : u.ExecuteAfter) VzSetSfxExecuteAfterA(handle, run.c_str());
            VzSetSfxInstallMode(handle, u.InstallMode ? 1 : 0);
            VzSetSfxIconFilenameA(handle, u.Icon.c_str());
            VzSetSfxDefaultPasswordA(handle, u.DefaultPassword.c_str());
            VzSetEncryptionPasswordA(handle, u.EncryptionPassword.c_str());

            Status(LoadLangStr(520));
            Progress(0);
            VzSetSpanMultipleDisks(handle, 0);
            FOutputFolder = platform::Fs().CreateTempDirectory(tempRoot, "TP");
            const std::string output =
                platform::JoinPath(FOutputFolder, ReplaceExt(platform::NameOf(archive), SfxExtension));
            VzSetZipFilenameA(handle, output.c_str());
            VzSetFilesToProcessA(handle, (FExtractionFolder + "/*").c_str());
            VzSetProcessSubfolders(handle, 1);
            // Folders go in as entries of their own (volume labels only are left out), so
            // that empty folders and the folders' modes reach the user's machine.
            VzSetExcludedFileAttributes(handle, 8);
            VzSetPreservePaths(handle, 1);

            std::string destFolder = platform::DirectoryOf(destination);
            if (destFolder.empty()) destFolder = ".";
            if (!platform::IsDirectory(destFolder)) {
                Box(LoadLangStr(335) + "\r" + LoadLangStr(336), 1, mbOKOnly);
                return;
            }
            uint64_t freeBytes = 0;
            if (FreeSpace) {
                FreeSpace(destFolder, freeBytes);
            } else {
                platform::SpaceInfo space;
                int code = 0;
                if (platform::Fs().GetSpace(destFolder, space, code)) freeBytes = space.FreeBytes;
            }

            int16_t r = VzZip(handle);
            std::string text = VendorResultText(r, LoadLangStr(512));
            if (!text.empty()) {
                Box(text, 1, mbOKOnly);
                return;
            }
            platform::FileInfo built, old;
            platform::Fs().Stat(output, built);
            // The file being replaced gives its room back.
            const uint64_t room = freeBytes + (platform::Fs().Stat(destination, old) ? old.Size : 0);
            if (built.Size < room) {
                Status(LoadLangStr(521));
                TCopyFile copier;
                copier.SetAction(TFileAction::faCopy);
                copier.SetAttributes(true);
                copier.SetDateTime(true);
                copier.SetCreateDirectory(false);
                copier.SetOverwrite(true);
                copier.SetBufferSize(8192);
                copier.SetFileSource(output);
                copier.SetFileDestination(destination);
                copier.OnProgress = [this](TCopyFile* c) { Progress(c->Progress()); };
                copier.ProcessMessages = ProcessMessages;
                if (!copier.Execute()) {
                    Box(LoadLangStr(522), 1, mbOKOnly);
                    return;
                }
            } else {
                // Zipping onto an existing file would add to the old installer: it goes first.
                Progress(0);
                try {
                    if (platform::Exists(destination)) platform::Fs().RemoveFile(destination);
                } catch (const platform::FileError&) {
                }
                VzSetSpanMultipleDisks(handle, 1);
                Status(LoadLangStr(523));
                VzSetZipFilenameA(handle, destination.c_str());
                VzSetFilesToProcessA(handle, (FExtractionFolder + "/*").c_str());
                r = VzZip(handle);
                text = VendorResultText(r, LoadLangStr(512));
                if (!text.empty()) {
                    Box(text, 1, mbOKOnly);
                    return;
                }
            }
            done = true;
        }();
    } catch (const platform::FileError& e) {
        Box(e.what(), 1, mbOKOnly);
    }
    Status(LoadLangStr(524));
    if (handle) VzDestroyVendorZip(handle);
    // Only the folders this build made, and only when it made them.
    for (const std::string* folder : {&FExtractionFolder, &FOutputFolder}) {
        if (!folder->empty()) {
            try {
                platform::RemoveTree(*folder);
            } catch (const platform::FileError&) {
            }
        }
    }
    Status("");
    Progress(-1);
    if (done) Box(LoadLangStr(525), 2, mbOKOnly);
    return done;
}

} // namespace mv
