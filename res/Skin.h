#pragma once
// The skin: the numbered bitmaps every window is drawn with, and where the
// windows place them, in pixels of the 210 x 100 background. Plain data shared
// by the windows, the tool that draws the bitmaps and the tests.
#include <string>

namespace quorbin {

// Each bitmap's number names its files, res/skin/NUMBER.bmp and NUMBER@2x.bmp.
// Frames are stacked vertically; the colour of pixel (0, 0) marks what lies
// outside a control's shape.
enum class SkinBitmap {
    AboutLogo = 132,
    Background = 133,
    CancelButton = 134,
    CautionPanel = 135,   // the error message's panel
    ProtectionBox = 136,  // three frames: unchecked, checked, disabled
    ClearButton = 137,
    CloseButton = 138,
    CompletedPanel = 139,  // the size report's panel
    CopyrightLabel = 141,
    ProtectionLabel = 142,
    OkButton = 145,
    PowerButton = 146,
    TitleLabel = 148,
    DropSpace = 150,  // two frames: plain, lit under the pointer
    AboutButton = 156,
    EditorBackground = 160,  // the ringtone editor's window
    OpenButton = 161,
    PlayButton = 162,
    StopButton = 163,
    NextButton = 164,
};

// Every skin bitmap, in number order.
constexpr SkinBitmap kSkinBitmaps[] = {
    SkinBitmap::AboutLogo,      SkinBitmap::Background,      SkinBitmap::CancelButton, SkinBitmap::CautionPanel,
    SkinBitmap::ProtectionBox,  SkinBitmap::ClearButton,     SkinBitmap::CloseButton,  SkinBitmap::CompletedPanel,
    SkinBitmap::CopyrightLabel, SkinBitmap::ProtectionLabel, SkinBitmap::OkButton,     SkinBitmap::PowerButton,
    SkinBitmap::TitleLabel,     SkinBitmap::DropSpace,       SkinBitmap::AboutButton,  SkinBitmap::EditorBackground,
    SkinBitmap::OpenButton,     SkinBitmap::PlayButton,      SkinBitmap::StopButton,   SkinBitmap::NextButton,
};

constexpr int SkinNumber(SkinBitmap bitmap)
{
    return static_cast<int>(bitmap);
}

// "133.bmp", or "133@2x.bmp" for the artwork at twice the size.
inline std::string SkinFileName(SkinBitmap bitmap, int scale = 1)
{
    return std::to_string(SkinNumber(bitmap)) + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".bmp";
}

struct SkinPoint {
    int x = 0;
    int y = 0;
};

struct SkinArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Where the windows put their parts on the background.
namespace skin_place {
constexpr SkinArea kWindow{0, 0, 210, 100};
constexpr SkinArea kDragStrip{0, 0, 210, 20};  // moves the window; holds the maker's and the product's names
constexpr SkinPoint kPowerButton{182, 72};
// The three push-button places along the bottom edge.
constexpr SkinPoint kLeftButton{6, 85};     // about (main window), clear (information)
constexpr SkinPoint kMiddleButton{68, 85};  // OK (information)
constexpr SkinPoint kRightButton{130, 85};  // cancel (information), close (message, about)
constexpr SkinPoint kPanel{0, 24};          // the drop space, the message panels
// The message panels' text: up to three lines below the heading's rule.
constexpr SkinArea kMessageText{10, 50, 190, 32};
constexpr SkinArea kAboutLogo{6, 25, 48, 48};
constexpr SkinArea kTitleLabel{0, 21, 210, 17};
constexpr SkinArea kCopyrightLabel{0, 41, 210, 17};
constexpr SkinArea kProtectionLabel{11, 65, 106, 12};
// The text fields lie on the white of the label strips.
constexpr SkinArea kTitleField{77, 23, 115, 14};
constexpr SkinArea kCopyrightField{77, 43, 115, 14};
constexpr SkinPoint kProtectionBox{121, 63};
}  // namespace skin_place

// Where the ringtone editor puts its parts on its own, larger background.
namespace editor_place {
constexpr SkinArea kWindow{0, 0, 420, 250};
constexpr SkinArea kDragStrip{0, 0, 420, 20};
constexpr SkinArea kFileName{8, 23, 300, 14};
constexpr SkinArea kLength{310, 23, 102, 14};  // the recording's length, right-aligned
// The waveform inside its dark well; one pixel of its width is a tenth of its time span.
constexpr SkinArea kWave{10, 42, 400, 88};
constexpr SkinArea kStatus{8, 133, 404, 13};  // notes: decoding, sound, failures
// The value fields lie on white wells; each label takes the kLabelWidth pixels left of its field.
constexpr int kLabelWidth = 70;
constexpr SkinArea kStartField{80, 153, 76, 14};
constexpr SkinArea kLengthField{288, 153, 76, 14};
constexpr SkinArea kFadeInField{80, 172, 76, 14};
constexpr SkinArea kFadeOutField{288, 172, 76, 14};
constexpr SkinArea kRateField{80, 191, 76, 14};
constexpr SkinArea kQualityField{288, 191, 76, 14};
constexpr SkinArea kFields[] = {kStartField, kLengthField, kFadeInField, kFadeOutField, kRateField, kQualityField};
constexpr SkinArea kControlPanel{4, 148, 412, 79};  // the darker plate under the labels and fields
constexpr SkinPoint kNormalizeBox{80, 211};
constexpr SkinArea kNormalizeLabel{8, 210, 70, 15};
// The push buttons along the bottom edge, the Power button in the corner.
constexpr SkinPoint kOpenButton{6, 232};
constexpr SkinPoint kPlayButton{68, 232};
constexpr SkinPoint kNextButton{130, 232};
constexpr SkinPoint kCloseButton{192, 232};
constexpr SkinPoint kPowerButton{392, 222};
}  // namespace editor_place

}  // namespace quorbin
