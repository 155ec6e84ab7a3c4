#include "app/MainDialog.h"

#include "app/ConversionJob.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include "ui/Layouts.h"
#include "ui/AboutDialog.h"
#include "ui/FileChooser.h"
#include "ui/HoverBitmapButton.h"
#include "ui/MessageDialog.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"
#include "ui/UiText.h"

namespace quorbin {

namespace {

const QKeySequence kEditorKey(Qt::CTRL | Qt::Key_E);

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icon/quorbin-%1.png").arg(size), QSize(size, size));
    if (icon.isNull())
        icon.addFile(QStringLiteral(":/icon/128.ico"));
    return icon;
}

QScreen* ScreenAt(QPoint point)
{
    if (QScreen* screen = QGuiApplication::screenAt(point))
        return screen;
    return QGuiApplication::primaryScreen();
}

QRect WorkAreaAt(QPoint point)
{
    QScreen* screen = ScreenAt(point);
    return screen ? screen->availableGeometry() : QRect(point, ToQRect(skin_place::kWindow).size());
}

// Switches drops off for the lifetime of a job and on again at its end.
class DropsOff {
public:
    explicit DropsOff(QWidget* window) : m_window(window) { m_window->setAcceptDrops(false); }
    ~DropsOff() { m_window->setAcceptDrops(true); }

private:
    QWidget* m_window;
};

}  // namespace

// Marks the window busy while a job, an about box or a file chooser runs;
// files handed over meanwhile are converted when it is over.
class MainDialog::BusyScope {
public:
    explicit BusyScope(MainDialog* window) : m_window(window) { ++m_window->m_busy; }
    ~BusyScope()
    {
        if (--m_window->m_busy == 0 && !m_window->m_waitingFiles.isEmpty())
            QTimer::singleShot(0, m_window, &MainDialog::ConvertWaitingFiles);
    }

private:
    MainDialog* m_window;
};

QPoint CollapsePoint(const ScreenRect& rect)
{
    // C++ integer division truncates toward zero, as the hand-over requires.
    return QPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

QPoint PlaceCentredInside(QPoint centre, QSize size, const QRect& workArea)
{
    int left = centre.x() - size.width() / 2;
    int top = centre.y() - size.height() / 2;
    const int areaRight = workArea.x() + workArea.width();
    const int areaBottom = workArea.y() + workArea.height();
    if (left < workArea.x())
        left = workArea.x();
    else if (left + size.width() > areaRight)
        left = areaRight - size.width();
    if (top < workArea.y())
        top = workArea.y();
    else if (top + size.height() > areaBottom)
        top = areaBottom - size.height();
    return QPoint(left, top);
}

QStringList DroppedFiles(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

QPoint PlaceBeside(const QRect& other, QSize size, const QRect& workArea)
{
    constexpr int kGap = 12;
    const auto within = [](int value, int low, int length, int room) {
        return std::clamp(value, low, std::max(low + room - length, low));
    };
    const int top = within(other.top(), workArea.top(), size.height(), workArea.height());
    const int left = within(other.left(), workArea.left(), size.width(), workArea.width());
    const QPoint places[] = {{other.right() + 1 + kGap, top},
                             {other.left() - kGap - size.width(), top},
                             {left, other.bottom() + 1 + kGap},
                             {left, other.top() - kGap - size.height()}};
    for (const QPoint& place : places)
        if (workArea.contains(QRect(place, size)))
            return place;
    return PlaceCentredInside(workArea.center(), size, workArea);
}

QString FirstDroppedFile(const QMimeData* mime)
{
    return DroppedFiles(mime).value(0);
}

MainDialog::MainDialog(QWidget* parent) : SkinnedWindow(parent, Qt::Window | Qt::FramelessWindowHint, UserLanguage())
{
    const Language& language = DialogLanguage();
    const DialogLayout& layout = LoadLayout(IDD_MAIN, language);
    setFont(LayoutFont(QString::fromUtf8(layout.fontFamily), layout.pointSize));
    setWindowIcon(ApplicationIcon());
    ResizeToBackground();

    m_dropSpace = new HoverBitmapButton(this);
    m_dropSpace->move(ToQPoint(skin_place::kPanel));
    m_dropSpace->SetSkin(SkinBitmap::DropSpace);
    m_dropSpace->setFocusPolicy(Qt::TabFocus);
    m_dropSpace->setAccessibleName(UiTr("Drop a WAVE file here", language));
    m_dropSpace->setAccessibleDescription(UiTr("A click, Enter or Space chooses a WAVE file to convert", language));
    m_dropSpace->installEventFilter(this);
    connect(m_dropSpace, &QAbstractButton::clicked, this, &MainDialog::ChooseFile);

    m_aboutButton = AddPushButton(SkinBitmap::AboutButton, skin_place::kLeftButton, UiTr("About", language));
    connect(m_aboutButton, &QAbstractButton::clicked, this, &MainDialog::ShowAbout);
    connect(AddPowerButton(), &QAbstractButton::clicked, this, [this] { done(ResultOk); });

    AddAction(N_("Open..."), QKeySequence::Open, [this] { ChooseFile(); });
    m_editorAction = AddAction(N_("Ringtone editor..."), kEditorKey, [this] { OpenEditor(); });
    m_editorAction->setVisible(false);
    AddAction(N_("About"), {}, [this] { ShowAbout(); });
    AddAction(N_("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { done(ResultOk); });

    setWindowTitle(QStringLiteral("Quorbin"));
    setAcceptDrops(true);
}

MainDialog::~MainDialog() = default;

QAction* MainDialog::AddAction(const char* text, const QKeySequence& key, std::function<void()> run)
{
    auto* action = new QAction(UiTr(text, DialogLanguage()), this);
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, std::move(run));
    addAction(action);
    return action;
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_busy != 0 || m_ending)
        return;
    BusyScope busy(this);
    QMenu menu(this);
    menu.addActions(actions());
    menu.exec(event->globalPos());
}

void MainDialog::SetEditorAvailable(bool available)
{
    m_editorAvailable = available;
    m_editorAction->setVisible(available);
}

void MainDialog::OpenEditor()
{
    OpenEditorWith(m_editableFile);
}

void MainDialog::OpenEditorWith(const QString& file)
{
    if (m_editorAvailable && !m_ending)
        emit EditorRequested(file);
}

void MainDialog::Open()
{
    CentreOnScreen();
    setResult(ResultCancel);
    m_ending = false;
    show();
    BringToFront();
}

int MainDialog::exec()
{
    Open();
    return RunOwnLoop();
}

void MainDialog::done(int result)
{
    m_ending = true;
    setResult(result);
    if (!m_collapsed)
        hide();
    EndOwnLoop(result);
    emit finished(result);
}

void MainDialog::reject()
{
    done(ResultCancel);
}

void MainDialog::keyPressEvent(QKeyEvent* event)
{
    // Enter presses only a button the keyboard has focused; Esc ends the program.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !qobject_cast<PushBitmapButton*>(focusWidget())) {
        event->accept();
        return;
    }
    SkinnedWindow::keyPressEvent(event);
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Enter or Space on the focused drop space opens the file chooser.
    if (watched == m_dropSpace && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool opens = key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (opens && !key->isAutoRepeat()) {
            ChooseFile();
            return true;
        }
    }
    return SkinnedWindow::eventFilter(watched, event);
}

bool MainDialog::AcceptsDrag(const QMimeData* mime) const
{
    return acceptDrops() && !DroppedFiles(mime).isEmpty();
}

void MainDialog::ShowDropInvitation(bool on)
{
    // The drop space lights up as it does under the pointer.
    if (on) {
        const QPointF centre = QRectF(m_dropSpace->rect()).center();
        QEnterEvent enter(centre, m_dropSpace->mapTo(this, centre), m_dropSpace->mapToGlobal(centre));
        QCoreApplication::sendEvent(m_dropSpace, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(m_dropSpace, &leave);
    }
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (AcceptsDrag(event->mimeData())) {
        event->acceptProposedAction();
        ShowDropInvitation(true);
    } else {
        event->ignore();
    }
}

void MainDialog::dragMoveEvent(QDragMoveEvent* event)
{
    if (AcceptsDrag(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainDialog::dragLeaveEvent(QDragLeaveEvent* event)
{
    ShowDropInvitation(false);
    event->accept();
}

void MainDialog::dropEvent(QDropEvent* event)
{
    ShowDropInvitation(false);
    const QStringList paths = DroppedFiles(event->mimeData());
    if (!acceptDrops() || paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    ConvertDroppedFiles(paths);
}

void MainDialog::Collapse(QPoint point)
{
    m_collapsePoint = point;
    m_collapsed = true;
    move(point);
    hide();
}

void MainDialog::Restore(QPoint topLeft, QSize size)
{
    m_collapsed = false;
    if (m_ending)
        return;  // the program is closing: the window stays hidden
    move(topLeft);
    resize(size);
    show();
    raise();
    activateWindow();
}

int MainDialog::RunInPlace(SkinnedDialog& dialog, const ScreenRect& collapseRect, QSize restoreSize)
{
    const QPoint point = CollapsePoint(collapseRect);
    Collapse(point);

    dialog.move(PlaceCentredInside(point, dialog.size(), WorkAreaAt(point)));
    const int result = dialog.exec();

    const ScreenRect& last = dialog.m_lastRect;
    Restore(QPoint(last.left, last.top), restoreSize);
    return result;
}

int MainDialog::RunWithSavedRect(SkinnedDialog& dialog)
{
    m_savedRect = PlacedRect();
    return RunInPlace(dialog, m_savedRect, QSize(m_savedRect.Width(), m_savedRect.Height()));
}

void MainDialog::ShowAbout()
{
    BusyScope busy(this);
    AboutDialog about(this, DialogLanguage());
    RunWithSavedRect(about);
}

void MainDialog::ShowMessage(const JobMessage& job, const ScreenRect& collapseRect)
{
    MessageDialog message(this, DialogLanguage());
    message.SetMessage(job.kind, job.text);
    message.SetReason(job.reason);
    // A refused recording the editor takes is one Ctrl+E away, in the box or after it.
    m_editableFile = job.editable;
    bool toEditor = false;
    if (!job.editable.isEmpty()) {
        auto* editor = new QShortcut(kEditorKey, &message);
        connect(editor, &QShortcut::activated, &message, [&] {
            toEditor = true;
            message.accept();
        });
    }
    RunInPlace(message, collapseRect, QSize(m_savedRect.Width(), m_savedRect.Height()));
    if (toEditor)
        QTimer::singleShot(0, this, [this, file = job.editable] { OpenEditorWith(file); });
}

void MainDialog::ChooseFile()
{
    if (m_busy != 0 || m_ending)
        return;
    QString path;
    {
        BusyScope busy(this);
        const Language& language = DialogLanguage();
        path = ChooseFileToOpen(this, UiTr("Open a WAVE file", language),
                                UiTr("WAVE files (*.wav *.WAV)", language) + QStringLiteral(";;")
                                    + UiTr("All files (*)", language));
    }
    if (!path.isEmpty())
        ConvertDroppedFiles({path});
}

void MainDialog::OpenFile(const QString& path)
{
    m_waitingFiles << path;
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = this;
    if (front->isVisible()) {
        front->raise();
        front->activateWindow();
    }
    if (m_busy == 0)
        ConvertWaitingFiles();
}

void MainDialog::ConvertDroppedFiles(const QStringList& paths)
{
    m_waitingFiles << paths;
    ConvertWaitingFiles();
}

void MainDialog::ConvertWaitingFiles()
{
    while (m_busy == 0 && !m_ending && !m_waitingFiles.isEmpty())
        Convert(m_waitingFiles.takeFirst());
}

void MainDialog::Convert(const QString& path)
{
    BusyScope busyWindow(this);
    DropsOff dropsOff(this);
    m_editableFile.clear();
    ConversionJob(*this, path, m_options).Run();
}

}  // namespace quorbin
