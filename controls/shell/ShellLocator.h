#pragma once
// Names one folder of the namespace, by its absolute identifier list or by a
// special-folder number, and tells its owner of every change.
#include "controls/shell/ShellUtils.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

class TMvShellLocator {
public:
    enum : uint8_t { lkPidl = 0, lkSpecialFolder = 1 };
    TMvShellLocator() = default;
    virtual ~TMvShellLocator() = default;

    uint8_t Kind() const { return FKind; }
    uint8_t Csidl() const { return FCsidl; }
    // Kind 0: the stored list (empty: the Desktop); kind 1: the special folder's list,
    // looked up on first use.
    const TIdList& GetPidl();
    void SetPidl(const TIdList& pidl);
    void Clear() { SetPidl({}); }
    void SetSpecialFolder(int csidl);
    void SetPath(const std::string& path);
    std::string GetPath();
    bool IsSame(const TMvShellLocator& other) const;
    void Assign(const TMvShellLocator* source);

    // The "Pidl" property: stored when a list is held or a special folder is named.
    bool PidlStored() const { return FKind == lkSpecialFolder || !FPidl.empty(); }
    std::vector<uint8_t> WritePidlProperty() const;
    // Reads the property back without calling OnChange. A length that does not fit the
    // data or bytes that are not a whole list make the Desktop (and false).
    bool ReadPidlProperty(const std::vector<uint8_t>& data);

    // Called with the locator after every change.
    std::function<void(TMvShellLocator&)> OnChange;

protected:
    virtual void Changed();

private:
    uint8_t FKind = lkPidl;
    TIdList FPidl; // empty: the Desktop (a list of 2 bytes or less is never kept)
    uint8_t FCsidl = 0;
    bool FCacheValid = false;
};

} // namespace mv
