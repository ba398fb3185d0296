#pragma once
// Types shared by the zip writer component: its root object, its enumerations,
// its exceptions and its string table (texts 176 to 206, Portuguese only, loaded
// by their own number).
#include <cstdint>
#include <stdexcept>
#include <string>

namespace mv {

// Root of the component's classes (senders of events, items of object lists).
class TObject {
public:
    virtual ~TObject() = default;
};

enum class TZipAction : uint8_t { zaUpdate, zaReplace, zaFreshen };
enum class TMultiMode : uint8_t { mmNone, mmSpan, mmBlocks };
enum class TZipSortMode : uint8_t {
    ByName,
    ByFileName,
    ByDirectoryName,
    ByDate,
    ByCompressedSize,
    ByUnCompressedSize,
    ByRate,
    ByNone
};
enum class TIncompleteZipMode : uint8_t { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum class TUZOverwriteMode : uint8_t { Prompt, Always, Never, ifNewer, ifOlder };

// Argument of OnUpdate: 0 an entry is replaced by a file, 1 a matching entry stays.
using TUpdateAction = int;
// Argument of OnSkippingFile: 1 already in the archive under that name, 2 cannot be opened.
using TSkipReason = int;

// The component's texts; registers its table with the string tables on first use.
std::string ZipEngineText(int number);
// A text with "%d" replaced by a number.
std::string ZipEngineTextInt(int number, long long value);

// Every failure of the component is one of these (never an error code).
class EZipEngineError : public std::runtime_error {
public:
    explicit EZipEngineError(const std::string& message) : std::runtime_error(message) {}
};
class EBadZipFile : public EZipEngineError {
public:
    using EZipEngineError::EZipEngineError;
};
class EIncompleteZip : public EZipEngineError {
public:
    using EZipEngineError::EZipEngineError;
};
class ENotAZipFile : public EZipEngineError {
public:
    using EZipEngineError::EZipEngineError;
};
class EUserCanceled : public EZipEngineError {
public:
    using EZipEngineError::EZipEngineError;
};
class ENotEnoughRoom : public EZipEngineError {
public:
    using EZipEngineError::EZipEngineError;
};
// The list containers' errors (bad index, duplicate item).
class EListError : public EZipEngineError {
public:
    using EZipEngineError::EZipEngineError;
};
// The buffered streams' errors (texts 190, 191, 192).
class EStreamError : public EZipEngineError {
public:
    using EZipEngineError::EZipEngineError;
};

// Refusal texts for archives this component cannot update safely: the text of
// 183 followed by the reason.
std::string BadZipText(const std::string& reason);

// Limits of the ZIP records this component writes (no Zip64).
constexpr uint32_t ZipEngineMaxEntries = 65534;

} // namespace mv
