#include "platform/message_box.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/device_context.h"
#include "platform/font.h"
#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"

namespace zq {

namespace {

constexpr int kFontHeight = 14;
constexpr int kScreenMargin = 12;
constexpr int kMaxPanelWidth = 216;
constexpr int kPadding = 8;
constexpr int kButtonGap = 8;
constexpr int kMinButtonWidth = 52;
constexpr int kCaptionIndent = 6;

constexpr Color kPanelColor = rgb(0xFF, 0xFF, 0xFF);
constexpr Color kBorderColor = rgb(0x40, 0x40, 0x40);
constexpr Color kShadowColor = rgb(0x70, 0x70, 0x70);
constexpr Color kCaptionColor = rgb(0x1E, 0x5A, 0xA8);
constexpr Color kCaptionTextColor = rgb(0xFF, 0xFF, 0xFF);
constexpr Color kTextColor = rgb(0x00, 0x00, 0x00);
constexpr Color kButtonColor = rgb(0xE4, 0xE4, 0xE4);
constexpr Color kPressedColor = rgb(0xA0, 0xA0, 0xA0);

CString buttonLabel(int result) {
    switch (result) {
        case kIdOk:
            return CString(u"确定");
        case kIdCancel:
            return CString(u"取消");
        case kIdYes:
            return CString(u"是");
        default:
            return CString(u"否");
    }
}

int escapeAnswer(MessageBoxType type) {
    switch (type) {
        case MessageBoxType::Ok:
            return kIdOk;
        case MessageBoxType::YesNo:
            return kIdNo;
        default:
            return kIdCancel;
    }
}

struct MessageLog {
    std::mutex mutex;
    std::deque<MessageBoxRecord> records;
    std::FILE* echo = nullptr;
};

MessageLog& messageLog() {
    static MessageLog log;
    return log;
}

std::string oneLine(const CString& text) {
    std::string s = text.toUtf8();
    std::replace(s.begin(), s.end(), '\n', ' ');
    std::replace(s.begin(), s.end(), '\r', ' ');
    return s;
}

void record(const CString& text, const CString& caption, MessageBoxType type, int answer) {
    MessageLog& log = messageLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    log.records.push_back({caption, text, type, answer});
    if (log.records.size() > kMaxMessageBoxLog) log.records.pop_front();
    if (log.echo) {
        std::fprintf(log.echo, "message box [%s] %s -> %s\n", oneLine(caption).c_str(),
                     oneLine(text).c_str(), messageBoxAnswerName(answer).c_str());
        std::fflush(log.echo);
    }
}

int fitAnswer(MessageBoxType type, int answer) {
    std::vector<int> buttons = messageBoxButtons(type);
    if (std::find(buttons.begin(), buttons.end(), answer) != buttons.end()) return answer;
    int fallback = defaultMessageBoxAnswer(type);
    std::fprintf(stderr, "message box: the box has no '%s' button; answering '%s'\n",
                 messageBoxAnswerName(answer).c_str(), messageBoxAnswerName(fallback).c_str());
    return fallback;
}

// The box on screen: an overlay that holds the input until it is answered.
class ModalBox : public UiOverlay {
public:
    ModalBox(UiLoop& loop, const CString& text, const CString& caption, MessageBoxType type)
        : loop_(loop),
          text_(text),
          caption_(caption),
          type_(type),
          buttons_(messageBoxButtons(type)) {}

    int run() {
        loop_.pushOverlay(this);
        while (!answer_ && !loop_.quitRequested()) loop_.runOnce(-1);
        loop_.popOverlay(this);
        return answer_.value_or(defaultMessageBoxAnswer(type_));
    }

    void onInput(const InputEvent& event) override {
        if (const auto* key = std::get_if<KeyDown>(&event)) {
            onKey(*key);
        } else if (const auto* down = std::get_if<PointerDown>(&event)) {
            pressed_ = buttonAt(down->x, down->y);
            loop_.presentNow();
        } else if (const auto* up = std::get_if<PointerUp>(&event)) {
            int hit = buttonAt(up->x, up->y);
            if (hit >= 0 && hit == pressed_) answer_ = buttons_[static_cast<size_t>(hit)];
            pressed_ = -1;
            loop_.presentNow();
        } else if (const auto* scripted = std::get_if<ScriptAnswer>(&event)) {
            answer_ = fitAnswer(type_, scripted->result);
        } else if (std::holds_alternative<Quit>(event)) {
            answer_ = closingMessageBoxAnswer(type_);
        }
    }

    void paintOver(Surface& screen) override;

private:
    void onKey(const KeyDown& key) {
        const int count = static_cast<int>(buttons_.size());
        switch (key.code) {
            case kKeyLeft:
                focus_ = (focus_ + count - 1) % count;
                loop_.presentNow();
                break;
            case kKeyRight:
                focus_ = (focus_ + 1) % count;
                loop_.presentNow();
                break;
            case kKeyEnter:
                // A held Enter that opened the box must not also answer it.
                if (key.repeatCount <= 1) answer_ = buttons_[static_cast<size_t>(focus_)];
                break;
            case kKeyClear:
                if (key.repeatCount <= 1) answer_ = escapeAnswer(type_);
                break;
            default:
                break;
        }
    }

    int buttonAt(int x, int y) const {
        Surface& screen = loop_.backBuffer();
        MessageBoxLayout layout = layoutMessageBox({screen.width(), screen.height()}, text_, type_);
        for (size_t i = 0; i < layout.buttons.size(); ++i) {
            if (layout.buttons[i].contains(x, y)) return static_cast<int>(i);
        }
        return -1;
    }

    UiLoop& loop_;
    CString text_;
    CString caption_;
    MessageBoxType type_;
    std::vector<int> buttons_;
    int focus_ = 0;
    int pressed_ = -1;
    std::optional<int> answer_;
};

void ModalBox::paintOver(Surface& screen) {
    MessageBoxLayout layout = layoutMessageBox({screen.width(), screen.height()}, text_, type_);
    DeviceContext dc(screen);
    dc.selectFont(getFont(kFontHeight));
    dc.setBackgroundMode(BackgroundMode::Transparent);

    dc.fillRect(layout.panel.translated(2, 2), kShadowColor);
    dc.selectPen(Pen{PenStyle::Solid, 1, kBorderColor});
    dc.selectBrush(Brush::solid(kPanelColor));
    dc.rectangle(layout.panel);

    dc.fillRect(layout.caption, kCaptionColor);
    Rect captionText = layout.caption;
    captionText.left += kCaptionIndent;
    captionText.right -= kCaptionIndent;
    dc.setTextColor(kCaptionTextColor);
    dc.drawText(caption_.view(), captionText, kTextSingleLine | kTextVCenter);

    Rect text = layout.text;
    dc.setTextColor(kTextColor);
    dc.drawText(text_.view(), text, kTextWordBreak);

    for (size_t i = 0; i < layout.buttons.size(); ++i) {
        const bool focused = static_cast<int>(i) == focus_;
        Color fill = focused ? kCaptionColor : kButtonColor;
        if (static_cast<int>(i) == pressed_) fill = kPressedColor;
        dc.selectBrush(Brush::solid(fill));
        dc.rectangle(layout.buttons[i]);
        Rect label = layout.buttons[i];
        dc.setTextColor(focused ? kCaptionTextColor : kTextColor);
        dc.drawText(buttonLabel(buttons_[i]).view(), label,
                    kTextCenter | kTextVCenter | kTextSingleLine);
    }
}

}  // namespace

std::vector<int> messageBoxButtons(MessageBoxType type) {
    switch (type) {
        case MessageBoxType::Ok:
            return {kIdOk};
        case MessageBoxType::OkCancel:
            return {kIdOk, kIdCancel};
        case MessageBoxType::YesNo:
            return {kIdYes, kIdNo};
        case MessageBoxType::YesNoCancel:
            return {kIdYes, kIdNo, kIdCancel};
    }
    return {kIdOk};
}

int defaultMessageBoxAnswer(MessageBoxType type) { return messageBoxButtons(type).front(); }

int closingMessageBoxAnswer(MessageBoxType type) { return escapeAnswer(type); }

std::string messageBoxAnswerName(int result) {
    switch (result) {
        case kIdOk:
            return "ok";
        case kIdCancel:
            return "cancel";
        case kIdYes:
            return "yes";
        case kIdNo:
            return "no";
        default:
            return std::to_string(result);
    }
}

int messageBox(const CString& text, const CString& caption, MessageBoxType type) {
    if (!isUiThread()) {
        try {
            return runOnUiAndWait([&] { return messageBox(text, caption, type); });
        } catch (const UiClosedError&) {
            int answer = defaultMessageBoxAnswer(type);
            record(text, caption, type, answer);
            return answer;
        }
    }
    int answer = 0;
    UiLoop* loop = UiLoop::current();
    if (!loop || loop->quitRequested()) {
        answer = defaultMessageBoxAnswer(type);
    } else if (std::optional<int> scripted = loop->takeScriptAnswer()) {
        answer = fitAnswer(type, *scripted);
    } else {
        answer = ModalBox(*loop, text, caption, type).run();
    }
    record(text, caption, type, answer);
    return answer;
}

std::vector<MessageBoxRecord> messageBoxLog() {
    MessageLog& log = messageLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    return {log.records.begin(), log.records.end()};
}

void clearMessageBoxLog() {
    MessageLog& log = messageLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    log.records.clear();
}

void setMessageBoxEcho(std::FILE* stream) {
    MessageLog& log = messageLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    log.echo = stream;
}

MessageBoxLayout layoutMessageBox(Size screen, const CString& text, MessageBoxType type) {
    FontRef font = getFont(kFontHeight);
    const int fontHeight = font->height();
    const int captionHeight = fontHeight + 6;
    const int buttonHeight = fontHeight + 8;

    // 1. Panel width: the screen less its margins, no wider than a handset box.
    int panelWidth = std::min(screen.width - 2 * kScreenMargin, kMaxPanelWidth);
    if (panelWidth < 4 * kPadding) panelWidth = std::max(screen.width, 4 * kPadding);
    const int textWidth = panelWidth - 2 * kPadding - 2;

    // 2. Text height from the wrapped text, cut to what the screen leaves.
    Surface scratch(1, 1);
    DeviceContext dc(scratch);
    dc.selectFont(font);
    Rect measured{0, 0, textWidth, 0};
    dc.drawText(text.view(), measured, kTextWordBreak | kTextCalcRect);
    const int fixedHeight = 2 + captionHeight + 3 * kPadding + buttonHeight;
    const int roomForText = screen.height - 2 * kScreenMargin - fixedHeight;
    const int textHeight =
        std::max(fontHeight, std::min(measured.height(), std::max(fontHeight, roomForText)));

    // 3. The panel, centred.
    const int panelHeight = fixedHeight + textHeight;
    MessageBoxLayout layout;
    layout.panel = Rect::fromSize((screen.width - panelWidth) / 2,
                                  (screen.height - panelHeight) / 2, panelWidth, panelHeight);
    const Rect& p = layout.panel;
    layout.caption = {p.left + 1, p.top + 1, p.right - 1, p.top + 1 + captionHeight};
    layout.text = Rect::fromSize(p.left + 1 + kPadding, layout.caption.bottom + kPadding, textWidth,
                                 textHeight);

    // 4. Buttons: as wide as the widest label, centred in one row.
    std::vector<int> buttons = messageBoxButtons(type);
    const int count = static_cast<int>(buttons.size());
    int buttonWidth = kMinButtonWidth;
    for (int result : buttons) {
        buttonWidth = std::max(buttonWidth, font->textWidth(buttonLabel(result).view()) + 16);
    }
    const int room = panelWidth - 2 * kPadding;
    if (count * buttonWidth + (count - 1) * kButtonGap > room) {
        buttonWidth = std::max(1, (room - (count - 1) * kButtonGap) / count);
    }
    const int rowWidth = count * buttonWidth + (count - 1) * kButtonGap;
    int x = p.left + (panelWidth - rowWidth) / 2;
    const int y = layout.text.bottom + kPadding;
    for (int i = 0; i < count; ++i) {
        layout.buttons.push_back(Rect::fromSize(x, y, buttonWidth, buttonHeight));
        x += buttonWidth + kButtonGap;
    }
    return layout;
}

}  // namespace zq
