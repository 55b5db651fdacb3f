// The player's own dialogs as pictures with input: the message box and the
// text-input box, laid out, drawn and operated without any window system.
// A backend shows a view in a modal window of the view's size, hands it the
// window's pointer, key and text events, and uploads Pixels() whenever
// Changed(), until Done(). We draw them ourselves because the system's
// message box cannot show Japanese everywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"

namespace platform {

// The keys dialogs handle; Paste stands for Ctrl+V and Shift+Insert.
enum class DialogKey {
    Enter,
    Escape,
    Tab,
    BackTab,
    Left,
    Right,
    Up,
    Down,
    Home,
    End,
    Backspace,
    Delete,
    Paste
};

class DialogPainter;

class DialogView {
public:
    struct Rect {
        int32_t x = 0;
        int32_t y = 0;
        int32_t width = 0;
        int32_t height = 0;

        bool Contains(int32_t px, int32_t py) const {
            return px >= x && py >= y && px < x + width && py < y + height;
        }
    };

    virtual ~DialogView() = default;

    // Fixed once the view is built.
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // 0x00RRGGBB words, Width() a row; redrawn here when something changed.
    const std::vector<uint32_t>& Pixels();
    // Whether the view looks different from what Pixels() last gave.
    bool Changed() const { return changed_; }
    // Answered or cancelled: the window can close.
    bool Done() const { return done_; }
    // Where the button of that index lies, in order from the left.
    Rect ButtonRect(int32_t index) const { return buttons_.at(index).rect; }

    // Client coordinates; the left button only.
    virtual void PointerMove(int32_t x, int32_t y);
    virtual void PointerDown(int32_t x, int32_t y);
    virtual void PointerUp(int32_t x, int32_t y);
    virtual void Key(DialogKey key) = 0;
    // Text committed by the keyboard or an input method.
    virtual void Text(std::string_view /*utf8*/) {}
    // The text an input method is composing, its cursor counted in
    // characters; "" when the composition ends.
    virtual void Composition(std::string_view /*utf8*/, int32_t /*cursor*/) {}
    // Whether keyboard text goes anywhere (text input on or off).
    virtual bool WantsText() const { return false; }
    // Where an input method should place its candidates.
    virtual Rect CaretRect() const { return {}; }

protected:
    struct Button {
        Rect rect;
        std::string_view label;  // CP932
    };
    static constexpr int32_t kNoButton = -1;

    DialogView() = default;

    void SetSize(int32_t width, int32_t height);
    // Lays the buttons out side by side, alike in size and centred, with
    // their tops at `top`.
    void PlaceButtons(const std::vector<std::string_view>& labels, int32_t top);
    int32_t FocusedButton() const { return focus_; }
    void FocusButton(int32_t index);
    // Moves the focus `step` places round the buttons; with `withNone` the
    // place before the first button is one too (kNoButton, a text field).
    void StepFocus(int32_t step, bool withNone);
    void Invalidate() { changed_ = true; }
    void Finish();
    void DrawButtons(DialogPainter& painter) const;

private:
    // The button the user chose, by index.
    virtual void Press(int32_t index) = 0;
    virtual void Draw(DialogPainter& painter) const = 0;
    int32_t ButtonAt(int32_t x, int32_t y) const;

    int32_t width_ = 1;
    int32_t height_ = 1;
    std::vector<uint32_t> pixels_;
    bool changed_ = true;
    bool done_ = false;
    std::vector<Button> buttons_;
    int32_t focus_ = 0;
    int32_t held_ = kNoButton;  // pressed with the pointer, not yet released
    bool heldInside_ = false;   // the pointer is over the held button
};

// A message box: an icon for warnings and errors, the text wrapped and cut
// to a bounded size, and its buttons, the first one focused. Escape gives
// the harmless answer: OK, No or Ignore.
class MessageBoxView final : public DialogView {
public:
    MessageBoxView(MessageKind kind, MessageButtons buttons, std::string_view text);  // CP932

    // The chosen answer; until then the one Escape would give.
    MessageAnswer Answer() const { return answer_; }

    void Key(DialogKey key) override;

private:
    void Press(int32_t index) override;
    void Draw(DialogPainter& painter) const override;

    MessageKind kind_;
    std::vector<MessageAnswer> answers_;
    MessageAnswer answer_;
    std::vector<std::string> lines_;  // CP932
    Rect icon_;
    Rect text_;
};

// The text-input box: a prompt, a one-line field holding CP932 text, and OK
// and Cancel. The default text starts selected, so typing replaces it.
// Typed, composed and pasted text arrives as UTF-8; what CP932 cannot hold,
// line breaks and text beyond the length limit are refused with a note.
class InputBoxView final : public DialogView {
public:
    static constexpr size_t kMaxTextBytes = 1024;

    // `clipboard` gives the clipboard's text as UTF-8 for Paste.
    InputBoxView(std::string_view prompt, std::string_view defaultText,
                 std::function<std::string()> clipboard);  // CP932

    // The field's text in CP932 after OK; nothing after Cancel or before an answer.
    const std::optional<std::string>& Result() const { return result_; }
    // What the field holds now (CP932), without the text being composed.
    const std::string& Value() const { return value_; }
    // The note shown for refused input (CP932), "" when none.
    std::string_view Note() const { return note_; }

    void PointerDown(int32_t x, int32_t y) override;
    void Key(DialogKey key) override;
    void Text(std::string_view utf8) override;
    void Composition(std::string_view utf8, int32_t cursor) override;
    bool WantsText() const override { return FocusedButton() == kNoButton; }
    Rect CaretRect() const override;

private:
    void Press(int32_t index) override;
    void Draw(DialogPainter& painter) const override;
    void EditKey(DialogKey key);
    void Insert(std::string_view utf8);
    void Erase(size_t from, size_t to);
    // Keeps the caret inside the field and redraws.
    void Edited();
    Rect TextArea() const;
    // Where the caret stands, in pixels from the start of the text.
    int32_t CaretOffset() const;

    std::vector<std::string> prompt_;  // CP932
    std::function<std::string()> clipboard_;
    std::string value_;            // CP932
    size_t caret_ = 0;             // a byte offset at a character boundary
    bool selected_ = true;         // the whole value is selected
    std::string composition_;      // CP932, shown at the caret
    size_t compositionCaret_ = 0;  // byte offset into composition_
    std::string_view note_;
    int32_t scroll_ = 0;  // pixels of the text hidden left of the field
    std::optional<std::string> result_;
    Rect promptArea_;
    Rect field_;  // with its sunken edge
    Rect noteArea_;
};

}  // namespace platform
