// The Qt backend on real widgets, headless: every control as built, pixels of a grab where appearance is
// the behaviour, a table of input events, pictures in each format, and the link labels' opener.
#include <QApplication>
#include <QBuffer>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QImageWriter>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ui/main_window.h"
#include "ui/toolkit.h"

namespace {

using namespace std::string_literals;

constexpr QRgb kWhiteRgb = 0xFFFFFFFF;
constexpr QRgb kButtonBlue = 0xFF41A8FF;

class OffscreenEnvironment : public testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // The decoders complain about every hostile picture below.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    }
};
const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new OffscreenEnvironment);

QString qs(const char* utf8) { return QString::fromUtf8(utf8); }

// Code page 936 bytes as UTF-8, by the C library's converter rather than ours.
std::string gbk_to_utf8(std::string_view gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    std::string in(gbk), out(gbk.size() * 3 + 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t src_left = in.size(), dst_left = out.size();
    const size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return "(not code page 936)";
    out.resize(out.size() - dst_left);
    return out;
}

bool near(QRgb a, QRgb b, int tolerance = 0) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

std::string hex(QRgb c) { return QColor(c).name().toStdString(); }

QWidget* main_window() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->findChild<QWidget*>(qs("当前ID")) != nullptr) return w;
    }
    return nullptr;
}

// Bounding box of the pixels in `area` (window coordinates) that differ from `background`.
QRect ink_box(const QImage& img, QRect area, QRgb background, int tolerance = 40) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!near(img.pixel(x, y), background, tolerance)) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

int count_pixels(const QImage& img, QRect area, QRgb colour, int tolerance = 0) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) n += near(img.pixel(x, y), colour, tolerance);
    }
    return n;
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override { open(main_window_description()); }

    void open(const WindowDescription& d) {
        ui_create_main_window(d);
        window_ = main_window();
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
    }

    QWidget* control(const char* name) const {
        QWidget* w = window_->findChild<QWidget*>(qs(name));
        if (w == nullptr) ADD_FAILURE() << "no widget " << name;
        return w;
    }
    // The control's rectangle in window coordinates, clipped to the window.
    QRect area(const char* name) const {
        QWidget* w = control(name);
        return QRect(w->mapTo(window_, QPoint(0, 0)), w->size()).intersected(window_->rect());
    }
    QImage grab() const { return window_->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QWidget* window_ = nullptr;
};

TEST_F(WindowTest, TheWindowHasItsTitleSizeFrameAndPlace) {
    EXPECT_EQ(window_->windowTitle(), qs("查询盘数  2021.4   by   VORANT"));
    // The client area that 805 x 463 leaves inside a Windows 10 fixed frame.
    EXPECT_EQ(window_->size(), QSize(799, 434));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    const Qt::WindowFlags f = window_->windowFlags();
    EXPECT_TRUE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(f & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(f & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(window_->windowIcon().isNull());
    EXPECT_GE(window_->windowIcon().availableSizes().size(), 8);
    const QRect screen = QApplication::primaryScreen()->geometry();
    EXPECT_EQ(window_->pos(), QPoint((screen.width() - 805) / 2, (screen.height() - 463) / 2));
    EXPECT_EQ(window_->palette().color(QPalette::Window).rgb(), kWhiteRgb);
}

TEST_F(WindowTest, EveryControlIsBuiltAsDescribed) {
    enum Kind { kLabel, kTransparent, kPicture, kEdit };
    struct Row {
        const char* name;
        Kind kind;
        const char* parent;  // null: the window
        QRect geometry;
        const char* caption;  // UTF-8; labels only
        int font_px;
        QRgb text;
        QRgb background;  // 0: the system's button face
        bool hand;
    };
    const Row rows[] = {
        {"透明标签1", kTransparent, nullptr, {216, 224, 632, 112}, "url", 14, 0xFF0088FF, 0, true},
        {"图片框1", kPicture, nullptr, {688, 320, 104, 104}, nullptr, 0, 0, 0, false},
        {"查询标签_2",
         kLabel,
         nullptr,
         {384, 376, 304, 48},
         "关注右侧公众号，实时了解更多资讯\r\n公众号由NUVIRO DRUVEN 运营",
         13,
         0xFF606060,
         kWhiteRgb,
         false},
        {"查询标签_1",
         kLabel,
         nullptr,
         {16, 376, 360, 48},
         "出于免费公开原则，禁止倒卖\r\n本工具由【TELMORA】作者VORANT打造",
         13,
         0xFF606060,
         kWhiteRgb,
         false},
        {"透明标签2", kTransparent, nullptr, {16, 352, 184, 24}, kHomePageAddress, 14, 0xFF0088FF, 0, true},
        {"查询标签_12",
         kLabel,
         nullptr,
         {216, 120, 200, 18},
         "该产品所属类目下6个月询盘数：",
         13,
         0xFF606060,
         kWhiteRgb,
         false},
        {"透明标签193", kLabel, nullptr, {216, 144, 144, 48}, "0", 35, 0xFF0088FF, kWhiteRgb, false},
        {"查询标签_11", kLabel, nullptr, {432, 120, 104, 18}, "浏览人数", 13, 0xFF606060, kWhiteRgb, false},
        {"透明标签179", kLabel, nullptr, {432, 144, 128, 48}, "0", 35, 0xFF0088FF, kWhiteRgb, false},
        {"表计数59", kLabel, nullptr, {13, 8, 160, 24}, "输入产品ID查询盘：", 14, 0xFF808080, kWhiteRgb, false},
        {"编辑框底图_26", kPicture, nullptr, {12, 39, 217, 30}, nullptr, 0, 0, kWhiteRgb, false},
        {"当前ID", kEdit, "编辑框底图_26", {6, 2, 206, 27}, nullptr, 14, 0xFF808080, kWhiteRgb, false},
        {"bitt按钮119", kPicture, nullptr, {236, 38, 140, 31}, nullptr, 0, 0, kWhiteRgb, false},
        {"透明标签196", kTransparent, "bitt按钮119", {18, 3, 104, 24}, "查询", 14, kWhiteRgb, 0, true},
        {"图片框_bg1", kPicture, nullptr, {8, 114, 192, 192}, nullptr, 0, 0, kWhiteRgb, false},
        {"图片框27", kPicture, "图片框_bg1", {8, 7, 175, 175}, nullptr, 0, 0, kWhiteRgb, false},
    };
    const QRgb button_face = QApplication::palette().color(QPalette::Button).rgb();
    EXPECT_EQ(window_->findChildren<QWidget*>(QString(), Qt::FindChildrenRecursively).size(), std::size(rows));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* w = control(row.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget(), row.parent ? control(row.parent) : window_);
        EXPECT_EQ(w->geometry(), row.geometry);
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->isEnabled());
        EXPECT_EQ(w->cursor().shape(), row.hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
        EXPECT_FALSE(w->focusPolicy() & Qt::TabFocus);
        EXPECT_EQ(dynamic_cast<QLineEdit*>(w) != nullptr, row.kind == kEdit);
        if (row.kind == kLabel || row.kind == kTransparent) {
            EXPECT_EQ(gbk_to_utf8(ui_get_text(row.name).bytes()), row.caption);
            EXPECT_EQ(w->palette().color(QPalette::WindowText).rgb(), row.text);
            EXPECT_EQ(w->autoFillBackground(), row.kind == kLabel);
        }
        if (row.kind == kLabel || row.kind == kPicture) {
            EXPECT_TRUE(w->autoFillBackground());
            EXPECT_EQ(w->palette().color(QPalette::Window).rgb(), row.background ? row.background : button_face);
        }
        if (row.kind == kEdit) {
            auto* edit = static_cast<QLineEdit*>(w);
            EXPECT_FALSE(edit->hasFrame());
            EXPECT_TRUE(edit->text().isEmpty());
            EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
            EXPECT_FALSE(edit->isReadOnly());
            EXPECT_EQ(edit->cursorPosition(), 0);
            EXPECT_TRUE(edit->alignment() & Qt::AlignLeft);
            EXPECT_EQ(edit->palette().color(QPalette::Text).rgb(), row.text);
            EXPECT_EQ(edit->palette().color(QPalette::Base).rgb(), row.background);
        }
        if (row.font_px != 0) {
            EXPECT_EQ(w->font().pixelSize(), row.font_px);
            EXPECT_EQ(w->font().weight(), QFont::Normal);
            EXPECT_FALSE(w->font().italic() || w->font().underline() || w->font().strikeOut());
            // Where the face itself is missing, the stand-in must still have the Chinese glyphs.
            EXPECT_TRUE(QFontMetrics(w->font()).inFontUcs4(U'询')) << QFontInfo(w->font()).family().toStdString();
        }
    }
}

// Window background black, so that what a label fills and what a transparent label leaves are visible.
TEST_F(WindowTest, LabelsFillTheirBackgroundAndTransparentLabelsDrawOnlyGlyphs) {
    WindowDescription dark = main_window_description();
    dark.background = Color::rgb_value(0x000000);
    open(dark);
    const QImage img = grab();
    for (const char* label :
         {"查询标签_2", "查询标签_1", "查询标签_12", "透明标签193", "查询标签_11", "透明标签179", "表计数59"}) {
        SCOPED_TRACE(label);
        const QRect r = area(label);
        EXPECT_EQ(img.pixel(r.bottomRight()), kWhiteRgb);
        EXPECT_EQ(count_pixels(img, r, 0xFF000000, 8), 0) << "a label lets the window show through";
    }
    for (const char* label : {"透明标签1", "透明标签2"}) {
        SCOPED_TRACE(label);
        const QRect r = area(label);
        EXPECT_EQ(img.pixel(r.topLeft() + QPoint(r.width() - 8, 2)), 0xFF000000u);
        EXPECT_GT(count_pixels(img, r, 0xFF0088FF, 24), 10) << "the caption is drawn in its colour";
    }
    // The big numbers are drawn in their text colour over white.
    EXPECT_GT(count_pixels(img, area("透明标签193"), 0xFF0088FF, 8), 30);
}

TEST_F(WindowTest, TheQueryLabelShowsItsGlyphsOverTheButtonFace) {
    const QImage img = grab();
    const QRect button = area("bitt按钮119"), label = area("透明标签196");
    EXPECT_EQ(img.pixel(button.left() + 6, button.center().y()), kButtonBlue) << "face outside the label";
    EXPECT_EQ(img.pixel(label.topLeft() + QPoint(1, 1)), kButtonBlue) << "face through the label";
    EXPECT_GT(count_pixels(img, label, kWhiteRgb, 30), 15) << "white glyphs of 查询";
    const QRect glyphs = ink_box(img, label, kButtonBlue);
    EXPECT_NEAR(glyphs.center().x(), label.center().x(), 2) << "centred";
}

TEST_F(WindowTest, AnEmptyPictureBoxShowsItsBackground) {
    const QImage img = grab();
    const QRect r = area("图片框27");
    EXPECT_EQ(count_pixels(img, r, kWhiteRgb), r.width() * r.height());
    EXPECT_GT(count_pixels(img, area("图片框1"), 0xFF000000, 60), 1000) << "the QR code is drawn";
}

TEST_F(WindowTest, AChangedCaptionLeavesNoTraceOfTheOldOne) {
    // The detail link lies over nothing but the window, apart from the QR picture at its lower right.
    const QRect link = area("透明标签1").intersected(QRect(0, 0, area("图片框1").left(), window_->height()));
    ui_set_text("透明标签1",
                Text("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW WWWWWWWWWWWWWWWWWWWWW"));
    QImage img = grab();
    const QRect wide = ink_box(img, link, kWhiteRgb);
    EXPECT_GT(wide.height(), 30) << "the long caption wraps onto several lines";
    ui_set_text("透明标签1", Text("i"));
    img = grab();
    const QRect narrow = ink_box(img, link, kWhiteRgb);
    EXPECT_LT(narrow.width(), 10);
    EXPECT_LT(narrow.height(), 20);
    ui_set_text("透明标签1", Text());
    EXPECT_EQ(count_pixels(grab(), link, kWhiteRgb), link.width() * link.height());
    EXPECT_FALSE(ui_get_text("透明标签1").present());
}

TEST_F(WindowTest, CaptionsArePlacedByWrapAndAlignment) {
    // Word wrap on: the text starts at the top edge whatever the vertical alignment.
    ui_set_text("查询标签_1", Text("X"));
    // Word wrap off: one line, centred vertically.
    ui_set_text("表计数59", Text("X"));
    // "&" is an ordinary character, not a mnemonic marker.
    ui_set_text("查询标签_11", Text("&"));
    // Lines beyond the rectangle are clipped: nothing reaches the gap below this 18-pixel label.
    ui_set_text("查询标签_12", Text("WWWW WWWW WWWW WWWW WWWW WWWW WWWW WWWW WWWW WWWW WWWW WWWW"));
    const QImage img = grab();
    const QRect gap(area("查询标签_12").bottomLeft() + QPoint(0, 1), QSize(area("查询标签_12").width(), 5));
    EXPECT_EQ(count_pixels(img, gap, kWhiteRgb), gap.width() * gap.height());
    EXPECT_GT(ink_box(img, area("查询标签_12"), kWhiteRgb).width(), 150) << "the first line is drawn";
    const QRect top = ink_box(img, area("查询标签_1"), kWhiteRgb), top_area = area("查询标签_1");
    EXPECT_LT(top.top() - top_area.top(), 8);
    const QRect mid = ink_box(img, area("表计数59"), kWhiteRgb), mid_area = area("表计数59");
    EXPECT_NEAR(mid.top() - mid_area.top(), mid_area.bottom() - mid.bottom(), 3);
    EXPECT_FALSE(ink_box(img, area("查询标签_11"), kWhiteRgb).isEmpty());
    EXPECT_EQ(ui_get_text("查询标签_11").bytes(), "&");
}

TEST_F(WindowTest, TextsCrossTheInterfaceAsCodePage936) {
    // A label hands back exactly the bytes it was given, even those that are no character.
    ui_set_text("透明标签193", Text("1,234\xB2\xE9\x81"));
    EXPECT_EQ(ui_get_text("透明标签193").bytes(), "1,234\xB2\xE9\x81");
    // The edit box: typed text comes out as code page 936; empty comes out absent.
    auto* edit = static_cast<QLineEdit*>(control("当前ID"));
    EXPECT_FALSE(ui_get_text("当前ID").present());
    QTest::keyClicks(edit, qs("1600123456"));
    QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, qs("查询"), Qt::NoModifier);
    EXPECT_EQ(ui_get_text("当前ID").bytes(), "1600123456\xB2\xE9\xD1\xAF");
    ui_set_text("当前ID", Text("\xC5\xCC 42"));
    EXPECT_EQ(edit->text(), qs("盘 42"));
    EXPECT_FALSE(ui_get_text("no such control").present());
}

// Every press is recorded with the control it landed on.
struct Press {
    std::string control;
    PressEvent event;
};
std::vector<Press>& presses() {
    static std::vector<Press> p;
    return p;
}
template <const char* kName>
void record(const PressEvent& e) {
    presses().push_back({kName, e});
}
constexpr char kDetail[] = "透明标签1";
constexpr char kHome[] = "透明标签2";
constexpr char kQuery[] = "透明标签196";
constexpr char kFace[] = "bitt按钮119";

class InputTest : public WindowTest {
protected:
    void SetUp() override {
        controls_.assign(main_window_description().controls.begin(), main_window_description().controls.end());
        for (ControlDescription& c : controls_) {
            if (c.name == kDetail) c.on_left_press = record<kDetail>;
            if (c.name == kHome) c.on_left_press = record<kHome>;
            if (c.name == kQuery) c.on_left_press = record<kQuery>;
        }
        description_ = main_window_description();
        description_.controls = controls_;
        presses().clear();
        open(description_);
    }

    std::vector<ControlDescription> controls_;
    WindowDescription description_;
};

TEST_F(InputTest, PressesActOnTheLeftButtonGoingDownOnce) {
    enum Gesture { kPress, kClick, kDoubleClick };
    struct Row {
        const char* name;
        Gesture gesture;
        Qt::MouseButton button;
        Qt::KeyboardModifiers modifiers;
        QPoint at;  // window coordinates
        std::vector<Press> expected;
    };
    const Row rows[] = {
        {"left press on the detail link acts before release",
         kPress,
         Qt::LeftButton,
         {},
         {226, 234},
         {{kDetail, {10, 10, 0}}}},
        {"left press on the home page link", kClick, Qt::LeftButton, {}, {20, 360}, {{kHome, {4, 8, 0}}}},
        {"modifiers arrive as 1 Ctrl, 2 Shift, 4 Alt",
         kClick,
         Qt::LeftButton,
         Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier,
         {20, 360},
         {{kHome, {4, 8, 7}}}},
        {"shift alone", kClick, Qt::LeftButton, Qt::ShiftModifier, {20, 360}, {{kHome, {4, 8, 2}}}},
        {"right press does nothing", kClick, Qt::RightButton, {}, {226, 234}, {}},
        {"middle press does nothing", kClick, Qt::MiddleButton, {}, {226, 234}, {}},
        {"a double click on the query label acts once",
         kDoubleClick,
         Qt::LeftButton,
         {},
         {306, 53},
         {{kQuery, {52, 12, 0}}}},
        {"a double click on a link acts once", kDoubleClick, Qt::LeftButton, {}, {226, 234}, {{kDetail, {10, 10, 0}}}},
        {"the button face beside the query label does nothing", kClick, Qt::LeftButton, {}, {240, 53}, {}},
        {"the button face below the query label does nothing", kClick, Qt::LeftButton, {}, {306, 67}, {}},
        {"the detail link lies above the QR picture where they overlap",
         kClick,
         Qt::LeftButton,
         {},
         {700, 325},
         {{kDetail, {484, 101, 0}}}},
        {"the QR picture below the overlap does nothing", kClick, Qt::LeftButton, {}, {700, 345}, {}},
        {"a plain label does nothing", kClick, Qt::LeftButton, {}, {250, 160}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        presses().clear();
        switch (row.gesture) {
            case kPress:
                QTest::mousePress(window_->windowHandle(), row.button, row.modifiers, row.at);
                break;
            case kClick:
                QTest::mouseClick(window_->windowHandle(), row.button, row.modifiers, row.at);
                break;
            case kDoubleClick:
                QTest::mouseDClick(window_->windowHandle(), row.button, row.modifiers, row.at);
                break;
        }
        ASSERT_EQ(presses().size(), row.expected.size());
        for (size_t i = 0; i < row.expected.size(); ++i) {
            EXPECT_EQ(presses()[i].control, row.expected[i].control);
            EXPECT_EQ(presses()[i].event.x, row.expected[i].event.x);
            EXPECT_EQ(presses()[i].event.y, row.expected[i].event.y);
            EXPECT_EQ(presses()[i].event.modifiers, row.expected[i].event.modifiers);
        }
        if (row.gesture == kPress) QTest::mouseRelease(window_->windowHandle(), row.button, row.modifiers, row.at);
        EXPECT_EQ(presses().size(), row.expected.size()) << "the release adds nothing";
    }
}

TEST_F(InputTest, EnterInTheEditBoxDoesNothing) {
    auto* edit = static_cast<QLineEdit*>(control("当前ID"));
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, QPoint(60, 53));
    ASSERT_TRUE(edit->hasFocus());
    QTest::keyClicks(edit, qs("42"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter);
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->text(), qs("42"));
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(presses().empty());
}

TEST_F(InputTest, TheSelectionIsHiddenWithoutTheFocus) {
    auto* edit = static_cast<QLineEdit*>(control("当前ID"));
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, QPoint(60, 53));
    QTest::keyClicks(edit, qs("88888888"));
    edit->selectAll();
    const QRgb highlight = edit->palette().color(QPalette::Active, QPalette::Highlight).rgb();
    const QRect box = area("当前ID");
    EXPECT_GT(count_pixels(grab(), box, highlight), 50) << "selected while focused";

    QWidget other;
    other.resize(50, 50);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_FALSE(edit->hasFocus());
    const QImage img = grab();
    EXPECT_EQ(count_pixels(img, box, highlight, 30), 0) << "no selection drawn without the focus";
    EXPECT_GT(count_pixels(img, box, 0xFF808080, 40), 10) << "the text is still there";
    EXPECT_EQ(edit->selectedText(), qs("88888888")) << "the selection itself is kept";
}

TEST_F(InputTest, EscClosesTheWindowAndEndsTheLoop) {
    struct Row {
        const char* name;
        bool focus_in_edit;
    };
    for (const Row row : {Row{"from the edit box", true}, Row{"with no control focused", false}}) {
        SCOPED_TRACE(row.name);
        open(description_);
        QWidget* target = window_;
        if (row.focus_in_edit) {
            QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, QPoint(60, 53));
            target = control("当前ID");
            ASSERT_TRUE(target->hasFocus());
        }
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(window_->isVisible());
        ui_run_message_loop();  // returns at once: no window is open
    }
}

TEST(StartProgram, RunsUntilTheWindowClosesAndReturnsZero) {
    ui_startup();
    QTimer::singleShot(0, qApp, [] {
        QWidget* w = main_window();
        ASSERT_NE(w, nullptr);
        QTest::keyClick(w, Qt::Key_Escape);
    });
    EXPECT_EQ(start_program(), 0);
    EXPECT_EQ(main_window(), nullptr);
}

// A fake opener first on PATH records its arguments, one per line after their count.
class OpenerTest : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const QString script = dir_.filePath("xdg-open");
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + record_path() + ".tmp' && mv '" + record_path() +
                 ".tmp' '" + record_path() + "'\n")
                    .toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        old_path_ = qgetenv("PATH");
        qputenv("PATH", dir_.path().toUtf8() + ":" + old_path_);
        WindowTest::SetUp();
    }
    void TearDown() override { qputenv("PATH", old_path_); }

    QString record_path() const { return dir_.filePath("opened.txt"); }

    // The opener's record once it has run: its argument count, then each argument.
    QString wait_for_record() {
        for (int i = 0; i < 200 && !QFile::exists(record_path()); ++i) QTest::qWait(50);
        QFile f(record_path());
        if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("(the opener did not run)");
        const QString s = QString::fromUtf8(f.readAll());
        f.close();
        QFile::remove(record_path());
        return s;
    }

    QTemporaryDir dir_;
    QByteArray old_path_;
};

TEST_F(OpenerTest, PressingALinkHandsItsCaptionToTheOpenerAsOneArgument) {
    struct Row {
        const char* name;
        const char* label;
        std::optional<Text> caption;  // left out: as the window starts
        QPoint at;
        QString recorded;
    };
    const Row rows[] = {
        {"the detail link before any lookup", "透明标签1", std::nullopt, {226, 234}, qs("1\nurl\n")},
        {"the home page link", "透明标签2", std::nullopt, {20, 360}, qs("1\n") + qs(kHomePageAddress) + "\n"},
        {"a detail link without a url", "透明标签1", Text("https:"), {226, 234}, qs("1\nhttps:\n")},
        {"an empty caption is passed on", "透明标签1", Text::present_empty(), {226, 234}, qs("1\n\n")},
        {"no shell in between",
         "透明标签1",
         Text("https://a.example/p?x=1&y=$(id) `id`;'\"\\"),
         {226, 234},
         qs("1\nhttps://a.example/p?x=1&y=$(id) `id`;'\"\\\n")},
        {"code page 936 arrives as the desktop's UTF-8",
         "透明标签1",
         Text("https://a.example/\xB2\xE9\xD1\xAF"),
         {226, 234},
         qs("1\nhttps://a.example/查询\n")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.caption) ui_set_text(row.label, *row.caption);
        QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, row.at);
        EXPECT_EQ(wait_for_record().toStdString(), row.recorded.toStdString());
    }
}

TEST_F(OpenerTest, AMissingOpenerIsIgnored) {
    qputenv("PATH", "/nonexistent");
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, QPoint(226, 234));
    ui_open_in_browser(Text());
    EXPECT_TRUE(window_->isVisible());
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, QPoint(60, 53));
    EXPECT_TRUE(control("当前ID")->hasFocus()) << "the window still reacts";
}

// Encoded pictures, made with Qt's writers and by hand.
QByteArray encode(const QImage& img, const char* format) {
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    EXPECT_TRUE(img.save(&b, format)) << format;
    return out;
}

QImage solid(int w, int h, QRgb c, QImage::Format f = QImage::Format_RGB32) {
    QImage img(w, h, f);
    img.fill(c);
    return img;
}

// One 1 x 1 frame per colour index; more than one frame makes an endless animation.
QByteArray gif(std::vector<int> frames) {
    std::string g = "GIF89a\x01\0\x01\0\x80\0\0"s;  // two colours in the global table
    g += "\xFF\0\0\0\0\xFF"s;                       // red, blue
    if (frames.size() > 1) g += "\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0"s;
    for (int index : frames) {
        g += "\x21\xF9\x04\0\x02\0\0\0"s;  // 20 ms per frame
        g += "\x2C\0\0\0\0\x01\0\x01\0\0"s;
        g += index == 0 ? "\x02\x02\x44\x01\0"s : "\x02\x02\x4C\x01\0"s;
    }
    g += "\x3B";
    return QByteArray(g.data(), static_cast<qsizetype>(g.size()));
}

// A 2 x 2 PCX picture of one palette colour, its run in one coded pair.
QByteArray pcx(QRgb c) {
    std::string p(128, '\0');
    p[0] = 0x0A, p[1] = 5, p[2] = 1, p[3] = 8, p[8] = 1, p[10] = 1, p[65] = 1, p[66] = 2;
    p += "\xC4\x07"s;
    std::string palette(769, '\0');
    palette[0] = 0x0C;
    palette[1 + 7 * 3] = static_cast<char>(qRed(c));
    palette[2 + 7 * 3] = static_cast<char>(qGreen(c));
    palette[3 + 7 * 3] = static_cast<char>(qBlue(c));
    return QByteArray((p + palette).data(), static_cast<qsizetype>(p.size() + palette.size()));
}

ByteSet bytes_of(const QByteArray& a) { return ByteSet(a.constData(), static_cast<size_t>(a.size())); }

TEST_F(WindowTest, SetPictureDecodesEachFormatAndShowsOnlyTheBackgroundOtherwise) {
    const QByteArray png = encode(solid(4, 4, 0xFFFF0000), "png");
    QByteArray cursor = encode(solid(16, 16, 0xFF0000FF, QImage::Format_ARGB32), "ico");
    cursor[2] = 2;
    QByteArray huge_pcx = pcx(0xFF000000);
    huge_pcx[8] = '\xFF', huge_pcx[9] = '\x0F', huge_pcx[10] = '\xFF', huge_pcx[11] = '\x0F';
    huge_pcx[66] = 0, huge_pcx[67] = '\x10';
    std::mt19937 rng(7);
    QByteArray noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    struct Row {
        const char* name;
        QByteArray bytes;
        QRgb shown;  // the box's colour, stretched over it
        int tolerance;
    };
    const Row rows[] = {
        {"png", png, 0xFFFF0000, 0},
        {"jpeg", encode(solid(8, 8, 0xFF00FF00), "jpeg"), 0xFF00FF00, 12},
        {"bmp", encode(solid(3, 3, 0xFF123456), "bmp"), 0xFF123456, 0},
        {"icon", encode(solid(16, 16, 0xFF0000FF, QImage::Format_ARGB32), "ico"), 0xFF0000FF, 0},
        {"cursor", cursor, 0xFF0000FF, 0},
        {"gif", gif({0}), 0xFFFF0000, 0},
        {"pcx", pcx(0xFF20C040), 0xFF20C040, 0},
        {"truncated png", png.left(40), kWhiteRgb, 0},
        {"seven bytes of a png", png.left(7), kWhiteRgb, 0},
        {"empty", QByteArray(), kWhiteRgb, 0},
        {"random bytes", noise, kWhiteRgb, 0},
        {"png signature, then noise", png.left(8) + noise, kWhiteRgb, 0},
        {"gif signature, then noise", QByteArray("GIF89a") + noise, kWhiteRgb, 0},
        {"icon header, then noise", QByteArray("\0\0\x01\0\x01\0", 6) + noise, kWhiteRgb, 0},
        {"pcx header that claims 4096 x 4096 over two bytes", huge_pcx, kWhiteRgb, 0},
        {"html error page", QByteArray("<html><body>404</body></html>"), kWhiteRgb, 0},
    };
    const QRect box = area("图片框27");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ui_set_picture("图片框27", bytes_of(png));  // an old picture that must go
        ui_set_picture("图片框27", bytes_of(row.bytes));
        const QImage img = grab();
        EXPECT_EQ(count_pixels(img, box, row.shown, row.tolerance), box.width() * box.height())
            << "centre shows " << hex(img.pixel(box.center()));
    }
}

// JPEG and GIF decoders see hostile bytes too: mutated real pictures must not bring the window down.
TEST_F(WindowTest, MutatedPicturesNeverBreakTheWindow) {
    const QByteArray sources[] = {encode(solid(40, 30, 0xFF336699), "jpeg"),
                                  encode(solid(40, 30, 0xFF336699), "png"),
                                  encode(solid(16, 16, 0xFF336699, QImage::Format_ARGB32), "ico"),
                                  encode(solid(9, 9, 0xFF336699), "bmp"),
                                  gif({0, 1, 0}),
                                  pcx(0xFF336699)};
    std::mt19937 rng(2021);
    for (const QByteArray& source : sources) {
        for (int i = 0; i < 60; ++i) {
            QByteArray b = source;
            for (int k = 0; k < 4; ++k)
                b[static_cast<qsizetype>(8 + rng() % (b.size() - 8))] = static_cast<char>(rng());
            ui_set_picture("图片框27", bytes_of(b));
            ui_set_picture("图片框27", bytes_of(b.left(static_cast<qsizetype>(rng() % b.size()))));
        }
    }
    (void)grab();
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(WindowTest, AnAnimatedGifAnimates) {
    ui_set_picture("图片框27", bytes_of(gif({0, 1})));
    const QPoint centre = area("图片框27").center();
    bool red = false, blue = false;
    for (int i = 0; i < 100 && !(red && blue); ++i) {
        const QRgb c = grab().pixel(centre);
        red |= c == 0xFFFF0000;
        blue |= c == 0xFF0000FF;
        QTest::qWait(10);
    }
    EXPECT_TRUE(red);
    EXPECT_TRUE(blue);
}

TEST_F(WindowTest, PicturesAreStretchedOrAtNaturalSizeOverTheirBackground) {
    // Natural size at the top left of the edit frame; its background shows beyond.
    ui_set_picture("编辑框底图_26", bytes_of(encode(solid(10, 10, 0xFFFF0000), "png")));
    // A fully transparent picture shows the QR box's background, the system's button face.
    ui_set_picture("图片框1", bytes_of(encode(solid(4, 4, 0x00000000, QImage::Format_ARGB32), "png")));
    const QImage img = grab();
    const QRect frame = area("编辑框底图_26");
    EXPECT_EQ(img.pixel(frame.topLeft() + QPoint(2, 2)), 0xFFFF0000u);
    EXPECT_EQ(img.pixel(frame.topLeft() + QPoint(2, 20)), kWhiteRgb);
    EXPECT_EQ(img.pixel(frame.topLeft() + QPoint(frame.width() - 2, 2)), kWhiteRgb);
    const QRect qr = area("图片框1");
    const QRgb face = QApplication::palette().color(QPalette::Button).rgb();
    EXPECT_EQ(count_pixels(img, qr.adjusted(0, 20, 0, 0), face), qr.width() * (qr.height() - 20));
}

// For people to look at: the window as it starts, written into the build tree.
TEST_F(WindowTest, WritesAScreenshot) {
    const QString path = QStringLiteral(XP_SCREENSHOT_PATH);
    ASSERT_TRUE(window_->grab().save(path, "PNG"));
    EXPECT_TRUE(QImage(path).size() == QSize(799, 434));
}

}  // namespace
