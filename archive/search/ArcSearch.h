#pragma once
// TSearchBase and TArcSearch: search for text or byte sequences inside the
// members of an archive of any readable type, or inside a plain file.
//
// For an archive the search creates the reader of its type and runs it into a
// sink (write mode 6): every decoded block of every member comes to
// SearchBlock, which scans it with the pattern engine and hands it on for the
// reader's CRC check. A plain file is read in blocks of 100001 bytes. Hits
// that straddle two blocks are found: the last bytes of a block are kept and
// searched together with the start of the next.
//
// TArcSearch takes an expression of terms: words, juxtaposed words (one
// phrase), "quoted phrases", the operators AND, OR and NOT (evaluated left to
// right, without precedence) and parentheses (each group evaluated on its own).
// FoundFiles lists the members, or the file, that satisfy it.
#include "archive/readers/UnBase.h"
#include "archive/search/PatternSearch.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace mv {

enum class TArcSearchType { stArcsOnly, stAllFiles, stRawData };
enum class TArcSearchCase { scSensitive, scInsensitive };
enum class TArcSearchMode { smAsc, smBin, smDec, smHex, smOct };

// A hit: the archive (or file), the 0-based offset of the hit inside the member
// (or file), and the member's name (the file's name for a plain file).
using TOnSearchHit = std::function<void(TObject* Sender, const std::string& FileName, int64_t Offset,
                                        const std::string& MemberName)>;

// One entry of the term list.
struct TPhraseRecTyp {
    uint8_t Level = 0;    // nesting level in parentheses
    uint8_t Operator = 0; // 0 none, 1 AND, 2 OR, 3 NOT
    uint8_t IsTerm = 0;   // 1 for a term, 0 for an operator word
    uint8_t Matched = 0;  // 1 when the term was found in the current member
};
struct TSearchTerm {
    std::string Text;  // as written
    std::string Bytes; // as searched (after the SearchMode conversion)
    TPhraseRecTyp Rec;
};

class TSearchBase : public TUnBase {
public:
    TSearchBase();
    ~TSearchBase() override;

    // An empty name clears the type; with stRawData no type is detected (the
    // size is the file's); otherwise the type is detected as for every component.
    void SetArchiveFile(const std::string& value) override;

    const std::string& SearchText() const { return FSearchText; }
    // At most 255 characters are kept.
    void SetSearchText(const std::string& v) { FSearchText = v.substr(0, 255); }
    int64_t OffsetBegin() const { return FOffsetBegin; }
    void SetOffsetBegin(int64_t v) { FOffsetBegin = v; }
    int64_t OffsetEnd() const { return FOffsetEnd; }
    void SetOffsetEnd(int64_t v) { FOffsetEnd = v; }
    TArcSearchType SearchType() const { return FSearchType; }
    void SetSearchType(TArcSearchType v) { FSearchType = v; }
    TArcSearchCase SearchCase() const { return FSearchCase; }
    void SetSearchCase(TArcSearchCase v) { FSearchCase = v; }
    TArcSearchMode SearchMode() const { return FSearchMode; }
    void SetSearchMode(TArcSearchMode v) { FSearchMode = v; }
    bool ReportEveryHit() const { return FReportEveryHit; }
    void SetReportEveryHit(bool v) { FReportEveryHit = v; }

    // Sets Cancel; while the reader of this search runs it is cancelled too.
    void SetCancel(bool value);

    // Totals of the last run.
    int FilesSearched() const { return FFilesSearched; }
    int64_t BytesSearched() const { return FBytesSearched; }
    int64_t HitsCounted() const { return FHits; }

    TOnFileChange OnFileChange;
    TOnFinish OnFinish;
    TOnSearchHit OnHit;

protected:
    virtual void SearchMemberEnd(const std::string& name);
    virtual void SearchBlock(const uint8_t* buffer, int64_t count);
    virtual void SearchMemberBegin(const std::string& name);

    // The reader of ArcType (nullptr and 25242 reported when there is none).
    std::unique_ptr<TUnBase> CreateExtractor();
    // Runs FReader into this component's sink; false when it could not start.
    bool RunArchiveSearch();
    // Reads ArchiveFile in blocks through SearchBlock.
    void RunPlainSearch();
    void ReportFinish();
    // Reports the hits of the engine's current pattern in a block at member
    // offset `base`; with `limit` only hits that start before it count. Answers
    // whether one lay in the offset range.
    bool TakeHits(int64_t base, int64_t limit, bool report);
    // Scans the block for `pattern` (already compiled in the engine),
    // including hits that begin in the kept tail of the previous block.
    bool ScanBlock(const uint8_t* buffer, int64_t count, size_t patternLength, bool report);
    void KeepTail(const uint8_t* buffer, int64_t count);
    uint8_t EngineCaseMode() const { return FSearchCase == TArcSearchCase::scSensitive ? 1 : 0; }

    ArcSearchObj FEngine;
    std::unique_ptr<TUnBase> FReader;
    std::string FSearchText;
    int64_t FOffsetBegin = 0;
    int64_t FOffsetEnd = 0;
    TArcSearchType FSearchType = TArcSearchType::stAllFiles;
    TArcSearchCase FSearchCase = TArcSearchCase::scInsensitive;
    TArcSearchMode FSearchMode = TArcSearchMode::smAsc;
    bool FReportEveryHit = true;
    bool FPlainFile = false; // the running search reads a plain file
    bool FInMember = false;
    bool FStopReading = false; // a plain-file search needs no more blocks
    std::string FMemberName;
    int64_t FStart = 0; // effective range of offsets in which a hit counts
    int64_t FEnd = 0;   // inclusive; INT64_MAX for no limit
    int64_t FMemberOffset = 0;
    int FFilesSearched = 0;
    int64_t FBytesSearched = 0;
    int64_t FHits = 0;
    std::vector<uint8_t> FTail; // the last bytes of the member so far (at most 254)
    std::vector<uint8_t> FJoin;
};

class TArcSearch : public TSearchBase {
public:
    TArcSearch();
    ~TArcSearch() override;

    // Runs the whole search over ArchiveFile; true when something matched. After
    // an archive, FoundFiles lists the matching members; after a plain file it
    // is empty and the result alone says that the file matched.
    bool Search();

    // The members that matched, sorted, each once ("/" separates folders).
    const std::set<std::string>& FoundFiles() const { return FFoundFiles; }
    // The term list of the last parse (texts, operator words and their records).
    const std::vector<TSearchTerm>& Terms() const { return FTerms; }

    // Parses an expression into a term list (no checks; see CheckExpression).
    static std::vector<TSearchTerm> ParseExpression(const std::string& text);
    // 0 when the expression can be parsed; 25280 for an unclosed double quote,
    // 25281 for unpaired parentheses (those inside quotes do not count).
    static int CheckExpression(const std::string& text);
    // The bytes a term stands for in a SearchMode; empty when a number does not convert.
    static std::string ConvertTerm(const std::string& text, TArcSearchMode mode);
    // The value of a term list from the matched flags: left to right within a
    // level, each parenthesised group evaluated on its own.
    static bool Evaluate(const std::vector<TSearchTerm>& terms);
    // A text term outside ASCII with a form in the DOS code page, searched in that form too.
    bool HasOemVariant(const TSearchTerm& term) const;

protected:
    void SearchMemberEnd(const std::string& name) override;
    void SearchBlock(const uint8_t* buffer, int64_t count) override;
    void SearchMemberBegin(const std::string& name) override;

private:
    std::set<std::string> FFoundFiles;
    std::vector<TSearchTerm> FTerms;
    bool FFileMatched = false;
};

} // namespace mv
