// The type-ahead combo box: the character rules on their own, then the real control
// typed into key by key: completion from the first item in list order with the added
// part selected, forced case, Backspace, the minimum length, accented and multibyte
// items counted in characters, the completion event, and Enter moving on.
#include "controls/toolkit/files/TypeAheadCombo.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"
#include "tests/support/DesktopFixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace mv {
namespace {

TEST(TypeAheadModel, CharactersCaseAndCompletion) {
    EXPECT_EQ(CharCount("Ñandú"), 5u);
    EXPECT_EQ(CharPrefix("Ñandú", 2), "Ña");
    EXPECT_EQ(CharRest("Ñandú", 4), "ú");
    EXPECT_EQ(CharCount("a\xff"
                        "b"),
              3u); // a stray byte is one character
    const struct {
        const char* in;
        TEditCharCase cc;
        const char* out;
    } cases[] = {
        {"configurações", TEditCharCase::ecUpperCase, "CONFIGURAÇÕES"},
        {"ÑANDÚ É ÁRVORE", TEditCharCase::ecLowerCase, "ñandú é árvore"},
        {"Straße ÿ ł", TEditCharCase::ecUpperCase, "STRAßE Ÿ Ł"},
        {"MiXeD", TEditCharCase::ecNormal, "MiXeD"},
        {"x\xff", TEditCharCase::ecUpperCase, "X\xff"},
    };
    for (const auto& c : cases) EXPECT_EQ(ApplyCharCase(c.in, c.cc), c.out) << c.in;
    EXPECT_EQ(CaseOfKey('a', TEditCharCase::ecUpperCase), 'A');
    EXPECT_EQ(CaseOfKey('Q', TEditCharCase::ecLowerCase), 'q');
    EXPECT_EQ(CaseOfKey('1', TEditCharCase::ecUpperCase), '1');
    std::string rest;
    const std::vector<std::string> items = {"Documentos", "Configurações", "Conteúdo", "Con"};
    EXPECT_EQ(FindCompletion("CONT", items, rest), 2);
    EXPECT_EQ(rest, "eúdo");
    EXPECT_EQ(FindCompletion("configuraÇ", items, rest), 1);
    EXPECT_EQ(rest, "ões");
    EXPECT_EQ(FindCompletion("conteúdos", items, rest), -1);
}

// Sends one key as the keyboard would: the key code and the text it types.
void Key(TControl& c, int qtKey, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
    QApplication::sendEvent(c.Widget(), &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, text);
    QApplication::sendEvent(c.Widget(), &release);
}

void Type(TControl& c, const QString& text) {
    for (const QChar ch : text) {
        const QChar up = ch.toUpper();
        const int key =
            up.unicode() < 0x80 && up.isLetter() ? Qt::Key_A + (up.unicode() - 'A') : up.unicode();
        Key(c, key, QString(ch));
    }
}

struct ComboForm {
    explicit ComboForm(std::vector<std::string> items) {
        EnsureApplication();
        form = std::make_unique<TForm>(nullptr);
        form->SetClientWidth(260);
        form->SetClientHeight(70);
        combo = new TTypeAheadCombo(form.get());
        combo->SetParent(form.get());
        combo->SetBounds(8, 8, 244, 24);
        for (const auto& item : items) combo->Items().Add(item);
        next = new TEdit(form.get());
        next->SetParent(form.get());
        next->SetBounds(8, 40, 244, 22);
        form->Show();
        QApplication::setActiveWindow(form->Widget());
        combo->SetFocus();
        QApplication::processEvents();
    }
    std::unique_ptr<TForm> form;
    TTypeAheadCombo* combo;
    TEdit* next;
};

TEST(TypeAheadCombo, TypingCompletesFromTheFirstItemWithTheRestSelected) {
    const struct {
        const char* name;
        std::vector<std::string> items;
        QString typed;
        int minLength;
        std::string text;
        int selStart, selLength;
    } cases[] = {
        {"first in list order", {"arquivo.zip", "arj.arj", "ARQUIVOS"}, "ar", 0, "ARQUIVO.ZIP", 2, 9},
        {"minimum length", {"arquivo.zip"}, "ar", 3, "AR", 2, 0},
        {"minimum length reached", {"arquivo.zip"}, "arq", 3, "ARQUIVO.ZIP", 3, 8},
        {"accented", {"Documentos", "Configurações", "Conteúdo"}, "conf", 0, "CONFIGURAÇÕES", 4, 9},
        {"multibyte typed", {"Ñandú", "Ñoño"}, QString::fromUtf8("ño"), 0, "ÑOÑO", 2, 2},
        {"no item", {"Documentos"}, "xy", 0, "XY", 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ComboForm f(c.items);
        f.combo->SetMinLengthComplete(static_cast<uint16_t>(c.minLength));
        Type(*f.combo, c.typed);
        EXPECT_EQ(f.combo->Text(), c.text);
        EXPECT_EQ(f.combo->SelStart(), c.selStart);
        EXPECT_EQ(f.combo->SelLength(), c.selLength);
    }
}

TEST(TypeAheadCombo, BackspaceAndDeleteNeverComplete) {
    ComboForm f({"arquivo.zip"});
    Type(*f.combo, "ar");
    ASSERT_EQ(f.combo->Text(), "ARQUIVO.ZIP");
    Key(*f.combo, Qt::Key_Backspace); // takes the suggestion away
    EXPECT_EQ(f.combo->Text(), "AR");
    Key(*f.combo, Qt::Key_Backspace);
    EXPECT_EQ(f.combo->Text(), "A");
    Key(*f.combo, Qt::Key_Left);
    Key(*f.combo, Qt::Key_Delete);
    EXPECT_EQ(f.combo->Text(), "");
    Type(*f.combo, "a");
    EXPECT_EQ(f.combo->Text(), "ARQUIVO.ZIP");
}

TEST(TypeAheadCombo, CaseEventAndStyle) {
    ComboForm f({"Arquivos", "Backup"});
    f.combo->SetCharCase(TEditCharCase::ecNormal);
    std::vector<uint16_t> keys;
    f.combo->OnComplete = [&](TComponent*, uint16_t key, std::string& rest, bool& doComplete) {
        keys.push_back(key);
        if (rest == "ackup") rest = "ackup2";
        doComplete = rest != "rquivos";
    };
    Type(*f.combo, "a");
    EXPECT_EQ(f.combo->Text(), "a"); // refused
    f.combo->SetTextValue("");
    Type(*f.combo, "B");
    EXPECT_EQ(f.combo->Text(), "Backup2");
    EXPECT_EQ(keys.back(), 'B');
    f.combo->SetCharCase(TEditCharCase::ecLowerCase);
    EXPECT_EQ(f.combo->Text(), "backup2");
    // Without completion, or as a plain drop-down list, nothing is added.
    f.combo->SetComplete(false);
    f.combo->SetTextValue("");
    Type(*f.combo, "b");
    EXPECT_EQ(f.combo->Text(), "b");
}

TEST(TypeAheadCombo, EnterMovesToTheNextControl) {
    ComboForm f({"arquivo.zip"});
    ASSERT_TRUE(f.combo->Focused());
    Type(*f.combo, "a");
    Key(*f.combo, Qt::Key_Return, "\r");
    QApplication::processEvents();
    EXPECT_TRUE(f.next->Focused());
    EXPECT_EQ(f.combo->Text(), "ARQUIVO.ZIP");
}

TEST(TypeAheadCombo, Screenshots) {
    const struct {
        const char* name;
        std::vector<std::string> items;
        QString typed;
    } langs[] = {
        {"pt", {"Documentos", "Configurações", "Área de trabalho"}, "conf"},
        {"en", {"Documents", "Downloads", "Desktop"}, "dow"},
        {"es", {"Documentos", "Descargas", "Escritorio"}, "esc"},
    };
    const std::string folder = mvtest::ScreenshotFolder("files");
    for (const auto& lang : langs) {
        ComboForm f(lang.items);
        Type(*f.combo, lang.typed);
        EXPECT_GT(f.combo->SelLength(), 0);
        QApplication::processEvents();
        ASSERT_TRUE(SaveControlImage(*f.form, folder + "/typeahead_" + lang.name + ".png"));
    }
}

} // namespace
} // namespace mv
