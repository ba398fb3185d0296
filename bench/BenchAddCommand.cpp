// Adding a tree of about 300 MB of mixed files (many small texts, large texts,
// random bytes, runs of zeros) to a new ZIP archive the way the user does: the main
// window's New command, the add dialog with the folder added with its subfolders and
// the "Normal" method, then the zip writer component; against Info-ZIP's
// "zip -r -6" on the same tree in the same run. Both archives are tested by unzip
// before a figure is printed. Prints the times, the sizes and their ratios.
//
// Built as its own program (mvbench_add) because the window lives in the desktop
// layer: mvbench_add [--quick] (about 30 MB).
#include "app/common/LangStr.h"
#include "app/dialogs/AddDialog.h"
#include "app/mainwindow/FormPrincipal.h"
#include "controls/toolkit/checklist/CheckListBox.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void WriteFile(const fs::path& p, const std::string& data) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(data.data(), std::streamsize(data.size()));
}

// Text that packs like prose: words drawn from a small vocabulary.
std::string Text(size_t n, std::mt19937& rng) {
    static const char* words[] = {"archive", "the",  "of",   "window", "folder", "entry", "data", "and",
                                  "morvelan", "disk", "file", "to",     "header", "in",    "zip",  "size"};
    std::string s;
    s.reserve(n + 16);
    while (s.size() < n) {
        s += words[rng() % 16];
        s += (rng() % 11 == 0) ? '\n' : ' ';
    }
    s.resize(n);
    return s;
}

std::string Random(size_t n, std::mt19937& rng) {
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

// The tree: 3,000 small texts in 60 folders, 50 texts of 2 MB, 25 random files of
// 4 MB, 10 files of 5 MB zeros (scaled down by ten with quick). Answers its bytes.
uint64_t MakeTree(const fs::path& root, bool quick) {
    std::mt19937 rng(12345);
    const int scale = quick ? 10 : 1;
    uint64_t total = 0;
    auto put = [&](const fs::path& p, const std::string& data) {
        WriteFile(p, data);
        total += data.size();
    };
    for (int i = 0; i < 3000 / scale; ++i)
        put(root / ("small" + std::to_string(i % 60)) / ("note" + std::to_string(i) + ".txt"),
            Text(2000 + rng() % 30000, rng));
    for (int i = 0; i < 50 / scale; ++i) put(root / "texts" / ("book" + std::to_string(i) + ".txt"), Text(2000000, rng));
    for (int i = 0; i < 25 / scale; ++i) put(root / "media" / ("photo" + std::to_string(i) + ".jpg"), Random(4000000, rng));
    for (int i = 0; i < 10 / scale; ++i)
        put(root / "images" / ("disk" + std::to_string(i) + ".img"), std::string(5000000, '\0'));
    return total;
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const fs::path base = fs::temp_directory_path() / ("mvbench-add-" + std::to_string(getpid()));
    fs::create_directories(base / "home");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("HOME", (base / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base / "home/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base / "home/.local/share").c_str(), 1);
    const fs::path tree = base / "tree";
    const uint64_t bytes = MakeTree(tree, quick);

    mv::SetLanguageBase(mv::lbEnglish);
    mv::EnsureApplication();
    int failures = 0;
    double ours = 0;
    const std::string archive = (base / "ours.zip").string();
    {
        mv::TFormPrincipal form(nullptr);
        form.Show();
        mv::Application->ProcessMessages();
        form.NewArchiveDialog = [&](const std::string&, std::string& name) {
            name = archive;
            return true;
        };
        mv::TModalDriver driver;
        driver.Queue({mv::TModalAction::maClickResult, 99, std::nullopt, [&](mv::TForm& f) {
                          auto& d = dynamic_cast<mv::TfrmAddFiles&>(f);
                          d.AddSpecification(tree.string() + "/*.*", true, true);
                          d.ScanFileSpecs(true, 0);
                          d.MetodoCb->SetItemIndex(2); // Normal: level 6
                          d.btnOK->SetEnabled(true);
                          d.btnOK->Click();
                      }});
        const auto start = std::chrono::steady_clock::now();
        form.Novo1Click();
        ours = Seconds(start);
    }
    const std::string peer = (base / "peer.zip").string();
    const auto peerStart = std::chrono::steady_clock::now();
    const std::string zipCommand = "cd '" + tree.string() + "' && zip -q -r -6 '" + peer + "' . ";
    if (std::system(zipCommand.c_str()) != 0) ++failures;
    const double theirs = Seconds(peerStart);

    for (const std::string& z : {archive, peer})
        if (std::system(("unzip -tq '" + z + "' > /dev/null").c_str()) != 0) {
            std::fprintf(stderr, "unzip -t failed on %s\n", z.c_str());
            ++failures;
        }
    std::error_code ec;
    const double oursSize = double(fs::file_size(archive, ec)), theirSize = double(fs::file_size(peer, ec));
    std::printf("Adding a %.0f MB mixed tree to a new ZIP (level 6)\n", bytes / 1e6);
    std::printf("%-34s %10s %12s %8s\n", "", "seconds", "bytes", "MB/s");
    std::printf("%-34s %10.2f %12.0f %8.1f\n", "Morvelan (New, add dialog, ZIP)", ours, oursSize, bytes / ours / 1e6);
    std::printf("%-34s %10.2f %12.0f %8.1f\n", "zip -r -6", theirs, theirSize, bytes / theirs / 1e6);
    std::printf("time ratio (ours / zip): %.2f   size ratio (ours / zip): %.3f\n", ours / theirs,
                oursSize / theirSize);
    fs::remove_all(base, ec);
    return failures ? 1 : 0;
}
