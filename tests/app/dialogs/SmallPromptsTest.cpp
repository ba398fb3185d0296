// The six small prompts, each the real form answered through the modal driver: modal
// results of every button and of Esc and Enter, the new-password mismatch flow, the
// masking toggle, the next-disk browse button on fake drives, the sounds each prompt
// plays, the reused overwrite prompt, and screenshots in the three languages.
#include "app/dialogs/SmallPrompts.h"

#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "platform/FakeFileSystem.h"
#include "platform/FileOps.h"
#include "platform/ui/ModalDriver.h"
#include "platform/Sound.h"
#include "platform/ui/StdControls.h"
#include "tests/app/UserInput.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <gtest/gtest.h>

namespace mv {
namespace {

using mvtest::TempDir;

template <typename T> T* Find(TForm& form, const std::string& name) {
    return dynamic_cast<T*>(form.FindComponent(name));
}

using mvtest::UserClick;

class SmallPromptsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
        auto backEnd = std::make_unique<TRecordingSound>();
        recorder = backEnd.get();
        SetSoundBackEnd(std::move(backEnd));
        SetSoundsOption(true);
        SetSoundsEnabled(true);
    }
    void TearDown() override {
        SetSoundBackEnd(std::make_unique<TSilentSound>());
        SetSoundsEnabled(true);
        SetDiskViewerOpener(nullptr);
        SetLanguageBase(lbPortuguese);
    }
    // Lets the next sound play (the recorder counts one as playing for its length).
    std::function<void(TForm&)> Quiet() {
        return [this](TForm&) { recorder->Finish(); };
    }
    TRecordingSound* recorder = nullptr;
};

struct TResultCase {
    TModalAction action;
    int click; // for maClickResult
    int expected;
};

TEST_F(SmallPromptsTest, EveryButtonAndKeyGivesItsModalResult) {
    const std::vector<std::pair<std::string, std::vector<TResultCase>>> table = {
        {"overwrite",
         {{TModalAction::maClickResult, 6, 6},
          {TModalAction::maClickResult, 7, 7},
          {TModalAction::maClickResult, 5, 5},
          {TModalAction::maClickResult, 2, 2},
          {TModalAction::maEnter, 0, 6},
          {TModalAction::maEscape, 0, 2}}},
        {"nextdisk",
         {{TModalAction::maClickResult, 1, 1},
          {TModalAction::maClickResult, 2, 2},
          {TModalAction::maEnter, 0, 1},
          {TModalAction::maEscape, 0, 2},
          {TModalAction::maCloseBox, 0, 2}}},
        {"entrypassword",
         {{TModalAction::maClickResult, 1, 1},
          {TModalAction::maClickResult, 5, 5},
          {TModalAction::maClickResult, 2, 2},
          {TModalAction::maEnter, 0, 1},
          {TModalAction::maEscape, 0, 2}}},
        {"newpassword", {{TModalAction::maEnter, 0, 1}, {TModalAction::maClickResult, 2, 2}, {TModalAction::maEscape, 0, 2}}},
        {"mask",
         {{TModalAction::maClickResult, 1, 1},
          {TModalAction::maClickResult, 2, 2},
          {TModalAction::maEnter, 0, 1},
          {TModalAction::maEscape, 0, 2}}},
        {"associations",
         {{TModalAction::maClickResult, 6, 6},
          {TModalAction::maClickResult, 2, 2},
          {TModalAction::maEnter, 0, 6},
          {TModalAction::maEscape, 0, 2}}},
    };
    for (const auto& [form, cases] : table) {
        for (const TResultCase& c : cases) {
            SCOPED_TRACE(form + " " + std::to_string(static_cast<int>(c.action)) + " " + std::to_string(c.click));
            TModalDriver driver;
            driver.Queue({c.action, c.click, std::nullopt, {}});
            int result = -1;
            if (form == "overwrite") {
                TfrmOverwrite f(nullptr);
                result = f.ShowModal();
            } else if (form == "nextdisk") {
                result = ShowNextDiskPrompt("Insira o disco 2", "/tmp/x.zip");
            } else if (form == "entrypassword") {
                TFrmSenha f(nullptr);
                result = f.ShowModal();
            } else if (form == "newpassword") {
                TFrmPassword f(nullptr);
                result = f.ShowModal();
            } else if (form == "mask") {
                TFrmMascara f(nullptr);
                result = f.ShowModal();
            } else {
                bool dontAsk = true;
                result = ShowAssociationPrompt(dontAsk);
                EXPECT_FALSE(dontAsk);
            }
            EXPECT_EQ(result, c.expected);
            EXPECT_EQ(driver.Unanswered(), 0);
        }
    }
}

TEST_F(SmallPromptsTest, FormsShowTheirTranslatedTexts) {
    TModalDriver driver;
    driver.PressEscape([](TForm& f) {
        EXPECT_EQ(f.Caption(), "Confirmar substituição de arquivo");
        EXPECT_EQ(Find<TBitBtn>(f, "BitBtn3")->Caption(), "Sim para &Todos");
        EXPECT_TRUE(Find<TBitBtn>(f, "BitBtn1")->Focused());
    });
    TfrmOverwrite overwrite(nullptr);
    overwrite.ShowModal();

    SetLanguageBase(lbEnglish);
    TFrmAssociacao associations(nullptr);
    EXPECT_EQ(associations.Caption(), "Notice");
    EXPECT_EQ(associations.NaoAvisarChk->Caption(), "&Do not ask again");
    SetLanguageBase(lbSpanish);
    TFrmPassword password(nullptr);
    EXPECT_EQ(password.MascaraChk->Caption(), "&Ocultar la Contraseña");
    EXPECT_TRUE(password.MascaraChk->Checked());
    TFrmSenha senha(nullptr);
    EXPECT_EQ(senha.Caption(), "");
    EXPECT_EQ(senha.SenhaEdit->Text(), "");
    EXPECT_EQ(senha.SenhaEdit->PasswordChar(), '*');
    TFrmMascara mask(nullptr);
    EXPECT_TRUE(mask.SubPastasChk->Checked());
    EXPECT_EQ(mask.ActiveControl(), mask.MascaraEdit);
}

TEST_F(SmallPromptsTest, PasswordMismatchWarnsClearsBothFieldsAndStays) {
    TModalDriver driver;
    bool stayed = false, cleared = false, focused = false;
    driver.PressEnter([&](TForm& f) {
        auto& form = static_cast<TFrmPassword&>(f);
        form.SenhaEdit->SetTextValue("segredo");
        form.ConfirmacaoEdit->SetTextValue("segredO");
        form.OkBtn->Click(); // the box below appears and is answered
        stayed = form.Modal() && form.ModalResult() == mrNone;
        cleared = form.SenhaEdit->Text().empty() && form.ConfirmacaoEdit->Text().empty();
        focused = form.ActiveControl() == form.SenhaEdit;
        // Enter with both fields empty: they match.
    });
    driver.PressEnter();
    TFrmPassword form(nullptr);
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(cleared);
    EXPECT_TRUE(focused);
    ASSERT_EQ(driver.Shown().size(), 2u);
    const TShownForm& box = driver.Shown()[1];
    EXPECT_EQ(box.Caption, "Erro !");
    bool found = false;
    for (const std::string& t : box.Texts) found = found || t == "Senha não confirmada.\n\nPor Favor, tente novamente...";
    EXPECT_TRUE(found);
    EXPECT_EQ(form.SenhaEdit->Text(), ""); // two empty texts match: an empty password

    // Matching texts close with 1 and the caller reads the password.
    TModalDriver again;
    again.PressEnter([](TForm& f) {
        auto& form = static_cast<TFrmPassword&>(f);
        form.SenhaEdit->SetTextValue(" pw ");
        form.ConfirmacaoEdit->SetTextValue(" pw ");
    });
    TFrmPassword second(nullptr);
    EXPECT_EQ(second.ShowModal(), mrOk);
    EXPECT_EQ(second.SenhaEdit->Text(), " pw ");
    EXPECT_EQ(again.Shown().size(), 1u);
}

TEST_F(SmallPromptsTest, MaskingToggleShowsBothPasswordsInClear) {
    TModalDriver driver;
    driver.PressEscape([](TForm& f) {
        auto& form = static_cast<TFrmPassword&>(f);
        UserClick(form.MascaraChk);
        EXPECT_FALSE(form.MascaraChk->Checked());
        EXPECT_EQ(form.SenhaEdit->PasswordChar(), '\0');
        EXPECT_EQ(form.ConfirmacaoEdit->PasswordChar(), '\0');
        UserClick(form.MascaraChk);
        EXPECT_EQ(form.SenhaEdit->PasswordChar(), '*');
        EXPECT_EQ(form.ConfirmacaoEdit->PasswordChar(), '*');
    });
    TFrmPassword form(nullptr);
    EXPECT_EQ(form.ShowModal(), mrCancel);
}

TEST_F(SmallPromptsTest, NextDiskBrowsesOnlyAnAvailableDriveWithFormatForRemovables) {
    TempDir t;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    const std::string usb = (t / "usb").string(), disk = (t / "disk").string(), cd = (t / "cd").string();
    fake.AddDrive(usb, 1 << 20, platform::DriveKind::Removable, "USB", 1);
    fake.AddDrive(disk, 1 << 20, platform::DriveKind::Fixed, "DISK", 2);
    fake.AddDrive(cd, 1 << 20, platform::DriveKind::Removable, "CD", 3).EjectMedium();
    platform::ForceDirectories(usb + "/backup");

    std::vector<std::pair<std::string, bool>> opened;
    SetDiskViewerOpener([&](const std::string& folder, bool format) { opened.emplace_back(folder, format); });

    // No medium: error 652, and the prompt stays until the user answers it.
    {
        TModalDriver driver;
        bool stayed = false;
        driver.Click(mrCancel, [&](TForm& f) {
            Find<TButton>(f, "NavegaBtn")->Click();
            stayed = f.Modal() && f.ModalResult() == mrNone;
        });
        driver.PressEnter();
        EXPECT_EQ(ShowNextDiskPrompt("Insira o disco 2", cd + "/set.zip"), mrCancel);
        EXPECT_TRUE(stayed);
        ASSERT_EQ(driver.Shown().size(), 2u);
        bool found = false;
        for (const std::string& text : driver.Shown()[1].Texts)
            found = found || text == "O disco de destino não foi inserido ou apresenta erros.";
        EXPECT_TRUE(found);
        EXPECT_TRUE(opened.empty());
    }
    const struct {
        std::string path, folder;
        bool format;
    } cases[] = {{usb + "/backup/set.zip", usb + "/backup", true}, {disk + "/set.zip", disk, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        opened.clear();
        SetSoundsEnabled(true);
        TModalDriver driver;
        driver.Click(mrOk, [&](TForm& f) { Find<TButton>(f, "NavegaBtn")->Click(); });
        EXPECT_EQ(ShowNextDiskPrompt("Insira o disco 2", c.path), mrOk);
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0].first, c.folder);
        EXPECT_EQ(opened[0].second, c.format);
        EXPECT_FALSE(SoundsEnabled()); // the viewer runs without the main window's sounds
    }
}

TEST_F(SmallPromptsTest, EachPromptPlaysItsSounds) {
    struct Case {
        std::string form;
        int click;
        std::vector<std::string> sounds;
    };
    const Case cases[] = {
        {"overwrite", mrYes, {"NOTICIA", "BEEP"}},     {"overwrite", 5, {"NOTICIA", "BEEP"}},
        {"overwrite", mrNo, {"NOTICIA", "CLICK"}},     {"overwrite", mrCancel, {"NOTICIA", "CLICK"}},
        {"nextdisk", mrOk, {"NOTICIA", "BEEP"}},       {"nextdisk", mrCancel, {"NOTICIA", "CLICK"}},
        {"entrypassword", mrOk, {"BEEP"}},             {"entrypassword", 5, {"CLICK"}},
        {"entrypassword", mrCancel, {"CLICK"}},        {"mask", mrOk, {"BEEP"}},
        {"mask", mrCancel, {"CLICK"}},                 {"newpassword", mrCancel, {}},
        {"associations", mrYes, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form + " " + std::to_string(c.click));
        recorder->Finish();
        const size_t before = recorder->Played().size();
        TModalDriver driver;
        driver.Click(c.click, Quiet());
        if (c.form == "overwrite") {
            TfrmOverwrite f(nullptr);
            f.ShowModal();
        } else if (c.form == "nextdisk") {
            ShowNextDiskPrompt("x", "/tmp/x.zip");
        } else if (c.form == "entrypassword") {
            TFrmSenha f(nullptr);
            f.ShowModal();
        } else if (c.form == "mask") {
            TFrmMascara f(nullptr);
            f.ShowModal();
        } else if (c.form == "newpassword") {
            TFrmPassword f(nullptr);
            f.ShowModal();
        } else {
            bool dontAsk = false;
            ShowAssociationPrompt(dontAsk);
        }
        const std::vector<std::string> played(recorder->Played().begin() + static_cast<std::ptrdiff_t>(before),
                                              recorder->Played().end());
        EXPECT_EQ(played, c.sounds);
    }
    // Sounds off: nothing at all.
    SetSoundsOption(false);
    const size_t before = recorder->Played().size();
    TModalDriver driver;
    driver.Click(mrYes, Quiet());
    TfrmOverwrite f(nullptr);
    f.ShowModal();
    EXPECT_EQ(recorder->Played().size(), before);
    SetSoundsOption(true);
}

TEST_F(SmallPromptsTest, OverwritePromptIsReusedWithTheSecondFilesData) {
    TfrmOverwrite form(nullptr);
    TModalDriver driver;
    const char* names[] = {"relatorio.txt", "planilha.xls"};
    for (const char* name : names) {
        form.TituloLbl->SetCaption(name);
        form.TamanhoOriginalLbl->SetCaption(std::string("tamanho de ") + name);
        form.DataOriginalLbl->SetCaption("01/02/03 10:00");
        form.TamanhoDestinoLbl->SetCaption("2.048 bytes");
        form.DataDestinoLbl->SetCaption("04/05/06 11:00");
        driver.Click(mrNo);
        EXPECT_EQ(form.ShowModal(), mrNo);
    }
    ASSERT_EQ(driver.Shown().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const auto& texts = driver.Shown()[i].Texts;
        EXPECT_NE(std::find(texts.begin(), texts.end(), names[i]), texts.end());
        EXPECT_NE(std::find(texts.begin(), texts.end(), std::string("tamanho de ") + names[i]), texts.end());
    }
}

TEST_F(SmallPromptsTest, AssociationPromptReportsDontAskAgain) {
    TModalDriver driver;
    driver.Click(mrCancel, [](TForm& f) { UserClick(Find<TCheckBox>(f, "NaoAvisarChk")); });
    bool dontAsk = false;
    EXPECT_EQ(ShowAssociationPrompt(dontAsk), mrCancel);
    EXPECT_TRUE(dontAsk);
}

TEST_F(SmallPromptsTest, EveryTextTheyUseExistsInTheThreeLanguages) {
    const int32_t numbers[] = {121, 187, 229, 230, 231, 232, 233, 234, 375, 391, 394, 395, 411, 412, 413, 414,
                               415, 416, 417, 418, 424, 425, 456, 590, 591, 624, 638, 639, 652};
    for (int32_t base : {lbPortuguese, lbEnglish, lbSpanish})
        for (int32_t n : numbers) EXPECT_TRUE(HasStr(base + n)) << base + n;
}

TEST_F(SmallPromptsTest, ScreenshotsInTheThreeLanguages) {
    const std::string folder = mvtest::ScreenshotFolder("app");
    const std::pair<int32_t, const char*> languages[] = {{lbPortuguese, "pt"}, {lbEnglish, "en"}, {lbSpanish, "es"}};
    for (const auto& [base, code] : languages) {
        SetLanguageBase(base);
        const std::string suffix = std::string("-") + code + ".png";
        auto shoot = [&](const std::string& name) {
            return [&, name](TForm& f) {
                const std::string path = folder + "/" + name + suffix;
                EXPECT_TRUE(SaveControlImage(f, path)) << path;
                TBitmap shot;
                ASSERT_TRUE(shot.LoadFromFile(path));
                EXPECT_EQ(shot.Width(), f.Width() - 2 * f.FrameWidth());
                EXPECT_GT(shot.Height(), 60);
            };
        };
        TModalDriver driver;
        driver.PressEscape(shoot("overwrite"));
        TfrmOverwrite overwrite(nullptr);
        overwrite.TituloLbl->SetCaption("relatorio-2024.txt");
        overwrite.TamanhoOriginalLbl->SetCaption("12.345 bytes");
        overwrite.DataOriginalLbl->SetCaption("01/02/2024 10:30");
        overwrite.TamanhoDestinoLbl->SetCaption("13.001 bytes");
        overwrite.DataDestinoLbl->SetCaption("05/02/2024 16:45");
        overwrite.ShowModal();

        driver.PressEscape(shoot("nextdisk"));
        ShowNextDiskPrompt(LoadLangStr(234) + ": backup.zip (2)", "/tmp/backup.zip");

        driver.PressEscape(shoot("entrypassword"));
        TFrmSenha senha(nullptr);
        senha.SetCaption("contrato.doc");
        senha.SenhaEdit->SetTextValue("secret");
        senha.ShowModal();

        driver.PressEscape(shoot("newpassword"));
        TFrmPassword password(nullptr);
        password.SenhaEdit->SetTextValue("secret");
        password.ShowModal();

        driver.PressEscape(shoot("mask"));
        TFrmMascara mask(nullptr);
        mask.MascaraEdit->SetTextValue("*.*");
        mask.ShowModal();

        driver.PressEscape(shoot("associations"));
        bool dontAsk = false;
        ShowAssociationPrompt(dontAsk);
        EXPECT_EQ(driver.Unanswered(), 0);
    }
}

} // namespace
} // namespace mv
