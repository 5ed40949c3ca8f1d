// The compressor chooser of the main window: the compressors this machine
// offers for the input's format that the output container holds, with "no
// compression" first where the container takes uncompressed frames (AVI
// only), and a line naming the container; the quality, key-frame rate and
// data rate, each enabled only when the chosen compressor honours it. The
// dialog holds the choice and hands it out; the main window fills its
// compressor records from it.
#pragma once

#include "app/DialogBuilder.h"
#include "codec/CompressorRecords.h"
#include "media/AviRecords.h"
#include "media/OutputContainer.h"

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSlider;
class QSpinBox;

// What the user chose, in the units of COMPVARS.
struct CodecChoice {
    std::uint32_t fourcc = FOURCC_DIB;        // FOURCC_DIB: no compression
    std::int32_t quality = ICQUALITY_DEFAULT; // lQ 0..10000; default when not honoured
    std::int32_t keyFrameRate = 0;            // lKey: key frame every n frames; 0 = none
    std::int32_t dataRate = 0;                // lDataRate in KB/s; 0 = none
};

class CCodecChooserDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids of the chooser.
    enum ControlId {
        kIdOk = 1,
        kIdCancel = 2,
        kIdCompressorLabel = 10,
        kIdCompressorList = 11,
        kIdQualityLabel = 12,
        kIdQuality = 13,
        kIdQualityValue = 14,
        kIdKeyFrameBox = 15,
        kIdKeyFrameRate = 16,
        kIdKeyFrameUnit = 17,
        kIdDataRateBox = 18,
        kIdDataRate = 19,
        kIdDataRateUnit = 20,
        kIdContainerLine = 21,
    };

    struct Offer {
        std::uint32_t fourcc = FOURCC_DIB;
        std::string name;          // as listed (UTF-8)
        std::uint32_t flags = 0;   // ICINFO.dwFlags: VIDCF_QUALITY, VIDCF_TEMPORAL, VIDCF_CRUNCH
        std::int32_t quality = -1; // the compressor's default lQ, -1: none of its own
    };

    // input: the format offered to the compressors; only those that take it
    // are listed (all of them when input is null). previous: the records of
    // the last choice, which the dialog opens on when its fccType is set and
    // the choice is listed (else on the first entry). container: the
    // output's; only the compressors it holds are listed.
    CCodecChooserDlg(const BITMAPINFOHEADER* input, const COMPVARS& previous,
                     kmx::OutputContainer container = kmx::OutputContainer::Avi,
                     QWidget* parent = nullptr);

    // The choice as the controls show it; no compression when nothing is
    // listed (OK is disabled then).
    CodecChoice Choice() const;

    const std::vector<Offer>& Offers() const { return offers_; }
    // Index of the compressor shown as chosen in Offers(); 0 when none is listed.
    int Selected() const { return selected_; }
    QWidget* Control(int id) const { return builder_.Control(id); }

    std::string ToolTipText(int controlId) const;

private:
    void ListCompressors(const BITMAPINFOHEADER* input);
    void TakePrevious(const COMPVARS& previous);
    void SetControlTexts();
    void ConnectControls();
    // Sets every control from the member values.
    void UpdateControls();

    void OnCompressorSelect(int index);
    void OnQualityScroll(int percent);

    CDialogBuilder builder_;
    QComboBox* list_ = nullptr;
    QSlider* quality_ = nullptr;
    QLineEdit* qualityValue_ = nullptr;
    QCheckBox* keyFrameBox_ = nullptr;
    QSpinBox* keyFrameEdit_ = nullptr;
    QCheckBox* dataRateBox_ = nullptr;
    QSpinBox* dataRateEdit_ = nullptr;

    kmx::OutputContainer container_;
    std::vector<Offer> offers_;
    int selected_ = 0;
    int qualityPercent_ = 75;
    bool keyFrames_ = false;
    int keyFrameRate_ = 15;
    bool limitDataRate_ = false;
    int dataRateKb_ = 300;
};
