// Translation of a form holding one control of every class that carries texts, in the
// three languages, and the cases where a text is not a number.
#include "app/common/LangStr.h"
#include "platform/ui/Form.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StdControls.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

// Stand-ins for the controls of the neighbouring libraries, built on the same bases.
class ColorButtonLike : public TButton {
public:
    using TButton::TButton;
};
class CheckListBoxLike : public TCustomListBox {
public:
    using TCustomListBox::TCustomListBox;
};
class ColumnsViewLike : public TPanel, public TColumnTitles {
public:
    using TPanel::TPanel;
    int ColumnTitleCount() const override { return static_cast<int>(Titles.size()); }
    std::string ColumnTitle(int i) const override { return Titles[static_cast<size_t>(i)]; }
    void SetColumnTitle(int i, const std::string& v) override { Titles[static_cast<size_t>(i)] = v; }
    std::vector<std::string> Titles{"30", "31", "33"};
};

struct DesignedForm {
    TForm form{nullptr};
    TLabel* label;
    TListBox* list;
    ColorButtonLike* colorButton;
    TButton* button;
    TBitBtn* bitButton;
    TPanel* panel;
    CheckListBoxLike* checkList;
    TSpeedButton* speed;
    TGroupBox* group;
    TRadioButton* radio;
    TPageControl* pages;
    TTabSheet* sheet;
    TCheckBox* check;
    TRadioGroup* radioGroup;
    TMenuItem* menu;
    ColumnsViewLike* columns;

    template <typename T> T* Add(intptr_t tag, const std::string& hint) {
        auto* c = new T(&form);
        c->SetParent(&form);
        c->SetTag(tag);
        c->SetHint(hint);
        return c;
    }

    DesignedForm() {
        EnsureApplication();
        form.SetCaption("410");
        label = Add<TLabel>(405, "406");
        list = Add<TListBox>(0, "364");
        colorButton = Add<ColorButtonLike>(2, "361");
        button = Add<TButton>(187, "184");
        bitButton = Add<TBitBtn>(121, "183");
        panel = Add<TPanel>(418, "");
        checkList = Add<CheckListBoxLike>(0, "363");
        speed = Add<TSpeedButton>(0, "154");
        speed->SetCaption("1.57"); // a number written with a thousands dot
        group = Add<TGroupBox>(402, "397");
        radio = Add<TRadioButton>(403, "182");
        pages = Add<TPageControl>(0, "");
        sheet = new TTabSheet(&form);
        sheet->SetPageControl(pages);
        sheet->SetTag(122);
        sheet->SetHint("132");
        check = Add<TCheckBox>(399, "400");
        radioGroup = Add<TRadioGroup>(368, "228");
        radioGroup->Items().Assign({"384", "385", "390"});
        menu = new TMenuItem(&form);
        menu->SetTag(620);
        menu->SetHint("72");
        columns = Add<ColumnsViewLike>(0, "");
    }
};

TEST(TranslateForm, EveryClassInEveryLanguage) {
    const struct {
        int32_t base;
        const char* caption;
        const char* label;
        const char* labelHint;
        const char* speed;
        const char* firstItem;
        const char* column;
    } rows[] = {
        {lbPortuguese, "Extrair arquivos", "&Máscara:", "Extrair arquivos na pasta selecionada.",
         "Ícones Grandes", "Zip", "Nome"},
        {lbEnglish, "Extract files", "&Mask:", "Extract files into the selected folder.", "Large Icons",
         "Zip", "Name"},
        {lbSpanish, "Extraer archivos", "&Máscara:", "Extraer archivos en la carpeta seleccionada.",
         "Iconos Grandes", "Zip", "Nombre"},
    };
    const int32_t saved = LanguageBase();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.base);
        SetLanguageBase(row.base);
        DesignedForm d;
        TranslateForm(d.form);
        EXPECT_EQ(d.form.Caption(), row.caption);
        EXPECT_EQ(d.label->Caption(), row.label);
        EXPECT_EQ(d.label->Hint(), row.labelHint);
        EXPECT_EQ(d.list->Hint(), LoadLangStr(364));
        EXPECT_EQ(d.colorButton->Caption(), LoadLangStr(2));
        EXPECT_EQ(d.colorButton->Hint(), LoadLangStr(361));
        EXPECT_EQ(d.button->Caption(), LoadLangStr(187));
        EXPECT_EQ(d.button->Hint(), LoadLangStr(184));
        EXPECT_EQ(d.bitButton->Caption(), LoadLangStr(121));
        EXPECT_EQ(d.bitButton->Hint(), LoadLangStr(183));
        EXPECT_EQ(d.panel->Caption(), LoadLangStr(418));
        EXPECT_EQ(d.checkList->Hint(), LoadLangStr(363));
        EXPECT_EQ(d.speed->Caption(), row.speed);
        EXPECT_EQ(d.speed->Hint(), LoadLangStr(154));
        EXPECT_EQ(d.group->Caption(), LoadLangStr(402));
        EXPECT_EQ(d.group->Hint(), LoadLangStr(397));
        EXPECT_EQ(d.radio->Caption(), LoadLangStr(403));
        EXPECT_EQ(d.radio->Hint(), LoadLangStr(182));
        EXPECT_EQ(d.sheet->Caption(), LoadLangStr(122));
        EXPECT_EQ(d.sheet->Hint(), LoadLangStr(132));
        EXPECT_EQ(d.check->Caption(), LoadLangStr(399));
        EXPECT_EQ(d.check->Hint(), LoadLangStr(400));
        EXPECT_EQ(d.radioGroup->Caption(), LoadLangStr(368));
        EXPECT_EQ(d.radioGroup->Items()[0], row.firstItem);
        EXPECT_EQ(d.radioGroup->Items()[2], LoadLangStr(390));
        EXPECT_EQ(d.radioGroup->Hint(), LoadLangStr(228));
        EXPECT_EQ(d.menu->Caption(), LoadLangStr(620));
        EXPECT_EQ(d.menu->Hint(), LoadLangStr(72));
        EXPECT_EQ(d.columns->Titles[0], row.column);
        EXPECT_EQ(d.columns->Titles[2], LoadLangStr(33));
        EXPECT_FALSE(d.label->Caption().empty());
    }
    SetLanguageBase(saved);
}

TEST(TranslateForm, TextsThatAreNotNumbersStopThatComponentOnly) {
    SetLanguageBase(lbPortuguese);
    DesignedForm d;
    d.label->SetTag(0);                               // no text 10000: empty caption
    d.button->SetHint("");                            // empty hint: caption kept, hint empty
    d.radioGroup->Items().SetStrings(1, "Lha / Lzh"); // second item is no number
    d.group->SetHint("not a number");
    TranslateForm(d.form);
    EXPECT_EQ(d.label->Caption(), "");
    EXPECT_EQ(d.label->Hint(), "Extrair arquivos na pasta selecionada.");
    EXPECT_EQ(d.button->Caption(), "&Ok");
    EXPECT_EQ(d.button->Hint(), "");
    EXPECT_EQ(d.radioGroup->Caption(), " Criar como ");
    EXPECT_EQ(d.radioGroup->Items()[0], "Zip");
    EXPECT_EQ(d.radioGroup->Items()[1], "Lha / Lzh");
    EXPECT_EQ(d.radioGroup->Items()[2], "390"); // left as designed
    EXPECT_EQ(d.radioGroup->Hint(), "228");     // not translated
    EXPECT_EQ(d.group->Caption(), " Extrair Arquivos ");
    EXPECT_EQ(d.group->Hint(), "not a number");
    // The components after the failing ones were still translated.
    EXPECT_EQ(d.menu->Caption(), "Abrir");
    EXPECT_EQ(d.columns->Titles[1], "Tipo");
}

} // namespace
} // namespace mv
