#pragma once
// Driving modal dialogs in the Qt tests: the OK and Power buttons of any of
// the three dialogs, and a driver that answers modal dialogs as they come up.
#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <utility>

#include "ui/AboutDialog.h"
#include "ui/InfoDialog.h"
#include "ui/MessageDialog.h"
#include "ui/BitmapPanel.h"
#include "ui/CheckBitmapButton.h"
#include "ui/HoverBitmapButton.h"
#include "ui/LinkLabel.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"

namespace quorbin {

template <typename Pick>
PushBitmapButton* DialogButton(QDialog* dialog, Pick pick)
{
    if (auto* info = qobject_cast<InfoDialog*>(dialog))
        return pick(info);
    if (auto* message = qobject_cast<MessageDialog*>(dialog))
        return pick(message);
    if (auto* about = qobject_cast<AboutDialog*>(dialog))
        return pick(about);
    return nullptr;
}

inline PushBitmapButton* OkButtonOf(QDialog* dialog)
{
    return DialogButton(dialog, [](auto* d) { return d->OkButton(); });
}

inline PushBitmapButton* PowerButtonOf(QDialog* dialog)
{
    return DialogButton(dialog, [](auto* d) { return d->PowerButton(); });
}

using ModalStep = std::function<void(QDialog*)>;

// The result of every modal run that the watchdog had to end.
constexpr int kTimedOutResult = -100;

// Answers the modal dialogs as they come up, one step each, except `watched`
// (the window whose run the test starts itself). A dialog beyond the steps is
// rejected and noted; dialogs opened while a step runs are left to the step.
// When the steps stall, a watchdog ends every open modal run and `watched`.
class ModalDriver : public QObject {
public:
    explicit ModalDriver(QList<ModalStep> steps, QDialog* watched = nullptr, int watchdogMs = 30000)
        : m_steps(std::move(steps)),
          m_watched(watched)
    {
        connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
        m_poll.start(5);
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [this] { GiveUp(); });
        m_watchdog.start(watchdogMs);
    }

    bool unexpected = false;
    bool timedOut = false;
    bool Finished() const { return m_steps.isEmpty(); }

protected:
    // Called as each dialog comes up, before it is answered.
    virtual void Noticed(QDialog*) {}

private:
    void Poll()
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (m_inStep || !dialog || dialog == m_watched || dialog == m_current || !dialog->isVisible())
            return;
        m_current = dialog;
        Noticed(dialog);
        if (m_steps.isEmpty()) {
            unexpected = true;
            dialog->reject();
            return;
        }
        const ModalStep step = m_steps.takeFirst();
        m_inStep = true;
        step(dialog);
        m_inStep = false;
    }

    void GiveUp()
    {
        timedOut = true;
        m_poll.stop();
        // Ends the top run now and the next ones every 50 ms, until none is left.
        auto closeNext = [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->done(kTimedOutResult);
        };
        closeNext();
        auto* again = new QTimer(this);
        connect(again, &QTimer::timeout, this, closeNext);
        again->start(50);
        if (m_watched)
            m_watched->done(kTimedOutResult);
    }

    QList<ModalStep> m_steps;
    QPointer<QDialog> m_watched;
    QPointer<QDialog> m_current;
    bool m_inStep = false;
    QTimer m_poll;
    QTimer m_watchdog;
};

// Runs `dialog` modally and `step` once it is shown; `timedOut` tells whether
// the watchdog had to end the run.
inline int RunModal(QDialog& dialog, const ModalStep& step, bool* timedOut = nullptr, int watchdogMs = 10000)
{
    ModalDriver driver({step}, nullptr, watchdogMs);
    const int result = dialog.exec();
    if (timedOut)
        *timedOut = driver.timedOut;
    return result;
}

}  // namespace quorbin
