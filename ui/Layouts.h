#pragma once
// The dialog layouts of the program's windows, each in English and Japanese:
// the font a layout is drawn in and the controls it makes, with their
// rectangles in dialog units of that font. Plain data, no toolkit types.
#include <vector>

#include "conversion/StringTable.h"

namespace quorbin {

enum LayoutId {
    IDD_MAIN = 102,
    IDD_INFO = 130,
    IDD_MESSAGE = 151,
    IDD_ABOUT = 152,
};

enum class ControlKind { Button, Static, Edit };

// Style bits of a control that change how it behaves or draws.
enum ControlStyle : unsigned {
    kStyleOwnerDraw = 1u << 0,    // button painted by its own class, caption never shown
    kStyleCentre = 1u << 1,       // text centred horizontally
    kStyleCentreImage = 1u << 2,  // single line centred vertically
    kStyleNotify = 1u << 3,       // static text that reports presses
    kStyleAutoHScroll = 1u << 4,  // edit text scrolls sideways instead of stopping
    kStyleNoBorder = 1u << 5,     // edit field drawn without a frame
    kStyleTabStop = 1u << 6,      // reached with the Tab key
};

struct DialogUnitRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct LayoutControl {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    const char* caption = "";  // UTF-8; "\n" breaks a line
    unsigned styles = 0;
    DialogUnitRect rect;

    bool Has(ControlStyle style) const { return (styles & style) != 0; }
};

// The font families the layouts name (UTF-8); the window maps them to installed faces.
constexpr const char* kEnglishFont = "Arial";
constexpr const char* kJapaneseFont = "ＭＳ Ｐゴシック";

struct DialogLayout {
    int id = 0;
    Language language;            // Japanese, or English for every language but Japanese
    const char* fontFamily = "";  // UTF-8
    int pointSize = 0;
    std::vector<LayoutControl> controls;

    // The control with number `controlId`, or nullptr.
    const LayoutControl* Find(int controlId) const;
};

// Layout `id` (102, 130, 151 or 152) for `language`: the Japanese layout for
// Japanese, the English one for every other language; an empty layout (id 0,
// no controls) for any other number.
const DialogLayout& LoadLayout(int id, const Language& language);

}  // namespace quorbin
