// Choosing the input and output files, opening and checking the input, and
// its file information.
#include "ui/main/MainDlg.h"

#include "app/LabeledProgress.h"
#include "app/MessageBoxService.h"
#include "app/QtNotificationTarget.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "engine/InputCheck.h"
#include "ui/main/FileDialogs.h"
#include "ui/main/InputInfo.h"
#include "ui/overlay/VideoFileTypes.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace {

// The local video file a drag carries (its first URL), or an empty text.
std::string DraggedVideoFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) {
        return std::string();
    }
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile()) {
        return std::string();
    }
    const QFileInfo file(url.toLocalFile());
    if (!file.isFile() || !IsVideoFileSuffix(file.suffix())) {
        return std::string();
    }
    return QFile::encodeName(file.absoluteFilePath()).toStdString();
}

} // namespace

bool CMainDlg::SelectAviFile(std::string* name, const char* title, bool forSaving) {
    FileDialogRequest request;
    request.title = title;
    request.initialName = *name;
    request.defaultExtension = "avi";
    // The output's extension chooses its container, AVI first; inputs may be
    // any video file.
    request.filter = forSaving
                         ? "AVI (*.avi)|*.avi|MP4 (*.mp4 *.m4v)|*.mp4 *.m4v|MKV (*.mkv)|*.mkv|"
                           "WebM (*.webm)|*.webm|MOV (*.mov)|*.mov||"
                         : VideoOpenFilter();
    request.forSaving = forSaving;
    return RunFileDialog(request, name);
}

void CMainDlg::OnInputAvi() {
    CloseInput();
    if (SelectAviFile(&inputName_, GetText(txt::kSelectInputAvi), false)) {
        UpdateTitle(true);
    }
    // Also after Cancel: the current input comes back (or "no AVI selected").
    OpenInput(true);
    UpdateStatics();
}

void CMainDlg::OnOutputAvi() {
    if (SelectAviFile(&outputName_, GetText(txt::kSelectOutputAvi), true)) {
        UpdateTitle(true);
    }
    UpdateControls();
    UpdateStatics();
}

void CMainDlg::CloseInput() {
    StopPlayback();
    EndOpening(); // a result still to come is dropped
    frameCount_ = 0;
    SetSliderPosition(1);
    reader_->StopVideoRetrieve(0);
    reader_->Close();
    stepBack_.SetFile(std::string());
    std::vector<std::uint8_t>().swap(previewBuffer_);
    previewLength_ = 0;
    UpdateControls();
}

void CMainDlg::OpenInput(bool detectInterlace) {
    // The bar in its idle state, also after a run that hid it.
    progress_->SetPos(0);
    progress_->show();
    statusText_.clear();
    playing_ = false;
    EndOpening();
    frameCount_ = 0;
    reader_->Close();
    if (inputName_.empty()) {
        OpenedInput none;
        none.refused = true;
        none.errorId = none.boxId = txt::kNoAviSelected;
        ApplyOpenedInput(none);
        return;
    }
    if (opener_ == nullptr) {
        opener_ = std::make_unique<CInputOpener>(notificationTarget_);
    }
    opening_ = true;
    detectInterlace_ = detectInterlace;
    openTicket_ = opener_->Open(inputName_);
    // The information of the file before does not stay beside this one's name.
    infoErrorId_ = 0;
    infoHasLines_ = false;
    BuildInfoText();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    progress_->SetText(QFileInfo(QString::fromUtf8(inputName_)).fileName() + QStringLiteral(" …"));
    UpdateControls();
    UpdateStatics();
}

void CMainDlg::EndOpening() {
    if (opening_) {
        opening_ = false;
        QGuiApplication::restoreOverrideCursor();
        progress_->SetText(QString());
    }
}

void CMainDlg::OnInputOpened(OpenedInput& opened) {
    if (!opening_ || opened.ticket != openTicket_) {
        return; // asked for again since, or closed
    }
    EndOpening();
    ApplyOpenedInput(opened);
}

void CMainDlg::ApplyOpenedInput(OpenedInput& opened) {
    const bool usable = opened.reader != nullptr;
    if (usable) {
        reader_ = std::move(opened.reader);
    }
    infoErrorId_ = opened.errorId;
    infoHasLines_ = opened.hasLines;
    if (opened.hasLines) {
        infoStream_ = opened.stream;
        infoBitDepth_ = opened.bitDepth;
        infoFrameCount_ = opened.streamFrames;
        infoVariableRate_ = opened.variableRate;
        infoScan_ = opened.scan;
        if (detectInterlace_) {
            interlace_->setChecked(LooksInterlaced(opened.scan, StreamFrameHeight(opened.stream)));
        }
    }
    BuildInfoText();
    previewWindow_->SetPixelAspect(opened.aspectNum, opened.aspectDen);
    frameCount_ = usable ? opened.streamFrames : 0;
    if (frameCount_ > 0) {
        SetSliderRange(1, frameCount_);
        SetSliderPosition(1);
    }
    // Where frames decode alone, steps back cost one decode each anyway.
    const bool keyStretches =
        frameCount_ > 0 && reader_->GetKeyFrameAtOrBefore(0, frameCount_ - 1) >= 0;
    stepBack_.SetFile(keyStretches ? inputName_ : std::string());
    if (opened.boxId != 0) {
        ShowMessage(GetText(opened.boxId));
    }
    ShowInputFromStart();
}

void CMainDlg::BuildInfoText() {
    infoText_ = infoErrorId_ != 0 ? GetText(infoErrorId_) : "";
    if (infoHasLines_) {
        const InputInfoLines lines = MakeInputInfoLines(infoStream_, infoBitDepth_, infoFrameCount_,
                                                        infoVariableRate_, infoScan_);
        infoText_ += lines.format + lines.frames + lines.duration + lines.scan;
    }
}

void CMainDlg::ShowInputFromStart() {
    currentFrame_ = 0;
    DrawFrame(1, true);
    UpdateControls();
    UpdateStatics();
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!converting_ && !DraggedVideoFile(event->mimeData()).empty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CMainDlg::dropEvent(QDropEvent* event) {
    const std::string name = converting_ ? std::string() : DraggedVideoFile(event->mimeData());
    if (name.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    OpenInputFile(name);
}

void CMainDlg::OpenInputFile(const std::string& name) {
    // As if the file had been chosen in the input dialog.
    CloseInput();
    inputName_ = name;
    UpdateTitle(true);
    OpenInput(true);
    UpdateStatics();
}

void CMainDlg::OpenStartFiles(const std::string& project, const std::string& input) {
    // Once the window is up, so that the messages of loading and opening
    // appear over it.
    QTimer::singleShot(0, this, [this, project, input] {
        if (!project.empty()) {
            LoadProjectFile(project);
        }
        if (!input.empty()) {
            OpenInputFile(input);
        }
    });
}
