// The extended list view in virtual mode against a filled list: setting the row count
// of a virtual list to 1,000,000 and showing its end, top and middle, beside filling a
// standard list with 10,000 items (100,000 without --quick would take minutes, which
// is the point of the virtual mode) and showing it. Prints the time of each operation
// and how many rows the list asked its owner for: a virtual list asks only for the
// rows on screen, and applying the count touches none.
//
// Built as its own program (mvbench_listview) on the desktop layer; it runs without a
// display: mvbench_listview [--quick]
#include "controls/listview/ExtListView.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace {

using namespace mv;

double Milliseconds(const std::function<void()>& fn) {
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

struct Row {
    const char* operation;
    double ms;
    long rowsAsked;
    long cellsAsked;
    int rowsShown;
};

void Print(const Row& r) {
    std::printf("%-44s %10.3f %10ld %10ld %10d\n", r.operation, r.ms, r.rowsAsked, r.cellsAsked, r.rowsShown);
}

std::unique_ptr<TForm> MakeForm() {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetClientWidth(600);
    form->SetClientHeight(400);
    return form;
}

void AddColumns(TExtListView& list) {
    const char* titles[] = {"Name", "Size", "Packed", "Date"};
    for (const char* t : titles) {
        TListColumn* c = list.Columns().Add();
        c->SetCaption(t);
        c->SetWidth(140);
    }
}

std::string CellOf(int row, int column) {
    switch (column) {
    case 0:
        return "folder/file" + std::to_string(row) + ".txt";
    case 1:
        return std::to_string(row * 37 % 100000);
    case 2:
        return std::to_string(row * 13 % 50000);
    default:
        return "01/02/1999 10:00";
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    EnsureApplication();

    std::printf("%-44s %10s %10s %10s %10s\n", "operation", "ms", "rows asked", "cells", "rows shown");

    // Virtual: a million rows, the owner counting what it is asked.
    {
        auto form = MakeForm();
        auto* list = new TExtListView(form.get());
        list->SetParent(form.get());
        list->SetAlign(TAlign::alClient);
        AddColumns(*list);
        list->SetVirtualMode(true);
        std::set<int> rows;
        long cells = 0;
        list->OnVMGetItemInfo = [&](TComponent*, int item, int subItem, TLVVMMaskItems&, int&, intptr_t&,
                                    uint32_t&, uint32_t&, int&, std::string& text) {
            rows.insert(item);
            ++cells;
            text = CellOf(item, subItem);
        };
        list->Loaded();
        form->Show();
        Application->ProcessMessages();
        TBitmap shot;
        auto measure = [&](const char* name, const std::function<void()>& op) {
            rows.clear();
            cells = 0;
            const double ms = Milliseconds([&] {
                op();
                GrabControlImage(*list, shot); // paints what is on screen
            });
            int from = -1, to = -1;
            list->VisibleRange(from, to);
            Print({name, ms, static_cast<long>(rows.size()), cells, from < 0 ? 0 : to - from + 1});
        };
        rows.clear();
        cells = 0;
        const double setMs = Milliseconds([&] { list->SetVirtualItemCount(1000000, 2); });
        Print({"virtual: set count to 1,000,000", setMs, static_cast<long>(rows.size()), cells, 0});
        measure("virtual: first screen", [] {});
        measure("virtual: scroll to the end", [&] { list->ScrollToRow(999999); });
        measure("virtual: scroll to the top", [&] { list->ScrollToRow(0); });
        measure("virtual: scroll to the middle", [&] { list->ScrollToRow(500000); });
        measure("virtual: select all, walk the selection", [&] {
            list->SelectAll();
            int n = 0;
            for (int i = list->GetNextItemIndex(-1, 4, 16); i >= 0 && n < 1000000; i = list->GetNextItemIndex(i, 4, 16))
                ++n;
            if (n != 1000000) std::printf("selection walk found %d rows\n", n);
        });
        measure("virtual: set count to 10 (shrink)", [&] { list->SetVirtualItemCount(10, 2); });
    }

    // Baseline: a standard list filled item by item, then shown.
    const int filled = quick ? 2000 : 10000;
    {
        auto form = MakeForm();
        auto* list = new TExtListView(form.get());
        list->SetParent(form.get());
        list->SetAlign(TAlign::alClient);
        AddColumns(*list);
        list->Loaded();
        form->Show();
        Application->ProcessMessages();
        const double fillMs = Milliseconds([&] {
            list->BeginUpdate();
            for (int i = 0; i < filled; ++i) {
                TListItem* item = list->Items().Add();
                item->SetCaption(CellOf(i, 0));
                item->SubItems() = {CellOf(i, 1), CellOf(i, 2), CellOf(i, 3)};
            }
            list->EndUpdate();
        });
        std::string label = "standard: fill " + std::to_string(filled) + " items";
        Print({label.c_str(), fillMs, filled, filled * 4L, 0});
        TBitmap shot;
        const double showMs = Milliseconds([&] { GrabControlImage(*list, shot); });
        int from = -1, to = -1;
        list->VisibleRange(from, to);
        Print({"standard: first screen", showMs, 0, 0, to - from + 1});
        const double sortMs = Milliseconds([&] { list->SortItems(1, true); });
        Print({"standard: sort by size (smart compare)", sortMs, 0, 0, 0});
        const double scrollMs = Milliseconds([&] {
            list->ScrollToRow(filled - 1);
            GrabControlImage(*list, shot);
        });
        Print({"standard: scroll to the end", scrollMs, 0, 0, to - from + 1});
    }
    return 0;
}
