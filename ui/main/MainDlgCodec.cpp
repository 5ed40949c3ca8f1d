// The compressor choice of the main window: the chooser, the two compressor
// records it fills and the name shown beside the Codec button.
#include "ui/main/MainDlg.h"

#include "app/ModalDialogs.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "codec/Compressor.h"
#include "codec/WideToNarrow.h"
#include "media/OutputContainer.h"
#include "ui/main/CodecChooserDlg.h"

void CMainDlg::ChooseCodec() {
    // The input's format decides which compressors are offered.
    const BITMAPINFOHEADER* frame = nullptr;
    reader_->GetVideoFrame(0, 0, &frame);
    BITMAPINFOHEADER format{};
    if (frame != nullptr) {
        format = *frame;
    }
    // So does the output's container, by the output's name: AVI when there is
    // no name yet or its extension is unknown (a run then stops with its own
    // message).
    const kmx::OutputContainer container =
        kmx::ContainerForPath(outputName_).value_or(kmx::OutputContainer::Avi);
    CCodecChooserDlg chooser(frame != nullptr ? &format : nullptr, compVars_, container, this);
    if (RunModalDialog(chooser) == QDialog::Accepted) {
        const CodecChoice choice = chooser.Choice();
        COMPVARS settings = compVars_;
        kmx::ClearRunState(settings); // nothing of an earlier run is kept
        settings.cbSize = static_cast<std::int32_t>(kmx::kCompVarsSize);
        settings.dwFlags = ICMF_COMPVARS_VALID;
        settings.fccType = ICTYPE_VIDEO;
        settings.fccHandler = choice.fourcc;
        settings.lQ = choice.quality;
        settings.lKey = choice.keyFrameRate;
        settings.lDataRate = choice.dataRate;

        // The compressor is opened only to describe itself and released at
        // once: no handle outlives the choice.
        ICINFO info = icInfo_;
        const std::unique_ptr<CCompressor> compressor =
            choice.fourcc != FOURCC_DIB ? CCompressor::Open(ICTYPE_VIDEO, choice.fourcc) : nullptr;
        if (!compressor ||
            compressor->GetInfo(&info, static_cast<std::int32_t>(sizeof info)) == 0) {
            info.fccHandler = 0; // no compressor: uncompressed output
        }
        compVars_ = settings;
        icInfo_ = info;
    }
    // Also after Cancel: the name follows the records as they stand.
    UpdateCompressorName();
    UpdateTitle(true);
    UpdateStatics();
}

void CMainDlg::UpdateCompressorName() {
    if (icInfo_.fccHandler != 0 && compVars_.fccHandler != FOURCC_DIB) {
        compressorName_ = kmx::WideToNarrow(icInfo_.szDescription);
    } else {
        compressorName_ = GetText(txt::kNoCompression);
    }
}
