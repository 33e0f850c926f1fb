// The elements that build nothing: settings, downloads, the watch-list,
// the recent stocks, memory values, key bindings and the rest, each read
// from a page against a host that records what it is asked to change.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "market/watch_list.h"
#include "markup/markup_page.h"
#include "markup/side_effect_builders.h"
#include "platform/files.h"
#include "tests/support/test_env.h"
#include "ui/client_context.h"
#include "ui/command.h"

namespace zq {
namespace {

struct StoredSetting {
    std::string name;
    std::string value;
    int type;
    std::string mode;
};

class FakeHost : public PageHost, public SideEffectHost {
public:
    explicit FakeHost(std::filesystem::path folder) : folder_(std::move(folder)) {}
    void onEvent(std::unique_ptr<Event>) override {}
    SideEffectHost* sideEffects() override { return this; }
    void setDnKey(const CString& key) override { dnKey = key.toUtf8(); }

    void setSessionValue(const CString& pageKey, const CString& name,
                         const CString& value) override {
        sessions[pageKey.toUtf8()] = name.toUtf8() + "=" + value.toUtf8();
    }
    void storeSetting(const CString& name, const CString& value, int type,
                      const CString& mode) override {
        settings.push_back({name.toUtf8(), value.toUtf8(), type, mode.toUtf8()});
    }
    std::optional<std::string> fetchBytes(const CString& href) override {
        fetched.push_back(href.toUtf8());
        return download;
    }
    void addLoadingProgress(int delta) override { progress += delta; }
    std::filesystem::path resourceFolder() const override { return folder_; }
    WatchList* currentWatchList() override { return hasList ? &list : nullptr; }
    void switchUser(const CString& name) override { user = name.toUtf8(); }
    RecentStockList* recentStocks() override { return &recent; }
    bool loginFlag() const override { return login; }
    void setLoginFlag(bool on) override { login = on; }
    void setMemoryValue(const CString& name, const CString& value) override {
        memory[name.toUtf8()] = value.toUtf8();
    }
    void removeMemoryValue(const CString& name) override { memory.erase(name.toUtf8()); }
    void setMarqueeText(const CString& id, const CString& text) override {
        marquees[id.toUtf8()] = text.toUtf8();
    }
    bool setGridCellImages(const CString& gid, const CString& cell, ImageRef normal,
                           ImageRef focused) override {
        return gridCells ? gridCells(gid, cell, std::move(normal), std::move(focused)) : false;
    }

    std::map<std::string, std::string> sessions;
    std::map<std::string, std::string> marquees;
    std::function<bool(const CString&, const CString&, ImageRef, ImageRef)> gridCells;
    std::vector<StoredSetting> settings;
    std::vector<std::string> fetched;
    std::optional<std::string> download = std::string("new bytes");
    int progress = 0;
    bool hasList = true;
    WatchList list;
    RecentStockList recent;
    std::string user;
    std::string dnKey;
    bool login = false;
    std::map<std::string, std::string> memory;

private:
    std::filesystem::path folder_;
};

class SideEffectsTest : public ::testing::Test {
protected:
    ClientContext context_;
    SideEffectsTest() { std::filesystem::create_directories(resource()); }
    // The resource folder lies inside the scratch folder, so a name that
    // climbs out of it would land beside it.
    std::filesystem::path resource() const { return scratch_.path() / "res"; }
    std::unique_ptr<MarkupPage> load(const std::string& elements, const char* key = "h:1") {
        auto page = std::make_unique<MarkupPage>();
        page->loadPage("<zqml>" + elements + "<body/></zqml>", &host_, CString(key));
        return page;
    }
    std::vector<std::string> filesUnder(const std::filesystem::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        }
        return names;
    }

    test::TempDir scratch_;
    FakeHost host_{resource()};
};

TEST_F(SideEffectsTest, SaveParsesItsTypeAndStoresOnlyTheVersionAfterAFailedDownload) {
    struct Case {
        const char* element;
        bool afterFailedDown;
        bool stored;
        int type;
        const char* mode;
    };
    const Case cases[] = {
        {R"z(<save name="a" value="1"/>)z", false, true, 1, "all"},
        {R"z(<sv n="a" v="1" t="3" m="none"/>)z", false, true, 3, "none"},
        {R"z(<save name="a" type="3x"/>)z", false, true, 1, "all"},
        {R"z(<save name="a" type="-3"/>)z", false, true, 1, "all"},
        {R"z(<save name="a" type="99999999999"/>)z", false, true, 2147483647, "all"},
        {R"z(<save name="sys_tempver" value="7"/>)z", true, true, 1, "all"},
        {R"z(<save name="SYS-TEMPVER" value="7"/>)z", true, true, 1, "all"},
        {R"z(<save name="sys-clientver" value="7"/>)z", true, false, 0, ""},
        {R"z(<save name="a" value="1"/>)z", true, false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.element);
        host_.settings.clear();
        std::string page = c.element;
        if (c.afterFailedDown) page = R"z(<down href="x" filename="/etc/x"/>)z" + page;
        load(page);
        ASSERT_EQ(host_.settings.size(), c.stored ? 1u : 0u);
        if (!c.stored) continue;
        EXPECT_EQ(host_.settings[0].type, c.type);
        EXPECT_EQ(host_.settings[0].mode, c.mode);
    }
    // The name is stored as written.
    host_.settings.clear();
    load(R"z(<down href="x" filename="/etc/x"/><save name="sys_tempver" value="7"/>)z");
    ASSERT_EQ(host_.settings.size(), 1u);
    EXPECT_EQ(host_.settings[0].name, "sys_tempver");
}

TEST_F(SideEffectsTest, DownRefusesNamesThatLeaveTheResourceFolder) {
    const std::string longName(4000, 'a');
    const std::string names[] = {
        "..\\..\\x", "/etc/x", "C:\\x", "a/../../x", "file://../x", "", longName, "sub4/", "sub4\\",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name.substr(0, 40));
        auto page = std::make_unique<MarkupPage>();
        page->loadPage("<zqml><down href=\"x\" filename=\"" + name + "\"/></zqml>", &host_);
        EXPECT_FALSE(page->downloadOk());
    }
    // A NUL inside the attribute cannot reach the page text; the name
    // itself is refused by the path check.
    EXPECT_FALSE(confinedResourcePath(resource(), CString(u"a\0b", 3)));
    // "%2e%2e" is a plain name inside the folder.
    load(R"z(<down href="x" filename="%2e%2e/x"/>)z");
    EXPECT_TRUE(std::filesystem::exists(resource() / "%2e%2e" / "x"));
    EXPECT_EQ(filesUnder(scratch_.path()), std::vector<std::string>{"x"});
    EXPECT_FALSE(std::filesystem::exists(resource() / "sub4"));
}

TEST_F(SideEffectsTest, DownReplacesTheFileWholeOrNotAtAll) {
    ASSERT_TRUE(writeFileAtomic(resource() / "old.txt", "old bytes"));
    auto read = [&] { return readFile(resource() / "old.txt").value_or("<gone>"); };

    // The fetch breaks off: the old file stays and the flag with it.
    host_.download.reset();
    auto page = load(R"z(<down href="x" filename="file://old.txt"/>)z");
    EXPECT_EQ(read(), "old bytes");
    EXPECT_TRUE(page->downloadOk());
    EXPECT_EQ(host_.progress, 0);

    // The write cannot happen (a file where its folder should be): the
    // flag is cleared and nothing else changes.
    host_.download = "new bytes";
    ASSERT_TRUE(writeFileAtomic(resource() / "plain", "p"));
    page = load(R"z(<down href="x" filename="plain/old.txt"/>)z");
    EXPECT_FALSE(page->downloadOk());

    // A good download replaces it through a temporary file that is gone
    // afterwards; folders are made as needed.
    host_.progress = 0;
    page = load(R"z(<do hf="x" fn="file://old.txt"/><down href="y" filename="d/e/f.txt"/>)z");
    EXPECT_TRUE(page->downloadOk());
    EXPECT_EQ(read(), "new bytes");
    EXPECT_EQ(readFile(resource() / "d" / "e" / "f.txt").value_or(""), "new bytes");
    EXPECT_EQ(host_.progress, 140);
    EXPECT_EQ(filesUnder(resource()).size(), 3u);
}

TEST_F(SideEffectsTest, WatchListElements) {
    // "autodown" empties both lists, then adds by type; any other type
    // leaves them empty.
    host_.list.add(kWatchStock, u"1");
    host_.list.add(kWatchFund, u"9");
    load(R"z(<autodown code="600000,000001" type="stock"/>)z");
    EXPECT_EQ(host_.list.joinCodes(kWatchStock).toUtf8(), "600000,000001");
    EXPECT_TRUE(host_.list.codes(kWatchFund).empty());
    load(R"z(<autodown code="1,,2,1" type="stock"/>)z");
    EXPECT_EQ(host_.list.joinCodes(kWatchStock).toUtf8(), "1,2");
    // Only codes "add" would take: none that writes lines into the file.
    load(R"z(<autodown c="600001,AB&#10;[fund]&#10;1=666666, 2" t="fund"/>)z");
    EXPECT_EQ(host_.list.joinCodes(kWatchFund).toUtf8(), "600001");
    load(R"z(<ad c="1,2" t="bond"/>)z");
    EXPECT_TRUE(host_.list.codes(kWatchStock).empty());

    load(R"z(<add stock="600000" fund="510050"/><add stock=""/>)z");
    EXPECT_EQ(host_.list.joinCodes(kWatchStock).toUtf8(), "600000");
    EXPECT_EQ(host_.list.joinCodes(kWatchFund).toUtf8(), "510050");

    // "stockcode": the soft key toggles with the list's content.
    struct Case {
        const char* element;
        const char* label;
        const char* action;
    };
    const Case cases[] = {
        {R"z(<stockcode code="600000" addaction="a()" delaction="d()"/>)z", "删除自选", "d()"},
        {R"z(<sc c="600001" a="a()" d="d()"/>)z", "添加自选", "a()"},
        {R"z(<sc c="510050" a="a()" d="d()" st="fund"/>)z", "删除自选", "d()"},
        {R"z(<sc c="510050" a="a()" d="d()" st="bond"/>)z", "添加自选", "a()"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.element);
        auto page = load(c.element);
        ASSERT_TRUE(page->pendingCommandTree());
        EXPECT_EQ(page->pendingCommandTree()->getCommand()->getLabel().toUtf8(), c.label);
        EXPECT_EQ(page->pendingCommandTree()->getAction().toUtf8(), c.action);
    }
    host_.hasList = false;
    EXPECT_FALSE(load(R"z(<sc c="1" a="a()"/>)z")->pendingCommandTree());
    load(R"z(<add stock="7"/><autodown code="7" type="stock"/>)z");  // nothing to change

    load(R"z(<saveuser name="li"/>)z");
    EXPECT_EQ(host_.user, "li");
}

TEST_F(SideEffectsTest, RecentMemoryKeysAndTexts) {
    // "addrecent": an empty code adds nothing; the newest goes first.
    load(R"z(<addrecent code="" name="x"/><acb code="1" name="a"/><acb code="2" name="b"/>)z");
    EXPECT_EQ(host_.recent.toText().toUtf8(), "2:b,1:a");

    // "memsave": the login flag follows "var-login" in any case.
    struct Case {
        const char* element;
        bool login;
    };
    const Case cases[] = {
        {R"z(<memsave name="VAR-LOGIN" value="TRUE"/>)z", true},
        {R"z(<me n="var-login" v="maybe"/>)z", true},
        {R"z(<me n="var-login" v="false"/>)z", false},
        {R"z(<me n="other" v="true"/>)z", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.element);
        load(c.element);
        EXPECT_EQ(host_.login, c.login);
        // The flag text items read followed the page too (it never did).
        EXPECT_EQ(loginFlag(), c.login);
    }
    host_.login = true;
    load(R"z(<me n="another" v="x"/>)z");
    EXPECT_TRUE(loginFlag());
    context_.setLoginFlag(false);
    EXPECT_EQ(host_.memory["var-login"], "false");
    EXPECT_EQ(host_.memory["other"], "true");
    load(R"z(<memsave name="" value="x"/>)z");
    EXPECT_EQ(host_.memory.count(""), 0u);

    // "key": three codes, one action; "name"/"value" when those are absent.
    auto page =
        load(R"z(<key keycode="up,5, all" action="back(1)"/><key name="#" value="gh()"/>)z");
    std::map<std::string, std::string> bindings;
    for (const auto& [code, action] : page->keyBindings())
        bindings[code.toUtf8()] = action.toUtf8();
    EXPECT_EQ(bindings,
              (std::map<std::string, std::string>{
                  {"up", "back(1)"}, {"5", "back(1)"}, {"all", "back(1)"}, {"#", "gh()"}}));

    // "head", "session", "des", "marqueeUpdate", "redirectfile".
    page = load(R"z(<head><save name="a"/></head><se n="sid" v="42"/><des type="DN" value="k"/>)z"
                R"z(<mqd id="m1" str="hello"/><redirectfile url="a.zqml"/><rf url=""/>)z");
    EXPECT_EQ(page->title().toUtf8(), "标题栏");
    EXPECT_EQ(host_.settings.back().name, "a");
    EXPECT_EQ(host_.sessions["h:1"], "sid=42");
    EXPECT_EQ(host_.dnKey, "k");
    EXPECT_EQ(host_.marquees["m1"], "hello");
    ASSERT_EQ(redirectFiles(*page).size(), 1u);
    EXPECT_EQ(redirectFiles(*page)[0].toUtf8(), "a.zqml");
    host_.sessions.clear();
    load(R"z(<session name="sid" value="1"/>)z", "");
    EXPECT_TRUE(host_.sessions.empty());
}

// This thread's processor time in seconds: unlike the wall clock, other
// programs running beside it do not add to it.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Each bound code was compared with every earlier one on the screen, and
// each "autodown" code with the whole list: minutes for a long page. Four
// times the codes must take about four times the work, not sixteen.
TEST_F(SideEffectsTest, ManyCodesTakeLinearTime) {
    auto build = [&](int count) {
        std::string codes;
        for (int i = 0; i < count; ++i) {
            if (i > 0) codes += ',';
            codes += std::to_string(i);
        }
        std::string elements = "<key action=\"gh()\" keycode=\"";
        elements += codes;
        elements += "\"/><autodown type=\"stock\" code=\"";
        elements += codes;
        elements += "\"/>";
        // The lesser of two runs: a cold cache costs the first one more.
        double best = 1e9;
        for (int run = 0; run < 2; ++run) {
            const double start = threadSeconds();
            auto page = load(elements);
            best = std::min(best, threadSeconds() - start);
            EXPECT_NE(page->form(), nullptr);
            EXPECT_EQ(page->keyBindings().size(), static_cast<size_t>(count));
            // A list holds no more than add() lets it.
            EXPECT_EQ(host_.list.codes(kWatchStock).size(), WatchList::kMaxCodes);
        }
        return best;
    };
    const double small = build(6000);
    const double large = build(24000);
    EXPECT_LT(large, 8 * small) << small << " s, then " << large << " s of processor time";
}

TEST_F(SideEffectsTest, LoginStatusHandsConfinedPicturesToTheGridMenu) {
    std::filesystem::create_directories(resource() / "images");
    std::filesystem::copy_file(test::sourceDir() / "resources" / "images" / "back.png",
                               resource() / "images" / "on.png");
    std::filesystem::copy_file(test::sourceDir() / "resources" / "images" / "back.png",
                               scratch_.path() / "outside.png");
    struct Call {
        std::string gid;
        std::string cell;
        bool normal;
        bool focused;
    };
    std::vector<Call> calls;
    host_.gridCells = [&](const CString& gid, const CString& cell, ImageRef normal,
                          ImageRef focused) {
        calls.push_back({gid.toUtf8(), cell.toUtf8(), bool(normal), bool(focused)});
        return gid == CString(u"g1");
    };
    load(R"z(<loginstatus gid="g1" id="2" path="file://images/on.png" iconpath="images/on.png"/>)z"
         R"z(<ls gid="g9" id="1" path="file://../outside.png" iconpath="file://images/on.png"/>)z");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].gid, "g1");
    EXPECT_EQ(calls[0].cell, "2");
    EXPECT_TRUE(calls[0].normal);
    EXPECT_FALSE(calls[0].focused);  // not a "file://" text: no picture
    EXPECT_FALSE(calls[1].normal);   // outside the resource folder
    EXPECT_TRUE(calls[1].focused);
}

}  // namespace
}  // namespace zq
