// The decompression interface of our cabinet library.
//
// A copy call reads the cabinet's header, folder and file records through the
// caller's open, seek and read callbacks, then walks the files in their stored
// order: each file that starts in this cabinet is offered to the caller, and
// the data of the ones accepted is decoded from its folder and handed to the
// caller's write callback on the handle it returned. A folder is decoded once
// from its start, skipping forward over files not wanted. A folder that goes
// on in the next cabinet is followed there; its decoding state stays in the
// context, so the copy call for the next cabinet goes on where it stopped.
//
// Hostile cabinets: every record is read with bounds checks, folder indices
// and offsets are checked against the records, data blocks are at most 32 KiB
// of output with their checksums checked, a continuation must come from the
// same set with the next number, and nothing is written beyond a file's size.
#include "archive/codecs/LzxDecode.h"
#include "archive/codecs/MsZip.h"
#include "archive/codecs/QuantumDecode.h"
#include "archive/formats/cab/CabFormat.h"
#include "archive/libraries/cab/Cabinet.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace mv::cab {

namespace {

struct FdiFailure {
    int oper;
    int type;
};

[[noreturn]] void Fail(int oper, int type = 0) {
    throw FdiFailure{oper, type};
}

// One cabinet opened through the callbacks; closed when the last user lets go.
struct OpenCabinet {
    const TCabFileCallbacks* cb = nullptr;
    intptr_t handle = -1;
    int64_t size = 0;
    ~OpenCabinet() {
        if (handle >= 0) {
            int err = 0;
            cb->Close(cb->User, handle, &err);
        }
    }
    void ReadAt(int64_t offset, uint8_t* buffer, size_t count) {
        if (offset < 0 || offset > size || static_cast<int64_t>(count) > size - offset)
            Fail(fdieCorruptCabinet);
        int err = 0;
        if (cb->Seek(cb->User, handle, offset, 0, &err) != offset || err) Fail(fdieCorruptCabinet, err);
        size_t done = 0;
        while (done < count) {
            uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(count - done, 1u << 20));
            uint32_t got = cb->Read(cb->User, handle, buffer + done, chunk, &err);
            if (got == 0 || got > chunk) Fail(fdieCorruptCabinet, err);
            done += got;
        }
    }
};

std::string FindNameIgnoringCase(const std::string& path) {
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    std::string dir = platform::DirectoryOf(path);
    const std::string want = lower(platform::NameOf(path));
    if (dir.empty()) dir.push_back('.');
    try {
        for (const auto& e : platform::Fs().ListDirectory(dir))
            if (lower(e.Name) == want) return platform::JoinPath(dir, e.Name);
    } catch (const platform::FileError&) {
        // an unreadable folder holds no other spelling
    }
    return {};
}

std::shared_ptr<OpenCabinet> OpenCabinetFile(const TCabFileCallbacks& cb, const std::string& path) {
    auto cab = std::make_shared<OpenCabinet>();
    cab->cb = &cb;
    int err = 0;
    cab->handle = cb.Open(cb.User, path.c_str(), cabOpenBinary | cabOpenRead, 0, &err);
    if (cab->handle < 0) {
        // Cabinets name their neighbours as DOS did, in any case: look for the
        // name in another case in the same folder.
        std::string other = FindNameIgnoringCase(path);
        if (!other.empty())
            cab->handle = cb.Open(cb.User, other.c_str(), cabOpenBinary | cabOpenRead, 0, &err);
    }
    if (cab->handle < 0) Fail(fdieCabinetNotFound, err);
    cab->size = cb.Seek(cb.User, cab->handle, 0, 2, &err);
    if (cab->size < 0 || err) Fail(fdieCabinetNotFound, err);
    return cab;
}

// Reads and checks the header and, unless headerOnly, the folder and file records.
void ReadHeader(OpenCabinet& cab, TCabHeader& h, bool headerOnly) {
    uint8_t fixed[kHeaderSize];
    if (cab.size < static_cast<int64_t>(kHeaderSize)) Fail(fdieNotACabinet);
    cab.ReadAt(0, fixed, kHeaderSize);
    if (!ReadCabFixedHeader(fixed, h)) Fail(fdieNotACabinet);
    if (h.versionMajor != 1) Fail(fdieUnknownCabinetVersion);
    if (headerOnly) return;
    // Everything up to the end of the file records, bounded by the file itself.
    int64_t variableEnd =
        std::min<int64_t>(cab.size, int64_t(h.filesOffset) + int64_t(h.fileCount) * 272 + 4096);
    if (variableEnd < static_cast<int64_t>(kHeaderSize)) Fail(fdieCorruptCabinet);
    std::vector<uint8_t> buf(static_cast<size_t>(variableEnd));
    cab.ReadAt(0, buf.data(), buf.size());
    const uint8_t* p = buf.data();
    const size_t end = buf.size();
    size_t at = 0;
    if (!ReadCabPrelude(p, end, h, at)) Fail(fdieCorruptCabinet);
    at = h.filesOffset;
    for (unsigned i = 0; i < h.fileCount; ++i) {
        TCabFileRecord f;
        if (!ReadCabFileRecord(p, end, at, f)) Fail(fdieCorruptCabinet);
        h.files.push_back(std::move(f));
    }
}

// The decoding state of one folder, possibly spread over several cabinets.
struct FolderStream {
    uint16_t compression = 0;
    std::unique_ptr<TLzxDecoder> lzx;
    std::unique_ptr<TQuantumDecoder> quantum;
    std::unique_ptr<TMsZipDecoder> mszip;

    // The cabinet the next data block comes from.
    std::shared_ptr<OpenCabinet> cab;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;
    uint16_t folderIndex = 0; // in the cabinet where the folder starts
    uint16_t startCabinet = 0;
    bool canContinue = false; // last folder of a cabinet that names a next one
    std::string nextCabinet, nextDisk, path;
    int64_t blockOffset = 0;
    uint32_t blocksLeft = 0;
    uint8_t reserveData = 0;

    std::vector<uint8_t> split; // first part of a block continued in the next cabinet
    std::vector<uint8_t> frame;
    size_t frameUsed = 0;
    uint64_t position = 0; // folder offset of frame[frameUsed]

    void Start(uint16_t type) {
        compression = type;
        unsigned kind = type & 0x0F;
        unsigned bits = (type >> 8) & 0x1F;
        try {
            if (kind == 1)
                mszip = std::make_unique<TMsZipDecoder>();
            else if (kind == 2)
                quantum = std::make_unique<TQuantumDecoder>(bits);
            else if (kind == 3)
                lzx = std::make_unique<TLzxDecoder>(bits);
            else if (kind != 0)
                Fail(fdieBadCompressionType);
        } catch (const ECodecError&) {
            Fail(fdieBadCompressionType);
        }
    }

    void Attach(const std::shared_ptr<OpenCabinet>& c, const TCabHeader& h, unsigned folder,
                const std::string& dir) {
        cab = c;
        setID = h.setID;
        iCabinet = h.iCabinet;
        const TCabFolderRecord& f = h.folders[folder];
        blockOffset = f.dataOffset;
        blocksLeft = f.blockCount;
        reserveData = h.reserveData;
        canContinue = folder + 1 == h.folders.size() && (h.flags & kFlagNextCabinet);
        nextCabinet = h.nextCabinet;
        nextDisk = h.nextDisk;
        path = dir;
    }
};

} // namespace

struct TFdiContext {
    TCabFileCallbacks cb;
    TCabErrorRecord* error = nullptr;
    std::unique_ptr<FolderStream> stream;

    // The copy call in progress.
    TFdiNotify notify = nullptr;
    void* user = nullptr;
    const TCabHeader* current = nullptr;
    std::shared_ptr<OpenCabinet> currentCab;
    std::string currentDir;

    void ContinueFolder(FolderStream& s);
    void NextFrame(FolderStream& s);
    void Deliver(FolderStream& s, uint64_t count, intptr_t handle, bool write);
};

void TFdiContext::ContinueFolder(FolderStream& s) {
    if (!s.canContinue) Fail(fdieCorruptCabinet);
    // The copy call for the next cabinet itself: go on in it without asking.
    if (current && currentCab && current->setID == s.setID && current->iCabinet == s.iCabinet + 1 &&
        !current->folders.empty() && s.cab != currentCab) {
        s.Attach(currentCab, *current, 0, currentDir);
        return;
    }
    if (!notify) Fail(fdieCorruptCabinet);
    char dir[256] = {};
    char name[256] = {};
    std::snprintf(dir, sizeof dir, "%s", s.path.c_str());
    std::snprintf(name, sizeof name, "%s", s.nextCabinet.c_str());
    TFdiNotification n;
    n.psz1 = name; // the caller may give another name and folder
    n.psz2 = s.nextDisk.c_str();
    n.psz3 = dir;
    n.pv = user;
    n.setID = s.setID;
    n.iCabinet = static_cast<uint16_t>(s.iCabinet + 1);
    n.fdie = fdieNone;
    if (notify(fdintNextCabinet, &n) == -1) Fail(fdieUserAbort);
    dir[255] = 0;
    name[255] = 0;
    std::string newDir = dir;
    auto next = OpenCabinetFile(cb, newDir + name);
    auto h = std::make_shared<TCabHeader>();
    ReadHeader(*next, *h, false);
    if (h->setID != s.setID || h->iCabinet != s.iCabinet + 1) Fail(fdieWrongCabinet);
    if (h->folders.empty() || (h->folders[0].compression != s.compression)) Fail(fdieCorruptCabinet);
    s.Attach(next, *h, 0, newDir);
}

void TFdiContext::NextFrame(FolderStream& s) {
    for (;;) {
        if (s.blocksLeft == 0) {
            ContinueFolder(s);
            continue;
        }
        uint8_t head[kDataHeaderSize];
        s.cab->ReadAt(s.blockOffset, head, kDataHeaderSize);
        uint32_t sum = LE32(head);
        uint16_t packed = LE16(head + 4);
        uint16_t unpacked = LE16(head + 6);
        std::vector<uint8_t> data(packed);
        s.cab->ReadAt(s.blockOffset + kDataHeaderSize + s.reserveData, data.data(), packed);
        s.blockOffset += kDataHeaderSize + s.reserveData + packed;
        s.blocksLeft--;
        if (sum != 0 && CabChecksum(head + 4, 4, CabChecksum(data.data(), packed, 0)) != sum)
            Fail(fdieCorruptCabinet);
        if (unpacked == 0) {
            // The block goes on in the next cabinet.
            if (s.blocksLeft != 0 || !s.canContinue || !s.split.empty()) Fail(fdieCorruptCabinet);
            s.split = std::move(data);
            continue;
        }
        if (!s.split.empty()) {
            s.split.insert(s.split.end(), data.begin(), data.end());
            data.swap(s.split);
            s.split.clear();
        }
        if (unpacked > kFrameSize) Fail(fdieCorruptCabinet);
        s.frame.resize(unpacked);
        try {
            switch (s.compression & 0x0F) {
            case 0:
                if (data.size() != unpacked) Fail(fdieCorruptCabinet);
                std::memcpy(s.frame.data(), data.data(), unpacked);
                break;
            case 1:
                s.mszip->DecodeFrame(data.data(), data.size(), s.frame.data(), unpacked);
                break;
            case 2:
                s.quantum->DecodeFrame(data.data(), data.size(), s.frame.data(), unpacked);
                break;
            default:
                s.lzx->DecodeFrame(data.data(), data.size(), s.frame.data(), unpacked);
                break;
            }
        } catch (const ECodecError& e) {
            Fail(fdieMdiFail, e.Code());
        }
        s.frameUsed = 0;
        return;
    }
}

void TFdiContext::Deliver(FolderStream& s, uint64_t count, intptr_t handle, bool write) {
    while (count) {
        if (s.frameUsed == s.frame.size()) NextFrame(s);
        size_t n = static_cast<size_t>(std::min<uint64_t>(count, s.frame.size() - s.frameUsed));
        if (write) {
            int err = 0;
            uint32_t put =
                cb.Write(cb.User, handle, s.frame.data() + s.frameUsed, static_cast<uint32_t>(n), &err);
            if (put != n) Fail(fdieTargetFile, err);
        }
        s.frameUsed += n;
        s.position += n;
        count -= n;
    }
}

TFdiContext* FdiCreate(const TCabFileCallbacks& callbacks, int /*cpuType*/, TCabErrorRecord* error) {
    if (error) *error = TCabErrorRecord{};
    if (!callbacks.Open || !callbacks.Read || !callbacks.Close || !callbacks.Seek || !callbacks.Write) {
        if (error) *error = TCabErrorRecord{fdieAllocFail, 0, true};
        return nullptr;
    }
    auto* c = new (std::nothrow) TFdiContext;
    if (!c) {
        if (error) *error = TCabErrorRecord{fdieAllocFail, 0, true};
        return nullptr;
    }
    c->cb = callbacks;
    c->error = error;
    return c;
}

bool FdiIsCabinet(TFdiContext* context, intptr_t handle, TFdiCabinetInfo* info) {
    if (!context) return false;
    try {
        OpenCabinet cab;
        cab.cb = &context->cb;
        cab.handle = handle;
        struct KeepHandle {
            OpenCabinet& c;
            ~KeepHandle() { c.handle = -1; } // the handle stays the caller's
        } keep{cab};
        int err = 0;
        cab.size = context->cb.Seek(context->cb.User, handle, 0, 2, &err);
        if (cab.size < 0) Fail(fdieNotACabinet, err);
        TCabHeader h;
        ReadHeader(cab, h, true);
        if (info) {
            info->cbCabinet = h.cabinetSize;
            info->cFolders = h.folderCount;
            info->cFiles = h.fileCount;
            info->setID = h.setID;
            info->iCabinet = h.iCabinet;
            info->fReserve = h.flags & kFlagReserve;
            info->hasprev = h.flags & kFlagPrevCabinet;
            info->hasnext = h.flags & kFlagNextCabinet;
        }
        return true;
    } catch (const FdiFailure& f) {
        if (context->error) *context->error = TCabErrorRecord{f.oper, f.type, true};
    } catch (...) {
        if (context->error) *context->error = TCabErrorRecord{fdieNotACabinet, 0, true};
    }
    return false;
}

bool FdiCopy(TFdiContext* context, const char* cabinetName, const char* cabinetPath, int /*flags*/,
             TFdiNotify notify, void* /*decrypt*/, void* user) {
    if (!context || !cabinetName || !notify) return false;
    TFdiContext& c = *context;
    if (c.error) *c.error = TCabErrorRecord{};
    c.notify = notify;
    c.user = user;
    TCabHeader h;
    bool ok = false;
    try {
        c.currentDir = cabinetPath ? cabinetPath : "";
        c.currentCab = OpenCabinetFile(c.cb, c.currentDir + cabinetName);
        ReadHeader(*c.currentCab, h, false);
        c.current = &h;
        // A kept folder continues only into this cabinet's first folder: it started
        // in an earlier cabinet and has reached this one or the one before it.
        if (c.stream && !(c.stream->setID == h.setID && c.stream->startCabinet != h.iCabinet &&
                          (c.stream->iCabinet == h.iCabinet ||
                           (c.stream->iCabinet + 1 == h.iCabinet && c.stream->canContinue)) &&
                          (h.flags & kFlagPrevCabinet)))
            c.stream.reset();
        bool continued = static_cast<bool>(c.stream);

        std::string dir = c.currentDir.substr(0, 255);
        TFdiNotification info;
        info.psz1 = h.nextCabinet.c_str();
        info.psz2 = h.nextDisk.c_str();
        std::vector<char> dirBuf(dir.begin(), dir.end());
        dirBuf.push_back(0);
        info.psz3 = dirBuf.data();
        info.pv = user;
        info.setID = h.setID;
        info.iCabinet = h.iCabinet;
        notify(fdintCabinetInfo, &info);

        for (const TCabFileRecord& f : h.files) {
            if (f.folder == kFolderContinuedFromPrev || f.folder == kFolderContinuedPrevAndNext) {
                TFdiNotification n;
                n.psz1 = f.name.c_str();
                n.psz2 = h.prevCabinet.c_str();
                n.psz3 = const_cast<char*>(h.prevDisk.c_str());
                n.pv = user;
                notify(fdintPartialFile, &n);
                continue;
            }
            unsigned folder =
                f.folder == kFolderContinuedToNext ? static_cast<unsigned>(h.folders.size()) - 1 : f.folder;
            if (h.folders.empty() || folder >= h.folders.size()) Fail(fdieCorruptCabinet);
            TFdiNotification n;
            n.cb = f.size;
            n.psz1 = f.name.c_str();
            n.pv = user;
            n.date = f.date;
            n.time = f.time;
            n.attribs = f.attribs;
            n.iFolder = f.folder;
            n.typeCompress = h.folders[folder].compression;
            n.setID = h.setID;
            n.iCabinet = h.iCabinet;
            intptr_t out = notify(fdintCopyFile, &n);
            if (out == -1) Fail(fdieUserAbort);
            if (out == 0) continue;
            // The folder's stream, positioned at the file's start.
            bool reuse = c.stream && c.stream->position <= f.folderOffset &&
                         ((continued && folder == 0) || (!continued && c.stream->folderIndex == folder &&
                                                         c.stream->iCabinet == h.iCabinet));
            if (!reuse) {
                if (continued && folder == 0 && c.stream) Fail(fdieCorruptCabinet); // behind a kept stream
                c.stream = std::make_unique<FolderStream>();
                c.stream->Start(h.folders[folder].compression);
                c.stream->Attach(c.currentCab, h, folder, c.currentDir);
                c.stream->folderIndex = static_cast<uint16_t>(folder);
                c.stream->startCabinet = h.iCabinet;
                continued = false;
            }
            c.Deliver(*c.stream, f.folderOffset - c.stream->position, 0, false);
            c.Deliver(*c.stream, f.size, out, true);
            TFdiNotification closing;
            closing.hf = out;
            closing.psz1 = f.name.c_str();
            closing.pv = user;
            closing.date = f.date;
            closing.time = f.time;
            closing.attribs = f.attribs;
            closing.setID = h.setID;
            closing.iCabinet = h.iCabinet;
            if (notify(fdintCloseFileInfo, &closing) == 0) Fail(fdieTargetFile);
        }
        // The stream stays: a copy call for a following cabinet of the set may go on with it.
        ok = true;
    } catch (const FdiFailure& f) {
        if (c.error) *c.error = TCabErrorRecord{f.oper, f.type, true};
        c.stream.reset();
    } catch (const std::bad_alloc&) {
        if (c.error) *c.error = TCabErrorRecord{fdieAllocFail, 0, true};
        c.stream.reset();
    } catch (...) {
        if (c.error) *c.error = TCabErrorRecord{fdieCorruptCabinet, 0, true};
        c.stream.reset();
    }
    c.current = nullptr;
    c.currentCab.reset();
    c.notify = nullptr;
    return ok;
}

std::string FindCabinetIgnoringCase(const std::string& path) {
    if (platform::Exists(path)) return path;
    std::string other = FindNameIgnoringCase(path);
    return other.empty() ? path : other;
}

bool FdiDestroy(TFdiContext* context) {
    delete context;
    return true;
}

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
    uint32_t sum = seed;
    size_t i = 0;
    for (; i + 4 <= size; i += 4) sum ^= LE32(data + i);
    uint32_t tail = 0;
    switch (size & 3) {
    case 3:
        tail |= uint32_t(data[i++]) << 16;
        [[fallthrough]];
    case 2:
        tail |= uint32_t(data[i++]) << 8;
        [[fallthrough]];
    case 1:
        tail |= data[i];
        break;
    default:
        break;
    }
    return sum ^ tail;
}

} // namespace mv::cab
