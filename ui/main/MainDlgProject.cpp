// Project files of the main window: asking to save, loading and saving the
// whole project (files, compressor choice, option boxes, overlay slots).
#include "ui/main/MainDlg.h"

#include "app/MessageBoxService.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "codec/CompressorInfo.h"
#include "codec/CompressorTable.h"
#include "engine/ProjectRecord.h"
#include "ui/main/FileDialogs.h"

#include <QCheckBox>

namespace {

constexpr const char* kProjectFilter = "Kadrimix(*.kmx)|*.kmx||";
constexpr const char* kProjectExtension = "kmx";

std::int32_t CheckState(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

// The text of a failed read.
int ReadErrorText(ProjectFileResult result) {
    switch (result) {
    case ProjectFileResult::OpenFailed:
        return txt::kErrorProjectOpenForReading;
    case ProjectFileResult::WrongSize:
        return txt::kErrorProjectCorrupt;
    case ProjectFileResult::WrongVersion:
        return txt::kErrorProjectVersion;
    default:
        return txt::kErrorProjectRead;
    }
}

// The project file dialog, opening at the current project's name.
bool AskProjectPath(const char* title, const std::string& current, bool forSaving,
                    std::string* path) {
    FileDialogRequest request;
    request.title = title;
    request.initialName = current;
    request.defaultExtension = kProjectExtension;
    request.filter = kProjectFilter;
    request.forSaving = forSaving;
    return RunFileDialog(request, path);
}

} // namespace

bool CMainDlg::AskSaveProject() {
    if (!modified_) {
        return true;
    }
    if (inputName_.empty() && outputName_.empty()) {
        return true; // nothing worth saving
    }
    switch (MessageBoxes().Show(GetText(txt::kSaveCurrentProject), MessageButtons::YesNoCancel,
                                MessageIcon::None)) {
    case MessageResult::Yes:
        SaveProject(); // whatever comes of it, the caller goes on
        return true;
    case MessageResult::No:
        return true;
    default:
        return false;
    }
}

void CMainDlg::LoadProject() {
    if (!AskSaveProject()) {
        return;
    }
    std::string path;
    if (AskProjectPath(GetText(txt::kLoadProject), projectName_, false, &path)) {
        LoadProjectFile(path);
    }
}

void CMainDlg::LoadProjectFile(const std::string& path) {
    ProjectRecord project;
    const ProjectFileResult result = ReadProjectFile(path, project);
    if (result != ProjectFileResult::Ok) {
        ShowMessage(GetText(ReadErrorText(result))); // the project stays as it was
        return;
    }
    CloseInput();
    projectName_ = path;
    ApplyProjectRecord(project);
    FillOverlayList(-1);
    OpenInput(false); // the interlace box keeps the stored value
    modified_ = false;
    UpdateTitle(false);
}

void CMainDlg::SaveProject() {
    std::string path;
    if (!AskProjectPath(GetText(txt::kSaveProject), projectName_, true, &path)) {
        return;
    }
    projectName_ = path;
    UpdateTitle(false); // the modified mark stays until the file is written
    // Written beside the target and renamed over it only when complete: a
    // failed save leaves an older project file as it was.
    switch (WriteProjectFile(path, MakeProjectRecord())) {
    case ProjectFileResult::Ok:
        modified_ = false;
        UpdateTitle(false);
        break;
    case ProjectFileResult::OpenFailed:
        ShowMessage(GetText(txt::kErrorProjectOpenForWriting));
        break;
    default:
        ShowMessage(GetText(txt::kErrorProjectWrite));
        break;
    }
}

ProjectRecord CMainDlg::MakeProjectRecord() const {
    ProjectRecord project = ProjectFromJob(job_, compressorName_);
    project.inputPath = inputName_;
    project.outputPath = outputName_;
    project.compressorSettings = compVars_;
    project.checks[kCheckPreview] = CheckState(preview_);
    project.checks[kCheckReverse] = CheckState(reverse_);
    project.checks[kCheckInterlaced] = CheckState(interlace_);
    project.checks[kCheckMirrorVertical] = CheckState(mirrorVertical_);
    project.checks[kCheckMirrorHorizontal] = CheckState(mirrorHorizontal_);
    project.checks[kCheckLeftHalf] = CheckState(leftHalf_);
    project.checks[kCheckRightHalf] = CheckState(rightHalf_);
    project.checks[kCheckUpperHalf] = CheckState(upperHalf_);
    project.checks[kCheckLowerHalf] = CheckState(lowerHalf_);
    return project;
}

void CMainDlg::ApplyProjectRecord(const ProjectRecord& project) {
    inputName_ = project.inputPath;
    outputName_ = project.outputPath;
    compressorName_ = project.compressorName;
    // Its handle and pointer members are kept as stored, for saving again;
    // nothing here uses them.
    compVars_ = project.compressorSettings;

    // The description of the stored compressor, so that a later cancelled
    // choice names it instead of falling back to "no compression".
    icInfo_ = kmx::MakeEmptyIcInfo();
    if (compVars_.fccType != 0 && compVars_.fccHandler != FOURCC_DIB) {
        if (const kmx::CompressorEntry* entry = kmx::FindCompressorEntry(compVars_.fccHandler)) {
            kmx::FillCompressorInfo(*entry, &icInfo_);
        }
    }

    const auto set = [&project](QCheckBox* box, ProjectCheck check) {
        box->setChecked((project.checks[check] & 1) != 0);
    };
    set(preview_, kCheckPreview);
    set(reverse_, kCheckReverse);
    set(interlace_, kCheckInterlaced);
    set(mirrorVertical_, kCheckMirrorVertical);
    set(mirrorHorizontal_, kCheckMirrorHorizontal);
    set(leftHalf_, kCheckLeftHalf);
    set(rightHalf_, kCheckRightHalf);
    set(upperHalf_, kCheckUpperHalf);
    set(lowerHalf_, kCheckLowerHalf);

    // Slot settings and paths; slot numbers and the engine's working fields stay.
    ApplyProjectToJob(project, job_);
}
