#pragma once
// The OK and Power buttons of whichever of the three dialogs a test holds.
#include "ui/AboutDialog.h"
#include "ui/InfoDialog.h"
#include "ui/MessageDialog.h"
#include "ui/SkinnedControls.h"

namespace quorbin {

template <typename Pick>
PushBitmapButton* DialogButton(SkinnedDialog* dialog, Pick pick)
{
    if (auto* info = qobject_cast<InfoDialog*>(dialog))
        return pick(info);
    if (auto* message = qobject_cast<MessageDialog*>(dialog))
        return pick(message);
    if (auto* about = qobject_cast<AboutDialog*>(dialog))
        return pick(about);
    return nullptr;
}

inline PushBitmapButton* OkButtonOf(SkinnedDialog* dialog)
{
    return DialogButton(dialog, [](auto* d) { return d->OkButton(); });
}

inline PushBitmapButton* PowerButtonOf(SkinnedDialog* dialog)
{
    return DialogButton(dialog, [](auto* d) { return d->PowerButton(); });
}

} // namespace quorbin
