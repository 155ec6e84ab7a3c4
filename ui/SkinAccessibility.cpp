#include "ui/SkinAccessibility.h"

#include <QAccessibleWidget>

#include "ui/BitmapPanel.h"
#include "ui/LinkLabel.h"

namespace quorbin {
namespace {

class LinkAccessibility : public QAccessibleWidget {
public:
    explicit LinkAccessibility(LinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? Link()->Target() : QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            Link()->Open();
    }

private:
    LinkLabel* Link() const { return static_cast<LinkLabel*>(widget()); }
};

// The panel is a picture to screen readers, not a button; the link label a link.
QAccessibleInterface* SkinAccessibility(const QString& className, QObject* object)
{
    if (className == QLatin1String(BitmapPanel::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    if (className == QLatin1String(LinkLabel::staticMetaObject.className()))
        return new LinkAccessibility(static_cast<LinkLabel*>(object));
    return nullptr;
}

}  // namespace

void InstallSkinAccessibility()
{
    static const bool installed = (QAccessible::installFactory(SkinAccessibility), true);
    Q_UNUSED(installed);
}

}  // namespace quorbin
