#include "controls/shell/ShellProperties.h"

#include "controls/shell/ShellData.h"
#include "platform/desktop/LocaleText.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Labels.h"

#include <sys/stat.h>

namespace mv {

using namespace desktop;

std::unique_ptr<TForm> CreateShellPropertiesForm(const std::vector<TIdList>& items) {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetPosition(TPosition::poScreenCenter);
    form->SetClientWidth(360);
    form->SetClientHeight(170);
    std::string name, type, location, size, modified;
    uint64_t bytes = 0;
    bool anyFile = false;
    for (size_t i = 0; i < items.size(); ++i) {
        std::string path = PidlToPath(items[i]);
        struct stat st {};
        if (!path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            bytes += static_cast<uint64_t>(st.st_size);
            anyFile = true;
        }
        if (i > 0) continue;
        name = IdListDisplayName(items[i], shgdnNormal);
        uint32_t attrs = sfgaoFileSystem;
        ItemAttributes(items[i], attrs);
        type = GetPidlTypeName(items[i], attrs);
        size_t slash = path.rfind('/');
        location = slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
        std::string ignored;
        GetFileSizeAndDate(items[i], ignored, modified);
    }
    if (items.size() > 1) name += " (+" + std::to_string(items.size() - 1) + ")";
    if (anyFile) size = FormatKBSize(bytes) + " (" + FormatThousands(bytes) + " bytes)";
    form->SetCaption(FormatStrPos(NamespaceText(720), {name}));
    const std::pair<int, std::string> rows[] = {
        {715, name}, {716, type}, {717, location}, {718, size}, {719, modified}};
    int top = 12;
    for (const auto& [title, value] : rows) {
        auto* caption = new TLabel(form.get());
        caption->SetParent(form.get());
        caption->SetBounds(12, top, 90, 18);
        caption->SetCaption(NamespaceText(title) + ":");
        auto* text = new TLabel(form.get());
        text->SetParent(form.get());
        text->SetBounds(104, top, 244, 18);
        text->SetCaption(value);
        top += 24;
    }
    auto* ok = new TButton(form.get());
    ok->SetParent(form.get());
    ok->SetBounds(272, 136, 76, 25);
    ok->SetCaption("OK");
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    ok->SetCancel(true);
    return form;
}

void ShowShellProperties(const std::vector<TIdList>& items) {
    if (items.empty()) return;
    std::unique_ptr<TForm> form = CreateShellPropertiesForm(items);
    form->ShowModal();
}

} // namespace mv
