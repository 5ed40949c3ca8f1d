// The main window: input and output files, the options of the conversion,
// the ten overlay slots and the compressor choice, a preview of the input,
// and the start, progress and end of a conversion run by the worker thread.
//
// Handlers change the member values first and then refresh the controls from
// them (UpdateControls for enable states, UpdateStatics for the texts).
#pragma once

#include "app/InputOpener.h"
#include "codec/CompressorRecords.h"
#include "engine/ConvertJob.h"
#include "engine/WorkerMessages.h"
#include "engine/WorkerThread.h"
#include "media/AviReader.h"
#include "ui/main/PreviewWidget.h"
#include "ui/main/StepBackReaders.h"

#include <QDialog>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CBitmapButton;
class CClickablePicture;
class CDialogBuilder;
class CLabeledProgress;
class CQtNotificationTarget;
class CWorkerEvent;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
struct ProjectRecord;

class CMainDlg : public QDialog {
    Q_OBJECT
public:
    // Milliseconds of a wrapping 32-bit clock; measures the conversion time.
    using Clock = std::function<std::uint32_t()>;

    // Jobs go to worker (the program's worker thread unless a test brings its own).
    explicit CMainDlg(CWorkerThread& worker = Worker(), QWidget* parent = nullptr);
    ~CMainDlg() override;
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // Enable states and the play button's bitmaps from the flags.
    void UpdateControls();
    // Captions in the catalogue's current language.
    void SetControlTexts();
    // "Kadrimix 1.10 [project" + "*" when modified + "]"; markModified sets the flag first.
    void UpdateTitle(bool markModified);
    // Refills the overlay list; select < 0 keeps the current selection.
    void FillOverlayList(std::int32_t select);
    // The texts of the statics (input and output name, information, compressor,
    // status line, position line) from the members.
    void UpdateStatics();

    // Open or save dialog for an AVI file; on OK *name becomes the chosen path.
    bool SelectAviFile(std::string* name, const char* title, bool forSaving);
    void OnInputAvi();
    void OnOutputAvi();

    // Opens the input named by the input name, checks it and shows its
    // information. The opening runs on a thread of its own (CInputOpener):
    // until its result arrives the window shows the wait cursor and the
    // file's name in the progress bar, and keeps repainting.
    void OpenInput(bool detectInterlace);
    // Whether an input is being opened.
    bool IsOpeningInput() const { return opening_; }
    // Makes name the input, as choosing it in the input dialog or dropping it does.
    void OpenInputFile(const std::string& name);
    // The files of the command line, once the window shows: the project is
    // loaded as the Load button would, then the video (if any) becomes the
    // input. Either may be empty.
    void OpenStartFiles(const std::string& project, const std::string& input);
    void CloseInput();
    // The result of opening: taken when it is the latest one asked for.
    void OnInputOpened(OpenedInput& opened);
    // Shows what opening found: the information, the first frame, an error.
    void ApplyOpenedInput(OpenedInput& opened);
    // The information text and the position line in the catalogue's language.
    void BuildInfoText();
    void BuildPositionText(int frame);
    // The first frame (or the empty picture), enable states and statics.
    void ShowInputFromStart();

    void StartConversion();
    // Asks the worker to stop and returns at once: the window leaves the
    // converting state with the worker's completion notice.
    void StopConversion();
    // The worker's completion notice: 0 finished, 1 failed or aborted.
    void OnConversionEnd(WPARAM result, LPARAM damagedFrames);
    // A preview frame of the worker: copied while converting, refused otherwise;
    // *byteCount is set to 0 in both cases.
    void OnPreviewFrame(const std::uint8_t* dib, std::atomic<std::int32_t>* byteCount);

    // Draws frame (1-based) of the input, or the conversion preview, and sets
    // the position line.
    void DrawFrame(int frame, bool moveSlider);
    // The track bar stands at position (by the user: mouse, keys, dragging).
    void OnHScroll(int position);
    void OnPlayButton();
    void StartPlayback();
    void StopPlayback();
    // One tick of playback: shows the frame the clock has reached.
    void OnTimer();

    void OnOverlaySelect();
    // The compressor chooser; its choice goes to the compressor records and name.
    void ChooseCodec();
    // Before the project is replaced or left: true to go on (saved, or not
    // wanted), false when the user cancelled.
    bool AskSaveProject();
    void LoadProject();
    // The load itself, after the question and the file dialog; failures are
    // shown and leave the project as it was.
    void LoadProjectFile(const std::string& path);
    void SaveProject();

    void OnSetup();
    void OnAbout();
    void OnOK();     // END button
    void OnCancel(); // Escape and the close box

    // The tool tip of a control (before the Tool Tips setting and the length cut).
    std::string ToolTipText(int controlId) const;

    // State, for the window's users and tests.
    QWidget* Control(int id) const;
    CPreviewWidget* PreviewWindow() const { return previewWindow_; }
    std::int32_t FrameCount() const { return frameCount_; }
    std::int32_t CurrentFrame() const { return currentFrame_; }
    bool IsConverting() const { return converting_; }
    bool IsStopping() const { return stopping_; }
    bool IsPlaying() const { return playing_; }
    bool IsModified() const { return modified_; }
    const std::string& InputName() const { return inputName_; }
    const std::string& OutputName() const { return outputName_; }
    const std::string& InfoText() const { return infoText_; }
    const std::string& StatusText() const { return statusText_; }
    const std::string& PositionText() const { return positionText_; }
    const std::string& CompressorName() const { return compressorName_; }
    const std::string& ProjectName() const { return projectName_; }
    const ConvertJob& Job() const { return job_; }
    const COMPVARS& CompressorSettings() const { return compVars_; }
    const ICINFO& CompressorInfo() const { return icInfo_; }
    // Bytes of the last conversion preview frame held (0: none).
    std::int32_t PreviewLength() const { return previewLength_; }

    void SetClock(Clock clock) { clock_ = std::move(clock); }

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

protected:
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    void FindControls();
    void ConnectControls();
    void OnInitDialog();
    void CreatePreviewWindow();
    // Track bar changes made by the window itself, which draw nothing.
    void SetSliderRange(int minimum, int maximum);
    void SetSliderPosition(int position);
    void OnWorkerNotification(const CWorkerEvent& event);
    void OnMirrorHalf(QCheckBox* clicked, QCheckBox* partner);
    // Leaves the opening state: the cursor and the progress bar's text.
    void EndOpening();
    void FillJobFromControls();
    // The project as the controls and members show it, and the way back.
    ProjectRecord MakeProjectRecord() const;
    void ApplyProjectRecord(const ProjectRecord& project);
    // The compressor name from the two compressor records.
    void UpdateCompressorName();

    CWorkerThread& worker_;
    std::unique_ptr<CDialogBuilder> builder_;

    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* end_ = nullptr;
    QPushButton* info_ = nullptr;
    QPushButton* setup_ = nullptr;
    QPushButton* inputAvi_ = nullptr;
    QPushButton* outputAvi_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* codec_ = nullptr;
    QCheckBox* reverse_ = nullptr;
    QCheckBox* mirrorHorizontal_ = nullptr;
    QCheckBox* mirrorVertical_ = nullptr;
    QCheckBox* upperHalf_ = nullptr;
    QCheckBox* lowerHalf_ = nullptr;
    QCheckBox* leftHalf_ = nullptr;
    QCheckBox* rightHalf_ = nullptr;
    QCheckBox* preview_ = nullptr;
    QCheckBox* interlace_ = nullptr;
    QComboBox* overlayList_ = nullptr;
    QSlider* slider_ = nullptr;
    CBitmapButton* play_ = nullptr;
    QGroupBox* frame_ = nullptr;
    CLabeledProgress* progress_ = nullptr;
    QLabel* inputLabel_ = nullptr;
    QLabel* outputLabel_ = nullptr;
    QLabel* infoLabel_ = nullptr;
    QLabel* compressorLabel_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QLabel* positionLabel_ = nullptr;
    CClickablePicture* picture_ = nullptr;
    CPreviewWidget* previewWindow_ = nullptr;
    QTimer* playTimer_ = nullptr;

    std::string inputName_;
    std::string outputName_;
    std::string compressorName_;
    std::string infoText_;
    // What the information text is made of, so that it follows a language change.
    std::int32_t infoErrorId_ = 0; // catalogue text shown first; 0 none
    bool infoHasLines_ = false;    // the three lines from the stream follow
    AVISTREAMINFOA infoStream_{};
    std::string infoBitDepth_;
    std::int32_t infoFrameCount_ = 0;
    bool infoVariableRate_ = false;
    kmx::ScanType infoScan_ = kmx::ScanType::Unknown;
    std::string statusText_;
    std::string positionText_;
    std::int32_t frameCount_ = 0;   // frames of the usable input; 0 = none
    std::int32_t currentFrame_ = 0; // 1-based frame last drawn; 0 = none
    bool converting_ = false;
    bool stopping_ = false;        // the worker was asked to stop and has not ended yet
    std::uint64_t runCount_ = 0;   // conversions started
    bool opening_ = false;         // an open was asked for and its result not taken
    bool detectInterlace_ = false; // of the open under way
    std::uint64_t openTicket_ = 0; // of the latest open asked for
    bool playing_ = false;
    std::uint32_t playbackStart_ = 0;
    std::int32_t playbackBase_ = 0;
    std::uint32_t conversionStart_ = 0;
    std::int32_t progressFrameCount_ = 0; // frame count of the run's progress notices
    std::string writtenText_;             // container and codecs of the file the run wrote
    std::string runWarnings_;             // the run's warnings, each on its own line

    ICINFO icInfo_{};
    COMPVARS compVars_{};
    ConvertJob job_;
    std::string projectName_;
    bool modified_ = false;

    std::vector<std::uint8_t> previewBuffer_; // conversion preview: one packed DIB
    std::int32_t previewLength_ = 0;
    // The input shown in the preview; never null (closed while there is none).
    std::unique_ptr<CAviReader> reader_ = std::make_unique<CAviReader>();

    // Where the worker's notifications for this window go, and the copies of
    // the jobs posted whose completion notice has not been handled yet (the
    // worker reads a job when it takes the message, which may be later).
    std::shared_ptr<CQtNotificationTarget> notificationTarget_;
    std::deque<std::shared_ptr<const ConvertJob>> postedJobs_;
    // Opens inputs; its results reach the window through notificationTarget_.
    std::unique_ptr<CInputOpener> opener_;
    // Frames of the input for steps backwards, decoded ahead on a thread.
    CStepBackReaders stepBack_;

    Clock clock_;
};
