#include "archive/search/ArcSearch.h"

#include "archive/framework/ArcTimer.h"
#include "archive/readers/ReaderFactory.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace mv {

namespace {

constexpr int64_t kPlainBlock = 100001;
constexpr size_t kTailKeep = 254; // longest pattern less one byte
constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

bool IsDelimiter(char c) {
    return c == ' ' || c == '"' || c == '(' || c == ')';
}

uint8_t OperatorCode(const std::string& word) {
    std::string up = word;
    for (auto& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (up == "AND") return 1;
    if (up == "OR") return 2;
    if (up == "NOT") return 3;
    return 0;
}

bool EvalGroup(const std::vector<TSearchTerm>& terms, size_t& i, int level) {
    bool result = true;
    uint8_t op = 0;
    while (i < terms.size()) {
        const auto& e = terms[i];
        if (e.Rec.Level < level) break;
        bool value;
        if (e.Rec.Level > level) {
            value = EvalGroup(terms, i, level + 1);
        } else if (!e.Rec.IsTerm) {
            op = e.Rec.Operator;
            ++i;
            continue;
        } else {
            value = e.Rec.Matched != 0;
            ++i;
        }
        if (op == 2)
            result = value || result;
        else if (op == 3)
            result = !value && result;
        else
            result = value && result;
    }
    return result;
}

} // namespace

// ---------------------------------------------------------------- TSearchBase

TSearchBase::TSearchBase() = default;
TSearchBase::~TSearchBase() = default;

void TSearchBase::SetArchiveFile(const std::string& value) {
    if (value.empty() || FSearchType != TArcSearchType::stRawData) {
        TUnBase::SetArchiveFile(value);
        return;
    }
    // raw data: no type, the size is the file's
    FArchiveFile = value;
    FArcType = TArcType::atNA;
    platform::FileInfo info;
    FArchiveSize = platform::Fs().Stat(value, info) ? static_cast<int64_t>(info.Size) : 0;
}

void TSearchBase::SetCancel(bool value) {
    TZipCommon::SetCancel(value);
    if (FReader) FReader->SetCancel(value);
}

std::unique_ptr<TUnBase> TSearchBase::CreateExtractor() {
    auto reader = NewReader(FArcType);
    if (!reader) DoError(FArchiveFile, "", "0", arcerr::InvalidArcType);
    return reader;
}

void TSearchBase::SearchMemberBegin(const std::string& name) {
    FInMember = true;
    FMemberName = name;
    FMemberOffset = 0;
    FTail.clear();
    ++FFilesSearched;
    if (OnFileChange) OnFileChange(this, name, FSearchText);
}

void TSearchBase::SearchMemberEnd(const std::string&) {
    FInMember = false;
}

bool TSearchBase::TakeHits(int64_t base, int64_t limit, bool report) {
    bool inRange = false;
    for (const int64_t pos : FEngine.Matches()) {
        const int64_t index = pos - 1;
        if (index >= limit) break;
        const int64_t offset = base + index;
        if (offset < FStart) continue;
        if (offset > FEnd) break;
        inRange = true;
        if (!report) break;
        ++FHits;
        if (OnHit) OnHit(this, FArchiveFile, offset, FMemberName);
        if (Cancel()) break;
    }
    return inRange;
}

bool TSearchBase::ScanBlock(const uint8_t* buffer, int64_t count, size_t patternLength, bool report) {
    bool inRange = false;
    if (patternLength > 1 && !FTail.empty()) {
        // hits that begin in the previous blocks and end in this one
        const size_t t = std::min(FTail.size(), patternLength - 1);
        const auto h = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(patternLength - 1)));
        FJoin.assign(FTail.end() - static_cast<std::ptrdiff_t>(t), FTail.end());
        FJoin.insert(FJoin.end(), buffer, buffer + h);
        if (FEngine.SearchBuffer(FJoin.data(), static_cast<int64_t>(FJoin.size())))
            inRange = TakeHits(FMemberOffset - static_cast<int64_t>(t), static_cast<int64_t>(t), report);
    }
    if (FEngine.SearchBuffer(buffer, count)) inRange = TakeHits(FMemberOffset, kNoLimit, report) || inRange;
    return inRange;
}

void TSearchBase::KeepTail(const uint8_t* buffer, int64_t count) {
    const auto n = static_cast<size_t>(count);
    if (n >= kTailKeep) {
        FTail.assign(buffer + (n - kTailKeep), buffer + n);
        return;
    }
    FTail.insert(FTail.end(), buffer, buffer + n);
    if (FTail.size() > kTailKeep)
        FTail.erase(FTail.begin(), FTail.end() - static_cast<std::ptrdiff_t>(kTailKeep));
}

void TSearchBase::SearchBlock(const uint8_t* buffer, int64_t count) {
    if (count <= 0) return;
    if (!Cancel()) ScanBlock(buffer, count, FEngine.Pattern().size(), FReportEveryHit);
    KeepTail(buffer, count);
    FBytesSearched += count;
    FMemberOffset += count;
    ProcessMessages();
}

void TSearchBase::ReportFinish() {
    if (OnFinish) OnFinish(this, FFilesSearched, static_cast<int>(FHits), FBytesSearched);
    if (OnElapsedTime && FFilesSearched > 0 && FBytesSearched > 0) {
        FTimer->Stop();
        OnElapsedTime(this, FTimer->Elapsed());
    }
}

bool TSearchBase::RunArchiveSearch() {
    FReader = CreateExtractor();
    if (!FReader) return false;
    TUnBase* r = FReader.get();
    r->SetUseStoredDirs(false);
    r->SetZipCmntBufSize(32000);
    r->SetArchiveFile(FArchiveFile);
    r->FileSpecList() = FFileSpec;
    if (r->FileSpecList().empty()) r->FileSpecList().push_back("*.*"); // no names given: every member
    r->SetPasswords(FPasswords);
    r->SetPasswordAttempts(FPasswordAttempts);
    r->OnError = OnError;
    r->OnNextVolume = OnNextVolume;
    r->OnGetPassword = OnGetPassword;
    r->OnBegin = [this](TObject*, const std::string& name, int, bool&) {
        if (FInMember) SearchMemberEnd(FMemberName); // the reader gave no end for the last one
        SearchMemberBegin(name);
    };
    r->OnEnd = [this](TObject*, const std::string&, bool) {
        if (FInMember) SearchMemberEnd(FMemberName);
    };
    // The sink: each decoded block is searched, then goes on to the reader's
    // own block output (which keeps the running CRC, writing nothing in mode 6).
    r->ExtractWriteProc = [this, r](TArcStream* f, TArcStream* s, const uint8_t* b, bool d, int cm, int64_t n,
                                    int dc) -> int64_t {
        if (n > 0 && FInMember) SearchBlock(b, n);
        if (Cancel() && !r->Cancel()) r->SetCancel(true);
        return r->DecryptWriteBlock(f, s, b, d, cm, n, dc);
    };
    FTimer->Start();
    try {
        r->ExtractToSink();
    } catch (const E_RAISE&) {
        // reported through OnError, which the reader took over
    } catch (const std::exception&) {
        DoError(FArchiveFile, "", "0", arcerr::ReadError);
    }
    if (FInMember && !r->Cancel()) SearchMemberEnd(FMemberName);
    FInMember = false;
    if (r->Cancel()) FCancel = true;
    ActiveArchiveComponent = this;
    FPasswords = r->Passwords();
    ReportFinish();
    FReader.reset();
    return true;
}

void TSearchBase::RunPlainSearch() {
    FPlainFile = true;
    std::unique_ptr<TArcStream> file;
    if (!OpenArchiveRead(file, FArchiveFile) || !file) {
        if (!platform::IsDirectory(FArchiveFile)) DoError(FArchiveFile, "", "0", arcerr::OpenError);
        return;
    }
    const int64_t size = file->Size();
    std::vector<uint8_t> buffer(static_cast<size_t>(kPlainBlock));
    FTimer->Start();
    SearchMemberBegin(FArchiveFile);
    FFilesSearched = 1;
    FMemberOffset = FStart;
    if (FStart > 0) file->Seek(FStart);
    // a hit may begin at FEnd: read as far as the longest pattern past it
    const int64_t last = FEnd == kNoLimit ? size : std::min<int64_t>(size, FEnd + 255);
    int64_t toRead = last - FStart;
    FStopReading = false;
    while (toRead > 0 && !FStopReading && !Cancel()) {
        const int64_t got = file->Read(buffer.data(), std::min(toRead, kPlainBlock));
        if (got <= 0) break;
        SearchBlock(buffer.data(), got);
        toRead -= got;
    }
    if (!Cancel()) SearchMemberEnd(FArchiveFile);
    FInMember = false;
    ReportFinish();
    CloseArchive(file);
}

// ----------------------------------------------------------------- TArcSearch

TArcSearch::TArcSearch() = default;
TArcSearch::~TArcSearch() = default;

int TArcSearch::CheckExpression(const std::string& text) {
    bool quoted = false;
    int depth = 0;
    bool unpaired = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '(') {
            ++depth;
        } else if (!quoted && c == ')') {
            if (--depth < 0) unpaired = true;
        }
    }
    if (quoted) return arcerr::OpenQuotes;
    if (unpaired || depth != 0) return arcerr::OpenParentheses;
    return 0;
}

std::vector<TSearchTerm> TArcSearch::ParseExpression(const std::string& text) {
    std::vector<TSearchTerm> list;
    std::string phrase, blanks; // blanks outside quotes join words only between them
    bool quoted = false;
    int level = 0;
    uint8_t lastOp = 0;
    auto add = [&](uint8_t op) {
        if (phrase.find_first_not_of(' ') != std::string::npos) {
            TSearchTerm t;
            t.Text = phrase;
            t.Rec = {static_cast<uint8_t>(level), op, 1, 0};
            list.push_back(std::move(t));
        }
        phrase.clear();
        blanks.clear();
    };
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
            if (quoted && !phrase.empty()) phrase += blanks;
            blanks.clear();
            ++i;
            continue;
        }
        if (quoted) {
            if (c != '(' && c != ')') phrase.push_back(c);
            ++i;
            continue;
        }
        if (c == '(' || c == ')') {
            add(lastOp);
            level += c == '(' ? 1 : -1;
            if (level < 0) level = 0;
            ++i;
            continue;
        }
        if (c == ' ') {
            if (!phrase.empty()) blanks.push_back(' ');
            ++i;
        } else {
            size_t e = i;
            while (e < n && !IsDelimiter(text[e])) ++e;
            phrase += blanks;
            blanks.clear();
            phrase.append(text, i, e - i);
            i = e;
        }
        // look at the next token after any blanks: an operator word ends the phrase
        size_t j = i;
        while (j < n && text[j] == ' ') ++j;
        size_t e = j;
        while (e < n && !IsDelimiter(text[e])) ++e;
        const uint8_t op = e > j ? OperatorCode(text.substr(j, e - j)) : 0;
        lastOp = op;
        if (op) {
            add(0);
            TSearchTerm t;
            t.Text = text.substr(j, e - j);
            t.Rec = {static_cast<uint8_t>(level), op, 0, 0};
            list.push_back(std::move(t));
            i = e;
            if (i < n && text[i] == ' ') ++i;
        }
    }
    add(0);
    return list;
}

std::string TArcSearch::ConvertTerm(const std::string& text, TArcSearchMode mode) {
    if (mode == TArcSearchMode::smAsc) return text;
    const int base = mode == TArcSearchMode::smBin   ? 2
                     : mode == TArcSearchMode::smOct ? 8
                     : mode == TArcSearchMode::smHex ? 16
                                                     : 10;
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const size_t lastNonBlank = text.find_last_not_of(' ');
    std::string out;
    size_t i = first;
    while (i <= lastNonBlank) {
        if (text[i] == ' ') {
            // one blank separates numbers; each further blank stands for a byte 32
            size_t j = i;
            while (j <= lastNonBlank && text[j] == ' ') ++j;
            out.append(j - i - 1, ' ');
            i = j;
            continue;
        }
        size_t e = i;
        while (e <= lastNonBlank && text[e] != ' ') ++e;
        unsigned value = 0;
        bool any = false;
        for (size_t k = i; k < e; ++k) {
            const int ch = std::toupper(static_cast<unsigned char>(text[k]));
            int d = -1;
            if (ch >= '0' && ch <= '9') d = ch - '0';
            if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
            if (d < 0 || d >= base) continue; // other characters of a number are skipped
            any = true;
            value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
            if (value > 255) return {}; // not a byte
        }
        if (!any) return {};
        out.push_back(static_cast<char>(value));
        i = e;
    }
    return out;
}

bool TArcSearch::HasOemVariant(const TSearchTerm& term) const {
    return FSearchMode == TArcSearchMode::smAsc && !platform::IsAscii(term.Bytes) &&
           platform::HasOemForm(term.Bytes);
}

bool TArcSearch::Evaluate(const std::vector<TSearchTerm>& terms) {
    size_t i = 0;
    bool result = true;
    // groups that close below the first level still belong to the whole
    while (i < terms.size()) result = EvalGroup(terms, i, 0) && result;
    return result;
}

void TArcSearch::SearchMemberBegin(const std::string& name) {
    for (auto& t : FTerms) t.Rec.Matched = 0;
    TSearchBase::SearchMemberBegin(name);
}

void TArcSearch::SearchBlock(const uint8_t* buffer, int64_t count) {
    if (count <= 0) return;
    const bool listening = FReportEveryHit && OnHit;
    bool pending = false;
    if (!Cancel()) {
        for (auto& t : FTerms) {
            if (!t.Rec.IsTerm || t.Bytes.empty()) continue;
            if (t.Rec.Matched && !listening) continue; // nothing more to learn from this term
            FEngine.SetPattern(t.Bytes, 0, EngineCaseMode());
            if (ScanBlock(buffer, count, t.Bytes.size(), FReportEveryHit)) t.Rec.Matched = 1;
            // Text written in the DOS code page holds the term in that form.
            if ((!t.Rec.Matched || listening) && !Cancel() && HasOemVariant(t)) {
                FEngine.SetPattern(t.Bytes, 1, EngineCaseMode());
                if (ScanBlock(buffer, count, FEngine.Pattern().size(), FReportEveryHit)) t.Rec.Matched = 1;
            }
            if (!t.Rec.Matched) pending = true;
            if (Cancel()) break;
        }
    }
    // a plain file needs no more blocks once every term is settled and nobody wants further hits
    if (FPlainFile && !pending && !listening) FStopReading = true;
    KeepTail(buffer, count);
    FBytesSearched += count;
    FMemberOffset += count;
    ProcessMessages();
}

void TArcSearch::SearchMemberEnd(const std::string& name) {
    TSearchBase::SearchMemberEnd(name);
    if (Cancel()) return;
    if (!Evaluate(FTerms)) return;
    if (FPlainFile) {
        FFileMatched = true;
        return;
    }
    std::string member = name;
    std::replace(member.begin(), member.end(), '\\', '/');
    FFoundFiles.insert(member);
}

bool TArcSearch::Search() {
    ActiveArchiveComponent = this;
    FCancel = false;
    FFilesSearched = 0;
    FBytesSearched = 0;
    FHits = 0;
    FInMember = false;
    FPlainFile = false;
    FFileMatched = false;
    FReader.reset();
    FFoundFiles.clear();
    FTerms.clear();

    if (FArchiveFile.empty()) {
        DoError("", "", "0", arcerr::InvalidArcType);
        return false;
    }
    if (FSearchText.empty()) return false;
    if (FSearchType == TArcSearchType::stArcsOnly && !IsSearchableArcType(FArcType)) {
        DoError(FArchiveFile, "", "0", arcerr::InvalidArcType);
        return false;
    }
    if (const int bad = CheckExpression(FSearchText)) {
        DoError(FArchiveFile, "", "0", bad);
        return false;
    }
    FTerms = ParseExpression(FSearchText);
    const auto firstTerm =
        std::find_if(FTerms.begin(), FTerms.end(), [](const TSearchTerm& t) { return t.Rec.IsTerm != 0; });
    if (firstTerm == FTerms.end()) {
        FTerms.clear();
        return false;
    }
    for (auto& t : FTerms)
        if (t.Rec.IsTerm) t.Bytes = ConvertTerm(t.Text, FSearchMode);
    // Text on this system is UTF-8, as are most files it searches: the terms are
    // searched as they were typed, and text terms outside ASCII also in their
    // DOS code-page form (see SearchBlock).
    FEngine.Prepare(firstTerm->Bytes, 0, EngineCaseMode());

    const bool archive = FSearchType != TArcSearchType::stRawData &&
                         (FSearchType != TArcSearchType::stAllFiles || IsSearchableArcType(FArcType));
    // The range of offsets in which a hit counts: 0 and 0 mean everything. In a
    // member the range is not cut to the archive's size (members are larger
    // than their packed form); in a plain file it is cut to the file's size.
    FStart = std::max<int64_t>(0, FOffsetBegin);
    FEnd = (FOffsetEnd <= 0 || FOffsetEnd < FOffsetBegin) ? kNoLimit : FOffsetEnd;
    if (!archive) {
        platform::FileInfo info;
        const int64_t size = platform::Fs().Stat(FArchiveFile, info) ? static_cast<int64_t>(info.Size) : 0;
        FStart = std::min(FStart, size);
        if (FEnd != kNoLimit && FEnd > size) FEnd = kNoLimit;
    }

    if (archive)
        RunArchiveSearch();
    else
        RunPlainSearch();

    const bool result = FPlainFile ? FFileMatched : !FFoundFiles.empty();
    if (FPlainFile) FFoundFiles.clear();
    FPlainFile = false;
    FEngine.ClearMatches();
    return result;
}

} // namespace mv
