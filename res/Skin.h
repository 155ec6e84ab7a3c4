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
};

// Every skin bitmap, in number order.
constexpr SkinBitmap kSkinBitmaps[] = {
    SkinBitmap::AboutLogo,      SkinBitmap::Background,      SkinBitmap::CancelButton, SkinBitmap::CautionPanel,
    SkinBitmap::ProtectionBox,  SkinBitmap::ClearButton,     SkinBitmap::CloseButton,  SkinBitmap::CompletedPanel,
    SkinBitmap::CopyrightLabel, SkinBitmap::ProtectionLabel, SkinBitmap::OkButton,     SkinBitmap::PowerButton,
    SkinBitmap::TitleLabel,     SkinBitmap::DropSpace,       SkinBitmap::AboutButton,
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
constexpr SkinArea kAboutLogo{6, 25, 48, 48};
constexpr SkinArea kTitleLabel{0, 21, 210, 17};
constexpr SkinArea kCopyrightLabel{0, 41, 210, 17};
constexpr SkinArea kProtectionLabel{11, 65, 106, 12};
// The text fields lie on the white of the label strips.
constexpr SkinArea kTitleField{77, 23, 115, 14};
constexpr SkinArea kCopyrightField{77, 43, 115, 14};
constexpr SkinPoint kProtectionBox{121, 63};
}  // namespace skin_place

}  // namespace quorbin
