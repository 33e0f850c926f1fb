// The two front ends of the server speed test.
//
// SpeedTestItem is the page item (the "speedtest(new)" page): a list of the
// hosts with their results, a start/cancel button and a button that makes
// the chosen host the default. SpeedTestScreen shows the same item as a
// screen of its own over the current page ("speedtest()") and goes back to
// that page when it is closed; its default host is stored by host index.
//
// The host list is a choice group of radio rows, each with its host's text
// (HostRecord::toText) as its value; each row also keeps its host's index
// in the host set, so the rows may be ordered differently from the set.
//
// Threads: UI thread. The worker's reports are posted to the UI thread and
// dropped when they belong to a test that was cancelled or to an item that
// is gone.
#pragma once

#include <memory>
#include <vector>

#include "core/host_record.h"
#include "net/host_set.h"
#include "net/speed_test.h"
#include "platform/cstring.h"
#include "ui/container.h"
#include "ui/form.h"
#include "ui/listeners.h"
#include "ui/style.h"

namespace zq {

class ButtonItem;
class ChoiceGroup;
class PageController;
class StringItem;

class SpeedTestItem : private OwnedStyles, public Container, public EventListener {
public:
    enum class Mode {
        Page,    // the default is stored as the host's text ("sys-curhost"/"sys-last-choice")
        Screen,  // the default is stored by the host's index in the set
    };
    // How long cancelling waits for the worker before the item stops waiting.
    static constexpr uint32_t kCancelWaitMs = 3000;

    SpeedTestItem(PageController& controller, Mode mode);
    ~SpeedTestItem() override;

    // Copies the hosts and both records and builds the content.
    void configure(const HostRecord& currentHost, const HostRecord& defaultHost,
                   const HostSet& hosts, const SpeedTestConfig& config);

    // Button events: "test", "cancle", "setip".
    void onEvent(std::unique_ptr<Event> event) override;
    // Leaving the page cancels a running test.
    void hideNotify() override;

    void startTest();
    void cancelTest();
    void setDefaultHost();

    // --- what it shows ---
    int rowCount() const { return static_cast<int>(rows_.size()); }
    CString rowText(int row) const;
    int selectedRow() const;
    void selectRow(int row);
    bool testing() const { return testing_; }
    const CString& defaultHostName() const { return defaultName_; }
    CString testButtonCaption() const;

private:
    struct Row {
        HostRecord host;
        int hostIndex = -1;
        CString label;
        int result = -1;
    };
    void buildContent();
    void refreshRow(int row);
    // The result of a host, posted by the worker.
    void report(int generation, int row, int result);
    void finished(int generation, bool cancelled);
    void setTestButton(const CString& caption, const CString& action);
    void showChange(Item* item);

    PageController& controller_;
    Mode mode_;
    HostRecord currentHost_;
    HostRecord defaultHost_;
    HostSet hosts_;
    SpeedTestConfig config_;
    CString defaultName_;
    std::vector<Row> rows_;
    ChoiceGroup* hostList_ = nullptr;
    bool testing_ = false;
    // Reports of an older test carry an older number and are dropped.
    int generation_ = 0;
    ButtonItem* testButton_ = nullptr;
    StringItem* defaultLabel_ = nullptr;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::unique_ptr<SpeedTestRun> run_;
};

// The speed test as a screen over the current page; "返" closes it.
class SpeedTestScreen : private OwnedStyles, public Form, public CommandListener {
public:
    SpeedTestScreen(PageController& controller, Screen* under);
    SpeedTestItem& item() { return *item_; }
    Screen* under() const { return under_; }
    void commandAction(Command* command, Displayable* source) override;

private:
    PageController& controller_;
    Screen* under_;
    SpeedTestItem* item_ = nullptr;
    CommandRef backCommand_;
};

// The "new" speed test: a page of its own in the history, owning its styles.
class SpeedTestPage : private OwnedStyles, public Form {
public:
    SpeedTestPage(PageController& controller, const HostRecord& current,
                  const SpeedTestConfig& config);
};

// The speed-test settings of the controller: its connection type, reply
// wait and the carrier's gateway.
SpeedTestConfig speedTestConfig(const PageController& controller);

// The "speedtest" action: "new" shows the test as a page of its own in the
// history, anything else as a screen over the current page.
class SpeedTestAction {
public:
    explicit SpeedTestAction(PageController& controller) : controller_(controller) {}
    SpeedTestAction(const SpeedTestAction&) = delete;
    SpeedTestAction& operator=(const SpeedTestAction&) = delete;

    void onSpeedTest(const CString& piece);
    SpeedTestScreen* speedTestScreen() const { return speedTestScreen_.get(); }
    // Closes the speed-test screen and shows the page under it again.
    void closeSpeedTestScreen();

private:
    PageController& controller_;
    std::unique_ptr<SpeedTestScreen> speedTestScreen_;
};

}  // namespace zq
