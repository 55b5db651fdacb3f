// The player's real windows under a private X server: Xvfb started on a free
// display and stopped at the end, the player run as a child process, the
// user's actions made with xdotool (XTest input, window moves and resizes),
// and what the windows show read back with Xlib. There is no window manager:
// windows stand exactly where they are put.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

extern char** environ;

namespace testkit {

using Clock = std::chrono::steady_clock;

// Polls `done` until it holds or `seconds` pass; true when it held. Waits are
// for conditions, never for fixed times: the bounds only matter on failure.
inline bool WaitUntil(const std::function<bool()>& done, double seconds = 10) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The process environment with `changes` applied: "NAME=VALUE" sets, "NAME"
// removes.
inline std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    std::vector<std::string> result;
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** entry = environ; *entry; ++entry) {
        bool replaced = false;
        for (const std::string& change : changes) replaced |= nameOf(*entry) == nameOf(change);
        if (!replaced) result.emplace_back(*entry);
    }
    for (const std::string& change : changes) {
        if (change.find('=') != std::string::npos) result.push_back(change);
    }
    return result;
}

// A child process; killed and reaped if still running when dropped.
class Child {
public:
    // Standard output and error go to `output` ("" keeps ours).
    Child(const std::vector<std::string>& args, const std::vector<std::string>& env,
          const std::string& output = "", int displayFd = -1) {
        std::vector<char*> argv, envp;
        std::vector<std::string> a = args, e = env;
        for (std::string& arg : a) argv.push_back(arg.data());
        for (std::string& entry : e) envp.push_back(entry.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!output.empty()) {
            posix_spawn_file_actions_addopen(&actions, 1, output.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
        }
        if (displayFd >= 0) posix_spawn_file_actions_adddup2(&actions, displayFd, 3);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    Child(const Child&) = delete;
    ~Child() {
        if (Running()) {
            kill(pid_, SIGKILL);
            Reap(true);
        }
    }

    pid_t Pid() const { return pid_; }
    bool Running() {
        Reap(false);
        return pid_ > 0 && !status_;
    }
    void Signal(int signal) {
        if (Running()) kill(pid_, signal);
    }
    // The exit status (128 + N for signal N), or nullopt if still running after `seconds`.
    std::optional<int> Exit(double seconds = 10) {
        WaitUntil([this] { return !Running(); }, seconds);
        return status_;
    }

private:
    void Reap(bool block) {
        if (pid_ <= 0 || status_) return;
        int status;
        if (waitpid(pid_, &status, block ? 0 : WNOHANG) != pid_) return;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Runs a command to its end; its exit status.
inline int RunCommand(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    return Child(args, env).Exit(30).value_or(-1);
}

// What a window shows, 0x00RRGGBB words, rows top-down.
struct Screenshot {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * width + x]; }
};

struct XWindowInfo {
    ::Window id = 0;
    int32_t left = 0, top = 0, width = 0, height = 0;
    bool viewable = false;
    std::string name;  // UTF-8
};

class XSession {
public:
    // Starts Xvfb on the first free display; Ready() says whether it came up.
    XSession() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        server_.emplace(std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0",
                                                 "1280x1024x24", "-nolisten", "tcp", "-noreset"},
                        Environment({}), "/dev/null", fds[1]);
        close(fds[1]);
        // Xvfb writes the display number once it accepts clients.
        std::string number;
        pollfd reader{fds[0], POLLIN, 0};
        char c;
        while (poll(&reader, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return;
        name_ = ":" + number;
        display_ = XOpenDisplay(name_.c_str());
        // A window that goes away between a query and a read is no reason to stop.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~XSession() {
        if (display_) XCloseDisplay(display_);
        // Asked to stop, Xvfb removes its lock file and socket.
        if (server_) {
            server_->Signal(SIGTERM);
            server_->Exit(5);
        }
    }
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool Ready() const { return display_ != nullptr; }
    // What a child process sees: this display, and no Wayland to prefer.
    // Sanitizer builds of the player leave out what the system's libraries
    // keep to the end.
    std::vector<std::string> ChildEnvironment() const {
        return Environment({"DISPLAY=" + name_, "WAYLAND_DISPLAY", "SDL_VIDEODRIVER=x11",
                            std::string("LSAN_OPTIONS=suppressions=") + LSAN_SUPPRESSIONS});
    }

    // xdotool with these arguments, numbers written out; true when it succeeded.
    template <typename... Args>
    bool Xdo(const Args&... args) const {
        std::vector<std::string> command{"xdotool"};
        auto text = [](const auto& arg) {
            if constexpr (std::is_arithmetic_v<std::decay_t<decltype(arg)>>) {
                return std::to_string(arg);
            } else {
                return std::string(arg);
            }
        };
        (command.push_back(text(args)), ...);
        return RunCommand(command, ChildEnvironment()) == 0;
    }
    // The user moves the pointer to screen point (x, y) and clicks the left button.
    bool ClickAt(int32_t x, int32_t y) const { return Xdo("mousemove", x, y, "click", 1); }

    // The top-level windows of process `pid`, oldest first.
    std::vector<XWindowInfo> WindowsOf(pid_t pid) const {
        std::vector<XWindowInfo> found;
        ::Window root = DefaultRootWindow(display_), parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, root, &root, &parent, &children, &count)) return found;
        for (unsigned i = 0; i < count; ++i) {
            const std::string owner = Property(children[i], "_NET_WM_PID", XA_CARDINAL, 32);
            if (owner.size() != sizeof(long) || *reinterpret_cast<const long*>(owner.data()) != pid)
                continue;
            if (auto info = Info(children[i])) found.push_back(*info);
        }
        if (children) XFree(children);
        std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.id < b.id; });
        return found;
    }

    std::optional<XWindowInfo> Info(::Window window) const {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, window, &attributes)) return std::nullopt;
        return XWindowInfo{
            window,
            attributes.x,
            attributes.y,
            attributes.width,
            attributes.height,
            attributes.map_state == IsViewable,
            Property(window, "_NET_WM_NAME", XInternAtom(display_, "UTF8_STRING", False), 8)};
    }

    // What the window shows on the screen now; empty when it cannot be read.
    Screenshot Shot(::Window window) const {
        Screenshot shot;
        std::optional<XWindowInfo> info = Info(window);
        XImage* image = info && info->viewable ? XGetImage(display_, window, 0, 0, info->width,
                                                           info->height, AllPlanes, ZPixmap)
                                               : nullptr;
        if (!image) return shot;
        // Xvfb's 24-bit visual: red, green, blue from the top byte down.
        shot = {info->width, info->height, {}};
        for (int32_t y = 0; y < shot.height; ++y) {
            for (int32_t x = 0; x < shot.width; ++x) {
                shot.pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
            }
        }
        XDestroyImage(image);
        return shot;
    }

    // The close button: the message a window manager sends.
    void Close(::Window window) const {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, window, False, NoEventMask, &event);
        XSync(display_, False);
    }

private:
    // The property's items as bytes, or "" when it has none of that type and format.
    std::string Property(::Window window, const char* name, Atom type, int format) const {
        Atom actual;
        int actualFormat;
        unsigned long items, after;
        unsigned char* data = nullptr;
        std::string value;
        if (XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 1024, False,
                               type, &actual, &actualFormat, &items, &after, &data) == Success &&
            data && actualFormat == format) {
            // Xlib hands 32-bit items over as longs.
            value.assign(reinterpret_cast<char*>(data), items * (format == 32 ? sizeof(long) : 1));
        }
        if (data) XFree(data);
        return value;
    }

    std::optional<Child> server_;
    std::string name_;
    Display* display_ = nullptr;
};

}  // namespace testkit
