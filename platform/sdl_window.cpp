#include <SDL.h>

#include <atomic>
#include <deque>
#include <memory>

#include "platform/cstring.h"
#include "platform/window.h"

namespace zq {

namespace {

struct SdlWindowDeleter {
    void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
struct SdlSurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SdlWindowPtr = std::unique_ptr<SDL_Window, SdlWindowDeleter>;
using SdlSurfacePtr = std::unique_ptr<SDL_Surface, SdlSurfaceDeleter>;

// SDL's video subsystem, held for the life of one window.
class SdlVideo {
public:
    SdlVideo() = default;
    ~SdlVideo() {
        if (initialised_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SdlVideo(const SdlVideo&) = delete;
    SdlVideo& operator=(const SdlVideo&) = delete;

    bool init() {
        // With SDL's default the framebuffer goes through a software OpenGL
        // stack that costs about 100 MB more.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        initialised_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        return initialised_;
    }

private:
    bool initialised_ = false;
};

std::atomic<bool> sdlWindowOpen{false};

// The phone's keypad on the desktop's numeric keypad: its digits, '*', and
// '/' for '#' (a desktop keypad has none; '/' stands beside '*'). By the
// physical key, so that NumLock does not matter. 0 for other keys.
int keypadKeyCode(const SDL_Keysym& key) {
    const SDL_Scancode scan = key.scancode;
    if (scan >= SDL_SCANCODE_KP_1 && scan <= SDL_SCANCODE_KP_9) {
        return '1' + static_cast<int>(scan - SDL_SCANCODE_KP_1);
    }
    if (key.sym >= SDLK_KP_1 && key.sym <= SDLK_KP_9) {
        return '1' + static_cast<int>(key.sym - SDLK_KP_1);
    }
    if (scan == SDL_SCANCODE_KP_0 || key.sym == SDLK_KP_0) return '0';
    if (scan == SDL_SCANCODE_KP_MULTIPLY || key.sym == SDLK_KP_MULTIPLY) return kKeyStar;
    if (scan == SDL_SCANCODE_KP_DIVIDE || key.sym == SDLK_KP_DIVIDE || key.sym == SDLK_KP_HASH) {
        return kKeyHash;
    }
    return 0;
}

// The character a keypad key of keypadKeyCode types with NumLock on.
char16_t keypadText(const SDL_Keysym& key) {
    const int code = keypadKeyCode(key);
    if (code != kKeyHash) return static_cast<char16_t>(code);
    return key.sym == SDLK_KP_HASH ? u'#' : u'/';
}

// The handset code of an SDL key, or 0 for keys the client does not use.
// The keys of the main keyboard that type (digits, '*', '#', letters) are
// not keys here: their characters arrive as text and enter as typed.
int handsetKeyCode(const SDL_Keysym& key) {
    if (const int keypad = keypadKeyCode(key)) return keypad;
    switch (key.sym) {
        case SDLK_LEFT:
            return kKeyLeft;
        case SDLK_UP:
            return kKeyUp;
        case SDLK_RIGHT:
            return kKeyRight;
        case SDLK_DOWN:
            return kKeyDown;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return kKeyEnter;
        case SDLK_F1:
            return kKeySoftLeft;
        case SDLK_F2:
            return kKeySoftRight;
        case SDLK_BACKSPACE:
            return kKeyBackspace;
        case SDLK_DELETE:
        case SDLK_ESCAPE:
            return kKeyClear;
        default:
            return 0;
    }
}

class SdlWindow : public WindowBackend {
public:
    SdlWindow(std::unique_ptr<SdlVideo> video, SdlWindowPtr window, Uint32 wakeType, Size screen)
        : video_(std::move(video)),
          window_(std::move(window)),
          wakeType_(wakeType),
          size_(screen),
          lastFrame_(screen.width, screen.height) {
        SDL_StartTextInput();
    }
    ~SdlWindow() override {
        SDL_StopTextInput();
        window_.reset();
        sdlWindowOpen.store(false);
    }

    Size size() const override { return size_; }
    void present(const Surface& frame) override;
    std::optional<InputEvent> waitEvent(int timeoutMs) override;
    void wake() override {
        if (wakePending_.exchange(true)) return;
        SDL_Event event{};
        event.type = wakeType_;
        SDL_PushEvent(&event);
    }

private:
    // Window coordinates to screen pixels: through the window surface's
    // pixels (they differ on a scaled display), then the zoom.
    Point toScreen(int x, int y) const {
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(window_.get(), &w, &h);
        SDL_Surface* surface = SDL_GetWindowSurface(window_.get());
        if (w <= 0 || h <= 0 || !surface) return {x, y};
        const int px = static_cast<int>(int64_t{x} * surface->w / w);
        const int py = static_cast<int>(int64_t{y} * surface->h / h);
        return fitWindowZoom(size_, {surface->w, surface->h}).toScreen(px, py, size_);
    }
    void showLastFrame();
    void translate(const SDL_Event& event);
    void translateWindowEvent(const SDL_WindowEvent& event);

    std::unique_ptr<SdlVideo> video_;  // outlives the window
    SdlWindowPtr window_;
    Uint32 wakeType_;
    std::atomic<bool> wakePending_{false};
    Size size_;  // the phone's screen; the window shows it zoomed
    Surface lastFrame_;
    std::deque<InputEvent> pending_;
    int heldKey_ = 0;
    char16_t keypadText_ = 0;  // the text the last keypad key types
    int heldRepeats_ = 0;
    bool pointerDown_ = false;
};

void SdlWindow::present(const Surface& frame) {
    if (frame.width() <= 0 || frame.height() <= 0) return;
    // Kept so that a resized or uncovered window shows it again.
    lastFrame_ = frame;
    showLastFrame();
}

void SdlWindow::showLastFrame() {
    SDL_Surface* target = SDL_GetWindowSurface(window_.get());
    const Surface& frame = lastFrame_;
    if (!target || frame.width() <= 0 || frame.height() <= 0) return;
    // SDL only reads the source of a blit; its C interface takes no const.
    SdlSurfacePtr source(SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(frame.data()), frame.width(), frame.height(), 32, frame.width() * 4,
        SDL_PIXELFORMAT_RGB888));
    if (!source) return;
    const WindowZoom fit = fitWindowZoom({frame.width(), frame.height()}, {target->w, target->h});
    SDL_Rect place{fit.offsetX, fit.offsetY, frame.width() * fit.zoom, frame.height() * fit.zoom};
    if (place.w != target->w || place.h != target->h) {
        SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    }
    if (fit.zoom == 1) {
        SDL_BlitSurface(source.get(), nullptr, target, &place);
    } else {
        // Whole-number zoom with nearest pixels keeps the screen sharp.
        SDL_BlitScaled(source.get(), nullptr, target, &place);
    }
    SDL_UpdateWindowSurface(window_.get());
}

std::optional<InputEvent> SdlWindow::waitEvent(int timeoutMs) {
    const Uint64 start = SDL_GetTicks64();
    while (pending_.empty()) {
        int wait = timeoutMs;
        if (timeoutMs > 0) {
            const Uint64 spent = SDL_GetTicks64() - start;
            wait =
                spent >= static_cast<Uint64>(timeoutMs) ? 0 : timeoutMs - static_cast<int>(spent);
        }
        SDL_Event event;
        int got = 0;
        if (wait < 0) {
            got = SDL_WaitEvent(&event);
        } else if (wait == 0) {
            got = SDL_PollEvent(&event);
        } else {
            got = SDL_WaitEventTimeout(&event, wait);
        }
        if (!got) return std::nullopt;
        if (event.type == wakeType_) {
            wakePending_.store(false);
            return std::nullopt;
        }
        translate(event);
    }
    InputEvent next = pending_.front();
    pending_.pop_front();
    return next;
}

void SdlWindow::translate(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            pending_.push_back(Quit{});
            break;
        case SDL_WINDOWEVENT:
            translateWindowEvent(event.window);
            break;
        case SDL_KEYDOWN: {
            const int code = handsetKeyCode(event.key.keysym);
            // A keypad key also types its character (with NumLock on): the
            // key is what counts, its text is dropped.
            keypadText_ = keypadText(event.key.keysym);
            if (code == 0) break;
            if (event.key.repeat && code == heldKey_) {
                ++heldRepeats_;
            } else {
                heldKey_ = code;
                heldRepeats_ = 1;
            }
            pending_.push_back(KeyDown{code, heldRepeats_});
            break;
        }
        case SDL_KEYUP: {
            const int code = handsetKeyCode(event.key.keysym);
            if (code == 0) break;
            if (code == heldKey_) heldKey_ = 0;
            pending_.push_back(KeyUp{code});
            break;
        }
        case SDL_TEXTINPUT: {
            // Whole: a character outside the BMP, or a word an input method
            // committed, is one piece of text.
            std::u16string text = utf8ToUtf16(event.text.text);
            if (keypadText_ && text.size() == 1 && text[0] == keypadText_) text.clear();
            keypadText_ = 0;
            if (!text.empty()) pending_.push_back(CharInput{std::move(text)});
            break;
        }
        case SDL_MOUSEBUTTONDOWN: {
            if (event.button.button != SDL_BUTTON_LEFT) break;
            pointerDown_ = true;
            Point at = toScreen(event.button.x, event.button.y);
            pending_.push_back(PointerDown{at.x, at.y});
            break;
        }
        case SDL_MOUSEMOTION: {
            if (!pointerDown_) break;
            Point at = toScreen(event.motion.x, event.motion.y);
            pending_.push_back(PointerMove{at.x, at.y});
            break;
        }
        case SDL_MOUSEBUTTONUP: {
            if (event.button.button != SDL_BUTTON_LEFT || !pointerDown_) break;
            pointerDown_ = false;
            Point at = toScreen(event.button.x, event.button.y);
            pending_.push_back(PointerUp{at.x, at.y});
            break;
        }
        default:
            break;
    }
}

void SdlWindow::translateWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
        case SDL_WINDOWEVENT_EXPOSED:
            // The window surface still holds the last frame.
            SDL_UpdateWindowSurface(window_.get());
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // The phone's screen keeps its size; only the zoom follows the window.
            showLastFrame();
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // A key released while another window has the focus sends no key-up.
            heldKey_ = 0;
            pointerDown_ = false;
            pending_.push_back(FocusLost{});
            break;
        default:
            break;
    }
}

}  // namespace

std::unique_ptr<WindowBackend> createSdlWindow(Size size, const std::string& title,
                                               std::string* error) {
    if (sdlWindowOpen.exchange(true)) {
        if (error) *error = "an SDL window is already open";
        return nullptr;
    }
    auto fail = [error](const char* what) -> std::unique_ptr<WindowBackend> {
        if (error) *error = std::string(what) + SDL_GetError();
        sdlWindowOpen.store(false);
        return nullptr;
    };
    auto video = std::make_unique<SdlVideo>();
    if (!video->init()) return fail("SDL video: ");
    static const Uint32 wakeType = SDL_RegisterEvents(1);
    if (wakeType == static_cast<Uint32>(-1)) return fail("SDL events: ");
    SDL_Rect desktop{0, 0, size.width, size.height};
    if (SDL_GetDisplayUsableBounds(0, &desktop) != 0)
        desktop = SDL_Rect{0, 0, size.width, size.height};
    const int zoom = initialWindowZoom(size, {desktop.w, desktop.h});
    SdlWindowPtr window(SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED,
                                         SDL_WINDOWPOS_CENTERED, size.width * zoom,
                                         size.height * zoom, SDL_WINDOW_RESIZABLE));
    if (!window) return fail("SDL window: ");
    SDL_SetWindowMinimumSize(window.get(), size.width, size.height);
    if (!SDL_GetWindowSurface(window.get())) return fail("SDL window surface: ");
    return std::make_unique<SdlWindow>(std::move(video), std::move(window), wakeType, size);
}

}  // namespace zq
