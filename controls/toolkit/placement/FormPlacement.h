#pragma once
// Form placement: a component a form carries to keep its window's position, size and
// state between runs, in a section of an ini file (or under a registry key), and to
// impose minimum and maximum window sizes through a window hook. Other components keep
// their own settings in the same section through ini links.
#include "controls/toolkit/placement/PlacementModel.h"
#include "controls/toolkit/placement/WindowHook.h"
#include "platform/ui/Component.h"
#include "platform/ui/Form.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TFormPlacement;

// Size limits of a window; all 0 is "default" (the system's).
class TWinMinMaxInfo {
public:
    explicit TWinMinMaxInfo(TFormPlacement* owner = nullptr) : FOwner(owner) {}
    int MaxPosLeft() const { return FInfo.ptMaxPosition.X; }
    int MaxPosTop() const { return FInfo.ptMaxPosition.Y; }
    int MaxSizeWidth() const { return FInfo.ptMaxSize.X; }
    int MaxSizeHeight() const { return FInfo.ptMaxSize.Y; }
    int MaxTrackWidth() const { return FInfo.ptMaxTrackSize.X; }
    int MaxTrackHeight() const { return FInfo.ptMaxTrackSize.Y; }
    int MinTrackWidth() const { return FInfo.ptMinTrackSize.X; }
    int MinTrackHeight() const { return FInfo.ptMinTrackSize.Y; }
    void SetMaxPosLeft(int v) { Set(FInfo.ptMaxPosition.X, v); }
    void SetMaxPosTop(int v) { Set(FInfo.ptMaxPosition.Y, v); }
    void SetMaxSizeWidth(int v) { Set(FInfo.ptMaxSize.X, v); }
    void SetMaxSizeHeight(int v) { Set(FInfo.ptMaxSize.Y, v); }
    void SetMaxTrackWidth(int v) { Set(FInfo.ptMaxTrackSize.X, v); }
    void SetMaxTrackHeight(int v) { Set(FInfo.ptMaxTrackSize.Y, v); }
    void SetMinTrackWidth(int v) { Set(FInfo.ptMinTrackSize.X, v); }
    void SetMinTrackHeight(int v) { Set(FInfo.ptMinTrackSize.Y, v); }
    bool DefaultMinMaxInfo() const;
    void Assign(const TWinMinMaxInfo& other);
    const TMinMaxInfo& Info() const { return FInfo; }

private:
    void Set(int& field, int value);
    TMinMaxInfo FInfo;
    TFormPlacement* FOwner;
};

// A component's settings kept in its placement's section (below the root section).
class TIniLink {
public:
    TIniLink() = default;
    virtual ~TIniLink();
    TIniLink(const TIniLink&) = delete;
    TIniLink& operator=(const TIniLink&) = delete;

    TFormPlacement* IniObject() const { return FIniObject; }
    // Moves the link from one placement's list to the other's.
    void SetIniObject(TFormPlacement* value);
    // The placement's section followed by "\", or empty when it has none.
    std::string RootSection() const;
    // The placement's open storage while it saves or restores, else null.
    TPlacementStorage* Storage() const;

    std::function<void()> OnSave;
    std::function<void()> OnLoad;
    virtual void SaveToIni();
    virtual void LoadFromIni();

private:
    friend class TFormPlacement;
    TFormPlacement* FIniObject = nullptr;
};

enum TPlacementOption : uint8_t { fpState = 1, fpPosition = 2, fpActiveControl = 4 };
using TPlacementOptions = uint8_t;

class TFormPlacement : public TComponent {
public:
    explicit TFormPlacement(TComponent* owner);
    ~TFormPlacement() override;

    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    // The ini file (or, with UseRegistry, the registry key); empty: the default one.
    const std::string& IniFileName() const { return FIniFileName; }
    void SetIniFileName(const std::string& value) { FIniFileName = value; }
    // The section (registry subkey); empty: the owner form's class name.
    const std::string& IniSection() const { return FIniSection; }
    void SetIniSection(const std::string& value) { FIniSection = value; }
    TWinMinMaxInfo& MinMaxInfo() { return FMinMaxInfo; }
    void SetMinMaxInfo(const TWinMinMaxInfo& value) { FMinMaxInfo.Assign(value); }
    TPlacementOptions Options() const { return FOptions; }
    void SetOptions(TPlacementOptions value) { FOptions = value; }
    bool PreventResize() const { return FPreventResize; }
    void SetPreventResize(bool value);
    bool UseRegistry() const { return FUseRegistry; }
    void SetUseRegistry(bool value) { FUseRegistry = value; }
    // Where the registry store lives (empty: its usual place).
    void SetRegistryFileName(const std::string& value) { FRegistryFileName = value; }

    TNotifyEvent OnSavePlacement;
    TNotifyEvent OnRestorePlacement;

    // The file or key and the section in use.
    std::string EffectiveIniFileName() const;
    std::string EffectiveSection() const;

    virtual void SaveFormPlacement();
    virtual void RestoreFormPlacement();
    virtual std::string ReadString(const std::string& section, const std::string& ident,
                                   const std::string& defaultValue);
    virtual void WriteString(const std::string& section, const std::string& ident, const std::string& value);

    // Opens the storage, saves or restores, fires the event, closes the storage.
    void SavePlacement();
    void RestorePlacement();

    // Takes over the owner form's OnShow, OnCloseQuery and OnDestroy (keeping the
    // form's own, which still run) and attaches the size-limit hook when needed. The
    // constructor calls it; a form that sets those events afterwards calls it again.
    void Loaded();
    // Called by the size limits after a change.
    void MinMaxInfoChanged();

    TPlacementStorage* Storage() const { return FStorage.get(); }
    bool Restored() const { return FRestored; }
    bool Saved() const { return FSaved; }
    // Whether the size-limit hook is attached to the form.
    bool Hooked() const { return FHook->WinControl() != nullptr; }

protected:
    virtual void DoSavePlacement();
    virtual void DoRestorePlacement();

private:
    friend class TIniLink;
    struct FormShowHandler;
    struct FormCloseQueryHandler;
    struct FormDestroyHandler;
    TForm* Form() const;
    void FormShow(TComponent* sender);
    void FormCloseQuery(TComponent* sender, bool& canClose);
    void FormDestroy(TComponent* sender);
    void WndMessage(TMessage& msg);
    void UpdateHook();
    void UpdatePlacement();
    void UpdatePreventResize();
    std::unique_ptr<TPlacementStorage> OpenStorage() const;
    bool ReportErrors(const std::function<void()>& fn);

    bool FActive = true;
    std::string FIniFileName;
    std::string FIniSection;
    std::string FRegistryFileName;
    TWinMinMaxInfo FMinMaxInfo{this};
    TPlacementOptions FOptions = 0;
    bool FPreventResize = false;
    bool FUseRegistry = false;
    bool FHadMaximize = true;
    bool FRestored = false, FSaved = false, FDestroying = false;
    std::unique_ptr<TPlacementStorage> FStorage;
    std::unique_ptr<TMvWindowHook> FHook;
    std::vector<TIniLink*> FLinks;
    TNotifyEvent FSavedShow;
    std::function<void(TComponent*, bool&)> FSavedCloseQuery;
    TNotifyEvent FSavedDestroy;
};

// Shared routines.
// Writes a form's window placement into a section.
void WriteFormPlacement(TForm& form, TPlacementStorage& storage, const std::string& section);
// Reads it back: the position with `position`, the state with `state`; nothing when
// both are off. A rectangle on no screen any more is not applied (the form keeps its
// designed place); the state is still restored.
void ReadFormPlacement(TForm& form, TPlacementStorage& storage, const std::string& section, bool position,
                       bool state);
// The default section of a component (see DefaultSection).
std::string DefaultSectionOf(const TComponent* component);
// The running program's file.
std::string ProgramFileName();

} // namespace mv
