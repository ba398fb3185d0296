// Reads the text line by line through a 64 KiB buffer: the header search for
// "begin" (and a "table" alphabet), then data lines until "end", across part
// files when the text of one part ends without it.
#include "archive/readers/UnUue.h"

#include "archive/codecs/Uue.h"
#include "archive/framework/SharedRoutines.h"
#include "platform/FileSystem.h"

#include <vector>

namespace mv {

namespace {

constexpr size_t kMaxLine = 1024; // longer lines are cut (a data line needs at most 85)

class TLineReader {
public:
    explicit TLineReader(TArcStream* file) : FFile(file), FBuffer(65536) {}
    void SetFile(TArcStream* file) {
        FFile = file;
        FPos = FEnd = 0;
        FEof = false;
    }
    // The next line without its line feed and carriage returns; false at the end.
    bool Next(std::string& line) {
        if (FHavePeek) {
            line = FPeek;
            FHavePeek = false;
            return true;
        }
        line.clear();
        bool any = false;
        for (;;) {
            if (FPos == FEnd) {
                if (FEof) return any;
                int64_t got = FFile->Read(FBuffer.data(), int64_t(FBuffer.size()));
                if (got <= 0) {
                    FEof = true;
                    return any;
                }
                FPos = 0;
                FEnd = size_t(got);
            }
            any = true;
            char c = char(FBuffer[FPos++]);
            if (c == '\n') return true;
            if (c != '\r' && line.size() < kMaxLine) line.push_back(c);
        }
    }
    bool Peek(std::string& line) {
        if (!FHavePeek) {
            if (!Next(FPeek)) return false;
            FHavePeek = true;
        }
        line = FPeek;
        return true;
    }

private:
    TArcStream* FFile;
    std::vector<uint8_t> FBuffer;
    size_t FPos = 0, FEnd = 0;
    bool FEof = false;
    std::string FPeek;
    bool FHavePeek = false;
};

bool StartsWith(const std::string& s, const char* p) {
    return s.rfind(p, 0) == 0;
}

} // namespace

TUUDecode::TUUDecode() = default;
TUUDecode::~TUUDecode() = default;

std::string TUUDecode::PartName(const std::string& name, int number) const {
    const std::string digits = std::to_string(number);
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    if (FNextVolumeName == TNextVolumeName::nvChangeExt) {
        if (!hasExt) return name + digits;
        std::string ext = name.substr(dot + 1);
        if (ext.size() < 3) ext.resize(3, '0');
        ext = ext.substr(0, 3);
        ext.replace(3 - std::min<size_t>(3, digits.size()), std::min<size_t>(3, digits.size()),
                    digits.substr(digits.size() > 3 ? digits.size() - 3 : 0));
        return name.substr(0, dot + 1) + ext;
    }
    const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    std::string base = name.substr(folder.size(), (hasExt ? dot : name.size()) - folder.size());
    const std::string ext = hasExt ? name.substr(dot) : "";
    if (FVolumeLongFilenames) {
        if (base.size() >= digits.size())
            base.replace(base.size() - digits.size(), digits.size(), digits);
        else
            base = digits;
    } else {
        base = base.substr(0, 8 > digits.size() ? 8 - digits.size() : 0) + digits;
    }
    return folder + base + ext;
}

void TUUDecode::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    std::unique_ptr<TArcStream> out;
    bool open = false;
    std::string name, reportName;
    uint32_t dosDate = 0;
    try {
        if (!file) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
        TLineReader reader(file.get());
        std::string line;
        // Header search.
        TUueAlphabet given{};
        bool haveTable = false;
        bool found = false;
        for (int n = 0; n < FMaxHeaderLines && reader.Next(line); ++n) {
            if (StartsWith(line, "begin ")) {
                std::string rest = line.substr(6);
                size_t b = rest.find_first_not_of(' ');
                size_t modeEnd = b == std::string::npos ? std::string::npos : rest.find(' ', b);
                name = modeEnd == std::string::npos ? "" : rest.substr(modeEnd + 1);
                name = name.substr(0, name.find(' '));
                found = true;
                break;
            }
            if (StartsWith(line, "charmap")) {
                // The 64 characters of the alphabet, in value order: after the
                // word on its line, or on the lines that follow (two at most).
                std::string chars = line.substr(7);
                chars.erase(0, chars.find_first_not_of(" \t"));
                std::string more;
                for (int extra = 0; chars.size() < 64 && extra < 2 && reader.Next(more); ++extra) chars += more;
                if (chars.size() >= 64) {
                    given = UueTableAlphabet(chars.substr(0, 64));
                    haveTable = true;
                }
                continue;
            }
            if (StartsWith(line, "table")) {
                std::string a, b;
                if (reader.Next(a) && reader.Next(b)) {
                    given = UueTableAlphabet(a.substr(0, 32) + b.substr(0, 32));
                    haveTable = true;
                }
            }
        }
        if (!found) RaiseError(FArchiveFile, "", "0", arcerr::HeaderError);
        std::string first;
        reader.Peek(first);
        const TUueAlphabet& alphabet = haveTable ? given : UueGuessAlphabet(first.data(), first.size());

        platform::FileInfo info;
        dosDate = platform::Fs().Stat(FArchiveFile, info) ? FileDosDateTime(info.ModTime) : 0;
        SetFileName(name);
        if (FEntry.FileName.empty() && FWriteMode != rwSink) RaiseError(name, "", "0", arcerr::InvalidName);
        std::string decided = name;
        switch (DecideMember(decided, DosDateTimeToDateTime(dosDate), file->Size())) {
        case TMemberDecision::mdStop:
            return;
        case TMemberDecision::mdSkip:
            if (OnEnd) OnEnd(this, decided, true);
            return;
        case TMemberDecision::mdExtract:
            break;
        }
        name = decided;
        reportName = ReportName(name);
        if (!OpenMemberOutput(out, 0)) return;
        open = true;
        TMemberOutput output(*this, out.get(), stream, crcNone);
        bool ended = false;
        int part = FVolumeStartNum;
        std::string volumeName = FArchiveFile;
        uint8_t bytes[64];
        while (!FCancel) {
            while (!FCancel && reader.Next(line)) {
                if (StartsWith(line, "end")) {
                    ended = true;
                    break;
                }
                const int n = UueDecodeLine(alphabet, line.data(), line.size(), bytes);
                if (n > 0) output.Write(bytes, size_t(n));
            }
            if (ended || FCancel) break;
            // The text ends without "end": the next part.
            std::string next = PartName(FArchiveFile, ++part);
            if (!RequestVolume(next, std::to_string(part))) break;
            auto nextFile = TArcFileStream::OpenRead(next);
            if (!nextFile) RaiseError(next, "", std::to_string(part), arcerr::OpenError);
            file = std::move(nextFile);
            volumeName = next;
            reader.SetFile(file.get());
            // Skip to a "begin" line or to the first full data line.
            while (reader.Next(line)) {
                if (StartsWith(line, "begin")) break;
                if (!line.empty() && line[0] == alphabet.FullLine) {
                    DoError(volumeName,
                            "line starting with " + std::to_string(int(uint8_t(line[0]))) +
                                " found before \"begin\"",
                            std::to_string(part), arcerr::LineBeforeBegin);
                    const int n = UueDecodeLine(alphabet, line.data(), line.size(), bytes);
                    if (n > 0) output.Write(bytes, size_t(n));
                    break;
                }
            }
        }
        if (!ended && !FCancel) DoError(reportName, "", "0", arcerr::NoEndLine);
        open = false;
        const bool ok = !FCancel;
        AfterExtractFile(out, stream, 32, dosDate, name, ok);
        if (OnEnd) OnEnd(this, reportName, ok);
    } catch (const E_RAISE&) {
        if (open) AfterExtractFile(out, stream, 32, dosDate, name, false);
    }
}

} // namespace mv
