// The script windows as the user meets them: the manager with its tabs, options,
// commands and command-line runs, the list editor, the analysis and the appearance
// dialog, driven through their controls and the modal driver, with screenshots in
// the three languages.
#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/scripts/BackupRunner.h"
#include "app/scripts/FrmAnalise.h"
#include "app/scripts/FrmAparenciaScript.h"
#include "app/scripts/FrmArquivos.h"
#include "app/scripts/FrmExecuta.h"
#include "app/scripts/FrmScripts.h"
#include "app/scripts/ScriptRun.h"
#include "controls/listview/ExtListView.h"
#include "controls/toolkit/checklist/CheckListBox.h"
#include "controls/toolkit/colour/ColorButton.h"
#include "controls/toolkit/colour/ExtPageControl.h"
#include "controls/toolkit/docking/ToolDock.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/LocalTime.h"
#include "platform/Sound.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "tests/app/UserInput.h"
#include "tests/support/DesktopFixture.h"
#include "tests/app/scripts/ScriptTestFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

namespace mv {
namespace {

namespace fs = mvtest::fs;



std::string FileText(const fs::path& p) {
    const auto bytes = mvtest::ReadFileBytes(p);
    return std::string(bytes.begin(), bytes.end());
}

using mvtest::UserClick;

// A press on a colour button as the mouse makes it.
void Press(TColorButton* b) {
    b->MouseDown(TMouseButton::mbLeft, 0, 5, 5);
    b->MouseUp(TMouseButton::mbLeft, 0, 5, 5);
}

TModalAnswer Enter() {
    return {TModalAction::maEnter, mrNone, std::nullopt, {}};
}
TModalAnswer ClickResult(int result) {
    return {TModalAction::maClickResult, result, std::nullopt, {}};
}

const std::pair<int32_t, const char*> Languages[] = {{lbPortuguese, "pt"}, {lbEnglish, "en"}, {lbSpanish, "es"}};

class ScriptFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
        SetSoundBackEnd(std::make_unique<TSilentSound>());
        scripts = (desktop.Data() / "morvelan/scripts").string();
        ini = (desktop.Config() / "morvelan/morvelan.ini").string();
        fs::create_directories(scripts);
        fs::create_directories(desktop.Config() / "morvelan");
        src = desktop.Root() / "src";
        Touch(src / "a.txt", "first file\n", At(2024, 3, 1, 9, 0));
        Touch(src / "sub/b.doc", "second file\n", At(2024, 3, 1, 9, 1));
        Touch(src / "tmp/c.tmp", "scratch\n", At(2024, 3, 1, 9, 2));
    }
    void TearDown() override {
        SetLanguageBase(lbPortuguese);
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // A script over src: everything, less the tmp folder.
    void MakeScript(const std::string& name) {
        TScriptStore store(scripts);
        std::vector<std::string> names = store.ReadScriptList();
        std::string n = name;
        ASSERT_EQ(store.CreateScript(n, names), TNewScriptResult::nsCreated);
        auto lines = store.ReadScriptLines(n);
        lines.push_back("SSS" + src.string() + "/*.*");
        lines.push_back("SSN" + src.string() + "/tmp/*.*");
        WriteScriptTextLines(store.HeaderPath(n), lines);
    }

    // Shows the manager; act runs while it is on screen, then it closes.
    int Manager(std::function<void(TFrmScripts&)> act, std::vector<TModalAnswer> boxes = {},
                std::function<void(TFrmScripts&)> setUp = {}) {
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [&](TForm& f) {
                          auto& m = dynamic_cast<TFrmScripts&>(f);
                          if (act) act(m);
                          m.Close();
                      }});
        for (auto& b : boxes) driver.Queue(b);
        TFrmScripts form(nullptr, scripts, ini);
        form.DesktopFolder = (desktop.Root() / "Desktop").string();
        if (setUp) setUp(form);
        form.ShowModal();
        shown = driver.Shown();
        return form.ExitCode();
    }

    mvtest::DesktopFixture desktop;
    std::string scripts, ini;
    fs::path src;
    std::vector<TShownForm> shown;
};

TEST_F(ScriptFormsTest, TabsLabelsAndScreenshotsOfEachTab) {
    MakeScript("Diario");
    MakeScript("Semanal");
    // Semanal ran once, with warnings.
    TScriptStore store(scripts);
    TScriptHeader h = store.ReadHeader("Semanal");
    TRunStatistics run;
    run.Status = rsDone;
    run.TestStatus = tsErrors;
    run.Archive = "/home/u/Backups/Semanal.zip";
    run.Finished = At(2024, 3, 1, 22, 5);
    run.ElapsedSeconds = 75;
    run.TotalBytes = 4096 * 1024;
    run.PackedBytes = 1024 * 1024;
    run.Files = 12;
    run.Warnings = 2;
    StoreRunStatistics(h, run);
    store.WriteHeader("Semanal", h);

    const std::string folder = mvtest::ScreenshotFolder("scripts");
    for (const auto& [base, code] : Languages) {
        SetLanguageBase(base);
        Manager([&](TFrmScripts& m) {
            EXPECT_EQ(m.Caption(), LoadLangStr(441));
            ASSERT_EQ(m.ScriptNames(), (std::vector<std::string>{"Diario", "Semanal"}));
            EXPECT_EQ(m.ShownScript(), "Diario");
            EXPECT_EQ(m.CopiaLabel->Caption(), LoadLangStr(442));
            EXPECT_EQ(m.Testelabel->Caption(), "");
            EXPECT_FALSE(m.AvisosBtn->Enabled());
            EXPECT_TRUE(SaveControlImage(m, folder + "/manager-diario-" + code + ".png"));
            m.ScriptPageControl->SetActivePageIndex(1);
            EXPECT_EQ(m.ShownScript(), "Semanal");
            EXPECT_EQ(m.CopiaLabel->Caption(), LoadLangStr(342));
            EXPECT_EQ(m.Testelabel->Caption(), LoadLangStr(444));
            EXPECT_EQ(m.DestinoLabel->Caption(), "/home/u/Backups/Semanal.zip");
            EXPECT_EQ(m.TamanhoLabel->Caption(), "4096K  -  12 " + LoadLangStr(193) + ".");
            EXPECT_EQ(m.TamanhoCompactadoLabel->Caption(), "1024K  (75%)");
            EXPECT_EQ(m.AvisosLabel->Caption(), LoadLangStr(605) + " (2)");
            EXPECT_TRUE(m.AvisosBtn->Enabled());
            EXPECT_TRUE(SaveControlImage(m, folder + "/manager-semanal-" + code + ".png"));
        });
    }
}

TEST_F(ScriptFormsTest, NewScriptBarAndItsRefusals) {
    MakeScript("Diario");
    // Answers for the boxes: the forbidden name, the duplicate.
    Manager(
        [&](TFrmScripts& m) {
            Press(m.NovoScriptBtn);
            ASSERT_TRUE(m.ScriptTb->Visible());
            EXPECT_FALSE(m.ExecutaBtn->Enabled());
            m.ScriptEdit->SetTextValue("a:b");
            UserClick(m.CriarScriptBtn);
            EXPECT_TRUE(m.ScriptTb->Visible());
            m.ScriptEdit->SetTextValue("diario");
            UserClick(m.CriarScriptBtn);
            m.ScriptEdit->SetTextValue("  Mensal  ");
            UserClick(m.CriarScriptBtn);
            EXPECT_FALSE(m.ScriptTb->Visible());
            EXPECT_TRUE(m.ExecutaBtn->Enabled());
            EXPECT_EQ(m.ShownScript(), "Mensal");
            EXPECT_EQ(m.ScriptNames(), (std::vector<std::string>{"Diario", "Mensal"}));
            // Esc hides the bar first.
            Press(m.NovoScriptBtn);
            m.HideNewScriptBar();
            EXPECT_FALSE(m.ScriptTb->Visible());
        },
        {Enter(), Enter()});
    ASSERT_EQ(shown.size(), 3u);
    auto holds = [](const TShownForm& f, const std::string& text) {
        for (const std::string& t : f.Texts)
            if (t.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(holds(shown[1], LoadLangStr(596))) << shown[1].Caption;
    EXPECT_TRUE(holds(shown[1], "\\/:*?\"<>|"));
    EXPECT_TRUE(holds(shown[2], LoadLangStr(451)));
    EXPECT_TRUE(fs::exists(fs::path(scripts) / "Mensal.srp"));
    EXPECT_NE(FileText(fs::path(scripts) / "Morvelan.SRL").find("Mensal"), std::string::npos);
}

TEST_F(ScriptFormsTest, OptionRulesThroughTheControlsAndTheHeader) {
    MakeScript("Diario");
    Manager([&](TFrmScripts& m) {
        // A destination on a fixed disk: no clearing, no multi-volume; update allowed.
        m.DestinoEdit->SetTextValue((desktop.Home() / "Backups/Diario.zip").string());
        EXPECT_FALSE(m.LimpaDiscosChk->Enabled());
        EXPECT_FALSE(m.LimpaDiscosChk->Checked());
        EXPECT_EQ(m.MultiVolumeRb->ItemIndex(), 1);
        EXPECT_TRUE(m.ApenasAtualizaChk->Enabled());
        UserClick(m.ApenasAtualizaChk);
        EXPECT_TRUE(m.ApenasAtualizaChk->Checked());
        // The date in the name rules update out.
        UserClick(m.IncluirDataChk);
        EXPECT_FALSE(m.ApenasAtualizaChk->Enabled());
        EXPECT_FALSE(m.ApenasAtualizaChk->Checked());
        UserClick(m.IncluirDataChk);
        EXPECT_TRUE(m.ApenasAtualizaChk->Enabled());
        UserClick(m.CriarSfx);
        EXPECT_FALSE(m.ApenasAtualizaChk->Enabled());
        // The method alone is written with the next write.
        m.CompressaoCb->SetItemIndex(3);
        EXPECT_EQ(TScriptStore(scripts).ReadHeader("Diario").Method, 2);
        UserClick(m.VerificarBackupChk);
        // Keys: T toggles the test option back, N opens the new-script bar.
        EXPECT_TRUE(m.FormKey('t'));
        EXPECT_TRUE(m.VerificarBackupChk->Checked());
        EXPECT_FALSE(m.FormKey('z'));
        EXPECT_TRUE(m.FormKey('N'));
        EXPECT_TRUE(m.ScriptTb->Visible());
        m.HideNewScriptBar();
    });
    const TScriptHeader h = TScriptStore(scripts).ReadHeader("Diario");
    EXPECT_EQ(h.Method, 3);
    EXPECT_TRUE(h.SelfExtracting);
    EXPECT_FALSE(h.UpdateOnly);
    EXPECT_FALSE(h.DateInName);
    EXPECT_TRUE(h.TestAfterBackup);
    EXPECT_EQ(h.VolumeMode, 1);
    EXPECT_EQ(h.Destination, (desktop.Home() / "Backups/Diario.zip").string());
    EXPECT_EQ(h.LastStatus, rsNeverRun);
}

TEST_F(ScriptFormsTest, RunHandOverKeepsTheLastBackupWhenNothingRan) {
    MakeScript("Diario");
    TScriptStore store(scripts);
    const std::string sra = "01/03/2024 09:00" + (src / "a.txt").string() + "\r\n";
    mvtest::WriteFileText(store.LastBackupPath("Diario"), sra);
    const std::string headerBefore = store.ReadScriptLines("Diario")[0];
    // The runner opened and closed without a run.
    Manager([&](TFrmScripts& m) {
        m.RunRunner = [](TBackupRunner&, bool) {};
        m.ExecutaBtnClick();
        EXPECT_EQ(m.CopiaLabel->Caption(), LoadLangStr(442));
    });
    EXPECT_EQ(FileText(store.LastBackupPath("Diario")), sra);
    EXPECT_EQ(store.ReadScriptLines("Diario")[0], headerBefore);
    // The same with the real run window, closed by its Close button before Start.
    std::string runCaption;
    Manager(
        [&](TFrmScripts& m) { Press(m.ExecutaBtn); },
        {{TModalAction::maClickResult, 99, std::nullopt, [&](TForm& f) {
              runCaption = f.Caption();
              UserClick(dynamic_cast<TFrmExecuta&>(f).CancelaBtn);
          }}});
    EXPECT_EQ(runCaption, LoadLangStr(327));
    EXPECT_EQ(FileText(store.LastBackupPath("Diario")), sra);
    EXPECT_EQ(store.ReadScriptLines("Diario")[0], headerBefore);

    // A real run: the header, the labels and the new list.
    Manager([&](TFrmScripts& m) {
        m.VerificarBackupChk->SetChecked(false);
        m.OptionClick();
        m.RunRunner = [](TBackupRunner& r, bool unattended) {
            EXPECT_FALSE(unattended);
            r.Run();
        };
        m.ExecutaBtnClick();
        EXPECT_EQ(m.CopiaLabel->Caption(), LoadLangStr(342));
        EXPECT_EQ(m.Testelabel->Caption(), LoadLangStr(443));
        EXPECT_NE(m.TamanhoLabel->Caption().find("2 " + LoadLangStr(193)), std::string::npos);
    });
    const TScriptHeader h = store.ReadHeader("Diario");
    EXPECT_EQ(h.LastStatus, rsDone);
    EXPECT_EQ(TrimText(h.Files), "2");
    const std::string last = FileText(store.LastBackupPath("Diario"));
    EXPECT_NE(last.find((src / "sub/b.doc").string()), std::string::npos);
    EXPECT_EQ(last.find("c.tmp"), std::string::npos);
    EXPECT_TRUE(fs::exists(desktop.Home() / "Backups/Diario.zip"));
}

TEST_F(ScriptFormsTest, WaitModeExitCodes) {
    MakeScript("Diario");
    // No script of that name: the window closes by itself with 169.
    TFrmScripts unknown(nullptr, scripts, ini);
    unknown.SetPendingScript("semanal");
    unknown.SetWaitMode(true);
    unknown.ShowModal();
    EXPECT_EQ(unknown.ExitCode(), ecScriptFailed);

    const struct {
        int status, test, code;
    } rows[] = {{rsDone, tsNotTested, 168}, {rsDone, tsPassed, 168}, {rsDone, tsErrors, 169},
                {rsDone, tsCancelled, 169}, {rsCancelled, tsNotTested, 169}, {rsErrors, tsNotTested, 169}};
    for (const auto& r : rows) {
        TRunRecord record;
        record.Status = r.status;
        record.TestStatus = r.test;
        EXPECT_EQ(ExitCodeOfRun(record), r.code) << r.status << r.test;
    }

    // The real run, unattended: no window of its own, 168, the header written.
    TFrmScripts form(nullptr, scripts, ini);
    form.SetPendingScript("diario");
    form.SetWaitMode(true);
    bool sawUnattended = false;
    form.RunRunner = [&](TBackupRunner& runner, bool unattended) {
        sawUnattended = unattended;
        runner.Run();
    };
    form.ShowModal();
    EXPECT_TRUE(sawUnattended);
    EXPECT_EQ(form.ExitCode(), ecScriptDone);
    EXPECT_EQ(TScriptStore(scripts).ReadHeader("Diario").LastStatus, rsDone);
}

TEST_F(ScriptFormsTest, ShortcutSchedulerAndDelete) {
    MakeScript("a.b");
    MakeScript("a.c");
    const std::string socket = (desktop.Root() / "run/morvelan/morvelan-schedule").string();
    std::vector<std::string> started;
    Manager(
        [&](TFrmScripts& m) {
            Press(m.ExcluiScriptBtn); // No: nothing goes
            EXPECT_EQ(m.ScriptNames().size(), 2u);
            m.CriaAtalhoBtnClick();
            m.ScriptPageControl->SetActivePageIndex(1);
            m.CriaAtalhoBtnClick();
            // No scheduler listening and none installed: a clear message.
            m.SchedulerSocket = socket;
            m.SchedulerProgramSet = true;
            m.StartProgram = [&](const std::string& p, const std::string& a) { started.push_back(p + " " + a); };
            Press(m.AgendarBtn);
            EXPECT_TRUE(started.empty());
            m.SchedulerProgram = "/opt/mv/morvelan-schedule";
            Press(m.AgendarBtn);
            m.ExcluiScriptBtnClick(); // Yes
            EXPECT_EQ(m.ScriptNames(), std::vector<std::string>{"a.b"});
            EXPECT_EQ(m.ShownScript(), "a.b");
        },
        {ClickResult(mrNo), Enter(), Enter(), Enter(), ClickResult(mrYes)});
    ASSERT_EQ(shown.size(), 6u);
    bool asked = false;
    for (const std::string& t : shown[1].Texts) asked |= t == LoadLangStr(452) + "a.b ?";
    EXPECT_TRUE(asked);
    for (int i : {2, 3}) {
        bool found = false;
        for (const std::string& t : shown[static_cast<size_t>(i)].Texts) found |= t == LoadLangStr(455);
        EXPECT_TRUE(found) << i;
    }
    bool missing = false;
    for (const std::string& t : shown[4].Texts) missing |= t == LoadLangStr(3254);
    EXPECT_TRUE(missing);
    EXPECT_EQ(started, std::vector<std::string>{"/opt/mv/morvelan-schedule \"/S\""});
    EXPECT_TRUE(fs::exists(desktop.Root() / "Desktop/Script a.b.desktop"));
    EXPECT_TRUE(fs::exists(desktop.Root() / "Desktop/Script a.c.desktop"));
    EXPECT_FALSE(fs::exists(fs::path(scripts) / "a.c.srp"));
    EXPECT_TRUE(fs::exists(fs::path(scripts) / "a.b.srp"));
    EXPECT_EQ(FileText(fs::path(scripts) / "Morvelan.SRL"), "a.b\r\n");
}

TEST_F(ScriptFormsTest, ListEditorShowAddToggleDragAndOk) {
    const std::string folder = mvtest::ScreenshotFolder("scripts");
    const std::string docs = (src / "sub").string();
    for (const auto& [base, code] : Languages) {
        SetLanguageBase(base);
        TFrmArquivos editor(nullptr, ini);
        editor.ScriptLines().SetLines({"HEADER", "SSS" + src.string() + "/*.*", "NNS" + (src / "a.txt").string(),
                                       "SSN" + src.string() + "/tmp/*.*", "NNN" + src.string() + "/x.bak"});
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [&](TForm&) {
                          TCheckListModel& inc = editor.AdicionadosLb->Items();
                          TCheckListModel& exc = editor.ExcluidosLb->Items();
                          ASSERT_EQ(inc.Count(), 2);
                          ASSERT_EQ(exc.Count(), 2);
                          EXPECT_EQ(inc.GetItemState(0), TCheckBoxState::cbChecked);
                          EXPECT_EQ(inc.GetItemState(1), TCheckBoxState::cbGrayed);
                          // A click on the file entry leaves it grayed; on the folder it unchecks it.
                          inc.ToggleItem(1);
                          EXPECT_EQ(inc.GetItemState(1), TCheckBoxState::cbGrayed);
                          inc.ToggleItem(0);
                          EXPECT_EQ(inc.GetItemState(0), TCheckBoxState::cbUnchecked);
                          // A folder dropped from the file list asks the mask (".doc", subfolders).
                          editor.DropFiles(true, {docs});
                          ASSERT_EQ(inc.Count(), 3);
                          EXPECT_EQ(inc.Strings(2), docs + "/*.doc");
                          // The exclude list's selected entry dragged onto the include list.
                          editor.ExcluidosLb->SetItemIndex(1);
                          editor.DropFromOtherList(true);
                          EXPECT_EQ(exc.Count(), 1);
                          EXPECT_EQ(inc.Count(), 4);
                          EXPECT_TRUE(SaveControlImage(editor, folder + "/list-editor-" + code + ".png"));
                          UserClick(editor.OkBtn);
                      }});
        driver.Queue({TModalAction::maEnter, mrNone, std::string(".doc"), {}});
        EXPECT_EQ(editor.ShowModal(), mrOk);
        EXPECT_EQ(editor.ScriptLines().Lines(),
                  (std::vector<std::string>{"HEADER", "SNS" + src.string() + "/*.*", "NNS" + (src / "a.txt").string(),
                                            "SSS" + docs + "/*.doc", "NNS" + src.string() + "/x.bak",
                                            "SSN" + src.string() + "/tmp/*.*"}));
        EXPECT_EQ(platform::IniFile(ini).ReadInteger("Form Arquivos", "Largura Grid", 0),
                  editor.ArquivosLv ? 450 : 0);
    }
}

TEST_F(ScriptFormsTest, AnalysisWindowShowsTheFourViews) {
    const std::string folder = mvtest::ScreenshotFolder("scripts");
    Touch(src / "big;name.iso", std::string(3000, 'x'), At(2024, 3, 1, 9, 3));
    for (const auto& [base, code] : Languages) {
        SetLanguageBase(base);
        TFrmAnalise form(nullptr, ini);
        form.ScriptLines().SetLines(
            {"H", "SSS" + src.string() + "/*.*", "SSN" + src.string() + "/tmp/*.*"});
        form.SetLastBackup({FormatBackupFileLine(At(2024, 3, 1, 8, 0), (src / "a.txt").string()),
                            FormatBackupFileLine(At(2024, 3, 1, 9, 1), (src / "sub/b.doc").string())});
        TModalDriver driver;
        driver.Queue({TModalAction::maEnter, mrNone, std::nullopt, [&](TForm&) {
                          EXPECT_EQ(form.ArquivosLv->VirtualItemCount(), 3);
                          EXPECT_EQ(form.NovosLv->VirtualItemCount(), 1);
                          EXPECT_EQ(form.ModificadosLv->VirtualItemCount(), 1);
                          EXPECT_EQ(form.ExcluidosLv->VirtualItemCount(), 1);
                          EXPECT_EQ(form.BackupLabel->Caption(), "3 " + LoadLangStr(193) + ", 2K");
                          EXPECT_FALSE(form.ProgressPn->Visible());
                          // The size column sorted descending puts the big file first.
                          form.Analysis().Copied().Sort(2, false);
                          EXPECT_EQ(form.Analysis().Copied().CellText(0, 0), "big;name");
                          EXPECT_GT(form.ArquivosLv->Columns().Items(0)->Width(), 35);
                          EXPECT_TRUE(SaveControlImage(form, folder + "/analysis-" + code + ".png"));
                          form.PageControl1->SetActivePageIndex(1);
                          EXPECT_TRUE(SaveControlImage(form, folder + "/analysis-excluded-" + code + ".png"));
                      }});
        form.ShowModal();
        EXPECT_EQ(driver.Unanswered(), 0);
    }
    EXPECT_TRUE(platform::IniFile(ini).ValueExists("Form Analise", "Altura Arquivos"));
}

TEST_F(ScriptFormsTest, AppearanceDialogAppliesAtOnceAndIsKept) {
    MakeScript("Diario");
    const std::string folder = mvtest::ScreenshotFolder("scripts");
    for (const auto& [base, code] : Languages) {
        SetLanguageBase(base);
        Manager([&](TFrmScripts& m) {
            TFrmAparenciaScript dialog(&m, m);
            // Opened docked on top: the floating group is disabled, tabs on the left 30 x 90.
            EXPECT_EQ(dialog.PosicaoBarraFerramentasRb->ItemIndex(), 0);
            EXPECT_FALSE(dialog.BarraFlutuanteRb->Enabled());
            EXPECT_EQ(dialog.PosicaoPastasRB->ItemIndex(), tpLeft);
            EXPECT_EQ(dialog.AlturaPastasEdit->Text(), "30");
            EXPECT_EQ(dialog.LarguraPastasEdit->Text(), "90");
            EXPECT_FALSE(dialog.ApenasIconesChk->Checked());
            EXPECT_TRUE(SaveControlImage(dialog, folder + "/appearance-" + code + ".png"));
            // Bottom dock, then floating as two columns, then icons only: 66.
            dialog.PosicaoBarraFerramentasRb->SetItemIndex(1);
            dialog.PosicaoBarraClick();
            EXPECT_EQ(m.tbAcoes->DockedTo(), m.dockInferior);
            dialog.PosicaoBarraFerramentasRb->SetItemIndex(ppFloating);
            dialog.PosicaoBarraClick();
            EXPECT_EQ(m.ToolbarPosition(), ppFloating);
            EXPECT_TRUE(dialog.BarraFlutuanteRb->Enabled());
            dialog.BarraFlutuanteRb->SetItemIndex(fsTwoColumns);
            dialog.BarraFlutuanteClick();
            EXPECT_EQ(platform::IniFile(ini).ReadInteger("tbacoes", "FloatRightX", 0), 208);
            dialog.ApenasIconesChk->SetChecked(true);
            dialog.ApenasIconesClick();
            EXPECT_EQ(platform::IniFile(ini).ReadInteger("tbacoes", "FloatRightX", 0), 66);
            EXPECT_TRUE(m.IconsOnly());
            EXPECT_EQ(m.ExecutaBtn->Caption(), "");
            EXPECT_EQ(m.ExecutaBtn->Width(), IconButtonWidth);
            // Tabs at the top, 40 high (values outside the limits are held to them).
            dialog.PosicaoPastasRB->SetItemIndex(tpTop);
            dialog.PastasChanged();
            dialog.AlturaPastasEdit->SetTextValue("40");
            dialog.LarguraPastasEdit->SetTextValue("900");
            EXPECT_EQ(m.ScriptPageControl->Model().TabPosition(), TExtTabPosition::tabPosTop);
            EXPECT_EQ(m.ScriptPageControl->Model().TabHeight(), 40);
            EXPECT_EQ(m.ScriptPageControl->Model().TabWidth(), MaxTabWidth);
            // Back to captions and docked, for the next language.
            dialog.ApenasIconesChk->SetChecked(false);
            dialog.ApenasIconesClick();
            dialog.PosicaoBarraFerramentasRb->SetItemIndex(0);
            dialog.PosicaoBarraClick();
            EXPECT_TRUE(SaveControlImage(m, folder + "/manager-tabs-top-" + code + ".png"));
        });
        // Kept in morvelan.ini when the manager closed, and applied at the next show.
        const TScriptsAppearance kept = ReadScriptsAppearance(platform::IniFile(ini));
        EXPECT_EQ(kept.TabPosition, tpTop);
        EXPECT_EQ(kept.TabHeight, 40);
        Manager([&](TFrmScripts& m) {
            EXPECT_EQ(m.ScriptPageControl->Model().TabPosition(), TExtTabPosition::tabPosTop);
            TScriptsAppearance back;
            m.ApplyAppearance(back);
        });
    }
}

} // namespace
} // namespace mv
