// The main window opening a ZIP of 1,000,000 entries on the offscreen platform:
// the time until the first screen of rows is painted (while the listing still
// runs), until the listing is done with the totals in the status bar and its
// sorted first screen is painted, the peak memory of the process, and the time of
// a sort by size (descending) with its first screen. The list is checked (the
// first rows shown, the row count, the totals and the sorted order) before a
// figure is printed.
//
// Built as its own program (mvbench_mainwindow) because the window lives in the
// desktop layer: mvbench_mainwindow [--quick] (100,000 entries).
#include "app/common/LangStr.h"
#include "app/mainwindow/FormPrincipal.h"
#include "controls/listview/ExtListView.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/Timer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void Put16(std::string& s, uint16_t v) {
    s.push_back(char(v & 0xFF)), s.push_back(char(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, uint16_t(v)), Put16(s, uint16_t(v >> 16));
}

// CRC-32 of a short text (the table is made once).
uint32_t Crc32(const char* data, size_t n) {
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        made = true;
    }
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) c = table[(c ^ uint8_t(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// A stored ZIP of `count` small files of different sizes in 1000 folders. Past 65,535
// entries the end record's counts stay at 0xFFFF, as writers without Zip64 records
// leave them; the central directory is walked without them.
void MakeZip(const std::string& path, uint32_t count) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string central, local;
    uint32_t offset = 0;
    char name[64];
    std::string data;
    const uint32_t dosTime = (uint32_t(45) << 25 | 6u << 21 | 15u << 16) | (12u << 11 | 30u << 5);
    for (uint32_t i = 0; i < count; ++i) {
        const int n = std::snprintf(name, sizeof name, "d%03u/file%07u.txt", i % 1000, i);
        data.assign(1 + (i * 7919u) % 97, char('a' + i % 26));
        const uint32_t crc = Crc32(data.data(), data.size());
        const uint32_t size = uint32_t(data.size());
        local.clear();
        Put32(local, 0x04034B50), Put16(local, 10), Put16(local, 0), Put16(local, 0), Put32(local, dosTime);
        Put32(local, crc), Put32(local, size), Put32(local, size), Put16(local, uint16_t(n)), Put16(local, 0);
        local.append(name, size_t(n)).append(data);
        out.write(local.data(), std::streamsize(local.size()));
        Put32(central, 0x02014B50), Put16(central, 0x031E), Put16(central, 10), Put16(central, 0),
            Put16(central, 0);
        Put32(central, dosTime), Put32(central, crc), Put32(central, size), Put32(central, size);
        Put16(central, uint16_t(n)), Put16(central, 0), Put16(central, 0), Put16(central, 0), Put16(central, 0);
        Put32(central, 0x81A40000u), Put32(central, offset);
        central.append(name, size_t(n));
        offset += uint32_t(local.size());
    }
    out.write(central.data(), std::streamsize(central.size()));
    std::string end;
    const uint16_t shown = count > 0xFFFF ? 0xFFFF : uint16_t(count);
    Put32(end, 0x06054B50), Put16(end, 0), Put16(end, 0), Put16(end, shown), Put16(end, shown);
    Put32(end, uint32_t(central.size())), Put32(end, offset), Put16(end, 0);
    out.write(end.data(), std::streamsize(end.size()));
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const uint32_t count = quick ? 100000 : 1000000;
    const fs::path base = fs::temp_directory_path() / ("mvbench-mainwindow-" + std::to_string(getpid()));
    fs::create_directories(base / "home");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("HOME", (base / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base / "home/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base / "home/.local/share").c_str(), 1);
    const std::string zip = (base / "million.zip").string();
    MakeZip(zip, count);

    mv::SetLanguageBase(mv::lbEnglish);
    mv::EnsureApplication();
    const long before = PeakKilobytes();
    int failures = 0;
    {
        mv::TFormPrincipal form(nullptr);
        form.Show();
        mv::Application->ProcessMessages();
        mv::TBitmap screen;

        // The first screen is caught by a timer that runs whenever the listing
        // pumps the window's events: the first time the list shows rows, they are
        // painted and checked (the archive's first entries, in its order).
        auto start = std::chrono::steady_clock::now();
        double firstScreen = -1;
        int firstRows = 0;
        bool firstOk = false;
        mv::TTimer timer(nullptr);
        timer.SetInterval(1);
        timer.OnTimer = [&](auto*) {
            if (firstScreen >= 0 || form.ArquivosLv->RowCount() == 0) return;
            mv::GrabControlImage(*form.ArquivosLv, screen);
            firstScreen = Seconds(start);
            firstRows = form.ArquivosLv->RowCount();
            firstOk = form.Opener().Listing() &&
                      form.List().CellText(0, mv::colNome, false) == "file0000000.txt" &&
                      form.List().CellText(1, mv::colCaminho, false) == "d001\\";
        };
        form.Opener().OpenArchive(zip);
        timer.SetEnabled(false);
        mv::GrabControlImage(*form.ArquivosLv, screen);
        const double listed = Seconds(start); // all rows sorted, the totals, the first screen
        const long peak = PeakKilobytes();

        const bool countOk = firstOk && form.ArquivosLv->RowCount() == int(count) &&
                             form.StatusPanelText(1) == mv::LoadLangStr(47) + ": " + std::to_string(count);
        start = std::chrono::steady_clock::now();
        form.Opener().SortFinished(mv::colTamanho, false);
        mv::GrabControlImage(*form.ArquivosLv, screen);
        const double sorted = Seconds(start);
        bool orderOk = true;
        for (int i = 1; i < 2000; ++i)
            orderOk = orderOk && form.List().GetCachedRow(i - 1).Size >= form.List().GetCachedRow(i).Size;
        orderOk = orderOk && form.List().GetCachedRow(0).Size == 97;

        if (!countOk || !orderOk) {
            std::fprintf(stderr,
                         "mvbench_mainwindow: wrong list (first screen %s at %.3f s, rows %d, panel \"%s\", "
                         "order %s)\n",
                         firstOk ? "ok" : "wrong", firstScreen, form.ArquivosLv->RowCount(),
                         form.StatusPanelText(1).c_str(), orderOk ? "ok" : "wrong");
            failures = 1;
        } else {
            std::printf("Main window, %u-entry ZIP (%.1f MB), offscreen\n", count,
                        double(fs::file_size(zip)) / 1e6);
            std::printf("  first screen of rows   %8.3f s (%d rows listed so far)\n", firstScreen, firstRows);
            std::printf("  all rows, with totals  %8.3f s\n", listed);
            std::printf("  peak memory            %8.1f MB (%.1f MB before opening)\n", double(peak) / 1024.0,
                        double(before) / 1024.0);
            std::printf("  sort by size, shown    %8.3f s\n", sorted);
        }
        form.Opener().CloseArchive();
    }
    std::error_code ec;
    fs::remove_all(base, ec);
    return failures;
}
