// Backup scripts: an update run over a tree of 20,000 small files where 1% changed,
// beside a whole run over the same tree and `zip -r -u` (Info-ZIP's update) doing
// the same update. Prints the time of each and how many files each road opened
// for reading: an update run reads only the changed files (the others are known by
// their stamps in the last-backup list). Every archive is tested by `unzip -t`
// before a figure is printed.
//
// Built as its own program (mvbench_scripts) because the runner lives in the
// desktop layer: mvbench_scripts [--quick]
#include "app/scripts/BackupRunner.h"
#include "app/scripts/ScriptFiles.h"
#include "platform/FakeFileSystem.h"
#include "zipwriter/ZipEngine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The real file system, counting the files opened for reading below a folder.
class CountingFileSystem : public mv::platform::FakeFileSystem {
public:
    std::string root;
    int reads = 0;
    std::unique_ptr<mv::platform::File> Open(const std::string& path, mv::platform::OpenMode mode) override {
        if (mode == mv::platform::OpenMode::Read && path.compare(0, root.size(), root) == 0) ++reads;
        return FakeFileSystem::Open(path, mode);
    }
};

double Seconds(const std::function<void()>& fn) {
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void Write(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::string Content(int i, int version) {
    std::string s;
    for (int k = 0; k < 20 + i % 40; ++k)
        s += "line " + std::to_string(k) + " of file " + std::to_string(i) + " v" + std::to_string(version) +
             "\n";
    return s;
}

bool UnzipTest(const fs::path& zip) {
    return std::system(("unzip -tqq '" + zip.string() + "' >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int files = quick ? 2000 : 20000;
    const fs::path base = fs::temp_directory_path() / ("mvbench-scripts-" + std::to_string(getpid()));
    const fs::path src = base / "src";
    for (int i = 0; i < files; ++i) {
        const fs::path dir = src / ("d" + std::to_string(i / 200)) / ("e" + std::to_string(i / 20 % 10));
        if (i % 20 == 0) fs::create_directories(dir);
        Write(dir / ("f" + std::to_string(i) + ".txt"), Content(i, 0));
    }
    // Every file ten minutes in the past, so the change below moves its stamp.
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(10);
    for (const auto& e : fs::recursive_directory_iterator(src))
        if (e.is_regular_file()) fs::last_write_time(e.path(), old);

    CountingFileSystem counting;
    counting.root = src.string();
    mv::platform::ScopedFileSystem use(counting);
    mv::TZipEngine engine;
    engine.SetPackLevel(6);
    mv::TArchiveCheckVendor vendor;
    const fs::path archive = base / "out" / "backup.zip";
    const std::string sra = (base / "backup.sra").string();
    std::vector<std::string> warnings;
    auto runner = [&](bool update) {
        auto r = std::make_unique<mv::TBackupRunner>(engine, vendor);
        r->ScriptLines().SetLines({"header", "SSS" + src.string() + "/*.*"});
        r->SetLastBackupFile(sra);
        r->SetArquivoZip(archive.string());
        r->Options().UpdateOnly = update;
        warnings.clear();
        r->SetWarningsList(&warnings);
        return r;
    };

    counting.reads = 0;
    auto whole = runner(false);
    const double tWhole = Seconds([&] { whole->Run(); });
    const int readsWhole = counting.reads;
    if (whole->Record().Status != mv::rsDone || !UnzipTest(archive)) {
        std::fprintf(stderr, "whole run failed\n");
        return 1;
    }
    mv::WriteScriptTextLines(sra, whole->ToZipLines());
    fs::copy_file(archive, base / "peer.zip");

    // 1% of the files change.
    int changed = 0;
    for (int i = 0; i < files; i += 100, ++changed) {
        const fs::path p = src / ("d" + std::to_string(i / 200)) / ("e" + std::to_string(i / 20 % 10)) /
                           ("f" + std::to_string(i) + ".txt");
        Write(p, Content(i, 1));
    }

    counting.reads = 0;
    auto update = runner(true);
    const double tUpdate = Seconds([&] { update->Run(); });
    const int readsUpdate = counting.reads;
    if (update->Record().Status != mv::rsDone || !UnzipTest(archive)) {
        std::fprintf(stderr, "update run failed\n");
        return 1;
    }
    const double tPeer = Seconds([&] {
        std::system(("cd / && zip -q -r -u '" + (base / "peer.zip").string() + "' '" +
                     src.string().substr(1) + "' >/dev/null 2>&1")
                        .c_str());
    });
    if (!UnzipTest(base / "peer.zip")) {
        std::fprintf(stderr, "zip -u failed\n");
        return 1;
    }

    std::printf(
        "backup scripts: %d files, %d changed (scan, archive update and final listing; no test step)\n",
        files, changed);
    std::printf("  %-34s %10s %12s\n", "road", "seconds", "files read");
    std::printf("  %-34s %10.3f %12d\n", "whole run (every file)", tWhole, readsWhole);
    std::printf("  %-34s %10.3f %12d\n", "update run (1% changed)", tUpdate, readsUpdate);
    std::printf("  %-34s %10.3f %12s\n", "zip -r -u (peer, same update)", tPeer, "-");
    std::printf("  update / whole: %.2f   update / zip -u: %.2f\n", tUpdate / tWhole, tUpdate / tPeer);
    fs::remove_all(base);
    return 0;
}
