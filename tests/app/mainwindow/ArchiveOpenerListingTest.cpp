// A listing that shows its rows while it runs: the main window's logic with a
// window made of records whose event pump the test drives. The rows shown
// mid-listing are the archive's own first entries; what the user does meanwhile
// (close, open another archive, refresh, a new file specification, a header
// click) is safe and leaves the window as if it had waited for the listing.
// Both roads are taken: a ZIP through the vendor library, a tar through the lister.
// The real main window shows the first rows mid-listing and closes the archive
// from its File menu while the listing runs (screenshots in the three languages).
#include "app/mainwindow/ArchiveOpener.h"

#include "app/common/LangStr.h"
#include "app/mainwindow/FormPrincipal.h"
#include "controls/listview/ExtListView.h"
#include "controls/toolkit/menus/MvMenus.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/Timer.h"
#include "tests/app/mainwindow/FakeMainWindowView.h"
#include "tests/support/DesktopFixture.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <utility>

namespace mv {
namespace {

using mvtest::TempDir;

// More entries than the first screen, so that the listing pumps while it runs.
constexpr int EntryCount = 3000;

// The name of entry i: the archive holds them in reverse order of their names, so
// that the archive's order and the sorted order differ.
std::string EntryName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "d%d/f%05d.txt", i % 7, EntryCount - 1 - i);
    return name;
}

void Put16(std::string& s, uint32_t v) {
    s.push_back(char(v & 0xFF)), s.push_back(char((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF), Put16(s, v >> 16);
}

// A stored ZIP of EntryCount entries of i % 50 bytes.
void WriteZip(const std::filesystem::path& path) {
    std::string out, central;
    for (int i = 0; i < EntryCount; ++i) {
        const std::string name = EntryName(i);
        const std::string data(size_t(i % 50), 'x');
        const uint32_t offset = uint32_t(out.size());
        const uint32_t crc = 0x01020304u * uint32_t(i); // listed, never checked
        Put32(out, 0x04034B50), Put16(out, 10), Put16(out, 0), Put16(out, 0), Put32(out, 0x5A2E6000);
        Put32(out, crc), Put32(out, uint32_t(data.size())), Put32(out, uint32_t(data.size()));
        Put16(out, uint32_t(name.size())), Put16(out, 0);
        out += name + data;
        Put32(central, 0x02014B50), Put16(central, 0x031E), Put16(central, 10), Put16(central, 0);
        Put16(central, 0), Put32(central, 0x5A2E6000), Put32(central, crc);
        Put32(central, uint32_t(data.size())), Put32(central, uint32_t(data.size()));
        Put16(central, uint32_t(name.size())), Put16(central, 0), Put16(central, 0), Put16(central, 0);
        Put16(central, 0), Put32(central, 0x81A40000u), Put32(central, offset);
        central += name;
    }
    const uint32_t cdOffset = uint32_t(out.size());
    out += central;
    Put32(out, 0x06054B50), Put16(out, 0), Put16(out, 0), Put16(out, EntryCount), Put16(out, EntryCount);
    Put32(out, uint32_t(central.size())), Put32(out, cdOffset), Put16(out, 0);
    std::ofstream(path, std::ios::binary).write(out.data(), std::streamsize(out.size()));
}

// A ustar archive of the same entries.
void WriteTar(const std::filesystem::path& path) {
    std::string out;
    for (int i = 0; i < EntryCount; ++i) {
        const std::string name = EntryName(i);
        const std::string data(size_t(i % 50), 'x');
        std::string h(512, '\0');
        h.replace(0, name.size(), name);
        std::snprintf(h.data() + 100, 8, "%07o", 0644);
        std::snprintf(h.data() + 108, 8, "%07o", 0);
        std::snprintf(h.data() + 116, 8, "%07o", 0);
        std::snprintf(h.data() + 124, 12, "%011o", unsigned(data.size()));
        std::snprintf(h.data() + 136, 12, "%011o", 1600000000u);
        h[156] = '0';
        h.replace(257, 6, std::string("ustar\0", 6));
        h.replace(263, 2, "00");
        h.replace(148, 8, "        ");
        unsigned sum = 0;
        for (unsigned char c : h) sum += c;
        std::snprintf(h.data() + 148, 8, "%06o", sum);
        out += h + data + std::string((512 - data.size() % 512) % 512, '\0');
    }
    out += std::string(1024, '\0');
    std::ofstream(path, std::ios::binary).write(out.data(), std::streamsize(out.size()));
}

// A window whose event pump runs what the test gives it, once.
struct TPumpingView : TFakeMainWindowView {
    std::function<void()> OnPump;
    int Pumps = 0;
    void ProcessMessages() override {
        ++Pumps;
        if (auto pump = std::exchange(OnPump, nullptr)) pump();
    }
};

struct Window {
    TPumpingView view;
    TArchiveList list;
    TReopenList history;
    TArchiveOpener opener{view, list, history};
};

// Everything the user sees of the window.
struct Seen {
    std::string archive;
    int items = 0;
    std::vector<std::string> cells;
    std::array<std::string, 5> panels;
    std::string status, caption;
    bool canAdd = false, canExtract = false, canClose = false;
    size_t boxes = 0;
    bool busy = false;
    int updateDepth = 0;
    bool operator==(const Seen&) const = default;
};

Seen SeenOf(Window& w) {
    Seen s;
    s.archive = w.opener.ArchiveFile();
    s.items = w.view.ItemCount;
    for (int i = 0; i < w.view.ItemCount; ++i)
        for (int c = 0; c < ArchiveColumnCount; ++c) s.cells.push_back(w.list.CellText(i, c, false));
    s.panels = w.view.Panels;
    s.status = w.view.StatusText;
    s.caption = w.view.CaptionText;
    s.canAdd = w.view.Commands.CanAdd;
    s.canExtract = w.view.Commands.CanExtract;
    s.canClose = w.view.Commands.CanClose;
    s.boxes = w.view.Boxes.size();
    s.busy = w.view.Busy;
    s.updateDepth = w.view.UpdateDepth;
    return s;
}

struct Archives {
    TempDir dir;
    std::string zip = (dir / "many.zip").string();
    std::string tar = (dir / "many.tar").string();
    Archives() {
        WriteZip(zip);
        WriteTar(tar);
    }
};

TEST(ArchiveOpenerListing, TheFirstScreenShowsTheArchivesFirstRowsWhileTheListingRuns) {
    Archives a;
    for (const std::string& path : {a.zip, a.tar}) {
        SCOPED_TRACE(path);
        Window w;
        // the window sorts by size, descending: the sort waits for the end
        w.view.SortColumn = colTamanho;
        w.view.SortAscending = false;
        bool pumped = false;
        w.view.OnPump = [&] {
            pumped = true;
            EXPECT_TRUE(w.opener.Listing());
            ASSERT_GT(w.view.ItemCount, 0);
            ASSERT_LT(w.view.ItemCount, EntryCount);
            EXPECT_EQ(w.view.ItemCount, w.list.RowCount());
            for (int i = 0; i < w.view.ItemCount; ++i) {
                std::string folder, name = EntryName(i);
                folder = name.substr(0, 3);
                ASSERT_EQ(w.list.CellText(i, colNome, false), name.substr(3)) << i;
                ASSERT_EQ(w.list.CellText(i, colCaminho, false), folder.replace(2, 1, "\\")) << i;
                ASSERT_EQ(w.list.GetCachedRow(i).Size, i % 50) << i;
            }
            // the listing's text, no totals of the rows so far, only Close enabled
            EXPECT_EQ(w.view.StatusText, LoadLangStr(62));
            EXPECT_EQ(w.view.Panels[1], "");
            w.view.Selected = {0, 1};
            w.opener.DisplayTotals(true);
            EXPECT_EQ(w.view.Panels[1], "");
            w.view.Selected.clear();
            EXPECT_FALSE(w.view.Commands.CanAdd || w.view.Commands.CanExtract);
            EXPECT_TRUE(w.view.Commands.CanClose);
        };
        ASSERT_TRUE(w.opener.OpenArchive(path));
        EXPECT_TRUE(pumped);
        EXPECT_FALSE(w.opener.Listing());
        EXPECT_EQ(w.view.ItemCount, EntryCount);
        EXPECT_EQ(w.list.GetCachedRow(0).Size, 49);
        EXPECT_EQ(w.view.Panels[1], LoadLangStr(47) + ": " + std::to_string(EntryCount));
        // the end equals a listing nobody watched
        Window quiet;
        quiet.view.SortColumn = colTamanho;
        quiet.view.SortAscending = false;
        ASSERT_TRUE(quiet.opener.OpenArchive(path));
        EXPECT_TRUE(SeenOf(w) == SeenOf(quiet));
    }
}

TEST(ArchiveOpenerListing, WhatTheUserDoesMidListingRunsWhenItStops) {
    Archives a;
    // what the user does, given the archive being listed and another one
    struct Case {
        const char* what;
        std::function<void(Window&, const std::string&, const std::string&)> act;
    } cases[] = {
        {"close", [](Window& w, const std::string&, const std::string&) { w.opener.CloseArchive(); }},
        {"open another", [](Window& w, const std::string&,
                            const std::string& other) { EXPECT_TRUE(w.opener.OpenArchive(other)); }},
        {"reopen the same", [](Window& w, const std::string& same,
                               const std::string&) { EXPECT_TRUE(w.opener.ReopenArchive(same)); }},
        {"refresh", [](Window& w, const std::string&, const std::string&) { w.opener.List(); }},
        {"file specification",
         [](Window& w, const std::string&, const std::string&) { w.opener.SetFileSpec("f000*"); }},
        {"open, then close",
         [](Window& w, const std::string&, const std::string& other) {
             w.opener.OpenArchive(other);
             w.opener.CloseArchive();
         }},
        {"header click",
         [](Window& w, const std::string&, const std::string&) {
             w.view.SortColumn = colCaminho;
             w.view.SortAscending = false;
             w.opener.SortFinished(colCaminho, false);
         }},
    };
    for (const auto& [first, other] : {std::pair{a.zip, a.tar}, std::pair{a.tar, a.zip}}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(first + ": " + c.what);
            Window w;
            w.view.OnPump = [&] {
                c.act(w, first, other);
                // nothing ran yet: the listing goes on to its stop
                EXPECT_TRUE(w.opener.Listing());
                EXPECT_EQ(w.opener.ArchiveFile(), first);
            };
            ASSERT_TRUE(w.opener.OpenArchive(first));
            EXPECT_GT(w.view.Pumps, 0);
            EXPECT_FALSE(w.opener.Listing());
            // the same as doing it once the listing had ended
            Window after;
            ASSERT_TRUE(after.opener.OpenArchive(first));
            c.act(after, first, other);
            const Seen seen = SeenOf(w);
            const Seen expected = SeenOf(after);
            EXPECT_TRUE(seen == expected) << seen.archive << " " << seen.items;
            EXPECT_EQ(seen.panels, expected.panels);
            EXPECT_TRUE(w.view.Boxes.empty());
        }
    }
}

TEST(ArchiveOpenerListing, TheMainWindowShowsRowsMidListingAndClosesFromItsMenu) {
    Archives a;
    const struct {
        const char* name;
        int32_t base;
    } langs[] = {{"pt", lbPortuguese}, {"en", lbEnglish}, {"es", lbSpanish}};
    const int32_t old = LanguageBase();
    for (const auto& lang : langs) {
        SCOPED_TRACE(lang.name);
        SetLanguageBase(lang.base);
        mvtest::DesktopFixture desktop;
        EnsureApplication();
        TFormPrincipal form(nullptr);
        form.Show();
        QApplication::processEvents();
        // The listing pumps the window's events: a timer looks at the window then.
        bool seen = false;
        TTimer timer(nullptr);
        timer.SetInterval(1);
        timer.OnTimer = [&](auto*) {
            if (seen || form.ArquivosLv->RowCount() == 0) return;
            seen = true;
            EXPECT_TRUE(form.Opener().Listing());
            EXPECT_LT(form.ArquivosLv->RowCount(), EntryCount);
            for (int i = 0; i < 20; ++i) {
                EXPECT_EQ(form.ArquivosLv->CellText(i, colNome), EntryName(i).substr(3)) << i;
            }
            EXPECT_EQ(form.StatusSimpleText(), LoadLangStr(62));
            EXPECT_FALSE(form.Extrair1->Enabled());
            EXPECT_TRUE(form.mnuFecharArquivo1->Enabled());
            EXPECT_TRUE(SaveControlImage(form, mvtest::ScreenshotFolder("mainwindow") +
                                                   "/listing-first-rows-" + lang.name + ".png"));
            form.mnuFecharArquivo1->Action()->trigger();
        };
        EXPECT_TRUE(form.Opener().OpenArchive(a.zip));
        timer.SetEnabled(false);
        ASSERT_TRUE(seen);
        QApplication::processEvents();
        EXPECT_FALSE(form.Opener().Listing());
        EXPECT_EQ(form.ArquivosLv->RowCount(), 0);
        EXPECT_EQ(form.Opener().ArchiveFile(), "");
        EXPECT_FALSE(form.mnuFecharArquivo1->Enabled());
        EXPECT_EQ(form.StatusPanelText(1), LoadLangStr(47) + ": 0");
        // and the archive opens whole afterwards
        EXPECT_TRUE(form.Opener().OpenArchive(a.zip));
        EXPECT_EQ(form.ArquivosLv->RowCount(), EntryCount);
        EXPECT_EQ(form.StatusPanelText(1), LoadLangStr(47) + ": " + std::to_string(EntryCount));
        form.Opener().CloseArchive();
    }
    SetLanguageBase(old);
}

} // namespace
} // namespace mv
