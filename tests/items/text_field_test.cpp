#include "items/text_field.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/device_context.h"
#include "platform/surface.h"
#include "platform/window.h"
#include "tests/support/test_font.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr Color kCaret = 0x0000FF;

// Records every event a field raises.
class RecordingListener : public EventListener {
public:
    void onEvent(std::unique_ptr<Event> event) override {
        auto* field = dynamic_cast<TextFieldEvent*>(event.get());
        actions.push_back(field
                              ? field->getFieldAction().toUtf8() + "=" + field->getValue().toUtf8()
                              : std::string("?"));
    }
    std::vector<std::string> actions;
};

class TextFieldTest : public ::testing::Test {
protected:
    TextFieldTest() { releaseSharedFonts(); }
    ~TextFieldTest() override { releaseSharedFonts(); }

    Style* fieldStyle() {
        Style* s = allocTracked();
        s->font = getFont(14);
        s->color = 0x000000;
        setStyleProperty(s, prop::kCaretColor, StyleValue(static_cast<int32_t>(kCaret)));
        return s;
    }

    std::unique_ptr<TextField> makeField(uint32_t constraints = 0, int maxSize = 20,
                                         const char16_t* value = u"") {
        auto field = std::make_unique<TextField>(CString(), CString(value), maxSize, constraints,
                                                 fieldStyle());
        field->init(200, 200);
        field->focus(nullptr, 0);
        return field;
    }

    // Plays a script on the field. Tokens, separated by blanks:
    //   K     press and release key K ('0'..'9', '*', '#', '.'), then 100 ms
    //   w     1100 ms without keys, then the animation step
    //   hK    key K pressed again while held: the main frame's second and
    //         third presses of a held key
    //   rK    key K repeats (held)
    //   c     the clear key repeats once, then the animation step
    void play(TextField& field, const std::string& script) {
        std::istringstream in(script);
        std::string token;
        while (in >> token) {
            if (token == "w") {
                now += 1100;
                field.animate();
            } else if (token[0] == 'h' && token.size() == 2) {
                ClientContext context;
                Display display(Size{240, 320});
                display.setHeldPress(true);
                field.keyPressed(token[1], 0);
            } else if (token[0] == 'r' && token.size() == 2) {
                field.keyRepeated(token[1], 0);
            } else if (token == "c") {
                field.keyRepeated(kKeyClear, 0);
                field.animate();
            } else {
                field.keyPressed(token[0], 0);
                field.keyReleased(token[0], 0);
                now += 100;
                field.animate();
            }
        }
    }

    test::ScopedFixedFont fixed;
    uint32_t now = 5000;
    ScopedTickSource clock{[this] { return now; }};
};

struct TapCase {
    const char* name;
    uint32_t constraints;
    int mode;
    int maxSize;
    const char* script;
    const char16_t* value;
    char16_t pending;  // 0: none
};

class MultiTap : public TextFieldTest, public ::testing::WithParamInterface<TapCase> {};

TEST_P(MultiTap, EntersTheExpectedText) {
    const TapCase& c = GetParam();
    auto field = makeField(c.constraints, c.maxSize);
    if (c.mode != kModeNone) field->setInputMode(c.mode);
    play(*field, c.script);
    EXPECT_EQ(field->getText(), CString(c.value));
    EXPECT_EQ(field->getPendingChar(), c.pending);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, MultiTap,
    ::testing::Values(
        TapCase{"ThreeTapsGiveC", 0, kModeLower, 20, "2 2 2", u"c", u'c'},
        TapCase{"FourthTapGivesTheDigit", 0, kModeLower, 20, "2 2 2 2", u"2", u'2'},
        TapCase{"FifthTapGivesAccent", 0, kModeLower, 20, "2 2 2 2 2", u"á", u'á'},
        TapCase{"TwelfthTapWraps", 0, kModeLower, 20, "2 2 2 2 2 2 2 2 2 2 2 2", u"a", u'a'},
        TapCase{"OtherKeyCommits", 0, kModeLower, 20, "2 3", u"ad", u'd'},
        TapCase{"PauseCommits", 0, kModeLower, 20, "2 3 w", u"ad", 0},
        TapCase{"UpperMode", 0, kModeUpper, 20, "2 w 2 2 2 2", u"A2", u'2'},
        TapCase{"HeldKeyGivesDigit", 0, kModeLower, 20, "5 h5 h5 r5", u"5", u'5'},
        TapCase{"FullFieldStepsPending", 0, kModeLower, 2, "2 w 3 3", u"ae", u'e'},
        TapCase{"FullFieldRefusesOtherKey", 0, kModeLower, 2, "2 w 3 3 4", u"ae", u'e'},
        // A held digit converts only the pending letter of its own key.
        TapCase{"HeldDigitNeedsItsPending", 0, kModeLower, 2, "2 w r2", u"a", 0},
        TapCase{"HeldOtherDigitChangesNothing", 0, kModeLower, 2, "2 r3", u"a", u'a'},
        TapCase{"CapitalAfterStop", 0, kModeLower, 20, "4 4 w 4 4 4 w 1 0 w 4", u"hi. G", u'G'},
        TapCase{"NoCapitalInEmail", kConstraintEmail, kModeLower, 20, "4 4 w 4 4 4 w 0 w 4",
                u"hi.g", u'g'},
        TapCase{"AbcCapitalisesOneLetter", 0, kModeNone, 20, "# # 2 w 2", u"Aa", u'a'},
        TapCase{"DigitsMode", 0, kModeDigits, 3, "1 2 3 4", u"123", 0},
        // A new field reads "123" and its keys type as "123" does.
        TapCase{"NewFieldTypesDigits", 0, kModeNone, 20, "6 0 0 3 2 1", u"600321", 0},
        // Regression: a held digit in a new field typed itself over and over.
        TapCase{"NewFieldHeldDigitStaysOne", 0, kModeNone, 20, "2 3 h3 h3 r3 r3", u"23", 0},
        TapCase{"ChosenDigitsRepeatAHeldOne", 0, kModeDigits, 20, "2 3 h3 h3 r3", u"23333", 0},
        // A numbers-only field's "123" is imposed, not chosen: a held digit
        // stays one, so a long press does not make a quantity of 5 into 55555.
        TapCase{"NumericHeldDigitStaysOne", kConstraintNumeric, kModeNone, 20, "2 5 h5 h5 r5 r5",
                u"25", 0},
        TapCase{"DecimalHeldDigitStaysOne", kConstraintDecimal, kModeNone, 20, "1 * 5 h5 r5",
                u"1.5", 0},
        TapCase{"DecimalPointOnce", kConstraintDecimal, kModeNone, 20, "1 * 2 * 3 #", u"1.23", 0},
        TapCase{"NumericRefusesStar", kConstraintNumeric, kModeNone, 20, "1 * 2", u"12", 0},
        // Refused characters are stepped over: '.' may not open an address.
        TapCase{"EmailSkipsRefused", kConstraintEmail, kModeLower, 20, "1", u"-", u'-'},
        // '|' (19th) is a key character of e-mail fields, not a marker: the
        // 20th tap steps on from it.
        TapCase{"EmailBarStaysPending", kConstraintEmail, kModeLower, 20,
                "2 w 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1", u"a}", u'}'}),
    [](const auto& info) { return std::string(info.param.name); });

// Regression: typed text went through multi-tap ("600321" became "m0da.")
// and the mode filter dropped Chinese in abc/Abc/ABC/123.
TEST_F(TextFieldTest, TypedTextEntersAsTypedInEveryMode) {
    for (int mode : {int{kModeNone}, int{kModeLower}, int{kModeCapital}, int{kModeUpper},
                     int{kModeDigits}, int{kModeNative}}) {
        auto field = makeField();
        field->setInputMode(mode);
        for (const char16_t* typed : {u"600321", u"ab12", u" (", u"中文", u"😀", u"."}) {
            EXPECT_TRUE(field->textTyped(CString(typed)));
        }
        EXPECT_EQ(field->getText(), CString(u"600321ab12 (中文😀.")) << mode;
    }
    // A pending letter goes in first; the text then stands behind it.
    auto field = makeField();
    field->setInputMode(kModeLower);
    play(*field, "2");
    field->textTyped(CString(u"x"));
    EXPECT_EQ(field->getText(), CString(u"ax"));
    EXPECT_FALSE(field->hasPendingChar());

    // A numeric field takes digits only, and drops other text whole.
    auto numeric = makeField(kConstraintNumeric);
    numeric->textTyped(CString(u"12"));
    numeric->textTyped(CString(u"3a"));
    numeric->textTyped(CString(u"."));
    EXPECT_EQ(numeric->getText(), CString(u"12"));
    auto decimal = makeField(kConstraintDecimal);
    for (const char16_t* typed : {u"1", u".", u"5", u"."}) decimal->textTyped(CString(typed));
    EXPECT_EQ(decimal->getText(), CString(u"1.5"));

    // Neither an unfocused nor a read-only field takes typed text.
    auto readOnly = makeField(kConstraintUneditable);
    EXPECT_FALSE(readOnly->textTyped(CString(u"a")));
    field->defocus(nullptr);
    EXPECT_FALSE(field->textTyped(CString(u"a")));
}

// Regression: the caret, backspace, forward delete and maxSize worked on
// UTF-16 units: "😀😀😀", LEFT, backspace left a lone surrogate, and
// "中文😀" into a field of 3 sent half an emoji.
TEST_F(TextFieldTest, AnEmojiIsOneCharacter) {
    auto field = makeField(0, 3);
    EXPECT_TRUE(field->textTyped(CString(u"中文😀")));
    EXPECT_EQ(field->getText(), CString(u"中文😀"));
    field->textTyped(CString(u"a"));  // full: nothing more
    EXPECT_EQ(field->getText(), CString(u"中文😀"));

    auto emoji = makeField(0, 20);
    emoji->textTyped(CString(u"😀😀😀"));
    emoji->init(200, 200);  // as the screen lays it out after each key
    EXPECT_TRUE(emoji->keyPressed(kKeyLeft, kGameLeft));
    EXPECT_EQ(emoji->getCaretPosition(), 4);
    EXPECT_TRUE(emoji->keyPressed(kKeyBackspace, kGameNone));
    EXPECT_EQ(emoji->getText(), CString(u"😀😀"));
    EXPECT_EQ(emoji->getCaretPosition(), 2);
    emoji->init(200, 200);
    EXPECT_TRUE(emoji->keyPressed(kKeyRight, kGameRight));
    EXPECT_EQ(emoji->getCaretPosition(), 4);
    emoji->keyPressed(kKeyLeft, kGameLeft);
    emoji->keyPressed('.', kGameDelete);  // forward delete
    EXPECT_EQ(emoji->getText(), CString(u"😀"));
    // Two keypad letters replace nothing of the emoji before them.
    emoji->setInputMode(kModeLower);
    play(*emoji, "2 2");
    EXPECT_EQ(emoji->getText(), CString(u"😀b"));

    // A value from outside that would put the caret inside a pair.
    emoji->setString(CString(u"x😀"));
    emoji->setString(CString(u"😀y"));
    EXPECT_NE(emoji->getCaretPosition(), 1);
}

TEST_F(TextFieldTest, HashCyclesTheModes) {
    auto field = makeField();
    EXPECT_EQ(field->getModeName(), CString(u"123"));
    std::vector<std::string> names;
    for (int i = 0; i < 6; ++i) {
        play(*field, "#");
        names.push_back(field->getModeName().toUtf8());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"abc", "Abc", "ABC", "123", "Nat.", "abc"}));
}

struct EmailCase {
    const char16_t* text;
    int position;
    char16_t ch;
    bool accepted;
};

TEST_F(TextFieldTest, EmailAcceptMatrix) {
    auto field = makeField(kConstraintEmail);
    const EmailCase cases[] = {
        {u"ab@c", 4, u'!', false}, {u"ab@c", 4, u'.', true},  {u"ab@c", 4, u'_', true},
        {u"ab@c", 4, u'-', true},  {u"ab@c", 4, u'x', true},  {u"", 0, u'.', false},
        {u"", 0, u'@', false},     {u"ab", 2, u'@', true},    {u"ab", 2, u'!', true},
        {u"ab", 2, u'.', true},    {u"a@b;", 4, u'.', false}, {u"a@b;c", 5, u'@', true},
        {u"ab@", 1, u'@', false},  {u"ab@", 2, u'@', true},   {u"ab", 2, u'中', false},
        {u"ab", 9, u'!', true},
    };
    for (const EmailCase& c : cases) {
        EXPECT_EQ(field->acceptsEmailChar(c.ch, c.position, CString(c.text)), c.accepted)
            << CString(c.text).toUtf8() << " @" << c.position << " " << CString(c.ch).toUtf8();
    }
    auto plain = makeField();
    EXPECT_TRUE(plain->acceptsEmailChar(u'!', 0, CString()));
}

TEST_F(TextFieldTest, HoldingClearDeletesWordsThenAll) {
    auto field = makeField(0, 40, u"one two three four");
    field->keyPressed(kKeyClear, 0);
    play(*field, "c c");
    EXPECT_EQ(field->getText(), CString(u"one two three four"));
    play(*field, "c");
    EXPECT_EQ(field->getText(), CString(u"one two three"));
    // The same third repeat acts once, however often the step runs.
    field->animate();
    field->animate();
    EXPECT_EQ(field->getText(), CString(u"one two three"));
    play(*field, "c c c");
    EXPECT_EQ(field->getText(), CString(u"one two"));
    play(*field, "c c c");
    EXPECT_TRUE(field->getText().isEmpty());
}

// Repeats may come faster than the animation steps: a step that finds a new
// multiple of three passed still acts, once.
TEST_F(TextFieldTest, FastClearRepeatsStillDeleteAWord) {
    auto field = makeField(0, 40, u"one two");
    field->keyPressed(kKeyClear, 0);
    for (int i = 0; i < 4; ++i) field->keyRepeated(kKeyClear, 0);
    field->animate();
    field->animate();
    EXPECT_EQ(field->getText(), CString(u"one"));
}

TEST_F(TextFieldTest, InsertTextIsWholeOrNothing) {
    auto field = makeField(0, 5, u"abc");
    EXPECT_FALSE(field->insertText(CString(u"def"), 3));
    EXPECT_EQ(field->getText(), CString(u"abc"));
    EXPECT_TRUE(field->insertText(CString(u"de"), 1));
    EXPECT_EQ(field->getText(), CString(u"adebc"));
    field->setInputMode(kModeDigits);
    auto digits = makeField(0, 9, u"1.5");
    digits->setInputMode(kModeDigits);
    EXPECT_FALSE(digits->insertText(CString(u".2"), 3));
    EXPECT_TRUE(digits->insertText(CString(u"25"), 3));
}

TEST_F(TextFieldTest, ForwardDeleteCommitsAndStopsAtTheEnd) {
    auto field = makeField(0, 20, u"ab");
    field->setInputMode(kModeLower);
    field->keyPressed('.', kGameDelete);
    EXPECT_EQ(field->getText(), CString(u"ab"));
    play(*field, "2");  // "aba", 'a' pending at the end
    field->keyPressed('.', kGameDelete);
    EXPECT_EQ(field->getText(), CString(u"aba"));
    EXPECT_FALSE(field->hasPendingChar());
}

TEST_F(TextFieldTest, BackspaceAndEditCommands) {
    auto field = makeField(0, 20, u"abc");
    field->keyPressed(kKeyBackspace, 0);
    EXPECT_EQ(field->getText(), CString(u"ab"));
    field->commandAction(TextField::deleteCommand().get(), field.get());
    EXPECT_EQ(field->getText(), CString(u"a"));
    field->commandAction(TextField::clearCommand().get(), field.get());
    EXPECT_TRUE(field->getText().isEmpty());
    field->commandAction(TextField::deleteCommand().get(), field.get());
    EXPECT_TRUE(field->getText().isEmpty());
}

TEST_F(TextFieldTest, PasswordShowsMaskKeepsValue) {
    auto field = makeField(kConstraintPassword, 20, u"secret");
    EXPECT_EQ(field->StringItem::getText(), CString(u"******"));
    EXPECT_EQ(field->getValue(), CString(u"secret"));
    field->setValue(CString(u"ab"));
    EXPECT_EQ(field->StringItem::getText(), CString(u"**"));
}

TEST_F(TextFieldTest, CaretGoesToTheEndOnlyForValuesFromOutside) {
    auto field = makeField(0, 20, u"abc");
    EXPECT_EQ(field->getCaretPosition(), 3);
    field->keyPressed(kKeyLeft, kGameLeft);
    field->keyPressed(kKeyLeft, kGameLeft);
    EXPECT_EQ(field->getCaretPosition(), 1);
    field->typeChar(u'x');
    EXPECT_EQ(field->getText(), CString(u"axbc"));
    EXPECT_EQ(field->getCaretPosition(), 2);
    field->setString(CString(u"a much longer value"));
    EXPECT_EQ(field->getCaretPosition(), 19);
}

TEST_F(TextFieldTest, LimitThenChangeEventsAndNoListener) {
    auto field = makeField(0, 3, u"ab");
    RecordingListener listener;
    field->setLimitAction(CString(u"full()"));
    field->setChangeAction(CString(u"changed()"));
    field->setEventListener(&listener);
    field->typeChar(u'c');
    field->typeChar(u'd');  // refused: full
    EXPECT_EQ(listener.actions, (std::vector<std::string>{"full()=abc", "changed()=abc"}));
    field->setEventListener(nullptr);
    field->typeChar(u'x');
    field->setString(CString(u"q"));
    EXPECT_EQ(field->getText(), CString(u"q"));
}

TEST_F(TextFieldTest, SoftKeyboardCharactersObeyNumericFlags) {
    auto numeric = makeField(kConstraintNumeric);
    for (char16_t ch : std::u16string(u"1a.2")) numeric->typeChar(ch);
    EXPECT_EQ(numeric->getText(), CString(u"12"));
    auto decimal = makeField(kConstraintDecimal);
    for (char16_t ch : std::u16string(u"1.2.3")) decimal->typeChar(ch);
    EXPECT_EQ(decimal->getText(), CString(u"1.23"));
}

// Lines are ranges of the value: the caret moves through the line feed and
// the blank that ended a line without losing a character.
TEST_F(TextFieldTest, CaretWalksWrappedLines) {
    auto field = makeField(0, 40, u"abc def\nxy");
    field->setShowModeIndicator(false);  // the whole width for the text
    field->init(60, 60);                 // 8 characters of 7 px per line
    EXPECT_EQ(field->getLineCount(), 2);
    EXPECT_EQ(field->getCaretLine(), 1);
    EXPECT_EQ(field->getCaretX(), 14);
    EXPECT_TRUE(field->keyPressed(kKeyUp, kGameUp));
    EXPECT_EQ(field->getCaretLine(), 0);
    EXPECT_EQ(field->getCaretPosition(), 2);
    EXPECT_FALSE(field->keyPressed(kKeyUp, kGameUp));
    for (int i = 0; i < 8; ++i) field->keyPressed(kKeyRight, kGameRight);
    EXPECT_EQ(field->getCaretPosition(), 10);
    EXPECT_FALSE(field->keyPressed(kKeyRight, kGameRight));
    field->init(28, 28);  // "abc " / "def\n" / "xy"
    EXPECT_EQ(field->getLineCount(), 3);
    EXPECT_EQ(field->getCaretLine(), 2);
}

// A page value longer than maxSize, with lone surrogates and line feeds, is
// laid out and edited without growing.
TEST_F(TextFieldTest, OddValuesFromThePage) {
    std::u16string value;
    for (int i = 0; i < 500; ++i) value += u"a\xD800 b\n\xDC00";
    auto field = makeField(0, 20, value.c_str());
    field->init(100, 100);
    EXPECT_GT(field->getLineCount(), 100);
    EXPECT_EQ(field->getCaretPosition(), static_cast<int>(value.size()));
    field->typeChar(u'x');
    play(*field, "2 2");
    EXPECT_EQ(field->getText().length(), static_cast<int>(value.size()));
    EXPECT_TRUE(field->deleteBeforeCaret());
    EXPECT_EQ(field->getText().length(), static_cast<int>(value.size()) - 1);
}

TEST_F(TextFieldTest, PaintsTheCaretOnlyWhileVisible) {
    auto field = makeField(0, 20, u"ab");
    Surface surface(100, 30);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(100, 30, &dc);
    auto probe = [&] {
        dc.fillRect({0, 0, 100, 30}, 0xFFFFFF);
        field->paintContent(10, 5, 10, 90, g);
        return surface.getPixel(10 + 14 - 1, 5 + 7);
    };
    field->animate();  // blink on
    ASSERT_TRUE(field->isCaretVisible());
    EXPECT_EQ(probe(), kCaret);
    now += 600;
    field->animate();
    EXPECT_EQ(probe(), Color{0xFFFFFF});
}

// The mode name (widest "Nat.", 28 px, and a 4 px gap) is drawn at the
// right end while focused; the text wraps before its room.
TEST_F(TextFieldTest, ShowsItsInputModeWhileFocused) {
    auto field = makeField(0, 20, u"ab");
    field->init(200, 200);
    EXPECT_EQ(field->contentWidth(), 14 + 32);
    Surface surface(100, 30);
    DeviceContext dc(surface);
    GraphicsContext g;
    g.init(100, 30, &dc);
    auto inkAt = [&](int x) {
        dc.fillRect({0, 0, 100, 30}, 0x808080);
        field->paintContent(10, 5, 10, 90, g);
        return surface.getPixel(10 + x, 5 + 7) != Color{0x808080};
    };
    // "123" ends at the content's right end; "abc" after '#'.
    EXPECT_EQ(field->getModeName(), CString(u"123"));
    EXPECT_TRUE(inkAt(46 - 21 + 3));
    EXPECT_FALSE(inkAt(46 - 21 - 3));
    play(*field, "#");
    EXPECT_EQ(field->getModeName(), CString(u"abc"));
    EXPECT_TRUE(inkAt(46 - 3));
    field->defocus(nullptr);
    EXPECT_FALSE(inkAt(46 - 3));

    auto readOnly = makeField(kConstraintUneditable, 20, u"ab");
    EXPECT_EQ(readOnly->contentWidth(), 14);
    field->setString(CString(u"abcdefgh"));
    field->init(60, 60);
    EXPECT_EQ(field->getLineCount(), 2);
}

}  // namespace
}  // namespace zq
