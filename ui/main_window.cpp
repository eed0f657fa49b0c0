// The main window's constant description, its event handlers, the start-up routine and the link labels.
//
// Captions are code page 936 bytes written as escapes; the UTF-8 text they hold stands beside each one.
// A string literal is split where a hex escape would otherwise swallow the digit after it.
#include "ui/main_window.h"

#include <iterator>

#include "lookup/run_lookup.h"
#include "ui/pictures.h"

namespace {

// "微软雅黑"
constexpr char kFace[] = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";

constexpr LogicalFont font_of_height(int32_t pixels) { return {.face = kFace, .height = -pixels}; }

constexpr uint32_t kGreyText = 0x606060;
constexpr uint32_t kPromptGrey = 0x808080;
constexpr uint32_t kBlue = 0x0088FF;

constexpr EmbeddedPicture embedded(const unsigned char* data, size_t size) { return {data, size}; }

void on_main_window_created() {}

void press_detail_link(const PressEvent&) { open_label_link("透明标签1"); }
void press_home_page_link(const PressEvent&) { open_label_link("透明标签2"); }

// The table keeps one line per rectangle and per caption piece.
// clang-format off
constexpr ControlDescription kControls[] = {
    {.name = "透明标签1",
     .kind = ControlKind::kTransparentLabel,
     .left = 216, .top = 224, .width = 632, .height = 112,
     .cursor = MouseCursor::kHand,
     .label = {.caption = "url", .font = font_of_height(14), .text_rgb = kBlue},
     .on_left_press = press_detail_link},
    {.name = "图片框1",
     .kind = ControlKind::kPictureBox,
     .left = 688, .top = 320, .width = 104, .height = 104,
     .picture = {.picture = embedded(kPicturePromoCode, sizeof kPicturePromoCode),
                 .display = PictureDisplay::kStretch,
                 .background = Color::button_face()}},
    {.name = "查询标签_2",
     .kind = ControlKind::kLabel,
     .left = 384, .top = 376, .width = 304, .height = 48,
     // "关注右侧公众号，实时了解更多资讯\r\n公众号由NUVIRO DRUVEN 运营"
     .label = {.caption = "\xB9\xD8\xD7\xA2\xD3\xD2\xB2\xE0\xB9\xAB\xD6\xDA\xBA\xC5\xA3\xAC\xCA\xB5\xCA\xB1\xC1\xCB\xBD"
                          "\xE2\xB8\xFC\xB6\xE0\xD7\xCA\xD1\xB6\r\n"
                          "\xB9\xAB\xD6\xDA\xBA\xC5\xD3\xC9NUVIRO DRUVEN \xD4\xCB\xD3\xAA",
               .font = font_of_height(13), .text_rgb = kGreyText}},
    {.name = "查询标签_1",
     .kind = ControlKind::kLabel,
     .left = 16, .top = 376, .width = 360, .height = 48,
     // "出于免费公开原则，禁止倒卖\r\n本工具由【TELMORA】作者VORANT打造"
     .label = {.caption = "\xB3\xF6\xD3\xDA\xC3\xE2\xB7\xD1\xB9\xAB\xBF\xAA\xD4\xAD\xD4\xF2\xA3\xAC\xBD\xFB\xD6\xB9\xB5"
                          "\xB9\xC2\xF4\r\n"
                          "\xB1\xBE\xB9\xA4\xBE\xDF\xD3\xC9\xA1\xBE" "TELMORA" "\xA1\xBF\xD7\xF7\xD5\xDF" "VORANT"
                          "\xB4\xF2\xD4\xEC",
               .font = font_of_height(13), .text_rgb = kGreyText}},
    {.name = "透明标签2",
     .kind = ControlKind::kTransparentLabel,
     .left = 16, .top = 352, .width = 184, .height = 24,
     .cursor = MouseCursor::kHand,
     .label = {.caption = kHomePageAddress, .font = font_of_height(14), .text_rgb = kBlue},
     .on_left_press = press_home_page_link},
    {.name = "查询标签_12",
     .kind = ControlKind::kLabel,
     .left = 216, .top = 120, .width = 200, .height = 18,
     // "该产品所属类目下6个月询盘数："
     .label = {.caption = "\xB8\xC3\xB2\xFA\xC6\xB7\xCB\xF9\xCA\xF4\xC0\xE0\xC4\xBF\xCF\xC2" "6"
                          "\xB8\xF6\xD4\xC2\xD1\xAF\xC5\xCC\xCA\xFD\xA3\xBA",
               .font = font_of_height(13), .text_rgb = kGreyText}},
    {.name = "透明标签193",
     .kind = ControlKind::kLabel,
     .left = 216, .top = 144, .width = 144, .height = 48,
     .label = {.caption = "0", .font = font_of_height(35), .text_rgb = kBlue}},
    {.name = "查询标签_11",
     .kind = ControlKind::kLabel,
     .left = 432, .top = 120, .width = 104, .height = 18,
     // "浏览人数"
     .label = {.caption = "\xE4\xAF\xC0\xC0\xC8\xCB\xCA\xFD", .font = font_of_height(13), .text_rgb = kGreyText}},
    {.name = "透明标签179",
     .kind = ControlKind::kLabel,
     .left = 432, .top = 144, .width = 128, .height = 48,
     .label = {.caption = "0", .font = font_of_height(35), .text_rgb = kBlue}},
    {.name = "表计数59",
     .kind = ControlKind::kLabel,
     .left = 13, .top = 8, .width = 160, .height = 24,
     // "输入产品ID查询盘："
     .label = {.caption = "\xCA\xE4\xC8\xEB\xB2\xFA\xC6\xB7" "ID" "\xB2\xE9\xD1\xAF\xC5\xCC\xA3\xBA",
               .font = font_of_height(14), .text_rgb = kPromptGrey, .word_wrap = false}},
    {.name = "编辑框底图_26",
     .kind = ControlKind::kPictureBox,
     .left = 12, .top = 39, .width = 217, .height = 30,
     .picture = {.picture = embedded(kPictureEditFrame, sizeof kPictureEditFrame),
                 .display = PictureDisplay::kNaturalTopLeft}},
    {.name = "当前ID",
     .kind = ControlKind::kEditBox,
     .parent = "编辑框底图_26",
     .left = 6, .top = 2, .width = 206, .height = 27,
     .edit = {.content = "", .font = font_of_height(14), .text_rgb = kPromptGrey}},
    {.name = "bitt按钮119",
     .kind = ControlKind::kPictureBox,
     .left = 236, .top = 38, .width = 140, .height = 31,
     .picture = {.picture = embedded(kPictureQueryButton, sizeof kPictureQueryButton),
                 .display = PictureDisplay::kNaturalTopLeft}},
    // The lookup binds its press when it lands; until then the press does nothing.
    {.name = "透明标签196",
     .kind = ControlKind::kTransparentLabel,
     .parent = "bitt按钮119",
     .left = 18, .top = 3, .width = 104, .height = 24,
     .cursor = MouseCursor::kHand,
     // "查询"
     .label = {.caption = "\xB2\xE9\xD1\xAF", .font = font_of_height(14), .text_rgb = 0xFFFFFF,
               .h_align = HorizontalAlign::kCenter, .word_wrap = false},
     .on_left_press = run_lookup},
    {.name = "图片框_bg1",
     .kind = ControlKind::kPictureBox,
     .left = 8, .top = 114, .width = 192, .height = 192,
     .picture = {.picture = embedded(kPicturePhotoFrame, sizeof kPicturePhotoFrame),
                 .display = PictureDisplay::kStretch}},
    {.name = "图片框27",
     .kind = ControlKind::kPictureBox,
     .parent = "图片框_bg1",
     .left = 8, .top = 7, .width = 175, .height = 175,
     .picture = {.display = PictureDisplay::kStretch}},
};

constexpr WindowDescription kMainWindow = {
    // "查询盘数  2021.4   by   VORANT"
    .title = "\xB2\xE9\xD1\xAF\xC5\xCC\xCA\xFD  2021.4   by   VORANT",
    .outer_width = 805,
    .outer_height = 463,
    .stored_left = 50,
    .stored_top = 50,
    .icon = embedded(kProgramIcon, sizeof kProgramIcon),
    .controls = kControls,
    .on_created = on_main_window_created,
};

// clang-format on

static_assert(std::size(kControls) == 16);

}  // namespace

const WindowDescription& main_window_description() { return kMainWindow; }

const ControlDescription* find_control(const WindowDescription& description, std::string_view name) {
    for (const ControlDescription& c : description.controls) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

int start_program() {
    ui_startup();
    ui_create_main_window(main_window_description());
    ui_run_message_loop();
    return 0;
}

void open_label_link(std::string_view label) {
    Text caption = ui_get_text(label);
    ui_open_in_browser(caption.present() ? caption : Text::present_empty());
}
