#include "items/table_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/zq_exception.h"

namespace zq {
namespace {

using Rows = std::vector<std::vector<CString>>;

TextRow head(std::initializer_list<const char16_t*> titles) {
    TextRow row;
    for (const char16_t* t : titles) row.emplace_back(t);
    return row;
}

std::unique_ptr<TextRows> textRows(int rows, int columns) {
    Rows out(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            out[static_cast<size_t>(r)].push_back(CString::format(CString(u"%d.%d"), r, c));
        }
    }
    return makeTableRows(out);
}

std::string thrownText(const std::function<void()>& call) {
    try {
        call();
    } catch (const ZQException& e) {
        return e.what();
    }
    return "(none)";
}

TEST(SimpleTableModel, NullDataTakesColumnsFromHead) {
    SimpleTableModel model(nullptr, nullptr, head({u"a", u"b", u"c"}), std::nullopt);
    EXPECT_EQ(model.getRowCount(), 0);
    EXPECT_EQ(model.getColumnCount(), 3);
    EXPECT_EQ(model.getColumnAlignment(2), 4u);
    EXPECT_EQ(model.getColumnAlignment(3), 4u);
    EXPECT_EQ(model.getValueAt(0, 0), CString());
}

TEST(SimpleTableModel, ChecksThrowExactTextsAndKeepOldRows) {
    SimpleTableModel model(textRows(2, 6), nullptr, head({u"1", u"2", u"3", u"4", u"5", u"6"}),
                           std::nullopt);
    auto nullSecond = textRows(2, 6);
    (*nullSecond)[1].reset();
    auto shortColors = makeTableRows<int32_t>({{1, 2, 3, 4, 5, 6}, {1, 2}});
    auto badFirstColor = makeTableRows<int32_t>({{1, 2}});
    auto badFlags = makeTableRows<int16_t>({{1, 2, 3, 4, 5, 6}, {1}});
    struct Case {
        std::function<void()> call;
        const char* text;
    } cases[] = {
        {[&] { model.setData(textRows(1, 5), false); },
         "Head and data cannot contain different row lengths "},
        {[&] { model.setData(std::move(nullSecond), false); }, "Data cannot contain null rows "},
        {[&] { model.setColors(std::move(shortColors), false); },
         "Data cannot contain different row lengths"},
        {[&] { model.setColors(std::move(badFirstColor), false); },
         "Head and color cannot contain different row lengths "},
        {[&] { model.setCellFlags(std::move(badFlags), false); },
         "Data cannot contain different row lengths "},
        {[&] { model.setExtraRows(textRows(1, 6)); },
         "Head and data cannot contain different row lengths "},
    };
    for (Case& c : cases) EXPECT_EQ(thrownText(c.call), c.text);
    EXPECT_EQ(model.getRowCount(), 2);
    EXPECT_EQ(model.getValueAt(5, 1), CString(u"1.5"));
    model.setExtraRows(textRows(1, 7));
    EXPECT_EQ(model.getExtraRowLength(0), 7);
    EXPECT_EQ(model.getExtraAt(0, 6), CString(u"0.6"));
    EXPECT_EQ(model.getExtraAt(3, 0), CString());
}

TEST(SimpleTableModel, RemoveAndSwapKeepParallelArraysTogether) {
    SimpleTableModel model(
        makeTableRows<CString>(
            {{u"600000", u"A"}, {u"000001", u"B"}, {u"600000", u"C"}, {u"600000", u"D"}}),
        makeTableRows<int32_t>({{1, 1}, {2, 2}}), std::nullopt, std::nullopt);
    model.setColumnKeys(head({u"code", u"name"}));
    const std::vector<CString> twice = {CString(u"600000"), CString(u"600000"), CString(u"x")};
    EXPECT_TRUE(model.removeRowsByValue(&twice, CString(u"CODE")));
    ASSERT_EQ(model.getRowCount(), 2);
    EXPECT_EQ(model.getValueAt(1, 0), CString(u"B"));
    EXPECT_EQ(model.getValueAt(1, 1), CString(u"D"));
    // The colour rows were shorter: they lost only the rows they had.
    EXPECT_EQ(model.getColorAt(0, 0), 2);
    EXPECT_EQ(model.getColorAt(0, 1), 0);
    EXPECT_FALSE(model.removeRowsByValue(&twice, CString(u"price")));
    EXPECT_FALSE(model.removeRowsByValue(nullptr, CString(u"code")));

    EXPECT_FALSE(model.swapRows(0, 2));
    EXPECT_TRUE(model.swapRows(0, 1));
    EXPECT_EQ(model.getValueAt(1, 0), CString(u"D"));
    EXPECT_FALSE(model.removeRow(2));
    EXPECT_FALSE(model.removeRow(-1));
    EXPECT_TRUE(model.removeRow(0));
    EXPECT_EQ(model.getRowCount(), 1);
}

TEST(SimpleTableModel, GuardsExcludeWritersAndReaders) {
    SimpleTableModel model(nullptr, nullptr, std::nullopt, std::nullopt);
    ASSERT_TRUE(model.tryLockRead());
    ASSERT_TRUE(model.tryLockRead());
    EXPECT_FALSE(model.tryLockWrite());
    model.unlockRead();
    model.unlockRead();
    model.unlockRead();  // never below 0
    ASSERT_TRUE(model.tryLockWrite());
    EXPECT_FALSE(model.tryLockRead());
    EXPECT_FALSE(model.tryLockWrite());
    model.unlockWrite();
    EXPECT_TRUE(model.tryLockRead());
    model.unlockRead();
}

// A painter that paints again and again kept a writer out: its read guards
// overlapped, so the model was never free when the writer tried.
TEST(SimpleTableModel, AWaitingWriterHoldsNewReadersBack) {
    SimpleTableModel model(nullptr, nullptr, std::nullopt, std::nullopt);
    ASSERT_TRUE(model.lockRead());
    std::atomic<bool> written{false};
    std::thread writer([&] {
        if (!model.lockWrite()) return;
        written = true;
        model.unlockWrite();
    });
    // Once the writer waits, no new reader gets in, not even by trying.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool heldBack = false;
    while (!heldBack && std::chrono::steady_clock::now() < deadline) {
        heldBack = !model.tryLockRead();
        if (!heldBack) model.unlockRead();
        std::this_thread::yield();
    }
    EXPECT_TRUE(heldBack);
    EXPECT_FALSE(written);
    model.unlockRead();
    EXPECT_TRUE(model.lockRead());
    writer.join();
    EXPECT_TRUE(written);
    model.unlockRead();
}

TEST(SimpleTableModel, OverlappingReadersDoNotStarveAWriter) {
    SimpleTableModel model(textRows(1, 1), nullptr, std::nullopt, std::nullopt);
    std::atomic<bool> stop{false};
    auto paintAgainAndAgain = [&] {
        while (!stop) {
            TableReadLock lock(model);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    std::thread painter1(paintAgainAndAgain);
    std::thread painter2(paintAgainAndAgain);
    int landed = 0;
    for (int i = 0; i < 20; ++i) {
        if (!model.lockWrite()) continue;
        model.setData(textRows(i + 1, 1), false);
        model.unlockWrite();
        ++landed;
    }
    stop = true;
    painter1.join();
    painter2.join();
    EXPECT_EQ(landed, 20);
    EXPECT_EQ(model.getRowCount(), 20);
}

struct CountingListener : TableModelListener {
    std::atomic<int> calls{0};
    void tableChanged(SimpleTableModel*) override { ++calls; }
};

TEST(SimpleTableModel, ListenersAreWeakAndRemovable) {
    SimpleTableModel model(nullptr, nullptr, std::nullopt, std::nullopt);
    auto kept = std::make_shared<CountingListener>();
    auto gone = std::make_shared<CountingListener>();
    model.addListener(kept);
    model.addListener(kept);
    model.addListener(gone);
    model.addListener(nullptr);
    gone.reset();
    model.fireTableChanged();
    EXPECT_EQ(kept->calls, 2);
    model.removeListener(kept.get());
    model.fireTableChanged();
    EXPECT_EQ(kept->calls, 2);
}

// A reply thread refills the model with the writer protocol while another
// thread paints it under the read guard; every write lands. Run under
// ThreadSanitizer too.
TEST(SimpleTableModel, WriterAndPainterStress) {
    auto model = std::make_shared<SimpleTableModel>(textRows(50, 4), nullptr,
                                                    head({u"a", u"b", u"c", u"d"}), std::nullopt);
    auto listener = std::make_shared<CountingListener>();
    model->addListener(listener);
    std::atomic<bool> stop{false};
    std::atomic<int> inconsistent{0};
    int landed = 0;
    std::thread writer([&] {
        for (int i = 0; i < 300; ++i) {
            if (!model->lockWrite()) continue;
            model->setData(textRows(i % 70, 4), false);
            model->setColors(makeTableRows<int32_t>({{1, 2, 3, 4}}), false);
            model->unlockWrite();
            model->fireTableChanged();
            ++landed;
        }
        stop = true;
    });
    std::thread painter([&] {
        while (!stop) {
            TableReadLock lock(*model);
            if (!lock.held()) continue;
            const int rows = model->getRowCount();
            for (int r = 0; r < rows; ++r) {
                if (model->getValueAt(3, r).isEmpty()) ++inconsistent;
            }
        }
    });
    writer.join();
    painter.join();
    EXPECT_EQ(inconsistent, 0);
    EXPECT_EQ(landed, 300);
    EXPECT_EQ(model->getRowCount(), 299 % 70);
    EXPECT_EQ(listener->calls, 300);
}

}  // namespace
}  // namespace zq
