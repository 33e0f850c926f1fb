#include "platform/key_script.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

#include "platform/cstring.h"
#include "platform/files.h"
#include "platform/font.h"
#include "platform/image.h"
#include "platform/message_box.h"

namespace zq {

namespace {

constexpr int kMaxHoldRepeats = 1000;
constexpr int kMaxWaitMs = 600000;
constexpr int kMaxCoordinate = 32767;
// A reply is taken off the request table on a network thread and posted to
// the UI thread a moment later: idle must hold this long to count.
constexpr int kIdleSettleMs = 50;
// How often an until step looks for its file.
constexpr int kUntilPollMs = 20;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Words up to the first one that starts a comment.
std::vector<std::string_view> splitWords(std::string_view s) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isBlank(s[i])) ++i;
        size_t start = i;
        while (i < s.size() && !isBlank(s[i])) ++i;
        if (i == start) break;
        std::string_view word = s.substr(start, i - start);
        if (word.front() == '#') break;
        words.push_back(word);
    }
    return words;
}

std::optional<int> parseNumber(std::string_view word, int min, int max) {
    int value = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size()) return std::nullopt;
    if (value < min || value > max) return std::nullopt;
    return value;
}

std::optional<int> parseKey(std::string_view word) {
    static const std::pair<std::string_view, int> kNames[] = {
        {"left", kKeyLeft},           {"up", kKeyUp},
        {"right", kKeyRight},         {"down", kKeyDown},
        {"enter", kKeyEnter},         {"fire", kKeyEnter},
        {"soft1", kKeySoftLeft},      {"f1", kKeySoftLeft},
        {"soft2", kKeySoftRight},     {"f2", kKeySoftRight},
        {"backspace", kKeyBackspace}, {"clear", kKeyClear},
        {"star", kKeyStar},           {"hash", kKeyHash},
    };
    for (const auto& [name, code] : kNames) {
        if (word == name) return code;
    }
    return parseNumber(word, -0xFFFF, 0xFFFF);
}

std::optional<int> parseAnswer(std::string_view word) {
    if (word == "ok") return kIdOk;
    if (word == "cancel") return kIdCancel;
    if (word == "yes") return kIdYes;
    if (word == "no") return kIdNo;
    return std::nullopt;
}

std::string quoted(std::string_view word) {
    std::string out;
    out.reserve(word.size() + 2);
    out.push_back('\'');
    out.append(word);
    out.push_back('\'');
    return out;
}

// Parses one command line into steps, or returns an error message.
class LineParser {
public:
    LineParser(int line, std::vector<ScriptStep>& out) : line_(line), out_(out) {}

    std::optional<std::string> parse(std::string_view command, std::string_view rest) {
        if (command == "char") return parseChar(trim(rest));
        if (command == "screenshot") {
            rest = trim(rest);
            if (rest.empty()) return "screenshot needs a file name";
            ScriptStep step = makeStep(ScriptStep::Kind::Screenshot);
            step.path = std::string(rest);
            out_.push_back(std::move(step));
            return std::nullopt;
        }
        if (command == "until") return parseUntil(trim(rest));
        std::vector<std::string_view> args = splitWords(rest);
        if (command == "key") return parseKeyCommand(args);
        if (command == "tap" || command == "down" || command == "move" || command == "up") {
            return parsePointer(command, args);
        }
        if (command == "wait" || command == "idle") {
            const std::string name(command);
            if (args.empty()) return name + " needs milliseconds";
            auto ms = parseNumber(args[0], 0, kMaxWaitMs);
            if (!ms) return name + ": " + quoted(args[0]) + " is not 0..600000 milliseconds";
            if (args.size() > 1) return unexpected(args[1]);
            ScriptStep step =
                makeStep(command == "wait" ? ScriptStep::Kind::Wait : ScriptStep::Kind::WaitIdle);
            step.waitMs = *ms;
            out_.push_back(std::move(step));
            return std::nullopt;
        }
        if (command == "answer") {
            if (args.empty()) return "answer needs ok, cancel, yes or no";
            auto result = parseAnswer(args[0]);
            if (!result) return "answer: " + quoted(args[0]) + " is not ok, cancel, yes or no";
            if (args.size() > 1) return unexpected(args[1]);
            addInput(ScriptAnswer{*result});
            return std::nullopt;
        }
        return "unknown command " + quoted(command);
    }

private:
    ScriptStep makeStep(ScriptStep::Kind kind) const {
        ScriptStep step;
        step.kind = kind;
        step.line = line_;
        return step;
    }

    void addInput(const InputEvent& event) {
        ScriptStep step = makeStep(ScriptStep::Kind::Input);
        step.event = event;
        out_.push_back(std::move(step));
    }

    static std::string unexpected(std::string_view word) { return "unexpected " + quoted(word); }

    std::optional<std::string> parseKeyCommand(const std::vector<std::string_view>& args) {
        if (args.empty()) return "key needs a key code or name";
        auto code = parseKey(args[0]);
        if (!code) return "key: " + quoted(args[0]) + " is not a key code or name";
        int repeats = 1;
        if (args.size() > 1) {
            std::string_view hold = args[1];
            std::optional<int> n;
            if (hold.size() > 1 && hold.front() == 'x') {
                n = parseNumber(hold.substr(1), 1, kMaxHoldRepeats);
            }
            if (!n) return "key: " + quoted(hold) + " is not a hold count x1..x1000";
            repeats = *n;
        }
        // A pace lets time pass between the key-down messages of a hold, as
        // it does for a key a person holds.
        int paceMs = 0;
        if (args.size() > 2) {
            std::optional<int> pace = repeats > 1 ? parseNumber(args[2], 1, 1000) : std::nullopt;
            if (!pace) return "key: " + quoted(args[2]) + " is not a pace of 1..1000 ms";
            paceMs = *pace;
        }
        if (args.size() > 3) return unexpected(args[3]);
        for (int r = 1; r <= repeats; ++r) {
            addInput(KeyDown{*code, r});
            if (paceMs && r < repeats) {
                ScriptStep wait = makeStep(ScriptStep::Kind::Wait);
                wait.waitMs = paceMs;
                out_.push_back(std::move(wait));
            }
        }
        addInput(KeyUp{*code});
        return std::nullopt;
    }

    // "MS FILE": the file name is the rest of the line.
    std::optional<std::string> parseUntil(std::string_view rest) {
        const size_t space = rest.find_first_of(" \t");
        const std::string_view number = rest.substr(0, space);
        if (number.empty()) return "until needs milliseconds and a file name";
        auto ms = parseNumber(number, 0, kMaxWaitMs);
        if (!ms) return "until: " + quoted(number) + " is not 0..600000 milliseconds";
        const std::string_view path =
            space == std::string_view::npos ? std::string_view() : trim(rest.substr(space));
        if (path.empty()) return "until needs a file name";
        ScriptStep step = makeStep(ScriptStep::Kind::Until);
        step.waitMs = *ms;
        step.path = std::string(path);
        out_.push_back(std::move(step));
        return std::nullopt;
    }

    std::optional<std::string> parsePointer(std::string_view command,
                                            const std::vector<std::string_view>& args) {
        if (args.size() < 2) return std::string(command) + " needs X and Y";
        auto x = parseNumber(args[0], -kMaxCoordinate, kMaxCoordinate);
        auto y = parseNumber(args[1], -kMaxCoordinate, kMaxCoordinate);
        if (!x) return std::string(command) + ": " + quoted(args[0]) + " is not a coordinate";
        if (!y) return std::string(command) + ": " + quoted(args[1]) + " is not a coordinate";
        if (args.size() > 2) return unexpected(args[2]);
        if (command == "tap") {
            addInput(PointerDown{*x, *y});
            addInput(PointerUp{*x, *y});
        } else if (command == "down") {
            addInput(PointerDown{*x, *y});
        } else if (command == "move") {
            addInput(PointerMove{*x, *y});
        } else {
            addInput(PointerUp{*x, *y});
        }
        return std::nullopt;
    }

    std::optional<std::string> parseChar(std::string_view text) {
        if (text.empty()) return "char needs text";
        std::u16string units = utf8ToUtf16(text);
        if (units.find(u'\uFFFD') != std::u16string::npos &&
            text.find("\xEF\xBF\xBD") == std::string_view::npos) {
            return "char: the text is not valid UTF-8";
        }
        // One character after another, as typed on keys.
        for (size_t i = 0; i < units.size();) {
            const size_t start = i;
            nextChar(units, i);
            addInput(CharInput{units.substr(start, i - start)});
        }
        return std::nullopt;
    }

    int line_;
    std::vector<ScriptStep>& out_;
};

}  // namespace

KeyScript parseKeyScript(std::string_view text) {
    KeyScript script;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        line = trim(line);
        if (line.empty() || line.front() == '#') continue;
        size_t split = 0;
        while (split < line.size() && !isBlank(line[split])) ++split;

        std::vector<ScriptStep> steps;
        LineParser parser(lineNumber, steps);
        if (auto error = parser.parse(line.substr(0, split), line.substr(split))) {
            script.errors.push_back({lineNumber, *error});
            continue;
        }
        if (script.steps.size() + steps.size() > kMaxKeyScriptSteps) {
            script.errors.push_back({lineNumber, "the script has more than 1000000 steps"});
            break;
        }
        for (ScriptStep& step : steps) script.steps.push_back(std::move(step));
    }
    return script;
}

KeyScript loadKeyScript(const std::filesystem::path& path) {
    std::optional<std::string> text = readFile(path, kMaxKeyScriptBytes);
    if (!text) {
        KeyScript script;
        script.errors.push_back({0, "cannot read the script (missing, unreadable or over 4 MB)"});
        return script;
    }
    return parseKeyScript(*text);
}

std::string formatScriptError(const std::string& name, const ScriptError& error) {
    if (error.line <= 0) return name + ": " + error.message;
    return name + ":" + std::to_string(error.line) + ": " + error.message;
}

ScriptedWindow::ScriptedWindow(WindowBackend& inner, std::vector<ScriptStep> steps, ScriptEnd atEnd)
    : inner_(inner), steps_(std::move(steps)), atEnd_(atEnd) {}

void ScriptedWindow::present(const Surface& frame) {
    lastFrame_ = frame;
    inner_.present(frame);
}

std::optional<InputEvent> ScriptedWindow::waitEvent(int timeoutMs) {
    while (next_ < steps_.size()) {
        const ScriptStep& step = steps_[next_];
        switch (step.kind) {
            case ScriptStep::Kind::Input:
                // Input from the window below (a closed SDL window) is not
                // held back by the replay.
                if (std::optional<InputEvent> own = inner_.waitEvent(0)) return own;
                ++next_;
                return step.event;
            case ScriptStep::Kind::Screenshot:
                if (!savePng(lastFrame_, step.path)) {
                    failures_.push_back("line " + std::to_string(step.line) +
                                        ": cannot write the screenshot " + step.path);
                }
                ++next_;
                continue;
            case ScriptStep::Kind::Wait: {
                auto now = std::chrono::steady_clock::now();
                if (!waiting_) {
                    waiting_ = true;
                    waitUntil_ = now + std::chrono::milliseconds(step.waitMs);
                }
                auto left = std::chrono::ceil<std::chrono::milliseconds>(waitUntil_ - now);
                if (left.count() <= 0) {
                    waiting_ = false;
                    ++next_;
                    continue;
                }
                int wait = static_cast<int>(left.count());
                if (timeoutMs >= 0 && timeoutMs < wait) wait = timeoutMs;
                return inner_.waitEvent(wait);
            }
            case ScriptStep::Kind::WaitIdle:
                if (std::optional<int> wait = idleWait(step, timeoutMs)) {
                    return inner_.waitEvent(*wait);
                }
                ++next_;
                continue;
            case ScriptStep::Kind::Until:
                if (std::optional<int> wait = untilWait(step, timeoutMs)) {
                    return inner_.waitEvent(*wait);
                }
                ++next_;
                continue;
        }
    }
    if (atEnd_ == ScriptEnd::PassThrough) return inner_.waitEvent(timeoutMs);
    if (std::optional<InputEvent> own = inner_.waitEvent(0)) return own;
    return Quit{};
}

std::optional<int> ScriptedWindow::idleWait(const ScriptStep& step, int timeoutMs) {
    using std::chrono::milliseconds;
    const auto now = std::chrono::steady_clock::now();
    if (!waiting_) {
        waiting_ = true;
        waitUntil_ = now + milliseconds(step.waitMs);
        idleSince_.reset();
    }
    const bool busy = busy_ && busy_();
    if (busy) {
        idleSince_.reset();
    } else if (!idleSince_) {
        idleSince_ = now;
    }
    if (!busy && now - *idleSince_ >= milliseconds(kIdleSettleMs)) {
        waiting_ = false;
        return std::nullopt;
    }
    if (now >= waitUntil_) {
        waiting_ = false;
        if (busy) {
            failures_.push_back("line " + std::to_string(step.line) + ": still busy after " +
                                std::to_string(step.waitMs) + " ms");
        }
        return std::nullopt;
    }
    // Busy work ends with a posted task, which wakes the wait; the probe is
    // asked again at least every settle time all the same.
    auto left = std::chrono::ceil<milliseconds>(waitUntil_ - now).count();
    int wait = static_cast<int>(std::min<long long>(left, kIdleSettleMs));
    if (timeoutMs >= 0 && timeoutMs < wait) wait = timeoutMs;
    return wait;
}

std::optional<int> ScriptedWindow::untilWait(const ScriptStep& step, int timeoutMs) {
    using std::chrono::milliseconds;
    const auto now = std::chrono::steady_clock::now();
    if (!waiting_) {
        waiting_ = true;
        waitUntil_ = now + milliseconds(step.waitMs);
    }
    std::error_code error;
    const bool there = std::filesystem::exists(step.path, error);
    if (there || now >= waitUntil_) {
        waiting_ = false;
        if (!there) {
            failures_.push_back("line " + std::to_string(step.line) + ": no " + step.path +
                                " after " + std::to_string(step.waitMs) + " ms");
        }
        return std::nullopt;
    }
    // Nothing wakes the wait when the file comes: it is looked for again.
    auto left = std::chrono::ceil<milliseconds>(waitUntil_ - now).count();
    int wait = static_cast<int>(std::min<long long>(left, kUntilPollMs));
    if (timeoutMs >= 0 && timeoutMs < wait) wait = timeoutMs;
    return wait;
}

}  // namespace zq
