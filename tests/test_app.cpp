// The window program: drops through the whole conversion job with its
// dialogs driven as a user would, the in-place hand-over, the main window's
// run and keys, and the single-instance start-up of the real program.
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QWindow>

#include <signal.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <functional>

#include "app/ConvertApp.h"
#include "app/MainDialog.h"
#include "app/SingleInstance.h"
#include "mld/MldBuilder.h"
#include "tests/DialogDriving.h"
#include "tests/WaveFixtures.h"
#include "ui/AboutDialog.h"
#include "ui/InfoDialog.h"
#include "ui/MessageDialog.h"
#include "ui/BitmapPanel.h"
#include "ui/CheckBitmapButton.h"
#include "ui/HoverBitmapButton.h"
#include "ui/LinkLabel.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"
#include "ui/UiText.h"

using namespace quorbin;

namespace {

constexpr QPoint kMainAt(100, 200);

// ---------------------------------------------------------------------------
// Files

QByteArray WaveBytes(std::uint32_t rate, int samples)
{
    std::vector<std::int16_t> pcm(samples);
    for (int i = 0; i < samples; ++i)
        pcm[i] = static_cast<std::int16_t>(((i * 37) % 200 - 100) * 120);
    const fixtures::Bytes bytes = fixtures::RiffFile({fixtures::Fmt(rate), fixtures::Data(pcm)});
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString MelodyPathFor(const QString& wavePath)
{
    return wavePath.left(wavePath.size() - 4) + QStringLiteral(".mld");
}

QString English(int id)
{
    return QString::fromUtf8(LoadString(id, Language::English()));
}

// ---------------------------------------------------------------------------
// Dialog driving

struct SeenDialog {
    QString type;  // "info", "message" or "about"
    int kind = -1;
    QString text;
    QString reason;  // what the job passed on as the step's reason
    QRect geometry;  // where it opened
    bool dropsOnMeanwhile = true;
    bool busyMeanwhile = false;
};

using Step = ModalStep;

const Step kOk = [](QDialog* d) { OkButtonOf(d)->click(); };
const Step kPower = [](QDialog* d) { PowerButtonOf(d)->click(); };
const Step kEsc = [](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); };
const Step kCancel = [](QDialog* d) { qobject_cast<InfoDialog*>(d)->CancelButton()->click(); };

Step MoveThen(QPoint to, Step then)
{
    return [to, then](QDialog* d) {
        d->move(to);
        then(d);
    };
}

// Answers the dialogs that come up during the main window's run, one step
// each, and records what each looked like and what the window did meanwhile.
class ModalScript : public ModalDriver {
public:
    ModalScript(QList<Step> steps, MainDialog* mainWindow, int watchdogMs = 30000)
        : ModalDriver(std::move(steps), mainWindow, watchdogMs),
          m_main(mainWindow)
    {}

    QList<SeenDialog> seen;

private:
    void Noticed(QDialog* dialog) override
    {
        SeenDialog s;
        s.geometry = dialog->geometry();
        s.busyMeanwhile = QApplication::overrideCursor() != nullptr;
        s.dropsOnMeanwhile = m_main->acceptDrops();
        if (auto* message = qobject_cast<MessageDialog*>(dialog)) {
            s.type = QStringLiteral("message");
            s.kind = message->m_kind;
            s.text = message->m_text;
            s.reason = message->Reason();
        } else if (qobject_cast<InfoDialog*>(dialog)) {
            s.type = QStringLiteral("info");
        } else if (qobject_cast<AboutDialog*>(dialog)) {
            s.type = QStringLiteral("about");
        }
        seen << s;
    }

    MainDialog* m_main;
};

// Sends a drag over `at` followed by a drop, through the window system's entry
// point, so that the toolkit picks the widget under the point as it would.
bool DropOn(MainDialog& window, const QList<QUrl>& urls, QPoint at = QPoint(105, 50))
{
    QMimeData mime;
    mime.setUrls(urls);
    QWindow* handle = window.windowHandle();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &enter);
    if (!enter.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(handle, &leave);
        return false;
    }
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &drop);
    return true;
}

bool DropFile(MainDialog& window, const QString& path, QPoint at = QPoint(105, 50))
{
    return DropOn(window, {QUrl::fromLocalFile(path)}, at);
}

void ShowAt(MainDialog& window, QPoint at)
{
    window.move(at);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

QString ProgramPath()
{
    return QStringLiteral(QUORBIN_APP_PATH);
}

}  // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void collapsePointAndPlacement_data();
    void collapsePointAndPlacement();

    void dropGivesTheSameMelodyAsTheCommandLine();
    void failuresShowOneMessageAndWriteNothing_data();
    void failuresShowOneMessageAndWriteNothing();
    void saveFailuresOpenWhereTheInfoDialogWas_data();
    void saveFailuresOpenWhereTheInfoDialogWas();
    void leavingTheInfoDialogIsSilent_data();
    void leavingTheInfoDialogIsSilent();
    void everyDroppedFileIsConvertedInOrder();
    void reportSaysWhatALongRecordingKept_data();
    void reportSaysWhatALongRecordingKept();
    void dropsOverControlsReachTheWindow_data();
    void dropsOverControlsReachTheWindow();
    void dragsWithoutLocalFilesAreRefused();

    void aboutBoxHandsTheWindowBackWhereItWasLeft();
    void mainWindowComesBackInsideTheWorkArea();
    void runOpensCentredAndSurvivesHandOvers();
    void runEndings_data();
    void runEndings();
    void powerOfADialogEndsTheRun_data();
    void powerOfADialogEndsTheRun();

    void waylandSessionsAskForX11_data();
    void waylandSessionsAskForX11();
    void secondInstanceExitsAtOnce();
    void lockOfACrashedCopyIsTakenOver();
    void lockLivesInAPrivateFolder_data();
    void lockLivesInAPrivateFolder();
    void laterStartsHandTheirFileOver();
    void rightClickMenuAndTheEditorKey_data();
    void rightClickMenuAndTheEditorKey();
    void handOverCarriesTheWholeName_data();
    void handOverCarriesTheWholeName();
    void aStartWhileTheRunningCopyEndsRunsItself();
    void keysOpenTheFileChooser_data();
    void keysOpenTheFileChooser();
    void accessibilityTreeNamesEveryControl_data();
    void accessibilityTreeNamesEveryControl();
    void qtsOwnTextsFollowTheLanguage();

private:
    QTemporaryDir* m_dir = nullptr;
    QString Path(const QString& name) const { return m_dir->filePath(name); }
};

void AppTest::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
}

void AppTest::cleanup()
{
    // Files made read-only by a test must not block the removal.
    for (const QFileInfo& entry : QDir(m_dir->path()).entryInfoList(QDir::Files | QDir::Hidden))
        QFile::setPermissions(entry.filePath(), QFile::ReadOwner | QFile::WriteOwner);
    delete m_dir;
    m_dir = nullptr;
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// ---------------------------------------------------------------------------

void AppTest::collapsePointAndPlacement_data()
{
    QTest::addColumn<QRect>("windowRect");  // as x, y, width, height
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QPoint>("collapsePoint");
    QTest::addColumn<QPoint>("dialogAt");

    const QRect screen(0, 0, 800, 600);
    QTest::newRow("in place") << QRect(100, 200, 210, 100) << screen << QPoint(205, 250) << QPoint(100, 200);
    QTest::newRow("off left") << QRect(-150, 200, 210, 100) << screen << QPoint(-45, 250) << QPoint(0, 200);
    QTest::newRow("off right") << QRect(700, 10, 210, 100) << screen << QPoint(805, 60) << QPoint(590, 10);
    QTest::newRow("off top") << QRect(300, -70, 210, 100) << screen << QPoint(405, -20) << QPoint(300, 0);
    QTest::newRow("off bottom") << QRect(300, 560, 210, 100) << screen << QPoint(405, 610) << QPoint(300, 500);
    QTest::newRow("off two sides") << QRect(-300, 590, 210, 100) << screen << QPoint(-195, 640) << QPoint(0, 500);
    // Halves of odd negative sums are truncated toward zero, not rounded down.
    QTest::newRow("negative odd") << QRect(-101, -51, 209, 99) << QRect(-400, -300, 800, 600) << QPoint(3, -1)
                                  << QPoint(-102, -51);
    QTest::newRow("second screen") << QRect(900, 100, 210, 100) << QRect(800, 0, 1024, 768) << QPoint(1005, 150)
                                   << QPoint(900, 100);
    QTest::newRow("left wins") << QRect(100, 100, 210, 100) << QRect(150, 0, 100, 600) << QPoint(205, 150)
                               << QPoint(150, 100);
}

void AppTest::collapsePointAndPlacement()
{
    QFETCH(QRect, windowRect);
    QFETCH(QRect, workArea);
    QFETCH(QPoint, collapsePoint);
    QFETCH(QPoint, dialogAt);

    const QPoint point = CollapsePoint(ScreenRect::FromGeometry(windowRect));
    QCOMPARE(point, collapsePoint);
    QCOMPARE(PlaceCentredInside(point, QSize(210, 100), workArea), dialogAt);
}

// ---------------------------------------------------------------------------

void AppTest::dropGivesTheSameMelodyAsTheCommandLine()
{
    const QString wave = Path(QStringLiteral("Voice Memo.WAV"));
    WriteBytes(wave, WaveBytes(8000, 12000));

    MainDialog window;
    ShowAt(window, kMainAt);
    const Step fillIn = [](QDialog* d) {
        auto* info = qobject_cast<InfoDialog*>(d);
        QCOMPARE(info->TitleField()->text(), QStringLiteral("Voice Memo"));
        info->TitleField()->setText(QStringLiteral("Morning bell"));
        info->CopyrightField()->setText(QStringLiteral("(c) 2003 Tester"));
        QTest::mouseClick(info->ProtectionBox(), Qt::LeftButton, {}, info->ProtectionBox()->rect().center());
        QCOMPARE(info->ProtectionBox()->GetState(), 1);
        info->OkButton()->click();
    };
    ModalScript script({fillIn, kOk}, &window);
    QVERIFY(DropFile(window, wave));
    QVERIFY(!script.timedOut);
    QVERIFY(script.Finished());
    QCOMPARE(script.seen.size(), 2);

    const QString melodyPath = Path(QStringLiteral("Voice Memo.mld"));
    const QByteArray melody = ReadBytes(melodyPath);
    QVERIFY(!melody.isEmpty());

    const SeenDialog report = script.seen[1];
    QCOMPARE(report.type, QStringLiteral("message"));
    QCOMPARE(report.kind, 1);
    QCOMPARE(report.text, English(IDS_OUTPUT_SIZE) + QString::asprintf("%.2fKB", melody.size() / 1024.0));
    QVERIFY(report.text.startsWith(QStringLiteral("Output File Size : ")));
    QVERIFY(!report.busyMeanwhile);

    QProcess cli;
    const QString expectedPath = Path(QStringLiteral("expected.mld"));
    cli.start(QStringLiteral(QUORBIN_CLI_PATH),
              {QStringLiteral("convert"), QStringLiteral("--title"), QStringLiteral("Morning bell"),
               QStringLiteral("--copyright"), QStringLiteral("(c) 2003 Tester"), QStringLiteral("--protect"),
               QStringLiteral("--date"), QString::fromStdString(MldBuilder::MakeDateStamp()), QStringLiteral("-o"),
               expectedPath, wave});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(melody, ReadBytes(expectedPath));

    QVERIFY(window.isVisible());
    QVERIFY(window.acceptDrops());
    QCOMPARE(window.geometry(), QRect(kMainAt, QSize(210, 100)));
}

void AppTest::failuresShowOneMessageAndWriteNothing_data()
{
    QTest::addColumn<QString>("name");  // file made in the scratch folder
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("padTo");  // pad the path with a long folder name to this length
    QTest::addColumn<bool>("asFolder");
    QTest::addColumn<int>("messageId");
    QTest::addColumn<QString>("reason");

    const QByteArray good = WaveBytes(8000, 4000);
    QTest::newRow("path of 260") << "x.wav" << good << 260 << false << int(IDS_FILENAME_TOO_LONG) << "";
    QTest::newRow("path of 259 passes to open")
        << "missing.wav" << QByteArray() << 259 << false << int(IDS_CANNOT_OPEN_WAVE) << "No such file or directory";
    QTest::newRow(".wave") << "song.wave" << good << 0 << false << int(IDS_NOT_WAV_EXTENSION) << "";
    QTest::newRow(".wav.txt") << "song.wav.txt" << good << 0 << false << int(IDS_NOT_WAV_EXTENSION) << "";
    QTest::newRow("folder named x.wav") << "x.wav" << QByteArray() << 0 << true << int(IDS_CANNOT_OPEN_WAVE)
                                        << "Is a directory";
    QTest::newRow("empty file") << "empty.wav" << QByteArray("") << 0 << false << int(IDS_INVALID_WAVE) << "";
    QTest::newRow("22050 Hz") << "fast.wav" << WaveBytes(22050, 4000) << 0 << false << int(IDS_UNSUPPORTED_FORMAT)
                              << "22050 Hz, 1 channel, 16-bit PCM";
    QTest::newRow("20 ms") << "short.wav" << WaveBytes(8000, 160) << 0 << false << int(IDS_PLAYTIME_TOO_SHORT) << "";
}

void AppTest::failuresShowOneMessageAndWriteNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, padTo);
    QFETCH(bool, asFolder);
    QFETCH(int, messageId);
    QFETCH(QString, reason);

    QString folder = m_dir->path();
    if (padTo > 0) {
        const int room = padTo - int(folder.size()) - 2 - int(name.size());
        QVERIFY(room > 0 && room < 250);
        folder += QLatin1Char('/') + QString(room, QLatin1Char('d'));
        QVERIFY(QDir().mkpath(folder));
    }
    const QString path = folder + QLatin1Char('/') + name;
    if (padTo > 0)
        QCOMPARE(path.size(), padTo);
    if (asFolder)
        QVERIFY(QDir().mkpath(path));
    else if (!content.isNull())
        WriteBytes(path, content);

    MainDialog window;
    ShowAt(window, kMainAt);
    ModalScript script({kOk}, &window);
    QVERIFY(DropFile(window, path));
    QVERIFY(!script.timedOut);
    QVERIFY(!script.unexpected);
    QCOMPARE(script.seen.size(), 1);

    const SeenDialog message = script.seen[0];
    QCOMPARE(message.type, QStringLiteral("message"));
    QCOMPARE(message.kind, 0);
    QCOMPARE(message.text, English(messageId));
    QCOMPARE(message.reason, reason);
    QVERIFY(!message.dropsOnMeanwhile);
    QVERIFY(!message.busyMeanwhile);
    // Shown in the window's place, and the window comes back there.
    QCOMPARE(message.geometry, QRect(kMainAt, QSize(210, 100)));
    QCOMPARE(window.geometry(), QRect(kMainAt, QSize(210, 100)));
    QVERIFY(window.isVisible());
    QVERIFY(window.acceptDrops());
    QVERIFY(!QFileInfo::exists(MelodyPathFor(path)));
}

void AppTest::saveFailuresOpenWhereTheInfoDialogWas_data()
{
    QTest::addColumn<int>("messageId");
    QTest::addColumn<double>("freeBytes");  // < 0: the real query
    QTest::addColumn<bool>("readOnlyTarget");

    QTest::newRow("no free space") << int(IDS_DISK_SPACE) << 0.0 << false;
    QTest::newRow("query failed") << int(IDS_DISK_SPACE) << -1.0 << false;
    QTest::newRow("read-only melody file") << int(IDS_CANNOT_SAVE_MLD) << -2.0 << true;
}

void AppTest::saveFailuresOpenWhereTheInfoDialogWas()
{
    QFETCH(int, messageId);
    QFETCH(double, freeBytes);
    QFETCH(bool, readOnlyTarget);

    const QString wave = Path(QStringLiteral("song.wav"));
    WriteBytes(wave, WaveBytes(8000, 4000));
    const QString melody = MelodyPathFor(wave);
    const QByteArray oldMelody("an older melody file");
    if (readOnlyTarget) {
        WriteBytes(melody, oldMelody);
        QVERIFY(QFile::setPermissions(melody, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }

    MainDialog window;
    ShowAt(window, kMainAt);
    // The query runs while the job works: the busy cursor is back on by then.
    Qt::CursorShape cursorWhileSaving = Qt::ArrowCursor;
    window.Options().freeSpace = [&](const std::filesystem::path& folder) {
        if (const QCursor* cursor = QApplication::overrideCursor())
            cursorWhileSaving = cursor->shape();
        return freeBytes > -2.0 ? freeBytes : GetFreeDiskBytes(folder);
    };

    // The information dialog is dragged away before OK: the message opens
    // where it was left and the window comes back there.
    const QPoint infoLeftAt(400, 300);
    ModalScript script({MoveThen(infoLeftAt, kOk), kOk}, &window);
    QVERIFY(DropFile(window, wave));
    QVERIFY(!script.timedOut);
    QCOMPARE(script.seen.size(), 2);

    const SeenDialog message = script.seen[1];
    QCOMPARE(message.kind, 0);
    QCOMPARE(message.text, English(messageId));
    QCOMPARE(message.geometry.topLeft(), infoLeftAt);
    QCOMPARE(cursorWhileSaving, Qt::WaitCursor);
    QVERIFY(!message.busyMeanwhile);
    QCOMPARE(window.geometry(), QRect(infoLeftAt, QSize(210, 100)));
    QVERIFY(window.acceptDrops());

    if (readOnlyTarget)
        QCOMPARE(ReadBytes(melody), oldMelody);
    else
        QVERIFY(!QFileInfo::exists(melody));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), readOnlyTarget ? 2 : 1);
}

void AppTest::leavingTheInfoDialogIsSilent_data()
{
    QTest::addColumn<int>("how");  // 0 CANCEL button, 1 Esc
    QTest::newRow("CANCEL") << 0;
    QTest::newRow("Esc") << 1;
}

void AppTest::leavingTheInfoDialogIsSilent()
{
    QFETCH(int, how);
    const QString wave = Path(QStringLiteral("song.wav"));
    WriteBytes(wave, WaveBytes(8000, 4000));

    MainDialog window;
    ShowAt(window, kMainAt);
    const QPoint leftAt(50, 60);
    ModalScript script({MoveThen(leftAt, how == 0 ? kCancel : kEsc)}, &window);
    QVERIFY(DropFile(window, wave));
    QVERIFY(!script.timedOut);
    QVERIFY(!script.unexpected);
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen[0].type, QStringLiteral("info"));
    QCOMPARE(script.seen[0].geometry.topLeft(), kMainAt);
    QVERIFY(!script.seen[0].dropsOnMeanwhile);

    QVERIFY(!QFileInfo::exists(MelodyPathFor(wave)));
    QCOMPARE(window.geometry(), QRect(leftAt, QSize(210, 100)));
    QVERIFY(window.isVisible());
    QVERIFY(window.acceptDrops());
}

void AppTest::everyDroppedFileIsConvertedInOrder()
{
    const QString first = Path(QStringLiteral("first.wav"));
    const QString second = Path(QStringLiteral("second.wav"));
    WriteBytes(first, WaveBytes(8000, 4000));
    WriteBytes(second, WaveBytes(8000, 4000));

    MainDialog window;
    ShowAt(window, kMainAt);
    QStringList titles;
    const Step titleThenOk = [&titles](QDialog* d) {
        titles << qobject_cast<InfoDialog*>(d)->TitleField()->text();
        kOk(d);
    };
    ModalScript script({titleThenOk, kOk, titleThenOk, kOk}, &window);
    QVERIFY(DropOn(window, {QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}));
    QVERIFY(!script.unexpected);
    QCOMPARE(script.seen.size(), 4);
    QCOMPARE(titles, QStringList({"first", "second"}));
    QVERIFY(QFileInfo::exists(MelodyPathFor(first)));
    QVERIFY(QFileInfo::exists(MelodyPathFor(second)));
    QVERIFY(window.acceptDrops());
}

void AppTest::reportSaysWhatALongRecordingKept_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<QString>("secondLine");
    QTest::newRow("35.5 s") << 284000 << QStringLiteral("\nKept the first 16.4 s of 35.5 s.");
    QTest::newRow("exactly full") << 131054 << QString();
}

void AppTest::reportSaysWhatALongRecordingKept()
{
    QFETCH(int, samples);
    QFETCH(QString, secondLine);
    const QString wave = Path(QStringLiteral("long.wav"));
    WriteBytes(wave, WaveBytes(8000, samples));
    MainDialog window;
    ShowAt(window, kMainAt);
    ModalScript script({kOk, kOk}, &window);
    QVERIFY(DropFile(window, wave));
    QCOMPARE(script.seen.size(), 2);
    const QByteArray melody = ReadBytes(MelodyPathFor(wave));
    QCOMPARE(script.seen[1].text,
             English(IDS_OUTPUT_SIZE) + QString::asprintf("%.2fKB", melody.size() / 1024.0) + secondLine);
}

void AppTest::dropsOverControlsReachTheWindow_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::newRow("drag strip") << QPoint(100, 5);
    QTest::newRow("drop space") << QPoint(105, 50);
    QTest::newRow("about button") << QPoint(30, 90);
    QTest::newRow("Power button") << QPoint(200, 92);
}

void AppTest::dropsOverControlsReachTheWindow()
{
    QFETCH(QPoint, at);
    const QString wave = Path(QStringLiteral("song.wav"));
    WriteBytes(wave, WaveBytes(8000, 4000));

    MainDialog window;
    ShowAt(window, kMainAt);
    ModalScript script({kCancel}, &window);
    QVERIFY(DropFile(window, wave, at));
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen[0].type, QStringLiteral("info"));
}

void AppTest::dragsWithoutLocalFilesAreRefused()
{
    MainDialog window;
    ShowAt(window, kMainAt);
    ModalScript script({}, &window);

    QVERIFY(!DropOn(window, {QUrl(QStringLiteral("https://example.com/song.wav"))}));
    QVERIFY(!DropOn(window, {}));
    QVERIFY(!window.DropSpace()->IsHovered());

    // A local file lights the drop space up while it is over the window.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Path(QStringLiteral("song.wav")))});
    QDragEnterEvent enter(QPoint(100, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &enter);
    QVERIFY(enter.isAccepted());
    QVERIFY(window.DropSpace()->IsHovered());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(window.windowHandle(), &leave);
    QVERIFY(!window.DropSpace()->IsHovered());

    // While a job runs, drags are refused.
    window.setAcceptDrops(false);
    QVERIFY(!DropFile(window, Path(QStringLiteral("song.wav"))));
    QVERIFY(script.seen.isEmpty());
}

// ---------------------------------------------------------------------------

void AppTest::aboutBoxHandsTheWindowBackWhereItWasLeft()
{
    MainDialog window;
    ShowAt(window, kMainAt);
    bool collapsedMeanwhile = false;
    QPoint collapsedAt;
    const Step check = [&](QDialog* d) {
        collapsedMeanwhile = window.IsCollapsed() && !window.isVisible();
        collapsedAt = window.CollapsedAt();
        d->move(320, 40);
        kOk(d);
    };
    ModalScript script({check}, &window);
    window.AboutButton()->click();
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen[0].type, QStringLiteral("about"));
    QCOMPARE(script.seen[0].geometry, QRect(kMainAt, QSize(210, 100)));
    QVERIFY(collapsedMeanwhile);
    QCOMPARE(collapsedAt, QPoint(205, 250));
    QCOMPARE(window.m_savedRect.left, kMainAt.x());
    QCOMPARE(window.m_savedRect.bottom, kMainAt.y() + 100);
    QCOMPARE(window.geometry(), QRect(320, 40, 210, 100));
    QVERIFY(window.isVisible());
}

void AppTest::mainWindowComesBackInsideTheWorkArea()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    MainDialog window;
    ShowAt(window, QPoint(area.left() - 80, area.bottom() - 30));
    ModalScript script({kOk}, &window);
    QVERIFY(DropFile(window, Path(QStringLiteral("song.txt"))));
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen[0].geometry.topLeft(), QPoint(area.left(), area.bottom() + 1 - 100));
    QCOMPARE(window.geometry(), QRect(area.left(), area.bottom() + 1 - 100, 210, 100));
    QVERIFY(area.contains(window.geometry()));
}

void AppTest::runOpensCentredAndSurvivesHandOvers()
{
    // Each hand-over hides the window; its run must go on until Power.
    MainDialog window;
    QRect openedAt;
    bool stillRunningAfterAbout = false;
    bool stillRunningAfterEnter = false;
    QTimer::singleShot(0, &window, [&] {
        openedAt = window.geometry();
        window.AboutButton()->click();
        stillRunningAfterAbout = window.isVisible() && !window.IsEnding();
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window, Qt::Key_Return);
        QTest::keyClick(&window, Qt::Key_Enter);
        stillRunningAfterEnter = window.isVisible() && !window.IsEnding();
        QTimer::singleShot(0, &window, [&] { window.PowerButton()->click(); });
    });
    ModalScript script({kOk}, &window);
    const int result = window.exec();
    QVERIFY(!script.timedOut);
    QCOMPARE(result, int(MainDialog::ResultOk));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(openedAt, QRect(area.x() + (area.width() - 210) / 2, area.y() + (area.height() - 100) / 2, 210, 100));
    QVERIFY(stillRunningAfterAbout);
    QVERIFY(stillRunningAfterEnter);
    QVERIFY(!window.isVisible());
}

void AppTest::runEndings_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Esc") << int(Qt::Key_Escape) << int(MainDialog::ResultCancel);
    QTest::newRow("close") << 0 << int(MainDialog::ResultCancel);
}

void AppTest::runEndings()
{
    QFETCH(int, key);
    QFETCH(int, result);
    MainDialog window;
    QTimer::singleShot(0, &window, [&] {
        if (key)
            QTest::keyClick(&window, Qt::Key(key));
        else
            window.close();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &window, [&] { window.done(99); });
    watchdog.start(20000);
    QCOMPARE(window.exec(), result);
}

void AppTest::powerOfADialogEndsTheRun_data()
{
    QTest::addColumn<QString>("through");
    QTest::newRow("about box") << "about";
    QTest::newRow("information dialog") << "info";
    QTest::newRow("error message") << "error";
    QTest::newRow("size report") << "report";
}

void AppTest::powerOfADialogEndsTheRun()
{
    QFETCH(QString, through);
    const QString wave =
        Path(through == QLatin1String("error") ? QStringLiteral("song.mp3") : QStringLiteral("song.wav"));
    WriteBytes(wave, WaveBytes(8000, 4000));

    MainDialog window;
    QList<Step> steps{kPower};
    if (through == QLatin1String("report"))
        steps.prepend(kOk);
    ModalScript script(steps, &window);
    QTimer::singleShot(0, &window, [&] {
        if (through == QLatin1String("about"))
            window.AboutButton()->click();
        else
            DropFile(window, wave);
    });
    const int result = window.exec();
    QVERIFY(!script.timedOut);
    QVERIFY(script.Finished());
    QCOMPARE(result, int(MainDialog::ResultPower));
    QVERIFY(!window.isVisible());
    QCOMPARE(QFileInfo::exists(MelodyPathFor(wave)), through == QLatin1String("report"));
}

// ---------------------------------------------------------------------------

namespace {

QProcessEnvironment ProgramEnvironment(const QString& runtimeDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

bool WaitFor(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

}  // namespace

void AppTest::waylandSessionsAskForX11_data()
{
    QTest::addColumn<QByteArray>("session");   // empty: unset
    QTest::addColumn<QByteArray>("platform");  // empty: unset
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("wayland, no choice") << QByteArray("wayland") << QByteArray() << QByteArray("xcb;wayland");
    QTest::newRow("wayland, user's choice") << QByteArray("wayland") << QByteArray("wayland") << QByteArray("wayland");
    QTest::newRow("x11") << QByteArray("x11") << QByteArray() << QByteArray();
    QTest::newRow("no session") << QByteArray() << QByteArray() << QByteArray();
}

void AppTest::waylandSessionsAskForX11()
{
    QFETCH(QByteArray, session);
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, expected);
    const QByteArray savedSession = qgetenv("XDG_SESSION_TYPE");
    const QByteArray savedPlatform = qgetenv("QT_QPA_PLATFORM");
    auto set = [](const char* name, const QByteArray& value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    set("XDG_SESSION_TYPE", session);
    set("QT_QPA_PLATFORM", platform);
    PreferX11OnWayland();
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    set("XDG_SESSION_TYPE", savedSession);
    set("QT_QPA_PLATFORM", savedPlatform);
    QCOMPARE(chosen, expected);
}

void AppTest::secondInstanceExitsAtOnce()
{
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString lock = Path(QStringLiteral("QUORBININSTANCE"));

    QProcess first;
    first.setProcessEnvironment(ProgramEnvironment(m_dir->path()));
    first.start(ProgramPath(), {Path(QStringLiteral("ignored.wav"))});
    QVERIFY(first.waitForStarted(30000));
    QVERIFY(WaitFor([&] { return QFileInfo::exists(lock); }, 60000));

    // A lock held for long is not stale: age alone must not hand it over.
    const QByteArray lockName = QFile::encodeName(lock);
    utimbuf old{time(nullptr) - 3600, time(nullptr) - 3600};
    QCOMPARE(::utime(lockName.constData(), &old), 0);

    for (int start = 0; start < 2; ++start) {
        QProcess second;
        second.setProcessEnvironment(ProgramEnvironment(m_dir->path()));
        second.start(ProgramPath(), {});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(second.readAllStandardOutput(), QByteArray());
    }
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(30000);
}

void AppTest::lockOfACrashedCopyIsTakenOver()
{
    const QString lock = Path(QStringLiteral("QUORBININSTANCE"));
    QProcess crashed;
    crashed.setProcessEnvironment(ProgramEnvironment(m_dir->path()));
    crashed.start(ProgramPath(), {});
    QVERIFY(crashed.waitForStarted(30000));
    QVERIFY(WaitFor([&] { return QFileInfo::exists(lock); }, 60000));
    ::kill(static_cast<pid_t>(crashed.processId()), SIGKILL);
    QVERIFY(crashed.waitForFinished(30000));
    QVERIFY(QFileInfo::exists(lock));  // left behind, naming a process that is gone

    QProcess next;
    next.setProcessEnvironment(ProgramEnvironment(m_dir->path()));
    next.start(ProgramPath(), {});
    QVERIFY(next.waitForStarted(30000));
    const QByteArray nextPid = QByteArray::number(next.processId());
    QVERIFY(WaitFor([&] { return ReadBytes(lock).startsWith(nextPid + '\n'); }, 60000));
    QTest::qWait(300);
    QCOMPARE(next.state(), QProcess::Running);
    next.kill();
    next.waitForFinished(30000);
}

void AppTest::lockLivesInAPrivateFolder_data()
{
    QTest::addColumn<QString>("runtime");  // "private", "shared", "unset", "lock is a folder"
    QTest::addColumn<bool>("cacheUsable");
    QTest::addColumn<QString>("lockFolder");  // "runtime", "cache" or empty: no lock, a warning
    QTest::newRow("private runtime folder") << "private" << true << "runtime";
    QTest::newRow("runtime folder others may write") << "shared" << true << "cache";
    QTest::newRow("no runtime folder") << "unset" << true << "cache";
    QTest::newRow("a folder in place of the lock") << "lock is a folder" << true << "";
    QTest::newRow("no usable folder at all") << "unset" << false << "";
}

void AppTest::lockLivesInAPrivateFolder()
{
    QFETCH(QString, runtime);
    QFETCH(bool, cacheUsable);
    QFETCH(QString, lockFolder);
    const QString runtimeDir = Path(QStringLiteral("run"));
    const QString cacheHome = Path(QStringLiteral("cache"));
    QVERIFY(QDir().mkpath(runtimeDir));
    QVERIFY(QFile::setPermissions(runtimeDir, runtime == QLatin1String("shared")
                                                  ? QFile::Permissions(0x7777)
                                                  : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (runtime == QLatin1String("lock is a folder"))
        QVERIFY(QDir(runtimeDir).mkdir(InstanceLockName()));
    if (cacheUsable)
        QVERIFY(QDir().mkpath(cacheHome));
    else
        WriteBytes(cacheHome, "not a folder");

    QProcessEnvironment env = ProgramEnvironment(runtimeDir);
    if (runtime == QLatin1String("unset"))
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(ProgramPath(), {});
    QVERIFY(program.waitForStarted(30000));
    const QString folder = lockFolder == QLatin1String("runtime") ? runtimeDir : cacheHome + QStringLiteral("/quorbin");
    QByteArray errors;
    const bool settled = WaitFor(
        [&] {
            errors += program.readAllStandardError();
            if (lockFolder.isEmpty())
                return errors.contains("quorbin:");
            return QFileInfo::exists(QDir(folder).filePath(InstanceLockName()))
                   && QFileInfo::exists(QDir(folder).filePath(HandOverSocketName()));
        },
        60000);
    QTest::qWait(300);
    errors += program.readAllStandardError();
    const bool running = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished(30000);
    QVERIFY2(settled, errors.constData());
    QVERIFY(running);
    const QList<QByteArray> lines = errors.split('\n');
    const auto warnings = std::count_if(lines.cbegin(), lines.cend(),
                                        [](const QByteArray& line) { return line.startsWith("quorbin: "); });
    QCOMPARE(warnings, lockFolder.isEmpty() ? 1 : 0);
    if (!lockFolder.isEmpty())
        QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFile::Permissions());
}

void AppTest::laterStartsHandTheirFileOver()
{
    // This process plays the running copy; the real program is the later start.
    const QString wave = Path(QStringLiteral("song.wav"));
    WriteBytes(wave, WaveBytes(8000, 4000));
    InstanceLock lock(m_dir->path());
    QCOMPARE(lock.Take(), InstanceLock::Outcome::Held);
    auto startLater = [&](QProcess& later) {
        later.setProcessEnvironment(ProgramEnvironment(m_dir->path()));
        later.setWorkingDirectory(m_dir->path());
        later.start(ProgramPath(), {QStringLiteral("song.wav")});  // relative to the later start's folder
    };

    QProcess unheard;  // nobody listens: the later start says so and fails
    startLater(unheard);
    QVERIFY(unheard.waitForFinished(60000));
    QCOMPARE(unheard.exitCode(), 1);
    QVERIFY(unheard.readAllStandardError().startsWith("quorbin: "));

    HandOverServer server;
    QVERIFY(server.Listen(Path(HandOverSocketName())));
    MainDialog window;
    connect(&server, &HandOverServer::FileReceived, &window, &MainDialog::OpenFile);
    ShowAt(window, kMainAt);
    // A file that comes while a job's dialog is up waits for that job.
    const QString waiting = Path(QStringLiteral("waiting.wav"));
    WriteBytes(waiting, WaveBytes(8000, 4000));
    const Step handOverMeanwhile = [&](QDialog* d) {
        window.OpenFile(waiting);
        kOk(d);
    };
    ModalScript script({handOverMeanwhile, kOk, kOk, kOk}, &window);
    QProcess later;
    startLater(later);
    QVERIFY(WaitFor([&] { return script.Finished() && later.state() == QProcess::NotRunning; }, 60000));
    QCOMPARE(later.exitCode(), 0);
    QVERIFY(!script.timedOut && !script.unexpected);
    QCOMPARE(script.seen.size(), 4);
    QCOMPARE(script.seen[1].kind, int(MessageDialog::KindReport));
    QCOMPARE(script.seen[3].kind, int(MessageDialog::KindReport));
    QVERIFY(QFileInfo::exists(MelodyPathFor(wave)));
    QVERIFY(QFileInfo::exists(MelodyPathFor(waiting)));
}

void AppTest::handOverCarriesTheWholeName_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QStringLiteral("song.wav");
    QTest::newRow("newline") << QStringLiteral("first line\nsecond line.wav");
    QTest::newRow("carriage return and tab") << QStringLiteral("a\r\tb.wav");
    QTest::newRow("long") << QString(240, QLatin1Char('n')) + QStringLiteral(".wav");
}

// Whatever the name holds, the running copy gets all of it.
void AppTest::handOverCarriesTheWholeName()
{
    QFETCH(QString, name);
    InstanceLock lock(m_dir->path());
    QCOMPARE(lock.Take(), InstanceLock::Outcome::Held);
    HandOverServer server;
    QVERIFY(server.Listen(Path(HandOverSocketName())));
    QStringList received;
    connect(&server, &HandOverServer::FileReceived, this, [&](const QString& path) { received << path; });
    QProcess later;
    later.setProcessEnvironment(ProgramEnvironment(m_dir->path()));
    later.start(ProgramPath(), {Path(name)});
    QVERIFY(WaitFor([&] { return later.state() == QProcess::NotRunning && !received.isEmpty(); }, 60000));
    QCOMPARE(later.exitCode(), 0);
    QCOMPARE(received, QStringList{Path(name)});
}

// A copy whose window has closed still holds the lock for a moment, and its
// socket still takes connections, but nobody answers there any more: a start
// made then must neither hand its file into that nor give up, but run itself
// once the lock is free.
void AppTest::aStartWhileTheRunningCopyEndsRunsItself()
{
    auto lock = std::make_unique<InstanceLock>(m_dir->path());
    QCOMPARE(lock->Take(), InstanceLock::Outcome::Held);
    auto ending = std::make_unique<QLocalServer>();
    QVERIFY(ending->listen(Path(HandOverSocketName())));
    WriteBytes(Path(QStringLiteral("song.wav")), WaveBytes(8000, 4000));
    QProcess later;
    later.setProcessEnvironment(ProgramEnvironment(m_dir->path()));
    later.start(ProgramPath(), {Path(QStringLiteral("song.wav"))});
    QVERIFY(later.waitForStarted(30000));
    QVERIFY(WaitFor([&] { return ending->hasPendingConnections(); }, 30000));
    QTest::qWait(500);
    ending.reset();  // the ending copy's process is gone: its connections close, then its lock goes
    lock.reset();

    const QString lockFile = Path(InstanceLockName());
    const QByteArray laterPid = QByteArray::number(later.processId());
    const bool runsItself = WaitFor(
        [&] {
            QFile file(lockFile);
            return later.state() == QProcess::Running && file.open(QIODevice::ReadOnly)
                   && file.readLine().trimmed() == laterPid;
        },
        30000);
    const bool stillRunning = later.state() == QProcess::Running;
    later.kill();
    later.waitForFinished(30000);
    QVERIFY2(runsItself, later.readAllStandardError().constData());
    QVERIFY(stillRunning);
}

void AppTest::keysOpenTheFileChooser_data()
{
    QTest::addColumn<int>("tabs");  // Tab presses before the key
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<bool>("opens");
    QTest::newRow("Ctrl+O") << 0 << QKeySequence(QKeySequence::Open) << true;
    QTest::newRow("Space on the drop space") << 1 << QKeySequence(Qt::Key_Space) << true;
    QTest::newRow("Enter on the drop space") << 1 << QKeySequence(Qt::Key_Return) << true;
    QTest::newRow("Enter with nothing focused") << 0 << QKeySequence(Qt::Key_Return) << false;
}

void AppTest::keysOpenTheFileChooser()
{
    QFETCH(int, tabs);
    QFETCH(QKeySequence, key);
    QFETCH(bool, opens);
    MainDialog window;
    ShowAt(window, kMainAt);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (int i = 0; i < tabs; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget() == window.DropSpace(), tabs == 1);
    QString chooserTitle;
    QTimer::singleShot(200, &window, [&] {
        if (auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            chooserTitle = chooser->windowTitle();
            chooser->reject();
        }
    });
    QTest::keySequence(QApplication::focusWidget(), key);
    QTest::qWait(300);
    QCOMPARE(chooserTitle == QLatin1String("Open a WAVE file"), opens);
    QVERIFY(window.isVisible() && !window.IsEnding());
}

void AppTest::rightClickMenuAndTheEditorKey_data()
{
    QTest::addColumn<bool>("editor");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("reason");
    const QString format = QStringLiteral("22050 Hz, 1 channel, 16-bit PCM");
    QTest::newRow("no editor") << false << QStringList{"Open...\tCtrl+O", "About", "Quit\tCtrl+Q"} << format;
    QTest::newRow("editor") << true
                            << QStringList{"Open...\tCtrl+O", "Ringtone editor...\tCtrl+E", "About", "Quit\tCtrl+Q"}
                            << format + QStringLiteral("\nopen it in the ringtone editor (Ctrl+E)");
}

// A right click anywhere, the drop space included, offers the window's
// commands; a refused recording the editor takes is one Ctrl+E away from it,
// in the message box and after it.
void AppTest::rightClickMenuAndTheEditorKey()
{
    QFETCH(bool, editor);
    QFETCH(QStringList, entries);
    QFETCH(QString, reason);
    const QString wave = Path(QStringLiteral("cd.wav"));
    WriteBytes(wave, WaveBytes(22050, 4000));
    MainDialog window;
    QStringList opened;
    window.SetEditorAvailable(editor);
    connect(&window, &MainDialog::EditorRequested, [&opened](const QString& file) { opened << file; });
    ShowAt(window, kMainAt);

    QStringList shown;
    QTimer::singleShot(100, &window, [&shown] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* action : menu->actions()) {
                if (action->isVisible())
                    shown << action->text()
                                 + (action->shortcut().isEmpty() ? QString()
                                                                 : QLatin1Char('\t') + action->shortcut().toString());
            }
            menu->close();
        }
    });
    const QPoint at = window.DropSpace()->rect().center();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, window.DropSpace()->mapToGlobal(at));
    QApplication::sendEvent(window.DropSpace(), &rightClick);
    QCOMPARE(shown, entries);

    const Step editorKey = [](QDialog* d) {
        QVERIFY(QTest::qWaitForWindowActive(d));  // keys reach the shortcuts of the active window only
        QTest::keyClick(d, Qt::Key_E, Qt::ControlModifier);
    };
    ModalScript script({editor ? editorKey : kOk}, &window);
    QVERIFY(DropFile(window, wave));
    QVERIFY(!script.timedOut);
    QCOMPARE(script.seen.size(), 1);
    QCOMPARE(script.seen[0].reason, reason);
    const QStringList once = editor ? QStringList{wave} : QStringList();
    QTRY_COMPARE(opened, once);
    QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_E));
    QCOMPARE(opened, once + once);
}

namespace {

// "Role: name" of every control a screen reader can act on, below `root`.
void CollectControls(QAccessibleInterface* root, QStringList& controls)
{
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        const QAccessible::Role role = child->role();
        const char* kind = role == QAccessible::PushButton     ? "button"
                           : role == QAccessible::CheckBox     ? "check box"
                           : role == QAccessible::EditableText ? "text field"
                           : role == QAccessible::Link         ? "link"
                           : role == QAccessible::Graphic      ? "picture"
                                                               : nullptr;
        if (kind)
            controls << QStringLiteral("%1: %2").arg(QLatin1String(kind), child->text(QAccessible::Name));
        CollectControls(child, controls);
    }
}

}  // namespace

void AppTest::accessibilityTreeNamesEveryControl_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("controls");
    QTest::newRow("main") << "main" << Language::English()
                          << QStringList{"button: Drop a WAVE file here", "button: About", "button: Power (quit)"};
    // Screen readers hear the dialog's language.
    const struct {
        const char* tag;
        Language language;
        QStringList info;
        QStringList message;
        QString power;
    } languages[] = {
        {"English",
         Language::English(),
         {"text field: Title", "text field: Copyright", "check box: Protection availability", "button: Clear",
          "button: OK", "button: Cancel"},
         {"picture: Caution!", "button: Close"},
         "button: Power (quit)"},
        {"Japanese",
         Language::Japanese(),
         {"text field: タイトル", "text field: 著作権表示", "check box: 保護の有無", "button: クリア", "button: OK",
          "button: キャンセル"},
         {"picture: 注意！", "button: 閉じる"},
         "button: 電源（終了）"},
    };
    for (const auto& [tag, language, info, message, power] : languages) {
        QTest::addRow("info, %s", tag) << "info" << language << info + QStringList{power};
        QTest::addRow("message, %s", tag) << "message" << language << message + QStringList{power};
        QTest::addRow("about, %s", tag) << "about" << language
                                        << QStringList{"link: " + AboutDialog(nullptr, language).WebLink()->Target(),
                                                       "button: OK", power};
    }
}

void AppTest::accessibilityTreeNamesEveryControl()
{
    QFETCH(QString, window);
    QFETCH(Language, language);
    QFETCH(QStringList, controls);
    MainDialog main;
    std::unique_ptr<QWidget> shown;
    if (window == QLatin1String("main"))
        shown.reset(new MainDialog);
    else if (window == QLatin1String("info"))
        shown.reset(new InfoDialog(&main, language));
    else if (window == QLatin1String("message"))
        shown.reset(new MessageDialog(&main, language));
    else
        shown.reset(new AboutDialog(&main, language));
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown.get()));

    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(shown.get());
    QVERIFY(root);
    QVERIFY(!root->text(QAccessible::Name).isEmpty());  // every window has a title
    QStringList found;
    CollectControls(root, found);
    QCOMPARE(found, controls);

    if (auto* info = qobject_cast<InfoDialog*>(shown.get())) {
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(info->ProtectionBox());
        QVERIFY(!box->state().checked);
        QTest::mouseClick(info->ProtectionBox(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(box->state().checked);
    }
}

// The file chooser and Qt's other texts come from Qt's own catalogues.
void AppTest::qtsOwnTextsFollowTheLanguage()
{
    QVERIFY(!InstallQtTranslations(Language::English()));
    QTranslator* japanese = InstallQtTranslations(Language::Japanese());
    QVERIFY2(japanese, "Qt's Japanese translations (qt6-translations-l10n) are missing");
    QString lookIn;
    {
        QFileDialog chooser;
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        lookIn = chooser.labelText(QFileDialog::LookIn);
    }
    QCoreApplication::removeTranslator(japanese);
    delete japanese;
    QVERIFY2(std::any_of(lookIn.begin(), lookIn.end(), [](QChar c) { return c.unicode() >= 0x3000; }),
             qPrintable(lookIn));
    QCOMPARE(QFileDialog().labelText(QFileDialog::LookIn), QStringLiteral("Look in:"));
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    AppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_app.moc"
