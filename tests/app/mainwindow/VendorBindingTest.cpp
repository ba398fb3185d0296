// The binding to the vendor zip library: result texts, the reset to the
// program's defaults, the list conversions, and the handlers of its events for
// the main window, the self-extractor wizard and the backup runner (records in
// place of their forms).
#include "app/mainwindow/VendorBinding.h"

#include "app/common/LangStr.h"
#include "archive/libraries/vendorzip/VendorZip.h"
#include "tests/app/mainwindow/FakeMainWindowView.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mv {
namespace {

using mvtest::CorpusDir;

struct LanguageScope {
    explicit LanguageScope(int32_t base) : old(LanguageBase()) { SetLanguageBase(base); }
    ~LanguageScope() { SetLanguageBase(old); }
    int32_t old;
};

TEST(VendorBinding, ResultTexts) {
    LanguageScope pt(lbPortuguese);
    struct Case {
        int code;
        std::string text;
    } cases[] = {
        {0, ""},
        {-5, ""},
        {118, ""},
        {509, ""},
        {526, ""},
        {1, LoadLangStr(97)},
        {12, LoadLangStr(97)},
        {13, LoadLangStr(308)},
        {14, LoadLangStr(96)},
        {102, LoadLangStr(317)},
        {114, LoadLangStr(317)},
        {107, LoadLangStr(90)},
        {119, LoadLangStr(95)},
        {502, "O Arquivo está corrompido."},
        {517, LoadLangStr(295)},
        {519, "O Arquivo não é um Zip válido."},
        {1050, "Não é um arquivo Zip válido!"},
        {1052, "Não é um arquivo Zip válido!"},
        {1051, "Arquivo Zip incompleto"},
        {1054, "Usuário abortou a operação"},
        {777, LoadLangStr(321) + "  #777"},
    };
    for (const Case& c : cases) EXPECT_EQ(VendorErrorText(c.code), c.text) << c.code;
    EXPECT_EQ(VendorErrorText(502, LoadLangStr(42)), "O Arquivo está corrompido. (extraindo)");
    EXPECT_EQ(VendorErrorText(0, "extraindo"), "");
}

TEST(VendorBinding, NamesSwitchesAndLists) {
    char field[VzNameSize];
    std::memset(field, 'x', sizeof field);
    EXPECT_EQ(VzNameToStr(field), ""); // no NUL
    std::strcpy(field, "dir/a.txt");
    EXPECT_EQ(VzNameToStr(field), "dir/a.txt");
    EXPECT_EQ(BoolToXz(true), 1);
    EXPECT_EQ(BoolToXz(false), 0);
}

// The reset puts back every default: a zip listed after an instance was set up
// for something else lists all its entries, and the listing's result is clean.
TEST(VendorBinding, ResetBeforeAListingUndoesEarlierSettings) {
    VendorZipInitDLL();
    const uint32_t h = VzCreateVendorZipA();
    int listed = 0;
    VzSetVendorZipWindow(h, [&](uint32_t event, void* block) {
        if (event == vzev::Listing && static_cast<TVzListingBlock*>(block)->NotShown == 0) ++listed;
    });
    const std::vector<std::string> only = {"nothing-matches-this"};
    SetXzFileList(h, &only, true);
    SetXzFileList(h, &only, false);
    VzSetAbort(h, 1);
    VzSetSplitSize(h, 100000);
    ResetVendorZip(h, (CorpusDir() / "zip/pkzip1_shrink.zip").string(), "");
    EXPECT_EQ(VzListZipContents(h), 0);
    EXPECT_EQ(listed, 3);
    VzDestroyVendorZip(h);
}

struct Binding {
    TFakeMainWindowView view;
    TArchiveList list;
    TVendorZipBinding vendor{list, view};
    int tag = 0;
    TFormSFXFields wizard;
    TFrmExecutaFields runner;
    Binding() {
        vendor.VzReceiverTag = [this] { return tag; };
        vendor.ArchiveName = [] { return std::string("/x/a.zip"); };
        vendor.Wizard = &wizard;
        vendor.Runner = &runner;
    }
};

TVzListingBlock Listing(const char* name, int32_t size, int32_t packed, int16_t attributes, bool encrypted,
                        bool notShown = false) {
    TVzListingBlock b;
    std::strcpy(b.Name, name);
    b.FileSize = size;
    b.PackedSize = packed;
    b.Ratio = 40;
    b.Attributes = attributes;
    b.Crc = 0xDEADBEEF;
    b.Modified.wYear = 2001, b.Modified.wMonth = 2, b.Modified.wDay = 3, b.Modified.wHour = 4,
    b.Modified.wMinute = 5;
    b.Encrypted = encrypted ? 1 : 0;
    b.NotShown = notShown ? 1 : 0;
    return b;
}

TEST(VendorBinding, ListingEventsByReceiver) {
    Binding s;
    auto a = Listing("docs/a.txt", 100, 60, 33, true);
    auto dir = Listing("docs/", 0, 0, 16, false, true);
    s.vendor.HandleEvent(1, vzev::Listing, &a);
    s.vendor.HandleEvent(1, vzev::Listing, &dir); // not to be shown: no row
    ASSERT_EQ(s.list.RowCount(), 1);
    const TArchiveRow& r = s.list.Rows()[0];
    EXPECT_EQ(r.ShownName(), "a.txt+");
    EXPECT_EQ(r.Path, "docs\\");
    EXPECT_EQ(r.Attributes, "AR");
    EXPECT_EQ(SortKeyOf(r, colModificado), "200102030405");
    EXPECT_EQ(s.list.Keys(colNome)[0].Key, "a.txt+");
    // The backup runner counts and adds; no row.
    s.tag = VzReceiverRunner;
    s.vendor.HandleEvent(1, vzev::Listing, &a);
    EXPECT_EQ(s.list.RowCount(), 1);
    EXPECT_EQ(s.runner.FileCount, 1);
    EXPECT_EQ(s.runner.SizeTotal, 100);
    EXPECT_EQ(s.runner.PackedTotal, 60);
    EXPECT_EQ(s.runner.BackedUpNames, std::vector<std::string>{"docs/a.txt"});
    // The wizard: nothing of a listing.
    s.tag = VzReceiverWizard;
    s.vendor.HandleEvent(1, vzev::Listing, &a);
    EXPECT_EQ(s.list.RowCount(), 1);
}

TEST(VendorBinding, WarningsOfTheRunnerAndProgressOfEachReceiver) {
    LanguageScope pt(lbPortuguese);
    Binding s;
    s.tag = VzReceiverRunner;
    for (int code : {13, 14, 12, 107}) {
        TVzWarningBlock b;
        std::strcpy(b.Name, "f.txt");
        b.Code = code;
        s.vendor.HandleEvent(1, vzev::Warning, &b);
    }
    EXPECT_EQ(s.runner.Warnings, 2);
    EXPECT_EQ(s.runner.WarningLines,
              (std::vector<std::string>{"f.txt  -  " + LoadLangStr(308), "f.txt  -  " + LoadLangStr(90)}));
    TVzProgressBlock p;
    p.Percent = 100;
    s.tag = VzReceiverMainWindow;
    s.vendor.HandleEvent(1, vzev::Progress, &p);
    EXPECT_EQ(s.view.ProgressPercent, 100);
    EXPECT_EQ(s.view.ProgressMessage, LoadLangStr(56));
    p.Percent = 30;
    s.tag = VzReceiverWizard;
    s.vendor.HandleEvent(1, vzev::Progress, &p);
    EXPECT_EQ(s.wizard.ProgressBar1, 30);
    TVzNameBlock n;
    std::strcpy(n.Name, "d/e/f.bin");
    s.tag = VzReceiverMainWindow;
    s.vendor.HandleEvent(1, vzev::Processing, &n);
    EXPECT_EQ(s.view.ProgressFolder, "d\\e\\");
    EXPECT_EQ(s.view.ProgressFile, "f.bin");
    s.vendor.HandleEvent(1, vzev::Removing, &n);
    EXPECT_EQ(s.view.ProgressCaption, LoadLangStr(101) + "/x/a.zip");
    EXPECT_EQ(s.view.ProgressMessage, LoadLangStr(103));
    TVzTotalsBlock t;
    t.TotalOutputBytes = 4321;
    s.vendor.HandleEvent(1, vzev::Totals, &t);
    EXPECT_EQ(s.vendor.VzTotalBytes, 4321);
}

TEST(VendorBinding, BadPasswordRetriesSilentlyThenAsks) {
    Binding s;
    s.view.PasswordAnswers = {{1, "secret"}, {5, ""}, {2, ""}};
    TVzBadPasswordBlock b;
    std::strcpy(b.Name, "a.txt");
    s.vendor.HandleEvent(1, vzev::BadPassword, &b); // first time for this entry: no prompt
    EXPECT_TRUE(s.view.PasswordPrompts.empty());
    EXPECT_EQ(b.Retry, 1u);
    s.vendor.HandleEvent(1, vzev::BadPassword, &b); // again: the prompt, OK
    EXPECT_EQ(s.view.PasswordPrompts, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(VzNameToStr(b.NewPassword), "secret");
    EXPECT_EQ(b.Retry, 1u);
    TVzBadPasswordBlock other;
    std::strcpy(other.Name, "b.txt");
    s.vendor.HandleEvent(1, vzev::BadPassword, &other); // another entry: the remembered password
    EXPECT_EQ(VzNameToStr(other.NewPassword), "secret");
    EXPECT_EQ(other.Retry, 1u);
    s.vendor.HandleEvent(1, vzev::BadPassword, &other); // Descartar: skipped
    EXPECT_EQ(other.Retry, 0u);
}

TEST(VendorBinding, ReplacingFollowsTheOverwriteAnswer) {
    Binding s;
    TVzReplacingBlock same;
    std::strcpy(same.Name, "dir/a.txt");
    same.ExistingSize = same.NewSize = 10;
    s.vendor.HandleEvent(1, vzev::Replacing, &same); // equal size and time: kept, no prompt
    EXPECT_EQ(same.Replace, 0u);
    EXPECT_TRUE(s.view.OverwriteTitles.empty());
    TVzReplacingBlock b = same;
    b.NewSize = 11;
    s.view.OverwriteAnswers = {7, 5};
    s.vendor.HandleEvent(1, vzev::Replacing, &b);
    EXPECT_EQ(b.Replace, 0u); // No
    EXPECT_EQ(s.view.OverwriteTitles[0], LoadLangStr(88) + "\"a.txt\"");
    s.vendor.HandleEvent(1, vzev::Replacing, &b);
    EXPECT_EQ(b.Replace, 1u); // yes to all...
    s.vendor.HandleEvent(1, vzev::Replacing, &b);
    EXPECT_EQ(b.Replace, 1u); // ...without asking again
    EXPECT_EQ(s.view.OverwriteTitles.size(), 2u);
    s.tag = VzReceiverRunner; // never for the runner
    b.Replace = 7;
    s.vendor.HandleEvent(1, vzev::Replacing, &b);
    EXPECT_EQ(b.Replace, 7u);
}

} // namespace
} // namespace mv
