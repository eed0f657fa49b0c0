// The main window's description, start-up and link labels, run against the recording toolkit.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <string>

#include "lookup/run_lookup.h"
#include "tests/ui/recording_toolkit.h"
#include "text/codepage.h"

namespace {

// The UTF-8 text in code page 936, by the converter of the text module (tested on its own against the
// platform's converter).
std::string gbk_of(const char* utf8) { return utf8_to_local(Text(utf8)).bytes(); }

const ControlDescription& control(std::string_view name) {
    const ControlDescription* c = find_control(main_window_description(), name);
    if (c == nullptr) ADD_FAILURE() << "no control " << name;
    static const ControlDescription none{};
    return c ? *c : none;
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override { recording_toolkit().reset(); }
};

TEST_F(MainWindowTest, StartProgramStartsCreatesRunsAndReturnsZero) {
    EXPECT_EQ(start_program(), 0);
    EXPECT_EQ(recording_toolkit().calls, (std::vector<std::string>{"startup", "create", "loop"}));
    EXPECT_EQ(recording_toolkit().created, &main_window_description());
}

TEST_F(MainWindowTest, OpenLabelLinkHandsTheCaptionOverUnchanged) {
    struct Row {
        const char* name;
        Text caption;  // what the label holds
        std::string opened;
    };
    const Row rows[] = {
        {"before any lookup", Text("url"), "url"},
        {"page without a detail url", Text("https:"), "https:"},
        {"shell characters and blanks are not touched", Text("a b;$(x) 'q\" &"), "a b;$(x) 'q\" &"},
        {"two-byte characters stay code page 936", Text("\xB2\xE9\xD1\xAF?id=1"), "\xB2\xE9\xD1\xAF?id=1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        recording_toolkit().reset();
        recording_toolkit().captions["透明标签1"] = row.caption;
        open_label_link("透明标签1");
        ASSERT_EQ(recording_toolkit().opened.size(), 1u);
        EXPECT_EQ(recording_toolkit().opened[0].bytes(), row.opened);
    }
}

TEST_F(MainWindowTest, AnAbsentCaptionIsOpenedAsThePresentEmptyText) {
    open_label_link("透明标签1");
    ASSERT_EQ(recording_toolkit().opened.size(), 1u);
    EXPECT_TRUE(recording_toolkit().opened[0].present());
    EXPECT_TRUE(recording_toolkit().opened[0].empty());
}

TEST_F(MainWindowTest, EachLinkLabelOpensItsOwnCaptionTheQueryLabelLooksUpAndNoOtherControlIsBound) {
    recording_toolkit().captions["透明标签1"] = Text("https://detail.example/p1");
    recording_toolkit().captions["透明标签2"] = Text(kHomePageAddress);
    for (const ControlDescription& c : main_window_description().controls) {
        SCOPED_TRACE(std::string(c.name));
        recording_toolkit().opened.clear();
        if (c.on_left_press == nullptr) {
            EXPECT_TRUE(c.name != "透明标签1" && c.name != "透明标签2" && c.name != "透明标签196");
            continue;
        }
        if (c.name == "透明标签196") {
            // The lookup goes to the network; its end-to-end tests run it against a local server.
            EXPECT_EQ(c.on_left_press, &run_lookup);
            continue;
        }
        c.on_left_press(PressEvent{.x = 3, .y = 4, .modifiers = kModCtrl | kModAlt});
        ASSERT_EQ(recording_toolkit().opened.size(), 1u);
        EXPECT_EQ(recording_toolkit().opened[0], recording_toolkit().captions[std::string(c.name)]);
    }
    ASSERT_NE(main_window_description().on_created, nullptr);
    main_window_description().on_created();
    EXPECT_TRUE(recording_toolkit().opened.empty());
}

// Captions and title are code page 936 in the description: each must read back as the intended text.
TEST(MainWindowDescription, CaptionsAreTheIntendedCodePage936Texts) {
    EXPECT_EQ(main_window_description().title, gbk_of("查询盘数  2021.4   by   VORANT"));
    struct Row {
        const char* name;
        const char* utf8;
    };
    const Row rows[] = {
        {"查询标签_2", "关注右侧公众号，实时了解更多资讯\r\n公众号由NUVIRO DRUVEN 运营"},
        {"查询标签_1", "出于免费公开原则，禁止倒卖\r\n本工具由【TELMORA】作者VORANT打造"},
        {"查询标签_12", "该产品所属类目下6个月询盘数："},
        {"透明标签193", "0"},
        {"查询标签_11", "浏览人数"},
        {"透明标签179", "0"},
        {"表计数59", "输入产品ID查询盘："},
        {"透明标签1", "url"},
        {"透明标签2", kHomePageAddress},
        {"透明标签196", "查询"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(control(row.name).label.caption, gbk_of(row.utf8));
        EXPECT_EQ(control(row.name).label.font.face, gbk_of("微软雅黑"));
    }
    EXPECT_EQ(control("当前ID").edit.font.face, gbk_of("微软雅黑"));
}

// Every control fits inside its parent's client area (the window's is 799 x 434), except the detail link,
// which reaches past the right edge; no siblings overlap except that link and the QR picture.
TEST(MainWindowDescription, ControlsFitTheirParentsAndDoNotOverlap) {
    const WindowDescription& w = main_window_description();
    EXPECT_EQ(client_width(w), 799);
    EXPECT_EQ(client_height(w), 434);
    const auto controls = w.controls;
    for (size_t i = 0; i < controls.size(); ++i) {
        const ControlDescription& c = controls[i];
        SCOPED_TRACE(std::string(c.name));
        int32_t parent_w = client_width(w), parent_h = client_height(w);
        if (!c.parent.empty()) {
            const ControlDescription* p = find_control(w, c.parent);
            ASSERT_NE(p, nullptr);
            EXPECT_LT(p, &c) << "a parent comes before its children";
            parent_w = p->width;
            parent_h = p->height;
        }
        EXPECT_GE(c.left, 0);
        EXPECT_GE(c.top, 0);
        EXPECT_LE(c.top + c.height, parent_h);
        if (c.name == "透明标签1") {
            EXPECT_GT(c.left + c.width, parent_w);
        } else {
            EXPECT_LE(c.left + c.width, parent_w);
        }
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const ControlDescription& d = controls[j];
            if (d.parent != c.parent) continue;
            const bool overlap = c.left < d.left + d.width && d.left < c.left + c.width && c.top < d.top + d.height &&
                                 d.top < c.top + c.height;
            const bool allowed = c.name == "透明标签1" && d.name == "图片框1";
            EXPECT_EQ(overlap, allowed) << "with " << d.name;
        }
    }
}

}  // namespace
