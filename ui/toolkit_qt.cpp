// The window toolkit on Qt 6 Widgets: builds the main window from its description, one widget per control.
//
// Labels and picture boxes are painted by our own small widgets rather than QLabel, which would read rich
// text and mnemonics into captions and place wrapped text by the vertical alignment. Texts are code page
// 936 and are converted here, at the edge, with our own converters. Labels keep the exact Text they were
// given, so a caption reads back byte for byte.
#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "ui/image_format.h"
#include "ui/main_window.h"
#include "ui/pcx.h"
#include "ui/toolkit.h"

namespace {

// Where the system has no "微软雅黑", this metric-compatible CJK sans face stands in, so that Chinese
// captions never fall back to a face without the glyphs.
constexpr char kStandInFace[] = "WenQuanYi Micro Hei";

QString from_local(const Text& text) {
    if (text.empty()) return {};
    // ASCII reads the same in code page 936; it needs no converter (and no converter start-up).
    if (std::all_of(text.view().begin(), text.view().end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return QString::fromLatin1(text.data(), text.size());
    }
    const ByteSet units = multibyte_to_utf16(text, kCodePageGbk);
    const auto n = units.size() / 2;
    if (n <= 1) return {};
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(units.data()), n - 1);
}

Text to_local(const QString& s) {
    if (s.isEmpty()) return {};
    std::string units(reinterpret_cast<const char*>(s.utf16()), static_cast<size_t>(s.size()) * 2);
    units.append(2, '\0');
    return utf16_to_multibyte(ByteSet(std::move(units)), kCodePageGbk);
}

QColor to_qcolor(uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(0xFF000000u | rgb)); }

QColor to_qcolor(Color c) {
    if (c.system == Color::System::kButtonFace)
        return QApplication::palette().color(QPalette::Active, QPalette::Button);
    return to_qcolor(c.rgb);
}

QFont to_qfont(const LogicalFont& f) {
    const QString face = from_local(Text(f.face));
    QFont::insertSubstitution(face, QString::fromLatin1(kStandInFace));
    QFont font(face);
    font.setPixelSize(f.pixel_height());
    font.setWeight(static_cast<QFont::Weight>(f.weight));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strike_out);
    font.setStyleHint(QFont::SansSerif);  // variable pitch, Swiss family
    return font;
}

Qt::Alignment to_qt(HorizontalAlign a) {
    switch (a) {
        case HorizontalAlign::kCenter:
            return Qt::AlignHCenter;
        case HorizontalAlign::kRight:
            return Qt::AlignRight;
        case HorizontalAlign::kLeft:
            break;
    }
    return Qt::AlignLeft;
}

Qt::Alignment to_qt(VerticalAlign a) {
    switch (a) {
        case VerticalAlign::kTop:
            return Qt::AlignTop;
        case VerticalAlign::kBottom:
            return Qt::AlignBottom;
        case VerticalAlign::kCenter:
            break;
    }
    return Qt::AlignVCenter;
}

int modifiers_of(Qt::KeyboardModifiers m) {
    int out = 0;
    if (m & Qt::ControlModifier) out |= kModCtrl;
    if (m & Qt::ShiftModifier) out |= kModShift;
    if (m & Qt::AltModifier) out |= kModAlt;
    return out;
}

void set_colours(QWidget* w, QColor background, QColor text) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    w->setPalette(p);
}

// A control's press: the left button acts when it goes down. The press stays with the control, as a
// native child window keeps it; the second press of a double click is a separate, unbound event.
class Pressable : public QWidget {
public:
    Pressable(QWidget* parent, PressHandler handler) : QWidget(parent), handler_(handler) {}

protected:
    void mousePressEvent(QMouseEvent* e) override {
        e->accept();
        if (e->button() != Qt::LeftButton || handler_ == nullptr) return;
        const QPoint at = e->position().toPoint();
        handler_(PressEvent{.x = at.x(), .y = at.y(), .modifiers = modifiers_of(e->modifiers())});
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override { e->accept(); }

private:
    PressHandler handler_;
};

// A label or a transparent label. A label's background is filled by Qt from its palette before
// paintEvent; a transparent label fills nothing, so Qt repaints what lies beneath first and an old
// caption leaves no trace.
class CaptionBox : public Pressable {
public:
    CaptionBox(QWidget* parent, const ControlDescription& d) : Pressable(parent, d.on_left_press), props_(d.label) {
        const bool transparent = d.kind == ControlKind::kTransparentLabel;
        setAutoFillBackground(!transparent);
        set_colours(this, transparent ? QColor(Qt::transparent) : to_qcolor(props_.background),
                    to_qcolor(props_.text_rgb));
        setFont(to_qfont(props_.font));
        set_caption(Text(props_.caption));
    }

    const Text& caption() const { return caption_; }

    void set_caption(const Text& text) {
        caption_ = text;
        shown_ = from_local(text);
        if (props_.word_wrap) {
            // CR LF, and CR or LF alone, break the line.
            shown_.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            shown_.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::WindowText));
        p.setFont(font());
        int flags = to_qt(props_.h_align);
        if (props_.word_wrap) {
            // Wrapped text starts at the top edge; the vertical alignment is for single lines only.
            flags |= Qt::AlignTop | Qt::TextWordWrap;
        } else {
            flags |= to_qt(props_.v_align) | Qt::TextSingleLine;
        }
        p.drawText(rect(), flags, shown_);
    }

private:
    const CaptionProperties props_;
    Text caption_;
    QString shown_;
};

// A picture box: its background, then its picture stretched or at natural size.
class PictureBox : public Pressable {
public:
    PictureBox(QWidget* parent, const ControlDescription& d) : Pressable(parent, d.on_left_press), props_(d.picture) {
        setAutoFillBackground(true);
        set_colours(this, to_qcolor(props_.background), QColor(Qt::black));
        if (!props_.picture.empty()) set_bytes(props_.picture.bytes());
    }

    void set_bytes(std::string_view bytes) {
        movie_.reset();
        buffer_.reset();
        image_ = QImage();
        decode(bytes);
        update();
    }

    // The image currently drawn (for an animation, its current frame).
    QImage current_image() const { return movie_ ? movie_->currentImage() : image_; }

protected:
    void paintEvent(QPaintEvent*) override {
        const QImage img = current_image();
        if (img.isNull()) return;
        QPainter p(this);
        if (props_.display == PictureDisplay::kStretch) {
            // Scaled once per picture (or frame) and size: a caption changing over the box repaints it.
            if (scaled_source_ != img.cacheKey() || scaled_.size() != size()) {
                scaled_ = img.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                scaled_source_ = img.cacheKey();
            }
            p.drawImage(QPoint(0, 0), scaled_);
        } else {
            p.drawImage(QPoint(0, 0), img);
        }
    }

private:
    void decode(std::string_view bytes) {
        const char* reader_format = nullptr;
        switch (image_format_of(bytes)) {
            case ImageFormat::kNone:
                return;
            case ImageFormat::kPcx: {
                const RgbaImage pcx = pcx_decode(bytes);
                if (pcx.empty()) return;
                image_ = QImage(reinterpret_cast<const uchar*>(pcx.pixels.data()), pcx.width, pcx.height,
                                static_cast<qsizetype>(pcx.width) * 4, QImage::Format_ARGB32)
                             .copy();
                return;
            }
            case ImageFormat::kGif:
                if (props_.animate) {
                    data_ = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
                    buffer_ = std::make_unique<QBuffer>(&data_);
                    buffer_->open(QIODevice::ReadOnly);
                    movie_ = std::make_unique<QMovie>(buffer_.get(), QByteArrayLiteral("gif"));
                    if (!movie_->isValid()) {
                        movie_.reset();
                        buffer_.reset();
                        return;
                    }
                    QObject::connect(movie_.get(), &QMovie::frameChanged, this, [this](int) { update(); });
                    movie_->start();
                    return;
                }
                reader_format = "gif";
                break;
            case ImageFormat::kJpeg:
                reader_format = "jpeg";
                break;
            case ImageFormat::kBmp:
                reader_format = "bmp";
                break;
            case ImageFormat::kPng:
                reader_format = "png";
                break;
            case ImageFormat::kIcon:
                reader_format = "ico";
                break;
        }
        QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, reader_format);
        reader.setDecideFormatFromContent(false);
        image_ = reader.read();
    }

    const PictureProperties props_;
    QImage image_;
    QImage scaled_;
    qint64 scaled_source_ = 0;
    QByteArray data_;  // an animation reads from these bytes while it plays
    std::unique_ptr<QBuffer> buffer_;
    std::unique_ptr<QMovie> movie_;
};

// The edit box. Enter does nothing and Esc goes on to the window, which closes.
class EditBox : public QLineEdit {
public:
    EditBox(QWidget* parent, const ControlDescription& d) : QLineEdit(parent), handler_(d.on_left_press) {
        const EditProperties& e = d.edit;
        setFrame(e.border);
        setFont(to_qfont(e.font));
        setAlignment(to_qt(e.h_align) | Qt::AlignVCenter);
        setEchoMode(e.password ? QLineEdit::Password : QLineEdit::Normal);
        setReadOnly(e.read_only);
        if (e.max_length > 0) setMaxLength(e.max_length);
        QPalette p = palette();
        const QColor text = to_qcolor(e.text_rgb), background = to_qcolor(e.background);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(group, QPalette::Text, text);
            p.setColor(group, QPalette::Base, background);
            p.setColor(group, QPalette::Window, background);
        }
        if (e.hide_selection) {
            // Without the focus the selection is drawn in the plain colours, that is, not at all.
            p.setColor(QPalette::Inactive, QPalette::Highlight, background);
            p.setColor(QPalette::Inactive, QPalette::HighlightedText, text);
        }
        setPalette(p);
        setText(from_local(Text(e.content)));
        setCursorPosition(0);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    void focusOutEvent(QFocusEvent* e) override {
        QLineEdit::focusOutEvent(e);
        update();
    }
    void mousePressEvent(QMouseEvent* e) override {
        QLineEdit::mousePressEvent(e);
        if (e->button() == Qt::LeftButton && handler_ != nullptr) {
            const QPoint at = e->position().toPoint();
            handler_(PressEvent{.x = at.x(), .y = at.y(), .modifiers = modifiers_of(e->modifiers())});
        }
    }

private:
    PressHandler handler_;
};

class MainWindow : public QWidget {
public:
    explicit MainWindow(const WindowDescription& d) : QWidget(nullptr), escape_closes_(d.escape_closes) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (escape_closes_ && e->key() == Qt::Key_Escape) {
            close();
            return;
        }
        QWidget::keyPressEvent(e);
    }

private:
    bool escape_closes_;
};

struct Control {
    const ControlDescription* description;
    QWidget* widget;
};

// The toolkit's state. It is never destroyed: the application object must not be torn down among the
// static destructors, after Qt's own globals are gone, and the process ends right after the loop anyway.
struct Toolkit {
    int argc = 1;
    char name[7] = "xunpan";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    std::unique_ptr<MainWindow> window;
    std::vector<Control> controls;
};

Toolkit& toolkit() {
    static Toolkit* t = new Toolkit;
    return *t;
}

const Control* control_named(std::string_view name) {
    for (const Control& c : toolkit().controls) {
        if (c.description->name == name) return &c;
    }
    return nullptr;
}

QIcon icon_from(const EmbeddedPicture& picture) {
    QIcon icon;
    QByteArray data =
        QByteArray::fromRawData(reinterpret_cast<const char*>(picture.data), static_cast<qsizetype>(picture.size));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i)) break;
        const QImage img = reader.read();
        if (!img.isNull()) icon.addPixmap(QPixmap::fromImage(img));
    }
    return icon;
}

QWidget* build_control(QWidget* parent, const ControlDescription& d) {
    QWidget* w = nullptr;
    switch (d.kind) {
        case ControlKind::kLabel:
        case ControlKind::kTransparentLabel:
            w = new CaptionBox(parent, d);
            break;
        case ControlKind::kPictureBox:
            w = new PictureBox(parent, d);
            break;
        case ControlKind::kEditBox:
            w = new EditBox(parent, d);
            break;
    }
    w->setObjectName(QString::fromUtf8(d.name.data(), static_cast<qsizetype>(d.name.size())));
    w->setGeometry(d.left, d.top, d.width, d.height);
    w->setCursor(d.cursor == MouseCursor::kHand ? Qt::PointingHandCursor : Qt::ArrowCursor);
    // No control is reached with Tab; the edit box still takes the focus when clicked.
    w->setFocusPolicy(d.kind == ControlKind::kEditBox ? (d.tab_stop ? Qt::StrongFocus : Qt::ClickFocus) : Qt::NoFocus);
    w->setEnabled(d.enabled);
    w->setVisible(d.visible);
    return w;
}

}  // namespace

void ui_startup() {
    Toolkit& t = toolkit();
    if (t.app || QApplication::instance()) return;
    t.app = std::make_unique<QApplication>(t.argc, t.argv);
}

void ui_create_main_window(const WindowDescription& d) {
    ui_startup();
    Toolkit& t = toolkit();
    t.controls.clear();
    t.window.reset();

    auto window = std::make_unique<MainWindow>(d);
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           (d.system_menu ? Qt::WindowSystemMenuHint : Qt::Widget) |
                           (d.minimize_box ? Qt::WindowMinimizeButtonHint : Qt::Widget) |
                           (d.maximize_box ? Qt::WindowMaximizeButtonHint : Qt::Widget) | Qt::WindowCloseButtonHint |
                           (d.always_on_top ? Qt::WindowStaysOnTopHint : Qt::Widget));
    window->setWindowTitle(from_local(Text(d.title)));
    window->setAutoFillBackground(true);
    set_colours(window.get(), to_qcolor(d.background), QColor(Qt::black));
    if (!d.icon.empty()) {
        const QIcon icon = icon_from(d.icon);
        QApplication::setWindowIcon(icon);
        window->setWindowIcon(icon);
    }
    // The window manager draws the frame here: the client area gets the size the outer size leaves
    // inside a Windows frame.
    const QSize client(client_width(d), client_height(d));
    if (d.resizable) {
        window->resize(client);
    } else {
        window->setFixedSize(client);
    }

    for (const ControlDescription& c : d.controls) {
        QWidget* parent = window.get();
        if (!c.parent.empty()) {
            const Control* p = control_named(c.parent);
            if (p != nullptr) parent = p->widget;
        }
        t.controls.push_back({&c, build_control(parent, c)});
    }
    // Earlier controls lie above later siblings: raise them last.
    for (auto it = t.controls.rbegin(); it != t.controls.rend(); ++it) it->widget->raise();

    if (QScreen* screen = QApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        window->move(s.x() + (s.width() - d.outer_width) / 2, s.y() + (s.height() - d.outer_height) / 2);
    }
    window->show();
    t.window = std::move(window);
    if (d.on_created != nullptr) d.on_created();
}

void ui_run_message_loop() {
    Toolkit& t = toolkit();
    if (!t.app || !t.window || !t.window->isVisible()) return;
    QApplication::exec();
    // The window has closed: its controls go with it.
    t.controls.clear();
    t.window.reset();
}

Text ui_get_text(std::string_view control) {
    const Control* c = control_named(control);
    if (c == nullptr) return {};
    switch (c->description->kind) {
        case ControlKind::kLabel:
        case ControlKind::kTransparentLabel:
            return Text::result(std::string(static_cast<CaptionBox*>(c->widget)->caption().bytes()));
        case ControlKind::kEditBox:
            return to_local(static_cast<EditBox*>(c->widget)->text());
        case ControlKind::kPictureBox:
            break;
    }
    return {};
}

void ui_set_text(std::string_view control, const Text& text) {
    const Control* c = control_named(control);
    if (c == nullptr) return;
    switch (c->description->kind) {
        case ControlKind::kLabel:
        case ControlKind::kTransparentLabel:
            static_cast<CaptionBox*>(c->widget)->set_caption(text);
            break;
        case ControlKind::kEditBox:
            static_cast<EditBox*>(c->widget)->setText(from_local(text));
            break;
        case ControlKind::kPictureBox:
            break;
    }
}

void ui_set_picture(std::string_view control, const ByteSet& bytes) {
    const Control* c = control_named(control);
    if (c == nullptr || c->description->kind != ControlKind::kPictureBox) return;
    static_cast<PictureBox*>(c->widget)->set_bytes(bytes.bytes());
}

void ui_open_in_browser(const Text& text) {
    // One argument, no shell, not waited for: the opener's own failures never reach the window.
    QProcess::startDetached(QStringLiteral("xdg-open"), {from_local(text)});
}
