#include "app/common/LangStr.h"

#include "app/common/StrUtils.h"
#include "platform/desktop/ShellNamespace.h"
#include "platform/ui/Form.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StdControls.h"

#include <atomic>
#include <cstdlib>

namespace mv {
namespace {

std::atomic<int32_t> languageBase{lbPortuguese};

// The hint of a control read as a number and translated; throws when it is no number.
std::string TranslatedNumber(const std::string& text) {
    return LoadLangStr(StrToIntStrict(text));
}

std::string TagText(const TComponent& c) {
    return LoadLangStr(static_cast<int32_t>(c.Tag()));
}

void CaptionFromTag(TControl& c) {
    c.SetCaption(TagText(c));
}
void HintFromNumber(TControl& c) {
    c.SetHint(TranslatedNumber(c.Hint()));
}

// Runs one step of the translation of a component; a failed conversion ends the step.
template <typename Fn> void Step(Fn fn) {
    try {
        fn();
    } catch (const std::exception&) {
    }
}

void TranslateControl(TControl& c) {
    if (auto* label = dynamic_cast<TLabel*>(&c)) {
        CaptionFromTag(*label);
        HintFromNumber(*label);
    }
    // List boxes and the check list box built on them.
    if (auto* list = dynamic_cast<TCustomListBox*>(&c)) HintFromNumber(*list);
    // Buttons, bitmap buttons and the colour button built on them.
    if (auto* button = dynamic_cast<TButton*>(&c)) {
        CaptionFromTag(*button);
        HintFromNumber(*button);
    }
    if (auto* panel = dynamic_cast<TPanel*>(&c)) CaptionFromTag(*panel);
    if (auto* speed = dynamic_cast<TSpeedButton*>(&c)) {
        speed->SetCaption(LoadLangStr(StrToIntNoDots(speed->Caption(), 0)));
        HintFromNumber(*speed);
    }
    if (auto* group = dynamic_cast<TGroupBox*>(&c)) {
        CaptionFromTag(*group);
        HintFromNumber(*group);
    }
    if (auto* radio = dynamic_cast<TRadioButton*>(&c)) {
        CaptionFromTag(*radio);
        HintFromNumber(*radio);
    }
    if (auto* sheet = dynamic_cast<TTabSheet*>(&c)) {
        CaptionFromTag(*sheet);
        HintFromNumber(*sheet);
    }
    if (auto* check = dynamic_cast<TCheckBox*>(&c)) {
        CaptionFromTag(*check);
        HintFromNumber(*check);
    }
    if (auto* radioGroup = dynamic_cast<TRadioGroup*>(&c)) {
        CaptionFromTag(*radioGroup);
        for (int i = 0; i < radioGroup->Items().Count(); ++i)
            radioGroup->Items().SetStrings(i, TranslatedNumber(radioGroup->Items()[i]));
        HintFromNumber(*radioGroup);
    }
}

void TranslateOther(TComponent& c) {
    if (auto* item = dynamic_cast<TMenuItem*>(&c)) {
        item->SetCaption(TagText(*item));
        item->SetHint(TranslatedNumber(item->Hint()));
    }
    if (auto* columns = dynamic_cast<TColumnTitles*>(&c))
        for (int i = 0; i < columns->ColumnTitleCount(); ++i)
            columns->SetColumnTitle(i, TranslatedNumber(columns->ColumnTitle(i)));
}

} // namespace

int32_t LanguageBase() {
    return languageBase.load();
}
void SetLanguageBase(int32_t value) {
    languageBase.store(value);
    // The folder views and file dialogs name their columns, folders and buttons
    // in the program's language.
    desktop::SetNamespaceLanguageBase(value);
}

int32_t LanguageBaseForLocale(const std::string& locale) {
    auto startsWith = [&](const char* prefix) { return locale.rfind(prefix, 0) == 0; };
    if (startsWith("pt")) return lbPortuguese;
    if (startsWith("es")) return lbSpanish;
    return lbEnglish;
}

int32_t LanguageBaseFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return LanguageBaseForLocale(value);
    }
    return lbEnglish;
}

std::string LoadLangStr(int32_t number) {
    if (number >= FirstUnshiftedNumber && number <= LastUnshiftedNumber) return LoadStr(number);
    return LoadStr(number + LanguageBase());
}

void TranslateForm(TForm& form) {
    form.SetCaption(LoadLangStr(StrToIntNoDots(form.Caption(), 0)));
    for (int i = 0; i < form.ComponentCount(); ++i) {
        TComponent* component = form.Components(i);
        if (auto* control = dynamic_cast<TControl*>(component)) Step([&] { TranslateControl(*control); });
        Step([&] { TranslateOther(*component); });
    }
}

} // namespace mv
