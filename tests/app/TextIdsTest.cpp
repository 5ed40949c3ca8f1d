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

#define KADRIMIX_NAMED(constant, text)                                                             \
    { txt::constant, #constant, text }

constexpr NamedText kNamedTexts[] = {
    KADRIMIX_NAMED(kTipCloseAbout, "close info dialog"),
    KADRIMIX_NAMED(kTipSendEmail, "send e-mail to me"),
    KADRIMIX_NAMED(kTipOpenHomePage, "open Kadrimix Homepage"),
    KADRIMIX_NAMED(kTipAnotherPicture, "another colored picture"),
    KADRIMIX_NAMED(kTipEnd, "close Kadrimix"),
    KADRIMIX_NAMED(kTipStart, "start converting"),
    KADRIMIX_NAMED(kTipStop, "stop converting"),
    KADRIMIX_NAMED(kTipInputAvi, "select input AVI"),
    KADRIMIX_NAMED(kTipOutputAvi, "select output AVI"),
    KADRIMIX_NAMED(kTipInfo, "version information"),
    KADRIMIX_NAMED(kTipPlay, "start/stop preview"),
    KADRIMIX_NAMED(kTipSlider, "preview position"),
    KADRIMIX_NAMED(kTipReverse, "convert AVI reverse"),
    KADRIMIX_NAMED(kTipMirrorHorizontal, "horizontal mirror AVI"),
    KADRIMIX_NAMED(kTipUpperHalf, "mirror upper part"),
    KADRIMIX_NAMED(kTipLowerHalf, "mirror lower part"),
    KADRIMIX_NAMED(kTipMirrorVertical, "vertical mirror AVI"),
    KADRIMIX_NAMED(kTipLeftHalf, "mirror left part"),
    KADRIMIX_NAMED(kTipRightHalf, "mirror right part"),
    KADRIMIX_NAMED(kTipPreview, "activate preview during converting"),
    KADRIMIX_NAMED(kTipInterlace, "check, if AVI is interlaced"),
    KADRIMIX_NAMED(kTipOverlayList,
                   "select overlay AVI and set parameter. 1 is the highest priority"),
    KADRIMIX_NAMED(kTipCodec, "select codec for converted output AVI"),
    KADRIMIX_NAMED(kTipProgress, "converting progress"),
    KADRIMIX_NAMED(kTipOnlyAPicture, "Only a colored picture"),
    KADRIMIX_NAMED(kTipLoad, "load settings"),
    KADRIMIX_NAMED(kTipSave, "save settings"),
    KADRIMIX_NAMED(kTipSetup, "general settings"),
    KADRIMIX_NAMED(kEnd, "END"),
    KADRIMIX_NAMED(kInfo, "In&fo"),
    KADRIMIX_NAMED(kSetup, "S&etup"),
    KADRIMIX_NAMED(kStart, "Star&t"),
    KADRIMIX_NAMED(kStop, "Sto&p"),
    KADRIMIX_NAMED(kInputAvi, "&Input AVI"),
    KADRIMIX_NAMED(kOutputAvi, "&Output AVI"),
    KADRIMIX_NAMED(kReverse, "Reverse"),
    KADRIMIX_NAMED(kRightHalf, "R"),
    KADRIMIX_NAMED(kLeftHalf, "L"),
    KADRIMIX_NAMED(kUpperHalf, "U"),
    KADRIMIX_NAMED(kLowerHalf, "D"),
    KADRIMIX_NAMED(kSave, "&Save"),
    KADRIMIX_NAMED(kLoad, "&Load"),
    KADRIMIX_NAMED(kInterlace, "Interlace"),
    KADRIMIX_NAMED(kMirrorHorizontal, "Mirror horizontal"),
    KADRIMIX_NAMED(kMirrorVertical, "Mirror vertical"),
    KADRIMIX_NAMED(kEnablePreview, "Enable preview"),
    KADRIMIX_NAMED(kProgress, "Progress"),
    KADRIMIX_NAMED(kAction, "Action"),
    KADRIMIX_NAMED(kOptions, "Options"),
    KADRIMIX_NAMED(kProjectFile, "Project File"),
    KADRIMIX_NAMED(kNoCompression, "no compression"),
    KADRIMIX_NAMED(kSelectCodec, "Select codec"),
    KADRIMIX_NAMED(kNoAviSelected, "no AVI selected"),
    KADRIMIX_NAMED(kErrorOpenAvi, "ERROR:\r\nOpen AVI file"),
    KADRIMIX_NAMED(kErrorNoVideoStream, "ERROR:\r\nNo video stream in AVI file"),
    KADRIMIX_NAMED(kErrorStreamInfo, "ERROR: GetVideoStreamInfo\r\n"),
    KADRIMIX_NAMED(kErrorUnknownCodecStart, "ERROR: StartVideoRetrieve\r\nUnknown codec (I)\r\n"),
    KADRIMIX_NAMED(kErrorUnknownCodecFrame, "ERROR: GetVideoFrame\r\nUnknown codec (II)\r\n"),
    KADRIMIX_NAMED(kErrorUnknownCodec, "ERROR:\r\nUnknown codec"),
    KADRIMIX_NAMED(kFormat, "Format"),
    KADRIMIX_NAMED(kFrames, "Frames"),
    KADRIMIX_NAMED(kSec, "sec"),
    KADRIMIX_NAMED(kDuration, "Duration"),
    KADRIMIX_NAMED(kErrorFormatNotSupported, "ERROR: Format not supported\n\r"),
    KADRIMIX_NAMED(kErrorLastFrame, "ERROR: GetVideoFrame (last frame)\r\nAVI File too big\r\n"),
    KADRIMIX_NAMED(kFrame, "Frame"),
    KADRIMIX_NAMED(kTime, "Time"),
    KADRIMIX_NAMED(kConvertingFinished, "Converting finished\r\nDuration"),
    KADRIMIX_NAMED(kConvertingAborted, "Converting aborted\r\nDuration"),
    KADRIMIX_NAMED(kLoadProject, "Load Kadrimix project"),
    KADRIMIX_NAMED(kSaveProject, "Save Kadrimix project"),
    KADRIMIX_NAMED(kErrorProjectOpenForReading, "ERROR File Open:\r\nProject could not be read"),
    KADRIMIX_NAMED(kErrorProjectRead, "ERROR File Read:\r\nProject could not be read"),
    KADRIMIX_NAMED(kErrorProjectCorrupt, "ERROR File Read:\r\nProject file corrupt"),
    KADRIMIX_NAMED(kErrorProjectVersion, "ERROR File Read:\r\nProject file wrong version"),
    KADRIMIX_NAMED(kErrorProjectOpenForWriting, "ERROR File Open:\r\nProject could not be written"),
    KADRIMIX_NAMED(kErrorProjectWrite, "ERROR File Write:\r\nProject could not be written"),
    KADRIMIX_NAMED(kSaveCurrentProject, "Save actual project?"),
    KADRIMIX_NAMED(kUnknown, "Unknown"),
    KADRIMIX_NAMED(kSelectInputAvi, "Select input AVI"),
    KADRIMIX_NAMED(kSelectOutputAvi, "Select output AVI"),
    KADRIMIX_NAMED(kTipOverlayOk, "Close and accept overlay settings (ESC for abort)"),
    KADRIMIX_NAMED(kTipOverlayX,
                   "Set horizontale overlay position; use cursor for fine adjustment"),
    KADRIMIX_NAMED(kTipOverlayY, "Set vertical overlay position; use cursor for fine adjustment"),
    KADRIMIX_NAMED(kTipOverlayWidth,
                   "Set horizontale overlay size; use cursor for fine adjustment"),
    KADRIMIX_NAMED(kTipOverlayHeight, "Set vertical overlay size; use cursor for fine adjustment"),
    KADRIMIX_NAMED(kTipOverlayPosition, "Set overlay poistion; use cursor for fine adjustment"),
    KADRIMIX_NAMED(kTipBasePosition,
                   "Set position of the base AVI; use cursor for fine adjustment"),
    KADRIMIX_NAMED(kTipOverlayAvi, "Select overlay AVI"),
    KADRIMIX_NAMED(kTipClearOverlay, "Clear overlay AVI"),
    KADRIMIX_NAMED(kTipKeepRatio, "Use overlay ratio"),
    KADRIMIX_NAMED(kTipOriginalSize, "Don't resize overlay (split screen function)"),
    KADRIMIX_NAMED(kTipXValue, "Horizontale overlayposition (in dots; 0=left border)"),
    KADRIMIX_NAMED(kTipYValue, "Vertical overlayposition (in dots; 0=top border)"),
    KADRIMIX_NAMED(kTipWidthValue, "Horizontale overlay size in dots"),
    KADRIMIX_NAMED(kTipHeightValue, "Verticale overlay size in dots"),
    KADRIMIX_NAMED(kTipOverlayFrame, "Actual overlay frame number [Time=%s sec.]"),
    KADRIMIX_NAMED(kTipBaseFrame, "Actual base frame number [Time=%s sec.]"),
    KADRIMIX_NAMED(kTipSetOverlayStart, "Set overlay start position"),
    KADRIMIX_NAMED(kTipSetOverlayEnd, "Set overlay end position"),
    KADRIMIX_NAMED(kTipOverlayStartValue, "Overlay frame start number [Time=%s sec.]"),
    KADRIMIX_NAMED(kTipOverlayEndValue, "Overlay frame end number [Time=%s sec.]"),
    KADRIMIX_NAMED(kTipSetBaseStart, "Set base AVI start position"),
    KADRIMIX_NAMED(kTipBaseStartValue, "Basic AVI frame start number [Time=%s sec.]"),
    KADRIMIX_NAMED(kTipBorder, "Select ovelay border (size and color)"),
    KADRIMIX_NAMED(kTipCrop, "Crop overlay"),
    KADRIMIX_NAMED(kTipQuickPosition, "Quick overlay positioning"),
    KADRIMIX_NAMED(kOverlayPositionAndSize, "Overlay position and size"),
    KADRIMIX_NAMED(kOverlayStartAndEnd, "Overlay start and end"),
    KADRIMIX_NAMED(kMiscellaneous, "Miscellaneous"),
    KADRIMIX_NAMED(kOverlayStartInBase, "Start of the overlay within the base AVI"),
    KADRIMIX_NAMED(kSetStart, "Set Start"),
    KADRIMIX_NAMED(kQuickPosition, "Position"),
    KADRIMIX_NAMED(kOverlayStart, "Start"),
    KADRIMIX_NAMED(kOverlayEnd, "End"),
    KADRIMIX_NAMED(kBorder, "Border"),
    KADRIMIX_NAMED(kCrop, "Crop"),
    KADRIMIX_NAMED(kOverlayAvi, "Overlay AVI"),
    KADRIMIX_NAMED(kClearOverlay, "Clear overlay"),
    KADRIMIX_NAMED(kPositionX, "Position X"),
    KADRIMIX_NAMED(kPositionY, "Position Y"),
    KADRIMIX_NAMED(kSizeX, "Size X"),
    KADRIMIX_NAMED(kSizeY, "Size Y"),
    KADRIMIX_NAMED(kKeepRatio, "Keep ratio"),
    KADRIMIX_NAMED(kOriginalSize, "Original size"),
    KADRIMIX_NAMED(kBasePosition, "Position"),
    KADRIMIX_NAMED(kSetBaseStart, "Set"),
    KADRIMIX_NAMED(kErrorStartAfterEnd,
                   "ERROR:\r\nStartposition must be lower or equal then endposition"),
    KADRIMIX_NAMED(kErrorEndBeforeStart,
                   "ERROR:\r\nEndposition must be greater or equal then startposition"),
    KADRIMIX_NAMED(kSelectOverlayAvi, "Select overlay AVI"),
    KADRIMIX_NAMED(kTipBorderOk, "Close and accept color settings (ESC for abort)"),
    KADRIMIX_NAMED(kTipRed, "Adjust base color RED"),
    KADRIMIX_NAMED(kTipRedValue, "Actual value of the base color RED"),
    KADRIMIX_NAMED(kTipGreen, "Adjust base color GREEN"),
    KADRIMIX_NAMED(kTipGreenValue, "Actual value of the base color GREEN"),
    KADRIMIX_NAMED(kTipBlue, "Adjust base color BLUE"),
    KADRIMIX_NAMED(kTipBlueValue, "Actual value of the base color BLUE"),
    KADRIMIX_NAMED(kTipBorderSize, "Frame size in dots (0=no frame)"),
    KADRIMIX_NAMED(kTipBorderSizeValue, "Actual value of the frame size"),
    KADRIMIX_NAMED(kFrameProperties, "Frame properties"),
    KADRIMIX_NAMED(kFrameSize, "Frame size"),
    KADRIMIX_NAMED(kFrameColor, "Frame color"),
    KADRIMIX_NAMED(kTipCropOk, "Close and accept settings (ESC for abort)"),
    KADRIMIX_NAMED(kTipCropSize, "Crop in dots (0=no crop)"),
    KADRIMIX_NAMED(kTipCropValue, "Actual value"),
    KADRIMIX_NAMED(kCropFrame, "Crop frame"),
    KADRIMIX_NAMED(kCropFrameGroup, "Crop frame"),
    KADRIMIX_NAMED(kSelectPredefinedPosition, "Select predefined overlay position"),
};

#undef KADRIMIX_NAMED

TEST(TextIds, EveryNamedIdHasTheEnglishTextItWasNamedFrom) {
    for (const NamedText& named : kNamedTexts) {
        ASSERT_GT(named.id, 0) << named.name;
        ASSERT_LT(named.id, kTextCatalogSize - 1) << named.name;
        const TextCatalogEntry& row = CTextCatalog::Table()[named.id];
        EXPECT_EQ(row.id, named.id) << named.name;
        EXPECT_STREQ(row.english, named.english) << named.name;
    }
}

TEST(TextIds, EveryTextOfTheCatalogueHasOneName) {
    std::set<std::int32_t> ids;
    for (const NamedText& named : kNamedTexts) {
        EXPECT_TRUE(ids.insert(named.id).second) << named.name << " shares its id";
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kTextCatalogSize - 2));
}

} // namespace
