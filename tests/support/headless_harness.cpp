#include "tests/support/headless_harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <type_traits>

#include "platform/cstring.h"
#include "platform/device_context.h"

namespace zq::test {

std::string describeEvent(const InputEvent& event) {
    return std::visit(
        [](const auto& e) -> std::string {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, KeyDown>) {
                return "key-down " + std::to_string(e.code) + " r" + std::to_string(e.repeatCount);
            } else if constexpr (std::is_same_v<T, KeyUp>) {
                return "key-up " + std::to_string(e.code);
            } else if constexpr (std::is_same_v<T, CharInput>) {
                // A lone surrogate shows as its code, not as U+FFFD.
                std::string out = "char ";
                for (size_t i = 0; i < e.text.size(); ++i) {
                    const char16_t ch = e.text[i];
                    const bool high = ch >= 0xD800 && ch <= 0xDBFF;
                    const bool paired = high && i + 1 < e.text.size() && e.text[i + 1] >= 0xDC00 &&
                                        e.text[i + 1] <= 0xDFFF;
                    if (paired) {
                        out += utf16ToUtf8(e.text.substr(i++, 2));
                    } else if (ch >= 0xD800 && ch <= 0xDFFF) {
                        char hex[16];
                        std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(ch));
                        out += hex;
                    } else {
                        out += utf16ToUtf8(std::u16string(1, ch));
                    }
                }
                return out;
            } else if constexpr (std::is_same_v<T, PointerDown>) {
                return "pointer-down " + std::to_string(e.x) + " " + std::to_string(e.y);
            } else if constexpr (std::is_same_v<T, PointerMove>) {
                return "pointer-move " + std::to_string(e.x) + " " + std::to_string(e.y);
            } else if constexpr (std::is_same_v<T, PointerUp>) {
                return "pointer-up " + std::to_string(e.x) + " " + std::to_string(e.y);
            } else if constexpr (std::is_same_v<T, Resize>) {
                return "resize " + std::to_string(e.width) + " " + std::to_string(e.height);
            } else if constexpr (std::is_same_v<T, FocusLost>) {
                return "focus-lost";
            } else if constexpr (std::is_same_v<T, Quit>) {
                return "quit";
            } else {
                return "answer " + std::to_string(e.result);
            }
        },
        event);
}

void RecordingHandler::onInput(const InputEvent& event) {
    events.push_back(describeEvent(event));
    if (onEvent) onEvent(event);
}

void RecordingHandler::paint(Surface& backBuffer) {
    ++paints;
    DeviceContext dc(backBuffer);
    dc.fillRect(backBuffer.bounds(), background);
}

HeadlessHarness::HeadlessHarness(Size size) : window_(size) {}

int HeadlessHarness::run(const std::string& script, UiHandler& handler) {
    KeyScript parsed = parseKeyScript(script);
    for (const ScriptError& error : parsed.errors) {
        ADD_FAILURE() << formatScriptError("script", error);
    }
    ScriptedWindow replay(window_, std::move(parsed.steps), ScriptEnd::Quit);
    replay.setBusyProbe(busy_);
    int result = 0;
    {
        UiLoop loop(executor_, replay, handler);
        result = loop.run();
    }
    failures_ = replay.failures();
    return result;
}

}  // namespace zq::test
