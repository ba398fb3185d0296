#include "controls/toolkit/placement/FormPlacement.h"

#include "platform/ui/SysMetrics.h"

#include <algorithm>
#include <exception>

namespace mv {

// ---- TWinMinMaxInfo ----

bool TWinMinMaxInfo::DefaultMinMaxInfo() const {
    const TMinMaxInfo& i = FInfo;
    return i.ptMaxPosition.X == 0 && i.ptMaxPosition.Y == 0 && i.ptMaxSize.X == 0 && i.ptMaxSize.Y == 0 &&
           i.ptMaxTrackSize.X == 0 && i.ptMaxTrackSize.Y == 0 && i.ptMinTrackSize.X == 0 &&
           i.ptMinTrackSize.Y == 0;
}

void TWinMinMaxInfo::Assign(const TWinMinMaxInfo& other) {
    FInfo = other.FInfo;
    if (FOwner) FOwner->MinMaxInfoChanged();
}

void TWinMinMaxInfo::Set(int& field, int value) {
    if (field == value) return;
    field = value;
    if (FOwner) FOwner->MinMaxInfoChanged();
}

// ---- TIniLink ----

TIniLink::~TIniLink() {
    SetIniObject(nullptr);
}

void TIniLink::SetIniObject(TFormPlacement* value) {
    if (value == FIniObject) return;
    if (FIniObject) {
        auto& links = FIniObject->FLinks;
        links.erase(std::remove(links.begin(), links.end(), this), links.end());
    }
    FIniObject = value;
    if (value) value->FLinks.push_back(this);
}

std::string TIniLink::RootSection() const {
    if (!FIniObject) return {};
    const std::string section = FIniObject->EffectiveSection();
    return section.empty() ? std::string() : section + "\\";
}

TPlacementStorage* TIniLink::Storage() const {
    return FIniObject ? FIniObject->Storage() : nullptr;
}

void TIniLink::SaveToIni() {
    if (OnSave) OnSave();
}

void TIniLink::LoadFromIni() {
    if (OnLoad) OnLoad();
}

// ---- TFormPlacement ----

struct TFormPlacement::FormShowHandler {
    TFormPlacement* Placement;
    void operator()(TComponent* sender) const { Placement->FormShow(sender); }
};
struct TFormPlacement::FormCloseQueryHandler {
    TFormPlacement* Placement;
    void operator()(TComponent* sender, bool& canClose) const { Placement->FormCloseQuery(sender, canClose); }
};
struct TFormPlacement::FormDestroyHandler {
    TFormPlacement* Placement;
    void operator()(TComponent* sender) const { Placement->FormDestroy(sender); }
};

TFormPlacement::TFormPlacement(TComponent* owner)
    : TComponent(owner), FHook(std::make_unique<TMvWindowHook>(nullptr)) {
    FHook->SetActive(false);
    FHook->AfterMessage = [this](TComponent*, TMessage& msg, bool&) { WndMessage(msg); };
    if (TForm* form = Form()) {
        FOptions = fpState | fpPosition;
        FHadMaximize = form->BorderIcons() & biMaximize;
    }
    Loaded();
}

TFormPlacement::~TFormPlacement() {
    BeginDestruction();
    while (!FLinks.empty()) FLinks.back()->SetIniObject(nullptr);
    FHook->SetWinControl(nullptr);
    // The form gets its own handlers back, unless it is going away itself.
    if (TForm* form = Form(); form && !form->Destroying()) {
        if (form->OnShow.target<FormShowHandler>()) form->OnShow = FSavedShow;
        if (form->OnCloseQuery.target<FormCloseQueryHandler>()) form->OnCloseQuery = FSavedCloseQuery;
        if (form->OnDestroy.target<FormDestroyHandler>()) form->OnDestroy = FSavedDestroy;
    }
}

TForm* TFormPlacement::Form() const {
    return dynamic_cast<TForm*>(Owner());
}

void TFormPlacement::Loaded() {
    TForm* form = Form();
    if (form && !form->Destroying()) {
        if (!form->OnShow.target<FormShowHandler>()) {
            FSavedShow = form->OnShow;
            form->OnShow = FormShowHandler{this};
        }
        if (!form->OnCloseQuery.target<FormCloseQueryHandler>()) {
            FSavedCloseQuery = form->OnCloseQuery;
            form->OnCloseQuery = FormCloseQueryHandler{this};
        }
        if (!form->OnDestroy.target<FormDestroyHandler>()) {
            FSavedDestroy = form->OnDestroy;
            form->OnDestroy = FormDestroyHandler{this};
        }
    }
    UpdateHook();
}

std::string TFormPlacement::EffectiveIniFileName() const {
    if (!FIniFileName.empty()) return FIniFileName;
    if (FUseRegistry) {
        const std::string title = Application ? Application->Title() : std::string();
        return DefaultRegistryKey(title, true, ProgramFileName(), "");
    }
    return DefaultIniFileName(ProgramFileName());
}

std::string TFormPlacement::EffectiveSection() const {
    return FIniSection.empty() ? DefaultSectionOf(Owner()) : FIniSection;
}

std::unique_ptr<TPlacementStorage> TFormPlacement::OpenStorage() const {
    if (FUseRegistry)
        return std::make_unique<TRegistryPlacementStorage>(EffectiveIniFileName(), FRegistryFileName);
    return std::make_unique<TIniPlacementStorage>(EffectiveIniFileName());
}

bool TFormPlacement::ReportErrors(const std::function<void()>& fn) {
    try {
        fn();
        return true;
    } catch (const std::exception& e) {
        EnsureApplication().HandleException(e);
    } catch (...) {
        EnsureApplication().HandleException(std::string("Unknown error"));
    }
    return false;
}

std::string TFormPlacement::ReadString(const std::string& section, const std::string& ident,
                                       const std::string& defaultValue) {
    if (FStorage) return FStorage->ReadString(section, ident, defaultValue);
    return OpenStorage()->ReadString(section, ident, defaultValue);
}

void TFormPlacement::WriteString(const std::string& section, const std::string& ident,
                                 const std::string& value) {
    if (FStorage) {
        FStorage->WriteString(section, ident, value);
        return;
    }
    OpenStorage()->WriteString(section, ident, value);
}

void TFormPlacement::SaveFormPlacement() {
    const std::string section = EffectiveSection();
    if (TForm* form = Form()) {
        WriteFormPlacement(*form, *FStorage, section);
        if ((FOptions & fpActiveControl) && form->ActiveControl())
            FStorage->WriteString(section, "ActiveControl", form->ActiveControl()->Name());
    }
    FStorage->WriteBool(section, "Visible", FDestroying);
    for (TIniLink* link : std::vector<TIniLink*>(FLinks)) link->SaveToIni();
}

void TFormPlacement::RestoreFormPlacement() {
    const std::string section = EffectiveSection();
    if (TForm* form = Form())
        ReadFormPlacement(*form, *FStorage, section, FOptions & fpPosition, FOptions & fpState);
    for (TIniLink* link : std::vector<TIniLink*>(FLinks)) link->LoadFromIni();
}

void TFormPlacement::SavePlacement() {
    // Nothing is saved before anything was restored, so a form that never showed does
    // not overwrite what it would have shown.
    if (FActive && !FRestored) return;
    FStorage = OpenStorage();
    try {
        SaveFormPlacement();
        DoSavePlacement();
        FSaved = true;
    } catch (...) {
        FStorage.reset();
        throw;
    }
    FStorage.reset();
}

void TFormPlacement::RestorePlacement() {
    FSaved = false;
    FStorage = OpenStorage();
    try {
        RestoreFormPlacement();
        FRestored = true;
        DoRestorePlacement();
        TForm* form = Form();
        if (form && (FOptions & fpActiveControl)) {
            const std::string name = FStorage->ReadString(EffectiveSection(), "ActiveControl", "");
            auto* control = name.empty() ? nullptr : dynamic_cast<TWinControl*>(form->FindComponent(name));
            if (control && control->Visible() && control->Enabled()) form->SetActiveControl(control);
        }
    } catch (...) {
        FStorage.reset();
        throw;
    }
    FStorage.reset();
    UpdatePlacement();
}

void TFormPlacement::DoSavePlacement() {
    if (OnSavePlacement) OnSavePlacement(this);
}

void TFormPlacement::DoRestorePlacement() {
    if (OnRestorePlacement) OnRestorePlacement(this);
}

void TFormPlacement::FormShow(TComponent* sender) {
    if (FActive) ReportErrors([this] { RestorePlacement(); });
    if (FSavedShow) FSavedShow(sender);
}

void TFormPlacement::FormCloseQuery(TComponent* sender, bool& canClose) {
    if (FSavedCloseQuery) FSavedCloseQuery(sender, canClose);
    TForm* form = Form();
    if (canClose && FActive && form && form->Widget()) ReportErrors([this] { SavePlacement(); });
}

void TFormPlacement::FormDestroy(TComponent* sender) {
    if (FActive && !FSaved) {
        FDestroying = true;
        ReportErrors([this] { SavePlacement(); });
        FDestroying = false;
    }
    if (FSavedDestroy) FSavedDestroy(sender);
}

void TFormPlacement::SetPreventResize(bool value) {
    if (FPreventResize == value) return;
    FPreventResize = value;
    if (Form()) UpdatePreventResize();
    UpdateHook();
}

void TFormPlacement::UpdatePreventResize() {
    TForm* form = Form();
    if (!form) return;
    UpdatePlacement();
    const bool active = FActive;
    FActive = false;
    const bool dialog = form->BorderStyle() == TFormBorderStyle::bsDialog;
    if (FPreventResize || !FHadMaximize || dialog)
        form->SetBorderIcons(form->BorderIcons() & ~biMaximize);
    else
        form->SetBorderIcons(form->BorderIcons() | biMaximize);
    FActive = active;
}

void TFormPlacement::MinMaxInfoChanged() {
    UpdateHook();
    UpdatePlacement();
}

void TFormPlacement::UpdateHook() {
    TForm* form = Form();
    if (!FHook) return;
    if (form && !form->Destroying() && (FPreventResize || !FMinMaxInfo.DefaultMinMaxInfo())) {
        FHook->SetWinControl(form);
        FHook->SetActive(true);
    } else {
        FHook->SetActive(false);
        FHook->SetWinControl(nullptr);
    }
    if (form && !form->Destroying()) form->UpdateSizeLimits();
}

void TFormPlacement::UpdatePlacement() {
    TForm* form = Form();
    if (!form || form->Destroying() || FPreventResize || !FMinMaxInfo.DefaultMinMaxInfo()) return;
    int metric = 0;
    switch (form->BorderStyle()) {
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsToolWindow:
        metric = GetSystemMetrics(SM_CXBORDER);
        break;
    case TFormBorderStyle::bsSizeable:
    case TFormBorderStyle::bsSizeToolWin:
        metric = GetSystemMetrics(SM_CXFRAME);
        break;
    case TFormBorderStyle::bsDialog:
        metric = GetSystemMetrics(SM_CXDLGFRAME);
        break;
    default:
        break;
    }
    TWindowPlacement placement = form->GetWindowPlacement();
    placement.ptMaxPosition = {-metric, -metric};
    // Applied again as it stands; a hidden form stays hidden.
    form->SetWindowPlacement(placement);
}

void TFormPlacement::WndMessage(TMessage& msg) {
    if (msg.Msg != WM_GETMINMAXINFO) return;
    auto* info = reinterpret_cast<TMinMaxInfo*>(msg.LParam);
    TForm* form = Form();
    if (!info) return;
    if (FPreventResize && form) {
        if (form->Visible()) {
            info->ptMinTrackSize = {form->Width(), form->Height()};
            info->ptMaxTrackSize = {form->Width(), form->Height()};
        }
    } else if (!FMinMaxInfo.DefaultMinMaxInfo()) {
        const TMinMaxInfo& mine = FMinMaxInfo.Info();
        auto take = [](int& field, int value) {
            if (value != 0) field = value;
        };
        take(info->ptMaxSize.X, mine.ptMaxSize.X);
        take(info->ptMaxSize.Y, mine.ptMaxSize.Y);
        take(info->ptMaxPosition.X, mine.ptMaxPosition.X);
        take(info->ptMaxPosition.Y, mine.ptMaxPosition.Y);
        take(info->ptMinTrackSize.X, mine.ptMinTrackSize.X);
        take(info->ptMinTrackSize.Y, mine.ptMinTrackSize.Y);
        take(info->ptMaxTrackSize.X, mine.ptMaxTrackSize.X);
        take(info->ptMaxTrackSize.Y, mine.ptMaxTrackSize.Y);
    }
    msg.Result = 1;
}

// ---- Shared routines ----

void WriteFormPlacement(TForm& form, TPlacementStorage& storage, const std::string& section) {
    const TWindowPlacement placement = form.GetWindowPlacement();
    TPlacementRecord record;
    record.Flags = placement.flags;
    record.ShowCmd = placement.showCmd;
    record.PixelsPerInch = ScreenPixelsPerInch;
    record.MinPosition = placement.ptMinPosition;
    record.MaxPosition = placement.ptMaxPosition;
    record.Normal = placement.rcNormalPosition;
    WritePlacementRecord(storage, section, record, ScreenWidth(), ScreenHeight());
}

void ReadFormPlacement(TForm& form, TPlacementStorage& storage, const std::string& section, bool position,
                       bool state) {
    if (!position && !state) return;
    TWindowPlacement placement = form.GetWindowPlacement();
    if (!form.Visible()) placement.showCmd = SW_HIDE;
    if (position) {
        TPlacementRecord current;
        current.Flags = placement.flags;
        current.MinPosition = placement.ptMinPosition;
        current.MaxPosition = placement.ptMaxPosition;
        current.Normal = Bounds(form.Left(), form.Top(), form.Width(), form.Height());
        const TPlacementReading reading = ReadPlacementRecord(storage, section, current, ScreenWidth(),
                                                              ScreenHeight(), ScreenPixelsPerInch);
        if (reading.HasData) {
            TRect normal = reading.Record.Normal;
            const bool sizeable = form.BorderStyle() == TFormBorderStyle::bsSizeable ||
                                  form.BorderStyle() == TFormBorderStyle::bsSizeToolWin;
            if (!sizeable) {
                normal.Right = normal.Left + form.Width();
                normal.Bottom = normal.Top + form.Height();
            }
            // A rectangle on no screen any more would leave the window out of reach.
            if (normal.Left < normal.Right && RectOnAnyScreen(normal, ScreenWorkAreas())) {
                if (form.Position() == TPosition::poScreenCenter) form.SetPosition(TPosition::poDesigned);
                placement.flags = reading.Record.Flags;
                placement.ptMinPosition = reading.Record.MinPosition;
                placement.ptMaxPosition = reading.Record.MaxPosition;
                placement.rcNormalPosition = normal;
                form.SetWindowPlacement(placement);
            }
        }
    }
    if (state) {
        const bool mainForm = Application && Application->MainForm() == &form;
        const TShownState fallback = mainForm && form.Position() == TPosition::poDefault
                                         ? TShownState::ssMaximized
                                         : TShownState::ssNormal;
        const TShownState shown = ShownStateOfShowCmd(storage.ReadInteger(section, "ShowCmd", 0), fallback);
        switch (shown) {
        case TShownState::ssNormal:
            form.SetWindowState(TWindowState::wsNormal);
            break;
        case TShownState::ssMinimized:
            form.SetWindowState(TWindowState::wsNormal);
            form.SetWindowState(TWindowState::wsMinimized);
            break;
        case TShownState::ssMaximized:
            form.SetWindowState(TWindowState::wsMaximized);
            break;
        }
    }
    form.Invalidate();
}

std::string DefaultSectionOf(const TComponent* component) {
    TSectionSubject subject;
    if (!component) return DefaultSection(subject);
    subject.Name = component->Name();
    if (auto* form = dynamic_cast<const TForm*>(component)) {
        subject.Kind = TSectionSubject::skForm;
        subject.ClassName = form->ClassName();
    } else if (auto* control = dynamic_cast<const TControl*>(component)) {
        subject.Kind = TSectionSubject::skControl;
        if (TForm* parentForm = control->Parent() ? control->Parent()->ParentForm() : nullptr)
            subject.ParentFormClassName = parentForm->ClassName();
        else if (control->Parent())
            subject.ParentName = control->Parent()->Name();
    } else {
        subject.Kind = TSectionSubject::skOther;
        if (auto* owner = dynamic_cast<const TForm*>(component->Owner()))
            subject.OwnerFormClassName = owner->ClassName();
    }
    return DefaultSection(subject);
}

std::string ProgramFileName() {
    return EnsureApplication().ExeName();
}

} // namespace mv
