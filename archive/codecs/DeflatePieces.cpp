// Deflate on every core (see DeflatePieces.h).
//
// The calling thread reads pieces ahead, hands them to a queue the workers
// take from, and writes the finished pieces in input order. At most two pieces
// per thread are in flight, which bounds the memory to about 4 MiB a thread.
// A piece is known to be the last only when the read after it finds the end
// of the input, so a piece is queued once the next one has been read.
#include "archive/codecs/DeflatePieces.h"
#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace mv {

namespace {

constexpr size_t kHistory = 32768;

struct TPiece {
    std::vector<uint8_t> input;
    std::vector<uint8_t> history; // the previous piece's last 32 KiB
    bool first = false;
    bool last = false;
    // Filled by the worker.
    std::vector<uint8_t> output;
    TDeflateResult result;
    std::exception_ptr error;
    bool done = false;
};

// A memory output that answers the pool's stop flag as a cancel.
class TPieceOutput : public CodecOutput {
public:
    TPieceOutput(std::vector<uint8_t>& bytes, const std::atomic<bool>& stop, const CodecOutput* caller)
        : bytes(bytes), stop(stop), caller(caller) {}
    void Write(const uint8_t* buf, size_t n) override { bytes.insert(bytes.end(), buf, buf + n); }
    bool Cancelled() const override {
        return stop.load(std::memory_order_relaxed) || (caller && caller->Cancelled());
    }

private:
    std::vector<uint8_t>& bytes;
    const std::atomic<bool>& stop;
    const CodecOutput* caller; // polled too when the piece runs on the calling thread
};

void CompressPiece(TDeflateEncoder& encoder, TPiece& piece, const TDeflateOptions& base,
                   const std::atomic<bool>& stop, const CodecOutput* caller) {
    TDeflateOptions o = base;
    o.WholeMemberStore = false;
    o.ClassifyText = base.ClassifyText && piece.first;
    o.Dictionary = piece.history.empty() ? nullptr : piece.history.data();
    o.DictionarySize = piece.history.size();
    o.EndOnByteBoundary = !piece.last;
    MemoryInput in(piece.input);
    piece.output.reserve(piece.input.size() / 2 + 64);
    TPieceOutput out(piece.output, stop, caller);
    piece.result = encoder.Deflate(in, out, o);
}

// Reads up to `size` bytes, as many as the input has.
size_t ReadFull(CodecInput& in, std::vector<uint8_t>& buf, size_t size) {
    buf.resize(size);
    size_t got = 0;
    while (got < size) {
        size_t k = in.Read(buf.data() + got, size - got);
        if (k == 0) break;
        if (k > size - got) throw ECodecError(arcerr::ReadError, "read beyond the requested count");
        got += k;
    }
    buf.resize(got);
    return got;
}

// The workers: each takes the oldest waiting piece and compresses it with an
// encoder of its own.
class TPool {
public:
    TPool(unsigned threads, const TDeflateOptions& options) : options(options) {
        for (unsigned i = 0; i < threads; ++i) workers.emplace_back([this] { Work(); });
    }
    ~TPool() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
            stop = true;
        }
        wake.notify_all();
        for (auto& t : workers) t.join();
    }
    void Submit(TPiece* piece) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            queue.push_back(piece);
        }
        wake.notify_one();
    }
    // Waits until the piece is done; false when `cancelled` answered true first.
    template <class Cancelled>
    bool Wait(TPiece& piece, Cancelled cancelled) {
        std::unique_lock<std::mutex> lock(mutex);
        while (!piece.done) {
            if (cancelled()) return false;
            finished.wait_for(lock, std::chrono::milliseconds(20));
        }
        return true;
    }
    std::atomic<bool> stop{false};

private:
    void Work() {
        TDeflateEncoder encoder;
        for (;;) {
            TPiece* piece;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [this] { return closing || !queue.empty(); });
                if (closing) return;
                piece = queue.front();
                queue.pop_front();
            }
            try {
                CompressPiece(encoder, *piece, options, stop, nullptr);
            } catch (...) {
                piece->error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                piece->done = true;
            }
            finished.notify_all();
        }
    }

    TDeflateOptions options;
    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable wake, finished;
    std::deque<TPiece*> queue;
    bool closing = false;
};

} // namespace

namespace {
std::atomic<unsigned> threadOverride{0};
}

unsigned CompressionThreads() {
    if (unsigned n = threadOverride.load()) return n;
    unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
}

void OverrideCompressionThreads(unsigned threads) {
    threadOverride.store(threads);
}

TDeflateResult DeflateInPieces(TDeflateEncoder& encoder, CodecInput& in, CodecOutput& out,
                               const TDeflateOptions& options, unsigned threads) {
    if (threads == 0) threads = CompressionThreads();
    auto first = std::make_unique<TPiece>();
    first->first = true;
    ReadFull(in, first->input, kDeflatePieceSize);
    auto next = std::make_unique<TPiece>();
    if (first->input.size() < kDeflatePieceSize || ReadFull(in, next->input, kDeflatePieceSize) == 0) {
        // One piece: the plain encoder, as for any small member.
        MemoryInput whole(first->input);
        TDeflateResult r = encoder.Deflate(whole, out, options);
        return r;
    }

    TDeflateResult total;
    std::atomic<bool> inlineStop{false};
    // Declared before the pool, so that on any way out the pool joins its
    // workers before the pieces they may be working on are freed.
    std::deque<std::unique_ptr<TPiece>> pending; // queued, in input order
    std::unique_ptr<TPool> pool;
    if (threads > 1) pool = std::make_unique<TPool>(threads, options);
    const size_t inFlight = threads > 1 ? 2 * size_t{threads} : 1;
    bool cancelled = false;

    auto writeOldest = [&] {
        TPiece& p = *pending.front();
        if (pool) {
            if (!pool->Wait(p, [&] { return out.Cancelled(); })) {
                cancelled = true;
                return;
            }
        } else {
            CompressPiece(encoder, p, options, inlineStop, &out);
            if (p.result.Cancelled || out.Cancelled()) {
                cancelled = true;
                return;
            }
        }
        if (p.error) std::rethrow_exception(p.error);
        if (p.result.Cancelled) {
            cancelled = true;
            return;
        }
        if (p.first) total.TextKind = p.result.TextKind;
        out.Write(p.output.data(), p.output.size());
        total.UnpackedSize += p.input.size();
        total.PackedSize += p.output.size();
        pending.pop_front();
    };
    auto submit = [&](std::unique_ptr<TPiece> piece) {
        TPiece* raw = piece.get();
        pending.push_back(std::move(piece));
        if (pool) pool->Submit(raw);
    };

    std::unique_ptr<TPiece> cur = std::move(first);
    while (!cancelled) {
        // `next` holds the piece after `cur` (empty at the end of the input).
        const bool last = next->input.empty();
        cur->last = last;
        if (!last) {
            const size_t h = std::min(kHistory, cur->input.size());
            next->history.assign(cur->input.end() - static_cast<std::ptrdiff_t>(h), cur->input.end());
        }
        submit(std::move(cur));
        if (last) break;
        while (!cancelled && pending.size() >= inFlight) writeOldest();
        if (cancelled || out.Cancelled()) {
            cancelled = true;
            break;
        }
        cur = std::move(next);
        next = std::make_unique<TPiece>();
        if (cur->input.size() == kDeflatePieceSize) ReadFull(in, next->input, kDeflatePieceSize);
    }
    while (!cancelled && !pending.empty()) writeOldest();
    if (cancelled) {
        if (pool) pool->stop = true;
        total.Cancelled = true;
    }
    pool.reset(); // joins the workers before the pieces they may hold go away
    return total;
}

} // namespace mv
