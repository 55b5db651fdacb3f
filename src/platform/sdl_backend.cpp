#include "platform/sdl_backend.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "platform/dialog_view.h"
#include "platform/encoding.h"
#include "platform/fonts.h"
#include "platform/sdl_media.h"

namespace platform {
namespace {

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

Uint32 WindowFlags(const WindowStyle& style) {
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (style.toolWindow || style.dialog) {
        flags |= SDL_WINDOW_UTILITY | SDL_WINDOW_SKIP_TASKBAR;
    } else {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    if (style.alwaysOnTop) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    return flags;
}

// Each SDL window knows its SdlWindow under this name.
constexpr const char* kWindowKey = "orvanta3.window";

// A window with one renderer and one streaming texture of the client size.
// The renderer's logical size is the client size, so SDL letterboxes the
// picture and maps pointer positions back to client pixels.
class SdlWindow final : public Window {
public:
    SdlWindow(WindowManager& manager, WindowSink& sink, const WindowStyle& style, int scale)
        : Window(manager, sink, style),
          scale_(style.dialog ? 1 : scale),
          window_(SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, scale_,
                                   scale_, WindowFlags(style))) {
        if (!window_) {
            std::fprintf(stderr, "orvanta3: cannot open a window: %s\n", SDL_GetError());
            std::exit(EXIT_FAILURE);
        }
        SDL_SetWindowData(window_, kWindowKey, this);
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!renderer_) {
            std::fprintf(stderr, "orvanta3: cannot draw into a window: %s\n", SDL_GetError());
            std::exit(EXIT_FAILURE);
        }
        ApplyClientSize();
    }

    ~SdlWindow() override {
        if (texture_) SDL_DestroyTexture(texture_);
        SDL_DestroyRenderer(renderer_);
        SDL_DestroyWindow(window_);
    }

    SDL_Window* Handle() const { return window_; }

    // The pointer at (x, y), mapped to client pixels; nothing outside the
    // picture. A dialog, drawn 1:1 and holding the mouse while a button is
    // down, hears of its pointer outside too.
    std::optional<std::pair<int32_t, int32_t>> ClientPoint(int32_t x, int32_t y) const {
        const bool outside = x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight();
        if (outside && !Style().dialog) return std::nullopt;
        return std::pair{x, y};
    }

    // Whether window point (x, y), before SDL maps it to client pixels, lies
    // on the picture. The mapped point cannot tell: SDL truncates toward
    // zero, so the last pixels of the bar left of or above the picture map
    // to column or row 0.
    bool OnPicture(int32_t x, int32_t y) const {
        float clientX, clientY;
        SDL_RenderWindowToLogical(renderer_, x, y, &clientX, &clientY);
        return clientX >= 0 && clientY >= 0 && clientX < ClientWidth() && clientY < ClientHeight();
    }

    // The window's own events: exposure, size, moves and the close button.
    std::optional<WindowEvent> Translate(const SDL_WindowEvent& event) {
        switch (event.event) {
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                ChooseScaleMode();
                Redraw();
                return std::nullopt;
            case SDL_WINDOWEVENT_MOVED:
                // Our own moves come back from the system later; only a
                // position we did not set is news. Fullscreen is no place
                // to remember or to follow.
                if (event.data1 == Left() && event.data2 == Top()) return std::nullopt;
                if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP)
                    return std::nullopt;
                return WindowEvent{WindowEvent::Kind::Moved, MouseButton::Left, event.data1,
                                   event.data2};
            case SDL_WINDOWEVENT_CLOSE:
                return WindowEvent{WindowEvent::Kind::Close};
            default:
                return std::nullopt;
        }
    }

    void ToggleFullscreen() {
        const bool full = SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP;
        SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    }

    // Keys and text typed into a dialog.
    std::function<void(const SDL_Event&)> onKeyboard;

private:
    void ApplyCaption() override { SDL_SetWindowTitle(window_, Cp932ToUtf8(Caption()).c_str()); }

    void ApplyClientSize() override {
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                     SDL_TEXTUREACCESS_STREAMING, ClientWidth(), ClientHeight());
        if (!texture_) {
            std::fprintf(stderr, "orvanta3: cannot make a picture of %dx%d: %s\n", ClientWidth(),
                         ClientHeight(), SDL_GetError());
            std::exit(EXIT_FAILURE);
        }
        ClearTexture();
        SDL_RenderSetLogicalSize(renderer_, ClientWidth(), ClientHeight());
        if (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP)) {
            SDL_SetWindowSize(window_, ClientWidth() * scale_, ClientHeight() * scale_);
        }
        ChooseScaleMode();
    }

    void ApplyPosition() override { SDL_SetWindowPosition(window_, Left(), Top()); }

    void ApplyVisible() override {
        if (Visible()) {
            SDL_ShowWindow(window_);
            // Where the window was placed while hidden is where it shows.
            SDL_SetWindowPosition(window_, Left(), Top());
        } else {
            SDL_HideWindow(window_);
        }
    }

    void CopyPixels(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t x,
                    int32_t y) override {
        const SDL_Rect area{x, y, width, height};
        SDL_UpdateTexture(texture_, &area, pixels, pitch * int(sizeof(uint32_t)));
    }

    void PresentNow() override { Redraw(); }

    void ClearTexture() {
        void* pixels;
        int pitch;
        if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return;
        for (int32_t row = 0; row < ClientHeight(); ++row) {
            std::memset(static_cast<char*>(pixels) + size_t(row) * pitch, 0,
                        size_t(ClientWidth()) * sizeof(uint32_t));
        }
        SDL_UnlockTexture(texture_);
    }

    // Whole factors stay sharp; others are smoothed.
    void ChooseScaleMode() {
        int outputWidth, outputHeight;
        if (SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight) != 0) return;
        const double factor =
            std::min(double(outputWidth) / ClientWidth(), double(outputHeight) / ClientHeight());
        const bool whole = factor >= 1 && factor == std::floor(factor);
        SDL_SetTextureScaleMode(texture_, whole ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    }

    void Redraw() {
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

    int scale_;
    SDL_Window* window_;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
};

class SdlWindows final : public WindowManager {
public:
    explicit SdlWindows(int scale) : scale_(scale) {}

    std::unique_ptr<Window> Create(WindowSink& sink, const WindowStyle& style) override {
        return std::make_unique<SdlWindow>(*this, sink, style, scale_);
    }

private:
    int scale_;
};

// The window an event names, while it lives.
SdlWindow* SdlWindowFor(Uint32 sdlId) {
    SDL_Window* handle = SDL_GetWindowFromID(sdlId);
    return handle ? static_cast<SdlWindow*>(SDL_GetWindowData(handle, kWindowKey)) : nullptr;
}

// Runs before the renderers see an event: pointer events over the black bars
// never reach the game. Dialogs have no bars, and hear of their pointer
// outside while they hold the mouse.
int DropPointerOverBars(void*, SDL_Event* event) {
    Uint32 windowId;
    int32_t x, y;
    if (event->type == SDL_MOUSEMOTION) {
        windowId = event->motion.windowID, x = event->motion.x, y = event->motion.y;
    } else if (event->type == SDL_MOUSEBUTTONDOWN || event->type == SDL_MOUSEBUTTONUP) {
        windowId = event->button.windowID, x = event->button.x, y = event->button.y;
    } else {
        return 1;
    }
    const SdlWindow* window = SdlWindowFor(windowId);
    return !window || window->Style().dialog || window->OnPicture(x, y);
}

class SdlEvents final : public EventManager {
public:
    SdlEvents(SdlWindows& windows, Clock& clock)
        : EventManager(clock), windows_(windows), wakeEvent_(SDL_RegisterEvents(1)) {}

    void ProcessMessages() override {
        SDL_Event event;
        while (!Terminated() && SDL_PollEvent(&event)) Handle(event);
        if (!Terminated()) FireDueTimers();
    }

    void WaitUntil(uint32_t deadline) override { WaitFor(deadline); }
    void Wait() override { WaitFor(std::nullopt); }

    void Wake() override {
        SDL_Event event{};
        event.type = wakeEvent_;
        SDL_PushEvent(&event);
    }

private:
    void WaitFor(std::optional<uint32_t> deadline) {
        windows_.PresentDirty();
        const std::optional<uint32_t> until = EarliestOf(deadline);
        if (!until) {
            SDL_WaitEvent(nullptr);
            return;
        }
        const auto remaining = static_cast<int32_t>(*until - Time().TickCount());
        if (remaining > 0) SDL_WaitEventTimeout(nullptr, remaining);
    }

    void Handle(const SDL_Event& event) {
        switch (event.type) {
            case SDL_WINDOWEVENT:
                if (SdlWindow* window = SdlWindowFor(event.window.windowID)) {
                    if (auto translated = window->Translate(event.window)) {
                        Dispatch(*window, *translated);
                    }
                }
                break;
            case SDL_MOUSEMOTION:
                Pointer(event.motion.windowID, WindowEvent::Kind::MouseMove, MouseButton::Left,
                        event.motion.x, event.motion.y);
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (auto button = ButtonOf(event.button.button)) {
                    Pointer(event.button.windowID,
                            event.type == SDL_MOUSEBUTTONDOWN ? WindowEvent::Kind::MouseDown
                                                              : WindowEvent::Kind::MouseUp,
                            *button, event.button.x, event.button.y);
                }
                break;
            case SDL_KEYDOWN:
            case SDL_TEXTINPUT:
            case SDL_TEXTEDITING:
            case SDL_TEXTEDITING_EXT:
                Keyboard(event);
                if (event.type == SDL_TEXTEDITING_EXT) SDL_free(event.editExt.text);
                break;
            case SDL_QUIT:
                // Interrupted from outside (Ctrl+C, the session ending): as if
                // the main window were closed.
                if (Window* main = MainWindow()) Dispatch(*main, {WindowEvent::Kind::Close});
                break;
            default:
                break;
        }
    }

    static std::optional<MouseButton> ButtonOf(Uint8 button) {
        switch (button) {
            case SDL_BUTTON_LEFT:
                return MouseButton::Left;
            case SDL_BUTTON_RIGHT:
                return MouseButton::Right;
            case SDL_BUTTON_MIDDLE:
                return MouseButton::Middle;
            default:
                return std::nullopt;
        }
    }

    void Pointer(Uint32 windowId, WindowEvent::Kind kind, MouseButton button, int32_t x,
                 int32_t y) {
        SdlWindow* window = SdlWindowFor(windowId);
        if (!window) return;
        if (auto point = window->ClientPoint(x, y)) {
            Dispatch(*window, {kind, button, point->first, point->second});
        }
    }

    static Uint32 KeyboardWindow(const SDL_Event& event) {
        switch (event.type) {
            case SDL_KEYDOWN:
                return event.key.windowID;
            case SDL_TEXTINPUT:
                return event.text.windowID;
            case SDL_TEXTEDITING:
                return event.edit.windowID;
            default:
                return event.editExt.windowID;
        }
    }

    // Dialogs take keys and text; the game's own windows only the keys that
    // manage the window: F11 or Alt+Enter for fullscreen.
    void Keyboard(const SDL_Event& event) {
        const Uint32 windowId = KeyboardWindow(event);
        SdlWindow* window = SdlWindowFor(windowId);
        if (!window) return;
        if (window->Style().dialog) {
            if (window->onKeyboard) window->onKeyboard(event);
            return;
        }
        if (event.type != SDL_KEYDOWN || event.key.repeat || window->Style().toolWindow) return;
        const SDL_Keycode key = event.key.keysym.sym;
        const bool altEnter =
            (key == SDLK_RETURN || key == SDLK_KP_ENTER) && (event.key.keysym.mod & KMOD_ALT);
        if (key == SDLK_F11 || altEnter) window->ToggleFullscreen();
    }

public:
    // The oldest window that is neither a tool window nor a dialog.
    Window* MainWindow() const {
        for (Window* window : windows_.Live()) {
            if (!window->Style().toolWindow && !window->Style().dialog) return window;
        }
        return nullptr;
    }

private:
    SdlWindows& windows_;
    Uint32 wakeEvent_;
};

// A dialog window's pointer goes to its view; its close button answers as
// Escape would. An answered box takes nothing more: input queued behind the
// answering key or click goes nowhere.
class DialogSink final : public WindowSink {
public:
    explicit DialogSink(DialogView& view) : view_(view) {}
    void MouseDown(MouseButton button, int32_t x, int32_t y) override {
        if (button != MouseButton::Left || view_.Done()) return;
        // A button let go outside the window is let go all the same.
        SDL_CaptureMouse(SDL_TRUE);
        view_.PointerDown(x, y);
    }
    void MouseMove(int32_t x, int32_t y) override {
        if (!view_.Done()) view_.PointerMove(x, y);
    }
    void MouseUp(MouseButton button, int32_t x, int32_t y) override {
        if (button != MouseButton::Left || view_.Done()) return;
        SDL_CaptureMouse(SDL_FALSE);
        view_.PointerUp(x, y);
    }
    void CloseRequested() override {
        if (!view_.Done()) view_.Key(DialogKey::Escape);
    }

private:
    DialogView& view_;
};

std::optional<DialogKey> DialogKeyOf(const SDL_Keysym& key) {
    const bool shift = key.mod & KMOD_SHIFT;
    const bool control = key.mod & KMOD_CTRL;
    switch (key.sym) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return DialogKey::Enter;
        case SDLK_ESCAPE:
            return DialogKey::Escape;
        case SDLK_TAB:
            return shift ? DialogKey::BackTab : DialogKey::Tab;
        case SDLK_LEFT:
            return DialogKey::Left;
        case SDLK_RIGHT:
            return DialogKey::Right;
        case SDLK_UP:
            return DialogKey::Up;
        case SDLK_DOWN:
            return DialogKey::Down;
        case SDLK_HOME:
            return DialogKey::Home;
        case SDLK_END:
            return DialogKey::End;
        case SDLK_BACKSPACE:
            return DialogKey::Backspace;
        case SDLK_DELETE:
            return DialogKey::Delete;
        case SDLK_v:
            return control ? std::optional(DialogKey::Paste) : std::nullopt;
        case SDLK_INSERT:
            return shift ? std::optional(DialogKey::Paste) : std::nullopt;
        default:
            return std::nullopt;
    }
}

void HandOver(DialogView& view, const SDL_Event& event) {
    if (view.Done()) return;
    switch (event.type) {
        case SDL_KEYDOWN:
            if (auto key = DialogKeyOf(event.key.keysym)) view.Key(*key);
            break;
        case SDL_TEXTINPUT:
            view.Text(event.text.text);
            break;
        case SDL_TEXTEDITING:
            view.Composition(event.edit.text, event.edit.start);
            break;
        case SDL_TEXTEDITING_EXT:
            view.Composition(event.editExt.text ? event.editExt.text : "", event.editExt.start);
            break;
        default:
            break;
    }
}

std::string ClipboardText() {
    char* text = SDL_GetClipboardText();
    std::string result = text ? text : "";
    SDL_free(text);
    return result;
}

// SDL's own message box: only where no font can be found to draw ours.
MessageAnswer SystemMessageBox(SDL_Window* parent, const std::string& title, MessageKind kind,
                               MessageButtons buttons, std::string_view text) {
    struct Choice {
        MessageAnswer answer;
        const char* label;
    };
    std::vector<Choice> choices;
    switch (buttons) {
        case MessageButtons::Ok:
            choices = {{MessageAnswer::Ok, "OK"}};
            break;
        case MessageButtons::YesNo:
            choices = {{MessageAnswer::Yes, "Yes"}, {MessageAnswer::No, "No"}};
            break;
        case MessageButtons::AbortIgnore:
            choices = {{MessageAnswer::Abort, "Abort"}, {MessageAnswer::Ignore, "Ignore"}};
            break;
    }
    std::vector<SDL_MessageBoxButtonData> data;
    for (size_t i = 0; i < choices.size(); ++i) {
        Uint32 flags = i == 0 ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
        if (i + 1 == choices.size()) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data.push_back({flags, int(i), choices[i].label});
    }
    const Uint32 icon = kind == MessageKind::Error     ? SDL_MESSAGEBOX_ERROR
                        : kind == MessageKind::Warning ? SDL_MESSAGEBOX_WARNING
                                                       : SDL_MESSAGEBOX_INFORMATION;
    const std::string message = Cp932ToUtf8(text);
    const SDL_MessageBoxData box{
        icon, parent, title.c_str(), message.c_str(), int(data.size()), data.data(), nullptr};
    int chosen = -1;
    if (SDL_ShowMessageBox(&box, &chosen) != 0 || chosen < 0) return DefaultAnswer(buttons);
    return choices[size_t(chosen)].answer;
}

class SdlDialogs final : public DialogManager {
public:
    SdlDialogs(SdlEvents& events, SdlWindows& windows) : events_(events), windows_(windows) {}

    MessageAnswer Show(MessageKind kind, MessageButtons buttons, std::string_view text) override {
        if (!HaveFont()) {
            return SystemMessageBox(MainHandle(), Cp932ToUtf8(Title()), kind, buttons, text);
        }
        MessageBoxView view(kind, buttons, text);
        Run(view, Title());
        return view.Answer();
    }

    std::optional<std::string> AskText(std::string_view caption, std::string_view prompt,
                                       std::string_view defaultText) override {
        // Without a font there is no box to type into: as if cancelled.
        if (!HaveFont()) return std::nullopt;
        InputBoxView view(prompt, defaultText, ClipboardText);
        Run(view, caption);
        return view.Result();
    }

private:
    static bool HaveFont() { return !FontFamilyFor(kDefaultFaceName).empty(); }

    // Boxes carry the game's title, as the main window does.
    std::string Title() const {
        Window* main = events_.MainWindow();
        return main ? main->Caption() : std::string();
    }

    SDL_Window* MainHandle() const {
        auto* main = static_cast<SdlWindow*>(events_.MainWindow());
        return main ? main->Handle() : nullptr;
    }

    // Shows the view in a modal window over the main window until it is
    // answered; the game's windows go on redrawing meanwhile.
    void Run(DialogView& view, std::string_view caption) {
        DialogSink sink(view);
        std::unique_ptr<Window> window =
            windows_.Create(sink, {.alwaysOnTop = true, .dialog = true});
        auto& dialog = static_cast<SdlWindow&>(*window);
        dialog.onKeyboard = [&view](const SDL_Event& event) { HandOver(view, event); };
        window->SetCaption(caption);
        window->SetClientSize(view.Width(), view.Height());
        PlaceOverMain(*window);
        if (SDL_Window* main = MainHandle()) SDL_SetWindowModalFor(dialog.Handle(), main);
        window->SetVisible(true);
        SDL_RaiseWindow(dialog.Handle());
        while (!view.Done() && !events_.Terminated()) {
            if (view.Changed()) {
                window->Upload(view.Pixels().data(), view.Width(), view.Height(), view.Width(), 0,
                               0);
            }
            FollowTextInput(view);
            events_.Wait();
            events_.ProcessMessages();
        }
        SDL_StopTextInput();
    }

    // Centred over the main window, but wholly on its display, so that no
    // button is out of reach.
    void PlaceOverMain(Window& window) const {
        int left = 0, top = 0, width = 0, height = 0;
        SDL_Rect usable{0, 0, window.ClientWidth(), window.ClientHeight()};
        if (SDL_Window* main = MainHandle()) {
            SDL_GetWindowPosition(main, &left, &top);
            SDL_GetWindowSize(main, &width, &height);
            SDL_GetDisplayUsableBounds(std::max(SDL_GetWindowDisplayIndex(main), 0), &usable);
        }
        const auto within = [](int position, int size, int from, int extent) {
            return std::max(from, std::min(position, from + extent - size));
        };
        window.Move(within(left + (width - window.ClientWidth()) / 2, window.ClientWidth(),
                           usable.x, usable.w),
                    within(top + (height - window.ClientHeight()) / 2, window.ClientHeight(),
                           usable.y, usable.h));
    }

    // Typing goes to the box only while its text field has the focus; an
    // input method shows its candidates at the caret.
    static void FollowTextInput(const DialogView& view) {
        if (!view.WantsText()) {
            if (SDL_IsTextInputActive()) SDL_StopTextInput();
            return;
        }
        const DialogView::Rect caret = view.CaretRect();
        SDL_Rect area{caret.x, caret.y, caret.width, caret.height};
        SDL_SetTextInputRect(&area);
        if (!SDL_IsTextInputActive()) SDL_StartTextInput();
    }

    SdlEvents& events_;
    SdlWindows& windows_;
};

class SdlBackend final : public Backend {
public:
    explicit SdlBackend(const SdlSettings& settings)
        : windows_(settings.scale),
          events_(windows_, clock_),
          dialogs_(events_, windows_),
          media_(std::make_unique<SdlMedia>(events_, clock_)) {
        events_.WatchMedia(media_.get());
    }
    ~SdlBackend() override {
        media_.reset();  // the sound device closes before SDL does
        SDL_Quit();
    }

    EventManager& Events() override { return events_; }
    WindowManager& Windows() override { return windows_; }
    DialogManager& Dialogs() override { return dialogs_; }
    MediaManager& Media() override { return *media_; }
    Clock& Time() override { return clock_; }

private:
    RealClock clock_;
    SdlWindows windows_;
    SdlEvents events_;
    SdlDialogs dialogs_;
    std::unique_ptr<SdlMedia> media_;
};

}  // namespace

std::unique_ptr<Backend> OpenSdlBackend(const SdlSettings& settings, std::string& problem) {
    if (!HasDisplay()) {
        problem =
            "there is no display to open the game window on (DISPLAY and "
            "WAYLAND_DISPLAY are not set)";
        return nullptr;
    }
    // A click on a window that is not active still reaches the game.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // The pictures are small and presented only when they change: drawing
    // them without OpenGL saves the 70 MB a GL driver takes, and stays sharp
    // where it matters. SDL_RENDER_DRIVER in the environment still wins.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    // Whole compositions, not their first 32 bytes, for the input box.
    SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        problem = std::string("cannot open the display: ") + SDL_GetError();
        return nullptr;
    }
    SDL_SetEventFilter(DropPointerOverBars, nullptr);
    return std::make_unique<SdlBackend>(settings);
}

}  // namespace platform
