#include "app/EditorWindow.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QThread>

#include "app/ConversionJob.h"
#include "app/MainDialog.h"
#include "audio/AdpcmDecoder.h"
#include "audio/TimeText.h"
#include "audio/AdpcmSearchEncoder.h"
#include "conversion/StepMessages.h"
#include "mld/MldBuilder.h"
#include "ui/Layouts.h"
#include "ui/CheckBitmapButton.h"
#include "ui/FileChooser.h"
#include "ui/InfoDialog.h"
#include "ui/MessageDialog.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"
#include "ui/UiText.h"
#include "ui/ValueField.h"
#include "ui/WaveformView.h"

namespace quorbin {
namespace {

namespace place = editor_place;

// The waveform is decoded at the lowest rate; each peak covers 10 ms.
constexpr int kOverviewRate = decode::kLowestRate;
constexpr std::size_t kSamplesPerPeak = kOverviewRate / 100;
// The rates Up and Down step through; above the highest comes Fit.
constexpr int kRateSteps[] = {4000, 6000, 8000, 11025, 12000, 16000, RingtoneSelection::kFit};
constexpr int kLongestFadeMs = 10000;
const QColor kText(240, 240, 240);

QString Time(double seconds)
{
    return QString::fromStdString(FormatTime(seconds));
}

// The next rate of kRateSteps above or below `rate` (kFit lies above them all).
int StepRate(int rate, int direction)
{
    const auto rank = [](int r) { return r == RingtoneSelection::kFit ? 1 << 20 : r; };
    if (direction > 0) {
        for (int step : kRateSteps)
            if (rank(step) > rank(rate))
                return step;
        return rate;
    }
    int below = rate;
    for (int step : kRateSteps)
        if (rank(step) < rank(rate))
            below = step;
    return below;
}

// `text` without a trailing unit word ("8000 Hz", "0.5 s") and spaces.
QString WithoutUnit(QString text, const char* unit)
{
    text = text.trimmed();
    if (text.endsWith(QLatin1String(unit), Qt::CaseInsensitive))
        text.chop(qsizetype(std::strlen(unit)));
    return text.trimmed();
}

bool IsWord(const QString& text, const char* english, const Language& language)
{
    return text.compare(QLatin1String(english), Qt::CaseInsensitive) == 0 || text == UiTr(english, language);
}

QRect LabelArea(SkinArea field)
{
    return QRect(field.x - place::kLabelWidth, field.y, place::kLabelWidth - 5, field.height);
}

}  // namespace

EditorWindow::EditorWindow(std::unique_ptr<RecordingDecoder> decoder, QWidget* parent)
    : SkinnedWindow(parent, Qt::Window | Qt::FramelessWindowHint, UserLanguage()),
      m_decoder(std::move(decoder)),
      m_overview(kOverviewRate, kSamplesPerPeak)
{
    const Language& language = DialogLanguage();
    const DialogLayout& layout = LoadLayout(IDD_MAIN, language);
    setFont(LayoutFont(QString::fromUtf8(layout.fontFamily), layout.pointSize));
    setWindowTitle(UiTr("Quorbin Ringtone Editor", language));
    SetBackground(SkinBitmap::EditorBackground, place::kWindow, place::kDragStrip);
    ResizeToBackground();
    BuildControls();
    ConnectWaveform();
    ConnectFields();
    setAcceptDrops(true);
    connect(&m_player, &SelectionPlayer::Position, this,
            [this](double seconds) { m_wave->SetPlayMark(m_playFrom + seconds); });
    connect(&m_player, &SelectionPlayer::Stopped, this, &EditorWindow::PlayingStopped);
    ShowSelection();
}

EditorWindow::~EditorWindow()
{
    StopDecoding();
}

void EditorWindow::BuildControls()
{
    const Language& language = DialogLanguage();
    m_wave = new WaveformView(this);
    m_wave->setGeometry(ToQRect(place::kWave));
    m_wave->setAccessibleName(UiTr("Waveform", language));
    m_wave->SetInvitation(UiTr("Drop a recording here, or press Ctrl+O to choose one.", language));
    setFocusProxy(m_wave);

    static constexpr const char* kFieldNames[kFieldCount] = {N_("Start"),    N_("Length"), N_("Fade in"),
                                                             N_("Fade out"), N_("Rate"),   N_("Quality")};
    for (int i = 0; i < kFieldCount; ++i) {
        m_fields[i] = new ValueField(this, m_wave);
        m_fields[i]->setGeometry(ToQRect(place::kFields[i]));
        m_fields[i]->setAccessibleName(UiTr(kFieldNames[i], language));
    }
    m_normalize = new CheckBitmapButton(this);
    m_normalize->move(ToQPoint(place::kNormalizeBox));
    m_normalize->SetSkin(SkinBitmap::ProtectionBox);
    m_normalize->setFocusPolicy(Qt::TabFocus);
    m_normalize->setAccessibleName(UiTr("Normalize", language));
    connect(m_normalize, &QAbstractButton::toggled, this,
            [this] { Change([this](RingtoneSelection& s) { s.normalize = m_normalize->GetState() == 1; }); });

    m_openButton = AddPushButton(SkinBitmap::OpenButton, place::kOpenButton, UiTr("Open a recording", language));
    m_playButton = AddPushButton(SkinBitmap::PlayButton, place::kPlayButton, UiTr("Play", language));
    m_nextButton = AddPushButton(SkinBitmap::NextButton, place::kNextButton, UiTr("Next", language));
    m_closeButton = AddPushButton(SkinBitmap::CloseButton, place::kCloseButton, UiTr("Close", language));
    AddPowerButton();
    m_powerButton->move(ToQPoint(place::kPowerButton));
    connect(m_openButton, &QAbstractButton::clicked, this, &EditorWindow::ChooseFile);
    connect(m_playButton, &QAbstractButton::clicked, this, &EditorWindow::TogglePlay);
    connect(m_nextButton, &QAbstractButton::clicked, this, &EditorWindow::Next);
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] { done(ResultCancel); });
    connect(m_powerButton, &QAbstractButton::clicked, this, [this] { done(ResultPower); });
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, &EditorWindow::ChooseFile);

    QWidget* order[] = {m_wave,      m_fields[0],  m_fields[1],  m_fields[2],  m_fields[3],   m_fields[4],  m_fields[5],
                        m_normalize, m_openButton, m_playButton, m_nextButton, m_closeButton, m_powerButton};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void EditorWindow::ConnectWaveform()
{
    connect(m_wave, &WaveformView::StartPicked, this,
            [this](double at) { Change([at](RingtoneSelection& s) { s.SetStart(at); }); });
    connect(m_wave, &WaveformView::SelectionDragged, this,
            [this](double start) { Change([start](RingtoneSelection& s) { s.MoveBy(start - s.Start()); }); });
    connect(m_wave, &WaveformView::StartEdgeDragged, this,
            [this](double at) { Change([at](RingtoneSelection& s) { s.SetStartEdge(at); }); });
    connect(m_wave, &WaveformView::EndEdgeDragged, this,
            [this](double at) { Change([at](RingtoneSelection& s) { s.SetEndEdge(at); }); });
}

void EditorWindow::ConnectFields()
{
    ConnectTimeFields();
    ConnectFadeFields();
    ConnectChoiceFields();
}

void EditorWindow::ConnectTimeFields()
{
    const auto times = [this](Field field, void (RingtoneSelection::*set)(double),
                              double (RingtoneSelection::*get)() const) {
        connect(m_fields[field], &ValueField::Offered, this, [this, set](const QString& text) {
            if (const auto seconds = ParseTime(text.trimmed().toStdString()))
                Change([&](RingtoneSelection& s) { (s.*set)(*seconds); });
        });
        connect(m_fields[field], &ValueField::Stepped, this, [this, set, get](int direction, bool fine) {
            Change([&](RingtoneSelection& s) { (s.*set)((s.*get)() + direction * (fine ? 0.1 : 1.0)); });
        });
    };
    times(StartField, &RingtoneSelection::SetStart, &RingtoneSelection::Start);
    times(LengthField, &RingtoneSelection::SetLength, &RingtoneSelection::Length);
}

void EditorWindow::ConnectFadeFields()
{
    const Language language = DialogLanguage();
    const auto fades = [this, language](Field field, int RingtoneSelection::*fade) {
        connect(m_fields[field], &ValueField::Offered, this, [this, language, fade](const QString& text) {
            const QString number = WithoutUnit(text, "s");
            const auto seconds = IsWord(number, "off", language) ? 0.0 : ParseDecimal(number.toStdString());
            if (seconds)
                Change([&](RingtoneSelection& s) {
                    s.*fade = std::min(int(std::lround(*seconds * 1000)), kLongestFadeMs);
                });
        });
        connect(m_fields[field], &ValueField::Stepped, this, [this, fade](int direction, bool fine) {
            Change([&](RingtoneSelection& s) {
                s.*fade = std::clamp(s.*fade + direction * (fine ? 10 : 100), 0, kLongestFadeMs);
            });
        });
    };
    fades(FadeInField, &RingtoneSelection::fadeInMs);
    fades(FadeOutField, &RingtoneSelection::fadeOutMs);
}

void EditorWindow::ConnectChoiceFields()
{
    const Language language = DialogLanguage();
    connect(m_fields[RateField], &ValueField::Offered, this, [this, language](const QString& text) {
        const QString number = WithoutUnit(text, "Hz");
        bool isNumber = false;
        const int hertz = number.toInt(&isNumber);
        if (IsWord(number.section(QLatin1Char(' '), 0, 0), "fit", language))
            Change([](RingtoneSelection& s) { s.SetRate(RingtoneSelection::kFit); });
        else if (isNumber)
            Change([hertz](RingtoneSelection& s) { s.SetRate(hertz); });
    });
    connect(m_fields[RateField], &ValueField::Stepped, this, [this](int direction, bool) {
        Change([direction](RingtoneSelection& s) { s.SetRate(StepRate(s.Rate(), direction)); });
    });
    connect(m_fields[QualityField], &ValueField::Offered, this, [this, language](const QString& text) {
        if (IsWord(text.trimmed(), "high", language) || IsWord(text.trimmed(), "standard", language)) {
            const bool high = IsWord(text.trimmed(), "high", language);
            Change(
                [high](RingtoneSelection& s) { s.quality = high ? EncoderQuality::High : EncoderQuality::Standard; });
        }
    });
    connect(m_fields[QualityField], &ValueField::Stepped, this, [this](int, bool) {
        Change([](RingtoneSelection& s) {
            s.quality = s.quality == EncoderQuality::High ? EncoderQuality::Standard : EncoderQuality::High;
        });
    });
}

void EditorWindow::Change(const std::function<void(RingtoneSelection&)>& change)
{
    change(m_selection);
    ShowSelection();
}

void EditorWindow::ShowSelection()
{
    const Language& language = DialogLanguage();
    const RingtoneSelection& s = m_selection;
    m_fields[StartField]->Show(Time(s.Start()));
    m_fields[LengthField]->Show(Time(s.Length()));
    const auto fade = [&](int ms) {
        return ms == 0 ? UiTr("off", language) : QStringLiteral("%1 s").arg(ms / 1000.0, 0, 'f', ms % 100 ? 2 : 1);
    };
    m_fields[FadeInField]->Show(fade(s.fadeInMs));
    m_fields[FadeOutField]->Show(fade(s.fadeOutMs));
    const QString hertz = QStringLiteral("%1 Hz").arg(s.CodedRate());
    m_fields[RateField]->Show(s.Rate() == RingtoneSelection::kFit ? UiTr("fit", language) + QLatin1Char(' ') + hertz
                                                                  : hertz);
    m_fields[QualityField]->Show(UiTr(s.quality == EncoderQuality::High ? N_("high") : N_("standard"), language));
    m_normalize->SetState(s.normalize ? 1 : 0);
    m_wave->SetSpan(s.Duration());
    m_wave->SetSelection(s.Start(), s.Length());
    m_wave->setAccessibleDescription(
        UiTr("Selection from %1 to %2; Left and Right move it, Space plays it, Enter saves it.", language)
            .arg(Time(s.Start()), Time(s.End())));
    update(ToQRect(place::kLength));
}

void EditorWindow::SetStatus(const QString& text)
{
    m_status = text;
    update(ToQRect(place::kStatus));
}

bool EditorWindow::HasRecording() const
{
    return !m_path.isEmpty() && m_overview.Samples() > 0;
}

void EditorWindow::PaintBackground(QPainter& painter)
{
    SkinnedWindow::PaintBackground(painter);
    const Language& language = DialogLanguage();
    painter.setPen(kText);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    const QRect name = ToQRect(place::kFileName);
    const QString shownName = m_path.isEmpty() ? UiTr("No recording", language) : QFileInfo(m_path).fileName();
    painter.drawText(name, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(shownName, Qt::ElideMiddle, name.width()));
    if (!m_path.isEmpty()) {
        const QString length = Time(m_selection.Duration()) + (IsDecoding() ? QStringLiteral("…") : QString());
        painter.drawText(ToQRect(place::kLength), Qt::AlignRight | Qt::AlignVCenter, length);
    }
    painter.setFont(font());
    painter.drawText(ToQRect(place::kStatus), Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(m_status, Qt::ElideRight, place::kStatus.width));
    for (int i = 0; i < kFieldCount; ++i)
        painter.drawText(LabelArea(place::kFields[i]), Qt::AlignRight | Qt::AlignVCenter,
                         m_fields[i]->accessibleName());
    painter.drawText(ToQRect(place::kNormalizeLabel), Qt::AlignRight | Qt::AlignVCenter, m_normalize->accessibleName());
}

// ---- opening and closing ----------------------------------------------------------

void EditorWindow::Open(const QRect& beside)
{
    if (!m_open && beside.isValid()) {
        QScreen* screen = QGuiApplication::screenAt(beside.center());
        const QRect area = (screen ? screen : QGuiApplication::primaryScreen())->availableGeometry();
        move(PlaceBeside(beside, size(), area));
    } else if (!m_open)
        CentreOnScreen();
    m_open = true;
    setResult(ResultCancel);
    show();
    BringToFront();
}

int EditorWindow::exec()
{
    Open();
    return RunOwnLoop();
}

void EditorWindow::done(int result)
{
    m_player.Stop();
    StopDecoding();
    m_open = false;
    setResult(result);
    hide();
    EndOwnLoop(result);
    emit finished(result);
}

void EditorWindow::reject()
{
    done(ResultCancel);
}

void EditorWindow::OpenFile(const QString& path)
{
    if (m_busy != 0) {
        m_waitingFile = path;
        return;
    }
    m_player.Stop();
    StopDecoding();
    m_path = QFileInfo(path).absoluteFilePath();
    m_overview = WaveOverview(kOverviewRate, kSamplesPerPeak);
    m_selection = RingtoneSelection();
    ShowSelection();
    StartDecoding();
    update();
}

void EditorWindow::OpenWaitingFile()
{
    if (m_busy == 0 && !m_waitingFile.isEmpty() && m_open)
        OpenFile(std::exchange(m_waitingFile, QString()));
}

void EditorWindow::ChooseFile()
{
    if (m_busy != 0)
        return;
    const Language& language = DialogLanguage();
    const QString path = ChooseFileToOpen(
        this, UiTr("Open a recording", language),
        UiTr("Recordings", language)
            + QStringLiteral(" (*.wav *.m4a *.mp4 *.aac *.amr *.3gp *.mp3 *.ogg *.oga *.opus *.flac *.aif *.aiff "
                             "*.webm *.mka *.wma *.caf *.au);;")
            + UiTr("All files (*)", language),
        m_path.isEmpty() ? QString() : QFileInfo(m_path).path());
    if (!path.isEmpty())
        OpenFile(path);
}

void EditorWindow::keyPressEvent(QKeyEvent* event)
{
    const bool fine = event->modifiers() & Qt::ShiftModifier;
    const bool onButton = qobject_cast<PushBitmapButton*>(focusWidget()) != nullptr;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const double step = (fine ? 0.1 : 1.0) * (event->key() == Qt::Key_Left ? -1 : 1);
        Change([step](RingtoneSelection& s) { s.MoveBy(step); });
        return;
    }
    case Qt::Key_Home: Change([](RingtoneSelection& s) { s.ToBeginning(); }); return;
    case Qt::Key_End: Change([](RingtoneSelection& s) { s.ToEnd(); }); return;
    case Qt::Key_Space: TogglePlay(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!onButton) {
            Next();
            return;
        }
        break;
    default: break;
    }
    SkinnedWindow::keyPressEvent(event);
}

void EditorWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_busy == 0 && !FirstDroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void EditorWindow::dropEvent(QDropEvent* event)
{
    const QString path = FirstDroppedFile(event->mimeData());
    if (path.isEmpty())
        return event->ignore();
    event->acceptProposedAction();
    OpenFile(path);
}

// ---- decoding the waveform ----------------------------------------------------------

void EditorWindow::StartDecoding()
{
    SetStatus(UiTr("Reading the recording… %1", DialogLanguage()).arg(Time(0)));
    m_wave->SetOverview(&m_overview);
    m_wave->SetBusy(true);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_stopDecoding = stop;
    const std::string path = QFile::encodeName(m_path).toStdString();
    m_decoding = QThread::create([this, stop, path] {
        FailureReason reason;
        const decode::SampleBlockSink sink = [this, stop](std::span<const std::int16_t> block) {
            if (*stop)
                return false;
            QMetaObject::invokeMethod(
                this,
                [this, stop, samples = std::vector<std::int16_t>(block.begin(), block.end())]() mutable {
                    if (!*stop)
                        DecodedBlock(std::move(samples));
                },
                Qt::QueuedConnection);
            return true;
        };
        const StepFailure failure = m_decoder->DecodeWhole(path, kOverviewRate, sink, reason);
        QMetaObject::invokeMethod(
            this,
            [this, stop, failure, reason] {
                if (!*stop)
                    DecodingEnded(failure, reason);
            },
            Qt::QueuedConnection);
    });
    m_decoding->start();
}

void EditorWindow::StopDecoding()
{
    if (!m_decoding)
        return;
    *m_stopDecoding = true;
    m_decoding->wait();
    delete m_decoding;
    m_decoding = nullptr;
    m_wave->SetBusy(false);
}

void EditorWindow::DecodedBlock(std::vector<std::int16_t> samples)
{
    m_overview.Append(samples);
    const QString read = UiTr("Reading the recording… %1", DialogLanguage()).arg(Time(m_overview.Seconds()));
    SetStatus(read);
    Change([this](RingtoneSelection& s) { s.SetDuration(m_overview.Seconds()); });
}

void EditorWindow::DecodingEnded(StepFailure failure, FailureReason reason)
{
    m_decoding->wait();
    delete m_decoding;
    m_decoding = nullptr;
    m_wave->SetBusy(false);
    const Language& language = DialogLanguage();
    if (failure == StepFailure::None && m_overview.Samples() == 0) {
        failure = StepFailure::InvalidWave;
        reason = FailureReason::Of(ReasonKind::Undecodable);
    }
    if (failure == StepFailure::None) {
        SetStatus({});
    } else {
        const QString why = QString::fromStdString(ReasonText(reason, language));
        SetStatus(QString::fromUtf8(LoadString(MessageIdFor(failure), language))
                  + (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    }
    update();
}

// ---- Play and Next -----------------------------------------------------------------

void EditorWindow::RunAside(const std::function<void()>& work)
{
    ++m_busy;
    BusyCursor busy;
    busy.Begin();
    QEventLoop loop;
    QThread* thread = QThread::create(work);
    connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    delete thread;
    --m_busy;
    QMetaObject::invokeMethod(this, &EditorWindow::OpenWaitingFile, Qt::QueuedConnection);
}

StepFailure EditorWindow::PrepareSound(std::vector<std::int16_t>& sound, int& rate, FailureReason& reason)
{
    decode::PreparedRecording prepared;
    const StepFailure failure =
        m_decoder->Prepare(QFile::encodeName(m_path).toStdString(), m_selection.Preparation(), prepared, reason);
    if (failure != StepFailure::None)
        return failure;
    std::vector<std::uint8_t> coded(adpcm_coded_size(prepared.samples.size()));
    if (!adpcm_encode_with(m_selection.quality, prepared.samples, coded))
        return StepFailure::InvalidWave;
    sound = adpcm_decode(coded);
    sound.resize(std::min(sound.size(), prepared.samples.size()));
    rate = prepared.sampleRate;
    return StepFailure::None;
}

void EditorWindow::TogglePlay()
{
    if (m_player.IsPlaying()) {
        m_player.Stop();
        return;
    }
    if (!HasRecording() || m_busy != 0)
        return;
    const Language& language = DialogLanguage();
    SetStatus(UiTr("Preparing the sound…", language));
    std::vector<std::int16_t> sound;
    int rate = 0;
    FailureReason reason;
    StepFailure failure = StepFailure::None;
    RunAside([&] { failure = PrepareSound(sound, rate, reason); });
    if (failure != StepFailure::None) {
        SetStatus(QString::fromUtf8(LoadString(MessageIdFor(failure), language)));
        return;
    }
    const char* problem = nullptr;
    m_playFrom = m_selection.Start();
    if (!m_player.Play(sound, rate, problem)) {
        SetStatus(UiTr(problem, language));
        return;
    }
    SetStatus(UiTr("Playing at %1 Hz; Space stops.", language).arg(rate));
    m_playButton->SetSkin(SkinBitmap::StopButton, true);
    m_playButton->setAccessibleName(UiTr("Stop", language));
}

void EditorWindow::PlayingStopped()
{
    m_wave->SetPlayMark(std::nullopt);
    m_playButton->SetSkin(SkinBitmap::PlayButton, true);
    m_playButton->setAccessibleName(UiTr("Play", DialogLanguage()));
    SetStatus({});
}

int EditorWindow::RunDialog(SkinnedDialog& dialog)
{
    const QPoint centre = Placement() + QPoint(width() / 2, height() / 2);
    QScreen* screen = QGuiApplication::screenAt(centre);
    const QRect area = (screen ? screen : QGuiApplication::primaryScreen())->availableGeometry();
    dialog.move(PlaceCentredInside(centre, dialog.size(), area));
    return dialog.exec();
}

void EditorWindow::Next()
{
    if (IsDecoding())
        SetStatus(UiTr("Next waits until the whole recording is read.", DialogLanguage()));
    if (!HasRecording() || m_busy != 0 || IsDecoding())
        return;
    m_player.Stop();
    const Language language = DialogLanguage();
    ConversionSteps steps(QFile::encodeName(m_path).toStdString(), m_options);
    const decode::PreparationOptions preparation = m_selection.Preparation();
    StepFailure failure = StepFailure::None;
    RunAside([&] {
        failure = steps.PrepareDecoded([&](const std::string& path, DecodedSamples& decoded, FailureReason& reason) {
            decode::PreparedRecording prepared;
            const StepFailure failed = m_decoder->Prepare(path, preparation, prepared, reason);
            decoded = {std::move(prepared.samples), prepared.sampleRate, prepared.selectedSamples,
                       prepared.selectionKnown, prepared.recordingSamples};
            return failed;
        });
    });
    if (failure == StepFailure::None) {
        InfoDialog info(this, language);
        info.SetTitle(steps.DefaultTitle());
        if (RunDialog(info) != SkinnedDialog::ResultOk || !m_open)
            return;
        ContentInfo content;
        content.title = info.Title();
        content.copyright = info.Copyright();
        content.protectionFlag = info.Protection() ? 1 : 0;
        RunAside([&] { failure = steps.Finish(content); });
    }
    const JobMessage job =
        failure == StepFailure::None ? ReportMessage(steps, language) : FailureMessage(steps, failure, language);
    MessageDialog message(this, language);
    message.SetMessage(job.kind, job.text);
    message.SetReason(job.reason);
    RunDialog(message);
}

}  // namespace quorbin
