// The compression interface of our cabinet library.
//
// Files are read through the caller's open-info and read callbacks and
// appended to the current folder's input; every 32 KiB of it becomes one data
// block (stored, MSZIP or LZX), checksummed and written to a temporary file
// obtained through the temp-file callback. A new folder starts when the kind
// of compression changes or when the folder has taken in the threshold of
// bytes. Flushing the cabinet writes the header, the folder and file records
// and then copies the data blocks behind them; a failure deletes the partial
// cabinet. Only single cabinets are written: a cabinet larger than its
// limit asks for a next one and ends with "format limit" (sets are not made).
#include "archive/codecs/LzxEncode.h"
#include "archive/codecs/MsZip.h"
#include "archive/formats/cab/CabFormat.h"
#include "archive/libraries/cab/Cabinet.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace mv::cab {

namespace {

struct FciFailure {
    int oper;
    int type;
};

[[noreturn]] void Fail(int oper, int type = 0) {
    throw FciFailure{oper, type};
}

} // namespace

struct TFciContext {
    TCabErrorRecord* error = nullptr;
    TFciCallbacks cb;
    TCabParameters cab;
    void* user = nullptr;

    // Data blocks of the cabinet so far, in a temporary file.
    std::string tempName;
    intptr_t temp = -1;
    uint64_t dataBytes = 0;

    // The open folder.
    bool folderOpen = false;
    uint16_t folderType = 0;
    uint64_t folderBytes = 0;
    uint64_t folderStart = 0; // its first block in the temporary file
    uint32_t folderBlocks = 0;
    std::vector<uint8_t> frame;
    std::unique_ptr<TLzxEncoder> lzx;
    std::unique_ptr<TMsZipEncoder> mszip;

    std::vector<TCabFolderRecord> folders; // data offsets relative to the first block
    std::vector<TCabFileRecord> files;

    void Write(intptr_t h, const uint8_t* p, size_t n, int oper) {
        int err = 0;
        if (cb.Files.Write(cb.Files.User, h, p, static_cast<uint32_t>(n), &err) != n) Fail(oper, err);
    }

    void OpenTemp() {
        if (temp >= 0) return;
        char name[256] = {};
        if (!cb.GetTempFile || !cb.GetTempFile(user, name, sizeof name)) Fail(fcieTempFile);
        name[255] = 0;
        tempName = name;
        int err = 0;
        temp =
            cb.Files.Open(cb.Files.User, name, cabOpenBinary | cabOpenCreate | cabOpenReadWrite, 0600, &err);
        if (temp < 0) Fail(fcieTempFile, err);
    }

    void CloseTemp() {
        if (temp < 0) return;
        int err = 0;
        cb.Files.Close(cb.Files.User, temp, &err);
        temp = -1;
        if (cb.Files.Delete) cb.Files.Delete(cb.Files.User, tempName.c_str(), &err);
    }

    void EmitBlock(TFciStatus status) {
        if (frame.empty()) return;
        std::vector<uint8_t> packed;
        try {
            switch (folderType & 0x0F) {
            case 0:
                packed = frame;
                break;
            case 1:
                packed = mszip->EncodeFrame(frame.data(), frame.size());
                break;
            default:
                packed = lzx->EncodeFrame(frame.data(), frame.size());
                break;
            }
        } catch (const ECodecError& e) {
            Fail(fcieMciFail, e.Code());
        }
        if (packed.size() > 0xFFFF || folderBlocks >= 0xFFFF) Fail(fcieCabFormatLimit);
        std::vector<uint8_t> head;
        Put32(head, 0);
        Put16(head, static_cast<uint16_t>(packed.size()));
        Put16(head, static_cast<uint16_t>(frame.size()));
        uint32_t sum = CabChecksum(head.data() + 4, 4, CabChecksum(packed.data(), packed.size(), 0));
        head[0] = static_cast<uint8_t>(sum);
        head[1] = static_cast<uint8_t>(sum >> 8);
        head[2] = static_cast<uint8_t>(sum >> 16);
        head[3] = static_cast<uint8_t>(sum >> 24);
        head.resize(head.size() + cab.cbReserveCFData, 0);
        OpenTemp();
        Write(temp, head.data(), head.size(), fcieTempFile);
        Write(temp, packed.data(), packed.size(), fcieTempFile);
        dataBytes += head.size() + packed.size();
        folderBlocks++;
        if (status &&
            status(user, 0, static_cast<uint32_t>(packed.size()), static_cast<uint32_t>(frame.size())) == -1)
            Fail(fcieUserAbort);
        frame.clear();
    }

    void StartFolder(uint16_t type) {
        folderOpen = true;
        folderType = type;
        folderBytes = 0;
        folderStart = dataBytes;
        folderBlocks = 0;
        frame.clear();
        lzx.reset();
        mszip.reset();
        try {
            if ((type & 0x0F) == 1) mszip = std::make_unique<TMsZipEncoder>();
            if ((type & 0x0F) == 3) lzx = std::make_unique<TLzxEncoder>((type >> 8) & 0x1F);
        } catch (const ECodecError&) {
            Fail(fcieBadComprType);
        }
    }

    void FlushFolder(TFciStatus status) {
        if (!folderOpen) return;
        EmitBlock(status);
        if (folders.size() >= 0xFFFD) Fail(fcieCabFormatLimit);
        folders.push_back(TCabFolderRecord{static_cast<uint32_t>(folderStart),
                                           static_cast<uint16_t>(folderBlocks), folderType});
        folderOpen = false;
        lzx.reset();
        mszip.reset();
    }

    void WriteCabinet(TFciGetNextCabinet getNext) {
        const bool reserve = cab.cbReserveCFHeader || cab.cbReserveCFFolder || cab.cbReserveCFData;
        if (cab.cbReserveCFHeader > 60000 || cab.cbReserveCFFolder > 255 || cab.cbReserveCFData > 255)
            Fail(fcieCabFormatLimit);
        std::vector<uint8_t> meta;
        size_t headerSize = kHeaderSize + (reserve ? 4 + cab.cbReserveCFHeader : 0);
        size_t foldersSize = folders.size() * (kFolderSize + cab.cbReserveCFFolder);
        size_t filesSize = 0;
        for (const auto& f : files) filesSize += kFileFixedSize + f.name.size() + 1;
        uint64_t dataStart = headerSize + foldersSize + filesSize;
        uint64_t total = dataStart + dataBytes;
        if (files.size() > 0xFFFF) Fail(fcieCabFormatLimit);
        if (total > cab.cb || total > 0xFFFFFFFFu) {
            // Cabinet sets are not written: a refused next cabinet is a user abort.
            if (!getNext ||
                !getNext(user, &cab, static_cast<uint32_t>(std::min<uint64_t>(total, 0xFFFFFFFFu))))
                Fail(fcieUserAbort);
            Fail(fcieCabFormatLimit);
        }
        meta.insert(meta.end(), {'M', 'S', 'C', 'F'});
        Put32(meta, 0);
        Put32(meta, static_cast<uint32_t>(total));
        Put32(meta, 0);
        Put32(meta, static_cast<uint32_t>(headerSize + foldersSize));
        Put32(meta, 0);
        meta.push_back(3);
        meta.push_back(1);
        Put16(meta, static_cast<uint16_t>(folders.size()));
        Put16(meta, static_cast<uint16_t>(files.size()));
        Put16(meta, reserve ? kFlagReserve : 0);
        Put16(meta, cab.setID);
        Put16(meta, static_cast<uint16_t>(cab.iCab > 0 ? cab.iCab - 1 : 0));
        if (reserve) {
            Put16(meta, static_cast<uint16_t>(cab.cbReserveCFHeader));
            meta.push_back(static_cast<uint8_t>(cab.cbReserveCFFolder));
            meta.push_back(static_cast<uint8_t>(cab.cbReserveCFData));
            meta.resize(meta.size() + cab.cbReserveCFHeader, 0);
        }
        for (const auto& f : folders) {
            Put32(meta, static_cast<uint32_t>(dataStart + f.dataOffset));
            Put16(meta, f.blockCount);
            Put16(meta, f.compression);
            meta.resize(meta.size() + cab.cbReserveCFFolder, 0);
        }
        for (const auto& f : files) {
            Put32(meta, f.size);
            Put32(meta, f.folderOffset);
            Put16(meta, f.folder);
            Put16(meta, f.date);
            Put16(meta, f.time);
            Put16(meta, f.attribs);
            meta.insert(meta.end(), f.name.begin(), f.name.end());
            meta.push_back(0);
        }
        std::string path = std::string(cab.szCabPath) + cab.szCab;
        int err = 0;
        intptr_t out = cb.Files.Open(cb.Files.User, path.c_str(),
                                     cabOpenBinary | cabOpenCreate | cabOpenReadWrite, 0644, &err);
        if (out < 0) Fail(fcieCabFile, err);
        try {
            Write(out, meta.data(), meta.size(), fcieCabFile);
            if (dataBytes) {
                if (cb.Files.Seek(cb.Files.User, temp, 0, 0, &err) != 0) Fail(fcieTempFile, err);
                std::vector<uint8_t> chunk(1 << 16);
                uint64_t left = dataBytes;
                while (left) {
                    uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(left, chunk.size()));
                    uint32_t got = cb.Files.Read(cb.Files.User, temp, chunk.data(), want, &err);
                    if (got == 0 || got > want) Fail(fcieTempFile, err);
                    Write(out, chunk.data(), got, fcieCabFile);
                    left -= got;
                }
            }
        } catch (...) {
            cb.Files.Close(cb.Files.User, out, &err);
            if (cb.Files.Delete) cb.Files.Delete(cb.Files.User, path.c_str(), &err);
            throw;
        }
        if (cb.Files.Close(cb.Files.User, out, &err) != 0 || err) {
            if (cb.Files.Delete) cb.Files.Delete(cb.Files.User, path.c_str(), &err);
            Fail(fcieCabFile, err);
        }
    }

    template <class F> bool Guard(F&& body) {
        if (error) *error = TCabErrorRecord{};
        try {
            body();
            return true;
        } catch (const FciFailure& f) {
            if (error) *error = TCabErrorRecord{f.oper, f.type, true};
        } catch (const std::bad_alloc&) {
            if (error) *error = TCabErrorRecord{fcieAllocFail, 0, true};
        } catch (...) {
            if (error) *error = TCabErrorRecord{fcieMciFail, 0, true};
        }
        return false;
    }
};

TFciContext* FciCreate(TCabErrorRecord* error, const TFciCallbacks& callbacks, const TCabParameters& cab,
                       void* user) {
    if (error) *error = TCabErrorRecord{};
    const TCabFileCallbacks& f = callbacks.Files;
    if (!f.Open || !f.Read || !f.Write || !f.Close || !f.Seek || !callbacks.GetTempFile) {
        if (error) *error = TCabErrorRecord{fcieAllocFail, 0, true};
        return nullptr;
    }
    auto* c = new (std::nothrow) TFciContext;
    if (!c) {
        if (error) *error = TCabErrorRecord{fcieAllocFail, 0, true};
        return nullptr;
    }
    c->error = error;
    c->cb = callbacks;
    c->cab = cab;
    c->cab.szCab[sizeof c->cab.szCab - 1] = c->cab.szCabPath[sizeof c->cab.szCabPath - 1] = 0;
    c->cab.szDisk[sizeof c->cab.szDisk - 1] = 0;
    c->user = user;
    return c;
}

bool FciAddFile(TFciContext* context, const char* sourceFile, const char* fileName, bool /*execute*/,
                TFciGetNextCabinet /*getNextCabinet*/, TFciStatus status, TFciGetOpenInfo getOpenInfo,
                uint16_t typeCompress) {
    if (!context || !sourceFile || !fileName || !getOpenInfo) return false;
    TFciContext& c = *context;
    return c.Guard([&] {
        const unsigned kind = typeCompress & 0x0F;
        const unsigned bits = (typeCompress >> 8) & 0x1F;
        if (kind == 2 || kind > 3 || (kind == 3 && (bits < 15 || bits > 21))) Fail(fcieBadComprType);
        const uint16_t type = kind == 3 ? static_cast<uint16_t>(3 | bits << 8) : static_cast<uint16_t>(kind);
        TCabFileRecord rec;
        rec.name = fileName;
        if (rec.name.empty() || rec.name.size() > 255) Fail(fcieCabFormatLimit);
        bool wide = false;
        for (char& ch : rec.name) {
            if (ch == '/') ch = '\\';
            if (static_cast<unsigned char>(ch) >= 0x80) wide = true;
        }
        if (c.folderOpen && (c.folderType != type || c.folderBytes >= c.cab.cbFolderThresh))
            c.FlushFolder(status);
        int err = 0;
        intptr_t h = getOpenInfo(c.user, sourceFile, &rec.date, &rec.time, &rec.attribs, &err);
        if (h == -1) Fail(fcieOpenSrc, err);
        rec.attribs = static_cast<uint16_t>((rec.attribs & 0x67) | (wide ? kAttrNameIsUtf8 : 0));
        struct CloseSource {
            TFciContext& c;
            intptr_t h;
            ~CloseSource() {
                int e = 0;
                c.cb.Files.Close(c.cb.Files.User, h, &e);
            }
        } closer{c, h};
        if (!c.folderOpen) c.StartFolder(type);
        rec.folderOffset = static_cast<uint32_t>(c.folderBytes);
        if (c.folderBytes > 0xFFFFFFFFu) Fail(fcieCabFormatLimit);
        uint64_t size = 0;
        for (;;) {
            size_t room = kFrameSize - c.frame.size();
            size_t at = c.frame.size();
            c.frame.resize(kFrameSize);
            uint32_t got =
                c.cb.Files.Read(c.cb.Files.User, h, c.frame.data() + at, static_cast<uint32_t>(room), &err);
            if (got > room) got = 0;
            c.frame.resize(at + got);
            if (got == 0) {
                if (err) Fail(fcieReadSrc, err);
                break;
            }
            size += got;
            c.folderBytes += got;
            if (size > 0xFFFFFFFFu || c.folderBytes > 0xFFFFFFFFu) Fail(fcieCabFormatLimit);
            if (c.frame.size() == kFrameSize) c.EmitBlock(status);
        }
        rec.size = static_cast<uint32_t>(size);
        rec.folder = static_cast<uint16_t>(c.folders.size());
        if (c.files.size() >= 0xFFFF) Fail(fcieCabFormatLimit);
        c.files.push_back(rec);
        if (c.cb.FilePlaced)
            c.cb.FilePlaced(c.user, &c.cab, c.files.back().name.c_str(), static_cast<int64_t>(size), false);
    });
}

bool FciFlushFolder(TFciContext* context, TFciGetNextCabinet /*getNextCabinet*/, TFciStatus status) {
    if (!context) return false;
    return context->Guard([&] { context->FlushFolder(status); });
}

bool FciFlushCabinet(TFciContext* context, bool /*getNextCab*/, TFciGetNextCabinet getNextCabinet,
                     TFciStatus status) {
    if (!context) return false;
    TFciContext& c = *context;
    bool ok = c.Guard([&] {
        c.FlushFolder(status);
        c.WriteCabinet(getNextCabinet);
    });
    // Whatever happened, the next cabinet starts empty.
    c.CloseTemp();
    c.dataBytes = 0;
    c.folders.clear();
    c.files.clear();
    c.folderOpen = false;
    c.cab.iCab++;
    return ok;
}

bool FciDestroy(TFciContext* context) {
    if (!context) return false;
    context->CloseTemp();
    delete context;
    return true;
}

} // namespace mv::cab
