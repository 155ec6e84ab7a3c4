// Shows every skinned control class on the skin background, in two skinned
// dialogs: a drop-space window and a window with the panel, the three check
// box states, the link label and the push buttons. The second is owned by the
// first, so its Power button ends both. "--grab DIR" saves both as PNG and quits.
#include "ui/BitmapPanel.h"
#include "ui/CheckBitmapButton.h"
#include "ui/HoverBitmapButton.h"
#include "ui/LinkLabel.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"
#include "ui/SkinnedDialog.h"
#include "ui/UiText.h"
#include "ui/Layouts.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

using namespace quorbin;

namespace {

class DropSpaceWindow : public SkinnedDialog {
public:
    DropSpaceWindow() : SkinnedDialog(nullptr)
    {
        setWindowTitle(QStringLiteral("Quorbin skin demo"));
        InitialiseSkin();
        AddPushButton(SkinBitmap::AboutButton, skin_place::kLeftButton);
        auto* dropSpace = new HoverBitmapButton(this);
        dropSpace->move(ToQPoint(skin_place::kPanel));
        dropSpace->SetSkin(SkinBitmap::DropSpace);
        m_powerButton->raise();
    }
};

class ControlsWindow : public SkinnedDialog {
public:
    explicit ControlsWindow(QWidget* owner) : SkinnedDialog(owner)
    {
        InitialiseSkin();
        auto* panel = new BitmapPanel(this);
        panel->move(ToQPoint(skin_place::kPanel));
        panel->SetSkin(SkinBitmap::CompletedPanel, 1);
        for (int state = 0; state <= 2; ++state) {
            auto* box = new CheckBitmapButton(this);
            box->move(150 + 18 * state, 66);
            box->SetSkin(SkinBitmap::ProtectionBox);
            box->SetState(state);
        }
        auto* link = new LinkLabel(QStringLiteral("https://example.org/\nquorbin/"), this);
        link->setAlignment(Qt::AlignCenter);
        link->setGeometry(8, 57, 120, 27);
        link->raise();
        AddPushButton(SkinBitmap::ClearButton, skin_place::kLeftButton);
        AddPushButton(SkinBitmap::OkButton, skin_place::kMiddleButton);
        AddPushButton(SkinBitmap::CancelButton, skin_place::kRightButton);
        m_powerButton->raise();
    }
};

bool SaveGrab(QWidget* window, const QString& path)
{
    const bool saved = window->grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setFont(LayoutFont(QString::fromUtf8(UserLanguage().IsJapanese() ? kJapaneseFont : kEnglishFont), 8));
    if (LoadSkinBitmap(SkinBitmap::Background).isNull())
        std::fprintf(stderr, "the skin bitmaps are not compiled in; controls stay empty\n");

    DropSpaceWindow main;
    main.move(100, 100);
    ControlsWindow controls(&main);
    controls.move(340, 100);

    const QStringList args = app.arguments();
    const int grabAt = args.indexOf(QStringLiteral("--grab"));
    if (grabAt > 0 && grabAt + 1 < args.size()) {
        const QDir dir(args.at(grabAt + 1));
        main.show();
        controls.show();
        QTimer::singleShot(200, &app, [&] {
            const bool ok = SaveGrab(&main, dir.filePath(QStringLiteral("demo-dropspace.png")))
                            && SaveGrab(&controls, dir.filePath(QStringLiteral("demo-controls.png")));
            main.done(ok ? 0 : 1);
        });
        return main.exec();
    }
    QTimer::singleShot(0, &controls, [&] { controls.show(); });
    main.exec();
    return 0;
}
