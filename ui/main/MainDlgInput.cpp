// Choosing the input and output files, opening and checking the input, and
// its file information.
#include "ui/main/MainDlg.h"

#include "app/BusyCursor.h"
#include "app/LabeledProgress.h"
#include "app/MessageBoxService.h"
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

// A box shown while the wait cursor is up: the user gets the normal cursor
// for it, and the wait cursor comes back afterwards.
void ShowOpenError(const char* text) {
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    ShowMessage(text);
    QGuiApplication::restoreOverrideCursor();
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
    frameCount_ = 0;
    SetSliderPosition(1);
    reader_.StopVideoRetrieve(0);
    reader_.Close();
    std::vector<std::uint8_t>().swap(previewBuffer_);
    previewLength_ = 0;
    UpdateControls();
}

void CMainDlg::OpenInput(bool detectInterlace) {
    CBusyCursor busy;
    // The bar in its idle state, also after a run that hid it.
    progress_->SetPos(0);
    progress_->show();
    statusText_.clear();
    playing_ = false;
    if (!OpenInputReader()) {
        return;
    }

    frameCount_ = reader_.GetVideoLength(0);
    std::int32_t aspectNum = 1;
    std::int32_t aspectDen = 1;
    if (!reader_.GetSampleAspect(0, &aspectNum, &aspectDen)) {
        aspectNum = aspectDen = 1;
    }
    previewWindow_->SetPixelAspect(aspectNum, aspectDen);
    if (frameCount_ > 0) {
        SetSliderRange(1, frameCount_);
        SetSliderPosition(1);
    }

    std::int32_t error = 0;
    bool haveFrame = false;
    AVISTREAMINFOA info{};
    infoHasLines_ = false;
    if (!reader_.GetVideoStreamInfo(0, &info, static_cast<std::int32_t>(sizeof info))) {
        error = txt::kErrorStreamInfo;
        reader_.Close();
    } else {
        BITMAPINFOHEADER first{};
        error = ReadFirstInputFrame(&first, &haveFrame);
        infoHasLines_ = true;
        infoStream_ = info;
        infoBitDepth_ = haveFrame ? std::to_string(first.biBitCount) : "?";
        infoFrameCount_ = frameCount_;
        infoVariableRate_ = reader_.IsVariableFrameRate(0);
        infoScan_ = reader_.GetScanType(0);
        if (detectInterlace) {
            interlace_->setChecked(LooksInterlaced(infoScan_, StreamFrameHeight(info)));
        }
        if (haveFrame) {
            error = CheckInputFrames(first, &haveFrame);
        }
    }
    infoErrorId_ = error;
    BuildInfoText();

    if (!haveFrame) {
        frameCount_ = 0;
    }
    ShowInputFromStart();
}

bool CMainDlg::OpenInputReader() {
    // A file that cannot be used at all: only its error is shown.
    const auto refuse = [this](std::int32_t textId) {
        infoErrorId_ = textId;
        infoHasLines_ = false;
        BuildInfoText();
        reader_.Close();
        ShowOpenError(GetText(textId));
        // The enable states follow the flags here too: after a conversion
        // the window still shows the converting layout.
        frameCount_ = 0;
        ShowInputFromStart();
        return false;
    };
    if (inputName_.empty()) {
        return refuse(txt::kNoAviSelected);
    }
    if (!reader_.Open(inputName_.c_str())) {
        return refuse(txt::kErrorOpenAvi);
    }
    if (reader_.GetVideoStreamCount() == 0) {
        return refuse(txt::kErrorNoVideoStream);
    }
    return true;
}

std::int32_t CMainDlg::ReadFirstInputFrame(BITMAPINFOHEADER* first, bool* haveFrame) {
    if (!reader_.StartVideoRetrieve(0)) {
        reader_.Close();
        return txt::kErrorUnknownCodecStart;
    }
    const BITMAPINFOHEADER* frame = nullptr;
    reader_.GetVideoFrame(0, 0, &frame);
    if (frame == nullptr) {
        reader_.Close();
        ShowOpenError(GetText(txt::kErrorUnknownCodec));
        return txt::kErrorUnknownCodecFrame;
    }
    *first = *frame;
    *haveFrame = true;
    return 0;
}

std::int32_t CMainDlg::CheckInputFrames(const BITMAPINFOHEADER& first, bool* haveFrame) {
    const auto refuse = [this, haveFrame](std::int32_t textId) {
        reader_.Close();
        ShowOpenError(GetText(textId));
        *haveFrame = false;
        return textId;
    };
    if (!IsSupportedInputFormat(first)) {
        return refuse(txt::kErrorFormatNotSupported);
    }
    const BITMAPINFOHEADER* last = nullptr;
    reader_.GetVideoFrame(0, frameCount_ - 1, &last);
    return last == nullptr ? refuse(txt::kErrorLastFrame) : 0;
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
