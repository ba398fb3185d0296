#include "controls/shell/dialogs/MvOpenDlg.h"

#include "controls/shell/dialogs/DialogTexts.h"
#include "controls/shell/dialogs/Splitter.h"
#include "platform/desktop/Mime.h"

#include <istream>
#include <mutex>
#include <ostream>
#include <stdexcept>

namespace mv {

namespace {

std::mutex serviceLock;
TMvDialogMessageService messageService;
TMvRegisteredExt registeredTest;

// The dialogs' own message box: the text, then OK or Yes and No, right-aligned.
int ShowOwnMessageBox(const std::string& text, const std::string& caption, TMvDlgMsgButtons buttons) {
    TForm form(nullptr);
    form.SetBorderStyle(TFormBorderStyle::bsDialog);
    form.SetPosition(TPosition::poScreenCenter);
    form.SetCaption(caption);
    int lines = 1;
    size_t widest = 0, start = 0;
    while (true) {
        size_t nl = text.find('\n', start);
        size_t len = (nl == std::string::npos ? text.size() : nl) - start;
        widest = std::max(widest, len);
        if (nl == std::string::npos) break;
        ++lines;
        start = nl + 1;
    }
    const int width = std::max(240, std::min(560, static_cast<int>(widest) * 7 + 32));
    const int textHeight = lines * 16;
    form.SetClientWidth(width);
    form.SetClientHeight(textHeight + 60);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetBounds(16, 14, width - 32, textHeight);
    label->SetCaption(text);
    struct Button {
        int result;
        std::string caption;
    };
    std::vector<Button> set;
    if (buttons == TMvDlgMsgButtons::dmbYesNo)
        set = {{mrYes, DialogText(dtYes)}, {mrNo, DialogText(dtNo)}};
    else
        set = {{mrOk, DialogText(dtOk)}};
    int x = width - 16 - static_cast<int>(set.size()) * 81 + 6;
    for (size_t i = 0; i < set.size(); ++i) {
        auto* button = new TButton(&form);
        button->SetParent(&form);
        button->SetBounds(x, textHeight + 26, 75, 25);
        button->SetCaption(set[i].caption);
        button->SetModalResult(set[i].result);
        if (i == 0) button->SetDefault(true);
        if (i + 1 == set.size()) button->SetCancel(true);
        x += 81;
    }
    return form.ShowModal();
}

} // namespace

void SetDialogMessageService(TMvDialogMessageService service) {
    std::lock_guard<std::mutex> lock(serviceLock);
    messageService = std::move(service);
}

int ShowDialogMessage(const std::string& text, const std::string& caption, TMvDlgMsgKind kind,
                      TMvDlgMsgButtons buttons) {
    TMvDialogMessageService service;
    {
        std::lock_guard<std::mutex> lock(serviceLock);
        service = messageService;
    }
    if (service) return service(text, caption, kind, buttons);
    return ShowOwnMessageBox(text, caption, buttons);
}

void SetRegisteredExtensionTest(TMvRegisteredExt test) {
    std::lock_guard<std::mutex> lock(serviceLock);
    registeredTest = std::move(test);
}

bool IsRegisteredExtension(const std::string& extension) {
    TMvRegisteredExt test;
    {
        std::lock_guard<std::mutex> lock(serviceLock);
        test = registeredTest;
    }
    return test ? test(extension) : IsKnownExtension(extension);
}

// --- TMvDialog ---

TMvDialog::TMvDialog(TComponent* owner) : TComponent(owner) {}

TMvDialog::~TMvDialog() = default;

bool TMvDialog::Execute() {
    if (FExecuting) throw std::runtime_error(ClassName() + " already executing");
    FExecuting = true;
    try {
        bool result = DoExecute();
        FExecuting = false;
        return result;
    } catch (...) {
        FExecuting = false;
        throw;
    }
}

void TMvDialog::DoInitialized() {
    if (OnInitialized) OnInitialized(this);
}

namespace {

void PutInt32(std::ostream& stream, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
    stream.write(bytes, 4);
}

int32_t GetInt32(std::istream& stream) {
    unsigned char bytes[4];
    if (!stream.read(reinterpret_cast<char*>(bytes), 4)) throw std::runtime_error("Stream read error");
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                                (static_cast<uint32_t>(bytes[2]) << 16) |
                                (static_cast<uint32_t>(bytes[3]) << 24));
}

uint8_t GetByte(std::istream& stream) {
    char c;
    if (!stream.read(&c, 1)) throw std::runtime_error("Stream read error");
    return static_cast<uint8_t>(c);
}

} // namespace

void TMvDialog::ReadFormGeometry(std::istream& stream) {
    const int32_t width = GetInt32(stream);
    const int32_t height = GetInt32(stream);
    const uint8_t state = GetByte(stream);
    FFormWidth = width;
    FFormHeight = height;
    FFormWindowState = state <= 2 ? static_cast<TWindowState>(state) : TWindowState::wsNormal;
}

void TMvDialog::WriteFormGeometry(std::ostream& stream) const {
    PutInt32(stream, FFormWidth);
    PutInt32(stream, FFormHeight);
    const char state = static_cast<char>(FFormWindowState);
    stream.write(&state, 1);
}

// --- TMvFileDlg ---

TMvFileDlg::TMvFileDlg(TComponent* owner) : TMvDialog(owner) {}

TMvFileDlg::~TMvFileDlg() = default;

TMvOpenOptions TMvFileDlg::Options() const {
    return FOptions;
}

void TMvFileDlg::SetOptions(TMvOpenOptions value) {
    FOptions = value;
    if (FForm) FForm->SetOptions(value);
}

std::string TMvFileDlg::FileName() const {
    if (FForm) return FForm->FileNameEdt->Text();
    return FFiles.empty() ? std::string() : FFiles.front();
}

void TMvFileDlg::SetFileName(const std::string& value) {
    FFiles.clear();
    FFiles.push_back(value);
    if (FForm) FForm->FileNameEdt->SetTextValue(value);
}

void TMvFileDlg::SetFilter(const std::string& value) {
    FFilter = value;
    if (FForm) FForm->SetFilter(value);
}

int TMvFileDlg::FilterIndex() const {
    return FForm ? FForm->FilterIndex() : FFilterIndex;
}

void TMvFileDlg::SetFilterIndex(int value) {
    FFilterIndex = value;
    if (FForm) FForm->SetFilterIndex(value);
}

void TMvFileDlg::SetFormSplitterPos(int value) {
    FFormSplitterPos = value;
    if (FForm) FForm->MvSplitter1->SetPosition(value);
}

void TMvFileDlg::ReadFormGeometry(std::istream& stream) {
    TMvDialog::ReadFormGeometry(stream);
    const uint8_t tree = GetByte(stream);
    const int32_t position = GetInt32(stream);
    if (tree == 1)
        FOptions |= ptofShowTree;
    else
        FOptions &= ~ptofShowTree;
    FFormSplitterPos = position;
}

void TMvFileDlg::WriteFormGeometry(std::ostream& stream) const {
    TMvDialog::WriteFormGeometry(stream);
    const char tree = (FOptions & ptofShowTree) ? 1 : 0;
    stream.write(&tree, 1);
    PutInt32(stream, FFormSplitterPos);
}

bool TMvFileDlg::DoExecute() {
    if (FForm) throw std::runtime_error((Name().empty() ? ClassName() : Name()) + " already executing");
    return RunForm(
        FForm, CreateForm(), [this](TMvFrmOpenDlg& form) { InitForm(form); },
        [this](TMvFrmOpenDlg& form) { ReadForm(form); });
}

std::unique_ptr<TMvFrmOpenDlg> TMvFileDlg::CreateForm() {
    return std::make_unique<TMvFrmOpenDlg>(nullptr);
}

void TMvFileDlg::InitForm(TMvFrmOpenDlg& form) {
    form.MvShellList1->OnAddItem = OnAddListItem;
    form.MvShellTree1->OnAddItem = OnAddTreeItem;
    form.MvShellList1->OnCustomDrawSh = OnLvCustomDrawSh;
    form.MvShellList1->OnCustomDrawShEx = OnLvCustomDrawShEx;
    form.MvShellTree1->OnCustomDrawSh = OnTvCustomDrawSh;
    form.MvShellTree1->OnCustomDrawShEx = OnTvCustomDrawShEx;
    form.OnFormClose = OnFormClose;
    form.OnFormShow = OnFormShow;
    form.OnTypeChanged = OnTypeChanged;
    form.OnFolderChanged = OnFolderChanged;
    form.OnSelectionChanged = OnSelectionChanged;
    form.SetInitialDir(FInitialDir);
    form.FileNameEdt->SetTextValue(FFiles.empty() ? std::string() : FFiles.front());
    form.SetDefaultExt(FDefaultExt);
    form.SetOptions(FOptions);
    if (FFormWidth > 0) form.SetWidth(FFormWidth);
    if (FFormHeight > 0) form.SetHeight(FFormHeight);
    form.SetWindowState(FFormWindowState);
    form.SetFilter(FFilter);
    form.SetFilterIndex(FFilterIndex);
    form.MvSplitter1->SetPosition(FFormSplitterPos);
    form.LookInTxt->SetCaption(DialogText(dtLookIn));
    form.FilesOfTypeTxt->SetCaption(DialogText(dtFilesOfType));
    form.DialogHelpContext = FHelpContext;
    form.SetHelpContext(FHelpContext);
    form.OnHelp = OnHelp;
}

void TMvFileDlg::ReadForm(TMvFrmOpenDlg& form) {
    FOptions = form.Options();
    FFiles = form.Results();
    const TWindowPlacement placement = form.GetWindowPlacement();
    FFormWidth = placement.rcNormalPosition.Right - placement.rcNormalPosition.Left;
    FFormHeight = placement.rcNormalPosition.Bottom - placement.rcNormalPosition.Top;
    FFormWindowState = form.WindowState();
    FFilterIndex = form.FilterIndex();
    FFormSplitterPos = form.MvSplitter1->Position();
}

void TMvCustomOpenDlg::InitForm(TMvFrmOpenDlg& form) {
    TMvFileDlg::InitForm(form);
    form.SetCaption(Title().empty() ? DialogText(dtOpenCaption) : Title());
    form.OpenBtn->SetCaption(DialogText(dtOpenButton));
}

void TMvCustomSaveDlg::InitForm(TMvFrmOpenDlg& form) {
    TMvFileDlg::InitForm(form);
    form.SetCaption(Title().empty() ? DialogText(dtSaveCaption) : Title());
    form.OpenBtn->SetCaption(DialogText(dtSaveButton));
}

bool ExecuteOpenArchiveDialog(const std::string& filter, int filterIndex, const std::string& initialDir,
                              const std::string& title, bool multiSelect, std::vector<std::string>& files) {
    TMvOpenDlg dialog(nullptr);
    dialog.SetOptions(ptofFileMustExist | ptofHideReadOnly | ptofPathMustExist | ptofAllowTree |
                      ptofShowTree | ptofShowHints | ptofShowHidden |
                      (multiSelect ? ptofAllowMultiselect : 0));
    dialog.SetFilter(filter);
    dialog.SetFilterIndex(filterIndex);
    dialog.SetInitialDir(initialDir);
    dialog.SetTitle(title);
    dialog.SetFormWidth(571);
    dialog.SetFormHeight(425);
    dialog.SetFormSplitterPos(159);
    if (!dialog.Execute()) return false;
    files = dialog.Files();
    return !files.empty();
}

} // namespace mv
