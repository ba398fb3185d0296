// Shell items as drag-and-drop and clipboard data: the blocks byte for byte, the format
// decisions, the enumerator, the drop source's rules and the MIME form.
#include "controls/shell/ShellDataObject.h"
#include "tests/support/DesktopFixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mv {
namespace fs = std::filesystem;
namespace {

void SetTime(const fs::path& p, time_t seconds) {
    struct timespec t[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), t, 0), 0);
}

// home/a/b.txt (5 bytes); both stamped 1e9 seconds so that their items are fixed bytes.
struct Fixture {
    mvtest::DesktopFixture desk;
    fs::path file = desk.Home() / "a/b.txt";
    TIdList parent, item;
    Fixture() {
        fs::create_directories(desk.Home() / "a");
        mvtest::WriteFileText(file, "hello");
        SetTime(file, 1000000000);
        SetTime(desk.Home() / "a", 1000000000);
        TIdList abs;
        EXPECT_EQ(PathToPidl(file.string(), abs), S_OK);
        TMvIdListArray view(abs);
        parent = view.Ancestor(1);
        item = view.Item(2);
    }
};

std::vector<uint8_t> Le(uint64_t v, int n) {
    std::vector<uint8_t> out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}
void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more) { to.insert(to.end(), more.begin(), more.end()); }

TEST(ShellDataObject, BlocksAreByteExact) {
    Fixture fx;
    TShellDataObject* data = new TShellDataObject(fx.parent, {fx.item});
    data->AddRef();
    const uint64_t stamp = 1000000000ull * 1000000000ull;
    std::vector<uint8_t> want = Le(1, 4);
    Append(want, Le(12, 4));          // the parent's list
    Append(want, Le(12 + 43, 4));     // the item's list
    Append(want, {20, 0, 1, 0});      // Home
    Append(want, std::vector<uint8_t>(16, 0));
    Append(want, {21, 0, 4, 0});      // folder "a"
    Append(want, Le(0, 8));
    Append(want, Le(stamp, 8));
    Append(want, {'a', 0, 0});
    Append(want, {25, 0, 5, 0});      // file "b.txt"
    Append(want, Le(5, 8));
    Append(want, Le(stamp, 8));
    Append(want, {'b', '.', 't', 'x', 't', 0, 0});
    TFormatEtc fe;
    fe.Format = ShellIdListFormat();
    THGlobal block;
    ASSERT_EQ(data->GetData(fe, block), S_OK);
    EXPECT_EQ(block, want);

    std::string path = fx.file.string();
    fe.Format = CF_HDROP;
    ASSERT_EQ(data->GetData(fe, block), S_OK);
    ASSERT_EQ(block.size(), 281u); // one name: 260 + 21
    std::vector<uint8_t> head = Le(20, 4);
    Append(head, std::vector<uint8_t>(16, 0));
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 20), head);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[20])), path);
    EXPECT_EQ(block[20 + path.size()], 0);
    EXPECT_EQ(block[21 + path.size()], 0);

    fe.Format = CF_TEXT;
    ASSERT_EQ(data->GetData(fe, block), S_OK);
    std::string text = path + "\r\n";
    std::vector<uint8_t> wantText(text.begin(), text.end());
    wantText.push_back(0);
    EXPECT_EQ(block, wantText);
    // Two calls give two blocks of their own.
    THGlobal again;
    ASSERT_EQ(data->GetData(fe, again), S_OK);
    again[0] = 'X';
    data->GetData(fe, block);
    EXPECT_EQ(block, wantText);
    EXPECT_EQ(data->Release(), 0u);
}

TEST(ShellDataObject, FormatDecisionsAndEnumerator) {
    Fixture fx;
    TShellDataObject* data = new TShellDataObject(fx.parent, {fx.item});
    data->AddRef();
    struct Case {
        uint16_t format;
        uint32_t aspect, tymed;
        HRESULT want;
    } cases[] = {
        {CF_TEXT, DVASPECT_CONTENT, TYMED_HGLOBAL, S_OK},
        {CF_HDROP, DVASPECT_CONTENT, TYMED_HGLOBAL | TYMED_ISTREAM, S_OK},
        {CF_TEXT, DVASPECT_CONTENT, TYMED_ISTREAM, DV_E_TYMED},
        {49999, DVASPECT_CONTENT, TYMED_HGLOBAL, DV_E_FORMATETC},
        {CF_TEXT, DVASPECT_ICON, TYMED_HGLOBAL, DV_E_FORMATETC},
    };
    for (const Case& c : cases) {
        TFormatEtc fe;
        fe.Format = c.format;
        fe.Aspect = c.aspect;
        fe.Tymed = c.tymed;
        EXPECT_EQ(data->QueryGetData(fe), c.want) << c.format;
        THGlobal m;
        EXPECT_EQ(data->GetData(fe, m), c.want);
    }
    TMvFormatEtcList_IEnumFormatEtc* en = nullptr;
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, en), E_NOTIMPL);
    EXPECT_EQ(en, nullptr);
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, en), S_OK);
    TFormatEtc got[5];
    uint32_t fetched = 99;
    EXPECT_EQ(en->Next(5, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 3u);
    EXPECT_EQ(got[0].Format, ShellIdListFormat());
    EXPECT_EQ(got[1].Format, CF_HDROP);
    EXPECT_EQ(got[2].Format, CF_TEXT);
    EXPECT_EQ(en->Next(5, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(en->Reset(), S_OK);
    EXPECT_EQ(en->Skip(2), S_OK);
    TMvFormatEtcList_IEnumFormatEtc* clone = nullptr;
    ASSERT_EQ(en->Clone(clone), S_OK);
    EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0].Format, CF_TEXT);
    EXPECT_EQ(en->Skip(2), S_FALSE);
    EXPECT_EQ(clone->Release(), 0u);
    EXPECT_EQ(en->Release(), 0u);
    EXPECT_EQ(data->DAdvise(), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(data->Release(), 0u);
}

TEST(DropSource, ContinuesDropsOrCancels) {
    struct Case {
        TMouseButton button;
        bool escape;
        uint32_t keys;
        HRESULT want;
    } cases[] = {
        {TMouseButton::mbLeft, false, MK_LBUTTON, S_OK},
        {TMouseButton::mbLeft, false, MK_LBUTTON | MK_SHIFT, S_OK},
        {TMouseButton::mbLeft, false, 0, DRAGDROP_S_DROP},
        {TMouseButton::mbLeft, false, MK_LBUTTON | MK_RBUTTON, DRAGDROP_S_CANCEL},
        {TMouseButton::mbLeft, true, MK_LBUTTON, DRAGDROP_S_CANCEL},
        {TMouseButton::mbRight, false, MK_RBUTTON, S_OK},
        {TMouseButton::mbRight, false, MK_RBUTTON | MK_LBUTTON, DRAGDROP_S_CANCEL},
        {TMouseButton::mbMiddle, false, MK_MBUTTON | MK_CONTROL, S_OK},
    };
    for (const Case& c : cases) {
        TDropSource_shlvtv* src = new TDropSource_shlvtv(c.button);
        src->AddRef();
        EXPECT_EQ(src->QueryContinueDrag(c.escape, c.keys), c.want) << c.keys;
        EXPECT_EQ(src->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
        src->Release();
    }
}

TEST(ShellDataObject, UriListFromAnotherProgramGivesTheSameItems) {
    Fixture fx;
    mvtest::WriteFileText(fx.desk.Home() / "a/c d%.txt", "x");
    SetTime(fx.desk.Home() / "a", 1000000000);
    TIdList abs2;
    ASSERT_EQ(PathToPidl((fx.desk.Home() / "a/c d%.txt").string(), abs2), S_OK);
    TShellDataObject* ours = new TShellDataObject(fx.parent, {fx.item, TMvIdListArray(abs2).Item(2)});
    ours->AddRef();
    TMimeBlocks blocks = MimeBlocksOf(*ours, true);
    std::string uris;
    for (const TMimeBlock& b : blocks)
        if (b.MimeType == "text/uri-list") uris.assign(b.Data.begin(), b.Data.end());
    EXPECT_NE(uris.find("c%20d%25.txt"), std::string::npos);
    // Another program hands only the URI list (with a comment line, LF endings).
    std::string theirs = "# from a file manager\n" + uris;
    bool cut = true;
    TShellDataObject* dropped = DataObjectFromMime({{"text/uri-list", {theirs.begin(), theirs.end()}}}, &cut);
    ASSERT_NE(dropped, nullptr);
    dropped->AddRef();
    EXPECT_FALSE(cut);
    TFormatEtc fe;
    fe.Format = ShellIdListFormat();
    THGlobal a, b;
    ours->GetData(fe, a);
    dropped->GetData(fe, b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(dropped->Names(), ours->Names());
    // Our own blocks carry the cut marker.
    TShellDataObject* again = DataObjectFromMime(blocks, &cut);
    ASSERT_NE(again, nullptr);
    again->AddRef();
    EXPECT_TRUE(cut);
    again->Release();
    dropped->Release();
    EXPECT_EQ(DataObjectFromMime({{"text/uri-list", {'h', 't', 't', 'p', ':'}}}), nullptr);

    EXPECT_EQ(GetAllowedDropEffects(*ours), DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK);
    // Items gone: the drop is refused, nothing is raised.
    fs::remove(fx.file);
    EXPECT_EQ(GetAllowedDropEffects(*ours), DROPEFFECT_NONE);
    ours->Release();
}

TEST(ShellDataObject, DamagedIdListBlocksAreRefused) {
    Fixture fx;
    THGlobal block;
    ASSERT_EQ(MakeIdListArrayHGlobal(fx.parent, {fx.item}, block), S_OK);
    TIdList parent;
    std::vector<TIdList> items;
    EXPECT_TRUE(ReadIdListArray(block, parent, items));
    THGlobal bigCount = block;
    bigCount[0] = 0xFF;
    bigCount[3] = 0x7F;
    THGlobal badOffset = block;
    badOffset[8] = 0xF0;
    THGlobal cutShort(block.begin(), block.end() - 3);
    for (const THGlobal& b : {bigCount, badOffset, cutShort, THGlobal{1, 0}}) EXPECT_FALSE(ReadIdListArray(b, parent, items));
}

TEST(ShellDataObject, SplitPidl) {
    Fixture fx;
    TIdList abs = ConcatPidls(fx.parent, fx.item), parent, last;
    TShellFolderRef folder;
    ASSERT_EQ(SplitPidl(abs, folder, parent, last), S_OK);
    EXPECT_EQ(parent, fx.parent);
    EXPECT_EQ(last, fx.item);
    EXPECT_EQ(folder->AbsoluteIdList(), fx.parent);
    // The Desktop splits as the desktop folder's own path (home/Desktop).
    ASSERT_EQ(SplitPidl(TIdList{0, 0}, folder, parent, last), S_OK);
    EXPECT_EQ(PidlToPath(ConcatPidls(parent, last)), (fx.desk.Home() / "Desktop").string());
}

} // namespace
} // namespace mv
