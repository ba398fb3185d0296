#pragma once
// A main window made of records: what the logic asked the window to show, and
// scripted answers for its boxes and prompts.
#include "app/mainwindow/MainWindowView.h"

#include <deque>
#include <string>
#include <vector>

namespace mv {

struct TFakeMainWindowView : TMainWindowView {
    int ItemCount = -1;
    int SortColumn = 0;
    bool SortAscending = true;
    std::vector<int> Selected;
    int UpdateDepth = 0;
    int AutoSizes = 0;
    std::string StatusText;
    std::array<std::string, 5> Panels;
    std::string CaptionText;
    TCommandState Commands;
    bool Busy = false;
    bool ProgressVisible = false;
    std::string ProgressCaption, ProgressFolder, ProgressFile, ProgressMessage;
    int ProgressPercent = 0;
    struct TBox {
        std::string Text;
        uint8_t Kind;
    };
    std::vector<TBox> Boxes;
    std::deque<std::pair<int, std::string>> PasswordAnswers; // (result, password)
    std::vector<std::string> PasswordPrompts;
    std::deque<int> OverwriteAnswers;
    std::vector<std::string> OverwriteTitles;

    void SetVirtualItemCount(int count) override { ItemCount = count; }
    int CurrentSortColumn() const override { return SortColumn; }
    bool CurrentSortAscending() const override { return SortAscending; }
    std::vector<int> SelectedItems() const override { return Selected; }
    void ClearSelection() override { Selected.clear(); }
    void BeginListUpdate() override { ++UpdateDepth; }
    void EndListUpdate() override { --UpdateDepth; }
    void AutoSizeColumns() override { ++AutoSizes; }
    void SetStatusText(const std::string& text) override { StatusText = text; }
    void SetStatusPanels(const std::array<std::string, 5>& panels) override { Panels = panels; }
    void SetCaption(const std::string& caption) override { CaptionText = caption; }
    void EnableCommands(const TCommandState& state) override { Commands = state; }
    void SetBusyCursor(bool busy) override { Busy = busy; }
    void ShowProgressWindow(bool visible) override { ProgressVisible = visible; }
    void SetProgressCaption(const std::string& text) override { ProgressCaption = text; }
    void SetProgressFolder(const std::string& text) override { ProgressFolder = text; }
    void SetProgressFile(const std::string& text) override { ProgressFile = text; }
    void SetProgressMessage(const std::string& text) override { ProgressMessage = text; }
    void SetProgressPercent(int percent) override { ProgressPercent = percent; }
    int ShowMessage(const std::string& text, uint8_t kind, uint16_t) override {
        Boxes.push_back({text, kind});
        return 1;
    }
    int AskPassword(const std::string& entryName, std::string& password) override {
        PasswordPrompts.push_back(entryName);
        if (PasswordAnswers.empty()) return 2;
        auto [result, text] = PasswordAnswers.front();
        PasswordAnswers.pop_front();
        password = text;
        return result;
    }
    int AskOverwrite(const std::string& title, const std::string&, const std::string&, const std::string&,
                     const std::string&) override {
        OverwriteTitles.push_back(title);
        if (OverwriteAnswers.empty()) return 2;
        const int a = OverwriteAnswers.front();
        OverwriteAnswers.pop_front();
        return a;
    }
};

} // namespace mv
