// Checks the shipped skin bitmaps and icon files as the controls will read
// them: 24-bit uncompressed BMPs of the right size, key colour at (0, 0), the
// same cut-out in every frame, hard edges against the key, and an icon file
// with the expected paletted entries.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <queue>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/ByteOrder.h"
#include "res/Skin.h"

namespace {

const std::string kResDir = std::string(QUORBIN_SOURCE_DIR) + "/res/";

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Bounds-checked: a short file throws instead of reading past its end.
uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    b.at(at + size_t(bytes) - 1);
    return bytes == 2 ? quorbin::LoadLe16(&b[at]) : quorbin::LoadLe32(&b[at]);
}

uint32_t Be32(const std::vector<uint8_t>& b, size_t at)
{
    b.at(at + 3);
    return quorbin::LoadBe32(&b[at]);
}

using Rgb = std::array<int, 3>;

struct Bmp {
    int width = 0, height = 0, bitsPerPixel = 0, compression = -1;
    bool complete = false;
    std::vector<Rgb> pixels;  // top row first

    Rgb At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

Bmp ReadBmp(const std::string& path)
{
    const std::vector<uint8_t> b = ReadFile(path);
    Bmp bmp;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || Le(b, 14, 4) < 40)
        return bmp;
    const uint32_t dataOffset = Le(b, 10, 4);
    bmp.width = int(int32_t(Le(b, 18, 4)));
    const int32_t rawHeight = int32_t(Le(b, 22, 4));
    bmp.height = rawHeight < 0 ? -rawHeight : rawHeight;
    bmp.bitsPerPixel = int(Le(b, 28, 2));
    bmp.compression = int(Le(b, 30, 4));
    if (bmp.bitsPerPixel != 24 || bmp.compression != 0 || bmp.width <= 0)
        return bmp;
    const size_t rowBytes = (size_t(bmp.width) * 3 + 3) / 4 * 4;
    if (b.size() < dataOffset + rowBytes * size_t(bmp.height))
        return bmp;
    for (int y = 0; y < bmp.height; ++y) {
        const int stored = rawHeight < 0 ? y : bmp.height - 1 - y;
        const size_t row = dataOffset + rowBytes * size_t(stored);
        for (int x = 0; x < bmp.width; ++x) {
            const size_t p = row + 3 * size_t(x);
            bmp.pixels.push_back({b[p + 2], b[p + 1], b[p]});
        }
    }
    bmp.complete = true;
    return bmp;
}

constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kRed{255, 0, 0};

using Bitmap = quorbin::SkinBitmap;

struct SkinEntry {
    Bitmap bitmap;
    int width, height, frames;
    std::optional<Rgb> key;
    int scale = 1;  // 2: the artwork for a device pixel ratio of 2, twice as large
};

void PrintTo(const SkinEntry& e, std::ostream* os)
{
    *os << quorbin::SkinFileName(e.bitmap, e.scale);
}

const SkinEntry kSkin[] = {
    {Bitmap::AboutLogo, 48, 48, 1, {}},          {Bitmap::Background, 210, 100, 1, {}},
    {Bitmap::CancelButton, 51, 26, 2, kYellow},  {Bitmap::CautionPanel, 210, 60, 1, kYellow},
    {Bitmap::ProtectionBox, 13, 39, 3, kYellow}, {Bitmap::ClearButton, 51, 26, 2, kYellow},
    {Bitmap::CloseButton, 51, 26, 2, kYellow},   {Bitmap::CompletedPanel, 210, 60, 1, kYellow},
    {Bitmap::CopyrightLabel, 210, 17, 1, {}},    {Bitmap::ProtectionLabel, 106, 12, 1, {}},
    {Bitmap::OkButton, 51, 26, 2, kYellow},      {Bitmap::PowerButton, 28, 56, 2, kRed},
    {Bitmap::TitleLabel, 210, 17, 1, {}},        {Bitmap::DropSpace, 210, 120, 2, kYellow},
    {Bitmap::AboutButton, 51, 26, 2, kYellow},   {Bitmap::EditorBackground, 420, 250, 1, {}},
    {Bitmap::OpenButton, 51, 26, 2, kYellow},    {Bitmap::PlayButton, 51, 26, 2, kYellow},
    {Bitmap::StopButton, 51, 26, 2, kYellow},    {Bitmap::NextButton, 51, 26, 2, kYellow},
};

std::string SkinPath(Bitmap bitmap, int scale = 1)
{
    return kResDir + "skin/" + quorbin::SkinFileName(bitmap, scale);
}

// Every bitmap at 1x and at 2x.
std::vector<SkinEntry> AllScales()
{
    std::vector<SkinEntry> entries(std::begin(kSkin), std::end(kSkin));
    for (SkinEntry entry : kSkin) {
        entry.width *= 2;
        entry.height *= 2;
        entry.scale = 2;
        entries.push_back(entry);
    }
    return entries;
}

// A pixel next to the key that lies on the straight line between the key and
// an inner neighbour is an anti-aliasing blend: a tinted fringe on screen.
bool IsBlendOfKey(const Rgb& p, const Rgb& inner, const Rgb& key)
{
    double along = 0, length = 0;
    for (int c = 0; c < 3; ++c) {
        along += double(p[c] - inner[c]) * (key[c] - inner[c]);
        length += double(key[c] - inner[c]) * (key[c] - inner[c]);
    }
    if (length < 60.0 * 60.0)
        return false;
    const double t = along / length;
    double residual = 0;
    for (int c = 0; c < 3; ++c) {
        const double d = p[c] - (inner[c] + t * (key[c] - inner[c]));
        residual += d * d;
    }
    return t > 0.12 && t < 0.88 && residual < 14.0 * 14.0;
}

bool IsNearKey(const Rgb& p, const Rgb& key)
{
    int distance = 0;
    for (int c = 0; c < 3; ++c)
        distance += (p[c] - key[c]) * (p[c] - key[c]);
    return distance < 72 * 72;
}

class SkinBitmap : public testing::TestWithParam<SkinEntry> {
protected:
    void SetUp() override
    {
        bmp = ReadBmp(SkinPath(GetParam().bitmap, GetParam().scale));
        ASSERT_TRUE(bmp.complete) << SkinPath(GetParam().bitmap, GetParam().scale)
                                  << " is missing or not a complete 24-bit BMP";
        frameHeight = bmp.height / GetParam().frames;
    }
    bool IsKey(int x, int y, int frame = 0) const { return bmp.At(x, frame * frameHeight + y) == *GetParam().key; }

    Bmp bmp;
    int frameHeight = 0;
};

// Bitmaps whose frame 0 gives the control its shape.
class KeyedSkinBitmap : public SkinBitmap {};

TEST_P(SkinBitmap, IsAnUncompressed24BitBitmapOfItsTableSize)
{
    EXPECT_EQ(bmp.bitsPerPixel, 24);
    EXPECT_EQ(bmp.compression, 0);
    EXPECT_EQ(bmp.width, GetParam().width);
    EXPECT_EQ(bmp.height, GetParam().height);
}

TEST_P(KeyedSkinBitmap, KeyedBitmapsStartWithTheKeyAndKeepOneShapeInEveryFrame)
{
    EXPECT_EQ(bmp.At(0, 0), *GetParam().key);
    int keyCount = 0;
    for (int y = 0; y < frameHeight; ++y)
        for (int x = 0; x < bmp.width; ++x) {
            keyCount += IsKey(x, y);
            for (int f = 1; f < GetParam().frames; ++f)
                ASSERT_EQ(IsKey(x, y, f), IsKey(x, y)) << "frame " << f << " at " << x << "," << y;
        }
    EXPECT_GT(keyCount, 0);
    EXPECT_LT(keyCount, bmp.width * frameHeight / 2) << "most of the control would be cut away";
}

// Key pixels must all be reachable from the frame's border: a stray exact-key
// pixel inside the picture would punch a hole into the control.
TEST_P(KeyedSkinBitmap, KeyedBitmapsHaveNoHolesInsideThePicture)
{
    const int w = bmp.width, h = frameHeight;
    std::vector<char> reached(size_t(w * h), 0);
    std::queue<std::pair<int, int>> todo;
    auto visit = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h || reached[size_t(y * w + x)] || !IsKey(x, y))
            return;
        reached[size_t(y * w + x)] = 1;
        todo.push({x, y});
    };
    for (int x = 0; x < w; ++x) {
        visit(x, 0);
        visit(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        visit(0, y);
        visit(w - 1, y);
    }
    while (!todo.empty()) {
        const auto [x, y] = todo.front();
        todo.pop();
        visit(x - 1, y);
        visit(x + 1, y);
        visit(x, y - 1);
        visit(x, y + 1);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_FALSE(IsKey(x, y) && !reached[size_t(y * w + x)]) << "hole at " << x << "," << y;
}

TEST_P(KeyedSkinBitmap, EdgesAgainstTheKeyAreHardInEveryFrame)
{
    const Rgb key = *GetParam().key;
    for (int f = 0; f < GetParam().frames; ++f)
        for (int y = 0; y < frameHeight; ++y)
            for (int x = 0; x < bmp.width; ++x) {
                if (IsKey(x, y, f))
                    continue;
                bool touchesKey = false;
                std::vector<Rgb> inner;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= bmp.width || ny >= frameHeight)
                            continue;
                        if (IsKey(nx, ny, f))
                            touchesKey = true;
                        else
                            inner.push_back(bmp.At(nx, f * frameHeight + ny));
                    }
                if (!touchesKey)
                    continue;
                const Rgb p = bmp.At(x, f * frameHeight + y);
                ASSERT_FALSE(IsNearKey(p, key)) << "key-tinted edge at " << x << "," << y << " frame " << f;
                for (const Rgb& q : inner)
                    ASSERT_FALSE(IsBlendOfKey(p, q, key)) << "blended edge at " << x << "," << y << " frame " << f;
            }
}

// The controls take their shape and hit area from the 1x bitmap and clip the
// 2x picture to it: the two must cut out exactly the same pixels.
class DoubledKeyedSkinBitmap : public SkinBitmap {};

TEST_P(DoubledKeyedSkinBitmap, CutsOutWhatTheOneTimesBitmapCutsOut)
{
    const Bmp single = ReadBmp(SkinPath(GetParam().bitmap));
    ASSERT_TRUE(single.complete);
    for (int y = 0; y < bmp.height; ++y)
        for (int x = 0; x < bmp.width; ++x)
            ASSERT_EQ(bmp.At(x, y) == *GetParam().key, single.At(x / 2, y / 2) == *GetParam().key)
                << "at " << x << "," << y;
}

TEST_P(SkinBitmap, EveryFrameLooksDifferent)
{
    const int frames = GetParam().frames;
    for (int a = 0; a < frames; ++a)
        for (int b = a + 1; b < frames; ++b) {
            int differing = 0;
            for (int y = 0; y < frameHeight; ++y)
                for (int x = 0; x < bmp.width; ++x)
                    differing += bmp.At(x, a * frameHeight + y) != bmp.At(x, b * frameHeight + y);
            EXPECT_GT(differing, bmp.width * frameHeight / 20) << "frames " << a << " and " << b;
        }
}

std::vector<SkinEntry> KeyedEntries(int onlyScale = 0)
{
    std::vector<SkinEntry> keyed;
    for (const SkinEntry& entry : AllScales())
        if (entry.key && (onlyScale == 0 || entry.scale == onlyScale))
            keyed.push_back(entry);
    return keyed;
}

std::string NumberName(const testing::TestParamInfo<SkinEntry>& info)
{
    return std::to_string(quorbin::SkinNumber(info.param.bitmap)) + "_" + std::to_string(info.param.scale) + "x";
}

INSTANTIATE_TEST_SUITE_P(Skin, SkinBitmap, testing::ValuesIn(AllScales()), NumberName);
INSTANTIATE_TEST_SUITE_P(Skin, KeyedSkinBitmap, testing::ValuesIn(KeyedEntries()), NumberName);
INSTANTIATE_TEST_SUITE_P(Skin, DoubledKeyedSkinBitmap, testing::ValuesIn(KeyedEntries(2)), NumberName);

// The pieces must fit the windows they are placed on.

namespace place = quorbin::skin_place;

TEST(SkinLayout, PlatesAtTheTopOfTheirWindowLeaveThePowerButtonUncovered)
{
    const Bmp power = ReadBmp(SkinPath(Bitmap::PowerButton));
    ASSERT_TRUE(power.complete);
    for (Bitmap number : {Bitmap::CautionPanel, Bitmap::CompletedPanel, Bitmap::DropSpace}) {
        const Bmp plate = ReadBmp(SkinPath(number));
        ASSERT_TRUE(plate.complete) << quorbin::SkinNumber(number);
        const int frameHeight = number == Bitmap::DropSpace ? plate.height / 2 : plate.height;
        for (int py = 0; py < power.height / 2; ++py)
            for (int px = 0; px < power.width; ++px) {
                const int y = place::kPowerButton.y + py - place::kPanel.y, x = place::kPowerButton.x + px;
                if (power.At(px, py) == kRed || y >= frameHeight)
                    continue;
                for (int frame = 0; frame < plate.height / frameHeight; ++frame)
                    ASSERT_EQ(plate.At(x, frame * frameHeight + y), kYellow)
                        << quorbin::SkinNumber(number) << " hides the Power button at " << x << "," << y;
            }
    }
}

TEST(SkinLayout, EditFieldsLieOnTheWhiteOfTheirStrips)
{
    const std::pair<Bitmap, std::pair<quorbin::SkinArea, quorbin::SkinArea>> strips[] = {
        {Bitmap::TitleLabel, {place::kTitleLabel, place::kTitleField}},
        {Bitmap::CopyrightLabel, {place::kCopyrightLabel, place::kCopyrightField}}};
    for (const auto& [number, areas] : strips) {
        const auto& [label, field] = areas;
        const Bmp strip = ReadBmp(SkinPath(number));
        ASSERT_TRUE(strip.complete) << quorbin::SkinNumber(number);
        for (int y = field.y; y < field.y + field.height; ++y)
            for (int x = field.x; x < field.x + field.width; ++x)
                ASSERT_EQ(strip.At(x - label.x, y - label.y), (Rgb{255, 255, 255}))
                    << quorbin::SkinNumber(number) << " at " << x << "," << y;
        EXPECT_NE(strip.At(10, 8), (Rgb{255, 255, 255}))
            << quorbin::SkinNumber(number) << ": the label side is not white";
    }
}

TEST(SkinLayout, EditorFieldsLieOnWhiteWellsAndTheirLabelsBesideThem)
{
    const Bmp background = ReadBmp(SkinPath(Bitmap::EditorBackground));
    ASSERT_TRUE(background.complete);
    for (const quorbin::SkinArea& field : quorbin::editor_place::kFields) {
        for (int y = field.y; y < field.y + field.height; ++y)
            for (int x = field.x; x < field.x + field.width; ++x)
                ASSERT_EQ(background.At(x, y), (Rgb{255, 255, 255})) << "field at " << x << "," << y;
        const int labelX = field.x - quorbin::editor_place::kLabelWidth;
        EXPECT_NE(background.At(labelX, field.y + field.height / 2), (Rgb{255, 255, 255})) << "label at " << labelX;
    }
}

// ---- icon -------------------------------------------------------------------------

size_t RowBytes(int width, int bitsPerPixel)
{
    return size_t((width * bitsPerPixel + 31) / 32 * 4);
}

TEST(SkinIcon, HoldsThe16And256ColourEntriesAsPalettedBitmapsWithMasks)
{
    const std::vector<uint8_t> ico = ReadFile(kResDir + "icon/128.ico");
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(Le(ico, 0, 2), 0u);
    EXPECT_EQ(Le(ico, 2, 2), 1u);
    const uint32_t count = Le(ico, 4, 2);
    std::multiset<std::tuple<int, int, int>> found;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t dir = 6 + 16 * size_t(i);
        const int w = ico.at(dir) ? ico.at(dir) : 256, h = ico.at(dir + 1) ? ico.at(dir + 1) : 256;
        const uint32_t size = Le(ico, dir + 8, 4), offset = Le(ico, dir + 12, 4);
        ASSERT_LE(size_t(offset) + size, ico.size()) << "entry " << i;
        ASSERT_EQ(Le(ico, offset, 4), 40u) << "entry " << i << " is not BMP-encoded";
        const int bits = int(Le(ico, offset + 14, 2));
        EXPECT_EQ(int(Le(ico, offset + 4, 4)), w);
        EXPECT_EQ(int(Le(ico, offset + 8, 4)), 2 * h) << "colour bitmap and mask";
        EXPECT_EQ(Le(ico, offset + 16, 4), 0u);
        EXPECT_EQ(ico.at(dir + 2), bits == 4 ? 16 : 0) << "colour count of entry " << i;
        const size_t palette = 4 * (size_t(1) << bits);
        EXPECT_EQ(size, 40 + palette + size_t(h) * (RowBytes(w, bits) + RowBytes(w, 1)));
        // Not blank: several colours are used and part of the mask is opaque.
        std::set<int> used;
        for (size_t p = offset + 40 + palette; p < offset + 40 + palette + size_t(h) * RowBytes(w, bits); ++p)
            used.insert(ico.at(p));
        EXPECT_GT(used.size(), 3u) << "entry " << i;
        found.insert({w, h, bits});
    }
    const std::multiset<std::tuple<int, int, int>> expected{
        {32, 32, 4}, {16, 16, 4}, {32, 32, 8}, {16, 16, 8}, {48, 48, 8}};
    EXPECT_EQ(found, expected);
}

TEST(SkinIcon, DesktopPngsHaveTheirFolderSize)
{
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        const std::vector<uint8_t> png = ReadFile(kResDir + "icon/hicolor/" + dir + "/apps/quorbin.png");
        ASSERT_GE(png.size(), 24u) << dir;
        EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
        EXPECT_EQ(Be32(png, 16), uint32_t(size));
        EXPECT_EQ(Be32(png, 20), uint32_t(size));
    }
}

// Every <file alias="ALIAS">PATH</file> entry of a resource file, alias to path.
std::map<std::string, std::string> ResourceEntries(const std::string& qrc)
{
    const std::string open = "<file alias=\"";
    std::map<std::string, std::string> entries;
    for (std::size_t at = qrc.find(open); at != std::string::npos; at = qrc.find(open, at)) {
        const std::size_t alias = at + open.size();
        const std::size_t aliasEnd = qrc.find("\">", alias);
        const std::size_t pathEnd = qrc.find("</file>", aliasEnd);
        if (aliasEnd == std::string::npos || pathEnd == std::string::npos) {
            ADD_FAILURE() << "unclosed entry at " << at;
            break;
        }
        entries[qrc.substr(alias, aliasEnd - alias)] = qrc.substr(aliasEnd + 2, pathEnd - aliasEnd - 2);
        at = pathEnd;
    }
    return entries;
}

TEST(SkinResources, ResourceFileNamesEveryBitmapAndOnlyExistingFiles)
{
    const std::vector<uint8_t> raw = ReadFile(kResDir + "skin.qrc");
    const std::map<std::string, std::string> entries = ResourceEntries(std::string(raw.begin(), raw.end()));
    std::set<std::string> aliases;
    for (const auto& [alias, path] : entries) {
        aliases.insert(alias);
        EXPECT_FALSE(ReadFile(kResDir + path).empty()) << path;
    }
    for (Bitmap bitmap : quorbin::kSkinBitmaps) {
        EXPECT_TRUE(aliases.count(quorbin::SkinFileName(bitmap))) << quorbin::SkinNumber(bitmap);
        EXPECT_TRUE(aliases.count(quorbin::SkinFileName(bitmap, 2))) << quorbin::SkinNumber(bitmap);
    }
    EXPECT_EQ(std::size(kSkin), std::size(quorbin::kSkinBitmaps));
    EXPECT_TRUE(aliases.count("128.ico"));
    for (int size : {16, 32, 48, 64, 128, 256})
        EXPECT_TRUE(aliases.count("quorbin-" + std::to_string(size) + ".png")) << size;
}

}  // namespace
