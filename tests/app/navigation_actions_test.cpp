// The navigation actions run against any ActionHost: a recording host stands
// in for the controller and logs what each action asks of it.
#include "app/navigation_actions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/page_history.h"
#include "app/page_loader.h"
#include "app/settings_store.h"
#include "core/zq_exception.h"
#include "tests/support/test_env.h"

namespace zq {
namespace {

class RecordingHost : public ActionHost {
public:
    std::vector<std::string> log;
    std::map<CString, CString> memory;
    PageHistory pages;
    ZQException errorObject;
    ControllerFolders paths;

    PageEntry* currentEntry() const override { return nullptr; }
    Screen* currentScreen() const override { return nullptr; }
    int currentScreenId() const override { return 7; }
    Item* getItemByName(const CString&) const override { return nullptr; }
    Item* eventSource() const override { return nullptr; }
    EventListener* eventListener() override { return nullptr; }
    CommandListener* commandListener() override { return nullptr; }
    int openUrl(const PageRequest& request) override {
        log.push_back("open " + request.url.toUtf8() + " " + std::to_string(request.screenId) +
                      (request.replace ? " replace" : "") +
                      (request.showLoading ? " loading" : "") +
                      (request.blockInput ? " blocked" : ""));
        return 0;
    }
    void onAction(const CString& actions) override { log.push_back("run " + actions.toUtf8()); }
    void onSubmittedAction(const CString& actions) override {
        log.push_back("send " + actions.toUtf8());
    }
    void goHistory(int offset) override { log.push_back("history " + std::to_string(offset)); }
    PageHistory& history() override { return pages; }
    void makeCurrent(PageEntry*) override {}
    void showPage(std::unique_ptr<PageEntry>, int, bool, const CancelFlag&) override {}
    void postToHost(std::function<void()>) override {}
    ZQException& errors() override { return errorObject; }
    CString memoryValue(const CString& key) const override {
        auto it = memory.find(key);
        return it == memory.end() ? CString() : it->second;
    }
    CString currentUser() const override { return CString(); }
    CString getSystemValue(const CString&) const override { return CString(); }
    SettingsStore& settings() override { return store; }
    void setSetting(const CString&, const CString&, int, bool, const CString&) override {}
    const ControllerFolders& folders() const override { return paths; }
    void useWatchListOf(const CString&) override {}
    WatchList* watchList() const override { return nullptr; }

private:
    SettingsStore store{{}, {}};
};

// Each action passes its own replace, loading and input-block choice.
TEST(NavigationActionsOnAHost, EachActionAsksItsOwnOpenOrHistoryStep) {
    RecordingHost host;
    NavigationActions actions(host);
    host.memory[CString(u"mode")] = CString(u"b");
    actions.onForward(u"forward(a.zqml)");
    actions.onKolmForward(u"kfw(b.zqml)");
    actions.onGetData(u"getdata(c.zqml)");
    actions.onUpdate(u"update( d.zqml )");
    actions.onBack(u"back(3)");
    actions.onForBack(u"forback(2)");
    actions.onGoHome(u"gohome()");
    actions.onSwitchForward(u"switchforward(mode==b,forward(x),forward(y))");
    actions.onSwitchForward(u"switchforward(mode==c,forward(x),forward(y))");
    EXPECT_EQ(host.log, (std::vector<std::string>{
                            "open a.zqml 7 loading blocked",
                            "open b.zqml 7 loading blocked",
                            "open c.zqml 7",
                            "open d.zqml 7 replace loading blocked",
                            "history 3",
                            "history -2",
                            "history 1",
                            "run forward(x)",
                            "run forward(y)",
                        }));
}

// Regression: the shipped pages' "返回" entries said "back()", which is
// offset 0, so they stayed on the page. Every one of them goes back a page.
TEST(NavigationActionsOnAHost, TheShippedPagesReturnEntriesGoBack) {
    const std::string caption = "caption=\"\xE8\xBF\x94\xE5\x9B\x9E\"";  // 返回
    int entries = 0;
    for (const auto& file :
         std::filesystem::recursive_directory_iterator(test::sourceDir() / "resources")) {
        if (file.path().extension() != ".zqml") continue;
        std::ifstream in(file.path(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            const size_t at = line.find(caption);
            const size_t action = line.find("action=\"", at == std::string::npos ? 0 : at);
            if (at == std::string::npos || action == std::string::npos) continue;
            const size_t from = action + 8;
            const std::string text = line.substr(from, line.find('"', from) - from);
            RecordingHost host;
            NavigationActions actions(host);
            actions.onBack(CString::fromUtf8(text));
            ++entries;
            EXPECT_EQ(host.log, std::vector<std::string>{"history 1"})
                << file.path().filename() << ": " << text;
        }
    }
    EXPECT_GT(entries, 10);
}

// Openings no key started end after 20 in a row, however far apart, and
// stay refused until the user's next step.
TEST(OpeningChain, EndsOnlyALoop) {
    struct Step {
        int count;         // openings
        bool unprompted;   // no key started them
        bool end = false;  // first the user ends the chain (Back or cancel during it)
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        int refusedAt;  // 1-based opening first refused, 0: none
        int refused;    // openings refused in all
    };
    const Case cases[] = {
        {"a loop", {{1, false}, {25, true}}, 22, 5},
        // Replies a second or more apart, or a paced reload between: the
        // openings of a loop are counted however long each takes.
        {"a slow loop", {{1, false}, {60, true}}, 22, 40},
        {"a pause between", {{15, true}, {15, true}}, 21, 10},
        {"a key between", {{1, false}, {15, true}, {1, false}, {15, true}}, 0, 0},
        {"said, then again after a key", {{21, true}, {1, false}, {21, true}}, 21, 2},
        // Back or cancel gave a slow loop a fresh count each time.
        {"ended by the user",
         {{1, false}, {5, true}, {3, true, true}, {1, false}, {3, true}},
         7,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpeningChain chain;
        int opening = 0;
        int refusedAt = 0;
        int refused = 0;
        for (const Step& step : c.steps) {
            if (step.end) chain.end();
            for (int i = 0; i < step.count; ++i) {
                ++opening;
                if (chain.admit(step.unprompted) == OpeningChain::Verdict::Admitted) continue;
                ++refused;
                if (refusedAt == 0) refusedAt = opening;
            }
        }
        EXPECT_EQ(refusedAt, c.refusedAt);
        EXPECT_EQ(refused, c.refused);
    }
}

}  // namespace
}  // namespace zq
