// Every named text id stands for the catalogue row whose English text the
// name was made from: a constant moved to another id or a row changed under
// it shows up here.
#include "app/TextIds.h"
#include "app/TextCatalog.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace {

struct NamedText {
    std::int32_t id;
    const char* name;
    const char* english;
};

#define NAMED(constant, text)                                                                      \
    { txt::constant, #constant, text }

constexpr NamedText kNamedTexts[] = {
    NAMED(kTipCloseAbout, "close info dialog"),
    NAMED(kTipSendEmail, "send e-mail to me"),
    NAMED(kTipOpenHomePage, "open Kadrimix Homepage"),
    NAMED(kTipAnotherPicture, "another colored picture"),
    NAMED(kTipEnd, "close Kadrimix"),
    NAMED(kTipStart, "start converting"),
    NAMED(kTipStop, "stop converting"),
    NAMED(kTipInputAvi, "select input AVI"),
    NAMED(kTipOutputAvi, "select output AVI"),
    NAMED(kTipInfo, "version information"),
    NAMED(kTipPlay, "start/stop preview"),
    NAMED(kTipSlider, "preview position"),
    NAMED(kTipReverse, "convert AVI reverse"),
    NAMED(kTipMirrorHorizontal, "horizontal mirror AVI"),
    NAMED(kTipUpperHalf, "mirror upper part"),
    NAMED(kTipLowerHalf, "mirror lower part"),
    NAMED(kTipMirrorVertical, "vertical mirror AVI"),
    NAMED(kTipLeftHalf, "mirror left part"),
    NAMED(kTipRightHalf, "mirror right part"),
    NAMED(kTipPreview, "activate preview during converting"),
    NAMED(kTipInterlace, "check, if AVI is interlaced"),
    NAMED(kTipOverlayList, "select overlay AVI and set parameter. 1 is the highest priority"),
    NAMED(kTipCodec, "select codec for converted output AVI"),
    NAMED(kTipProgress, "converting progress"),
    NAMED(kTipOnlyAPicture, "Only a colored picture"),
    NAMED(kTipLoad, "load settings"),
    NAMED(kTipSave, "save settings"),
    NAMED(kTipSetup, "general settings"),
    NAMED(kEnd, "END"),
    NAMED(kInfo, "In&fo"),
    NAMED(kSetup, "S&etup"),
    NAMED(kStart, "Star&t"),
    NAMED(kStop, "Sto&p"),
    NAMED(kInputAvi, "&Input AVI"),
    NAMED(kOutputAvi, "&Output AVI"),
    NAMED(kReverse, "Reverse"),
    NAMED(kRightHalf, "R"),
    NAMED(kLeftHalf, "L"),
    NAMED(kUpperHalf, "U"),
    NAMED(kLowerHalf, "D"),
    NAMED(kSave, "&Save"),
    NAMED(kLoad, "&Load"),
    NAMED(kInterlace, "Interlace"),
    NAMED(kMirrorHorizontal, "Mirror horizontal"),
    NAMED(kMirrorVertical, "Mirror vertical"),
    NAMED(kEnablePreview, "Enable preview"),
    NAMED(kProgress, "Progress"),
    NAMED(kAction, "Action"),
    NAMED(kOptions, "Options"),
    NAMED(kProjectFile, "Project File"),
    NAMED(kNoCompression, "no compression"),
    NAMED(kSelectCodec, "Select codec"),
    NAMED(kNoAviSelected, "no AVI selected"),
    NAMED(kErrorOpenAvi, "ERROR:\r\nOpen AVI file"),
    NAMED(kErrorNoVideoStream, "ERROR:\r\nNo video stream in AVI file"),
    NAMED(kErrorStreamInfo, "ERROR: GetVideoStreamInfo\r\n"),
    NAMED(kErrorUnknownCodecStart, "ERROR: StartVideoRetrieve\r\nUnknown codec (I)\r\n"),
    NAMED(kErrorUnknownCodecFrame, "ERROR: GetVideoFrame\r\nUnknown codec (II)\r\n"),
    NAMED(kErrorUnknownCodec, "ERROR:\r\nUnknown codec"),
    NAMED(kFormat, "Format"),
    NAMED(kFrames, "Frames"),
    NAMED(kSec, "sec"),
    NAMED(kDuration, "Duration"),
    NAMED(kErrorFormatNotSupported, "ERROR: Format not supported\n\r"),
    NAMED(kErrorLastFrame, "ERROR: GetVideoFrame (last frame)\r\nAVI File too big\r\n"),
    NAMED(kFrame, "Frame"),
    NAMED(kTime, "Time"),
    NAMED(kConvertingFinished, "Converting finished\r\nDuration"),
    NAMED(kConvertingAborted, "Converting aborted\r\nDuration"),
    NAMED(kLoadProject, "Load Kadrimix project"),
    NAMED(kSaveProject, "Save Kadrimix project"),
    NAMED(kErrorProjectOpenForReading, "ERROR File Open:\r\nProject could not be read"),
    NAMED(kErrorProjectRead, "ERROR File Read:\r\nProject could not be read"),
    NAMED(kErrorProjectCorrupt, "ERROR File Read:\r\nProject file corrupt"),
    NAMED(kErrorProjectVersion, "ERROR File Read:\r\nProject file wrong version"),
    NAMED(kErrorProjectOpenForWriting, "ERROR File Open:\r\nProject could not be written"),
    NAMED(kErrorProjectWrite, "ERROR File Write:\r\nProject could not be written"),
    NAMED(kSaveCurrentProject, "Save actual project?"),
    NAMED(kUnknown, "Unknown"),
    NAMED(kSelectInputAvi, "Select input AVI"),
    NAMED(kSelectOutputAvi, "Select output AVI"),
    NAMED(kTipOverlayOk, "Close and accept overlay settings (ESC for abort)"),
    NAMED(kTipOverlayX, "Set horizontale overlay position; use cursor for fine adjustment"),
    NAMED(kTipOverlayY, "Set vertical overlay position; use cursor for fine adjustment"),
    NAMED(kTipOverlayWidth, "Set horizontale overlay size; use cursor for fine adjustment"),
    NAMED(kTipOverlayHeight, "Set vertical overlay size; use cursor for fine adjustment"),
    NAMED(kTipOverlayPosition, "Set overlay poistion; use cursor for fine adjustment"),
    NAMED(kTipBasePosition, "Set position of the base AVI; use cursor for fine adjustment"),
    NAMED(kTipOverlayAvi, "Select overlay AVI"),
    NAMED(kTipClearOverlay, "Clear overlay AVI"),
    NAMED(kTipKeepRatio, "Use overlay ratio"),
    NAMED(kTipOriginalSize, "Don't resize overlay (split screen function)"),
    NAMED(kTipXValue, "Horizontale overlayposition (in dots; 0=left border)"),
    NAMED(kTipYValue, "Vertical overlayposition (in dots; 0=top border)"),
    NAMED(kTipWidthValue, "Horizontale overlay size in dots"),
    NAMED(kTipHeightValue, "Verticale overlay size in dots"),
    NAMED(kTipOverlayFrame, "Actual overlay frame number [Time=%s sec.]"),
    NAMED(kTipBaseFrame, "Actual base frame number [Time=%s sec.]"),
    NAMED(kTipSetOverlayStart, "Set overlay start position"),
    NAMED(kTipSetOverlayEnd, "Set overlay end position"),
    NAMED(kTipOverlayStartValue, "Overlay frame start number [Time=%s sec.]"),
    NAMED(kTipOverlayEndValue, "Overlay frame end number [Time=%s sec.]"),
    NAMED(kTipSetBaseStart, "Set base AVI start position"),
    NAMED(kTipBaseStartValue, "Basic AVI frame start number [Time=%s sec.]"),
    NAMED(kTipBorder, "Select ovelay border (size and color)"),
    NAMED(kTipCrop, "Crop overlay"),
    NAMED(kTipQuickPosition, "Quick overlay positioning"),
    NAMED(kOverlayPositionAndSize, "Overlay position and size"),
    NAMED(kOverlayStartAndEnd, "Overlay start and end"),
    NAMED(kMiscellaneous, "Miscellaneous"),
    NAMED(kOverlayStartInBase, "Start of the overlay within the base AVI"),
    NAMED(kSetStart, "Set Start"),
    NAMED(kQuickPosition, "Position"),
    NAMED(kOverlayStart, "Start"),
    NAMED(kOverlayEnd, "End"),
    NAMED(kBorder, "Border"),
    NAMED(kCrop, "Crop"),
    NAMED(kOverlayAvi, "Overlay AVI"),
    NAMED(kClearOverlay, "Clear overlay"),
    NAMED(kPositionX, "Position X"),
    NAMED(kPositionY, "Position Y"),
    NAMED(kSizeX, "Size X"),
    NAMED(kSizeY, "Size Y"),
    NAMED(kKeepRatio, "Keep ratio"),
    NAMED(kOriginalSize, "Original size"),
    NAMED(kBasePosition, "Position"),
    NAMED(kSetBaseStart, "Set"),
    NAMED(kErrorStartAfterEnd, "ERROR:\r\nStartposition must be lower or equal then endposition"),
    NAMED(kErrorEndBeforeStart,
          "ERROR:\r\nEndposition must be greater or equal then startposition"),
    NAMED(kSelectOverlayAvi, "Select overlay AVI"),
    NAMED(kTipBorderOk, "Close and accept color settings (ESC for abort)"),
    NAMED(kTipRed, "Adjust base color RED"),
    NAMED(kTipRedValue, "Actual value of the base color RED"),
    NAMED(kTipGreen, "Adjust base color GREEN"),
    NAMED(kTipGreenValue, "Actual value of the base color GREEN"),
    NAMED(kTipBlue, "Adjust base color BLUE"),
    NAMED(kTipBlueValue, "Actual value of the base color BLUE"),
    NAMED(kTipBorderSize, "Frame size in dots (0=no frame)"),
    NAMED(kTipBorderSizeValue, "Actual value of the frame size"),
    NAMED(kFrameProperties, "Frame properties"),
    NAMED(kFrameSize, "Frame size"),
    NAMED(kFrameColor, "Frame color"),
    NAMED(kTipCropOk, "Close and accept settings (ESC for abort)"),
    NAMED(kTipCropSize, "Crop in dots (0=no crop)"),
    NAMED(kTipCropValue, "Actual value"),
    NAMED(kCropFrame, "Crop frame"),
    NAMED(kCropFrameGroup, "Crop frame"),
    NAMED(kSelectPredefinedPosition, "Select predefined overlay position"),
    NAMED(kCompressorLabel, "Compressor:"),
    NAMED(kCompressionQuality, "Compression quality:"),
    NAMED(kKeyFrameEvery, "&Key frame every"),
    NAMED(kFramesUnit, "frames"),
    NAMED(kDataRate, "&Data rate"),
    NAMED(kCancel, "Cancel"),
};

#undef NAMED

TEST(TextIds, EveryNamedIdHasTheEnglishTextItWasNamedFrom) {
    for (const NamedText& named : kNamedTexts) {
        const bool added = named.id >= kFirstAddedTextId;
        ASSERT_GT(named.id, 0) << named.name;
        ASSERT_LT(named.id, added ? kFirstAddedTextId + kAddedTextCount : kTextCatalogSize - 1)
            << named.name;
        const TextCatalogEntry& row = added
                                          ? CTextCatalog::AddedTable()[named.id - kFirstAddedTextId]
                                          : CTextCatalog::Table()[named.id];
        EXPECT_EQ(row.id, named.id) << named.name;
        EXPECT_STREQ(row.english, named.english) << named.name;
    }
}

TEST(TextIds, EveryTextOfTheCatalogueHasOneName) {
    std::set<std::int32_t> ids;
    for (const NamedText& named : kNamedTexts) {
        EXPECT_TRUE(ids.insert(named.id).second) << named.name << " shares its id";
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kTextCatalogSize - 2 + kAddedTextCount));
}

} // namespace
