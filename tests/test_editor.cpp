// The ringtone editor: the selection's limits, the waveform's outline, the
// window driven by keys and mouse while a recording is decoded in the
// background, Next through the shared steps, Play without a sound device, and
// the hand-over that opens the editor. Decoding is played by a fake here; the
// real decoders are driven in test_editor_session.sh.
#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cmath>
#include <random>

#include "app/EditorWindow.h"
#include "app/MainDialog.h"
#include "app/RingtoneSelection.h"
#include "app/SingleInstance.h"
#include "audio/WaveOverview.h"
#include "tests/DialogDriving.h"
#include "ui/ValueField.h"
#include "ui/WaveformView.h"

using namespace quorbin;

namespace {

constexpr double kLimit8000 = 131054.0 / 8000;  // seconds a melody file holds at 8000 Hz

// Decodes a made-up recording: a 440 Hz tone of `seconds`, one block of a
// second every `blockMs` milliseconds.
class FakeDecoder final : public RecordingDecoder {
public:
    FakeDecoder(double seconds, int blockMs) : m_seconds(seconds), m_blockMs(blockMs) {}

    StepFailure DecodeWhole(const std::string&, int rate, const decode::SampleBlockSink& sink,
                            FailureReason& reason) override
    {
        if (m_seconds < 0) {  // a file no decoder reads
            reason = FailureReason::Of(ReasonKind::Undecodable);
            return StepFailure::InvalidWave;
        }
        const auto total = static_cast<std::size_t>(m_seconds * rate);
        for (std::size_t done = 0; done < total;) {
            const std::vector<std::int16_t> block = Tone(done, std::min<std::size_t>(rate, total - done), rate);
            if (!sink(block))
                break;
            done += block.size();
            QThread::msleep(m_blockMs);
        }
        return StepFailure::None;
    }

    StepFailure Prepare(const std::string&, const decode::PreparationOptions& options,
                        decode::PreparedRecording& prepared, FailureReason&) override
    {
        prepared.sampleRate = options.targetRate.value_or(8000);
        const auto length = static_cast<std::size_t>(options.edit.lengthSeconds.value_or(1) * prepared.sampleRate);
        prepared.samples = Tone(0, std::min(length, kMelodySampleLimit), prepared.sampleRate);
        prepared.selectedSamples = length;
        asked = options;
        return StepFailure::None;
    }

    decode::PreparationOptions asked;

private:
    static std::vector<std::int16_t> Tone(std::size_t first, std::size_t count, int rate)
    {
        std::vector<std::int16_t> samples(count);
        for (std::size_t i = 0; i < count; ++i)
            samples[i] = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * 440 * double(first + i) / rate));
        return samples;
    }

    double m_seconds;
    int m_blockMs;
};

// An editor showing a `seconds` long recording, decoded at once.
struct OpenEditor {
    explicit OpenEditor(double seconds, int blockMs = 0, const QString& name = QStringLiteral("song.m4a"))
    {
        auto fake = std::make_unique<FakeDecoder>(seconds, blockMs);
        decoder = fake.get();
        window = std::make_unique<EditorWindow>(std::move(fake));
        window->Open();
        window->OpenFile(folder.filePath(name));
    }
    bool Decoded()
    {
        return QTest::qWaitFor([this] { return !window->IsDecoding(); }, 20000);
    }

    QTemporaryDir folder;
    FakeDecoder* decoder = nullptr;
    std::unique_ptr<EditorWindow> window;
};

}  // namespace

class EditorTest : public QObject {
    Q_OBJECT
private slots:
    void selectionFollowsItsRules();
    void selectionNeverExceedsTheLimit();
    void overviewKeepsTheExtremes();
    void waveformIsDrawnAsItIsDecodedWhileKeysWork();
    void keysAndMouseMoveTheSelection_data();
    void keysAndMouseMoveTheSelection();
    void fieldsTakeTypedValues_data();
    void fieldsTakeTypedValues();
    void nextSavesWhatTheSelectionPrepares();
    void playWithoutASoundDeviceSaysSo();
    void everyControlHasAName();
    void editorOpensBesideTheMainWindow();
    void handOverOpensTheEditor_data();
    void handOverOpensTheEditor();
};

void EditorTest::selectionFollowsItsRules()
{
    struct Case {
        const char* name;
        double duration;
        std::function<void(RingtoneSelection&)> change;
        double start, length;
    };
    const Case cases[] = {
        {"default on a long recording", 60, [](RingtoneSelection&) {}, 0, kLimit8000},
        {"default on a short one", 10, [](RingtoneSelection&) {}, 0, 10},
        {"twenty seconds on", 60,
         [](RingtoneSelection& s) {
             for (int i = 0; i < 20; ++i)
                 s.MoveBy(1);
         },
         20, kLimit8000},
        {"moved past the end", 60, [](RingtoneSelection& s) { s.MoveBy(100); }, 60 - kLimit8000, kLimit8000},
        {"to the end", 60, [](RingtoneSelection& s) { s.ToEnd(); }, 60 - kLimit8000, kLimit8000},
        {"started late keeps what is left", 60, [](RingtoneSelection& s) { s.SetStart(55.04); }, 55, 5},
        {"longer than fits", 60, [](RingtoneSelection& s) { s.SetLength(30); }, 0, kLimit8000},
        {"longer at fit", 60,
         [](RingtoneSelection& s) {
             s.SetRate(RingtoneSelection::kFit);
             s.SetLength(30);
         },
         0, 30},
        {"16000 Hz halves it", 60, [](RingtoneSelection& s) { s.SetRate(16000); }, 0, kLimit8000 / 2},
        {"and 8000 Hz brings it back", 60,
         [](RingtoneSelection& s) {
             s.SetRate(16000);
             s.SetRate(8000);
         },
         0, kLimit8000},
        {"end edge past the limit", 60,
         [](RingtoneSelection& s) {
             s.SetStart(10);
             s.SetEndEdge(50);
         },
         10, kLimit8000},
        {"start edge past the limit", 60,
         [](RingtoneSelection& s) {
             s.SetStart(30);
             s.SetStartEdge(0);
         },
         30 + kLimit8000 - kLimit8000, kLimit8000},
        {"start edge inward", 60, [](RingtoneSelection& s) { s.SetStartEdge(5); }, 5, kLimit8000 - 5},
    };
    for (const Case& c : cases) {
        RingtoneSelection selection;
        selection.SetDuration(c.duration);
        c.change(selection);
        QVERIFY2(std::abs(selection.Start() - c.start) < 1e-9, c.name);
        QVERIFY2(std::abs(selection.Length() - c.length) < 1e-9, c.name);
    }
    RingtoneSelection fit;
    fit.SetDuration(60);
    fit.SetRate(RingtoneSelection::kFit);
    fit.SetLength(30);
    QCOMPARE(fit.CodedRate(), 4368);  // 131054 * 16000 / 480000, as the decoders choose it
    QCOMPARE(fit.Preparation().targetRate, std::optional<int>(16000));
    QVERIFY(fit.Preparation().fit);
}

void EditorTest::selectionNeverExceedsTheLimit()
{
    std::mt19937 random(25);
    std::uniform_real_distribution<double> seconds(-20, 80);
    const int rates[] = {RingtoneSelection::kFit, 4000, 6000, 8000, 11025, 16000, 22050};
    RingtoneSelection s;
    s.SetDuration(40);
    for (int i = 0; i < 5000; ++i) {
        const double t = seconds(random);
        switch (random() % 8) {
        case 0: s.SetStart(t); break;
        case 1: s.MoveBy(t / 10); break;
        case 2: s.SetLength(t); break;
        case 3: s.SetStartEdge(t); break;
        case 4: s.SetEndEdge(t); break;
        case 5: s.SetRate(rates[random() % std::size(rates)]); break;
        case 6: s.SetDuration(std::max(t, 0.0)); break;
        default: random() % 2 ? s.ToEnd() : s.ToBeginning(); break;
        }
        const double samples = s.Length() * s.CodedRate();
        QVERIFY2(std::llround(samples) <= std::llround(131054.0) && s.Length() <= s.LongestLength() + 1e-9,
                 qPrintable(QStringLiteral("step %1: %2 s at %3 Hz").arg(i).arg(s.Length()).arg(s.CodedRate())));
        QVERIFY(s.Start() >= 0 && s.End() <= std::max(s.Duration(), 0.0) + 1e-9);
    }
}

void EditorTest::overviewKeepsTheExtremes()
{
    WaveOverview overview(4000, 40);
    std::vector<std::int16_t> samples(10000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(i % 40 == 7 ? (i / 40) * 10 : -static_cast<int>(i % 3));
    for (std::size_t at = 0; at < samples.size(); at += 333)  // blocks that end mid-peak
        overview.Append(std::span(samples).subspan(at, std::min<std::size_t>(333, samples.size() - at)));
    QCOMPARE(overview.Samples(), std::uint64_t(10000));
    QCOMPARE(overview.Seconds(), 2.5);
    const struct {
        double from, to;
        int low, high;
    } cases[] = {{0, 0.01, -2, 0}, {0.5, 0.52, -2, 510}, {1.0, 2.0, -2, 1990}, {2.49, 9, -2, 2490}, {3, 4, 0, 0}};
    for (const auto& c : cases) {
        const SamplePeak peak = overview.PeakBetween(c.from, c.to);
        QCOMPARE(peak.low, std::int16_t(c.low));
        QCOMPARE(peak.high, std::int16_t(c.high));
    }
}

void EditorTest::waveformIsDrawnAsItIsDecodedWhileKeysWork()
{
    OpenEditor editor(60, 20);  // 60 blocks of a second, 1.2 s in all
    QVERIFY(editor.window->IsDecoding());
    QVERIFY(QTest::qWaitFor([&] { return editor.window->Overview().Seconds() >= 20; }, 5000));
    QVERIFY(editor.window->Overview().Seconds() < 60);
    QTest::keyClick(editor.window->Waveform(), Qt::Key_Right);
    QCOMPARE(editor.window->Selection().Start(), 1.0);
    QVERIFY(editor.window->IsDecoding());
    QVERIFY(editor.Decoded());
    QCOMPARE(editor.window->Overview().Seconds(), 60.0);
    QCOMPARE(editor.window->Selection().Duration(), 60.0);
    QVERIFY(editor.window->Status().isEmpty());
    // One that no decoder reads says so under the waveform, and Next does nothing.
    OpenEditor unreadable(-1);
    QVERIFY(unreadable.Decoded());
    QVERIFY2(unreadable.window->Status().startsWith(QStringLiteral("Invalid WAVE file")),
             qPrintable(unreadable.window->Status()));
    QTest::keyClick(unreadable.window->Waveform(), Qt::Key_Return);
    QVERIFY(!QApplication::activeModalWidget());
    // A file opened meanwhile stops the decoding of the last one at once.
    OpenEditor again(600, 20);
    again.window->OpenFile(again.folder.filePath(QStringLiteral("other.m4a")));
    QVERIFY(again.window->IsDecoding());
    again.window->done(SkinnedWindow::ResultCancel);
    QVERIFY(!again.window->IsDecoding());
}

void EditorTest::keysAndMouseMoveTheSelection_data()
{
    // The 40 s recording spans the waveform's 400 pixels: a tenth of a second each.
    QTest::addColumn<QString>("actions");  // keys: R r L l H E; mouse: cX (click at pixel X), dX:Y (drag)
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("length");
    QTest::newRow("Right twenty times") << "RRRRRRRRRRRRRRRRRRRR" << 20.0 << kLimit8000;
    QTest::newRow("Shift+Right, Left at the start") << "rrrLL" << 0.0 << kLimit8000;
    QTest::newRow("End, then Shift+Left to the tenth") << "El" << 23.5 << kLimit8000;
    QTest::newRow("Home after moving") << "RRRH" << 0.0 << kLimit8000;
    QTest::newRow("click moves the start") << "c123" << 12.3 << kLimit8000;
    QTest::newRow("click near the end") << "c350" << 35.0 << 5.0;
    QTest::newRow("drag the selection") << "d50:150" << 10.0 << kLimit8000;
    QTest::newRow("drag the end edge past the limit") << "d164:399" << 0.0 << kLimit8000;
    QTest::newRow("drag the end edge in") << "d164:80" << 0.0 << 8.0;
    QTest::newRow("drag the start edge") << "c100d100:150" << 15.0 << kLimit8000 - 5;
}

void EditorTest::keysAndMouseMoveTheSelection()
{
    QFETCH(QString, actions);
    QFETCH(double, start);
    QFETCH(double, length);
    OpenEditor editor(40);
    QVERIFY(editor.Decoded());
    WaveformView* wave = editor.window->Waveform();
    QCOMPARE(wave->width(), 400);
    const auto y = wave->height() / 2;
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const QChar action = actions[i];
        const auto number = [&] {
            qsizetype end = i + 1;
            while (end < actions.size() && actions[end].isDigit())
                ++end;
            const int value = actions.mid(i + 1, end - i - 1).toInt();
            i = end;
            return value;
        };
        if (action == QLatin1Char('c')) {
            QTest::mouseClick(wave, Qt::LeftButton, {}, QPoint(number(), y));
            --i;
        } else if (action == QLatin1Char('d')) {
            const int from = number();
            const int to = number();
            --i;
            QTest::mousePress(wave, Qt::LeftButton, {}, QPoint(from, y));
            for (const int x : {(from + to) / 2, to}) {
                QMouseEvent move(QEvent::MouseMove, QPointF(x, y), wave->mapToGlobal(QPointF(x, y)), Qt::NoButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(wave, &move);
            }
            QTest::mouseRelease(wave, Qt::LeftButton, {}, QPoint(to, y));
        } else {
            const Qt::Key key = action.toUpper() == QLatin1Char('R')   ? Qt::Key_Right
                                : action.toUpper() == QLatin1Char('L') ? Qt::Key_Left
                                : action == QLatin1Char('H')           ? Qt::Key_Home
                                                                       : Qt::Key_End;
            QTest::keyClick(wave, key, action.isLower() ? Qt::ShiftModifier : Qt::NoModifier);
        }
    }
    QVERIFY2(std::abs(editor.window->Selection().Start() - start) < 1e-9,
             qPrintable(QString::number(editor.window->Selection().Start())));
    QVERIFY2(std::abs(editor.window->Selection().Length() - length) < 1e-9,
             qPrintable(QString::number(editor.window->Selection().Length())));
}

void EditorTest::fieldsTakeTypedValues_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");  // after Enter
    QTest::newRow("start") << int(EditorWindow::StartField) << "1:05.34"
                           << "1:05.3";
    QTest::newRow("start in seconds") << int(EditorWindow::StartField) << "12"
                                      << "0:12.0";
    QTest::newRow("start, not a time") << int(EditorWindow::StartField) << "soon"
                                       << "0:00.0";
    QTest::newRow("length past the limit") << int(EditorWindow::LengthField) << "30"
                                           << "0:16.4";
    QTest::newRow("fade in") << int(EditorWindow::FadeInField) << "0.25"
                             << "0.25 s";
    QTest::newRow("fade out, with its unit") << int(EditorWindow::FadeOutField) << "1.5 s"
                                             << "1.5 s";
    QTest::newRow("rate") << int(EditorWindow::RateField) << "12000 Hz"
                          << "12000 Hz";
    QTest::newRow("rate below the lowest") << int(EditorWindow::RateField) << "3000"
                                           << "4000 Hz";
    QTest::newRow("rate: fit") << int(EditorWindow::RateField) << "Fit"
                               << "fit 8000 Hz";
    QTest::newRow("quality") << int(EditorWindow::QualityField) << "high"
                             << "high";
}

void EditorTest::fieldsTakeTypedValues()
{
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    OpenEditor editor(120);
    QVERIFY(editor.Decoded());
    ValueField* input = editor.window->FieldAt(EditorWindow::Field(field));
    input->setFocus();
    input->selectAll();
    QTest::keyClicks(input, typed);
    QTest::keyClick(input, Qt::Key_Return);
    QCOMPARE(input->text(), shown);
    QVERIFY(editor.window->Waveform()->hasFocus());
}

void EditorTest::nextSavesWhatTheSelectionPrepares()
{
    OpenEditor editor(40, 0, QStringLiteral("voice memo.m4a"));
    QVERIFY(editor.Decoded());
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(editor.window->Waveform(), Qt::Key_Right);
    QTest::keyClick(editor.window->FieldAt(EditorWindow::RateField), Qt::Key_Up);  // 8000 -> 11025 Hz
    QString title;
    ModalDriver driver({[&](QDialog* info) {
                            title = static_cast<InfoDialog*>(info)->findChild<QLineEdit*>()->text();
                            OkButtonOf(info)->click();
                        },
                        [](QDialog* message) {
                            QCOMPARE(static_cast<MessageDialog*>(message)->m_kind, int(MessageDialog::KindReport));
                            OkButtonOf(message)->click();
                        }});
    QTest::keyClick(editor.window->Waveform(), Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return driver.Finished(); }, 20000));
    QVERIFY(!driver.unexpected && !driver.timedOut);
    QCOMPARE(title, QStringLiteral("voice memo"));
    QVERIFY(QFileInfo::exists(editor.folder.filePath(QStringLiteral("voice memo.mld"))));
    QCOMPARE(editor.decoder->asked.targetRate, std::optional<int>(11025));
    QCOMPARE(editor.decoder->asked.edit.startSeconds, 3.0);
    QCOMPARE(editor.decoder->asked.edit.lengthSeconds, std::optional<double>(131054.0 / 11025));
}

void EditorTest::playWithoutASoundDeviceSaysSo()
{
    OpenEditor editor(5);
    QVERIFY(editor.Decoded());
    QTest::keyClick(editor.window->Waveform(), Qt::Key_Space);
    QVERIFY(
        QTest::qWaitFor([&] { return editor.window->Status().startsWith(QStringLiteral("No sound device")); }, 10000));
    QVERIFY(editor.window->isVisible());
}

void EditorTest::everyControlHasAName()
{
    OpenEditor editor(5);
    QVERIFY(editor.Decoded());
    QWidget* first = editor.window->Waveform();
    first->setFocus();
    QWidget* widget = first;
    int controls = 0;
    do {
        if (widget->focusPolicy() != Qt::NoFocus && widget != editor.window.get()) {
            QVERIFY2(!widget->accessibleName().isEmpty(), widget->metaObject()->className());
            ++controls;
        }
        widget = widget->nextInFocusChain();
    } while (widget != first);
    QCOMPARE(controls, 13);
}

void EditorTest::editorOpensBesideTheMainWindow()
{
    const QRect screen(0, 0, 1024, 768);
    const QSize editor(420, 250);
    const struct {
        QRect main;
        QPoint expected;
    } cases[] = {
        {QRect(100, 200, 210, 100), QPoint(322, 200)},  // to the right
        {QRect(700, 600, 210, 100), QPoint(268, 518)},  // no room on the right: to the left, kept on screen
        {QRect(407, 334, 210, 100), QPoint(407, 446)},  // centred main window: below it
        {QRect(407, 500, 210, 100), QPoint(407, 238)},  // no room below: above it
        {QRect(0, 200, 1024, 400), QPoint(301, 258)},   // room nowhere: centred
    };
    for (const auto& c : cases)
        QCOMPARE(PlaceBeside(c.main, editor, screen), c.expected);
}

void EditorTest::handOverOpensTheEditor_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("path");
    QTest::newRow("a file for the editor") << int(HandOverTarget::Editor) << QStringLiteral("/tmp/memo.m4a");
    QTest::newRow("the editor, empty") << int(HandOverTarget::Editor) << QString();
    QTest::newRow("a file for the converter") << int(HandOverTarget::Converter) << QStringLiteral("/tmp/a.wav");
}

void EditorTest::handOverOpensTheEditor()
{
    QFETCH(int, target);
    QFETCH(QString, path);
    QTemporaryDir folder;
    HandOverServer server;
    QVERIFY(server.Listen(folder.filePath(HandOverSocketName())));
    QStringList editor, converter;
    connect(&server, &HandOverServer::EditorRequested, this, [&](const QString& file) { editor << file; });
    connect(&server, &HandOverServer::FileReceived, this, [&](const QString& file) { converter << file; });
    auto* sender = QThread::create(
        [&] { HandOverToRunningCopy(folder.filePath(HandOverSocketName()), path, HandOverTarget(target), 10000); });
    sender->start();
    QVERIFY(QTest::qWaitFor([&] { return sender->isFinished(); }, 20000));
    delete sender;
    QTest::qWait(50);
    QCOMPARE(editor, target == int(HandOverTarget::Editor) ? QStringList{path} : QStringList{});
    QCOMPARE(converter, target == int(HandOverTarget::Converter) ? QStringList{path} : QStringList{});
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");
    // No sound server can be reached: Play must say so rather than wait.
    qputenv("PULSE_SERVER", "unix:/nonexistent/quorbin-test");
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    EditorTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_editor.moc"
