// The player's own message and input boxes, driven as a window would drive
// them: keys, pointer, typed, composed and pasted text.
#include "platform/dialog_view.h"

#include <gtest/gtest.h>

#include <variant>

#include "common/test_files.h"
#include "common/test_font.h"
#include "common/test_pictures.h"

using namespace platform;
using testkit::Cp932;

namespace {

using Dialogs = testkit::WithTestFont<>;

void ExpectGolden(DialogView& view, const std::string& name) {
    testkit::ExpectGolden(testkit::PictureOf(view.Width(), view.Height(), view.Pixels()), name);
}

// The answer of a fresh box after `keys`; it must close on the last key only.
MessageAnswer AnswerAfter(MessageButtons buttons, const std::vector<DialogKey>& keys) {
    MessageBoxView box(MessageKind::Plain, buttons, "?");
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_FALSE(box.Done()) << "closed before key " << i;
        box.Key(keys[i]);
    }
    EXPECT_TRUE(box.Done());
    return box.Answer();
}

struct Point {
    int32_t x;
    int32_t y;
};

Point Middle(const DialogView::Rect& rect) {
    return {rect.x + rect.width / 2, rect.y + rect.height / 2};
}

Point Outside(const DialogView::Rect& rect) {
    return {rect.x + rect.width / 2, rect.y - 4};
}

// Whether the input box answered, and with what.
std::string Outcome(const InputBoxView& box) {
    if (!box.Done()) return "open";
    return box.Result() ? "ok " + *box.Result() : "cancelled";
}

// The outcome of a fresh box after these keys and typed texts.
std::string OutcomeAfter(std::initializer_list<std::variant<DialogKey, const char*>> steps) {
    InputBoxView box(Cp932("名前"), "abc", nullptr);
    for (const auto& step : steps) {
        if (const DialogKey* key = std::get_if<DialogKey>(&step)) {
            box.Key(*key);
        } else {
            box.Text(std::get<const char*>(step));
        }
    }
    return Outcome(box);
}

std::function<std::string()> Clipboard(std::string utf8) {
    return [utf8] { return utf8; };
}

}  // namespace

TEST_F(Dialogs, GoldenWarningWithTwoLines) {
    MessageBoxView box(MessageKind::Warning, MessageButtons::Ok,
                       Cp932("セーブデータを読み込めませんでした。\r\n"
                             "ファイルが壊れているか、別のゲームのものです。"));
    ExpectGolden(box, "dialog_warning");
    EXPECT_FALSE(box.Changed());
}

TEST_F(Dialogs, GoldenInputWithComposition) {
    InputBoxView box(Cp932("主人公の名前を入力してください。"), Cp932("山田"), nullptr);
    box.Key(DialogKey::End);
    box.Composition("たろう", 2);
    ExpectGolden(box, "dialog_input");
}

TEST_F(Dialogs, MessageKeysChooseByButtonSet) {
    using K = DialogKey;
    using A = MessageAnswer;
    struct Case {
        MessageButtons buttons;
        A enter, escape, tabEnter, backTabEnter;
    };
    for (const Case& c :
         {Case{MessageButtons::Ok, A::Ok, A::Ok, A::Ok, A::Ok},
          Case{MessageButtons::YesNo, A::Yes, A::No, A::No, A::No},
          Case{MessageButtons::AbortIgnore, A::Abort, A::Ignore, A::Ignore, A::Ignore}}) {
        SCOPED_TRACE(std::string(ButtonsName(c.buttons)));
        EXPECT_EQ(AnswerAfter(c.buttons, {K::Enter}), c.enter);
        EXPECT_EQ(AnswerAfter(c.buttons, {K::Escape}), c.escape);
        EXPECT_EQ(AnswerAfter(c.buttons, {K::Tab, K::Enter}), c.tabEnter);
        EXPECT_EQ(AnswerAfter(c.buttons, {K::BackTab, K::Enter}), c.backTabEnter);
        // Arrows move the focus too, round and round; other keys do nothing.
        EXPECT_EQ(AnswerAfter(c.buttons, {K::Right, K::Down, K::Enter}), c.enter);
        EXPECT_EQ(AnswerAfter(c.buttons, {K::Left, K::Home, K::Paste, K::Enter}), c.tabEnter);
        // Escape is the safe answer wherever the focus is.
        EXPECT_EQ(AnswerAfter(c.buttons, {K::Tab, K::Escape}), c.escape);
    }
    MessageBoxView untouched(MessageKind::Error, MessageButtons::YesNo, "?");
    EXPECT_EQ(untouched.Answer(), MessageAnswer::No);
}

TEST_F(Dialogs, MessageButtonsPressOnReleaseOverTheSameButton) {
    MessageBoxView box(MessageKind::Error, MessageButtons::YesNo, Cp932("終了しますか？"));
    DialogView::Rect yes = box.ButtonRect(0);
    DialogView::Rect no = box.ButtonRect(1);
    // Pressed and released elsewhere, on the other button, or released over
    // a button pressed elsewhere: nothing chosen.
    for (auto [down, up] : {std::pair{Middle(no), Outside(no)},
                            {Middle(no), Middle(yes)},
                            {Outside(yes), Middle(yes)}}) {
        box.PointerDown(down.x, down.y);
        box.PointerUp(up.x, up.y);
    }
    EXPECT_FALSE(box.Done());

    // Dragged off and back again counts.
    box.PointerDown(Middle(yes).x, Middle(yes).y);
    box.PointerMove(Outside(yes).x, Outside(yes).y);
    box.PointerMove(Middle(yes).x, Middle(yes).y);
    box.PointerUp(yes.x + 1, yes.y + 1);
    EXPECT_TRUE(box.Done());
    EXPECT_EQ(box.Answer(), MessageAnswer::Yes);
}

TEST_F(Dialogs, MessageLinesBreakOnlyAtRealLineBreaks) {
    auto height = [](std::string_view text) {
        return MessageBoxView(MessageKind::Plain, MessageButtons::Ok, text).Height();
    };
    int32_t one = height("a");
    int32_t line = height("a\nb") - one;
    EXPECT_GE(line, 16);
    EXPECT_EQ(height("a\r\nb"), one + line);
    EXPECT_EQ(height("a\rb"), one + line);
    EXPECT_EQ(height("a\r\n\r\nb"), one + 2 * line);
    EXPECT_EQ(height("a\\r\\nb"), one);
    // A kanji whose second byte is a backslash is no escape either.
    EXPECT_EQ(height(Cp932("表\\n")), one);
}

TEST_F(Dialogs, MessageTextsWrapAndHugeOnesAreCut) {
    MessageBoxView small(MessageKind::Plain, MessageButtons::Ok, "a");
    // Words, Japanese and one endless word all wrap, within the same bounds.
    for (const std::string& text :
         {testkit::Repeated("word ", 100), testkit::Repeated(Cp932("日本語"), 100),
          std::string(400, 'x')}) {
        MessageBoxView box(MessageKind::Plain, MessageButtons::Ok, text);
        EXPECT_LT(box.Width(), 600);
        EXPECT_GT(box.Height(), small.Height() + 32);
    }

    // 100,000 characters in one line, in many lines, or in broken CP932
    // give a box no taller than a screen, each as tall as the others.
    const std::string kanji = testkit::Repeated(Cp932("字"), 100000),
                      lines = testkit::Repeated("a\r\n", 50000), broken(100000, '\x82');
    int32_t height = 0;
    for (const std::string& text : {kanji, lines, broken}) {
        MessageBoxView box(MessageKind::Warning, MessageButtons::YesNo, text);
        EXPECT_LE(box.Width(), 600);
        EXPECT_LE(box.Height(), 720);
        if (height == 0) height = box.Height();
        EXPECT_EQ(box.Height(), height);
        EXPECT_EQ(box.Pixels().size(), size_t(box.Width()) * box.Height());
    }
}

TEST_F(Dialogs, InputAnswers) {
    using K = DialogKey;
    // Typing replaces the selected default; the window test types and answers.
    EXPECT_EQ(OutcomeAfter({"x", K::Enter}), "ok x");
    EXPECT_EQ(OutcomeAfter({"z", K::Escape}), "cancelled");
    // Tab goes round field, OK, Cancel; on a button arrows switch buttons and
    // text goes nowhere.
    EXPECT_EQ(OutcomeAfter({K::Tab, "x", K::Right, K::Enter}), "cancelled");
    EXPECT_EQ(OutcomeAfter({K::BackTab, K::BackTab, K::Enter}), "ok abc");

    InputBoxView clicked(Cp932("名前"), "abc", nullptr);
    Point cancel = Middle(clicked.ButtonRect(1));
    clicked.PointerDown(cancel.x, cancel.y);
    clicked.PointerUp(cancel.x, cancel.y);
    EXPECT_EQ(Outcome(clicked), "cancelled");
}

TEST_F(Dialogs, InputEditsWholeCharacters) {
    // 表 and ソ end in a backslash byte, ｱ is a single byte.
    InputBoxView box("", Cp932("a表ソｱb"), nullptr);
    box.Key(DialogKey::Left);  // to the start, the selection gone
    box.Key(DialogKey::Right);
    box.Key(DialogKey::Right);
    box.Key(DialogKey::Delete);
    EXPECT_EQ(box.Value(), Cp932("a表ｱb"));
    box.Key(DialogKey::Backspace);
    EXPECT_EQ(box.Value(), Cp932("aｱb"));
    box.Text("漢字");
    EXPECT_EQ(box.Value(), Cp932("a漢字ｱb"));
    for (DialogKey key :
         {DialogKey::Home, DialogKey::Left, DialogKey::Backspace, DialogKey::Delete})
        box.Key(key);  // nothing before the start
    EXPECT_EQ(box.Value(), Cp932("漢字ｱb"));

    // Backspace on the selected default clears it all.
    InputBoxView cleared("", Cp932("山田"), nullptr);
    cleared.Key(DialogKey::Backspace);
    cleared.Key(DialogKey::Delete);
    EXPECT_EQ(cleared.Value(), "");

    // A click in the field places the caret at the nearest boundary.
    InputBoxView clicked("", Cp932("山田"), nullptr);
    DialogView::Rect caret = clicked.CaretRect();
    clicked.PointerDown(caret.x - 20, caret.y);  // in the right half of 山
    clicked.Text("x");
    EXPECT_EQ(clicked.Value(), Cp932("山x田"));
}

TEST_F(Dialogs, InputRefusesWhatCp932CannotHoldAndLineBreaks) {
    std::string unusable = Cp932("この文字は使えません");
    InputBoxView box("", "", Clipboard("一行目\r\n二行目\n\tend"));
    box.Key(DialogKey::Paste);
    EXPECT_EQ(box.Value(), Cp932("一行目二行目end"));
    EXPECT_EQ(box.Note(), "");

    std::vector<uint32_t> before = box.Pixels();
    box.Text("\xF0\x9F\x98\x80");  // an emoji
    EXPECT_EQ(box.Value(), Cp932("一行目二行目end"));
    EXPECT_EQ(box.Note(), unusable);
    EXPECT_NE(box.Pixels(), before);
    box.Text("!");
    EXPECT_EQ(box.Note(), "");
    EXPECT_EQ(box.Value(), Cp932("一行目二行目end!"));
    box.Text("\xE3\x81");  // broken UTF-8
    EXPECT_EQ(box.Note(), unusable);
    box.Key(DialogKey::Home);
    EXPECT_EQ(box.Note(), "");

    // Pasted text goes in whole or not at all; a refused paste keeps the
    // selection.
    InputBoxView pasted("", "abc", Clipboard("ok\xF0\x9F\x98\x80"));
    pasted.Key(DialogKey::Paste);
    EXPECT_EQ(pasted.Note(), unusable);
    pasted.Text("x");
    EXPECT_EQ(pasted.Value(), "x");

    // "\", "~" and the wave dash an input method types have CP932 forms.
    InputBoxView signs("", "", nullptr);
    signs.Text("\\~\xE3\x80\x9C");
    EXPECT_EQ(signs.Value(), "\\~\x81\x60");
}

TEST_F(Dialogs, InputLengthIsBounded) {
    std::string tooLong = Cp932("これ以上入力できません");
    InputBoxView box("", "", Clipboard(std::string(InputBoxView::kMaxTextBytes + 1, 'a')));
    box.Key(DialogKey::Paste);
    EXPECT_EQ(box.Value(), "");
    EXPECT_EQ(box.Note(), tooLong);

    box.Text(std::string(InputBoxView::kMaxTextBytes - 1, 'a'));
    box.Text("字");
    EXPECT_EQ(box.Note(), tooLong);
    box.Text("b");
    EXPECT_EQ(box.Value().size(), InputBoxView::kMaxTextBytes);
    EXPECT_EQ(box.Note(), "");

    // The caret stays in the field, at its right end and back at its left.
    DialogView::Rect end = box.CaretRect();
    EXPECT_LT(end.x, box.Width());
    box.Key(DialogKey::Home);
    DialogView::Rect start = box.CaretRect();
    EXPECT_LT(start.x, end.x - 200);
    box.Key(DialogKey::End);
    EXPECT_EQ(box.CaretRect().x, end.x);

    // A longer default is cut at a character boundary.
    const std::string kana = testkit::Repeated(Cp932("あ"), 600);
    InputBoxView cut("", kana, nullptr);
    EXPECT_EQ(cut.Value(), kana.substr(0, InputBoxView::kMaxTextBytes));
    cut.Text("x");  // replaces the selected default
    EXPECT_EQ(cut.Value(), "x");
}

// The golden input box shows a composition; keys belong to the input method
// meanwhile: Enter commits, not answers.
TEST_F(Dialogs, CompositionIsNotTheValue) {
    InputBoxView box("", Cp932("山田"), nullptr);
    box.Key(DialogKey::End);
    DialogView::Rect caret = box.CaretRect();
    box.Composition("たろ", 2);
    EXPECT_EQ(box.CaretRect().x, caret.x) << "the candidates stay where it started";
    box.Key(DialogKey::Enter);
    box.Key(DialogKey::Backspace);
    EXPECT_FALSE(box.Done());
    EXPECT_EQ(box.Value(), Cp932("山田"));
}
