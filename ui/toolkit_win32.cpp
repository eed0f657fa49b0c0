// The window toolkit on Windows: plain Win32 windows built by walking the main window's constant
// description, GDI for drawing, the Windows Imaging Component for decoding pictures.
//
// Every control is a child window of one class of ours, except the edit box, which is a real Edit control
// inside its picture box. Controls draw themselves into a memory bitmap and copy it out in one go, so a
// caption or picture that changes never flickers. A transparent label composes, in that bitmap, what lies
// beneath it (its parent's content and the siblings below it) before drawing its glyphs: the area under
// the old caption is repainted before the new one appears, and no trace of the old caption remains.
//
// Texts of the program are code page 936; they are drawn through the UTF-16 functions so that the window
// reads the same on a system whose ANSI code page is not 936.
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <shellapi.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "ui/image_format.h"
#include "ui/main_window.h"
#include "ui/pcx.h"
#include "ui/toolkit.h"

namespace {

constexpr UINT kCodePageGbk = 936;
constexpr wchar_t kMainClass[] = L"XunpanMainWindow";
constexpr wchar_t kControlClass[] = L"XunpanControl";
constexpr UINT_PTR kAnimationTimer = 1;
// A frame delay below this is treated as unset, as browsers do: such GIFs were made for players that
// ignored tiny delays.
constexpr UINT kMinFrameDelayMs = 20;
constexpr UINT kDefaultFrameDelayMs = 100;
// Pictures come from the network: decode nothing larger than this, all frames together, and keep no more
// frames of an animation than this (each frame holds a bitmap, and a process has a few thousand at most).
constexpr int64_t kMaxPicturePixels = kPcxMaxPixels;
constexpr size_t kMaxAnimationFrames = 500;

// --- Holders ----------------------------------------------------------------------------------------------

struct GdiDeleter {
    void operator()(HGDIOBJ h) const {
        if (h) DeleteObject(h);
    }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDeleter>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiDeleter>;
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiDeleter>;

struct IconDeleter {
    void operator()(HICON h) const {
        if (h) DestroyIcon(h);
    }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// A COM interface pointer released on scope exit.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p_) p_->Release();
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** put() {
        if (p_) p_->Release();
        p_ = nullptr;
        return &p_;
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A memory device context with a bitmap selected into it, restored and freed on scope exit.
class MemoryCanvas {
public:
    MemoryCanvas(HDC like, int width, int height)
        : dc_(CreateCompatibleDC(like)),
          bitmap_(CreateCompatibleBitmap(like, std::max(width, 1), std::max(height, 1))) {
        old_ = SelectObject(dc_, bitmap_.get());
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    ~MemoryCanvas() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ old_;
};

// --- Text ---------------------------------------------------------------------------------------------------

std::wstring wide_from_gbk(std::string_view bytes) {
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(kCodePageGbk, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(kCodePageGbk, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    return wide;
}

Text gbk_from_wide(std::wstring_view wide) {
    if (wide.empty()) return Text();
    int n = WideCharToMultiByte(kCodePageGbk, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                nullptr);
    if (n <= 0) return Text();
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(kCodePageGbk, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), n, nullptr,
                        nullptr);
    return Text::result(std::move(bytes));
}

COLORREF colorref_of(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

COLORREF colorref_of(const Color& c) {
    if (c.system == Color::System::kButtonFace) return GetSysColor(COLOR_BTNFACE);
    return colorref_of(c.rgb);
}

UniqueFont font_of(const LogicalFont& f) {
    LOGFONTW lf{};
    lf.lfHeight = f.height;
    lf.lfWeight = f.weight;
    lf.lfItalic = f.italic ? TRUE : FALSE;
    lf.lfUnderline = f.underline ? TRUE : FALSE;
    lf.lfStrikeOut = f.strike_out ? TRUE : FALSE;
    lf.lfCharSet = f.charset;
    lf.lfOutPrecision = f.out_precision;
    lf.lfClipPrecision = f.clip_precision;
    lf.lfQuality = f.quality;
    lf.lfPitchAndFamily = f.pitch_and_family;
    std::wstring face = wide_from_gbk(f.face ? f.face : "");
    face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return UniqueFont(CreateFontIndirectW(&lf));
}

// --- Pictures -----------------------------------------------------------------------------------------------

// Premultiplied 32-bit BGRA pixels, rows top to bottom: what AlphaBlend takes.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
};

struct Frame {
    UniqueBitmap bitmap;
    int width = 0;
    int height = 0;
    UINT delay_ms = 0;
};

struct Picture {
    std::vector<Frame> frames;
    bool empty() const { return frames.empty(); }
};

IWICImagingFactory* wic_factory() {
    static IWICImagingFactory* factory = [] {
        IWICImagingFactory* f = nullptr;
        if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(&f)))) {
            f = nullptr;
        }
        return f;
    }();
    return factory;
}

bool pixels_fit(UINT width, UINT height, int64_t already = 0) {
    return width > 0 && height > 0 && static_cast<int64_t>(width) * height + already <= kMaxPicturePixels;
}

// The source's pixels converted to premultiplied BGRA, or empty pixels when it cannot be read.
Pixels read_pixels(IWICBitmapSource* source, int64_t already) {
    IWICImagingFactory* factory = wic_factory();
    ComRef<IWICFormatConverter> converter;
    UINT w = 0, h = 0;
    if (!factory || FAILED(source->GetSize(&w, &h)) || !pixels_fit(w, h, already)) return {};
    if (FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(source, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return {};
    }
    Pixels px{static_cast<int>(w), static_cast<int>(h), std::vector<uint32_t>(static_cast<size_t>(w) * h)};
    if (FAILED(converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(px.data.size() * 4),
                                     reinterpret_cast<BYTE*>(px.data.data())))) {
        return {};
    }
    return px;
}

Pixels pixels_from_rgba(const RgbaImage& img) {
    Pixels px{img.width, img.height, std::vector<uint32_t>(img.pixels.size())};
    for (size_t i = 0; i < img.pixels.size(); ++i) {
        uint32_t p = img.pixels[i];
        uint32_t a = p >> 24;
        auto pm = [a](uint32_t c) { return (c * a + 127) / 255; };
        px.data[i] = (a << 24) | (pm((p >> 16) & 0xFF) << 16) | (pm((p >> 8) & 0xFF) << 8) | pm(p & 0xFF);
    }
    return px;
}

// The pixels scaled to width x height, proportions not kept; the pixels unchanged if scaling fails.
Pixels scaled(Pixels px, int width, int height) {
    if (px.width == width && px.height == height) return px;
    IWICImagingFactory* factory = wic_factory();
    ComRef<IWICBitmap> bitmap;
    ComRef<IWICBitmapScaler> scaler;
    if (!factory || width <= 0 || height <= 0 ||
        FAILED(factory->CreateBitmapFromMemory(px.width, px.height, GUID_WICPixelFormat32bppPBGRA, px.width * 4,
                                               static_cast<UINT>(px.data.size() * 4),
                                               reinterpret_cast<BYTE*>(px.data.data()), bitmap.put())) ||
        FAILED(factory->CreateBitmapScaler(scaler.put())) ||
        FAILED(scaler->Initialize(bitmap.get(), width, height, WICBitmapInterpolationModeFant))) {
        return px;
    }
    Pixels out{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    if (FAILED(scaler->CopyPixels(nullptr, width * 4, static_cast<UINT>(out.data.size() * 4),
                                  reinterpret_cast<BYTE*>(out.data.data())))) {
        return px;
    }
    return out;
}

Frame frame_of(const Pixels& px, UINT delay_ms) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = px.width;
    bi.bmiHeader.biHeight = -px.height;  // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) return {};
    std::memcpy(bits, px.data.data(), px.data.size() * 4);
    GdiFlush();
    return {UniqueBitmap(bmp), px.width, px.height, delay_ms};
}

// An unsigned metadata value such as "/imgdesc/Left", or `fallback` when the reader lacks it.
UINT metadata_uint(IWICMetadataQueryReader* reader, const wchar_t* name, UINT fallback) {
    if (!reader) return fallback;
    PROPVARIANT v;
    PropVariantInit(&v);
    UINT result = fallback;
    if (SUCCEEDED(reader->GetMetadataByName(name, &v))) {
        switch (v.vt) {
            case VT_UI1: result = v.bVal; break;
            case VT_UI2: result = v.uiVal; break;
            case VT_UI4: result = v.ulVal; break;
            default: break;
        }
    }
    PropVariantClear(&v);
    return result;
}

// The frames of an animated GIF, each composed onto the logical screen as a viewer shows it, honouring
// each frame's offset and disposal. Composition stops, keeping the frames so far, at the pixel limit.
std::vector<std::pair<Pixels, UINT>> gif_frames(IWICBitmapDecoder* decoder) {
    std::vector<std::pair<Pixels, UINT>> out;
    UINT count = 0;
    if (FAILED(decoder->GetFrameCount(&count)) || count == 0) return out;
    ComRef<IWICMetadataQueryReader> global;
    decoder->GetMetadataQueryReader(global.put());
    ComRef<IWICBitmapFrameDecode> first;
    UINT fw = 0, fh = 0;
    if (FAILED(decoder->GetFrame(0, first.put())) || FAILED(first->GetSize(&fw, &fh))) return out;
    const int width = static_cast<int>(metadata_uint(global.get(), L"/logscrdesc/Width", fw));
    const int height = static_cast<int>(metadata_uint(global.get(), L"/logscrdesc/Height", fh));
    if (!pixels_fit(width, height)) return out;

    std::vector<uint32_t> canvas(static_cast<size_t>(width) * height, 0);
    int64_t used = 0;
    for (UINT i = 0; i < count && out.size() < kMaxAnimationFrames; ++i) {
        ComRef<IWICBitmapFrameDecode> frame;
        if (FAILED(decoder->GetFrame(i, frame.put()))) break;
        ComRef<IWICMetadataQueryReader> meta;
        frame->GetMetadataQueryReader(meta.put());
        const int left = static_cast<int>(metadata_uint(meta.get(), L"/imgdesc/Left", 0));
        const int top = static_cast<int>(metadata_uint(meta.get(), L"/imgdesc/Top", 0));
        UINT delay = metadata_uint(meta.get(), L"/grctlext/Delay", 0) * 10;
        if (delay < kMinFrameDelayMs) delay = kDefaultFrameDelayMs;
        const UINT disposal = metadata_uint(meta.get(), L"/grctlext/Disposal", 0);

        used += static_cast<int64_t>(width) * height;
        Pixels px = read_pixels(frame.get(), used);
        if (px.data.empty()) break;
        const std::vector<uint32_t> before = canvas;
        for (int y = 0; y < px.height; ++y) {
            const int cy = top + y;
            if (cy < 0 || cy >= height) continue;
            for (int x = 0; x < px.width; ++x) {
                const int cx = left + x;
                if (cx < 0 || cx >= width) continue;
                const uint32_t p = px.data[static_cast<size_t>(y) * px.width + x];
                if (p >> 24) canvas[static_cast<size_t>(cy) * width + cx] = p;  // GIF alpha is all or nothing
            }
        }
        out.push_back({Pixels{width, height, canvas}, delay});
        if (disposal == 2) {  // back to the background: transparent, so the box's colour shows
            for (int y = std::max(top, 0); y < std::min(top + px.height, height); ++y) {
                for (int x = std::max(left, 0); x < std::min(left + px.width, width); ++x) {
                    canvas[static_cast<size_t>(y) * width + x] = 0;
                }
            }
        } else if (disposal == 3) {  // back to what was there before this frame
            canvas = before;
        }
    }
    return out;
}

// The decoded frames of the bytes (one, or several for an animated GIF), or none when the bytes are no
// picture of a recognised format or cannot be decoded.
std::vector<std::pair<Pixels, UINT>> decode_frames(std::string_view bytes, bool animate) {
    std::vector<std::pair<Pixels, UINT>> frames;
    const ImageFormat format = image_format_of(bytes);
    if (format == ImageFormat::kNone) return frames;
    if (format == ImageFormat::kPcx) {
        RgbaImage img = pcx_decode(bytes);
        if (!img.empty()) frames.push_back({pixels_from_rgba(img), 0});
        return frames;
    }

    GUID container{};
    std::string data(bytes);
    switch (format) {
        case ImageFormat::kJpeg: container = GUID_ContainerFormatJpeg; break;
        case ImageFormat::kBmp: container = GUID_ContainerFormatBmp; break;
        case ImageFormat::kPng: container = GUID_ContainerFormatPng; break;
        case ImageFormat::kGif: container = GUID_ContainerFormatGif; break;
        case ImageFormat::kIcon:
            container = GUID_ContainerFormatIco;
            // A cursor file is an icon file whose directory entries hold a hotspot where an icon's hold its
            // planes and bit depth; the images are the same, so the icon decoder reads them once the type
            // says icon.
            data[2] = 1;
            break;
        default: return frames;
    }

    IWICImagingFactory* factory = wic_factory();
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    if (!factory || FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size()))) ||
        FAILED(factory->CreateDecoder(container, nullptr, decoder.put())) ||
        FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnLoad))) {
        return frames;
    }

    UINT count = 0;
    if (FAILED(decoder->GetFrameCount(&count)) || count == 0) return frames;
    if (format == ImageFormat::kGif && count > 1 && animate) return gif_frames(decoder.get());

    UINT chosen = 0;
    if (format == ImageFormat::kIcon) {  // the largest image: it scales best into the box
        uint64_t best = 0;
        for (UINT i = 0; i < count; ++i) {
            ComRef<IWICBitmapFrameDecode> f;
            UINT w = 0, h = 0;
            if (SUCCEEDED(decoder->GetFrame(i, f.put())) && SUCCEEDED(f->GetSize(&w, &h)) &&
                uint64_t{w} * h > best) {
                best = uint64_t{w} * h;
                chosen = i;
            }
        }
    }
    ComRef<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(chosen, frame.put()))) return frames;
    Pixels px = read_pixels(frame.get(), 0);
    if (!px.data.empty()) frames.push_back({std::move(px), 0});
    return frames;
}

Picture picture_of(std::string_view bytes, const ControlDescription& c) {
    Picture picture;
    for (auto& [px, delay] : decode_frames(bytes, c.picture.animate)) {
        if (c.picture.display == PictureDisplay::kStretch) px = scaled(std::move(px), c.width, c.height);
        Frame f = frame_of(px, delay);
        if (!f.bitmap) return {};
        picture.frames.push_back(std::move(f));
    }
    return picture;
}

// --- Controls -----------------------------------------------------------------------------------------------

struct Control {
    const ControlDescription* desc = nullptr;
    Control* parent = nullptr;  // null: the main window
    HWND hwnd = nullptr;
    UniqueFont font;
    std::wstring caption;  // labels: what is drawn
    Text caption_text;     // labels: what was set, as given
    Picture picture;
    size_t frame = 0;
    UniqueBrush edit_brush;      // edit box: its background
    WNDPROC edit_proc = nullptr;  // edit box: the Edit control's own procedure
};

struct Toolkit {
    bool started = false;
    const WindowDescription* desc = nullptr;
    HWND main = nullptr;
    std::vector<std::unique_ptr<Control>> controls;
    UniqueBrush background;
    UniqueIcon icon_big;
    UniqueIcon icon_small;
};

Toolkit& toolkit() {
    static Toolkit t;
    return t;
}

Control* control_named(std::string_view name) {
    for (auto& c : toolkit().controls) {
        if (c->desc->name == name) return c.get();
    }
    return nullptr;
}

Control* control_of(HWND hwnd) {
    return reinterpret_cast<Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void fill(HDC dc, const RECT& rc, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

void draw_caption(const Control& c, HDC dc, RECT rc) {
    const CaptionProperties& p = c.desc->label;
    UINT flags = DT_NOPREFIX;
    switch (p.h_align) {
        case HorizontalAlign::kLeft: flags |= DT_LEFT; break;
        case HorizontalAlign::kCenter: flags |= DT_CENTER; break;
        case HorizontalAlign::kRight: flags |= DT_RIGHT; break;
    }
    if (p.word_wrap) {
        flags |= DT_WORDBREAK;  // from the top edge; the vertical alignment does not apply
    } else {
        flags |= DT_SINGLELINE;
        switch (p.v_align) {
            case VerticalAlign::kTop: flags |= DT_TOP; break;
            case VerticalAlign::kCenter: flags |= DT_VCENTER; break;
            case VerticalAlign::kBottom: flags |= DT_BOTTOM; break;
        }
    }
    HGDIOBJ old = SelectObject(dc, c.font.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colorref_of(p.text_rgb));
    DrawTextW(dc, c.caption.c_str(), static_cast<int>(c.caption.size()), &rc, flags);
    SelectObject(dc, old);
}

void draw_picture(const Control& c, HDC dc) {
    if (c.picture.empty()) return;
    const Frame& f = c.picture.frames[std::min(c.frame, c.picture.frames.size() - 1)];
    HDC src = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(src, f.bitmap.get());
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // Stretched pictures were scaled to the box when they were set; both modes draw 1:1 from the top left.
    AlphaBlend(dc, 0, 0, f.width, f.height, src, 0, 0, f.width, f.height, blend);
    SelectObject(src, old);
    DeleteDC(src);
}

// Draws the control's own content into `dc`, whose origin is the control's top left corner.
void paint_content(const Control& c, HDC dc) {
    const RECT rc{0, 0, c.desc->width, c.desc->height};
    switch (c.desc->kind) {
        case ControlKind::kLabel:
            fill(dc, rc, colorref_of(c.desc->label.background));
            draw_caption(c, dc, rc);
            break;
        case ControlKind::kTransparentLabel: draw_caption(c, dc, rc); break;
        case ControlKind::kPictureBox:
            fill(dc, rc, colorref_of(c.desc->picture.background));
            draw_picture(c, dc);
            break;
        case ControlKind::kEditBox: break;  // the Edit control draws itself
    }
}

bool overlaps(const ControlDescription& a, const ControlDescription& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

// Draws what lies beneath the transparent label `c` into `dc` (origin: the label's top left corner): its
// parent's content, then the siblings below it from the lowest up. Earlier controls lie above later ones.
void paint_beneath(const Control& c, HDC dc) {
    POINT old{};
    const RECT own{0, 0, c.desc->width, c.desc->height};
    if (c.parent) {
        SetViewportOrgEx(dc, -c.desc->left, -c.desc->top, &old);
        paint_content(*c.parent, dc);
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
    } else {
        fill(dc, own, colorref_of(toolkit().desc->background));
    }
    const auto& all = toolkit().controls;
    auto self = std::find_if(all.begin(), all.end(), [&](const auto& p) { return p.get() == &c; });
    for (auto it = all.end(); it != self + 1;) {
        --it;
        const Control& s = **it;
        if (s.parent != c.parent || s.desc->kind == ControlKind::kEditBox || !overlaps(*s.desc, *c.desc)) continue;
        SetViewportOrgEx(dc, s.desc->left - c.desc->left, s.desc->top - c.desc->top, &old);
        if (s.desc->kind == ControlKind::kTransparentLabel) paint_beneath(s, dc);
        paint_content(s, dc);
        SetViewportOrgEx(dc, old.x, old.y, nullptr);
    }
}

void paint_control(const Control& c, HDC dc) {
    if (c.desc->kind == ControlKind::kTransparentLabel) paint_beneath(c, dc);
    paint_content(c, dc);
}

// Redraws the control, its children, and the transparent labels above it that show it through.
void invalidate(const Control& c) {
    RedrawWindow(c.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    for (const auto& s : toolkit().controls) {
        if (s.get() == &c) break;  // only earlier siblings lie above
        if (s->parent == c.parent && s->desc->kind == ControlKind::kTransparentLabel && overlaps(*s->desc, *c.desc)) {
            InvalidateRect(s->hwnd, nullptr, FALSE);
        }
    }
}

void start_animation(Control& c) {
    KillTimer(c.hwnd, kAnimationTimer);
    c.frame = 0;
    if (c.picture.frames.size() > 1) SetTimer(c.hwnd, kAnimationTimer, c.picture.frames[0].delay_ms, nullptr);
}

int modifiers_of(WPARAM wparam) {
    int m = 0;
    if (wparam & MK_CONTROL) m |= kModCtrl;
    if (wparam & MK_SHIFT) m |= kModShift;
    if (GetKeyState(VK_MENU) < 0) m |= kModAlt;
    return m;
}

// The mouse cursor the description gives a control, over its client area.
bool set_described_cursor(const Control& c, LPARAM lparam) {
    if (LOWORD(lparam) != HTCLIENT) return false;
    SetCursor(LoadCursorA(nullptr, c.desc->cursor == MouseCursor::kHand ? IDC_HAND : IDC_ARROW));
    return true;
}

// The Edit control's own procedure, with Enter and Esc taken out (in a plain window the Edit control would
// beep at them, and neither does anything in this box) and the described cursor in place of the I-beam.
LRESULT CALLBACK edit_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    Control* c = control_of(hwnd);
    if (msg == WM_CHAR && (wparam == '\r' || wparam == '\n' || wparam == VK_ESCAPE)) return 0;
    if (msg == WM_SETCURSOR && set_described_cursor(*c, lparam)) return TRUE;
    return CallWindowProcW(c->edit_proc, hwnd, msg, wparam, lparam);
}

// The colours of an edit box, asked of its parent before the box paints: the brush, or 0 when the child is
// not one of ours.
LRESULT edit_colours(WPARAM wparam, LPARAM lparam) {
    Control* edit = control_of(reinterpret_cast<HWND>(lparam));
    if (!edit || edit->desc->kind != ControlKind::kEditBox) return 0;
    HDC dc = reinterpret_cast<HDC>(wparam);
    SetTextColor(dc, colorref_of(edit->desc->edit.text_rgb));
    SetBkColor(dc, colorref_of(edit->desc->edit.background));
    return reinterpret_cast<LRESULT>(edit->edit_brush.get());
}

LRESULT CALLBACK control_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
        auto* c = static_cast<Control*>(cs->lpCreateParams);
        c->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
    }
    Control* c = control_of(hwnd);
    if (!c) return DefWindowProcW(hwnd, msg, wparam, lparam);
    switch (msg) {
        case WM_ERASEBKGND: return 1;  // WM_PAINT draws everything
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            MemoryCanvas canvas(dc, c->desc->width, c->desc->height);
            paint_control(*c, canvas.dc());
            BitBlt(dc, 0, 0, c->desc->width, c->desc->height, canvas.dc(), 0, 0, SRCCOPY);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint_control(*c, reinterpret_cast<HDC>(wparam));
            return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(c->font.get());
        case WM_SETCURSOR:
            if (set_described_cursor(*c, lparam)) return TRUE;
            break;
        case WM_LBUTTONDOWN:
            // The class has CS_DBLCLKS: the second press of a double click comes as WM_LBUTTONDBLCLK,
            // which nothing is bound to.
            if (c->desc->on_left_press) {
                c->desc->on_left_press(PressEvent{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), modifiers_of(wparam)});
            }
            return 0;
        case WM_TIMER:
            if (wparam == kAnimationTimer && c->picture.frames.size() > 1) {
                c->frame = (c->frame + 1) % c->picture.frames.size();
                SetTimer(hwnd, kAnimationTimer, c->picture.frames[c->frame].delay_ms, nullptr);
                invalidate(*c);
                return 0;
            }
            break;
        case WM_CTLCOLOREDIT:
            if (LRESULT brush = edit_colours(wparam, lparam)) return brush;
            break;
        case WM_NCDESTROY: SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); break;
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK main_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_CTLCOLOREDIT:
            if (LRESULT brush = edit_colours(wparam, lparam)) return brush;
            return DefWindowProcW(hwnd, msg, wparam, lparam);
        case WM_HELP: return TRUE;  // F1 opens no help
        case WM_DESTROY:
            if (hwnd == toolkit().main) {
                toolkit().main = nullptr;
                PostQuitMessage(0);
            }
            return 0;
        default: return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
}

void register_classes(HINSTANCE instance) {
    WNDCLASSEXW main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = main_proc;
    main.hInstance = instance;
    main.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    main.lpszClassName = kMainClass;
    RegisterClassExW(&main);

    WNDCLASSEXW control{};
    control.cbSize = sizeof control;
    control.style = CS_DBLCLKS;
    control.lpfnWndProc = control_proc;
    control.hInstance = instance;
    control.lpszClassName = kControlClass;
    RegisterClassExW(&control);
}

// The image of an ICO file that suits a `size`-pixel icon best (that size, else the next larger, else the
// largest), made into an icon. LookupIconIdFromDirectoryEx reads only the directory of an icon resource,
// whose entries differ from a file's, so the file's directory is read here.
UniqueIcon icon_of(const EmbeddedPicture& ico, int size) {
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(ico.data[at] | ico.data[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (ico.size < 6 || u16(0) != 0 || u16(2) != 1) return {};
    const size_t count = u16(4);
    if (ico.size < 6 + 16 * count) return {};
    size_t best = count;
    int best_width = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t e = 6 + 16 * i;
        const int width = ico.data[e] == 0 ? 256 : ico.data[e];
        if (u32(e + 12) > ico.size || u32(e + 8) > ico.size - u32(e + 12)) continue;
        const bool better = best == count || (width >= size && (best_width < size || width < best_width)) ||
                            (width < size && best_width < size && width > best_width);
        if (better) {
            best = i;
            best_width = width;
        }
    }
    if (best == count) return {};
    const size_t e = 6 + 16 * best;
    auto* image = const_cast<BYTE*>(ico.data + u32(e + 12));
    return UniqueIcon(CreateIconFromResourceEx(image, u32(e + 8), TRUE, 0x00030000, size, size, LR_DEFAULTCOLOR));
}

[[noreturn]] void fail_window(const char* what) {
    std::string message = std::string("Xunpan could not create its window: ") + what + ".";
    FatalAppExitA(0, message.c_str());
    ExitProcess(1);  // not reached: FatalAppExitA ends the process
}

// Creates the control's window. Its child-window ID is its 1-based place in the description, so tools
// and tests find a control with GetDlgItem.
bool create_control(Control& c, int id, HINSTANCE instance) {
    const ControlDescription& d = *c.desc;
    HWND parent = c.parent ? c.parent->hwnd : toolkit().main;
    auto* child_id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (d.visible) style |= WS_VISIBLE;
    if (!d.enabled) style |= WS_DISABLED;
    if (d.tab_stop) style |= WS_TABSTOP;

    if (d.kind == ControlKind::kEditBox) {
        const EditProperties& e = d.edit;
        style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
        if (e.multi_line) style |= ES_MULTILINE;
        if (e.auto_hscroll) style |= ES_AUTOHSCROLL;
        if (e.password) style |= ES_PASSWORD;
        if (e.read_only) style |= ES_READONLY;
        if (!e.hide_selection) style |= ES_NOHIDESEL;
        if (e.border) style |= WS_BORDER;
        style |= e.h_align == HorizontalAlign::kCenter ? ES_CENTER
                 : e.h_align == HorizontalAlign::kRight ? ES_RIGHT
                                                        : ES_LEFT;
        std::wstring content = wide_from_gbk(e.content ? e.content : "");
        c.hwnd = CreateWindowExW(0, L"EDIT", content.c_str(), style, d.left, d.top, d.width, d.height, parent,
                                 child_id, instance, nullptr);
        if (!c.hwnd) return false;
        SetWindowLongPtrW(c.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&c));
        c.edit_proc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(c.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_proc)));
        if (e.max_length > 0) SendMessageW(c.hwnd, EM_LIMITTEXT, static_cast<WPARAM>(e.max_length), 0);
        c.font = font_of(e.font);
        c.edit_brush.reset(CreateSolidBrush(colorref_of(e.background)));
        SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(c.font.get()), FALSE);
        SendMessageW(c.hwnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    } else {
        if (d.kind == ControlKind::kLabel || d.kind == ControlKind::kTransparentLabel) {
            c.caption_text = Text(d.label.caption);
            c.caption = wide_from_gbk(c.caption_text.view());
            c.font = font_of(d.label.font);
        } else if (!d.picture.picture.empty()) {
            c.picture = picture_of(d.picture.picture.bytes(), d);
        }
        if (!CreateWindowExW(0, kControlClass, nullptr, style, d.left, d.top, d.width, d.height, parent, child_id,
                             instance, &c)) {
            return false;
        }
        if (d.kind == ControlKind::kPictureBox) start_animation(c);
    }
    // Each control goes below the siblings made before it: earlier controls lie above later ones.
    SetWindowPos(c.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

}  // namespace

void ui_startup() {
    Toolkit& t = toolkit();
    if (t.started) return;
    t.started = true;
    // WIC lives in COM; the UI thread is a single-threaded apartment, as the shell's open action wants.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    register_classes(GetModuleHandleW(nullptr));
}

void ui_create_main_window(const WindowDescription& description) {
    ui_startup();
    Toolkit& t = toolkit();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    t.desc = &description;
    t.controls.clear();
    t.background.reset(CreateSolidBrush(colorref_of(description.background)));

    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
    if (description.system_menu) style |= WS_SYSMENU;
    if (description.minimize_box) style |= WS_MINIMIZEBOX;
    if (description.maximize_box) style |= WS_MAXIMIZEBOX;
    if (description.resizable) style |= WS_THICKFRAME;
    DWORD ex_style = 0;
    if (description.taskbar_button) ex_style |= WS_EX_APPWINDOW;
    if (description.always_on_top) ex_style |= WS_EX_TOPMOST;

    int left = description.stored_left;
    int top = description.stored_top;
    if (description.centred) {
        left = (GetSystemMetrics(SM_CXSCREEN) - description.outer_width) / 2;
        top = (GetSystemMetrics(SM_CYSCREEN) - description.outer_height) / 2;
    }
    std::wstring title = wide_from_gbk(description.title ? description.title : "");
    t.main = CreateWindowExW(ex_style, kMainClass, title.c_str(), style, left, top, description.outer_width,
                             description.outer_height, nullptr, nullptr, instance, nullptr);
    if (!t.main) fail_window("the main window");
    SetClassLongPtrW(t.main, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(t.background.get()));
    t.icon_big = icon_of(description.icon, GetSystemMetrics(SM_CXICON));
    t.icon_small = icon_of(description.icon, GetSystemMetrics(SM_CXSMICON));
    if (t.icon_big) SendMessageW(t.main, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(t.icon_big.get()));
    if (t.icon_small) SendMessageW(t.main, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(t.icon_small.get()));

    // Parents come before their children in the description.
    for (const ControlDescription& d : description.controls) {
        auto c = std::make_unique<Control>();
        c->desc = &d;
        if (!d.parent.empty()) {
            c->parent = control_named(d.parent);
            if (!c->parent) fail_window("a control's parent is missing");
        }
        t.controls.push_back(std::move(c));
        if (!create_control(*t.controls.back(), static_cast<int>(t.controls.size()), instance)) {
            fail_window("a control");
        }
    }

    ShowWindow(t.main, SW_SHOWNORMAL);
    UpdateWindow(t.main);
    if (description.on_created) description.on_created();
}

void ui_run_message_loop() {
    Toolkit& t = toolkit();
    if (!t.main) return;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && t.desc && t.desc->escape_closes && t.main) {
            PostMessageW(t.main, WM_CLOSE, 0, 0);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    t.controls.clear();
    t.desc = nullptr;
}

Text ui_get_text(std::string_view control) {
    Control* c = control_named(control);
    if (!c) return Text();
    if (c->desc->kind == ControlKind::kEditBox) {
        int n = GetWindowTextLengthW(c->hwnd);
        std::wstring wide(static_cast<size_t>(n) + 1, L'\0');
        n = GetWindowTextW(c->hwnd, wide.data(), n + 1);
        wide.resize(static_cast<size_t>(std::max(n, 0)));
        return gbk_from_wide(wide);
    }
    if (c->desc->kind == ControlKind::kPictureBox) return Text();
    return c->caption_text.empty() ? Text() : c->caption_text;
}

void ui_set_text(std::string_view control, const Text& text) {
    Control* c = control_named(control);
    if (!c) return;
    switch (c->desc->kind) {
        case ControlKind::kEditBox: SetWindowTextW(c->hwnd, wide_from_gbk(text.view()).c_str()); break;
        case ControlKind::kLabel:
        case ControlKind::kTransparentLabel:
            c->caption_text = text;
            c->caption = wide_from_gbk(text.view());
            invalidate(*c);
            break;
        case ControlKind::kPictureBox: break;
    }
}

void ui_set_picture(std::string_view control, const ByteSet& bytes) {
    Control* c = control_named(control);
    if (!c || c->desc->kind != ControlKind::kPictureBox) return;
    c->picture = picture_of(bytes.bytes(), *c->desc);
    start_animation(*c);
    invalidate(*c);
}

void ui_open_in_browser(const Text& text) {
    ShellExecuteA(nullptr, "open", text.c_str_or_null(), nullptr, nullptr, SW_SHOWNORMAL);
}
