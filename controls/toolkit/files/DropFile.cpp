#include "controls/toolkit/files/DropFile.h"

#include <stdexcept>

namespace mv {

TDropFile::TDropFile(TComponent* owner) : TComponent(owner) {}

TDropFile::~TDropFile() {
    BeginDestruction();
    SetEnabled(false);
    SetControl(nullptr);
}

void TDropFile::Release() {
    FSite.reset();
    if (FControl) RemoveFreeNotification(FControl);
    FControl = nullptr;
}

void TDropFile::SetControl(TWinControl* value) {
    if (value == FControl) return;
    Release();
    if (value) {
        if (Owner())
            for (int i = 0; i < Owner()->ComponentCount(); ++i) {
                auto* other = dynamic_cast<TDropFile*>(Owner()->Components(i));
                if (other && other != this && other->FControl == value)
                    throw std::runtime_error("You cannot assign more than one TDropFile object to " +
                                             value->Name());
            }
        FSite = std::make_unique<TFileDropSite>(
            *value, [this](const std::vector<std::string>& files, const TPoint& location, bool isClientArea) {
                HandleDropFiles(files, location, isClientArea);
            });
        FreeNotification(value);
    }
    FControl = value;
    SetEnabled(FEnabled);
}

void TDropFile::SetEnabled(bool value) {
    if (FSite) FSite->SetAccept(value);
    FEnabled = value;
}

void TDropFile::HandleDropFiles(const std::vector<std::string>& files, const TPoint& location,
                                bool isClientArea) {
    if (OnDropFiles) OnDropFiles(this, files, location, isClientArea);
}

void TDropFile::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FControl) {
        FSite.reset();
        FControl = nullptr;
    }
}

} // namespace mv
