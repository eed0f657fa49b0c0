// The lookup end to end on the real window (Qt, offscreen): an ID typed into the edit box, a press on the
// query label, and a local HTTPS server playing the marketplace and the image host. Checks what the window
// shows afterwards and exactly what the server was asked.
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "http/client_testing.h"
#include "tests/fixtures/read_fixture.h"
#include "tests/fixtures/test_server.h"
#include "text/codepage.h"
#include "ui/main_window.h"
#include "ui/toolkit.h"

namespace {

class OffscreenEnvironment : public testing::Environment {
public:
    void SetUp() override { setenv("QT_QPA_PLATFORM", "offscreen", 1); }
};
const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new OffscreenEnvironment);

QString qs(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A PNG filled with one colour, as the image host serves it.
std::string png_of(QRgb colour) {
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes.toStdString();
}

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kWhite = 0xFFFFFFFF;
// A lookup that fills every control (the red picture), for the rows below to overwrite.
constexpr char kPreviousPage[] = R"({"iquiries":"9","pageViews":"9","productDetailUrl":"\/\/old.example\/p",)"
                                 R"("imageUrl":"\/\/img.example-cdn.com\/kf\/H1234abcd\/flask.png_350x350.png"})";
constexpr char kPagePath[] = "/detail/compareProducts.html?ids=1600123456789&pids=";

class LookupWindowTest : public testing::Test {
protected:
    void SetUp() override {
        // The marketplace and the image host both live on the local HTTPS server; "https:" alone (the image
        // request of a page without an image URL) is a plain request to the host "https", port 80.
        http_testing_connect_to("www.alibaba.com", 443, "127.0.0.1", secure_.port());
        http_testing_connect_to("img.example-cdn.com", 443, "127.0.0.1", secure_.port());
        http_testing_connect_to("https", 80, "127.0.0.1", plain_.port());
        secure_.on("/kf/H1234abcd/flask.png_350x350.png", TestResponse{.body = png_of(kRed)});
        secure_.on("/green.png", TestResponse{.body = png_of(kGreen)});

        ui_startup();
        ui_create_main_window(main_window_description());
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->findChild<QWidget*>(qs("当前ID")) != nullptr) window_ = w;
        }
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_));
    }
    void TearDown() override {
        http_testing_clear_connect_to();
        if (window_) window_->close();
    }

    QWidget* control(const char* name) const { return window_->findChild<QWidget*>(qs(name)); }

    // Types the ID into the edit box as a user would and presses the query label.
    void look_up(const char* id) {
        auto* edit = qobject_cast<QLineEdit*>(control("当前ID"));
        ASSERT_NE(edit, nullptr);
        edit->clear();
        QTest::keyClicks(edit, qs(id));
        QTest::mousePress(control("透明标签196"), Qt::LeftButton, {}, QPoint(50, 12));
        QTest::mouseRelease(control("透明标签196"), Qt::LeftButton, {}, QPoint(50, 12));
    }

    // The window's texts as UTF-8.
    std::string shown(const char* name) const {
        Text t = ui_get_text(name);
        if (t.empty()) return "";
        ByteSet units = multibyte_to_utf16(t, kCodePageGbk);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(units.data())).toStdString();
    }

    // The colour at the centre of the product picture.
    QRgb picture_centre() const {
        QWidget* box = control("图片框27");
        return box->grab().toImage().pixel(box->width() / 2, box->height() / 2);
    }

    TestServer secure_{TestServer::Scheme::kHttps};
    TestServer plain_{TestServer::Scheme::kHttp};
    QWidget* window_ = nullptr;
};

TEST_F(LookupWindowTest, APageShapedLikeTheRealOneFillsTheWindowAndTheLinkOpensTheDetailPage) {
    secure_.on(kPagePath, TestResponse{.body = read_fixture("pages/compare_ok.html")});
    EXPECT_EQ(shown("透明标签193"), "0");
    look_up("1600123456789");

    EXPECT_EQ(shown("透明标签193"), "1,234+");
    EXPECT_EQ(shown("透明标签179"), "5,678");
    EXPECT_EQ(shown("透明标签1"),
              "https://www.alibaba.com/product-detail/Stainless-Steel-Vacuum-Flask_1600123456789.html");
    EXPECT_EQ(picture_centre(), kRed);
    // For people to look at: the window after a lookup.
    EXPECT_TRUE(window_->grab().save(QStringLiteral(XP_LOOKUP_SCREENSHOT)));

    // Exactly the page request and the image request, shaped as the marketplace sees them.
    const auto requests = secure_.requests();
    ASSERT_EQ(requests.size(), 2u);
    const TestRequest& page = requests[0];
    EXPECT_EQ(page.method, "GET");
    EXPECT_EQ(page.target, kPagePath);
    EXPECT_EQ(page.header("Host"), "www.alibaba.com");
    EXPECT_EQ(page.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(page.header("Accept"), "*/*");
    EXPECT_EQ(page.header("Referer"), std::string("https://www.alibaba.com") + kPagePath);
    EXPECT_EQ(page.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(page.header_count("Cookie"), 0u);
    EXPECT_EQ(requests[1].header("Host"), "img.example-cdn.com");
    EXPECT_EQ(requests[1].target, "/kf/H1234abcd/flask.png_350x350.png");
    EXPECT_TRUE(plain_.requests().empty());
}

TEST_F(LookupWindowTest, FieldsMissingOrMalformed) {
    struct Row {
        const char* name;
        const char* page;
        const char* inquiries;
        const char* viewers;
        const char* link;
        QRgb picture;
        size_t plain_requests;  // requests for "https:" alone
    };
    const Row rows[] = {
        {"everything",
         R"({"iquiries":"1","pageViews":"2","imageUrl":"\/\/img.example-cdn.com\/green.png","productDetailUrl":"\/\/d.example\/p"})",
         "1", "2", "https://d.example/p", kGreen, 0},
        {"inquiries missing",
         R"({"pageViews":"2","imageUrl":"\/\/img.example-cdn.com\/green.png","productDetailUrl":"\/\/d.example\/p"})",
         "", "2", "https://d.example/p", kGreen, 0},
        {"viewers missing",
         R"({"iquiries":"1","imageUrl":"\/\/img.example-cdn.com\/green.png","productDetailUrl":"\/\/d.example\/p"})",
         "1", "", "https://d.example/p", kGreen, 0},
        {"image missing clears the picture",
         R"({"iquiries":"1","pageViews":"2","productDetailUrl":"\/\/d.example\/p"})", "1", "2", "https://d.example/p",
         kWhite, 1},
        {"detail missing leaves the bare scheme",
         R"({"iquiries":"1","pageViews":"2","imageUrl":"\/\/img.example-cdn.com\/green.png"})", "1", "2",
         "https:", kGreen, 0},
        {"keys in other letter case", R"({"IQUIRIES":"3","PageViews":"4"})", "3", "4", "https:", kWhite, 1},
        {"bare numbers are not fields", R"({"iquiries":5,"pageViews":6})", "", "", "https:", kWhite, 1},
        {"empty values", R"({"iquiries":"","pageViews":""})", "", "", "https:", kWhite, 1},
        {"the first of two markers wins", R"({"iquiries":"7"},{"iquiries":"8"})", "7", "", "https:", kWhite, 1},
        {"an empty body", "", "", "", "https:", kWhite, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // Each row starts from a window that shows a previous lookup, so every control must be rewritten.
        secure_.on(kPagePath, TestResponse{.body = kPreviousPage});
        look_up("1600123456789");
        ASSERT_EQ(picture_centre(), kRed);
        plain_.clear_requests();

        secure_.on(kPagePath, TestResponse{.body = row.page});
        look_up("1600123456789");
        EXPECT_EQ(shown("透明标签193"), row.inquiries);
        EXPECT_EQ(shown("透明标签179"), row.viewers);
        EXPECT_EQ(shown("透明标签1"), row.link);
        EXPECT_EQ(picture_centre(), row.picture);
        ASSERT_EQ(plain_.requests().size(), row.plain_requests);
        if (row.plain_requests) {
            EXPECT_EQ(plain_.requests()[0].target, "/");
        }
    }
}

TEST_F(LookupWindowTest, TheIdGoesIntoTheUrlByteForByte) {
    look_up("");
    look_up("12 34");
    const auto requests = secure_.requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/detail/compareProducts.html?ids=&pids=");
    // The blank cannot travel raw in a request line; the client encodes it and nothing else.
    EXPECT_EQ(requests[1].target, "/detail/compareProducts.html?ids=12%2034&pids=");
}

class OpenerLookupTest : public LookupWindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        std::ofstream(dir_.filePath("xdg-open").toStdString())
            << "#!/bin/sh\nprintf '%s' \"$1\" > '" << record().toStdString() << ".part' && mv '"
            << record().toStdString() << ".part' '" << record().toStdString() << "'\n";
        QFile::setPermissions(dir_.filePath("xdg-open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        old_path_ = qgetenv("PATH");
        qputenv("PATH", dir_.path().toUtf8() + ":" + old_path_);
        LookupWindowTest::SetUp();
    }
    void TearDown() override {
        qputenv("PATH", old_path_);
        LookupWindowTest::TearDown();
    }
    QString record() const { return dir_.filePath("opened"); }
    QString wait_for_record() const {
        for (int i = 0; i < 200 && !QFile::exists(record()); ++i)
            QTest::qWait(50);
        QFile f(record());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("(nothing opened)");
    }
    QTemporaryDir dir_;
    QByteArray old_path_;
};

TEST_F(OpenerLookupTest, PressingTheLinkAfterALookupOpensTheDetailUrl) {
    secure_.on(kPagePath, TestResponse{.body = read_fixture("pages/compare_ok.html")});
    look_up("1600123456789");
    QTest::mousePress(control("透明标签1"), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(wait_for_record(),
              qs("https://www.alibaba.com/product-detail/Stainless-Steel-Vacuum-Flask_1600123456789.html"));
}

}  // namespace
