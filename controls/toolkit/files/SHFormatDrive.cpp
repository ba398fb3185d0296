#include "controls/toolkit/files/SHFormatDrive.h"

#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Labels.h"
#include "resources/StringTable.h"

#include <cctype>
#include <memory>

namespace mv {

TSHFormatDrive::TSHFormatDrive(TComponent* owner) : TComponent(owner) {}

void TSHFormatDrive::SetDrive(TDriveLetter value) {
    FDrive = static_cast<char>(std::toupper(static_cast<unsigned char>(value)));
}

int FormatDriveErrorCode(int returned, bool newer) {
    if (newer) return 4;
    switch (returned) {
    case -3:
        return 3;
    case -2:
        return 2;
    case -1:
        return 1;
    case 0:
        return 0;
    default:
        return 4;
    }
}

bool TSHFormatDrive::Execute() {
    platform::FormatDriveLayer& layer = platform::CurrentFormatDriveLayer();
    platform::FormatDriveRequest request;
    request.Path = FPath;
    request.DriveNumber = DriveNumber();
    const bool newer = layer.NewerResults();
    if (newer) {
        request.FormatId = 0;
        request.Options = FFormatType == TFormatType::ftQuick ? 1 : 0;
    } else {
        request.FormatId = FCapacity == TDriveCapacity::dcSize360kB   ? 3
                           : FCapacity == TDriveCapacity::dcSize720kB ? 5
                                                                      : 0;
        request.Options = static_cast<unsigned>(FFormatType);
    }
    const platform::FormatDriveResult result = layer.Format(request);
    if (result.NoFormatter) ShowNoFormatter();
    const bool ok = !result.NoFormatter && (newer ? result.Code == 0 : result.Code == 6);
    if (!ok) DoError(FormatDriveErrorCode(result.Code, newer));
    return ok;
}

void TSHFormatDrive::DoError(int code) {
    if (OnError) OnError(this, code);
}

void TSHFormatDrive::ShowNoFormatter() {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetPosition(TPosition::poScreenCenter);
    form->SetCaption(LoadStr(291 + FTextBase));
    form->SetClientWidth(360);
    form->SetClientHeight(96);
    auto* text = new TLabel(form.get());
    text->SetParent(form.get());
    text->SetAutoSize(false);
    text->SetWordWrap(true);
    text->SetBounds(12, 12, 336, 44);
    text->SetCaption(LoadStr(NoDiskUtilityText + FTextBase));
    auto* ok = new TButton(form.get());
    ok->SetParent(form.get());
    ok->SetCaption("OK");
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    ok->SetBounds(142, 62, 75, 25);
    form->ShowModal();
}

} // namespace mv
