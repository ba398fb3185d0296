#include "controls/shell/ShellLocator.h"

#include <climits>

namespace mv {

namespace {
// Two lists name different folders: by the namespace order, or by their bytes when the
// namespace cannot compare them.
bool Differ(const TIdList& a, const TIdList& b) {
    int c = ComparePidls(a, b);
    if (c == INT_MAX) return a != b;
    return c != 0;
}
} // namespace

void TMvShellLocator::Changed() {
    if (OnChange) OnChange(*this);
}

const TIdList& TMvShellLocator::GetPidl() {
    static const TIdList none;
    if (FKind == lkPidl) return FPidl;
    if (FKind == lkSpecialFolder) {
        if (!FCacheValid) {
            TIdList list;
            if (Succeeded(GetSpecialFolderPidl(FCsidl, list)) && PidlSize(list) > 2) FPidl = std::move(list);
            else FPidl.clear();
            FCacheValid = true;
        }
        return FPidl;
    }
    return none;
}

void TMvShellLocator::SetPidl(const TIdList& pidl) {
    uint8_t oldKind = FKind;
    TIdList old = std::move(FPidl);
    FKind = lkPidl;
    FCacheValid = false;
    FPidl = (pidl.empty() || PidlSize(pidl) <= 2) ? TIdList{} : CopyPidl(pidl);
    bool changed = oldKind == lkSpecialFolder || (!old.empty() && !FPidl.empty() && Differ(old, FPidl)) ||
                   (old.empty() && !FPidl.empty()) || (!old.empty() && FPidl.empty());
    if (changed) Changed();
}

void TMvShellLocator::SetSpecialFolder(int csidl) {
    bool changed = FKind != lkSpecialFolder || FCsidl != static_cast<uint8_t>(csidl);
    FPidl.clear();
    FCacheValid = false;
    FKind = lkSpecialFolder;
    FCsidl = static_cast<uint8_t>(csidl);
    if (changed) Changed();
}

void TMvShellLocator::SetPath(const std::string& path) {
    TIdList list;
    if (!Succeeded(PathToPidl(path, list))) SetPidl({});
    else SetPidl(list);
}

std::string TMvShellLocator::GetPath() { return PidlToPath(GetPidl()); }

bool TMvShellLocator::IsSame(const TMvShellLocator& other) const {
    if (FKind != other.FKind) return false;
    if (this == &other) return true;
    if (FKind == lkPidl) return !Differ(FPidl, other.FPidl) && FPidl.empty() == other.FPidl.empty();
    return FCsidl == other.FCsidl;
}

void TMvShellLocator::Assign(const TMvShellLocator* source) {
    if (!source) {
        if (!FPidl.empty()) {
            FPidl.clear();
            FKind = lkPidl;
            FCacheValid = false;
            Changed();
        }
        return;
    }
    if (IsSame(*source)) return;
    FPidl.clear();
    FCacheValid = false;
    FKind = source->FKind;
    if (FKind == lkSpecialFolder) FCsidl = source->FCsidl;
    else FPidl = CopyPidl(source->FPidl);
    Changed();
}

std::vector<uint8_t> TMvShellLocator::WritePidlProperty() const {
    std::vector<uint8_t> out{FKind};
    if (FKind != lkPidl) {
        out.push_back(FCsidl);
        return out;
    }
    uint32_t length = FPidl.empty() ? 0 : static_cast<uint32_t>(PidlSize(FPidl));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(length >> (8 * i)));
    out.insert(out.end(), FPidl.begin(), FPidl.begin() + length);
    return out;
}

bool TMvShellLocator::ReadPidlProperty(const std::vector<uint8_t>& data) {
    FCacheValid = false;
    auto desktop = [this] {
        FPidl.clear();
        FKind = lkSpecialFolder;
        FCsidl = 0;
    };
    if (data.empty()) {
        desktop();
        return false;
    }
    if (data[0] != 0) {
        if (data.size() < 2) {
            desktop();
            return false;
        }
        FPidl.clear();
        FKind = lkSpecialFolder;
        FCsidl = data[1];
        return true;
    }
    if (data.size() < 5) {
        desktop();
        return false;
    }
    int32_t length = static_cast<int32_t>(data[1] | (data[2] << 8) | (data[3] << 16) |
                                          (static_cast<uint32_t>(data[4]) << 24));
    if (length <= 0) {
        desktop();
        return true;
    }
    // The length must fit what follows, and the bytes must be one whole list.
    if (static_cast<size_t>(length) > data.size() - 5) {
        desktop();
        return false;
    }
    TIdList list(data.begin() + 5, data.begin() + 5 + length);
    std::vector<desktop::TShellItem> items;
    if (!desktop::DecodeIdList(list, items)) {
        desktop();
        return false;
    }
    FKind = lkPidl;
    FPidl = items.empty() ? TIdList{} : std::move(list);
    return true;
}

} // namespace mv
