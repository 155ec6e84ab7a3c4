#include "ui/Layouts.h"

#include <array>

namespace quorbin {
namespace {

constexpr unsigned kOwnerDrawButton = kStyleOwnerDraw;
constexpr unsigned kTextField = kStyleAutoHScroll | kStyleNoBorder | kStyleTabStop;
constexpr unsigned kTextLine = kStyleCentreImage;

LayoutControl Button(int id, const char* caption, DialogUnitRect rect)
{
    return {id, ControlKind::Button, caption, kOwnerDrawButton, rect};
}

LayoutControl Text(int id, const char* caption, unsigned styles, DialogUnitRect rect)
{
    return {id, ControlKind::Static, caption, styles, rect};
}

LayoutControl Field(int id, DialogUnitRect rect)
{
    return {id, ControlKind::Edit, "", kTextField, rect};
}

// Main window: the captions are never shown; the window places its controls itself.
DialogLayout MainLayout(bool ja)
{
    const Language language = ja ? Language::Japanese() : Language::English();
    return {IDD_MAIN,
            language,
            ja ? kJapaneseFont : kEnglishFont,
            ja ? 9 : 8,
            {
                Button(1029, "about", ja ? DialogUnitRect{4, 48, 34, 8} : DialogUnitRect{4, 52, 34, 8}),
                Button(1027, "Dropspace", ja ? DialogUnitRect{0, 14, 140, 34} : DialogUnitRect{0, 15, 140, 37}),
                Button(1, "OK", ja ? DialogUnitRect{121, 40, 19, 16} : DialogUnitRect{121, 44, 19, 17}),
            }};
}

DialogLayout InfoLayout(bool ja)
{
    const Language language = ja ? Language::Japanese() : Language::English();
    return {IDD_INFO,
            language,
            ja ? kJapaneseFont : kEnglishFont,
            ja ? 9 : 8,
            {
                Button(1023, "", ja ? DialogUnitRect{81, 36, 9, 8} : DialogUnitRect{81, 39, 9, 8}),
                Button(1015, "Power", ja ? DialogUnitRect{121, 40, 19, 16} : DialogUnitRect{121, 44, 19, 17}),
                Button(1, "OK", ja ? DialogUnitRect{45, 48, 34, 8} : DialogUnitRect{45, 52, 34, 8}),
                Button(2, "CANCEL", ja ? DialogUnitRect{87, 48, 34, 8} : DialogUnitRect{87, 52, 34, 8}),
                Button(1000, "CLEAR", ja ? DialogUnitRect{4, 48, 34, 8} : DialogUnitRect{4, 52, 34, 8}),
                Field(1001, ja ? DialogUnitRect{51, 13, 77, 8} : DialogUnitRect{51, 14, 77, 9}),
                Field(1002, ja ? DialogUnitRect{51, 24, 77, 8} : DialogUnitRect{51, 26, 77, 9}),
            }};
}

DialogLayout MessageLayout(bool ja)
{
    const Language language = ja ? Language::Japanese() : Language::English();
    return {IDD_MESSAGE,
            language,
            ja ? kJapaneseFont : kEnglishFont,
            ja ? 9 : 8,
            {
                Text(1026, "", kStyleCentre | kStyleCentreImage,
                     ja ? DialogUnitRect{10, 35, 120, 7} : DialogUnitRect{10, 38, 120, 7}),
                Button(1025, "Message Area", ja ? DialogUnitRect{0, 14, 140, 34} : DialogUnitRect{0, 15, 140, 37}),
                Button(1, "OK", ja ? DialogUnitRect{87, 48, 34, 8} : DialogUnitRect{87, 52, 34, 8}),
                Button(1015, "Power", ja ? DialogUnitRect{121, 40, 19, 16} : DialogUnitRect{121, 44, 19, 17}),
            }};
}

// The about box's texts stay where the layout puts them, so their rectangles
// are the ones the dialog shows. The name line's caption is replaced at run time.
DialogLayout AboutLayout(bool ja)
{
    const Language language = ja ? Language::Japanese() : Language::English();
    if (ja) {
        return {IDD_ABOUT,
                language,
                kJapaneseFont,
                8,
                {
                    Text(1002, "Quorbin", kTextLine, {41, 19, 83, 8}),
                    Text(1003, "Copyright (C) 2003", kTextLine, {41, 27, 84, 8}),
                    Text(1004, "株式会社ノルラボ", kTextLine, {41, 34, 95, 8}),
                    Text(1006, "https://example.com/\nquorbin/ja/", kStyleCentre | kStyleNotify, {45, 42, 77, 18}),
                    Button(1, "OK", {87, 48, 34, 8}),
                    Button(1015, "Power", {121, 40, 19, 16}),
                }};
    }
    return {IDD_ABOUT,
            language,
            kEnglishFont,
            8,
            {
                Text(1002, "Quorbin", kTextLine, {41, 13, 87, 8}),
                // The English lines stand closer than the font is high: a line
                // without descenders keeps it clear of the maker line below.
                Text(1003, "© 2003 norrlab", kTextLine, {41, 19, 86, 8}),
                Text(1004, "norrlab sound works", kTextLine, {41, 24, 95, 8}),
                Text(1006, "https://example.com/\nquorbin/en/", kStyleCentre | kStyleNotify, {48, 31, 78, 17}),
                Button(1, "OK", {87, 52, 34, 8}),
                Button(1015, "Power", {121, 44, 19, 17}),
            }};
}

DialogLayout MakeLayout(int id, bool ja)
{
    switch (id) {
    case IDD_MAIN: return MainLayout(ja);
    case IDD_INFO: return InfoLayout(ja);
    case IDD_MESSAGE: return MessageLayout(ja);
    case IDD_ABOUT: return AboutLayout(ja);
    default: return {};
    }
}

}  // namespace

const LayoutControl* DialogLayout::Find(int controlId) const
{
    for (const LayoutControl& control : controls) {
        if (control.id == controlId)
            return &control;
    }
    return nullptr;
}

const DialogLayout& LoadLayout(int id, const Language& language)
{
    static const DialogLayout kEmpty;
    static const std::array<int, 4> kIds = {IDD_MAIN, IDD_INFO, IDD_MESSAGE, IDD_ABOUT};
    static const auto kTables = [] {
        std::array<std::array<DialogLayout, 2>, kIds.size()> tables;
        for (std::size_t i = 0; i < kIds.size(); ++i) {
            tables[i][0] = MakeLayout(kIds[i], false);
            tables[i][1] = MakeLayout(kIds[i], true);
        }
        return tables;
    }();
    for (std::size_t i = 0; i < kIds.size(); ++i) {
        if (kIds[i] == id)
            return kTables[i][language.IsJapanese() ? 1 : 0];
    }
    return kEmpty;
}

}  // namespace quorbin
