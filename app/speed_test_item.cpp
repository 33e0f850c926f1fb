#include "app/speed_test_item.h"

#include <utility>

#include "app/action_dispatcher.h"
#include "app/application.h"
#include "app/page_controller.h"
#include "core/string_utils.h"
#include "items/button_item.h"
#include "items/choice_group.h"
#include "items/string_item.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/event.h"

namespace zq {
namespace {

constexpr const char16_t* kTitle = u"站点测速";
constexpr const char16_t* kInfoCaption = u"信息提示";
constexpr const char16_t* kChoiceCaption = u"站点选择提示";
constexpr const char16_t* kAskDefault = u"是否在下次启动时使用 %s 作为默认主站？";
constexpr const char16_t* kHint =
    u"速度测试的结果越小说明您手机与该主站的连通性越好，为保证测试结果的准确建议您反复测试多次选"
    u"取较稳定的主站进行连接。";
constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 24;

// The screen front end speaks as the dialog it stands for.
CString statusText(int result, SpeedTestItem::Mode mode) {
    if (result == -1) return u"等待测速";
    if (result == -2) return u"正在测速";
    if (result == HostRecord::kSpeedFailed) {
        return mode == SpeedTestItem::Mode::Screen ? u"连接超时" : u"超时";
    }
    return CString::format(u"%d", result);
}

// The text between the first '(' and the following ')', trimmed.
CString nameInParentheses(const CString& text) {
    const int open = text.find(u'(');
    const int close = open < 0 ? -1 : text.find(u')', open);
    if (close < 0) return CString();
    CString name = text.mid(open + 1, close - open - 1);
    return name.trim();
}

// The action word of a button's action text is `name`.
bool isAction(const CString& action, const char16_t* name) {
    return extractAlnumRun(action).trim().equalsNoCase(CString(name));
}

std::unique_ptr<StringItem> textItem(const CString& text) {
    return std::make_unique<StringItem>(CString(), text, createTextStyle());
}

}  // namespace

SpeedTestItem::SpeedTestItem(PageController& controller, Mode mode)
    : Container(CString(), true, nullptr, -1),
      controller_(controller),
      mode_(mode),
      run_(std::make_unique<SpeedTestRun>()) {}

SpeedTestItem::~SpeedTestItem() {
    // Late reports find no item; the run's destructor cancels and joins.
    ++generation_;
    alive_.reset();
}

void SpeedTestItem::configure(const HostRecord& currentHost, const HostRecord& defaultHost,
                              const HostSet& hosts, const SpeedTestConfig& config) {
    currentHost_ = currentHost;
    defaultHost_ = defaultHost;
    hosts_ = hosts;
    config_ = config;
    defaultName_ = defaultHost.name;
    buildContent();
}

void SpeedTestItem::buildContent() {
    // The rows: one per host, the current host named as such (and first
    // on the screen front end).
    rows_.clear();
    for (int i = 0; i < hosts_.count(); ++i) {
        Row row;
        row.host = hosts_.host(i);
        row.hostIndex = i;
        row.label = row.host.label.isEmpty() ? CString::format(u"主站( %s )", row.host.name)
                                             : row.host.label;
        const bool current = !row.host.name.isEmpty() && row.host.name == currentHost_.name;
        if (current) row.label = CString(u"当前站点( ") + row.host.name + u" )";
        if (current && mode_ == Mode::Screen) {
            rows_.insert(rows_.begin(), std::move(row));
        } else {
            rows_.push_back(std::move(row));
        }
    }

    // The texts, the list, the hint and the buttons.
    const StyleScope own(&ownStyles);
    add(textItem(u"默认主站："));
    add(textItem(u"主站列表："));
    auto list =
        std::make_unique<ChoiceGroup>(CString(), kChoiceExclusive, createChoiceGroupStyle());
    for (size_t i = 0; i < rows_.size(); ++i) {
        list->append(rowText(static_cast<int>(i)), nullptr);
        list->addOptionValue(rows_[i].host.toText());
    }
    hostList_ = list.get();
    add(std::move(list));
    if (mode_ == Mode::Screen && !rows_.empty()) selectRow(0);
    add(textItem(kHint));
    const float scale = screenMetrics().scale;
    const int width = static_cast<int>(kButtonWidth * scale);
    const int height = static_cast<int>(kButtonHeight * scale);
    const bool dialog = mode_ == Mode::Screen;
    auto test = std::make_unique<ButtonItem>(CString(dialog ? u"测速" : u"开始"),
                                             createButtonStyle(), width, height, this);
    test->setOnClick(u"test()");
    testButton_ = test.get();
    add(std::move(test));
    auto setDefault = std::make_unique<ButtonItem>(CString(dialog ? u"设为默认" : u"设置默认"),
                                                   createButtonStyle(), width, height, this);
    setDefault->setOnClick(u"setip()");
    add(std::move(setDefault));
    auto label = textItem(CString::format(u"默认主站：%s", defaultName_));
    defaultLabel_ = label.get();
    add(std::move(label));
}

CString SpeedTestItem::rowText(int row) const {
    if (row < 0 || row >= rowCount()) return CString();
    return rows_[row].label + u'：' + statusText(rows_[row].result, mode_);
}

CString SpeedTestItem::testButtonCaption() const {
    return testButton_ ? testButton_->getCaption() : CString();
}

void SpeedTestItem::refreshRow(int row) {
    if (row < 0 || row >= rowCount() || !hostList_) return;
    hostList_->set(row, rowText(row), nullptr);
    showChange(hostList_);
}

void SpeedTestItem::showChange(Item* item) {
    // A new caption changes the item's size: lay out and paint again.
    item->requestInit();
    if (Display* display = Display::getDisplay()) display->repaint();
}

int SpeedTestItem::selectedRow() const { return hostList_ ? hostList_->getSelectedIndex() : -1; }

void SpeedTestItem::selectRow(int row) {
    if (row < 0 || row >= rowCount() || !hostList_) return;
    hostList_->setSelectedIndex(row, true);
    showChange(hostList_);
}

void SpeedTestItem::setTestButton(const CString& caption, const CString& action) {
    if (!testButton_) return;
    testButton_->setCaption(caption);
    testButton_->setOnClick(action);
    showChange(testButton_);
}

void SpeedTestItem::onEvent(std::unique_ptr<Event> event) {
    auto* button = dynamic_cast<ButtonEvent*>(event.get());
    if (!button) return;
    const CString action = button->getClickAction();
    if (isAction(action, u"test")) {
        startTest();
    } else if (isAction(action, u"cancle")) {
        cancelTest();
    } else if (isAction(action, u"setip")) {
        setDefaultHost();
    }
}

void SpeedTestItem::hideNotify() {
    Container::hideNotify();
    if (testing_) cancelTest();
}

// --- the test ---------------------------------------------------------------------------------

void SpeedTestItem::startTest() {
    // The worker of a cancelled test that never ended blocks a new one.
    if (testing_ || run_->running()) return;
    const int generation = ++generation_;
    std::vector<HostRecord> hosts;
    for (size_t i = 0; i < rows_.size(); ++i) {
        // Each row's value is its host's text; the test reads it back.
        HostRecord host;
        host.parse(hostList_->getValues()[i]);
        hosts.push_back(host);
        rows_[i].result = -1;
        refreshRow(static_cast<int>(i));
    }
    std::weak_ptr<int> alive = alive_;
    auto onReport = [this, alive, generation](int row, int result) {
        postToUi([this, alive, generation, row, result] {
            if (alive.lock()) report(generation, row, result);
        });
    };
    auto onDone = [this, alive, generation](bool cancelled) {
        postToUi([this, alive, generation, cancelled] {
            if (alive.lock()) finished(generation, cancelled);
        });
    };
    if (!run_->start(std::move(hosts), config_, onReport, onDone)) return;
    testing_ = true;
    setTestButton(u"取消", u"cancle()");
}

void SpeedTestItem::report(int generation, int row, int result) {
    if (generation != generation_ || row < 0 || row >= rowCount()) return;
    rows_[row].result = result;
    refreshRow(row);
}

void SpeedTestItem::finished(int generation, bool cancelled) {
    if (generation != generation_) return;
    testing_ = false;
    setTestButton(u"测速", u"test()");
    if (!cancelled) messageBox(u"测速完成", u"提示", MessageBoxType::Ok);
}

void SpeedTestItem::cancelTest() {
    if (!testing_) return;
    setTestButton(u"取消中", u"cancle()");
    // Whatever the worker still reports belongs to this test: dropped.
    ++generation_;
    run_->cancel(kCancelWaitMs);
    testing_ = false;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].result == -2) rows_[i].result = -1;
        refreshRow(static_cast<int>(i));
    }
    setTestButton(u"测速", u"test()");
}

void SpeedTestItem::setDefaultHost() {
    if (testing_) {
        messageBox(u"测速过程中，不能设置站点，请稍后！", kInfoCaption, MessageBoxType::Ok);
        return;
    }
    if (mode_ == Mode::Screen) {
        const int selected = selectedRow();
        if (rows_.empty() || selected < 0) return;
        const CString name = nameInParentheses(rowText(selected));
        if (messageBox(CString::format(kAskDefault, name), kChoiceCaption, MessageBoxType::YesNo) !=
            kIdYes) {
            return;
        }
        defaultName_ = name;
        if (defaultLabel_) {
            defaultLabel_->setText(CString(u"默认主站:") + name);
            showChange(defaultLabel_);
        }
        controller_.chooseHost(rows_[selected].hostIndex);
        return;
    }
    const int selected = selectedRow();
    if (selected < 0 || selected >= rowCount()) {
        messageBox(u"请先选择一个站点", kInfoCaption, MessageBoxType::Ok);
        return;
    }
    HostRecord host;
    host.parse(hostList_->getValues()[selected]);
    if (host.name == defaultName_) return;
    if (messageBox(CString::format(kAskDefault, host.name), kInfoCaption, MessageBoxType::YesNo) !=
        kIdYes) {
        return;
    }
    defaultName_ = host.name;
    if (defaultLabel_) {
        defaultLabel_->setText(CString::format(u"默认主站：%s", host.name));
        showChange(defaultLabel_);
    }
    controller_.saveHostChoice(host.toText());
}

// --- the screen front end ---------------------------------------------------------------------

namespace {

Style* formStyleIn(StyleArena& arena, const char16_t* className) {
    const StyleScope own(&arena);
    Style* style = createFormStyle();
    if (className) applyStyleClass(style, className);
    return style;
}

}  // namespace

SpeedTestScreen::SpeedTestScreen(PageController& controller, Screen* under)
    : Form(CString(), formStyleIn(ownStyles, nullptr)),
      controller_(controller),
      under_(under),
      backCommand_(std::make_shared<Command>(CString(u"返"), kCommandBack, 1)) {
    setHeaderText(kTitle);
    auto item = std::make_unique<SpeedTestItem>(controller, SpeedTestItem::Mode::Screen);
    item_ = item.get();
    append(std::move(item));
    addCommand(backCommand_);
    setCommandListener(this);
}

void SpeedTestScreen::commandAction(Command* command, Displayable*) {
    if (command == backCommand_.get()) controller_.speedTest().closeSpeedTestScreen();
}

SpeedTestPage::SpeedTestPage(PageController& controller, const HostRecord& current,
                             const SpeedTestConfig& config)
    : Form(CString(), formStyleIn(ownStyles, u"body")) {
    setHeaderText(kTitle);
    auto item = std::make_unique<SpeedTestItem>(controller, SpeedTestItem::Mode::Page);
    item->configure(current, controller.currentHost(), controller.hostSet(), config);
    append(std::move(item));
    setCommandListener(&controller);
    setEventListener(&controller);
}

SpeedTestConfig speedTestConfig(const PageController& controller) {
    SpeedTestConfig config;
    HttpSession* session = controller.session();
    config.connectionType =
        session ? session->connectionType() : connectionTypeNumber(ConnectionMode::Direct);
    config.waitMs = session ? session->replyWaitMs() : controller.replyWaitMs();
    // The gateway the user configured, as the page requests use it.
    config.gateway =
        session ? session->gateway()
                : gatewayForCarrier(const_cast<PageController&>(controller).hostSet().carrierName(),
                                    Application::gatewayFromSettings(controller.settings()));
    return config;
}

// --- the action ---------------------------------------------------------------------------------

void SpeedTestAction::onSpeedTest(const CString& piece) {
    // The host in use.
    const CString argument = cutActionArgument(piece, u"speedtest", u"spt");
    const bool curHost =
        controller_.getSystemValue(u"sys-hostset-mode").equalsNoCase(CString(u"1"));
    HostRecord current;
    current.parse(controller_.getSystemValue(curHost ? u"sys-curhost" : u"sys-last-choice"));
    const SpeedTestConfig config = speedTestConfig(controller_);

    // "new": a page of its own in the history.
    if (CString(argument).trim().equalsNoCase(CString(u"new"))) {
        auto entry = std::make_unique<PageEntry>();
        entry->screen = std::make_unique<SpeedTestPage>(controller_, current, config);
        controller_.showPage(std::move(entry), -1, false, makeCancelFlag());
        return;
    }

    // Otherwise the screen over the current page.
    closeSpeedTestScreen();
    Screen* under = controller_.currentScreen();
    speedTestScreen_ = std::make_unique<SpeedTestScreen>(controller_, under);
    speedTestScreen_->item().configure(current, controller_.currentHost(), controller_.hostSet(),
                                       config);
    if (Display* display = Display::getDisplay()) {
        display->setCurrent(speedTestScreen_.get(), true);
        display->repaint();
    }
}

void SpeedTestAction::closeSpeedTestScreen() {
    if (!speedTestScreen_) return;
    Screen* under = speedTestScreen_->under();
    if (Display* display = Display::getDisplay()) {
        if (display->getCurrent() == speedTestScreen_.get()) {
            // Hiding the screen cancels its test.
            display->setCurrent(
                under && under == controller_.currentScreen() ? under : controller_.currentScreen(),
                true);
            display->repaint();
        }
    }
    speedTestScreen_->item().cancelTest();
    // The screen may be inside its own command handler: freed on a later round.
    std::shared_ptr<SpeedTestScreen> closing(std::move(speedTestScreen_));
    postToUi([closing] {});
}

}  // namespace zq
