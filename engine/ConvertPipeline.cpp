// The run of one conversion: opening and checking the input, creating the
// output, setting up the compressor and the streams, and the clean-up that
// every outcome takes. The frame loop and the audio copy are in
// ConvertFrames.cpp.
#include "engine/ConvertThread.h"

#include "codec/CompressorInfo.h"
#include "codec/ContainerCodecs.h"
#include "codec/EncoderSettings.h"
#include "engine/FrameChecks.h"
#include "media/decode/CodecNames.h"
#include "media/decode/DibFrame.h"
#include "media/io/ErrorText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int32_t kStreamInfoSize = 140;

bool SameFile(const struct stat& a, const std::string& path) {
    struct stat b {};
    return !path.empty() && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

} // namespace

std::int64_t CConvertThread::HeaderBytes(const BITMAPINFOHEADER& header) {
    const bool table = header.biBitCount < 16 && header.biCompression != kmx::kFourccI420;
    return std::int64_t{header.biSize} + (table ? 1024 : 0);
}

void CConvertThread::RunJob(const ConvertJob& job) {
    job_ = job;
    settings_ = job.compressorSettings;
    // Handles and pointer members only meant something in the run (or the
    // program) that filled them; a compressor is only ever one opened here.
    kmx::ClearRunState(settings_);
    overlaysActive_ = false;
    for (OverlaySettings& slot : job_.overlays) {
        slot.reader.reset();
        slot.nextFrame = 0;
    }
    damagedFrames_ = 0;
    endedOverlayDamage_ = 0;
    written_.clear();
    NotifyProgress(-1);
    kmx::SetThreadReadInterrupt(&abort_);
    const bool succeeded = OpenAndConvert();
    kmx::SetThreadReadInterrupt(nullptr);
    if (succeeded) {
        NotifyWritten();
    }
    NotifyDone(!succeeded);
    for (OverlaySettings& slot : job_.overlays) {
        ReleaseOverlay(slot);
    }
}

const char* CConvertThread::InputTheOutputWouldReplace() const {
    // The output is deleted before it is written. On this platform an open
    // file can be deleted, so an output naming the input or an overlay (also
    // through another path or a link) must be refused here, or it is lost.
    struct stat output {};
    if (::stat(job_.outputPath.c_str(), &output) != 0) {
        return nullptr;
    }
    if (SameFile(output, job_.inputPath)) {
        return "is the input";
    }
    const bool overlay =
        std::any_of(job_.overlays.begin(), job_.overlays.end(),
                    [&](const OverlaySettings& slot) { return SameFile(output, slot.path); });
    return overlay ? "is an overlay" : nullptr;
}

void CConvertThread::ReportFileProblem(const char* text, const std::string& path, int error) {
    if (error != 0) {
        ReportMessage(nullptr, "%s (%s: %s)", text, path.c_str(),
                      kmx::FileErrorText(error).c_str());
    } else {
        ReportMessage(nullptr, "%s (%s)", text, path.c_str());
    }
}

bool CConvertThread::OpenAndConvert() {
    audio_ = false;
    audioCopyCodec_ = 0;
    if (!ChooseContainer() || AbortRequested()) {
        return false;
    }
    if (!input_.Open(job_.inputPath.c_str())) {
        if (AbortRequested()) {
            return false; // its reading was cut off by the stop
        }
        const bool readable = ::access(job_.inputPath.c_str(), R_OK) == 0;
        if (readable) {
            ReportMessage(nullptr, "FEHLER: Öffne Input AVI (%s: no video that can be read)",
                          job_.inputPath.c_str());
        } else {
            ReportFileProblem("FEHLER: Öffne Input AVI", job_.inputPath, errno);
        }
        return false;
    }
    // Everything that can fail before the first frame is opened and checked
    // before the output is created, and a stop is looked for between the
    // steps: a run that fails or is stopped there leaves an existing output
    // as it was.
    RunFormats formats;
    bool ok = !AbortRequested() && ReadInputFormats(formats) && !AbortRequested() &&
              UsePlanarFramesIfUntouched(formats) && SetUpCompressor(formats) &&
              !AbortRequested() && OpenOverlays() && !AbortRequested() && CreateOutput();
    // From here on every outcome takes the same clean-up.
    ok = ok && CreateStreams(formats) && ConvertFrames();
    return CloseRun(ok);
}

bool CConvertThread::ReadInputFormats(RunFormats& formats) {
    if (!input_.GetVideoStreamInfo(0, &formats.videoInfo, kStreamInfoSize)) {
        ReportMessage(nullptr, "ERROR: Getting Video Stream Info");
        return false;
    }
    if (!input_.StartVideoRetrieve(0)) {
        ReportMessage(nullptr, "ERROR: Start Video Retrieve");
        return false;
    }
    if (job_.reverse != 0) {
        input_.ReadVideoBackwards(0);
    }
    if (!ReadFirstFrameFormat(formats)) {
        return false;
    }
    audio_ = OpenInputAudio(formats);
    return true;
}

bool CConvertThread::ReadFirstFrameFormat(RunFormats& formats) {
    const BITMAPINFOHEADER* first = nullptr;
    input_.GetVideoFrame(0, 0, &first);
    if (first == nullptr) {
        ReportMessage(nullptr, "ERROR: Getting First Video Frame");
        return false;
    }
    // Checked here as well as in the frame loop, so that such an input is
    // refused before the output is created.
    if (!FillsImageExactly(*first)) {
        ReportMessage(nullptr, "ERROR: Inconsistant Frame Bitmap Data");
        return false;
    }
    // The first frame's header (with its colour table below 16 bits) is the
    // compressor's input format, also when the run is reversed.
    const auto* firstBytes = reinterpret_cast<const std::uint8_t*>(first);
    inputFormat_.assign(firstBytes, firstBytes + HeaderBytes(*first));
    std::memcpy(&formats.frameFormat, inputFormat_.data(), sizeof formats.frameFormat);
    return true;
}

bool CConvertThread::LeavesPixelsAlone() const {
    const bool overlays =
        std::any_of(job_.overlays.begin(), job_.overlays.end(),
                    [](const OverlaySettings& slot) { return !slot.path.empty(); });
    return job_.mirrorHorizontal == 0 && job_.mirrorVertical == 0 &&
           !(job_.interlaced != 0 && job_.reverse != 0) && !overlays && job_.preview == 0;
}

bool CConvertThread::UsePlanarFramesIfUntouched(RunFormats& formats) {
    // A run that changes no pixel and compresses to 4:2:0 takes the decoder's
    // 4:2:0 pictures as they are, instead of turning them into RGB and back.
    // Their matrix must be the one the output's stream is tagged with.
    const kmx::CompressorEntry* entry = kmx::FindCompressorEntry(settings_.fccHandler);
    const bool bt709 = kmx::UsesBt709(container_ != kmx::OutputContainer::Avi,
                                      formats.frameFormat.biWidth, formats.frameFormat.biHeight);
    if (kmx::IsUncompressed(settings_) || entry == nullptr || !kmx::TakesYuv420(*entry) ||
        !LeavesPixelsAlone() || !input_.UsePlanarVideo(0, bt709)) {
        return true;
    }
    return ReadFirstFrameFormat(formats); // now an 'I420' frame
}

bool CConvertThread::OpenInputAudio(RunFormats& formats) {
    audioPerChunk_ = false;
    if (input_.GetAudioStreamCount() == 0) {
        return false;
    }
    // Compressed audio cut into blocks and put in reverse order would be
    // corrupt data: a reversed run decodes it and writes 16-bit PCM. The
    // other containers than AVI get PCM, or audio encoded from PCM.
    const bool decode = job_.reverse != 0 || container_ != kmx::OutputContainer::Avi;
    if (decode && !input_.DecodeAudioToPcm(0)) {
        ReportMessage(nullptr, "WARNING: Error Reading/Writing Audio Samples");
        return false;
    }
    if (!input_.GetAudioStreamInfo(0, &formats.audioInfo, kStreamInfoSize)) {
        return false;
    }
    audioPerChunk_ = formats.audioInfo.dwSampleSize == 0;
    return true;
}

bool CConvertThread::ChooseContainer() {
    const std::optional<kmx::OutputContainer> container =
        job_.outputFormat.empty() ? kmx::ContainerForPath(job_.outputPath)
                                  : kmx::ContainerForName(job_.outputFormat);
    if (!container) {
        ReportMessage(nullptr, "ERROR: Unknown output file type (%s); supported are %s",
                      job_.outputFormat.empty() ? job_.outputPath.c_str()
                                                : job_.outputFormat.c_str(),
                      kmx::SupportedOutputExtensions());
        return false;
    }
    container_ = *container;
    // A compressor of the table that the container cannot hold; one that is
    // not in the table fails when it is opened.
    const std::uint32_t fourcc = kmx::IsUncompressed(settings_) ? FOURCC_DIB : settings_.fccHandler;
    if (kmx::FindCompressorEntry(fourcc) != nullptr && !kmx::ContainerHolds(container_, fourcc)) {
        const std::string fitting = kmx::FittingCompressors(container_);
        ReportMessage(nullptr, "ERROR: %s cannot hold the compressor %s; it holds %s",
                      kmx::ContainerTitle(container_), kmx::FourccText(fourcc).c_str(),
                      fitting.c_str());
        return false;
    }
    return true;
}

bool CConvertThread::CreateOutput() {
    if (const char* input = InputTheOutputWouldReplace()) {
        ReportMessage(nullptr, "FEHLER: Öffne Output AVI (%s: %s)", job_.outputPath.c_str(), input);
        return false;
    }
    if (!output_.Create(job_.outputPath.c_str(), container_)) {
        ReportFileProblem("FEHLER: Öffne Output AVI", job_.outputPath, output_.ErrorNumber());
        return false;
    }
    return true;
}

bool CConvertThread::SetUpCompressor(RunFormats& formats) {
    bool ok = true;
    if (!kmx::IsUncompressed(settings_)) {
        ok = StartCompressor(formats);
    } else {
        // Uncompressed output keeps the input format; below 16 bits its
        // colour table goes along, or the output's colours would be lost.
        const BITMAPINFOHEADER& format = formats.frameFormat;
        outputFormat_ = inputFormat_;
        formats.maxFrameSize =
            std::int64_t{format.biBitCount / 8} * format.biHeight * format.biWidth;
    }
    if (settings_.fccHandler == 0) {
        settings_.fccHandler = FOURCC_DIB;
    }
    return ok;
}

bool CConvertThread::StartCompressor(RunFormats& formats) {
    BITMAPINFOHEADER* format = &formats.frameFormat;
    compressor_ = CCompressor::Open(settings_.fccType, settings_.fccHandler, ICMODE_COMPRESS);
    if (compressor_ == nullptr) {
        ReportMessage(nullptr, "ERROR: Open Compressor");
        return false;
    }
    settings_.hic = compressor_->Handle();
    compressor_->SetDelivery(container_ != kmx::OutputContainer::Avi);
    // The frame loop writes each sample when it comes (see WriteReadySamples).
    compressor_->AllowDelay(true);
    const std::int32_t formatSize = compressor_->GetFormatSize(format);
    if (formatSize <= 0) {
        ReportMessage(nullptr, "ERROR: Calling ICCompressGetFormat (get size)");
        return false;
    }
    outputFormat_.assign(static_cast<std::size_t>(formatSize), 0);
    if (compressor_->GetFormat(format, outputFormat_.data(), formatSize) != ICERR_OK) {
        ReportMessage(nullptr, "ERROR: Calling ICCompressGetFormat");
        return false;
    }
    settings_.dwFlags = ICMF_COMPVARS_VALID;
    compressor_->SetFrameRate(formats.videoInfo.dwRate, formats.videoInfo.dwScale);
    std::int32_t aspectNum = 0;
    std::int32_t aspectDen = 0;
    if (input_.GetSampleAspect(0, &aspectNum, &aspectDen)) {
        compressor_->SetSampleAspect(aspectNum, aspectDen);
    }
    if (!compressor_->SeqCompressFrameStart(settings_, format)) {
        ReportMessage(nullptr, "ERROR: Calling ICSeqCompressFrameStart");
        return false;
    }
    formats.maxFrameSize = compressor_->GetSize(format);
    return true;
}

bool CConvertThread::CreateStreams(const RunFormats& formats) {
    AVISTREAMINFOA outputInfo = formats.videoInfo;
    outputInfo.fccHandler = settings_.fccHandler;
    outputInfo.dwSuggestedBufferSize =
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(formats.maxFrameSize, 0, UINT32_MAX));
    if (!output_.CreateVideoStream(outputInfo)) {
        ReportMessage(nullptr, "ERROR: Create Video Stream");
        return false;
    }
    if (audio_ && !output_.CreateAudioStream(formats.audioInfo)) {
        ReportMessage(nullptr, "WARNING: Error Create Audio Stream");
        audio_ = false;
    }
    if (!output_.SetVideoFormat(outputFormat_.data(),
                                static_cast<std::int32_t>(outputFormat_.size()))) {
        ReportMessage(nullptr, "ERROR: Set Video Format");
        return false;
    }
    if (audio_) {
        std::int32_t audioFormatSize = 0;
        const std::uint8_t* audioFormat = input_.GetAudioFormat(0, &audioFormatSize);
        if (audioFormat == nullptr || !output_.SetAudioFormat(audioFormat, audioFormatSize)) {
            ReportMessage(nullptr, "WARNING: Error Setting Audio Format");
            audio_ = false;
        }
    }
    if (container_ != kmx::OutputContainer::Avi && !DescribeVideoCodec()) {
        ReportMessage(nullptr, "ERROR: Set Video Format");
        return false;
    }
    if (audio_ && !SetUpAudioEncoder(formats)) {
        ReportMessage(nullptr, "WARNING: Error Setting Audio Format");
        audio_ = false;
    }
    // The headers go to the file now, so that it is a readable AVI from the
    // start; should that fail, the first frame's write reports it.
    output_.WriteHeaders();
    return true;
}

bool CConvertThread::DescribeVideoCodec() {
    kmx::MediaCodecDetails details;
    if (compressor_ != nullptr && !compressor_->DescribeStream(&details)) {
        return false;
    }
    return output_.SetVideoDetails(details);
}

bool CConvertThread::SetUpAudioCopy(const RunFormats& formats) {
    kmx::MediaCodecDetails details;
    if (job_.reverse != 0 || container_ == kmx::OutputContainer::Avi ||
        !input_.OpenAudioPackets(0, &details) ||
        !kmx::ContainerTakesAudio(container_, details.codecId) || formats.videoInfo.dwRate == 0 ||
        !output_.SetAudioDetails(details)) {
        return false;
    }
    audioCopyCodec_ = details.codecId;
    audioSamplesPerFrame_ = static_cast<double>(details.sampleRate) * formats.videoInfo.dwScale /
                            formats.videoInfo.dwRate;
    kmx::EncodedAudioPacket first;
    if (input_.ReadAudioPacket(&first)) {
        nextAudioPacket_ = std::move(first);
    }
    return true;
}

void CConvertThread::CopyAudioPackets(std::int64_t beforeSample) {
    while (audio_ && nextAudioPacket_ && nextAudioPacket_->pts < beforeSample) {
        const kmx::EncodedAudioPacket& p = *nextAudioPacket_;
        if (!output_.WriteAudioPacket(p.data.data(), static_cast<std::int32_t>(p.data.size()),
                                      p.pts, static_cast<std::int32_t>(p.duration), p.discardEnd)) {
            ReportMessage(nullptr, "WARNING: Error Reading/Writing Audio Samples");
            audio_ = false;
            return;
        }
        kmx::EncodedAudioPacket next;
        if (input_.ReadAudioPacket(&next)) {
            nextAudioPacket_ = std::move(next);
        } else {
            nextAudioPacket_.reset();
        }
    }
}

bool CConvertThread::SetUpAudioEncoder(const RunFormats& formats) {
    audioEncoder_.reset();
    audioCopyCodec_ = 0;
    nextAudioPacket_.reset();
    if (SetUpAudioCopy(formats)) {
        return true;
    }
    // AVI carries the input's audio as it is; the others get it encoded:
    // AAC in the MPEG-4 family, Opus in Matroska and WebM.
    if (container_ == kmx::OutputContainer::Avi) {
        return true;
    }
    std::int32_t size = 0;
    const std::uint8_t* format = input_.GetAudioFormat(0, &size);
    if (format == nullptr || size < static_cast<std::int32_t>(kmx::kWaveFormatExSize) - 2) {
        return false;
    }
    WAVEFORMATEX wave{};
    std::uint8_t bytes[kmx::kWaveFormatExSize] = {};
    std::memcpy(bytes, format, std::min<std::size_t>(size, sizeof bytes));
    kmx::LoadRecord(bytes, wave);
    if (wave.wBitsPerSample != 16 || formats.audioInfo.dwSampleSize == 0) {
        return false;
    }
    auto encoder = std::make_unique<kmx::CAudioEncoder>();
    const kmx::AudioCodec codec =
        container_ == kmx::OutputContainer::Mp4 || container_ == kmx::OutputContainer::Mov
            ? kmx::AudioCodec::Aac
            : kmx::AudioCodec::Opus;
    if (!encoder->Open(codec, static_cast<int>(wave.nSamplesPerSec), wave.nChannels)) {
        return false;
    }
    kmx::MediaCodecDetails details;
    details.codecId = encoder->CodecId();
    details.codecPrivate = encoder->CodecPrivate();
    details.sampleRate = encoder->SampleRate();
    details.channels = encoder->Channels();
    details.bitRate = encoder->BitRate();
    details.frameSize = encoder->FrameSize();
    details.initialPadding = encoder->InitialPadding();
    if (!output_.SetAudioDetails(details)) {
        return false;
    }
    audioEncoder_ = std::move(encoder);
    return true;
}

bool CConvertThread::WriteAudio(const std::uint8_t* data, std::int32_t bytes,
                                std::int32_t samples) {
    if (audioEncoder_ == nullptr) {
        return output_.WriteAudio(data, bytes, samples);
    }
    return audioEncoder_->Send(reinterpret_cast<const std::int16_t*>(data), samples) &&
           WriteAudioPackets(false);
}

bool CConvertThread::WriteAudioPackets(bool flush) {
    if (flush && !audioEncoder_->Flush()) {
        return false;
    }
    kmx::CAudioEncoder::Packet packet;
    bool failed = false;
    while (audioEncoder_->Take(&packet, &failed)) {
        if (!output_.WriteAudioPacket(packet.data, packet.size, packet.pts,
                                      static_cast<std::int32_t>(packet.duration),
                                      packet.discardEnd)) {
            return false;
        }
    }
    return !failed;
}

void CConvertThread::CountDamagedFrames() {
    std::int64_t count = input_.GetDamagedFrameCount(0) + endedOverlayDamage_.load();
    for (const OverlaySettings& slot : job_.overlays) {
        if (slot.reader != nullptr) {
            count += slot.reader->GetDamagedFrameCount(0);
        }
    }
    damagedFrames_ = count;
}

void CConvertThread::DescribeWrittenFile() {
    std::string video = kmx::FourccText(settings_.fccHandler);
    while (!video.empty() && video.back() == ' ') {
        video.pop_back();
    }
    written_ = std::string(kmx::ContainerTitle(container_)) + " (Video " + video;
    if (audio_) {
        std::string audio;
        if (audioCopyCodec_ != 0 || audioEncoder_ != nullptr) {
            audio =
                kmx::CodecName(audioCopyCodec_ != 0 ? audioCopyCodec_ : audioEncoder_->CodecId());
        } else {
            std::int32_t size = 0;
            const std::uint8_t* format = input_.GetAudioFormat(0, &size);
            audio = kmx::WaveFormatCodecName(format, size);
        }
        written_ += ", Audio " + (audio.empty() ? std::string("?") : audio);
    }
    written_ += ")";
}

void CConvertThread::WarnOfCutInput() {
    const std::int32_t read = input_.GetVideoLength(0);
    const std::int32_t promised = input_.GetPromisedVideoLength(0);
    // A duration gives the count to within a frame or so.
    const std::int64_t slack = 1 + read / 100;
    if (promised > read + slack || input_.EndedOnError()) {
        NotifyWarning(CutInputWarning(read, promised > read + slack ? promised : 0));
    }
}

bool CConvertThread::CloseRun(bool ok) {
    if (ok) {
        DescribeWrittenFile();
        WarnOfCutInput();
        if (job_.reverse != 0 && input_.BackwardReadingFellShort(0)) {
            NotifyWarning(NoRoomToReverseWarning());
        }
    }
    if (compressor_ != nullptr) {
        compressor_->SeqCompressFrameEnd();
        compressor_.reset();
        settings_.hic = 0;
    }
    // The audio the encoder still holds belongs to frames in the file, and
    // so do the copied packets after the last frame's start.
    if (audioEncoder_ != nullptr && audio_ && !WriteAudioPackets(true)) {
        ReportMessage(nullptr, "WARNING: Error Reading/Writing Audio Samples");
    }
    if (audioCopyCodec_ != 0 && ok) {
        CopyAudioPackets(INT64_MAX);
    }
    nextAudioPacket_.reset();
    audioEncoder_.reset();
    CountDamagedFrames();
    input_.StopVideoRetrieve(0);
    input_.Close();
    if (!output_.Close() && ok) {
        // The frames are written but the file could not be completed (a full
        // disk at the end, for instance): that is no success.
        ReportFileProblem("ERROR: Closing Output AVI", job_.outputPath, output_.ErrorNumber());
        ok = false;
    }
    std::vector<std::uint8_t>().swap(outputFormat_);
    return ok;
}
