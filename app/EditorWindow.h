#pragma once
// The ringtone editor: a skinned window beside the main window that takes a
// recording in any format the decoders read, shows its whole waveform (drawn
// as it is decoded, in the background), and lets the user choose the part
// that becomes the melody by eye (mouse), by keyboard and by ear (Play), then
// saves it through the shared conversion steps (Next).
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "app/RecordingDecoder.h"
#include "app/RingtoneSelection.h"
#include "app/SelectionPlayer.h"
#include "audio/WaveOverview.h"
#include "conversion/ConversionSteps.h"
#include "ui/SkinnedDialog.h"

class QEventLoop;
class QMimeData;
class QThread;

namespace quorbin {

class CheckBitmapButton;
class PushBitmapButton;
class ValueField;
class WaveformView;

class EditorWindow : public SkinnedWindow {
    Q_OBJECT
public:
    enum Field { StartField, LengthField, FadeInField, FadeOutField, RateField, QualityField, kFieldCount };

    explicit EditorWindow(std::unique_ptr<RecordingDecoder> decoder = MakeModuleDecoder(), QWidget* parent = nullptr);
    ~EditorWindow() override;

    // Shows the window and brings it to the front. When it opens, it goes
    // beside `beside` (another window's place) if one is given, else to the
    // middle of the primary screen's work area.
    void Open(const QRect& beside = {});
    // Open() and run until done() ends the window; returns that result.
    int exec() override;
    // Closes the window: playing and decoding stop.
    void done(int result) override;
    void reject() override;
    bool IsOpen() const { return m_open; }

    // Shows `path` (a file the decoders read) and decodes it in the background;
    // a file that comes while the editor is busy waits for it.
    void OpenFile(const QString& path);
    // Ctrl+O: a file chooser for recordings.
    void ChooseFile();
    // Space: plays the selection as the melody file will sound, or stops.
    void TogglePlay();
    // Enter: the information dialog, then the melody file beside the recording.
    void Next();

    const RingtoneSelection& Selection() const { return m_selection; }
    const QString& RecordingPath() const { return m_path; }
    bool IsDecoding() const { return m_decoding != nullptr; }
    const WaveOverview& Overview() const { return m_overview; }
    // The note under the waveform: decoding, sound, failures.
    const QString& Status() const { return m_status; }
    // Options given to every save; the free-space query can be replaced.
    ConversionOptions& Options() { return m_options; }

    WaveformView* Waveform() const { return m_wave; }
    ValueField* FieldAt(Field field) const { return m_fields[field]; }
    CheckBitmapButton* NormalizeBox() const { return m_normalize; }
    PushBitmapButton* PlayButton() const { return m_playButton; }
    PushBitmapButton* NextButton() const { return m_nextButton; }
    PushBitmapButton* CloseButton() const { return m_closeButton; }
    PushBitmapButton* OpenButton() const { return m_openButton; }

protected:
    void PaintBackground(QPainter& painter) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    void ConnectWaveform();
    // Typed values and steps of the fields: times, fades, rate and quality.
    void ConnectFields();
    void ConnectTimeFields();
    void ConnectFadeFields();
    void ConnectChoiceFields();
    // Applies a change to the selection and shows the result everywhere.
    void Change(const std::function<void(RingtoneSelection&)>& change);
    void ShowSelection();
    void SetStatus(const QString& text);
    bool HasRecording() const;

    void StartDecoding();
    void StopDecoding();
    void DecodedBlock(std::vector<std::int16_t> samples);
    void DecodingEnded(StepFailure failure, FailureReason reason);

    // Runs `work` on a thread of its own while the window goes on drawing.
    void RunAside(const std::function<void()>& work);
    // The selection as the handset will sound it: prepared, coded and decoded again.
    StepFailure PrepareSound(std::vector<std::int16_t>& sound, int& rate, FailureReason& reason);
    void PlayingStopped();
    // Shows `dialog` centred on this window and runs it.
    int RunDialog(SkinnedDialog& dialog);
    void OpenWaitingFile();

    std::unique_ptr<RecordingDecoder> m_decoder;
    RingtoneSelection m_selection;
    WaveOverview m_overview;
    QString m_path;
    QString m_status;
    QString m_waitingFile;
    ConversionOptions m_options;
    SelectionPlayer m_player;
    double m_playFrom = 0;

    // The decoding of the waveform: its thread, and the flag that stops it.
    QThread* m_decoding = nullptr;
    std::shared_ptr<std::atomic<bool>> m_stopDecoding;
    int m_busy = 0;  // Play's or Next's work running aside
    bool m_open = false;

    WaveformView* m_wave = nullptr;
    ValueField* m_fields[kFieldCount] = {};
    CheckBitmapButton* m_normalize = nullptr;
    PushBitmapButton* m_openButton = nullptr;
    PushBitmapButton* m_playButton = nullptr;
    PushBitmapButton* m_nextButton = nullptr;
    PushBitmapButton* m_closeButton = nullptr;
};

}  // namespace quorbin
